#include "app/win32/wide_text.h"

#include <windows.h>

namespace orven::win32 {
namespace {

constexpr UINT kCp1251 = 1251;

std::wstring convert(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::wstring wide_from_cp1251(std::string_view cp1251) {
  return convert(kCp1251, cp1251);
}

std::wstring wide_from_utf8(std::string_view utf8) {
  return convert(CP_UTF8, utf8);
}

}  // namespace orven::win32

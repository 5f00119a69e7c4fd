// Text for the wide Win32 functions: the fixed texts are windows-1251 bytes and the run
// sequence's messages are UTF-8; both become UTF-16 here, at the window's edge only.
#pragma once

#include <string>
#include <string_view>

namespace orven::win32 {

// windows-1251 bytes to UTF-16, whatever the system's ANSI code page.
std::wstring wide_from_cp1251(std::string_view cp1251);

std::wstring wide_from_utf8(std::string_view utf8);

}  // namespace orven::win32

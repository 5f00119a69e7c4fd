// Every output file is written in binary mode with our own line-end translation, so that
// its bytes are the same on every platform: each LF is stored as CR LF (a CR already in the
// text stays, so "\r\n" in a text becomes CR CR LF, as a text-mode write gave).
#pragma once

#include <string>
#include <string_view>

namespace orven {

inline void append_with_crlf(std::string& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
       from = lf + 1, lf = text.find('\n', from)) {
    out.append(text.substr(from, lf - from));
    out.append("\r\n");
  }
  out.append(text.substr(from));
}

inline std::string with_crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  append_with_crlf(out, text);
  return out;
}

}  // namespace orven

// Display conversion: the fixed texts are windows-1251 bytes, while the screens and
// terminals the front-ends write to take UTF-8. Files keep their windows-1251 bytes; only
// what is shown to a person passes through here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orven::app {

// windows-1251 bytes to UTF-8; the one unassigned byte (0x98) becomes U+FFFD.
std::string to_utf8(std::string_view cp1251);

// A path as UTF-8, for a message that names it.
std::string path_to_utf8(const std::filesystem::path& path);

// Text that came from outside (a file name, an argument) made safe to show: control
// characters and bytes that are not UTF-8 become \xHH (C1 controls \u00HH), so that a name
// can neither steer a terminal nor garble a message box. Everything else is kept.
std::string escape_controls(std::string_view utf8);

// The length of the well-formed UTF-8 character at the start of text (no overlong form, no
// surrogate, nothing past U+10FFFF), or 0.
std::size_t utf8_length(std::string_view text);

// path_to_utf8, escaped.
std::string display_path(const std::filesystem::path& path);

}  // namespace orven::app

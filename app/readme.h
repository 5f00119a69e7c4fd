// The readme writer: after every run, "readme.txt" in the current directory is rewritten
// with the fixed notice of texts/readme.h. It is not the run's output, so a readme that
// cannot be written is skipped without a word.
#pragma once

#include <string>

namespace orven::app {

// The notice as it is meant to be read: windows-1251, LF line ends.
std::string readme_text();

// Truncates or creates "readme.txt" and writes the notice in one write, LF stored as CR LF.
void write_readme() noexcept;

}  // namespace orven::app

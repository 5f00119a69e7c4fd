// The readme writer: after every run, "readme.txt" in the current directory is rewritten
// with the fixed notice of texts/readme.h. It is not the run's output, so a readme that
// cannot be written is skipped without a word; and since "readme.txt" is a common name in a
// project folder, only a readme this program wrote earlier is ever rewritten.
#pragma once

#include <string>

#include "base/platform.h"

namespace orven::app {

// The notice as it is meant to be read: windows-1251, LF line ends.
std::string readme_text();

// Writes the notice in one piece, LF stored as CR LF, when "readme.txt" is missing or is a
// regular file that starts as the notice does (its two empty lines and the warning line);
// anything else of that name is left as it is (not_ours). Never follows a link.
platform::OwnFile write_readme() noexcept;

}  // namespace orven::app

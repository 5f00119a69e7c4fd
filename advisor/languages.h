// The languages of the sources, told by a file's name ending (letters of any case), and the
// section whose rules speak about each: web rules about PHP, HTML and JavaScript, C++ rules
// about C and C++. A name of any other ending has no language: its words are matched as text.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "advisor/rule_index.h"

namespace orven {

enum class Language { none, php, html, javascript, c };

Language language_of(std::string_view name);
Language language_of(const std::filesystem::path& name);

// The section whose rules count in a file of this language; none for Language::none.
std::optional<Section> section_of(Language language);

}  // namespace orven

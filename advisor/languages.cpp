// Name endings to languages. The endings are those a walk takes (advisor/input_walk.h).
#include "advisor/languages.h"

#include <array>
#include <utility>

namespace orven {

namespace {

constexpr std::array<std::pair<std::string_view, Language>, 17> kEndings{{
    {".php", Language::php},
    {".inc", Language::php},
    {".phtml", Language::php},
    {".html", Language::html},
    {".htm", Language::html},
    {".xhtml", Language::html},
    {".js", Language::javascript},
    {".mjs", Language::javascript},
    {".c", Language::c},
    {".cc", Language::c},
    {".cpp", Language::c},
    {".cxx", Language::c},
    {".h", Language::c},
    {".hh", Language::c},
    {".hpp", Language::c},
    {".hxx", Language::c},
    {".inl", Language::c},
}};

bool ends_like(std::string_view name, std::string_view ending) {
  if (name.size() <= ending.size()) return false;
  const std::string_view tail = name.substr(name.size() - ending.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ending[i]) return false;
  }
  return true;
}

}  // namespace

Language language_of(std::string_view name) {
  for (const auto& [ending, language] : kEndings) {
    if (ends_like(name, ending)) return language;
  }
  return Language::none;
}

Language language_of(const std::filesystem::path& name) {
  const std::u8string file = name.filename().u8string();
  return language_of(std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
}

std::optional<Section> section_of(Language language) {
  switch (language) {
    case Language::php:
    case Language::html:
    case Language::javascript:
      return Section::web;
    case Language::c:
      return Section::cpp;
    case Language::none:
      break;
  }
  return std::nullopt;
}

}  // namespace orven

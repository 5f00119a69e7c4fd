// The product's own names and addresses, shared by the report, the readme and the front-ends.
#pragma once

#include <string_view>

#include "texts/cp1251.h"

namespace orven::texts {
using namespace literals;

inline constexpr std::string_view kProductName = "ОРВЕН"_cp;
inline constexpr std::string_view kVersion = "10.4.1"_cp;
// "ОРВЕН 10.4.1", as --version prints it.
inline constexpr std::string_view kVersionLine = "ОРВЕН 10.4.1"_cp;
inline constexpr std::string_view kSiteAddress = "https://www.orven.example/"_cp;
inline constexpr std::string_view kContactEmail = "orven@orven.example"_cp;
// The maker's copyright notice: the sign, the years and the maker.
inline constexpr std::string_view kCopyrightNotice = "© 2011–2012 Морваш"_cp;
inline constexpr std::string_view kMaker = "Морваш"_cp;
// Every placeholder address in the advice examples uses this reserved domain.
inline constexpr std::string_view kPlaceholderDomain = "example.com"_cp;

}  // namespace orven::texts

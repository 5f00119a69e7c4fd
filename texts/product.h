// The product's own names and addresses, shared by the report, the readme and the front-ends,
// and the names of the files a run writes. The version is defined here once; CMake reads it
// from this line for the project and its packages.
#pragma once

#include <string_view>

#include "texts/cp1251.h"
#include "texts/join.h"

namespace orven::texts {

inline constexpr std::string_view kProductName = "ОРВЕН"_cp;
inline constexpr std::string_view kVersion = "10.4.1"_cp;
namespace detail {
inline constexpr std::string_view kBlank = " "_cp;
}
// "ОРВЕН 10.4.1", as --version prints it.
inline constexpr std::string_view kVersionLine =
    Joined<kProductName, detail::kBlank, kVersion>::kText;
inline constexpr std::string_view kSiteAddress = "https://www.orven.example/"_cp;
inline constexpr std::string_view kContactEmail = "orven@orven.example"_cp;
// The maker's copyright notice: the sign, the years and the maker.
inline constexpr std::string_view kCopyrightNotice = "© 2011–2012 Морваш"_cp;
inline constexpr std::string_view kMaker = "Морваш"_cp;

// The outputs: bare names, resolved against the current folder when they are written.
inline constexpr std::string_view kReportFile = "result.html"_cp;
inline constexpr std::string_view kLogFile = "orven_log.txt"_cp;
inline constexpr std::string_view kReadmeFile = "readme.txt"_cp;

}  // namespace orven::texts

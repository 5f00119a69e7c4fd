// The fixed texts of expert mode: the two gate prefixes, the argument filler, the log's
// separators, and the names of the 39 script commands. The script runner (script/) owns
// what the commands do; the report's command reference shows the same names.
#pragma once

#include <string_view>

#include "texts/cp1251.h"

namespace orven::texts::commands {

// A command word that contains either prefix anywhere passes the command gate.
inline constexpr std::string_view kMathGate = "#root::math::"_cp;
inline constexpr std::string_view kVerdictGate = "#root::hv::get_"_cp;

// Written after every script line before anything is read, so that every line yields a
// command word and ten numbers: a blank, then -1 to 19, each followed by a blank.
inline constexpr std::string_view kArgumentFiller =
    " -1 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 "_cp;
static_assert(kArgumentFiller.size() == 54);

// Between the command word and its value: vptya alone has two blanks after "<<".
inline constexpr std::string_view kVptyaSeparator = " <<  "_cp;
inline constexpr std::string_view kMathSeparator = " << "_cp;
inline constexpr std::string_view kVerdictSeparator = " = "_cp;

// The nine formulas.
inline constexpr std::string_view kVptya = "#root::math::vptya"_cp;
inline constexpr std::string_view kVptga = "#root::math::vptga"_cp;
inline constexpr std::string_view kOerp = "#root::math::oerp"_cp;
inline constexpr std::string_view kPkss = "#root::math::pkss"_cp;
inline constexpr std::string_view kPavbsm = "#root::math::pavbsm"_cp;
inline constexpr std::string_view kPbtscp = "#root::math::pbtscp"_cp;
inline constexpr std::string_view kGetCtr = "#root::math::get_ctr"_cp;
inline constexpr std::string_view kGetCnvr = "#root::math::get_cnvr"_cp;
inline constexpr std::string_view kGetAimcost = "#root::math::get_aimcost"_cp;

// The thirty verdicts (the heuristic module).
inline constexpr std::string_view kNeedcms = "#root::hv::get_needcms"_cp;
inline constexpr std::string_view kAjax = "#root::hv::get_ajax"_cp;
inline constexpr std::string_view kJqanimate = "#root::hv::get_jqanimate"_cp;
inline constexpr std::string_view kJqappend = "#root::hv::get_jqappend"_cp;
inline constexpr std::string_view kDomcss = "#root::hv::get_domcss"_cp;
inline constexpr std::string_view kDomtoggle = "#root::hv::get_domtoggle"_cp;
inline constexpr std::string_view kSgmsricms = "#root::hv::get_sgmsricms"_cp;
inline constexpr std::string_view kDagcn = "#root::hv::get_dagcn"_cp;
inline constexpr std::string_view kStrlenTitle = "#root::hv::get_strlenTITLE"_cp;
inline constexpr std::string_view kStrlenH1 = "#root::hv::get_strlenH1"_cp;
inline constexpr std::string_view kStrlenH2 = "#root::hv::get_strlenH2"_cp;
inline constexpr std::string_view kStrlenH3 = "#root::hv::get_strlenH3"_cp;
inline constexpr std::string_view kStrlenH4 = "#root::hv::get_strlenH4"_cp;
inline constexpr std::string_view kStrlenKw = "#root::hv::get_strlenKW"_cp;
inline constexpr std::string_view kStrlenDes = "#root::hv::get_strlenDES"_cp;
inline constexpr std::string_view kStrlenStrong = "#root::hv::get_strlenSTRONG"_cp;
inline constexpr std::string_view kStrlenEm = "#root::hv::get_strlenEM"_cp;
inline constexpr std::string_view kStrlenAlt = "#root::hv::get_strlenALT"_cp;
inline constexpr std::string_view kStrlenTitleAtr = "#root::hv::get_strlenTITLE_atr"_cp;
inline constexpr std::string_view kCntwordTitle = "#root::hv::get_cntwordTITLE"_cp;
inline constexpr std::string_view kCntwordH1 = "#root::hv::get_cntwordH1"_cp;
inline constexpr std::string_view kCntwordH2 = "#root::hv::get_cntwordH2"_cp;
inline constexpr std::string_view kCntwordH3 = "#root::hv::get_cntwordH3"_cp;
inline constexpr std::string_view kCntwordH4 = "#root::hv::get_cntwordH4"_cp;
inline constexpr std::string_view kCntwordKw = "#root::hv::get_cntwordKW"_cp;
inline constexpr std::string_view kCntwordDes = "#root::hv::get_cntwordDES"_cp;
inline constexpr std::string_view kCntwordStrong = "#root::hv::get_cntwordSTRONG"_cp;
inline constexpr std::string_view kCntwordEm = "#root::hv::get_cntwordEM"_cp;
inline constexpr std::string_view kCntwordAlt = "#root::hv::get_cntwordALT"_cp;
inline constexpr std::string_view kCntwordTitleAtr = "#root::hv::get_cntwordTITLE_atr"_cp;

}  // namespace orven::texts::commands

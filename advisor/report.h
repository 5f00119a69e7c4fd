// The advice report of a training run: its frame, the rule blocks of the web and C++
// sections, the closing chapters, and the one write of "result.html". report.cpp,
// advisor.cpp and closing.cpp own it; the report grows in slot 300 of the Run workspace.
#pragma once

#include <filesystem>
#include <string_view>

#include "advisor/rule_index.h"
#include "workspace/workspace.h"

namespace orven {

struct FiredRules;

// Slot 300 = head template + report header; slots 301-303 = the rule block pieces.
void begin_report(Workspace& w);

// Appends slot 301 + advice + slot 302 + example + slot 303 to slot 300, in one piece.
void append_rule_block(Workspace& w, std::string_view advice, std::string_view example);

// Appends one rule block per fired rule of the section, in list order.
void append_rule_blocks(Workspace& w, const FiredRules& fired, Section section);
void append_closing_chapters(Workspace& w);

// Replaces "result.html" with slot 300 (LF stored as CR LF), never leaving it half written.
// False when it could not be written, or when the name is not this user's regular file.
bool write_report(const Workspace& w, const std::filesystem::path& file);

}  // namespace orven

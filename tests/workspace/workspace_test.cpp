#include "workspace/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orven {
namespace {

// Every workspace starts with all slots empty and all numbers zero, and nothing a run leaves
// behind is visible to the next run's workspace. Runs follow one another, so that a later
// workspace takes the memory that an earlier one, filled by its run, gave back.
TEST(Workspace, EveryRunStartsFresh) {
  for (int run = 0; run < 4; ++run) {
    WorkspacePtr w = create_workspace();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(std::ranges::all_of(w->slots, [](const std::string& s) { return s.empty(); }))
        << "run " << run;
    for (double a : w->args) EXPECT_EQ(a, 0.0) << "run " << run;
    EXPECT_EQ(w->verdict, 0.0) << "run " << run;

    scanned_text(*w).assign(1 << 20, 'x');
    command_word(*w) = "#root::math::vptya";
    w->args.fill(7.0);
    w->verdict = 1.0;
    destroy_workspace(w);
    EXPECT_EQ(w, nullptr);
    destroy_workspace(w);  // destroying null does nothing
  }
}

}  // namespace
}  // namespace orven

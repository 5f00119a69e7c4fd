#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace orven {
namespace {

// A fresh workspace: all slots empty, all numbers zero, the last slot present.
TEST(Workspace, StartsEmptyAndZero) {
  WorkspacePtr w = create_workspace();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->slots.size(), 5512u);
  for (const std::string& s : w->slots) EXPECT_TRUE(s.empty());
  for (double a : w->args) EXPECT_EQ(a, 0.0);
  EXPECT_EQ(w->verdict, 0.0);
  w->slots[5511] = "last";
  EXPECT_EQ(w->slots.back(), "last");
}

// Nothing a run leaves behind is visible to the next run's workspace.
TEST(Workspace, EveryRunStartsFresh) {
  WorkspacePtr first = create_workspace();
  scanned_text(*first).assign(1 << 20, 'x');
  command_word(*first) = "#root::math::vptya";
  first->args.fill(7.0);
  first->verdict = 1.0;
  destroy_workspace(first);
  EXPECT_EQ(first, nullptr);
  destroy_workspace(first);  // destroying null does nothing

  WorkspacePtr second = create_workspace();
  EXPECT_TRUE(command_word(*second).empty());
  EXPECT_TRUE(script_line(*second).empty());
  for (double a : second->args) EXPECT_EQ(a, 0.0);
  EXPECT_EQ(second->verdict, 0.0);
}

}  // namespace
}  // namespace orven

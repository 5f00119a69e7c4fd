// Watching the workspaces the run sequence creates, through this binary's own global
// operator new and delete (live_workspaces.cpp).
#pragma once

namespace orven::testing {

// How many workspaces exist right now.
int live_workspaces();

// While set, creating a workspace throws std::bad_alloc, as when memory has run out.
void refuse_workspaces(bool refuse);

}  // namespace orven::testing

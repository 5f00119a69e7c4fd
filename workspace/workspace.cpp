#include "workspace/workspace.h"

namespace orven {

// Value-initialisation zero-fills the record before the slots are constructed in index
// order; the array destroys them again in reverse order.
WorkspacePtr create_workspace() { return WorkspacePtr(new Workspace()); }

void WorkspaceDeleter::operator()(Workspace* w) const noexcept { delete w; }

void destroy_workspace(WorkspacePtr& workspace) noexcept { workspace.reset(); }

}  // namespace orven

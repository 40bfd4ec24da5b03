#pragma once

#include "ui/toolkit.h"

namespace velorin::ui {

// The toolkit of the running thread: what a dialog, a run or an engine uses for
// its boxes, pumping and sleeping. Like the shared dialogs it is per thread, and
// everything runs on the one user-interface thread.
//
// Raises velorin::Error(kErrObjectRequired) when no toolkit is installed, so a
// run started before its host wired a toolkit fails with a box-able error, not
// a crash.
Toolkit& CurrentToolkit();
bool HasCurrentToolkit() noexcept;

// Installs a toolkit for the lifetime of the scope and puts back the one before.
// The application (or a test) holds one for as long as commands may run.
class ToolkitScope {
  public:
    explicit ToolkitScope(Toolkit& toolkit) noexcept;
    ~ToolkitScope();
    ToolkitScope(const ToolkitScope&) = delete;
    ToolkitScope& operator=(const ToolkitScope&) = delete;
    ToolkitScope(ToolkitScope&&) = delete;
    ToolkitScope& operator=(ToolkitScope&&) = delete;

  private:
    Toolkit* m_previous;
};

}  // namespace velorin::ui

#include "ui/current_toolkit.h"

#include "ui/runtime_error.h"

namespace velorin::ui {

namespace {
thread_local Toolkit* g_current = nullptr;
}

Toolkit& CurrentToolkit() {
    if (g_current == nullptr) RaiseRuntimeError(kErrObjectRequired, "no user-interface toolkit");
    return *g_current;
}

bool HasCurrentToolkit() noexcept { return g_current != nullptr; }

ToolkitScope::ToolkitScope(Toolkit& toolkit) noexcept : m_previous(g_current) {
    g_current = &toolkit;
}

ToolkitScope::~ToolkitScope() { g_current = m_previous; }

}  // namespace velorin::ui

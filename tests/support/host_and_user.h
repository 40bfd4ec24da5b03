#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/memory/reference_host.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

// End-to-end runs in tests: a reference host and a scripted user wired together
// as the map window wires a host and a person, with the user installed as the
// thread's toolkit for the object's lifetime.
//
//   - Esc: the host's cancel trackers ask the user (hooks.takeEscPress), so the
//     user's Esc scheduling reaches every Continue;
//   - status texts: the host tells the user (hooks.statusChanged), so
//     EscWhenStatus works and StatusTexts() lists what the status bar showed;
//   - message pumping: every DoEvents of the user processes the view's pending
//     redraw, as the application's message loop does.
//
// Use it as a member of a test fixture; build the host first:
//   HostAndUser run{HostBuilder().FeatureLayer(...)...Build(MakeQImageCanvas(200, 150))};
namespace velorin::testing {

class HostAndUser {
  public:
    explicit HostAndUser(memory::ReferenceHost host) : m_host(std::move(host)) {
        objects::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = [this] { return m_user.TakeEscPress(); };
        hooks.statusChanged = [this](std::string_view text) { m_user.NoteStatusText(text); };
        // A copy of the host, so the listener does not depend on this object's
        // address staying put beyond the user's own lifetime.
        m_user.OnEvent([host = m_host](const scripted::Event& event) {
            if (std::holds_alternative<scripted::DoEventsRecord>(event)) {
                host.View().ProcessPendingRedraw();
            }
        });
    }
    // Unhooks the host: a dialog kept in a per-thread slot may hold the host's
    // application beyond this object, and must not reach a user that is gone.
    ~HostAndUser() {
        objects::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = nullptr;
        hooks.statusChanged = nullptr;
    }
    HostAndUser(const HostAndUser&) = delete;
    HostAndUser(HostAndUser&&) = delete;
    HostAndUser& operator=(const HostAndUser&) = delete;
    HostAndUser& operator=(HostAndUser&&) = delete;

    memory::ReferenceHost& Host() { return m_host; }
    scripted::ScriptedUser& User() { return m_user; }
    const std::shared_ptr<memory::Application>& Application() const { return m_host.Application(); }

    // The screen's pixels as they are now (compare two snapshots to see that a
    // flash left nothing behind).
    std::vector<std::uint32_t> Pixels() const { return m_host.View().Screen().Pixels(); }

  private:
    scripted::ScriptedUser m_user;
    ui::ToolkitScope m_scope{m_user};
    memory::ReferenceHost m_host;
};

}  // namespace velorin::testing

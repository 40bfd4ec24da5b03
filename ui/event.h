#pragma once

#include <functional>
#include <utility>

namespace velorin::ui {

// One event of a window or control and the form's handler for it. The handler
// belongs to the form: it is set once, when the form is built, and survives
// unloading. Firing is safe against what handlers do: the handler runs from a
// copy, so it may replace itself, and it is not fired again while it is still
// running (a handler that sets its own list's current entry is not re-entered;
// other controls' handlers still fire). Exceptions pass through to the caller.
class Event {
  public:
    void Set(std::function<void()> handler) { m_handler = std::move(handler); }
    bool Running() const { return m_running; }

    void Fire() {
        if (!m_handler || m_running) {
            return;
        }
        const std::function<void()> handler = m_handler;
        const RunningFlag guard(m_running);
        handler();
    }

  private:
    class RunningFlag {
      public:
        explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
        ~RunningFlag() { m_flag = false; }
        RunningFlag(const RunningFlag&) = delete;
        RunningFlag(RunningFlag&&) = delete;
        RunningFlag& operator=(const RunningFlag&) = delete;
        RunningFlag& operator=(RunningFlag&&) = delete;

      private:
        bool& m_flag;
    };

    std::function<void()> m_handler;
    bool m_running = false;
};

}  // namespace velorin::ui

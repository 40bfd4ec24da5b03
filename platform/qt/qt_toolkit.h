#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/toolkit.h"

class QWidget;

namespace velorin::qt {

class InputGate;

// The windowing port on Qt 6 Widgets, for a person at a desktop. Every call comes
// on the thread of the QApplication, which must exist before the toolkit is made
// and outlive it.
//
// Windows: a modal show builds a QDialog from the window's model (QtWindow), runs
// a nested event loop until the window is hidden or unloaded, and throws the
// dialog away; the model keeps every state between shows.
//
// Esc and the cancel trackers: a run blocks the thread, so a person's keys reach
// the program only while a run pumps, in DoEvents and in TakeEscPress, which both
// process the pending events through the input gate. While they pump, the gate
// counts each Esc press (auto-repeats of a held key are not new presses) and
// swallows every other key, click, wheel turn, shortcut and close request, so
// that nothing a person does during a run can start another command or close a
// window under it. An Esc pressed while the thread sleeps (a flash's wait) waits
// in the window system's queue and is counted by the next TakeEscPress. Esc
// pressed while no run pumps (an idle main window, a dialog or box of ours, which
// run loops of their own) is nobody's cancel request and is not counted, so a
// stale press never pauses the next run.
//
// Every slot that runs a person's action goes through the error edge
// (Toolkit::RunAtEdge): nothing unwinds through Qt's event loop.
class QtToolkit final : public ui::Toolkit {
  public:
    // Raises object required (424) when there is no QApplication.
    QtToolkit();
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit(QtToolkit&&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;
    QtToolkit& operator=(QtToolkit&&) = delete;

    // Processes the pending events (repaints, timers, the window system's queue)
    // through the input gate; see the class comment.
    void DoEvents() override;
    // In the user's locale (QLocale()): blanks around the number are ignored;
    // group separators, "nan", "inf" and values beyond a double are refused.
    std::optional<double> ParseNumber(std::string_view text) override;
    // In the user's locale: at most 15 significant digits, no trailing zeros, no
    // group separators ("1234567,5" under de_DE).
    std::string FormatNumber(double value) override;
    // Processes the pending events through the input gate, then takes one counted
    // Esc press if there is one.
    bool TakeEscPress() override;

    // Runs right before every blocking sleep. No event is processed during the
    // wait, so a map window that drew a flash must repaint here (or at the draw
    // itself) if the flash is to be seen while the thread sleeps. Empty: nothing.
    // Errors of the hook pass to the sleeper's caller.
    void OnBeforeSleep(std::function<void()> hook) { m_beforeSleep = std::move(hook); }

    // The window our dialogs sit over (a host application's main window, which
    // must outlive every show), or null for top-level dialogs.
    void SetDialogParent(QWidget* parent) { m_dialogParent = parent; }
    QWidget* DialogParent() const { return m_dialogParent; }

  protected:
    void RunModal(ui::Window& window) override;
    ui::MsgResult ShowMessageBox(const ui::MessageBoxRequest& request) override;
    void SleepFor(std::int32_t milliseconds) override;

  private:
    // Pumps the pending events with the gate open for counting.
    void Pump();

    std::unique_ptr<InputGate> m_gate;
    std::function<void()> m_beforeSleep;
    QWidget* m_dialogParent = nullptr;
};

}  // namespace velorin::qt

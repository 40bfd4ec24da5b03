#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/error.h"

namespace velorin::ui {

class Window;

// The title of every message box that is not given one.
inline constexpr std::string_view kLibraryName = "Velorin";

enum class MsgButtons { OkOnly, OkCancel };
enum class MsgIcon { None, Critical };
enum class MsgResult { Ok, Cancel };

// The mark of an error that no edge catches: a script playing the person says
// the program did what the script did not foresee (a window with no scene, a box
// with no answer). That must end the test or the batch run with its message, not
// become one more box. Nothing but such a script raises one.
class EdgeExempt {
  public:
    virtual ~EdgeExempt() = default;

  protected:
    EdgeExempt() = default;
    EdgeExempt(const EdgeExempt&) = default;
    EdgeExempt(EdgeExempt&&) = default;
    EdgeExempt& operator=(const EdgeExempt&) = default;
    EdgeExempt& operator=(EdgeExempt&&) = default;
};

// One message box as a toolkit receives it: the title is already filled in.
struct MessageBoxRequest {
    std::string text;
    std::string title;
    MsgButtons buttons = MsgButtons::OkOnly;
    MsgIcon icon = MsgIcon::None;
};

// What only a desktop can do. The public calls are fixed here, once, with their
// rules (default title, negative sleeps, modal bookkeeping); a toolkit implements
// the protected virtual parts. All calls come on the one user-interface thread.
class Toolkit {
  public:
    Toolkit() = default;
    virtual ~Toolkit() = default;
    Toolkit(const Toolkit&) = delete;
    Toolkit(Toolkit&&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;
    Toolkit& operator=(Toolkit&&) = delete;

    // Loads the window, shows it modally and returns when it has been hidden or
    // unloaded. A window already visible raises "Form already displayed; can't
    // show modally" (400). Errors of the toolkit's loop pass through; the window
    // is no longer modal afterwards in every case.
    void ShowModal(Window& window);

    // Shows a modal message box and returns the button pressed. An empty title
    // gives the library's name, kLibraryName. Closing an OK and Cancel box
    // without a button counts as Cancel; an OK-only box always gives Ok.
    MsgResult MsgBox(std::string_view text, MsgButtons buttons = MsgButtons::OkOnly,
                     MsgIcon icon = MsgIcon::None, std::string_view title = {});

    // Shows "Error <number>: <description>" (OK, no icon, default title): what an
    // edge does with an error it catches.
    void ReportError(const velorin::Error& error);

    // The error edge. Every place where a toolkit runs what a person did (a
    // widget's signal, a window procedure, a scene's step, a menu command of the
    // map window) runs it through here, so that one rule holds everywhere:
    // nothing the action raises leaves the edge. A velorin::Error, out of memory,
    // any other exception and anything else thrown are shown with ReportError as
    // ErrorOfException (runtime_error.h) describes, and the edge returns; the
    // window stays open and usable. Should showing the box fail as well (memory
    // gone), the edge still returns, silently: there is nothing left to tell the
    // person with. Only an EdgeExempt passes through, from the action or the box.
    void RunAtEdge(const std::function<void()>& action);

    // Processes pending window messages (repaints, key presses), then returns.
    virtual void DoEvents() = 0;

    // Blocks the thread for `milliseconds`. A negative value never blocks: it is
    // treated as 0 (widened, it would otherwise be an endless wait).
    void Sleep(std::int32_t milliseconds);

    // A number typed by the user, in the user's locale; no value when the text is
    // not a number.
    virtual std::optional<double> ParseNumber(std::string_view text) = 0;
    // A number for the user to read, in the user's locale: at most 15 significant
    // digits, no trailing zeros.
    virtual std::string FormatNumber(double value) = 0;

    // True once for each Esc press not yet taken: each press is taken by exactly
    // one call, so one Esc stops one cancel check.
    virtual bool TakeEscPress() = 0;

  protected:
    // Runs the window's modal loop; called with the window loaded, visible and
    // marked modal. Returns when the window is no longer visible or loaded.
    virtual void RunModal(Window& window) = 0;
    virtual MsgResult ShowMessageBox(const MessageBoxRequest& request) = 0;
    // Called with a value of at least 0.
    virtual void SleepFor(std::int32_t milliseconds) = 0;
};

}  // namespace velorin::ui

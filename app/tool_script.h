#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "platform/scripted/records.h"
#include "platform/scripted/scripted_user.h"
#include "ui/window.h"

// The person's part in a batch run, and what the run came to.
namespace velorin::app {

// What became of the tool's dialog.
struct DialogReport {
    bool shown = false;
    // OK was pressed and the dialog stayed open: it refused the values (or its
    // question was answered Cancel). The script then pressed Cancel.
    bool refused = false;
};

// Steps a caller adds to the dialog's scene (for pictures of the dialog).
struct DialogSteps {
    // With the controls set, before OK.
    std::function<void(ui::Window&)> beforeOk;
};

// Prepares the user for one run of the tool: the dialog's scene (the controls
// set from the choices in the order a person works down the dialog, layers
// before their fields and check boxes before the boxes they enable, then OK, and
// Cancel when the dialog refuses), the answers to message boxes (the options'
// rules first, then OK to anything else), and the Esc presses before cancel
// checks and during flash waits. Presses at status texts are StatusEscapes': only
// the caller watches the status bar. report must outlive the run.
void PlanRun(scripted::ScriptedUser& user, const HeadlessOptions& options, DialogReport& report,
             const DialogSteps& steps = {});

// The Esc presses at status texts (--esc-at-status): one press the first time the
// status bar shows a text containing the key, as --answer matches part of a box's
// text.
class StatusEscapes {
  public:
    explicit StatusEscapes(const std::vector<std::string>& keys);

    // The presses the status text now shown calls for.
    int Note(std::string_view status);
    // The keys no status text has contained, in the order given.
    std::vector<std::string> Unmatched() const;

  private:
    struct Key {
        std::string text;
        bool matched = false;
    };
    std::vector<Key> m_keys;
};

// How a batch run ended.
struct RunOutcome {
    int exitStatus = kExitFinished;
    std::string summary;  // one line for the person reading the output
};

// The tool's own completion message.
std::string_view CompletionText(Tool tool);
// "Zoom and Flash", "Copy Legend Colors".
std::string_view ToolTitle(Tool tool);

// Judges the run from what the person saw:
//   - an error box ("Error <number>: ...", the command's trap): kExitFailed;
//   - the dialog refused, a pause answered Cancel, or no completion message:
//     kExitStopped;
//   - the completion message after a refusal of the tool's (a critical box: the
//     Zoom and Flash engine still ends with its completion message when it
//     refuses a layer or a value): kExitStopped;
//   - otherwise the completion message: kExitFinished.
RunOutcome JudgeRun(Tool tool, const DialogReport& dialog,
                    const std::vector<scripted::MessageBoxRecord>& boxes);

// "Error 2021: Symbol type must be simple" is the trap's; "Errors found" is not.
bool IsErrorBox(const scripted::MessageBoxRecord& box);

// One line for a box as it comes: message box "Velorin" [OK, critical]: TEXT -> OK
std::string DescribeBox(const scripted::MessageBoxRecord& box);

}  // namespace velorin::app

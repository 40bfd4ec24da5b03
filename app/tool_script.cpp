#include "app/tool_script.h"

#include <algorithm>

#include "copylegend/run_copy_legend.h"
#include "ui/check_box.h"
#include "ui/command_button.h"
#include "zoomflash/messages.h"

namespace velorin::app {

namespace {

void PlanZoomFlashControls(scripted::Scene& scene, const DialogChoices& choices) {
    // Top to bottom, as a person works down the dialog: a layer's pick refills
    // its key field list, so the field comes after its layer; a method's check box
    // enables its number box, so the check boxes come before the numbers.
    if (choices.sourceLayer) scene.Pick("cboLyr1", *choices.sourceLayer);
    if (choices.sourceField) scene.Pick("cboFld1", *choices.sourceField);
    if (choices.sourceFlashTime) scene.Type("txtSrcFlashTime", *choices.sourceFlashTime);
    if (choices.relatedLayer) scene.Pick("cboLyr2", *choices.relatedLayer);
    if (choices.relatedField) scene.Pick("cboFld2", *choices.relatedField);
    if (choices.relatedFlashTime) scene.Type("txtRelFlashTime", *choices.relatedFlashTime);
    if (choices.methods) {
        const ZoomMethods methods = *choices.methods;
        const bool full = methods == ZoomMethods::Full || methods == ZoomMethods::Both;
        const bool related = methods == ZoomMethods::Related || methods == ZoomMethods::Both;
        scene.Check("chkFull", full ? 1 : 0);
        scene.Check("chkRelated", related ? 1 : 0);
    }
    if (choices.zoomFactor) scene.Type("txtZoomFactor", *choices.zoomFactor);
    if (choices.zoomWidth) scene.Type("txtZoomWidth", *choices.zoomWidth);
}

void PlanCopyLegendControls(scripted::Scene& scene, const DialogChoices& choices) {
    if (choices.sourceLayer) scene.Pick("cboLyr1", *choices.sourceLayer);
    if (choices.sourceField) scene.Pick("cboFld1", *choices.sourceField);
    if (choices.relatedLayer) scene.Pick("cboLyr2", *choices.relatedLayer);
    if (choices.relatedField) scene.Pick("cboFld2", *choices.relatedField);
}

}  // namespace

std::string_view CompletionText(Tool tool) {
    return tool == Tool::ZoomFlash ? zoomflash::text::kFinished : copylegend::kFinishedText;
}

std::string_view ToolTitle(Tool tool) {
    return tool == Tool::ZoomFlash ? "Zoom and Flash" : "Copy Legend Colors";
}

void PlanRun(scripted::ScriptedUser& user, const HeadlessOptions& options, DialogReport& report,
             const DialogSteps& steps) {
    scripted::Scene& scene =
        user.OnShow(options.tool == Tool::ZoomFlash ? "frmZoomFlash" : "frmCopyLegend");
    scene.Do([&report](ui::Window&) { report.shown = true; });
    if (options.tool == Tool::ZoomFlash) {
        PlanZoomFlashControls(scene, options.dialog);
    } else {
        PlanCopyLegendControls(scene, options.dialog);
    }
    if (steps.beforeOk) scene.Do(steps.beforeOk);
    // OK, and then what a person does when the dialog refuses: reads the message
    // and gives up with Cancel, so the run ends as the tool's Cancel ends it. One
    // step, because a scene stops at the window's closing and could not look
    // after an accepted OK.
    scene.Do([&report](ui::Window& window) {
        window.Button("cmdOK").Click();
        if (window.Loaded() && window.Visible()) {
            report.refused = true;
            window.Button("cmdCancel").Click();
        }
    });

    for (const BoxAnswer& rule : options.answers) user.AnswerAlways(rule.textPart, rule.answer);
    // Any other box: OK, as a person who only wants the run to go on answers.
    user.AnswerAlways("", ui::MsgResult::Ok);

    for (const int n : options.esc.beforeCancelCheck) user.EscBeforeCancelCheck(n);
    for (const int n : options.esc.duringSleep) user.EscDuringSleep(n);
}

StatusEscapes::StatusEscapes(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) m_keys.push_back(Key{.text = key});
}

int StatusEscapes::Note(std::string_view status) {
    int presses = 0;
    for (Key& key : m_keys) {
        if (!key.matched && status.find(key.text) != std::string_view::npos) {
            key.matched = true;
            ++presses;
        }
    }
    return presses;
}

std::vector<std::string> StatusEscapes::Unmatched() const {
    std::vector<std::string> keys;
    for (const Key& key : m_keys) {
        if (!key.matched) keys.push_back(key.text);
    }
    return keys;
}

bool IsErrorBox(const scripted::MessageBoxRecord& box) {
    std::string_view text = box.text;
    if (!text.starts_with("Error ")) return false;
    text.remove_prefix(6);
    if (text.starts_with('-')) text.remove_prefix(1);
    const std::size_t digits = text.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string_view::npos && text.substr(digits).starts_with(": ");
}

std::string DescribeBox(const scripted::MessageBoxRecord& box) {
    std::string line = "message box \"" + box.title + "\" [";
    line += box.buttons == ui::MsgButtons::OkOnly ? "OK" : "OK, Cancel";
    if (box.icon == ui::MsgIcon::Critical) line += ", critical";
    line += "]: " + box.text + " -> ";
    line += box.answer == ui::MsgResult::Ok ? "OK" : "Cancel";
    return line;
}

RunOutcome JudgeRun(Tool tool, const DialogReport& dialog,
                    const std::vector<scripted::MessageBoxRecord>& boxes) {
    const std::string title(ToolTitle(tool));
    const auto last = [&boxes]() -> std::string {
        return boxes.empty() ? std::string() : ": \"" + boxes.back().text + "\"";
    };
    const auto error = std::find_if(boxes.begin(), boxes.end(), IsErrorBox);
    if (error != boxes.end()) {
        return {kExitFailed, title + " ended with an error box: \"" + error->text + "\""};
    }
    if (dialog.refused) {
        return {kExitStopped, "the " + title + " dialog did not accept its values" + last()};
    }
    if (!dialog.shown) {
        return {kExitStopped, title + " did not show its dialog" + last()};
    }
    const auto stoppedAtPause = std::find_if(boxes.begin(), boxes.end(), [](const auto& box) {
        return box.title == zoomflash::text::kPausedTitle && box.answer == ui::MsgResult::Cancel;
    });
    if (stoppedAtPause != boxes.end()) {
        return {kExitStopped, title + " was stopped at a pause: \"" + stoppedAtPause->text + "\""};
    }
    const bool completed = std::any_of(boxes.begin(), boxes.end(), [tool](const auto& box) {
        return box.text == CompletionText(tool);
    });
    if (!completed) return {kExitStopped, title + " did not finish" + last()};
    const auto refusal = std::find_if(boxes.begin(), boxes.end(), [](const auto& box) {
        return box.icon == ui::MsgIcon::Critical;
    });
    if (refusal != boxes.end()) {
        return {kExitStopped, title + " refused to run: \"" + refusal->text + "\""};
    }
    return {kExitFinished, title + " finished"};
}

}  // namespace velorin::app

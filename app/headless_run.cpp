#include "app/headless_run.h"

#include <memory>
#include <optional>
#include <ostream>
#include <variant>

#include "app/frame_recorder.h"
#include "app/open_map.h"
#include "app/symbology.h"
#include "app/tool_script.h"
#include "commands/cls_copy_legend.h"
#include "commands/cls_zoom_flash.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::app {

namespace {

const QImage* ScreenImage(const memory::ReferenceHost& host) {
    const auto* canvas = dynamic_cast<const memory::QImageCanvas*>(&host.View().Screen());
    return canvas != nullptr ? &canvas->Image() : nullptr;
}

// The host and the scripted person wired as the map window wires a host and a
// person, plus the batch run's own listeners: frames and printed boxes. The hooks
// are taken off again when it ends, so a dialog that outlives it (held in its
// per-thread slot) cannot reach a user that is gone.
class BatchWiring {
  public:
    BatchWiring(memory::ReferenceHost& host, scripted::ScriptedUser& user, FrameRecorder* frames,
                std::ostream& out)
        : m_host(host), m_user(user), m_frames(frames), m_out(out) {
        memory::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = [this] { return m_user.TakeEscPress(); };
        hooks.statusChanged = [this](std::string_view text) {
            m_status = std::string(text);
            m_user.NoteStatusText(text);
        };
        hooks.screenChanged = [this] { ScreenChanged(); };
        m_user.OnEvent([this](const scripted::Event& event) { Heard(event); });
    }
    ~BatchWiring() {
        memory::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = nullptr;
        hooks.statusChanged = nullptr;
        hooks.screenChanged = nullptr;
        m_user.OnEvent(nullptr);
    }
    BatchWiring(const BatchWiring&) = delete;
    BatchWiring& operator=(const BatchWiring&) = delete;
    BatchWiring(BatchWiring&&) = delete;
    BatchWiring& operator=(BatchWiring&&) = delete;

    // The map as opened: the first frame.
    void Start() {
        m_nextEvent = "open";
        m_host.View().Refresh();
        m_nextEvent = nullptr;
    }

  private:
    // Every change of pixels comes here: the map's redraws and the extension's
    // drawings. A redraw is a frame (after a zoom, or a change of legend); a
    // flash's drawing is pictured while it waits, not here, so that the frame
    // shows what the person sees during the wait.
    void ScreenChanged() {
        const memory::HostRecord& record = m_host.Record();
        if (record.redraws == m_seenRedraws) return;
        m_seenRedraws = record.redraws;
        const char* event = m_nextEvent;
        if (event == nullptr) {
            event = record.extents.size() != m_seenExtents ? "zoom" : "redraw";
        }
        m_seenExtents = record.extents.size();
        Frame(event);
    }

    void Heard(const scripted::Event& event) {
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) {
            // The message pump's part: the pending redraw of an invalidated view.
            m_host.View().ProcessPendingRedraw();
        } else if (std::holds_alternative<scripted::SleepRecord>(event)) {
            Frame("flash");
        } else if (const auto* box = std::get_if<scripted::MessageBoxRecord>(&event)) {
            m_out << DescribeBox(*box) << std::endl;
        } else if (const auto* show = std::get_if<scripted::ShowRecord>(&event)) {
            m_out << "window \"" << show->caption << "\" shown" << std::endl;
        }
    }

    void Frame(const char* event) {
        if (m_frames == nullptr) return;
        if (const QImage* image = ScreenImage(m_host)) m_frames->Write(*image, event, m_status);
    }

    memory::ReferenceHost& m_host;
    scripted::ScriptedUser& m_user;
    FrameRecorder* m_frames;
    std::ostream& m_out;
    std::string m_status;
    int m_seenRedraws = 0;
    std::size_t m_seenExtents = 0;
    const char* m_nextEvent = nullptr;
};

std::unique_ptr<commands::Command> MakeCommand(Tool tool) {
    if (tool == Tool::ZoomFlash) return std::make_unique<commands::clsZoomFlash>();
    return std::make_unique<commands::clsCopyLegend>();
}

// The tool's click with the person at the dialog. ScriptError: the options asked
// for something the dialog does not offer.
std::optional<std::string> Click(Tool tool, const memory::ReferenceHost& host) {
    try {
        const std::unique_ptr<commands::Command> command = MakeCommand(tool);
        command->OnCreate(host.Application());
        command->OnClick();
    } catch (const scripted::ScriptError& error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<gdal::MapDocument> document;
    try {
        document.emplace(OpenMap(options.document, options.size.width, options.size.height));
    } catch (const velorin::Error& error) {
        err << "velorin-map: " << error.Description() << std::endl;
        return kExitFailed;
    }
    memory::ReferenceHost& host = document->host;

    for (const LayerSelection& selection : options.selections) {
        try {
            host.Select(selection.layer, selection.oids);
        } catch (const velorin::Error& error) {
            err << "velorin-map: --select " << selection.layer << ": " << error.Description()
                << std::endl;
            return kExitUsage;
        }
    }

    for (const LayerField& legend : options.categorize) {
        try {
            Categorize(host, legend.layer, legend.field);
        } catch (const velorin::Error& error) {
            err << "velorin-map: --categorize " << legend.layer << "=" << legend.field << ": "
                << error.Description() << std::endl;
            return kExitUsage;
        }
    }

    std::optional<FrameRecorder> frames;
    if (options.framesDir) {
        frames.emplace(*options.framesDir);
        if (frames->Failed()) {
            err << "velorin-map: " << frames->Failure() << std::endl;
            return kExitFailed;
        }
    }

    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    DialogReport dialog;
    PlanRun(user, options, dialog);

    std::optional<std::string> scriptFault;
    {
        BatchWiring wiring(host, user, frames ? &*frames : nullptr, out);
        out << "velorin-map: " << ToolTitle(options.tool) << " on "
            << options.document.generic_string() << std::endl;
        wiring.Start();
        scriptFault = Click(options.tool, host);
    }
    if (scriptFault) {
        err << "velorin-map: the dialog cannot be set as asked: " << *scriptFault << std::endl;
        return kExitUsage;
    }

    const RunOutcome outcome = JudgeRun(options.tool, dialog, user.MessageBoxes());
    out << "velorin-map: " << outcome.summary << std::endl;
    int status = outcome.exitStatus;

    if (frames) {
        if (frames->Failed()) {
            err << "velorin-map: " << frames->Failure() << std::endl;
            status = kExitFailed;
        }
        out << "frames: " << frames->Count() << " in " << frames->Dir().generic_string()
            << ", listed in " << frames->ListFile().generic_string() << std::endl;
    }

    if (options.savePath) {
        if (outcome.exitStatus != kExitFinished) {
            out << "document: not saved, as " << ToolTitle(options.tool) << " did not finish"
                << std::endl;
        } else {
            try {
                gdal::SaveMapDocument(*document, *options.savePath);
                out << "document: saved to " << options.savePath->generic_string() << std::endl;
            } catch (const velorin::Error& error) {
                err << "velorin-map: " << error.Description() << std::endl;
                status = kExitFailed;
            }
        }
    }
    return status;
}

}  // namespace velorin::app

#include "app/headless_run.h"

#include <algorithm>
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
#include "platform/memory/layers.h"
#include "platform/memory/map.h"
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
    BatchWiring(memory::ReferenceHost& host, scripted::ScriptedUser& user, StatusEscapes& escapes,
                FrameRecorder* frames, std::ostream& out)
        : m_host(host), m_user(user), m_escapes(escapes), m_frames(frames), m_out(out) {
        objects::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = [this] { return m_user.TakeEscPress(); };
        hooks.statusChanged = [this](std::string_view text) {
            m_status = std::string(text);
            m_user.NoteStatusText(text);
            for (int presses = m_escapes.Note(text); presses > 0; --presses) m_user.PressEsc();
        };
        hooks.screenChanged = [this] { ScreenChanged(); };
        m_user.OnEvent([this](const scripted::Event& event) { Heard(event); });
    }
    ~BatchWiring() {
        objects::HostHooks& hooks = m_host.Context().hooks;
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
        const objects::HostRecord& record = m_host.Record();
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
    StatusEscapes& m_escapes;
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

// The names --select takes: feature layers, inside groups too.
void SelectableLayers(const std::vector<std::shared_ptr<host::ILayer>>& layers,
                      std::vector<std::string>& names) {
    for (const auto& layer : layers) {
        if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
            SelectableLayers(group->Layers(), names);
        } else if (std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
            names.push_back(layer->Name());
        }
    }
}

std::string Listed(const std::vector<std::string>& names) {
    if (names.empty()) return "none";
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "\"" : ", \"") + name + "\"";
    return list;
}

// Why --select cannot take name, naming what it can take; nothing when the map has a
// feature layer or standalone table of that name (the host's own message, which
// speaks only of tables, would mislead when the name is a layer's with another
// case).
std::optional<std::string> NoSuchLayer(const memory::ReferenceHost& host, const std::string& name) {
    const objects::FaultInjector::QuietScope quiet(host.Context().faults);
    std::vector<std::string> layers;
    SelectableLayers(host.FocusMap().Layers(), layers);
    std::vector<std::string> tables;
    for (const auto& table : host.FocusMap().StandaloneTables()) tables.push_back(table->Name());
    const auto has = [&name](const std::vector<std::string>& names) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (has(layers) || has(tables)) return std::nullopt;
    std::string message =
        "the map has no layer named \"" + name + "\"; its layers: " + Listed(layers);
    if (!tables.empty()) message += "; its tables: " + Listed(tables);
    return message;
}

// The map as the options ask before the run: --select, then --categorize. False
// when one cannot be made; err says why.
bool PrepareMap(memory::ReferenceHost& host, const HeadlessOptions& options, std::ostream& err) {
    for (const LayerSelection& selection : options.selections) {
        if (const auto missing = NoSuchLayer(host, selection.layer)) {
            err << "velorin-map: --select " << selection.layer << ": " << *missing << std::endl;
            return false;
        }
        try {
            host.Select(selection.layer, selection.oids);
        } catch (const velorin::Error& error) {
            err << "velorin-map: --select " << selection.layer << ": " << error.Description()
                << std::endl;
            return false;
        }
    }
    for (const LayerField& legend : options.categorize) {
        try {
            Categorize(host, legend.layer, legend.field);
        } catch (const velorin::Error& error) {
            err << "velorin-map: --categorize " << legend.layer << "=" << legend.field << ": "
                << error.Description() << std::endl;
            return false;
        }
    }
    return true;
}

// Checked before the run, so that a run of hours does not end in a save that
// cannot be made (and before the frames replace earlier ones).
bool CanSave(const gdal::MapDocument& document, const HeadlessOptions& options, std::ostream& err) {
    if (!options.savePath) return true;
    try {
        gdal::CheckSaveTarget(document, *options.savePath);
    } catch (const velorin::Error& error) {
        err << "velorin-map: " << error.Description() << std::endl;
        return false;
    }
    return true;
}

// The tool's click with the batch run's listeners on the host and the person.
std::optional<std::string> RunTool(memory::ReferenceHost& host, const HeadlessOptions& options,
                                   scripted::ScriptedUser& user, StatusEscapes& escapes,
                                   std::optional<FrameRecorder>& frames, std::ostream& out) {
    BatchWiring wiring(host, user, escapes, frames ? &*frames : nullptr, out);
    out << "velorin-map: " << ToolTitle(options.tool) << " on " << options.document.generic_string()
        << std::endl;
    wiring.Start();
    return Click(options.tool, host);
}

// The frames written, and whether all could be: status, or kExitFailed.
int ReportFrames(const FrameRecorder& frames, int status, std::ostream& out, std::ostream& err) {
    if (frames.Failed()) {
        err << "velorin-map: " << frames.Failure() << std::endl;
        status = kExitFailed;
    }
    out << "frames: " << frames.Count() << " in " << frames.Dir().generic_string() << ", listed in "
        << frames.ListFile().generic_string() << std::endl;
    return status;
}

// --save once the tool finished: status, or kExitFailed when the save fails.
int SaveAfterRun(const gdal::MapDocument& document, const HeadlessOptions& options,
                 const RunOutcome& outcome, int status, std::ostream& out, std::ostream& err) {
    if (outcome.exitStatus != kExitFinished) {
        out << "document: not saved, as " << ToolTitle(options.tool) << " did not finish"
            << std::endl;
        return status;
    }
    try {
        gdal::SaveMapDocument(document, *options.savePath);
        out << "document: saved to " << options.savePath->generic_string() << std::endl;
    } catch (const velorin::Error& error) {
        err << "velorin-map: " << error.Description() << std::endl;
        return kExitFailed;
    }
    return status;
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err,
                std::optional<gdal::MapDocument>* opened) {
    std::optional<gdal::MapDocument> own;
    std::optional<gdal::MapDocument>& document = opened != nullptr ? *opened : own;
    try {
        document.emplace(OpenMap(options.document, options.size.width, options.size.height));
    } catch (const velorin::Error& error) {
        err << "velorin-map: " << error.Description() << std::endl;
        return kExitFailed;
    }
    memory::ReferenceHost& host = document->host;
    if (!PrepareMap(host, options, err)) return kExitUsage;
    if (!CanSave(*document, options, err)) return kExitFailed;

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
    StatusEscapes escapes(options.esc.atStatus);
    if (const auto scriptFault = RunTool(host, options, user, escapes, frames, out)) {
        err << "velorin-map: the dialog cannot be set as asked: " << *scriptFault << std::endl;
        return kExitUsage;
    }
    for (const std::string& key : escapes.Unmatched()) {
        err << "velorin-map: --esc-at-status \"" << key
            << "\": no status text contained it, so Esc was not pressed for it" << std::endl;
    }

    const RunOutcome outcome = JudgeRun(options.tool, dialog, user.MessageBoxes());
    out << "velorin-map: " << outcome.summary << std::endl;
    int status = outcome.exitStatus;
    if (frames) status = ReportFrames(*frames, status, out, err);
    if (options.savePath) status = SaveAfterRun(*document, options, outcome, status, out, err);
    return status;
}

}  // namespace velorin::app

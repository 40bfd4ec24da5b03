#include "app/screenshots.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QTableView>
#include <QTreeWidgetItem>
#include <optional>
#include <ostream>
#include <variant>

#include "app/attribute_table.h"
#include "app/contents_panel.h"
#include "app/main_window.h"
#include "app/map_widget.h"
#include "app/symbology_dialog.h"
#include "app/tool_script.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/qt_window.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::app {

namespace {

// The catchments the pictures visit, and the layers and keys of both tools.
const std::vector<std::int32_t> kCatchments = {7, 8, 12};

HeadlessOptions ZoomFlashRun() {
    HeadlessOptions run;
    run.tool = Tool::ZoomFlash;
    run.dialog.sourceLayer = "Catchment";
    run.dialog.sourceField = "NerroID";
    run.dialog.relatedLayer = "NerroJunction";
    run.dialog.relatedField = "NerroID";
    run.dialog.sourceFlashTime = "0.5";
    run.dialog.relatedFlashTime = "0.5";
    run.dialog.methods = ZoomMethods::Full;
    run.dialog.zoomFactor = "1.7";
    return run;
}

HeadlessOptions CopyLegendRun() {
    HeadlessOptions run;
    run.tool = Tool::CopyLegend;
    run.dialog.sourceLayer = "Catchment";
    run.dialog.sourceField = "NerroID";
    run.dialog.relatedLayer = "NerroJunction";
    run.dialog.relatedField = "NerroID";
    return run;
}

class Pictures {
  public:
    Pictures(std::filesystem::path dir, std::ostream& out) : m_dir(std::move(dir)), m_out(out) {}

    void Save(const QPixmap& picture, const char* name) {
        const std::filesystem::path file = m_dir / name;
        // Quality 0: the smallest file PNG can make of it; the pictures are committed.
        if (!picture.save(QString::fromStdString(file.string()), "PNG", 0)) {
            if (m_failure.empty()) m_failure = file.generic_string() + ": cannot be written";
            return;
        }
        m_out << "wrote " << file.generic_string() << std::endl;
    }
    // A model window as the Qt toolkit builds it for a person.
    void SaveWindow(ui::Window& window, qt::QtToolkit& toolkit, const char* name) {
        const qt::QtWindow view(window, toolkit);
        Save(view.Dialog().grab(), name);
    }
    const std::string& Failure() const { return m_failure; }

  private:
    std::filesystem::path m_dir;
    std::ostream& m_out;
    std::string m_failure;
};

// The window shown on the document with the catchments selected. False when the
// document cannot be opened; err says why.
bool OpenDocument(MainWindow& window, const scripted::ScriptedUser& user,
                  const std::filesystem::path& document, std::ostream& err) {
    window.resize(1000, 640);
    window.show();
    QApplication::processEvents();
    if (!window.Open(document)) {
        // The window told the (scripted) person why; say it here too.
        const auto boxes = user.MessageBoxes();
        err << "velorin-map: "
            << (boxes.empty() ? document.generic_string() + ": cannot be opened"
                              : boxes.back().text)
            << std::endl;
        return false;
    }
    QApplication::processEvents();
    window.Host().Select("Catchment", kCatchments);
    window.Contents().SetCurrentLayer(window.Host().LayerNamed("Catchment"));
    window.SelectionChanged();
    return true;
}

// What became of the two tools' dialogs; held until the runs are judged.
struct ToolReports {
    DialogReport zoomFlash;
    DialogReport copyLegend;
};

// Both tools run from the window: the map during the first flash, both dialogs,
// the help window and the junctions in their new colours.
void PictureToolRuns(MainWindow& window, scripted::ScriptedUser& user, qt::QtToolkit& qtToolkit,
                     Pictures& pictures, ToolReports& reports) {
    int sleeps = 0;
    user.OnEvent([&](const scripted::Event& event) {
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) {
            window.Host().View().ProcessPendingRedraw();
        } else if (std::holds_alternative<scripted::SleepRecord>(event) && ++sleeps == 1) {
            pictures.Save(window.grab(), "map-window-flash.png");
        }
    });

    DialogSteps zoomFlashSteps;
    zoomFlashSteps.beforeOk = [&](ui::Window& dialog) {
        pictures.SaveWindow(dialog, qtToolkit, "zoom-flash-dialog.png");
        dialog.Button("cmdHelp").Click();
    };
    user.OnShow("frmHelp")
        .Do([&](ui::Window& help) { pictures.SaveWindow(help, qtToolkit, "zoom-flash-help.png"); })
        .Press("cmdOK");
    PlanRun(user, ZoomFlashRun(), reports.zoomFlash, zoomFlashSteps);
    window.ClickCommand(0);

    DialogSteps copyLegendSteps;
    copyLegendSteps.beforeOk = [&](ui::Window& dialog) {
        pictures.SaveWindow(dialog, qtToolkit, "copy-legend-dialog.png");
    };
    PlanRun(user, CopyLegendRun(), reports.copyLegend, copyLegendSteps);
    window.ClickCommand(1);
    window.ClearSelection();
    window.Host().View().ZoomToFullExtent();
    window.Host().View().ProcessPendingRedraw();
    window.Contents().SetCurrentLayer(window.Host().LayerNamed("NerroJunction"));
    window.Map().FinishPicture();
    pictures.Save(window.grab(), "copy-legend-junctions.png");
    user.OnEvent(nullptr);
}

// A unique value legend on the catchments, made in the symbology dialog.
void PictureSymbology(MainWindow& window, const std::shared_ptr<memory::FeatureLayer>& catchment,
                      Pictures& pictures) {
    SymbologyDialog* symbology = window.ShowProperties(catchment);
    symbology->SetKind(SymbologyDialog::Kind::UniqueValues);
    symbology->SetField(QStringLiteral("NerroID"));
    // The dialog's own colours, not the ones the sample's legend came with.
    symbology->SetRamp(ColorRamp::Random);
    QApplication::processEvents();
    pictures.Save(symbology->grab(), "symbology-dialog.png");
    symbology->Apply();
    symbology->close();
}

// A catchment identified, its legend open in the contents.
void PictureIdentify(MainWindow& window, const std::shared_ptr<memory::FeatureLayer>& catchment,
                     Pictures& pictures) {
    window.Contents().SetCurrentLayer(catchment);
    window.Contents().collapseAll();
    if (QTreeWidgetItem* row = window.Contents().topLevelItem(4)) row->setExpanded(true);
    const auto& store = *catchment->Data()->Store();
    const auto centre = std::dynamic_pointer_cast<objects::MultiPartGeometry>(
                            store.At(*store.PositionOf(kCatchments[1])).shape)
                            ->Centroid();
    window.IdentifyAt({centre->X(), centre->Y()}, window.Host().View().Scale() * 4);
    QApplication::processEvents();
    window.Map().FinishPicture();
    pictures.Save(window.grab(), "map-window-identify.png");
}

// The catchments' attribute table by name, the pictured catchments selected.
void PictureAttributeTable(MainWindow& window,
                           const std::shared_ptr<memory::FeatureLayer>& catchment,
                           Pictures& pictures) {
    AttributeTable* table = window.OpenAttributeTable(catchment);
    table->resize(760, 330);
    const int name = catchment->FindField("Name");
    table->View().sortByColumn(name, Qt::AscendingOrder);
    window.Host().Select("Catchment", kCatchments);
    window.SelectionChanged();
    table->View().scrollToTop();
    QApplication::processEvents();
    pictures.Save(table->grab(), "attribute-table.png");
    table->close();
}

// kExitFinished when both runs finished and every picture was written; else
// kExitFailed, err saying why.
int Verdict(const ToolReports& reports, const scripted::ScriptedUser& user,
            const Pictures& pictures, std::ostream& err) {
    const RunOutcome first = JudgeRun(Tool::ZoomFlash, reports.zoomFlash, user.MessageBoxes());
    const RunOutcome second = JudgeRun(Tool::CopyLegend, reports.copyLegend, user.MessageBoxes());
    if (first.exitStatus != kExitFinished || second.exitStatus != kExitFinished) {
        err << "velorin-map: the runs for the pictures did not finish: " << first.summary << "; "
            << second.summary << std::endl;
        return kExitFailed;
    }
    if (!pictures.Failure().empty()) {
        err << "velorin-map: " << pictures.Failure() << std::endl;
        return kExitFailed;
    }
    return kExitFinished;
}

}  // namespace

int MakeScreenshots(const ScreenshotOptions& options, std::ostream& out, std::ostream& err) {
    std::error_code error;
    std::filesystem::create_directories(options.dir, error);
    if (error) {
        err << "velorin-map: " << options.dir.generic_string()
            << ": cannot be made a folder: " << error.message() << std::endl;
        return kExitFailed;
    }
    Pictures pictures(options.dir, out);
    // Builds the dialogs' Qt windows for their pictures; the person is scripted.
    qt::QtToolkit qtToolkit;
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);

    MainWindow window([&user] { return user.TakeEscPress(); });
    if (!OpenDocument(window, user, options.document, err)) return kExitFailed;
    ToolReports reports;
    PictureToolRuns(window, user, qtToolkit, pictures, reports);

    // The window's own work.
    const auto catchment = window.Host().FeatureLayerNamed("Catchment");
    PictureSymbology(window, catchment, pictures);
    PictureIdentify(window, catchment, pictures);
    PictureAttributeTable(window, catchment, pictures);
    return Verdict(reports, user, pictures, err);
}

}  // namespace velorin::app

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
    window.resize(1000, 640);
    window.show();
    QApplication::processEvents();
    if (!window.Open(options.document)) {
        // The window told the (scripted) person why; say it here too.
        const auto boxes = user.MessageBoxes();
        err << "velorin-map: "
            << (boxes.empty() ? options.document.generic_string() + ": cannot be opened"
                              : boxes.back().text)
            << std::endl;
        return kExitFailed;
    }
    QApplication::processEvents();
    window.Host().Select("Catchment", kCatchments);
    window.Contents().SetCurrentLayer(window.Host().LayerNamed("Catchment"));
    window.SelectionChanged();

    int sleeps = 0;
    user.OnEvent([&](const scripted::Event& event) {
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) {
            window.Host().View().ProcessPendingRedraw();
        } else if (std::holds_alternative<scripted::SleepRecord>(event) && ++sleeps == 1) {
            pictures.Save(window.grab(), "map-window-flash.png");
        }
    });

    DialogReport zoomFlash;
    DialogSteps zoomFlashSteps;
    zoomFlashSteps.beforeOk = [&](ui::Window& dialog) {
        pictures.SaveWindow(dialog, qtToolkit, "zoom-flash-dialog.png");
        dialog.Button("cmdHelp").Click();
    };
    user.OnShow("frmHelp")
        .Do([&](ui::Window& help) { pictures.SaveWindow(help, qtToolkit, "zoom-flash-help.png"); })
        .Press("cmdOK");
    PlanRun(user, ZoomFlashRun(), zoomFlash, zoomFlashSteps);
    window.ClickCommand(0);

    DialogReport copyLegend;
    DialogSteps copyLegendSteps;
    copyLegendSteps.beforeOk = [&](ui::Window& dialog) {
        pictures.SaveWindow(dialog, qtToolkit, "copy-legend-dialog.png");
    };
    PlanRun(user, CopyLegendRun(), copyLegend, copyLegendSteps);
    window.ClickCommand(1);
    window.ClearSelection();
    window.Host().View().ZoomToFullExtent();
    window.Host().View().ProcessPendingRedraw();
    window.Contents().SetCurrentLayer(window.Host().LayerNamed("NerroJunction"));
    pictures.Save(window.grab(), "copy-legend-junctions.png");
    user.OnEvent(nullptr);

    // The window's own work: a unique value legend made in the symbology dialog,
    // a catchment identified, and the catchments' attribute table.
    const auto catchment = window.Host().FeatureLayerNamed("Catchment");
    SymbologyDialog* symbology = window.ShowProperties(catchment);
    symbology->SetKind(SymbologyDialog::Kind::UniqueValues);
    symbology->SetField(QStringLiteral("NerroID"));
    QApplication::processEvents();
    pictures.Save(symbology->grab(), "symbology-dialog.png");
    symbology->Apply();
    symbology->close();
    window.Contents().SetCurrentLayer(catchment);
    window.Contents().collapseAll();
    if (QTreeWidgetItem* row = window.Contents().topLevelItem(4)) row->setExpanded(true);
    const auto& store = *catchment->Data()->Store();
    const auto centre = std::dynamic_pointer_cast<memory::MultiPartGeometry>(
                            store.At(*store.PositionOf(kCatchments[1])).shape)
                            ->Centroid();
    window.IdentifyAt({centre->X(), centre->Y()}, window.Host().View().Scale() * 4);
    QApplication::processEvents();
    pictures.Save(window.grab(), "map-window-identify.png");

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

    const RunOutcome first = JudgeRun(Tool::ZoomFlash, zoomFlash, user.MessageBoxes());
    const RunOutcome second = JudgeRun(Tool::CopyLegend, copyLegend, user.MessageBoxes());
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

}  // namespace velorin::app

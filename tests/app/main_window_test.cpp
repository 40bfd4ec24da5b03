#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QTreeWidgetItem>

#include "app/contents_panel.h"
#include "app/map_widget.h"
#include "app/tool_script.h"
#include "platform/memory/symbols.h"
#include "platform/scripted/scripted_user.h"
#include "tests/app/sample_folder.h"
#include "ui/current_toolkit.h"

namespace velorin::app {
namespace {

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

class MapWindow : public testing::SampleTest {
  protected:
    void SetUp() override {
        SampleTest::SetUp();
        m_window = std::make_unique<MainWindow>([this] {
            ++m_escAsked;
            return false;
        });
        m_window->resize(900, 600);
        m_window->show();
        QApplication::processEvents();
        ASSERT_TRUE(m_window->Open(Document()));
        QApplication::processEvents();
    }
    void TearDown() override { m_window.reset(); }

    MainWindow& Window() { return *m_window; }
    QTreeWidgetItem* LayerRow(const QString& name) {
        ContentsPanel& contents = Window().Contents();
        for (int i = 0; i < contents.topLevelItemCount(); ++i) {
            if (contents.topLevelItem(i)->text(0).startsWith(name)) return contents.topLevelItem(i);
        }
        return nullptr;
    }
    HeadlessOptions Run(Tool tool) const {
        HeadlessOptions run;
        run.tool = tool;
        run.dialog.sourceLayer = "Catchment";
        run.dialog.sourceField = "NerroID";
        run.dialog.relatedLayer = "NerroJunction";
        run.dialog.relatedField = "NerroID";
        if (tool == Tool::ZoomFlash) {
            run.dialog.sourceFlashTime = "0.01";
            run.dialog.relatedFlashTime = "0.01";
            run.dialog.methods = ZoomMethods::Full;
        }
        return run;
    }

    scripted::ScriptedUser m_user;
    ui::ToolkitScope m_scope{m_user};
    std::unique_ptr<MainWindow> m_window;
    int m_escAsked = 0;
};

TEST_F(MapWindow, ShowsTheDocumentsLayersWithTheirLegends) {
    EXPECT_TRUE(Window().windowTitle().startsWith("hydrology.json"));
    ASSERT_EQ(Window().Contents().topLevelItemCount(), 5);
    EXPECT_TRUE(Window().Contents().topLevelItem(0)->text(0).startsWith("MonitoringPoint"));
    QTreeWidgetItem* catchment = LayerRow("Catchment");
    ASSERT_NE(catchment, nullptr);
    // A unique value legend: a row per value, labelled, with a swatch, then the
    // default symbol's row.
    ASSERT_EQ(catchment->childCount(), 21);
    EXPECT_EQ(catchment->child(0)->text(0), "1001");
    EXPECT_EQ(catchment->child(19)->text(0), "1020");
    EXPECT_EQ(catchment->child(20)->text(0), "<all other values>");
    // The swatch is drawn in the value's colour (the sample's first is 230, 25, 75).
    const QImage swatch = catchment->child(0)->icon(0).pixmap(24, 18).toImage();
    EXPECT_EQ(swatch.pixelColor(12, 9), QColor(230, 25, 75));
    EXPECT_EQ(LayerRow("NerroJunction")->childCount(), 1);
    EXPECT_EQ(catchment->checkState(0), Qt::Checked);
}

TEST_F(MapWindow, CommandButtonsCarryTheCommandsProperties) {
    ASSERT_EQ(Window().CommandCount(), 2u);
    for (std::size_t i = 0; i < Window().CommandCount(); ++i) {
        const commands::Command& command = Window().CommandAt(i);
        const QAction* action = Window().CommandAction(i);
        EXPECT_EQ(action->text().toStdString(), command.Caption());
        EXPECT_EQ(action->toolTip().toStdString(), command.Tooltip());
        EXPECT_EQ(action->statusTip().toStdString(), command.Message());
        EXPECT_EQ(action->isEnabled(), command.Enabled());
        EXPECT_EQ(command.Category(), "Velorin");
        // OnCreate gave the command this document's application.
        EXPECT_EQ(command.Application(), Window().Host().Application());
    }
    EXPECT_EQ(Window().CommandAction(0)->text(), "Zoom and Flash");
    EXPECT_EQ(Window().CommandAction(1)->text(), "Copy Legend");
}

TEST_F(MapWindow, AFlashIsPaintedAtOnceWithoutWaitingForTheEventLoop) {
    PaintCounter paints;
    Window().Map().installEventFilter(&paints);
    const auto display = Window().Host().View().ScreenDisplay();
    const auto context = Window().Host().SharedContext();
    auto symbol = std::make_shared<memory::SimpleFillSymbol>(context);
    symbol->SetROP2(host::esriROPNotXOrPen);
    const auto extent = Window().Host().View().Extent();
    display->StartDrawing(0, -1);
    display->SetSymbol(symbol);
    display->DrawPolygon(extent);
    // No event was processed, as none is while a flash waits.
    EXPECT_GE(paints.count, 1);
    display->DrawPolygon(extent);
    display->FinishDrawing();
    EXPECT_GE(paints.count, 2);
    Window().Map().removeEventFilter(&paints);
}

TEST_F(MapWindow, ThePumpDrawsAnInvalidatedView) {
    memory::MapView& view = Window().Host().View();
    const int redraws = Window().Host().Record().redraws;
    view.Invalidate();
    ASSERT_TRUE(view.RedrawPending());
    QApplication::processEvents();
    EXPECT_FALSE(view.RedrawPending());
    EXPECT_EQ(Window().Host().Record().redraws, redraws + 1);
}

TEST_F(MapWindow, EscIsAskedOfTheToolkitForEveryDocument) {
    Window().Host().Context().hooks.takeEscPress();
    EXPECT_EQ(m_escAsked, 1);
    ASSERT_TRUE(Window().Open(Document()));
    Window().Host().Context().hooks.takeEscPress();
    EXPECT_EQ(m_escAsked, 2);
}

TEST_F(MapWindow, ClickAndBoxSelectOnTheCurrentLayerAndZoomAndFlashVisitsTheSelection) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    ASSERT_TRUE(Window().Contents().SetCurrentLayer(catchment));
    const auto shape = std::dynamic_pointer_cast<memory::MultiPartGeometry>(
        catchment->Data()->Search(nullptr, false)->NextFeature()->Shape());
    ASSERT_TRUE(shape);
    const auto centre = shape->Centroid();
    EXPECT_EQ(Window().SelectAt({centre->X(), centre->Y()}, 1.0, false), 1u);
    EXPECT_EQ(catchment->Selection().Oids(), (std::set<std::int32_t>{1}));
    EXPECT_TRUE(LayerRow("Catchment")->text(0).contains("(1 selected)"));

    // A box around the second catchment's middle, added to the selection.
    const auto box = catchment->Data()->Search(nullptr, false);
    box->NextFeature();
    const auto other = box->NextFeature();
    const auto otherBox = other->Shape()->Envelope();
    const double x = (otherBox->XMin() + otherBox->XMax()) / 2;
    const double y = (otherBox->YMin() + otherBox->YMax()) / 2;
    EXPECT_EQ(Window().SelectIn(MapBox{x - 1, y - 1, x + 1, y + 1}, true), 1u);
    EXPECT_EQ(catchment->Selection().Oids(), (std::set<std::int32_t>{1, other->OID()}));

    DialogReport report;
    PlanRun(m_user, Run(Tool::ZoomFlash), report);
    Window().ClickCommand(0);
    std::vector<std::string> visited;
    for (const std::string& text : Window().Host().Record().statusTexts) {
        if (!text.empty() && (visited.empty() || visited.back() != text)) visited.push_back(text);
    }
    EXPECT_EQ(visited,
              (std::vector<std::string>{"Zooming to Source Feature OID = 1 ..Hit Esc to Pause",
                                        "Zooming to Source Feature OID = " +
                                            std::to_string(other->OID()) + " ..Hit Esc to Pause"}));
    EXPECT_EQ(JudgeRun(Tool::ZoomFlash, report, m_user.MessageBoxes()).exitStatus, kExitFinished);

    Window().ClearSelection();
    EXPECT_TRUE(catchment->Selection().Oids().empty());
}

TEST_F(MapWindow, CopyLegendRefreshesTheContentsAndMarksTheMapChanged) {
    ASSERT_FALSE(Window().Modified());
    DialogReport report;
    PlanRun(m_user, Run(Tool::CopyLegend), report);
    Window().ClickCommand(1);
    // Twenty values and the default symbol, in place of the one simple symbol.
    EXPECT_EQ(LayerRow("NerroJunction")->childCount(), 21);
    EXPECT_TRUE(Window().Modified());

    const std::filesystem::path saved = Scratch() / "saved.json";
    ASSERT_TRUE(Window().SaveAs(saved));
    EXPECT_FALSE(Window().Modified());
    EXPECT_EQ(Window().Document().path, saved);
    EXPECT_TRUE(Window().windowTitle().startsWith("saved.json"));
}

TEST_F(MapWindow, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    const std::filesystem::path before = Window().Document().path;
    EXPECT_FALSE(Window().Open(Scratch() / "missing.gpkg"));
    ASSERT_EQ(m_user.MessageBoxes().size(), 1u);
    EXPECT_EQ(m_user.MessageBoxes().front().icon, ui::MsgIcon::Critical);
    EXPECT_NE(m_user.MessageBoxes().front().text.find("missing.gpkg"), std::string::npos);
    EXPECT_EQ(Window().Document().path, before);
    EXPECT_EQ(Window().Contents().topLevelItemCount(), 5);
}

TEST_F(MapWindow, WheelZoomKeepsThePointUnderThePointerAndPanMovesByThePixelsDragged) {
    MapWidget& map = Window().Map();
    memory::MapView& view = Window().Host().View();
    const memory::XY before = view.ToMap({100, 80});
    const double scale = view.Scale();
    map.ZoomAbout(QPointF(100, 80), 2.0);
    EXPECT_NEAR(view.Scale(), scale / 2, scale * 1e-9);
    const memory::XY after = view.ToMap({100, 80});
    EXPECT_NEAR(after.x, before.x, scale * 1e-6);
    EXPECT_NEAR(after.y, before.y, scale * 1e-6);

    const memory::XY centre = view.ToMap({200, 200});
    map.PanBy(QPoint(30, -20));
    const memory::XY moved = view.ToMap({230, 180});
    EXPECT_NEAR(moved.x, centre.x, view.Scale() * 1e-6);
    EXPECT_NEAR(moved.y, centre.y, view.Scale() * 1e-6);
}

TEST_F(MapWindow, TheViewFollowsTheMapWidgetsSize) {
    Window().resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(Window().Host().View().Width(), Window().Map().width());
    EXPECT_EQ(Window().Host().View().Height(), Window().Map().height());
}

}  // namespace
}  // namespace velorin::app

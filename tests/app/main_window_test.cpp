#include "app/main_window.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QUndoStack>
#include <QWindow>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/attribute_table.h"
#include "app/contents_panel.h"
#include "app/identify_panel.h"
#include "app/map_widget.h"
#include "app/symbology_dialog.h"
#include "app/tool_script.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
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
        // Settings the window keeps (recent files) go to a test location, not the
        // person's own.
        QStandardPaths::setTestModeEnabled(true);
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

    // A person pressing and releasing the left button on the map, at from and
    // then at to (a click when they are the same), with keys held.
    void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        QMouseEvent press(QEvent::MouseButtonPress, from, Window().Map().mapToGlobal(from),
                          Qt::LeftButton, Qt::LeftButton, keys);
        QApplication::sendEvent(&Window().Map(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, to, Window().Map().mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, keys);
        QApplication::sendEvent(&Window().Map(), &release);
    }
    // Where the map shows a point of a feature's shape (its centroid).
    QPointF PixelOf(const memory::FeatureLayer& layer, std::int32_t oid) {
        const auto& store = *layer.Data()->Store();
        const auto shape = std::dynamic_pointer_cast<objects::MultiPartGeometry>(
            store.At(*store.PositionOf(oid)).shape);
        const auto centre = shape->Centroid();
        const memory::PixelXY pixel = Window().Host().View().ToPixel({centre->X(), centre->Y()});
        return {pixel.x, pixel.y};
    }

    // The map's pixel under a point of the map.
    QColor PixelAt(double x, double y) {
        memory::MapView& view = Window().Host().View();
        view.ProcessPendingRedraw();
        const auto& image = dynamic_cast<const memory::QImageCanvas&>(view.Screen()).Image();
        const memory::PixelXY pixel = view.ToPixel({x, y});
        return image.pixelColor(static_cast<int>(pixel.x), static_cast<int>(pixel.y));
    }
    // The menu item of a layer's context menu, found by its text without '&'.
    QAction* MenuItem(QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions()) {
            if (action->text().remove('&') == text) return action;
        }
        return nullptr;
    }
    // A person making a unique value legend on the field in the layer's dialog.
    void MakeUniqueValues(const char* layerName, const char* field) {
        const auto layer = Window().Host().FeatureLayerNamed(layerName);
        SymbologyDialog* dialog = Window().ShowProperties(layer);
        ASSERT_NE(dialog, nullptr);
        dialog->KindList().setCurrentIndex(static_cast<int>(SymbologyDialog::Kind::UniqueValues));
        dialog->FieldList().setCurrentIndex(dialog->FieldList().findText(field));
        dialog->Buttons().button(QDialogButtonBox::Ok)->click();
        QApplication::processEvents();
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
    auto symbol = std::make_shared<objects::SimpleFillSymbol>(context);
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
    const auto shape = std::dynamic_pointer_cast<objects::MultiPartGeometry>(
        catchment->Data()->Search(nullptr, false)->NextFeature()->Shape());
    ASSERT_TRUE(shape);
    const auto centre = shape->Centroid();
    EXPECT_EQ(Window().SelectAt({centre->X(), centre->Y()}, 1.0, SelectMode::Replace), 1u);
    EXPECT_EQ(catchment->Selection().Oids(), (std::set<std::int32_t>{1}));
    EXPECT_TRUE(LayerRow("Catchment")->text(0).contains("(1 selected)"));

    // A box around the second catchment's middle, added to the selection.
    const auto box = catchment->Data()->Search(nullptr, false);
    box->NextFeature();
    const auto other = box->NextFeature();
    const auto otherBox = other->Shape()->Envelope();
    const double x = (otherBox->XMin() + otherBox->XMax()) / 2;
    const double y = (otherBox->YMin() + otherBox->YMax()) / 2;
    EXPECT_EQ(Window().SelectIn(MapBox{x - 1, y - 1, x + 1, y + 1}, SelectMode::Add), 1u);
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

TEST_F(MapWindow, AClickSelectsOneFeatureShiftAddsCtrlRemovesAndABoxTakesAllItTouches) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    ASSERT_TRUE(Window().Contents().SetCurrentLayer(catchment));
    using Oids = std::set<std::int32_t>;
    // Catchments 1 and 2 are neighbours in the first row, 3 the next along.
    const QPointF first = PixelOf(*catchment, 1);
    const QPointF second = PixelOf(*catchment, 2);
    Drag(first, first);
    EXPECT_EQ(catchment->Selection().Oids(), Oids{1});
    Drag(second, second, Qt::ShiftModifier);
    EXPECT_EQ(catchment->Selection().Oids(), (Oids{1, 2}));
    Drag(first, first, Qt::ControlModifier);
    EXPECT_EQ(catchment->Selection().Oids(), Oids{2});
    const QPointF third = PixelOf(*catchment, 3);
    Drag(third, third);
    EXPECT_EQ(catchment->Selection().Oids(), Oids{3});
    // A thin box from the first centre to the second crosses only their shared edge.
    Drag(first, second + QPointF(0, 4));
    EXPECT_EQ(catchment->Selection().Oids(), (Oids{1, 2}));
    Drag(second + QPointF(0, 4), third, Qt::ControlModifier);
    EXPECT_EQ(catchment->Selection().Oids(), Oids{1});
    // A click on nothing clears the layer's selection, as it replaces it.
    Drag(QPointF(1, 1), QPointF(1, 1));
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
    const objects::XY before = view.ToMap({100, 80});
    const double scale = view.Scale();
    map.ZoomAbout(QPointF(100, 80), 2.0);
    EXPECT_NEAR(view.Scale(), scale / 2, scale * 1e-9);
    const objects::XY after = view.ToMap({100, 80});
    EXPECT_NEAR(after.x, before.x, scale * 1e-6);
    EXPECT_NEAR(after.y, before.y, scale * 1e-6);

    const objects::XY centre = view.ToMap({200, 200});
    map.PanBy(QPoint(30, -20));
    const objects::XY moved = view.ToMap({230, 180});
    EXPECT_NEAR(moved.x, centre.x, view.Scale() * 1e-6);
    EXPECT_NEAR(moved.y, centre.y, view.Scale() * 1e-6);
}

// Waits, turning the event loop, for the picture being drawn off the window's thread
// to be shown.
void AwaitPicture(MapWidget& map) {
    for (int turn = 0; turn < 5000 && map.DrawingPicture(); ++turn) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST_F(MapWindow, ANavigationRedrawIsDrawnOffTheThreadAndANewerOneSupersedesIt) {
    MapWidget& map = Window().Map();
    memory::MapView& view = Window().Host().View();
    map.FinishPicture();
    const int paints = Window().Host().Record().paints;
    map.ZoomAbout(QPointF(100, 80), 2.0);
    // The window's thread is back before the picture is drawn.
    EXPECT_TRUE(map.DrawingPicture());
    EXPECT_TRUE(view.ScreenStale());
    map.PanBy(QPoint(-40, 25));
    AwaitPicture(map);
    ASSERT_FALSE(map.DrawingPicture());
    EXPECT_FALSE(view.ScreenStale());
    // Only the newer was shown, and it is what the screen draws itself.
    EXPECT_EQ(Window().Host().Record().paints, paints + 1);
    const auto shown = view.ScreenAsItIs().Pixels();
    view.Refresh();
    EXPECT_EQ(shown, view.Screen().Pixels());
}

TEST_F(MapWindow, AToolRunAfterANavigationFlashesOnTheFinishedPicture) {
    MapWidget& map = Window().Map();
    memory::MapView& view = Window().Host().View();
    Window().Host().Select("Catchment", {1, 2});
    Window().SelectionChanged();
    map.ZoomAbout(QPointF(100, 80), 0.5);
    ASSERT_TRUE(map.DrawingPicture());
    int flashes = 0;
    bool onTheFinishedPicture = true;
    m_user.OnEvent([&](const scripted::Event& event) {
        // The scripted person's pump does what the window's event loop would.
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) view.ProcessPendingRedraw();
        if (!std::holds_alternative<scripted::SleepRecord>(event)) return;
        ++flashes;
        onTheFinishedPicture = onTheFinishedPicture && !map.DrawingPicture() && !view.ScreenStale();
    });
    DialogReport report;
    PlanRun(m_user, Run(Tool::ZoomFlash), report);
    Window().ClickCommand(0);
    m_user.OnEvent(nullptr);
    EXPECT_EQ(JudgeRun(Tool::ZoomFlash, report, m_user.MessageBoxes()).exitStatus, kExitFinished);
    EXPECT_GT(flashes, 0);
    EXPECT_TRUE(onTheFinishedPicture);
    // Every flash gave its pixels back.
    map.FinishPicture();
    const auto shown = view.ScreenAsItIs().Pixels();
    view.Refresh();
    EXPECT_EQ(shown, view.Screen().Pixels());
}

TEST_F(MapWindow, TheViewFollowsTheMapWidgetsSize) {
    Window().resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(Window().Host().View().Width(), Window().Map().width());
    EXPECT_EQ(Window().Host().View().Height(), Window().Map().height());
}

TEST_F(MapWindow, AUniqueValueLegendMadeInTheDialogGivesCopyLegendItsColours) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    SymbologyDialog* dialog = Window().ShowProperties(catchment);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Window().ShowProperties(catchment), dialog);
    // First a single symbol, so the legend below is the dialog's own work.
    dialog->KindList().setCurrentIndex(static_cast<int>(SymbologyDialog::Kind::SingleSymbol));
    dialog->SetColor(QColor(10, 120, 200));
    ASSERT_EQ(dialog->PreviewList().topLevelItemCount(), 1);
    dialog->Buttons().button(QDialogButtonBox::Apply)->click();
    EXPECT_TRUE(host::As<host::ISimpleRenderer>(catchment->Renderer()));
    EXPECT_EQ(LayerRow("Catchment")->childCount(), 1);

    dialog->KindList().setCurrentIndex(static_cast<int>(SymbologyDialog::Kind::UniqueValues));
    dialog->FieldList().setCurrentIndex(dialog->FieldList().findText("NerroID"));
    // Previewed, not yet applied: twenty values and the other values' row.
    ASSERT_EQ(dialog->PreviewList().topLevelItemCount(), 21);
    EXPECT_EQ(dialog->PreviewList().topLevelItem(20)->text(0), "<all other values>");
    EXPECT_TRUE(host::As<host::ISimpleRenderer>(catchment->Renderer()));
    dialog->Buttons().button(QDialogButtonBox::Ok)->click();
    QApplication::processEvents();
    const auto unique = host::As<host::IUniqueValueRenderer>(catchment->Renderer());
    ASSERT_TRUE(unique);
    EXPECT_EQ(unique->ValueCount(), 20);
    EXPECT_EQ(LayerRow("Catchment")->childCount(), 21);
    EXPECT_TRUE(Window().Modified());

    // The catchments are drawn in the new colours...
    const auto firstCatchment = catchment->Data()->Search(nullptr, false)->NextFeature();
    const auto centre =
        std::dynamic_pointer_cast<objects::MultiPartGeometry>(firstCatchment->Shape())->Centroid();
    const auto colorOf = [&](const std::string& value) {
        const objects::Rgb rgb = objects::Rgb::FromHost(
            host::As<host::ISimpleFillSymbol>(unique->Symbol(value))->Color()->RGB());
        return QColor(rgb.red, rgb.green, rgb.blue);
    };
    const std::string firstKey =
        host::ToText(firstCatchment->Value(catchment->FindField("NerroID")));
    EXPECT_EQ(PixelAt(centre->X(), centre->Y()), colorOf(firstKey));

    // ... and Copy Legend Colors gives each junction its catchment's colour.
    Window().Host().LayerNamed("MonitoringPoint")->SetVisible(false);
    DialogReport report;
    PlanRun(m_user, Run(Tool::CopyLegend), report);
    Window().ClickCommand(1);
    ASSERT_EQ(JudgeRun(Tool::CopyLegend, report, m_user.MessageBoxes()).exitStatus, kExitFinished);
    const auto junctions = Window().Host().FeatureLayerNamed("NerroJunction");
    const std::int32_t key = junctions->FindField("NerroID");
    const auto cursor = junctions->Data()->Search(nullptr, false);
    int checked = 0;
    while (const auto junction = cursor->NextFeature()) {
        const auto point = host::As<host::IPoint>(junction->Shape());
        EXPECT_EQ(PixelAt(point->X(), point->Y()), colorOf(host::ToText(junction->Value(key))))
            << "junction " << junction->OID();
        ++checked;
    }
    EXPECT_EQ(checked, 20);
}

TEST_F(MapWindow, SavingAndReopeningKeepsALegendMadeInTheDialog) {
    MakeUniqueValues("Waterbody", "Name");
    const auto made = host::As<host::IUniqueValueRenderer>(
        Window().Host().FeatureLayerNamed("Waterbody")->Renderer());
    ASSERT_TRUE(made);
    const std::filesystem::path saved = Scratch() / "legend.json";
    ASSERT_TRUE(Window().SaveAs(saved));
    ASSERT_TRUE(Window().Open(saved));
    const auto reopened = host::As<host::IUniqueValueRenderer>(
        Window().Host().FeatureLayerNamed("Waterbody")->Renderer());
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->ValueCount(), made->ValueCount());
    for (std::int32_t i = 0; i < made->ValueCount(); ++i) {
        const std::string value = made->Value(i);
        EXPECT_EQ(reopened->Value(i), value);
        EXPECT_EQ(host::As<host::IFillSymbol>(reopened->Symbol(value))->Color()->RGB(),
                  host::As<host::IFillSymbol>(made->Symbol(value))->Color()->RGB());
    }
}

TEST_F(MapWindow, AHiddenLayerIsGreyedAndNothingInItCanBeSelected) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    ASSERT_TRUE(Window().Contents().SetCurrentLayer(catchment));
    LayerRow("Catchment")->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(catchment->Visible());
    EXPECT_TRUE(LayerRow("Catchment")->child(0)->isDisabled());
    const auto shape = std::dynamic_pointer_cast<objects::MultiPartGeometry>(
        catchment->Data()->Search(nullptr, false)->NextFeature()->Shape());
    const auto centre = shape->Centroid();
    EXPECT_EQ(Window().SelectAt({centre->X(), centre->Y()}, 1.0, SelectMode::Replace), 0u);
    EXPECT_EQ(Window().SelectIn(MapBox{-1e9, -1e9, 1e9, 1e9}, SelectMode::Replace), 0u);
    EXPECT_TRUE(catchment->Selection().Oids().empty());
    LayerRow("Catchment")->setCheckState(0, Qt::Checked);
    EXPECT_FALSE(LayerRow("Catchment")->child(0)->isDisabled());
    EXPECT_EQ(Window().SelectAt({centre->X(), centre->Y()}, 1.0, SelectMode::Replace), 1u);
}

TEST_F(MapWindow, TheLayerMenuZoomsRemovesAndLayersAreReorderedAndAdded) {
    ContentsPanel& contents = Window().Contents();
    const auto junctions = Window().Host().LayerNamed("NerroJunction");
    std::unique_ptr<QMenu> menu(contents.MenuFor(junctions));
    // Nothing selected yet: no selection to zoom to.
    ASSERT_NE(MenuItem(*menu, "Zoom to Selection"), nullptr);
    EXPECT_FALSE(MenuItem(*menu, "Zoom to Selection")->isEnabled());
    const double fullScale = Window().Host().View().Scale();
    Window().Host().Select("NerroJunction", {3});
    menu.reset(contents.MenuFor(junctions));
    MenuItem(*menu, "Zoom to Selection")->trigger();
    // One point: centred on it at the same scale.
    const auto& store = *Window().Host().FeatureLayerNamed("NerroJunction")->Data()->Store();
    const auto point = host::As<host::IPoint>(store.At(*store.PositionOf(3)).shape);
    const auto extent = Window().Host().View().Extent();
    EXPECT_NEAR((extent->XMin() + extent->XMax()) / 2, point->X(), fullScale);
    EXPECT_NEAR((extent->YMin() + extent->YMax()) / 2, point->Y(), fullScale);
    EXPECT_NEAR(Window().Host().View().Scale(), fullScale, fullScale * 1e-9);

    // Zoom to Layer leaves a margin: every junction well inside the window.
    menu.reset(contents.MenuFor(junctions));
    MenuItem(*menu, "Zoom to Layer")->trigger();
    memory::MapView& view = Window().Host().View();
    const auto cursor =
        Window().Host().FeatureLayerNamed("NerroJunction")->Data()->Search(nullptr, false);
    while (const auto junction = cursor->NextFeature()) {
        const auto p = host::As<host::IPoint>(junction->Shape());
        const memory::PixelXY pixel = view.ToPixel({p->X(), p->Y()});
        EXPECT_GT(pixel.x, 8);
        EXPECT_GT(pixel.y, 8);
        EXPECT_LT(pixel.x, view.Width() - 8);
        EXPECT_LT(pixel.y, view.Height() - 8);
    }

    // Dragged from the second row onto the fourth's (or its legend): it ends
    // there; onto its own row it stays.
    const auto row = [&](int index) { return contents.topLevelItem(index); };
    EXPECT_EQ(contents.DropIndex(junctions, contents.visualItemRect(row(3)).center()), 3);
    EXPECT_EQ(contents.DropIndex(junctions, contents.visualItemRect(row(3)->child(0)).center()), 3);
    EXPECT_EQ(contents.DropIndex(junctions, contents.visualItemRect(row(1)).center()), -1);
    contents.SetCurrentLayer(junctions);
    Window().MoveLayer(junctions, 3);
    EXPECT_EQ(Window().Host().FocusMap().Layers()[3], junctions);
    EXPECT_TRUE(contents.topLevelItem(3)->text(0).startsWith("NerroJunction"));

    menu.reset(contents.MenuFor(junctions));
    MenuItem(*menu, "Remove")->trigger();
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 4);
    EXPECT_THROW(Window().Host().LayerNamed("NerroJunction"), velorin::Error);

    // The sample's data set added on top: its five layers, saved with the map.
    const std::filesystem::path dataSet = Document().parent_path() / "hydrology.gpkg";
    ASSERT_TRUE(Window().AddLayers(dataSet));
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 9);
    const std::filesystem::path saved = Scratch() / "added.json";
    ASSERT_TRUE(Window().SaveAs(saved));
    ASSERT_TRUE(Window().Open(saved));
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 9);
}

TEST_F(MapWindow, IdentifyListsEveryVisibleLayersFeaturesTopFirstAndFlashesThem) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    const auto& store = *catchment->Data()->Store();
    const auto shape = std::dynamic_pointer_cast<objects::MultiPartGeometry>(store.At(6).shape);
    const auto centre = shape->Centroid();
    Window().findChild<QAction*>("identifyTool")->trigger();
    ASSERT_EQ(Window().Map().CurrentTool(), MapWidget::Tool::Identify);
    const int flashes = Window().Map().FlashCount();

    const std::size_t found = Window().IdentifyAt({centre->X(), centre->Y()}, 0.5);
    // The catchment, the lake in it and the watershed around it, top layer first
    // (the points above are not under the pointer).
    EXPECT_EQ(found, 3u);
    IdentifyPanel& panel = Window().Identified();
    EXPECT_TRUE(panel.isVisible());
    ASSERT_EQ(panel.topLevelItemCount(), 3);
    EXPECT_EQ(panel.topLevelItem(0)->text(0), "Watershed");
    EXPECT_EQ(panel.topLevelItem(1)->text(0), "Waterbody");
    EXPECT_EQ(panel.topLevelItem(2)->text(0), "Catchment");
    const auto field = [&](const char* name) {
        return host::ToText(
            store.At(6).values[static_cast<std::size_t>(catchment->FindField(name))]);
    };
    EXPECT_EQ(panel.ValueOf(2, "NerroID").toStdString(), field("NerroID"));
    EXPECT_EQ(panel.ValueOf(2, "Name").toStdString(), field("Name"));
    EXPECT_EQ(panel.ValueOf(2, "AreaKm2").toStdString(), field("AreaKm2"));
    EXPECT_EQ(Window().Map().FlashCount(), flashes + 1);
    EXPECT_TRUE(Window().Map().Flashing());

    // A feature is headed by its display field's value, as the person knows it.
    EXPECT_EQ(panel.topLevelItem(2)->child(0)->text(0).toStdString(), field("Name"));

    // A hidden layer is not asked.
    Window().Host().LayerNamed("Watershed")->SetVisible(false);
    EXPECT_EQ(Window().IdentifyAt({centre->X(), centre->Y()}, 0.5), 2u);
    EXPECT_EQ(panel.topLevelItem(0)->text(0), "Waterbody");

    // A removed layer's features leave the list with it.
    Window().RemoveLayer(Window().Host().LayerNamed("Waterbody"));
    ASSERT_EQ(panel.topLevelItemCount(), 1);
    EXPECT_EQ(panel.topLevelItem(0)->text(0), "Catchment");
}

TEST_F(MapWindow, RowsSelectedInTheAttributeTableAreTheMapsSelectionAndBack) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    ContentsPanel& contents = Window().Contents();
    std::unique_ptr<QMenu> menu(contents.MenuFor(catchment));
    MenuItem(*menu, "Open Attribute Table")->trigger();
    // The menu's table, opened once: asking again raises it.
    AttributeTable* table = Window().OpenAttributeTable(catchment);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Window().findChildren<QWidget*>("attributeTable").size(), 1);
    AttributeTableModel& model = table->Model();
    const auto nameColumnOf = [](const std::shared_ptr<memory::FeatureLayer>& layer) {
        return layer->FindField("Name");
    };
    ASSERT_EQ(model.rowCount(), 20);
    EXPECT_EQ(model.headerData(nameColumnOf(catchment), Qt::Horizontal).toString(), "Name");

    // Sorted by name, descending: the last name first.
    const int nameColumn = nameColumnOf(catchment);
    table->View().sortByColumn(nameColumn, Qt::DescendingOrder);
    EXPECT_EQ(model.data(model.index(0, nameColumn)).toString(), "Catchment 1020");

    // Two rows selected by a person: the map's selection, counted in the contents.
    QItemSelection rows;
    rows.select(model.index(0, 0), model.index(1, model.columnCount() - 1));
    table->View().selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    const std::set<std::int32_t> chosen{model.OidAt(0), model.OidAt(1)};
    EXPECT_EQ(catchment->Selection().Oids(), chosen);
    EXPECT_TRUE(LayerRow("Catchment")->text(0).contains("(2 selected)"));
    table->findChild<QPushButton*>("zoomToSelected")->click();
    const auto extent = Window().Host().View().Extent();
    for (const std::int32_t oid : chosen) {
        const auto& store = *catchment->Data()->Store();
        const auto box = store.At(*store.PositionOf(oid)).shape->Envelope();
        EXPECT_GE(box->XMin(), extent->XMin());
        EXPECT_LE(box->XMax(), extent->XMax());
    }

    // A selection made on the map: the table's rows follow.
    ASSERT_TRUE(contents.SetCurrentLayer(catchment));
    Window().Host().Select("Catchment", {5});
    Window().SelectionChanged();
    const QModelIndexList selected = table->View().selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model.OidAt(selected.front().row()), 5);
}

TEST_F(MapWindow, AMissingDataFileIsNamedAndLocatedThroughThePrompt) {
    const std::filesystem::path data = Document().parent_path() / "hydrology.gpkg";
    const std::filesystem::path moved = Scratch() / "moved" / "renamed.gpkg";
    std::filesystem::create_directories(moved.parent_path());
    std::filesystem::rename(data, moved);
    QStringList asked;
    Window().pickFile = [&](const QString& title, const QString& folder, const QString&) {
        asked << title << folder;
        return QString::fromStdString(moved.string());
    };

    // Given up: the box named the file, and the map opens with every layer
    // named but unavailable.
    m_user.Answer("is missing", ui::MsgResult::Cancel);
    ASSERT_TRUE(Window().Open(Document()));
    ASSERT_EQ(m_user.MessageBoxes().size(), 2u);
    EXPECT_NE(m_user.MessageBoxes().front().text.find("hydrology.gpkg"), std::string::npos);
    EXPECT_NE(m_user.MessageBoxes().back().text.find("5 layers have no data"), std::string::npos);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 5);
    EXPECT_TRUE(LayerRow("Catchment")->text(0).endsWith("(unavailable)"));

    // Located: every layer reads the new file, and saving names it.
    m_user.Answer("is missing", ui::MsgResult::Ok);
    ASSERT_TRUE(Window().Open(Document()));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(asked.value(1).toStdString(), Document().parent_path().string());
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 5);
    EXPECT_TRUE(Window().Modified());
    ASSERT_TRUE(Window().Save());
    asked.clear();
    ASSERT_TRUE(Window().Open(Document()));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 5);
}

TEST_F(MapWindow, ADocumentWithMissingLayersOpensTheRestAndSavesThemAsTheyWere) {
    // Junctions from a file that moved away, a layer its data set lacks, and
    // catchments that are there.
    const std::filesystem::path folder = Document().parent_path();
    std::filesystem::copy_file(folder / "hydrology.gpkg", folder / "b.gpkg");
    const std::filesystem::path moved = Scratch() / "moved";
    std::filesystem::create_directories(moved);
    std::filesystem::copy_file(folder / "hydrology.gpkg", moved / "a.gpkg");
    std::filesystem::copy_file(folder / "hydrology.gpkg", moved / "c.gpkg");
    const std::filesystem::path document = folder / "parts.json";
    std::ofstream(document) << R"({"velorinMapDocument": 1, "layers": [
        {"kind": "feature", "name": "Junctions", "source": {"path": "a.gpkg", "layer": "NerroJunction"},
         "selection": [2, 3], "definitionQuery": "NerroID > 1003"},
        {"kind": "feature", "name": "Ghost", "source": {"path": "b.gpkg", "layer": "Gone"}},
        {"kind": "feature", "name": "Stations", "source": {"path": "c.gpkg", "layer": "MonitoringPoint"}},
        {"kind": "feature", "name": "Catchments", "source": {"path": "b.gpkg", "layer": "Catchment"}}]})";
    int asked = 0;
    Window().pickFile = [&](const QString&, const QString&, const QString&) {
        ++asked;
        return QString::fromStdString((moved / "a.gpkg").string());
    };
    m_user.AnswerAlways("is missing", ui::MsgResult::Cancel);
    ASSERT_TRUE(Window().Open(document));
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(Window().Host().FocusMap().LayerCount(), 4);
    EXPECT_TRUE(Window().Host().FeatureLayerNamed("Catchments")->Data());
    for (const char* name : {"Junctions", "Ghost", "Stations"}) {
        EXPECT_FALSE(Window().Host().FeatureLayerNamed(name)->Data()) << name;
        EXPECT_TRUE(LayerRow(name)->text(0).endsWith("(unavailable)")) << name;
    }
    const std::string listed = m_user.MessageBoxes().back().text;
    EXPECT_NE(listed.find("Ghost: the data set \"b.gpkg\" has no layer \"Gone\""),
              std::string::npos);
    EXPECT_NE(listed.find("Junctions: a.gpkg: no such file"), std::string::npos);

    // Saved elsewhere and read again: what the document said of them is kept.
    const std::filesystem::path saved = Scratch() / "saved.json";
    ASSERT_TRUE(Window().SaveAs(saved));
    ASSERT_TRUE(Window().Open(saved));
    const auto junctions = Window().Host().FeatureLayerNamed("Junctions");
    const gdal::UnavailableLayer* kept = Window().Document().sources.Unavailable(*junctions);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->source.file, folder / "a.gpkg");
    EXPECT_EQ(kept->selection, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(kept->definitionQuery, "NerroID > 1003");

    // Removed, and put back by Undo with what the document said of it.
    Window().RemoveLayer(junctions);
    EXPECT_EQ(Window().Document().sources.Unavailable(*junctions), nullptr);
    Window().UndoStack().undo();
    const gdal::UnavailableLayer* back = Window().Document().sources.Unavailable(*junctions);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->selection, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(Window().Host().FocusMap().Layers().front(), junctions);

    // Repaired: the file named, and the other missing one found beside it.
    ASSERT_TRUE(Window().RepairDataSource(junctions));
    EXPECT_EQ(asked, 1);
    const auto repaired = Window().Host().FeatureLayerNamed("Junctions");
    ASSERT_TRUE(repaired->Data());
    EXPECT_EQ(repaired->Selection().Oids(), (std::set<std::int32_t>{2, 3}));
    EXPECT_TRUE(Window().Host().FeatureLayerNamed("Stations")->Data());
    EXPECT_FALSE(Window().Host().FeatureLayerNamed("Ghost")->Data());
    EXPECT_TRUE(Window().Modified());
    EXPECT_EQ(Window().Document().path, saved);
}

TEST_F(MapWindow, AJsonFileThatIsNeitherAMapNorADataSetSaysSo) {
    // More members than any object of a map document has, which its parse would
    // have complained of.
    std::string members;
    for (int i = 0; i < 70; ++i) members += (i ? ", \"k" : "\"k") + std::to_string(i) + "\": 1";
    const std::filesystem::path file = Scratch() / "settings.json";
    std::ofstream(file) << "{" << members << "}";
    EXPECT_FALSE(Window().Open(file));
    ASSERT_EQ(m_user.MessageBoxes().size(), 1u);
    const std::string text = m_user.MessageBoxes().front().text;
    EXPECT_NE(text.find("settings.json: neither a map document"), std::string::npos) << text;
    EXPECT_EQ(text.find("more than"), std::string::npos) << text;
}

// The person closes the window as the run shows its first status text, and
// answers the question; the run visits the catchments one by one.
class CloseDuringARun : public MapWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseDuringARun, YesStopsTheRunAtItsNextCheckAndThenClosesNoLetsItFinish) {
    const bool stop = GetParam();
    const std::size_t features =
        static_cast<std::size_t>(Window().Host().FeatureLayerNamed("Catchment")->RowCount(nullptr));
    std::vector<std::string> visited;
    objects::HostHooks& hooks = Window().Host().Context().hooks;
    hooks.statusChanged = [&, shown = hooks.statusChanged](std::string_view text) {
        shown(text);
        if (text.empty() || (!visited.empty() && visited.back() == text)) return;
        visited.emplace_back(text);
        if (visited.size() == 1) Window().close();
    };
    m_user.Answer("A tool is running", stop ? ui::MsgResult::Ok : ui::MsgResult::Cancel);
    DialogReport report;
    PlanRun(m_user, Run(Tool::ZoomFlash), report);
    Window().ClickCommand(0);
    EXPECT_TRUE(Window().isVisible());
    QApplication::processEvents();

    EXPECT_EQ(visited.size(), stop ? 1u : features);
    EXPECT_EQ(Window().isVisible(), !stop);
    // Neither a pause nor the completion box stood before the close.
    std::vector<std::string> boxes;
    for (const auto& box : m_user.MessageBoxes()) boxes.push_back(box.title + ": " + box.text);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.front().find("A tool is running"), std::string::npos);
    EXPECT_EQ(boxes.size(), stop ? 1u : 2u) << ::testing::PrintToString(boxes);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringARun, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& answer) {
                             return answer.param ? "Yes" : "No";
                         });

// The sample's junctions (UTM zone 32N) written in WGS 84 by OGR directly, as
// another program would have written them; returns their UTM coordinates.
std::vector<objects::XY> WriteJunctionsInWgs84(const std::filesystem::path& sample,
                                               const std::filesystem::path& file) {
    OGRSpatialReference utm;
    OGRSpatialReference wgs84;
    utm.importFromEPSG(32632);
    wgs84.importFromEPSG(4326);
    utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toWgs84(
        OGRCreateCoordinateTransformation(&utm, &wgs84));
    const GDALDatasetUniquePtr in(
        GDALDataset::Open(sample.string().c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr));
    const GDALDatasetUniquePtr out(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
        file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = out->CreateLayer("Junctions84", &wgs84, wkbPoint, nullptr);
    std::vector<objects::XY> original;
    for (const auto& feature : in->GetLayerByName("NerroJunction")) {
        auto* point = feature->GetGeometryRef()->toPoint();
        original.push_back({point->getX(), point->getY()});
        point->transform(toWgs84.get());
        OGRFeature copy(layer->GetLayerDefn());
        copy.SetGeometry(point);
        EXPECT_EQ(layer->CreateFeature(&copy), OGRERR_NONE);
    }
    return original;
}

TEST_F(MapWindow, LayersOfTwoSystemsOverlayAndTheScaleIsTrueInDegrees) {
    const std::filesystem::path folder = Document().parent_path();
    const std::vector<objects::XY> utm =
        WriteJunctionsInWgs84(folder / "hydrology.gpkg", folder / "wgs84.gpkg");
    const std::filesystem::path document = folder / "mixed.json";
    std::ofstream(document) << R"({"velorinMapDocument": 1,
        "map": {"coordinateSystem": "EPSG:32632"}, "layers": [
        {"kind": "feature", "name": "Junctions84", "source": {"path": "wgs84.gpkg", "layer": "Junctions84"},
         "renderer": {"type": "simple", "symbol": {"type": "simpleMarker", "size": 9, "color": [200, 0, 0]}}},
        {"kind": "feature", "name": "Catchment", "source": {"path": "hydrology.gpkg", "layer": "Catchment"}}]})";
    ASSERT_TRUE(Window().Open(document));
    EXPECT_EQ(Window().findChild<QLabel*>("coordinateSystem")->text(), "EPSG:32632");
    memory::MapView& view = Window().Host().View();
    const auto& store = *Window().Host().FeatureLayerNamed("Junctions84")->Data()->Store();
    ASSERT_EQ(store.Size(), utm.size());
    for (std::size_t i = 0; i < utm.size(); ++i) {
        const auto point = std::dynamic_pointer_cast<objects::PointGeometry>(store.ShapeAt(i));
        const memory::PixelXY ours = view.ToPixel(point->Coords());
        const memory::PixelXY theirs = view.ToPixel(utm[i]);
        EXPECT_LE(std::hypot(ours.x - theirs.x, ours.y - theirs.y), 1.0) << "junction " << i;
        EXPECT_EQ(PixelAt(utm[i].x, utm[i].y), QColor(200, 0, 0)) << "junction " << i;
    }
    // Saved, the document keeps the map's system.
    ASSERT_TRUE(Window().SaveAs(folder / "mixed-saved.json"));
    ASSERT_TRUE(Window().Open(folder / "mixed-saved.json"));
    EXPECT_EQ(Window().Document().system.Text(), "EPSG:32632");

    // The data set alone is a map in degrees; its scale is what a ruler along the
    // view's middle measures, in metres on the ground (through UTM, whose own
    // scale is within 0.1% of true here).
    ASSERT_TRUE(Window().Open(folder / "wgs84.gpkg"));
    EXPECT_EQ(Window().findChild<QLabel*>("coordinateSystem")->text(), "EPSG:4326");
    memory::MapView& degrees = Window().Host().View();
    const double middle = degrees.Height() / 2.0;
    const objects::XY left = degrees.ToMap({0, middle});
    const objects::XY right = degrees.ToMap({static_cast<double>(degrees.Width()), middle});
    OGRSpatialReference utmSystem;
    OGRSpatialReference wgs84;
    utmSystem.importFromEPSG(32632);
    wgs84.importFromEPSG(4326);
    utmSystem.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toUtm(
        OGRCreateCoordinateTransformation(&wgs84, &utmSystem));
    std::array<double, 2> xs{left.x, right.x};
    std::array<double, 2> ys{left.y, right.y};
    ASSERT_TRUE(toUtm->Transform(2, xs.data(), ys.data()));
    const double metres = std::hypot(xs[1] - xs[0], ys[1] - ys[0]);
    const double expected = metres / (degrees.Width() * 0.0254 / 96);
    const double shown =
        QLocale(QLocale::English).toDouble(Window().ScaleText().mid(2).remove(','));
    EXPECT_NEAR(shown / expected, 1.0, 0.002) << Window().ScaleText().toStdString();
}

TEST_F(MapWindow, AnOpenedDataSetIsNamedAndSaveAsProposesAMapDocumentBesideIt) {
    // A GeoJSON data set whose own name a document of its name would replace.
    const std::filesystem::path data = Scratch() / "points.json";
    std::ofstream(data) << R"({"type": "FeatureCollection", "features": [{"type": "Feature",
        "properties": {"name": "a"}, "geometry": {"type": "Point", "coordinates": [1, 2]}}]})";
    ASSERT_TRUE(Window().Open(data));
    EXPECT_TRUE(Window().windowTitle().startsWith("points.json"))
        << Window().windowTitle().toStdString();
    QStringList proposed;
    Window().pickSaveFile = [&](const QString&, const QString& file) {
        proposed << file;
        return proposed.size() == 1 ? QString() : file;
    };
    QAction* saveAs = Window().findChild<QAction*>("saveAs");
    ASSERT_NE(saveAs, nullptr);
    EXPECT_EQ(saveAs->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    saveAs->trigger();
    ASSERT_EQ(proposed.size(), 1);
    EXPECT_EQ(proposed.front().toStdString(), (Scratch() / "points map.json").string());
    ASSERT_TRUE(Window().Save());
    EXPECT_EQ(Window().Document().path, Scratch() / "points map.json");
    EXPECT_TRUE(Window().windowTitle().startsWith("points map.json"));
}

TEST_F(MapWindow, ADoubleClickOpensPropertiesWithoutFoldingTheLayer) {
    QTreeWidgetItem* row = LayerRow("Catchment");
    ASSERT_TRUE(row->isExpanded());
    ContentsPanel& contents = Window().Contents();
    const QPoint at = contents.visualItemRect(row).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, contents.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(contents.viewport(), &event);
    }
    EXPECT_TRUE(LayerRow("Catchment")->isExpanded());
    EXPECT_NE(Window().findChild<SymbologyDialog*>(), nullptr);
}

TEST_F(MapWindow, AFoldedLegendStaysFoldedWhenLayersAreReorderedOrRemoved) {
    LayerRow("Catchment")->setExpanded(false);
    Window().MoveLayer(Window().Host().LayerNamed("Catchment"), 0);
    EXPECT_FALSE(LayerRow("Catchment")->isExpanded());
    EXPECT_TRUE(LayerRow("NerroJunction")->isExpanded());
    Window().RemoveLayer(Window().Host().LayerNamed("Waterbody"));
    EXPECT_FALSE(LayerRow("Catchment")->isExpanded());
    LayerRow("Catchment")->setExpanded(true);
    Window().MoveLayer(Window().Host().LayerNamed("Catchment"), 2);
    EXPECT_TRUE(LayerRow("Catchment")->isExpanded());
}

TEST_F(MapWindow, RemoveAndMoveAreUndoneAndRedoneUntilAnotherMapOpens) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    const std::vector<std::shared_ptr<host::ILayer>> order = Window().Host().FocusMap().Layers();
    const auto layers = [&] { return Window().Host().FocusMap().Layers(); };
    // As the person left it: hidden, filtered, two selected, its legend folded.
    const auto renderer = catchment->Renderer();
    catchment->SetVisible(false);
    catchment->SetDefinitionExpression("NerroID > 1005");
    Window().Host().Select("Catchment", {7, 9});
    LayerRow("Catchment")->setExpanded(false);
    ASSERT_FALSE(Window().Modified());
    auto* undo = Window().findChild<QAction*>("undo");
    auto* redo = Window().findChild<QAction*>("redo");
    ASSERT_TRUE(undo && redo);
    EXPECT_FALSE(undo->isEnabled());

    std::unique_ptr<QMenu> menu(Window().Contents().MenuFor(catchment));
    MenuItem(*menu, "Remove")->trigger();
    EXPECT_EQ(layers().size(), order.size() - 1);
    EXPECT_TRUE(Window().Modified());
    EXPECT_TRUE(undo->text().remove('&').endsWith("Undo Remove Catchment"));
    // Ctrl+Z, as the person presses it.
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QTest::keyClick(&Window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(layers(), order);
    EXPECT_EQ(catchment->Renderer(), renderer);
    EXPECT_FALSE(catchment->Visible());
    EXPECT_EQ(catchment->DefinitionExpression(), "NerroID > 1005");
    EXPECT_EQ(catchment->Selection().Oids(), (std::set<std::int32_t>{7, 9}));
    EXPECT_TRUE(LayerRow("Catchment")->text(0).contains("(2 selected)"));
    EXPECT_FALSE(LayerRow("Catchment")->isExpanded());
    EXPECT_FALSE(Window().Modified());
    QTest::keyClick(&Window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(layers().size(), order.size() - 1);
    EXPECT_TRUE(Window().Modified());
    undo->trigger();

    // Layers added meanwhile do not move a layer from its neighbours.
    const auto waterbody = Window().Host().LayerNamed("Waterbody");
    const auto was = std::find(order.begin(), order.end(), waterbody);
    ASSERT_TRUE(was != order.begin() && was + 1 != order.end());
    Window().MoveLayer(waterbody, 0);
    ASSERT_EQ(layers().front(), waterbody);
    ASSERT_TRUE(Window().AddLayers(Document().parent_path() / "hydrology.gpkg"));
    undo->trigger();
    const auto now = layers();
    const auto at = std::find(now.begin(), now.end(), waterbody);
    ASSERT_TRUE(at != now.begin() && at + 1 != now.end());
    EXPECT_EQ((*(at - 1))->Name(), (*(was - 1))->Name());
    EXPECT_EQ((*(at + 1))->Name(), (*(was + 1))->Name());
    EXPECT_EQ(*(at + 1), *(was + 1));

    ASSERT_TRUE(Window().Open(Document()));
    EXPECT_FALSE(Window().UndoStack().canUndo());
    EXPECT_FALSE(Window().Modified());
}

TEST_F(MapWindow, AClickThatBringsTheAttributeTableForwardSelectsNoRow) {
    const auto catchment = Window().Host().FeatureLayerNamed("Catchment");
    AttributeTable* table = Window().OpenAttributeTable(catchment);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(table));
    // A tool window of the map window: the window system keeps it above that
    // window, also while the person clicks on the map.
    EXPECT_EQ(table->windowType(), Qt::Tool);
    EXPECT_EQ(table->windowHandle()->transientParent(), Window().windowHandle());
    QTableView& view = table->View();
    const QPoint row = view.visualRect(table->Model().index(1, 0)).center();
    // The window system's activation (activateWindow() counts the map window as
    // active while its tool window is).
    const auto active = [](QWidget* window) {
        return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
    };
    const auto activate = [&](QWidget* window) {
        window->windowHandle()->requestActivate();
        return active(window);
    };
    // The map window active, or the table activated by the click's own window
    // system an instant before the click comes.
    for (const bool tableActivatedFirst : {false, true}) {
        SCOPED_TRACE(tableActivatedFirst ? "table activated first" : "map window active");
        view.clearSelection();
        ASSERT_TRUE(activate(&Window()));
        if (tableActivatedFirst) {
            ASSERT_TRUE(activate(table));
        }
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, row);
        EXPECT_TRUE(active(table));
        EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());
        EXPECT_TRUE(catchment->Selection().Oids().empty());
        // Now a click in the active table selects.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, row);
        EXPECT_EQ(catchment->Selection().Oids(), (std::set<std::int32_t>{table->Model().OidAt(1)}));
    }
}

TEST_F(MapWindow, TheWindowsSizeAndPanelsAreRememberedBetweenSessions) {
    Window().resize(1010, 707);
    QApplication::processEvents();
    ASSERT_TRUE(Window().close());
    m_window = std::make_unique<MainWindow>([] { return false; });
    EXPECT_EQ(Window().size(), QSize(1010, 707));
}

TEST(AttributeTableModel, TextsSortAsTheLanguageOrdersThemNullsFirst) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto host = memory::HostBuilder()
                    .FeatureLayer("Places", host::esriGeometryPoint)
                    .Field("Name", host::esriFieldTypeString)
                    .Feature({std::string("Zug")}, objects::MakePoint(0, 0))
                    .Feature({std::string("'t Zand")}, objects::MakePoint(0, 0))
                    .Feature({host::FieldValue()}, objects::MakePoint(0, 0))
                    .Feature({std::string("Ängelholm")}, objects::MakePoint(0, 0))
                    .Feature({std::string("Road 10")}, objects::MakePoint(0, 0))
                    .Feature({std::string("Road 9")}, objects::MakePoint(0, 0))
                    .Feature({std::string("bern")}, objects::MakePoint(0, 0))
                    .Build();
    AttributeTableModel model(host.FeatureLayerNamed("Places"));
    const int name = host.FeatureLayerNamed("Places")->FindField("Name");
    model.sort(name, Qt::AscendingOrder);
    std::vector<std::int32_t> order;
    for (int row = 0; row < model.rowCount(); ++row) order.push_back(model.OidAt(row));
    // Null, then Ängelholm among the A's, bern among the B's, numbers by value.
    EXPECT_EQ(order, (std::vector<std::int32_t>{3, 2, 4, 7, 6, 5, 1}));
    model.sort(name, Qt::DescendingOrder);
    EXPECT_EQ(model.OidAt(0), 1);
    EXPECT_EQ(model.OidAt(model.rowCount() - 1), 3);
    QLocale::setDefault(QLocale::c());
}

// The event loop turns until the window's background read has ended.
void WaitForLoading(const MainWindow& window) {
    for (int turns = 0; window.Loading() && turns < 10000; ++turns) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_FALSE(window.Loading());
}

TEST_F(MapWindow, ADataSetIsReadInTheBackgroundWhileTheWindowWorksAndCancelDropsIt) {
    const std::filesystem::path data = Document().parent_path() / "hydrology.gpkg";
    const std::filesystem::path before = Window().Document().path;
    ASSERT_TRUE(Window().LoadInBackground(data, false));
    // Until the read ends the map shown is the one before, and a second read waits.
    EXPECT_TRUE(Window().Loading());
    EXPECT_EQ(Window().Document().path, before);
    EXPECT_FALSE(Window().LoadInBackground(data, true));
    WaitForLoading(Window());
    EXPECT_TRUE(Window().windowTitle().startsWith("hydrology.gpkg"));
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 5);

    // Cancelled: what the read returns is dropped.
    ASSERT_TRUE(Window().LoadInBackground(data, true));
    Window().findChild<QToolButton*>("cancelLoading")->click();
    WaitForLoading(Window());
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 5);

    // Added, into the map's system; a file that cannot be read says so.
    ASSERT_TRUE(Window().LoadInBackground(data, true));
    WaitForLoading(Window());
    EXPECT_EQ(Window().Host().FocusMap().LayerCount(), 10);
    ASSERT_TRUE(Window().LoadInBackground(Scratch() / "missing.gpkg", true));
    WaitForLoading(Window());
    ASSERT_EQ(m_user.MessageBoxes().size(), 1u);
    EXPECT_NE(m_user.MessageBoxes().front().text.find("missing.gpkg"), std::string::npos);

    // A map document opens at its own extent; one whose data moved is read again
    // at once, asking the person.
    Window().OpenInBackground(Document());
    WaitForLoading(Window());
    EXPECT_TRUE(Window().windowTitle().startsWith("hydrology.json"));
    const auto background = Window().Host().View().Extent();
    ASSERT_TRUE(Window().Open(Document()));
    const auto atOnce = Window().Host().View().Extent();
    EXPECT_DOUBLE_EQ(background->XMin(), atOnce->XMin());
    EXPECT_DOUBLE_EQ(background->YMax(), atOnce->YMax());
    std::filesystem::rename(data, Scratch() / "moved.gpkg");
    m_user.AnswerAlways("is missing", ui::MsgResult::Cancel);
    Window().OpenInBackground(Document());
    WaitForLoading(Window());
    EXPECT_NE(m_user.MessageBoxes().at(1).text.find("is missing"), std::string::npos);
    EXPECT_TRUE(LayerRow("Catchment")->text(0).endsWith("(unavailable)"));
}

TEST(AttributeTableModel, ALargeTableSortsInTheBackgroundToTheOrderOfTheSortAtOnce) {
    memory::HostBuilder builder;
    builder.FeatureLayer("Places", host::esriGeometryPoint)
        .Field("Name", host::esriFieldTypeString)
        .Field("Rank", host::esriFieldTypeInteger);
    const auto rows = static_cast<std::int32_t>(AttributeTableModel::kSortInBackground) + 5;
    for (std::int32_t i = 0; i < rows; ++i) {
        builder.Feature(
            {i % 97 == 0 ? host::FieldValue()
                         : host::FieldValue("Place " + std::to_string((i * 7919) % 1000)),
             i % 13},
            objects::MakePoint(i, 0));
    }
    auto host = builder.Build();
    const auto layer = host.FeatureLayerNamed("Places");
    for (const char* field : {"Name", "Rank"}) {
        AttributeTableModel background(layer);
        AttributeTableModel atOnce(layer);
        const int column = layer->FindField(field);
        background.sort(column, Qt::DescendingOrder);
        EXPECT_TRUE(background.Sorting());
        for (int turns = 0; background.Sorting() && turns < 10000; ++turns) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(background.Sorting());
        atOnce.SortAtOnce(column, Qt::DescendingOrder);
        for (int row = 0; row < rows; ++row) {
            ASSERT_EQ(background.OidAt(row), atOnce.OidAt(row)) << field << " row " << row;
        }
    }
}

TEST_F(MapWindow, WhileAToolRunsTheWindowIsBusyAndAfterwardsItIsNot) {
    bool busyDuringRun = false;
    bool menusDuringRun = true;
    DialogSteps steps;
    steps.beforeOk = [&](ui::Window&) {
        busyDuringRun = Window().Busy();
        menusDuringRun = Window().menuBar()->isEnabled();
    };
    DialogReport report;
    PlanRun(m_user, Run(Tool::CopyLegend), report, steps);
    Window().ClickCommand(1);
    EXPECT_TRUE(busyDuringRun);
    EXPECT_FALSE(menusDuringRun);
    EXPECT_FALSE(Window().Busy());
    EXPECT_TRUE(Window().menuBar()->isEnabled());
    EXPECT_EQ(Window().Map().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MapWindow, TheStatusBarShowsTheScaleAndForgetsThePointerThatLeft) {
    const QString before = Window().ScaleText();
    ASSERT_TRUE(before.startsWith("1:"));
    const long long n = QLocale(QLocale::English).toLongLong(before.mid(2));
    Window().Map().ZoomAbout(QPointF(50, 50), 2.0);
    const long long zoomed = QLocale(QLocale::English).toLongLong(Window().ScaleText().mid(2));
    EXPECT_NEAR(static_cast<double>(zoomed), n / 2.0, 1.0);

    QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), QPointF(40, 40), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&Window().Map(), &move);
    EXPECT_FALSE(Window().PointerLabel().text().isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&Window().Map(), &leave);
    EXPECT_TRUE(Window().PointerLabel().text().isEmpty());
}

}  // namespace
}  // namespace velorin::app

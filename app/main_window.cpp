#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QUndoCommand>
#include <QUndoStack>
#include <QWindow>
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

#include "app/attribute_table.h"
#include "app/contents_panel.h"
#include "app/identify_panel.h"
#include "app/map_widget.h"
#include "app/open_map.h"
#include "app/stopping_toolkit.h"
#include "app/symbology_dialog.h"
#include "commands/cls_copy_legend.h"
#include "commands/cls_zoom_flash.h"
#include "forms/frm_copy_legend.h"
#include "forms/frm_zoom_flash.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/objects/renderers.h"
#include "platform/objects/status_bar.h"
#include "ui/current_toolkit.h"

// Resources of a static library are registered by an initialiser the linker may
// drop; naming it here keeps it. Q_INIT_RESOURCE must be used outside any
// namespace.
static void InitialiseMapResources() { Q_INIT_RESOURCE(velorin_map); }

namespace velorin::app {

namespace {

QIcon ToolIcon(const char* name) {
    QIcon icon;
    for (const int size : {24, 48}) {
        icon.addFile(QStringLiteral(":/velorin-map/%1_%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    }
    return icon;
}

// The settings of the person's program, where the recent files are kept.
QSettings Settings() { return QSettings(QStringLiteral("Velorin"), QStringLiteral("velorin-map")); }

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

std::string Fixed2(double value) {
    std::array<char, 64> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(digits.data(), result.ptr) : std::string("?");
}

std::unique_ptr<gdal::MapDocument> EmptyDocument(int width, int height) {
    auto host = memory::HostBuilder()
                    .Title("Untitled")
                    .Build(memory::MakeQImageCanvas(std::max(width, 1), std::max(height, 1)));
    return std::make_unique<gdal::MapDocument>(gdal::MapDocument{std::move(host), {}, {}, {}, {}});
}

// Every feature layer of the map, group members included, top first.
void EachFeatureLayer(const std::vector<std::shared_ptr<host::ILayer>>& layers,
                      const std::function<void(memory::FeatureLayer&)>& visit) {
    for (const auto& layer : layers) {
        if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
            visit(*features);
        } else if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
            EachFeatureLayer(group->Layers(), visit);
        }
    }
}

// A data set opened on its own shows all of itself, with a margin: put before
// the map is shown, so that it is drawn once.
void ShowAllOf(gdal::MapDocument& document) {
    if (const auto box = JoinedBox(document.host.FocusMap().Layers())) {
        const MapBox shown = WithMargin(*box, 0.05);
        document.host.View().SetExtent(
            objects::MakeEnvelope(shown.xMin, shown.yMin, shown.xMax, shown.yMax));
    }
}

// The visible feature layers of the map, group members of visible groups
// included, top first.
std::vector<std::shared_ptr<memory::FeatureLayer>> VisibleFeatureLayers(
    const std::vector<std::shared_ptr<host::ILayer>>& layers) {
    std::vector<std::shared_ptr<memory::FeatureLayer>> shown;
    for (const auto& layer : layers) {
        if (!layer->Visible()) continue;
        if (auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
            shown.push_back(std::move(features));
        } else if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
            for (auto& member : VisibleFeatureLayers(group->Layers())) {
                shown.push_back(std::move(member));
            }
        }
    }
    return shown;
}

// The file a person names in the save dialog (asked through ask), which proposes
// proposed; ".json" added when it has no extension; empty when they cancel.
std::filesystem::path AskSavePath(const std::function<QString(const QString&, const QString&)>& ask,
                                  const QString& title, const std::filesystem::path& proposed) {
    const QString file = ask(title, ToQt(proposed.string()));
    if (file.isEmpty()) return {};
    std::filesystem::path path = file.toStdString();
    if (path.extension().empty()) path += ".json";
    return path;
}

const QString kFileFilters = QStringLiteral(
    "Maps and data sets (*.json *.gpkg *.shp *.geojson *.fgb *.gml *.kml *.sqlite);;"
    "Map documents (*.json);;All files (*)");

// An edit of the map that Undo takes back: what doing and undoing it do. Each
// runs at the window's edge, as the menu command it is.
class MapEdit final : public QUndoCommand {
  public:
    MapEdit(const QString& text, std::function<void()> redo, std::function<void()> undo)
        : QUndoCommand(text), m_redo(std::move(redo)), m_undo(std::move(undo)) {}
    void redo() override { ui::CurrentToolkit().RunAtEdge(m_redo); }
    void undo() override { ui::CurrentToolkit().RunAtEdge(m_undo); }

  private:
    std::function<void()> m_redo;
    std::function<void()> m_undo;
};

int IndexOf(const std::vector<std::shared_ptr<host::ILayer>>& layers,
            const std::shared_ptr<host::ILayer>& layer) {
    const auto at = std::find(layers.begin(), layers.end(), layer);
    return at == layers.end() ? -1 : static_cast<int>(at - layers.begin());
}

}  // namespace

// Where a top-level layer stands among the others: the layers just below and
// above it, and its index, for when both have gone. Layers added or removed
// meanwhile do not move it from its neighbours.
struct LayerSpot {
    std::weak_ptr<host::ILayer> below;
    std::weak_ptr<host::ILayer> above;
    int index = 0;

    // The spot at index among others (the top-level layers without the one placed).
    static LayerSpot At(const std::vector<std::shared_ptr<host::ILayer>>& others, int index) {
        const auto count = static_cast<int>(others.size());
        LayerSpot spot;
        spot.index = index;
        if (index >= 0 && index < count) spot.below = others[static_cast<std::size_t>(index)];
        if (index > 0 && index <= count) spot.above = others[static_cast<std::size_t>(index - 1)];
        return spot;
    }
    // Its index among others now.
    int In(const std::vector<std::shared_ptr<host::ILayer>>& others) const {
        if (const int at = IndexOf(others, below.lock()); at >= 0) return at;
        if (const int at = IndexOf(others, above.lock()); at >= 0) return at + 1;
        return std::clamp(index, 0, static_cast<int>(others.size()));
    }
};

namespace {

// The top-level layers but one.
std::vector<std::shared_ptr<host::ILayer>> Without(
    std::vector<std::shared_ptr<host::ILayer>> layers, const std::shared_ptr<host::ILayer>& layer) {
    std::erase(layers, layer);
    return layers;
}

}  // namespace

// A data set read by the reader thread for Open or Add Layer.
struct MainWindow::LoadJob {
    std::filesystem::path file;
    bool add = false;
    std::atomic<bool> cancelled{false};
    // Set by the reader thread before it posts the end; read on this thread after.
    std::unique_ptr<gdal::MapDocument> result;
    std::optional<velorin::Error> error;
    // A map document, read as long as it asks nothing of the person.
    bool document = false;
    bool needsThePerson = false;
};

// A map document read in the background names a missing data file: the person
// must be asked, which only the window's thread can do.
struct NeedsThePerson {};

MainWindow::MainWindow(std::function<bool()> takeEscPress, QWidget* parent)
    : QMainWindow(parent), m_takeEscPress(std::move(takeEscPress)) {
    InitialiseMapResources();
    pickFile = [this](const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(this, title, folder, filter);
    };
    pickSaveFile = [this](const QString& title, const QString& proposed) {
        return QFileDialog::getSaveFileName(this, title, proposed,
                                            QStringLiteral("Map documents (*.json)"));
    };
    m_map = new MapWidget(this);
    setCentralWidget(m_map);

    BuildDocks();
    BuildStatusBar();
    ConnectMap();
    ConnectContents();
    BuildActions();
    // Installed after the toolkit's input gate, so seen before it.
    QApplication::instance()->installEventFilter(this);
    Attach(EmptyDocument(800, 600));
    // The size, place and panels the person left the window with.
    const QSettings settings = Settings();
    if (!restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray())) {
        resize(1100, 720);
    }
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
}

void MainWindow::BuildDocks() {
    m_contents = new ContentsPanel(this);
    auto* dock = new QDockWidget(QStringLiteral("Layers"), this);
    dock->setObjectName(QStringLiteral("contents"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(m_contents);
    addDockWidget(Qt::LeftDockWidgetArea, dock);

    m_identify = new IdentifyPanel(this);
    m_identifyDock = new QDockWidget(QStringLiteral("Identify"), this);
    m_identifyDock->setObjectName(QStringLiteral("identifyDock"));
    m_identifyDock->setWidget(m_identify);
    addDockWidget(Qt::RightDockWidgetArea, m_identifyDock);
    m_identifyDock->hide();
}

void MainWindow::BuildStatusBar() {
    m_pane0 = new QLabel(this);
    m_pane0->setMinimumWidth(200);
    statusBar()->addWidget(m_pane0, 1);
    m_progress = new QProgressBar(this);
    m_progress->setMaximumWidth(320);
    m_progress->setMinimumWidth(220);
    m_progress->hide();
    statusBar()->addPermanentWidget(m_progress);
    m_cancelLoad = new QToolButton(this);
    m_cancelLoad->setObjectName(QStringLiteral("cancelLoading"));
    m_cancelLoad->setText(QStringLiteral("Cancel"));
    m_cancelLoad->setToolTip(QStringLiteral("Stop reading the data set"));
    m_cancelLoad->hide();
    connect(m_cancelLoad, &QToolButton::clicked, this, [this] { CancelLoading(); });
    statusBar()->addPermanentWidget(m_cancelLoad);
    m_scale = new QLabel(this);
    m_scale->setMinimumWidth(110);
    m_scale->setToolTip(QStringLiteral("Map scale, at the centre of the view"));
    statusBar()->addPermanentWidget(m_scale);
    m_system = new QLabel(this);
    m_system->setObjectName(QStringLiteral("coordinateSystem"));
    statusBar()->addPermanentWidget(m_system);
    m_pointer = new QLabel(this);
    m_pointer->setMinimumWidth(190);
    statusBar()->addPermanentWidget(m_pointer);
}

// What a person does on the map: selecting, identifying, pointing, navigating.
void MainWindow::ConnectMap() {
    m_map->onClick = [this](objects::XY point, double tolerance, SelectMode mode) {
        AtEdge([&] { SelectAt(point, tolerance, mode); });
    };
    m_map->onBox = [this](const MapBox& box, SelectMode mode) {
        AtEdge([&] { SelectIn(box, mode); });
    };
    m_map->onIdentify = [this](objects::XY point, double tolerance) {
        AtEdge([&] { IdentifyAt(point, tolerance); });
    };
    m_map->onPointer = [this](objects::XY point) {
        m_pointer->setText(ToQt(Fixed2(point.x) + "  " + Fixed2(point.y)));
    };
    m_map->onPointerLeft = [this] { m_pointer->clear(); };
    m_map->onExtentChanged = [this] { ShowScale(); };
    m_map->onRefused = [this](const std::string& why) {
        statusBar()->showMessage(ToQt(why), 4000);
    };
}

// What a person does in the table of contents, each through the window's edge.
void MainWindow::ConnectContents() {
    m_contents->onVisibility = [this](const std::shared_ptr<host::ILayer>& layer, bool visible) {
        AtEdge([&] {
            layer->SetVisible(visible);
            Host().View().Refresh();
            m_contents->RefreshCaptions();
            ShowSelection();
            SetModified(true);
        });
    };
    m_contents->onZoomToLayer = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] { ZoomToLayer(layer); });
    };
    m_contents->onZoomToSelection = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] { ZoomToSelection(layer); });
    };
    m_contents->onProperties = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] {
            if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
                ShowProperties(features);
            }
        });
    };
    m_contents->onOpenTable = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] {
            if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
                OpenAttributeTable(features);
            }
        });
    };
    m_contents->onRemove = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] { RemoveLayer(layer); });
    };
    m_contents->onRepair = [this](const std::shared_ptr<host::ILayer>& layer) {
        AtEdge([&] { RepairDataSource(layer); });
    };
    m_contents->whyUnavailable = [this](const host::ILayer& layer) {
        const gdal::UnavailableLayer* what = Document().sources.Unavailable(layer);
        return what != nullptr ? what->reason : std::string();
    };
    m_contents->onMove = [this](const std::shared_ptr<host::ILayer>& layer, int index) {
        AtEdge([&] { MoveLayer(layer, index); });
    };
}

MainWindow::~MainWindow() {
    if (m_job) m_job->cancelled = true;
    if (m_loader.joinable()) m_loader.join();
    Detach();
}

struct MainWindow::ToolActions {
    QToolBar* bar;
    QAction* pan;
    QAction* select;
    QAction* identify;
    QAction* full;
    QAction* clear;
};

void MainWindow::BuildActions() {
    BuildFileMenu();
    BuildEditMenu();
    const ToolActions tools = BuildTools();
    BuildViewMenu(tools);
    QMenu* selection = menuBar()->addMenu(QStringLiteral("&Selection"));
    selection->addAction(tools.select);
    selection->addAction(tools.clear);
    BuildCommandActions();
    BuildHelpMenu();
}

void MainWindow::BuildFileMenu() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = fileMenu->addAction(QStringLiteral("&Open..."));
    open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    open->setShortcut(QKeySequence::Open);
    open->setStatusTip(QStringLiteral("Open a map document or a data set"));
    connect(open, &QAction::triggered, this, [this] { OpenFromMenu(); });
    QAction* addLayer = fileMenu->addAction(QStringLiteral("Add &Layer..."));
    addLayer->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    addLayer->setStatusTip(QStringLiteral("Add the layers of a data set to the map"));
    addLayer->setIcon(ToolIcon("add_layer"));
    connect(addLayer, &QAction::triggered, this, [this] { AddLayersFromMenu(); });
    m_recentMenu = fileMenu->addMenu(QStringLiteral("Recent &Files"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
    QAction* save = fileMenu->addAction(QStringLiteral("&Save"));
    save->setShortcut(QKeySequence::Save);
    save->setStatusTip(QStringLiteral("Save the map document"));
    connect(save, &QAction::triggered, this, [this] { AtEdge([this] { Save(); }); });
    QAction* saveAs = fileMenu->addAction(QStringLiteral("Save &As..."));
    // Spelt out: the platform's standard Save As key is empty on some desktops.
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveAs->setObjectName(QStringLiteral("saveAs"));
    saveAs->setStatusTip(QStringLiteral("Save the map document under a new name"));
    connect(saveAs, &QAction::triggered, this, [this] {
        const std::filesystem::path path =
            AskSavePath(pickSaveFile, QStringLiteral("Save Map Document As"), ProposedSavePath());
        if (!path.empty()) AtEdge([&] { SaveAs(path); });
    });
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::BuildEditMenu() {
    m_undo = new QUndoStack(this);
    // A removed layer's data stays in memory while its Remove can be undone.
    m_undo->setUndoLimit(kUndoLimit);
    connect(m_undo, &QUndoStack::cleanChanged, this, [this] { ShowModified(); });
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = m_undo->createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcuts(QKeySequence::Undo);
    edit->addAction(undo);
    QAction* redo = m_undo->createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("redo"));
    // The platform's keys, and Ctrl+Shift+Z wherever they lack it.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence shiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    if (!redoKeys.contains(shiftZ)) redoKeys.append(shiftZ);
    redo->setShortcuts(redoKeys);
    edit->addAction(redo);
}

// The Tools bar: the map tools, one checked at a time, then Full Extent and Clear
// Selection.
MainWindow::ToolActions MainWindow::BuildTools() {
    auto* tools = addToolBar(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("tools"));
    auto* modes = new QActionGroup(this);
    tools->setIconSize(QSize(24, 24));
    QAction* pan = tools->addAction(ToolIcon("pan"), QStringLiteral("&Pan"));
    pan->setShortcut(QKeySequence(Qt::Key_P));
    pan->setCheckable(true);
    pan->setStatusTip(QStringLiteral("Drag the map to move it; the wheel zooms"));
    pan->setActionGroup(modes);
    connect(pan, &QAction::triggered, this, [this] { m_map->SetTool(MapWidget::Tool::Pan); });
    QAction* select = tools->addAction(ToolIcon("select"), QStringLiteral("&Select Features"));
    select->setShortcut(QKeySequence(Qt::Key_S));
    select->setCheckable(true);
    select->setChecked(true);
    select->setStatusTip(
        QStringLiteral("Click a feature or drag a box to select in the current layer "
                       "(Shift adds, Ctrl removes)"));
    select->setActionGroup(modes);
    connect(select, &QAction::triggered, this, [this] { m_map->SetTool(MapWidget::Tool::Select); });
    QAction* identify = tools->addAction(ToolIcon("identify"), QStringLiteral("&Identify"));
    identify->setShortcut(QKeySequence(Qt::Key_I));
    identify->setObjectName(QStringLiteral("identifyTool"));
    identify->setCheckable(true);
    identify->setStatusTip(
        QStringLiteral("Click a feature to list its fields and values, in every visible layer"));
    identify->setActionGroup(modes);
    connect(identify, &QAction::triggered, this,
            [this] { m_map->SetTool(MapWidget::Tool::Identify); });
    QAction* full = tools->addAction(ToolIcon("full_extent"), QStringLiteral("&Full Extent"));
    full->setShortcut(QKeySequence(Qt::Key_Home));
    full->setStatusTip(QStringLiteral("Show every feature of the map"));
    connect(full, &QAction::triggered, this, [this] { AtEdge([this] { FullExtent(); }); });
    QAction* clear =
        tools->addAction(ToolIcon("clear_selection"), QStringLiteral("&Clear Selection"));
    clear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    clear->setStatusTip(QStringLiteral("Select no features in any layer"));
    connect(clear, &QAction::triggered, this, [this] { ClearSelection(); });
    return {tools, pan, select, identify, full, clear};
}

void MainWindow::BuildViewMenu(const ToolActions& tools) {
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(tools.full);
    QAction* zoomIn = view->addAction(ToolIcon("zoom_in"), QStringLiteral("Zoom &In"));
    zoomIn->setShortcut(QKeySequence::ZoomIn);
    connect(zoomIn, &QAction::triggered, this,
            [this] { m_map->ZoomAbout(QPointF(m_map->width() / 2.0, m_map->height() / 2.0), 2); });
    QAction* zoomOut = view->addAction(ToolIcon("zoom_out"), QStringLiteral("Zoom &Out"));
    zoomOut->setShortcut(QKeySequence::ZoomOut);
    connect(zoomOut, &QAction::triggered, this, [this] {
        m_map->ZoomAbout(QPointF(m_map->width() / 2.0, m_map->height() / 2.0), 0.5);
    });
    view->addSeparator();
    view->addAction(tools.pan);
    view->addAction(tools.identify);
    view->addSeparator();
    QAction* identifyPanel = m_identifyDock->toggleViewAction();
    identifyPanel->setText(QStringLiteral("Identify &Results"));
    view->addAction(identifyPanel);
    tools.bar->addAction(zoomIn);
    tools.bar->addAction(zoomOut);
}

void MainWindow::BuildCommandActions() {
    // The commands of category Velorin. Their captions, tooltips and messages are
    // read from the command objects each time a document brings new ones.
    // Alt+L: Alt+E is the Edit menu's, as everywhere.
    QMenu* velorin = menuBar()->addMenu(QStringLiteral("Ve&lorin"));
    auto* bar = addToolBar(QStringLiteral("Velorin"));
    bar->setObjectName(QStringLiteral("velorin"));
    for (std::size_t i = 0; i < 2; ++i) {
        auto* action =
            new QAction(ToolIcon(i == 0 ? "zoom_flash" : "copy_legend"), QString(), this);
        connect(action, &QAction::triggered, this, [this, i] { AtEdge([&] { ClickCommand(i); }); });
        velorin->addAction(action);
        bar->addAction(action);
        m_commandActions.push_back(action);
    }
    m_commandActions.at(0)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_commandActions.at(1)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
}

void MainWindow::BuildHelpMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* zoomFlashHelp = help->addAction(QStringLiteral("&Zoom and Flash Help"));
    connect(zoomFlashHelp, &QAction::triggered, this,
            [this] { AtEdge([] { forms::ShowZoomFlashHelp(); }); });
    QAction* copyLegendHelp = help->addAction(QStringLiteral("&Copy Legend Colors Help"));
    connect(copyLegendHelp, &QAction::triggered, this,
            [this] { AtEdge([] { forms::ShowCopyLegendHelp(); }); });
    help->addSeparator();
    QAction* about = help->addAction(QStringLiteral("&About Velorin"));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(
            this, QStringLiteral("About Velorin"),
            QStringLiteral("<b>velorin-map " VELORIN_VERSION
                           "</b><p>The map window of Velorin: two map tools, "
                           "Zoom and Flash and Copy Legend Colors, on a reference map host that "
                           "reads GIS data through GDAL and draws with Qt.</p>"));
    });
}

void MainWindow::Attach(std::unique_ptr<gdal::MapDocument> document) {
    Detach();
    m_document = std::move(document);
    objects::HostHooks& hooks = Host().Context().hooks;
    // A run the person stopped to close the window sees Esc at every check, and
    // leaves a real press for a later run.
    hooks.takeEscPress = [this] {
        return (m_run != nullptr && m_run->Stopped()) || m_takeEscPress();
    };
    hooks.screenChanged = [this] {
        m_map->ShowScreenNow();
        ShowScale();
    };
    hooks.statusChanged = [this](std::string_view text) {
        m_pane0->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        if (m_pane0->isVisible()) m_pane0->repaint();
    };
    hooks.progressChanged = [this] { ShowProgress(); };
    hooks.contentsChanged = [this] {
        m_contents->Rebuild(&Host().FocusMap());
        SetModified(true);
    };
    // Pending redraws are the message pump's: posted, they are drawn at the next
    // turn of the event loop, or at the next DoEvents of a run.
    hooks.redrawRequested = [this] {
        if (m_redrawPosted) return;
        m_redrawPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_redrawPosted = false;
                if (m_document) Host().View().ProcessPendingRedraw();
            },
            Qt::QueuedConnection);
    };

    m_map->SetView(&Host().View());
    Host().View().ProcessPendingRedraw();

    m_commands.push_back(std::make_unique<commands::clsZoomFlash>());
    m_commands.push_back(std::make_unique<commands::clsCopyLegend>());
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        commands::Command& command = *m_commands[i];
        command.OnCreate(Host().Application());
        QAction* action = m_commandActions.at(i);
        action->setText(ToQt(command.Caption()));
        action->setToolTip(ToQt(command.Tooltip()));
        action->setStatusTip(ToQt(command.Message()));
        action->setObjectName(ToQt(command.Name()));
        action->setEnabled(command.Enabled());
        action->setCheckable(command.Checked());
    }

    m_contents->Rebuild(&Host().FocusMap());
    ShowSelection();
    m_pane0->clear();
    m_progress->hide();
    SetModified(false);
    UpdateTitle();
    ShowSystem();
    ShowScale();
}

void MainWindow::Detach() {
    // Windows of the document's layers go with it.
    for (const auto& dialog : m_symbology) {
        if (dialog) dialog->close();
    }
    m_symbology.clear();
    for (const auto& table : m_tables) {
        if (table) table->close();
    }
    m_tables.clear();
    m_identify->clear();
    // Its edits hold its layers.
    m_undo->clear();
    // The commands go first: dropping them unloads their dialogs, which let go of
    // the application; then the host stops calling into this window.
    m_commands.clear();
    if (!m_document) return;
    objects::HostHooks& hooks = Host().Context().hooks;
    hooks = objects::HostHooks{};
    m_map->SetView(nullptr);
    m_document.reset();
}

bool MainWindow::Open(const std::filesystem::path& file) {
    std::unique_ptr<gdal::MapDocument> document;
    m_located = false;
    try {
        document = std::make_unique<gdal::MapDocument>(OpenMap(
            file, std::max(m_map->width(), 1), std::max(m_map->height(), 1),
            [this](const std::filesystem::path& missing) { return LocateMissing(missing); }));
    } catch (const velorin::Error& error) {
        ui::CurrentToolkit().MsgBox(error.Description(), ui::MsgButtons::OkOnly,
                                    ui::MsgIcon::Critical);
        return false;
    }
    ShowOpened(std::move(document), file);
    return true;
}

void MainWindow::ShowOpened(std::unique_ptr<gdal::MapDocument> document,
                            const std::filesystem::path& file, bool placed) {
    if (document->path.empty() && !placed) ShowAllOf(*document);
    Attach(std::move(document));
    // A source repointed to a located file is a change to save.
    if (m_located) SetModified(true);
    m_lastFolder = std::filesystem::absolute(file).parent_path();
    Remember(file);
    ReportUnavailable();
}

void MainWindow::ReportUnavailable() {
    std::string list;
    std::size_t count = 0;
    EachFeatureLayer(Host().FocusMap().Layers(), [&](memory::FeatureLayer& layer) {
        if (const gdal::UnavailableLayer* what = Document().sources.Unavailable(layer)) {
            // Appended piece by piece: GCC 12 at -O3 warns wrongly of a literal
            // joined before a string.
            list.append("\n").append(layer.Name()).append(": ").append(what->reason);
            ++count;
        }
    });
    std::string text;
    if (count > 0) {
        text = (count == 1 ? std::string("One layer has no data and is shown as unavailable:")
                           : std::to_string(count) +
                                 " layers have no data and are shown as unavailable:") +
               list +
               "\n\nRepair Data Source... in a layer's menu names its file; saving keeps them "
               "as the document had them.";
    }
    for (const std::string& warning : Document().warnings) {
        text += (text.empty() ? "" : "\n\n") + warning;
    }
    if (text.empty()) return;
    ui::CurrentToolkit().MsgBox(text, ui::MsgButtons::OkOnly, ui::MsgIcon::None);
}

bool MainWindow::RepairDataSource(const std::shared_ptr<host::ILayer>& layer) {
    const gdal::UnavailableLayer* what = Document().sources.Unavailable(*layer);
    if (what == nullptr) return false;
    const std::filesystem::path missing = what->source.file;
    const QString found = pickFile(QStringLiteral("Locate ") + ToQt(missing.filename().string()),
                                   ToQt(StartFolder().string()),
                                   QStringLiteral("Data sets (*.gpkg *.shp *.geojson "
                                                  "*.json *.fgb *.gml *.kml *.sqlite);;"
                                                  "All files (*)"));
    if (found.isEmpty()) return false;
    // Saved beside nothing of the person's: the copy's data paths are relative to
    // its own folder, and so read back as the same files.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Error(host::E_HOST_FAIL, "no folder for a temporary copy of the map");
    const std::filesystem::path copy = scratch.filePath(QStringLiteral("map.json")).toStdString();
    gdal::SaveMapDocument(Document(), copy);
    const std::filesystem::path named = found.toStdString();
    auto repaired = std::make_unique<gdal::MapDocument>(
        OpenMap(copy, std::max(m_map->width(), 1), std::max(m_map->height(), 1),
                [&](const std::filesystem::path& file) {
                    return file == missing ? named : std::filesystem::path();
                }));
    if (repaired->sources.UnavailableCount() >= Document().sources.UnavailableCount()) {
        ui::CurrentToolkit().MsgBox(found.toStdString() + " does not hold the layer \"" +
                                        what->source.layer + "\"; the map is as it was.",
                                    ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
        return false;
    }
    repaired->path = Document().path;
    Attach(std::move(repaired));
    SetModified(true);
    UpdateTitle();
    statusBar()->showMessage(QStringLiteral("Data read from ") + found, 4000);
    return true;
}

std::filesystem::path MainWindow::LocateMissing(const std::filesystem::path& missing) {
    const ui::MsgResult answer = ui::CurrentToolkit().MsgBox(
        "The data file " + missing.generic_string() +
            " named by the map document is missing. Press OK to locate it, or Cancel to give up.",
        ui::MsgButtons::OkCancel, ui::MsgIcon::Critical);
    if (answer != ui::MsgResult::Ok) return {};
    const QString found = pickFile(QStringLiteral("Locate ") + ToQt(missing.filename().string()),
                                   ToQt(missing.parent_path().string()),
                                   QStringLiteral("Data sets (*.gpkg *.shp "
                                                  "*.geojson *.json *.fgb "
                                                  "*.gml *.kml *.sqlite);;"
                                                  "All files (*)"));
    if (found.isEmpty()) return {};
    m_located = true;
    return found.toStdString();
}

std::filesystem::path MainWindow::StartFolder() const {
    if (m_document && !Document().path.empty()) return Document().path.parent_path();
    return m_lastFolder;
}

std::filesystem::path MainWindow::ProposedSavePath() const {
    if (!Document().path.empty()) return Document().path;
    // A data set opened on its own: a document of its name beside it, unless that
    // name is taken by a file that is not a map document (a GeoJSON data set
    // named ".json", say), which the save would refuse to replace.
    const std::string title = Host().Document().Title();
    const std::string stem =
        std::filesystem::path(title == "Untitled" || title.empty() ? "map" : title).stem().string();
    std::filesystem::path proposed = StartFolder() / (stem + ".json");
    std::error_code error;
    for (int n = 2; std::filesystem::exists(proposed, error) && !LooksLikeMapDocument(proposed);
         ++n) {
        proposed = StartFolder() /
                   (stem + (n == 2 ? std::string(" map") : " map " + std::to_string(n)) + ".json");
    }
    return proposed;
}

QStringList MainWindow::RecentFiles() const {
    return Settings().value(QStringLiteral("recentFiles")).toStringList();
}

void MainWindow::Remember(const std::filesystem::path& file) {
    const QString path = ToQt(std::filesystem::absolute(file).lexically_normal().string());
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles) files.removeLast();
    Settings().setValue(QStringLiteral("recentFiles"), files);
}

void MainWindow::FillRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = RecentFiles();
    if (files.isEmpty()) m_recentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        QAction* item = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(file));
        connect(item, &QAction::triggered, this, [this, file] {
            AtEdge([&] {
                if (ConfirmDiscard()) OpenInBackground(file.toStdString());
            });
        });
    }
}

QString MainWindow::ScaleText() const {
    constexpr double kMetresPerPixel = 0.0254 / 96.0;
    // Degrees are measured along the parallel through the view's centre.
    const auto extent = Host().View().Extent();
    const double latitude = (extent->YMin() + extent->YMax()) / 2;
    const double scale =
        Host().View().Scale() * Document().system.MetresPerUnit(latitude) / kMetresPerPixel;
    if (!std::isfinite(scale) || scale <= 0 || scale > 1e15) return {};
    return QStringLiteral("1:") + QLocale(QLocale::English).toString(std::llround(scale));
}

void MainWindow::ShowScale() {
    if (m_document) m_scale->setText(ScaleText());
}

void MainWindow::ShowSystem() {
    const gdal::CoordinateSystem& system = Document().system;
    m_system->setText(system.Empty() ? QStringLiteral("No coordinate system")
                                     : ToQt(system.Label()));
    m_system->setToolTip(system.Empty() ? QStringLiteral("The data declare no coordinate system: "
                                                         "map units are taken as metres")
                                        : ToQt(system.Name()));
}

void MainWindow::SetBusy(bool busy) {
    m_busy = busy;
    menuBar()->setEnabled(!busy);
    for (QToolBar* bar : findChildren<QToolBar*>()) bar->setEnabled(!busy);
    m_contents->setEnabled(!busy);
    for (const auto& table : m_tables) {
        if (table) table->setEnabled(!busy);
    }
    for (const auto& dialog : m_symbology) {
        if (dialog) dialog->setEnabled(!busy);
    }
    // The map keeps painting (the run draws on it) but takes no clicks; the busy
    // pointer says why.
    m_map->SetAccepting(!busy);
    m_map->setCursor(busy ? Qt::BusyCursor : Qt::ArrowCursor);
}

bool MainWindow::AddLayers(const std::filesystem::path& file) {
    std::optional<gdal::MapDocument> added;
    try {
        added.emplace(gdal::LoadDataSet(file, {}, Document().system));
    } catch (const velorin::Error& error) {
        ui::CurrentToolkit().MsgBox(error.Description(), ui::MsgButtons::OkOnly,
                                    ui::MsgIcon::Critical);
        return false;
    }
    AddLoaded(std::move(*added), file);
    return true;
}

void MainWindow::AddLoaded(gdal::MapDocument loaded, const std::filesystem::path& file) {
    std::optional<gdal::MapDocument> added(std::move(loaded));
    memory::Map& map = Host().FocusMap();
    std::int32_t featureLayers = 0;
    EachFeatureLayer(map.Layers(), [&](memory::FeatureLayer&) { ++featureLayers; });
    const auto layers = added->host.FocusMap().Layers();
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const auto& layer = layers[i];
        if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
            if (features->Data()) {
                if (const gdal::DataSource* source = added->sources.Find(*features->Data())) {
                    Document().sources.Add(features->Data(), *source);
                }
                // The data set's own palette starts again at its first colour; the
                // map's next colours keep the new layers apart from the old.
                features->SetRenderer(objects::MakeDefaultRenderer(
                    Host().SharedContext(), features->Data()->ShapeType(), featureLayers++));
            }
        }
        map.InsertLayer(static_cast<std::int32_t>(i), layer);
    }
    for (const auto& table : added->host.FocusMap().StandaloneTables()) {
        if (table->Data()) {
            if (const gdal::DataSource* source = added->sources.Find(*table->Data())) {
                Document().sources.Add(table->Data(), *source);
            }
        }
        map.AddStandaloneTable(table);
    }
    // An empty map takes the system of the first data set added to it.
    if (Document().system.Empty()) Document().system = added->system;
    ShowSystem();
    Host().View().Refresh();
    m_contents->Rebuild(&map);
    if (!layers.empty()) m_contents->SetCurrentLayer(layers.front());
    ShowSelection();
    SetModified(true);
    for (const std::string& warning : added->warnings) {
        ui::CurrentToolkit().MsgBox(warning, ui::MsgButtons::OkOnly, ui::MsgIcon::None);
    }
    statusBar()->showMessage(
        QStringLiteral("Added %1 from %2").arg(layers.size()).arg(ToQt(file.filename().string())),
        4000);
    m_lastFolder = std::filesystem::absolute(file).parent_path();
}

// ---- data sets read in the background ----------------------------------------------

bool MainWindow::LoadInBackground(const std::filesystem::path& file, bool add) {
    if (m_job) {
        statusBar()->showMessage(QStringLiteral("A data set is still being read"), 4000);
        return false;
    }
    auto job = std::make_shared<LoadJob>();
    job->file = file;
    job->add = add;
    job->document = !add && file.extension() == ".json" && LooksLikeMapDocument(file);
    m_job = job;
    // The reader gets copies of all it needs: it builds a host of its own, which
    // nothing of the open map shares until the result is taken here.
    const int width = std::max(m_map->width(), 1);
    const int height = std::max(m_map->height(), 1);
    // A system of its own: GDAL's spatial references are not to be read by two
    // threads at once, and the window reads the map's for its scale.
    const gdal::CoordinateSystem system =
        add && !Document().system.Empty()
            ? gdal::CoordinateSystem::FromText(Document().system.Text())
            : gdal::CoordinateSystem();
    m_located = false;
    m_loader = std::thread([this, job, width, height, system] {
        try {
            job->result = std::make_unique<gdal::MapDocument>(
                job->document ? OpenMap(job->file, width, height,
                                        [](const std::filesystem::path&) -> std::filesystem::path {
                                            throw NeedsThePerson{};
                                        })
                              : gdal::LoadDataSet(job->file,
                                                  memory::MakeQImageCanvas(width, height), system));
            // The stores' spatial indexes are built on their first search: here,
            // while the host is still this thread's alone, rather than at the
            // first redraw on the window's.
            EachFeatureLayer(job->result->host.FocusMap().Layers(),
                             [](memory::FeatureLayer& layer) {
                                 if (layer.Data()) layer.Data()->Store()->Spatial();
                             });
            // So is the first picture of a map that is opened.
            if (!job->add) {
                if (!job->document) ShowAllOf(*job->result);
                job->result->host.View().ProcessPendingRedraw();
            }
        } catch (const NeedsThePerson&) {
            job->needsThePerson = true;
        } catch (const velorin::Error& error) {
            job->error = error;
        } catch (const std::exception& error) {
            job->error =
                velorin::Error(host::E_HOST_FAIL, job->file.generic_string() + ": " + error.what());
        }
        // The window waits for this thread before it goes, so it is there to post to.
        QMetaObject::invokeMethod(
            this, [this] { FinishLoading(); }, Qt::QueuedConnection);
    });
    m_progress->setRange(0, 0);
    m_progress->setFormat(QStringLiteral("Reading ") + ToQt(file.filename().string()));
    m_progress->setTextVisible(true);
    m_progress->show();
    m_cancelLoad->show();
    return true;
}

void MainWindow::CancelLoading() {
    if (!m_job) return;
    // GDAL's read cannot be interrupted; what it returns is dropped.
    m_job->cancelled = true;
    m_cancelLoad->hide();
    m_progress->hide();
    statusBar()->showMessage(QStringLiteral("Reading cancelled"), 4000);
}

void MainWindow::FinishLoading() {
    if (m_loader.joinable()) m_loader.join();
    const std::shared_ptr<LoadJob> job = std::move(m_job);
    m_job.reset();
    m_cancelLoad->hide();
    m_progress->hide();
    if (!job || job->cancelled) return;
    AtEdge([&] {
        if (job->needsThePerson) {
            // Read again here, asking for what is missing as it is met.
            Open(job->file);
        } else if (job->error) {
            ui::CurrentToolkit().MsgBox(job->error->Description(), ui::MsgButtons::OkOnly,
                                        ui::MsgIcon::Critical);
        } else if (job->add) {
            AddLoaded(std::move(*job->result), job->file);
        } else {
            ShowOpened(std::move(job->result), job->file, true);
        }
    });
}

void MainWindow::OpenInBackground(const std::filesystem::path& file) {
    LoadInBackground(file, false);
}

bool MainWindow::Save() {
    if (Document().path.empty()) {
        const std::filesystem::path path =
            AskSavePath(pickSaveFile, QStringLiteral("Save Map Document"), ProposedSavePath());
        return !path.empty() && SaveAs(path);
    }
    return SaveAs(Document().path);
}

bool MainWindow::SaveAs(const std::filesystem::path& file) {
    try {
        gdal::SaveMapDocument(Document(), file);
    } catch (const velorin::Error& error) {
        ui::CurrentToolkit().MsgBox(error.Description(), ui::MsgButtons::OkOnly,
                                    ui::MsgIcon::Critical);
        return false;
    }
    Document().path = file;
    SetModified(false);
    UpdateTitle();
    Remember(file);
    statusBar()->showMessage(QStringLiteral("Saved ") + ToQt(file.generic_string()), 4000);
    return true;
}

void MainWindow::ClickCommand(std::size_t index) {
    // Whatever ends the run, the window comes back.
    struct BusyScope {
        MainWindow& window;
        BusyScope(MainWindow& w, StoppingToolkit& run) : window(w) {
            window.m_run = &run;
            window.SetBusy(true);
        }
        ~BusyScope() {
            window.SetBusy(false);
            window.m_run = nullptr;
        }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        BusyScope(BusyScope&&) = delete;
        BusyScope& operator=(BusyScope&&) = delete;
    };
    {
        StoppingToolkit run(ui::CurrentToolkit());
        const ui::ToolkitScope scope(run);
        const BusyScope busy(*this, run);
        m_commands.at(index)->OnClick();
    }
    AfterRun();
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        // From the event loop, as the person's close would have come.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void MainWindow::AskToStopRun() {
    if (m_run == nullptr || m_run->Stopped()) return;
    const ui::MsgResult answer = ui::CurrentToolkit().MsgBox(
        "A tool is running. Stop it at its next step and close the window?",
        ui::MsgButtons::OkCancel);
    if (answer != ui::MsgResult::Ok || m_run == nullptr) return;
    m_run->Stop();
    m_closeAfterRun = true;
    m_pane0->setText(QStringLiteral("Stopping the run to close the window..."));
}

void MainWindow::AfterRun() {
    if (!m_document) return;
    Host().View().ProcessPendingRedraw();
    m_contents->RefreshCaptions();
    ShowSelection();
    m_map->update();
}

std::size_t MainWindow::Select(memory::FeatureLayer& layer, const std::vector<std::int32_t>& oids,
                               SelectMode mode) {
    switch (mode) {
        case SelectMode::Replace:
            layer.Selection().Replace(oids);
            break;
        case SelectMode::Add:
            layer.Select(oids);
            break;
        case SelectMode::Remove: {
            std::set<std::int32_t> kept = layer.Selection().Oids();
            for (const std::int32_t oid : oids) kept.erase(oid);
            layer.Selection().Replace(std::vector<std::int32_t>(kept.begin(), kept.end()));
            break;
        }
    }
    SelectionChanged();
    const std::size_t count = layer.Selection().Oids().size();
    statusBar()->showMessage(QStringLiteral("%1 selected in %2").arg(count).arg(ToQt(layer.Name())),
                             4000);
    return oids.size();
}

std::shared_ptr<memory::FeatureLayer> MainWindow::SelectableLayer() {
    const auto layer = m_contents->CurrentFeatureLayer();
    if (!layer) {
        statusBar()->showMessage(
            QStringLiteral("Pick a feature layer in the Layers list to select in it"), 4000);
        return nullptr;
    }
    // What cannot be seen cannot be picked: a click would select features the
    // person never saw.
    if (!layer->Visible()) {
        statusBar()->showMessage(QStringLiteral("The layer %1 is hidden: show it to select in it")
                                     .arg(ToQt(layer->Name())),
                                 4000);
        return nullptr;
    }
    return layer;
}

std::size_t MainWindow::SelectAt(objects::XY point, double tolerance, SelectMode mode) {
    std::shared_ptr<memory::FeatureLayer> layer;
    std::optional<std::int32_t> picked;
    if (m_contents->CurrentFeatureLayer()) {
        layer = SelectableLayer();
        if (!layer) return 0;
        picked = FeatureAtClick(*layer, point, tolerance);
    } else {
        // Nothing current: the layer a person sees on top under the pointer.
        for (const auto& candidate : VisibleFeatureLayers(Host().FocusMap().Layers())) {
            picked = FeatureAtClick(*candidate, point, tolerance);
            if (picked) {
                layer = candidate;
                break;
            }
        }
        if (!layer) return 0;
    }
    return Select(*layer, picked ? std::vector<std::int32_t>{*picked} : std::vector<std::int32_t>{},
                  mode);
}

std::size_t MainWindow::SelectIn(const MapBox& box, SelectMode mode) {
    const auto layer = SelectableLayer();
    if (!layer) return 0;
    return Select(*layer, FeaturesInBox(*layer, box), mode);
}

void MainWindow::ClearSelection() {
    if (!m_document) return;
    Host().ClearSelection();
    SelectionChanged();
}

void MainWindow::SelectionChanged() {
    m_contents->RefreshCaptions();
    ShowSelection();
    for (const auto& table : m_tables) {
        if (table) table->ShowLayerSelection();
    }
}

void MainWindow::ZoomToBox(const MapBox& box) {
    // A twentieth of the larger side all round: points at the edge are drawn
    // whole, and polygons do not touch the border.
    const MapBox shown = WithMargin(box, 0.05);
    Host().View().SetExtent(objects::MakeEnvelope(shown.xMin, shown.yMin, shown.xMax, shown.yMax));
    Host().View().ProcessPendingRedraw();
    m_map->update();
    if (m_map->onExtentChanged) m_map->onExtentChanged();
}

void MainWindow::FullExtent() {
    if (const auto box = JoinedBox(Host().FocusMap().Layers())) {
        ZoomToBox(*box);
    } else {
        Host().View().ZoomToFullExtent();
        Host().View().ProcessPendingRedraw();
        m_map->update();
    }
}

void MainWindow::ZoomToLayer(const std::shared_ptr<host::ILayer>& layer) {
    std::optional<MapBox> box;
    if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
        box = LayerBox(*features);
    } else if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
        box = JoinedBox(group->Layers());
    }
    if (!box) {
        statusBar()->showMessage(QStringLiteral("The layer has no features to zoom to"), 4000);
        return;
    }
    ZoomToBox(*box);
}

void MainWindow::ZoomToSelection(const std::shared_ptr<host::ILayer>& layer) {
    const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
    const std::optional<MapBox> box = features ? LayerBox(*features, true) : std::nullopt;
    if (!box) {
        statusBar()->showMessage(QStringLiteral("The layer has no selected features to zoom to"),
                                 4000);
        return;
    }
    ZoomToBox(*box);
}

SymbologyDialog* MainWindow::ShowProperties(const std::shared_ptr<memory::FeatureLayer>& layer) {
    std::erase_if(m_symbology, [](const QPointer<SymbologyDialog>& d) { return d.isNull(); });
    for (const auto& open : m_symbology) {
        if (open->Layer() == layer) {
            open->raise();
            // Not activateWindow(): it does nothing while this window is active,
            // whose transient child the other one counts as.
            if (QWindow* window = open->windowHandle()) window->requestActivate();
            return open;
        }
    }
    auto* dialog = new SymbologyDialog(Host(), layer, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->onApplied = [this] { LegendChanged(); };
    m_symbology.emplace_back(dialog);
    dialog->show();
    return dialog;
}

void MainWindow::LegendChanged() {
    Host().View().Refresh();
    m_contents->Rebuild(&Host().FocusMap());
    ShowSelection();
    m_map->update();
    SetModified(true);
}

void MainWindow::CloseLayerWindows(const std::shared_ptr<host::ILayer>& layer) {
    for (const auto& dialog : m_symbology) {
        if (dialog && dialog->Layer() == layer) dialog->close();
    }
    for (const auto& table : m_tables) {
        if (table && table->Layer() == layer) table->close();
    }
}

AttributeTable* MainWindow::OpenAttributeTable(const std::shared_ptr<memory::FeatureLayer>& layer) {
    std::erase_if(m_tables, [](const QPointer<AttributeTable>& t) { return t.isNull(); });
    for (const auto& open : m_tables) {
        if (open->Layer() == layer) {
            open->raise();
            // Not activateWindow(): it does nothing while this window is active,
            // whose transient child the other one counts as.
            if (QWindow* window = open->windowHandle()) window->requestActivate();
            return open;
        }
    }
    auto* table = new AttributeTable(layer, this);
    table->setAttribute(Qt::WA_DeleteOnClose);
    table->onSelectionChanged = [this] { SelectionChanged(); };
    table->onZoomToSelection = [this, layer] { AtEdge([&] { ZoomToSelection(layer); }); };
    m_tables.emplace_back(table);
    table->show();
    return table;
}

std::size_t MainWindow::IdentifyAt(objects::XY point, double tolerance) {
    std::vector<IdentifiedFeature> found;
    std::vector<std::shared_ptr<host::IGeometry>> shapes;
    const std::function<void(const std::vector<std::shared_ptr<host::ILayer>>&)> visit =
        [&](const std::vector<std::shared_ptr<host::ILayer>>& layers) {
            for (const auto& layer : layers) {
                if (!layer->Visible()) continue;
                if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
                    visit(group->Layers());
                    continue;
                }
                const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
                if (!features || !features->Data()) continue;
                const memory::RowStore& store = *features->Data()->Store();
                const objects::Fields& fields = *store.FieldSet();
                const std::int32_t display = fields.Find(features->DisplayField());
                for (const std::int32_t oid : FeaturesAtClick(*features, point, tolerance)) {
                    const memory::RowRecord& row = store.At(*store.PositionOf(oid));
                    IdentifiedFeature feature{features->Name(), oid, {}, {}, features};
                    for (std::int32_t i = 0; i < fields.Count(); ++i) {
                        feature.fields.emplace_back(fields.At(i).NameText(),
                                                    CellText(fields, row, i).toStdString());
                    }
                    if (display >= 0) {
                        feature.heading = feature.fields[static_cast<std::size_t>(display)].second;
                    }
                    found.push_back(std::move(feature));
                    if (row.shape) shapes.push_back(row.shape);
                }
            }
        };
    visit(Host().FocusMap().Layers());
    m_identify->Show(std::move(found));
    m_identifyDock->show();
    m_map->Flash(std::move(shapes));
    const std::size_t count = m_identify->Count();
    statusBar()->showMessage(QStringLiteral("%1 features identified").arg(count), 4000);
    return count;
}

void MainWindow::RemoveLayer(const std::shared_ptr<host::ILayer>& layer) {
    const auto& layers = Host().FocusMap().Layers();
    const int index = IndexOf(layers, layer);
    if (index < 0) return;
    const LayerSpot spot = LayerSpot::At(Without(layers, layer), index);
    // What the map's document and list keep of the layer outside it, read again
    // at every redo.
    auto unavailable = std::make_shared<std::optional<gdal::UnavailableLayer>>();
    auto folded = std::make_shared<bool>(false);
    m_undo->push(new MapEdit(
        QStringLiteral("Remove %1").arg(ToQt(layer->Name())),
        [this, layer, unavailable, folded] {
            const gdal::UnavailableLayer* what = Document().sources.Unavailable(*layer);
            *unavailable = what != nullptr ? std::optional(*what) : std::nullopt;
            *folded = m_contents->Folded(*layer);
            TakeOutLayer(layer);
        },
        [this, layer, spot, unavailable, folded] {
            if (*unavailable) Document().sources.AddUnavailable(layer, **unavailable);
            m_contents->SetFolded(*layer, *folded);
            PutBackLayer(layer, spot);
        }));
}

void MainWindow::TakeOutLayer(const std::shared_ptr<host::ILayer>& layer) {
    memory::Map& map = Host().FocusMap();
    const int index = IndexOf(map.Layers(), layer);
    if (index < 0) return;
    CloseLayerWindows(layer);
    m_identify->ForgetLayer(layer);
    Document().sources.ForgetUnavailable(*layer);
    map.RemoveLayer(index);
    Host().View().Refresh();
    m_contents->Rebuild(&map);
    ShowSelection();
}

void MainWindow::PutBackLayer(const std::shared_ptr<host::ILayer>& layer, const LayerSpot& spot) {
    memory::Map& map = Host().FocusMap();
    if (IndexOf(map.Layers(), layer) >= 0) return;
    map.InsertLayer(spot.In(map.Layers()), layer);
    Host().View().Refresh();
    m_contents->Rebuild(&map);
    m_contents->SetCurrentLayer(layer);
    ShowSelection();
}

void MainWindow::MoveLayer(const std::shared_ptr<host::ILayer>& layer, int index) {
    const auto& layers = Host().FocusMap().Layers();
    const int from = IndexOf(layers, layer);
    if (from < 0 || from == index || index < 0 || index >= static_cast<int>(layers.size())) return;
    const std::vector<std::shared_ptr<host::ILayer>> others = Without(layers, layer);
    const LayerSpot there = LayerSpot::At(others, index);
    const LayerSpot back = LayerSpot::At(others, from);
    m_undo->push(new MapEdit(
        QStringLiteral("Move %1").arg(ToQt(layer->Name())),
        [this, layer, there] { PlaceLayer(layer, there); },
        [this, layer, back] { PlaceLayer(layer, back); }));
}

void MainWindow::PlaceLayer(const std::shared_ptr<host::ILayer>& layer, const LayerSpot& spot) {
    memory::Map& map = Host().FocusMap();
    const int from = IndexOf(map.Layers(), layer);
    if (from < 0) return;
    map.MoveLayer(from, spot.In(Without(map.Layers(), layer)));
    Host().View().Refresh();
    m_contents->Rebuild(&map);
    m_contents->SetCurrentLayer(layer);
}

void MainWindow::ShowSelection() {
    std::vector<std::shared_ptr<host::IGeometry>> shapes;
    EachFeatureLayer(Host().FocusMap().Layers(), [&](memory::FeatureLayer& layer) {
        if (!layer.Visible()) return;
        for (auto& shape : SelectedShapes(layer)) shapes.push_back(std::move(shape));
    });
    m_map->SetHighlight(std::move(shapes));
}

void MainWindow::ShowProgress() {
    const objects::StepProgressor& bar = *Host().StatusBar().Progressor();
    if (!bar.Shown()) {
        m_progress->hide();
        return;
    }
    const int low = bar.MinRange();
    const int high = bar.MaxRange();
    m_progress->setRange(std::min(low, high), std::max(low, high));
    m_progress->setValue(bar.Position());
    const std::string message = bar.Message();
    m_progress->setFormat(message.empty() ? QStringLiteral("%p%") : ToQt(message));
    m_progress->setTextVisible(true);
    m_progress->show();
}

void MainWindow::SetModified(bool modified) {
    m_changedBesideStack = modified;
    // Saved or opened: where the undo stack stands is as saved.
    if (!modified) m_undo->setClean();
    ShowModified();
}

void MainWindow::ShowModified() {
    m_modified = m_changedBesideStack || !m_undo->isClean();
    setWindowModified(m_modified);
}

void MainWindow::UpdateTitle() {
    // An opened data set is named by its file until the map is saved as a document.
    const std::filesystem::path& path = Document().path;
    const QString name =
        path.empty() ? ToQt(Host().Document().Title()) : ToQt(path.filename().string());
    setWindowTitle(name + QStringLiteral("[*] - Velorin"));
}

bool MainWindow::ConfirmDiscard() {
    if (!m_modified) return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("Velorin"),
        QStringLiteral("The map has changes that are not saved. Save them first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) return Save();
    return answer == QMessageBox::Discard;
}

void MainWindow::OpenFromMenu() {
    AtEdge([this] {
        if (!ConfirmDiscard()) return;
        const QString file =
            pickFile(QStringLiteral("Open"), ToQt(StartFolder().string()), kFileFilters);
        if (!file.isEmpty()) OpenInBackground(file.toStdString());
    });
}

void MainWindow::AddLayersFromMenu() {
    AtEdge([this] {
        const QString file = pickFile(
            QStringLiteral("Add Layer"), ToQt(StartFolder().string()),
            QStringLiteral("Data sets (*.gpkg *.shp *.geojson *.json *.fgb *.gml *.kml *.sqlite);;"
                           "All files (*)"));
        if (!file.isEmpty()) LoadInBackground(file.toStdString(), true);
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Close && m_busy) {
        AtEdge([this] { AskToStopRun(); });
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        AtEdge([this] { AskToStopRun(); });
        event->ignore();
        return;
    }
    bool close = true;
    AtEdge([&] { close = ConfirmDiscard(); });
    if (close) {
        QSettings settings = Settings();
        settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
        settings.setValue(QStringLiteral("window/state"), saveState());
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::AtEdge(const std::function<void()>& action) noexcept {
    // The application installs its toolkit before it makes the window. A script's
    // complaint (a test playing the person) is exempt from the edge and ends the
    // program here with its message, as it must end the test.
    ui::CurrentToolkit().RunAtEdge(action);
}

}  // namespace velorin::app

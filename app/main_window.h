#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/feature_pick.h"
#include "commands/command.h"
#include "platform/gdal/map_document.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QUndoStack;

namespace velorin::app {

class AttributeTable;
class ContentsPanel;
class IdentifyPanel;
struct LayerSpot;
class MapWidget;
class StoppingToolkit;
class SymbologyDialog;

// The map host's window around the reference host: the map, the table of
// contents, the "Velorin" toolbar and menu with both commands, the status bar
// with its message pane and progress bar, and open and save of map documents.
//
// Every open document is a host of its own (its own application object), so the
// command objects live as long as their document: they are made, and given the
// application once with OnCreate, when a document opens, and destroyed (which
// drops their dialogs) when it closes. The window starts with an empty untitled
// map.
//
// The running thread's toolkit (ui::CurrentToolkit) shows the window's own
// boxes; takeEscPress is what the host's cancel trackers ask (the toolkit's Esc
// count). Both must outlive the window.
class MainWindow final : public QMainWindow {
  public:
    explicit MainWindow(std::function<bool()> takeEscPress, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    MainWindow(MainWindow&&) = delete;
    MainWindow& operator=(MainWindow&&) = delete;

    // Opens a map document or a data set in place of the open map. A file that
    // cannot be opened is reported in a box and changes nothing. Does not ask
    // about unsaved changes (the menu's Open does).
    bool Open(const std::filesystem::path& file);
    // Adds the layers and tables of a data set to the open map, on top of its
    // layers; a file that cannot be read is reported in a box and changes nothing.
    bool AddLayers(const std::filesystem::path& file);
    // Open and Add Layer as the menus do them: a data set or map document is read
    // on a thread of its own while the window goes on working, with a busy
    // progress bar and a Cancel button in the status bar; its map is shown (or
    // its layers added) when the read ends, and a failure then says why in a box.
    // One read at a time: false while another runs. A map document that names a
    // missing data file is read again at once (Open), asking the person.
    bool LoadInBackground(const std::filesystem::path& file, bool add);
    void OpenInBackground(const std::filesystem::path& file);
    bool Loading() const { return m_job != nullptr; }
    // Drops the read under way: its result is thrown away when it ends.
    void CancelLoading();
    // Saves to the document's own file (Save As when it has none) or to file,
    // which then becomes the document's. A failure is reported in a box and
    // leaves any earlier file whole.
    bool Save();
    bool SaveAs(const std::filesystem::path& file);

    // Clicks the command, as its button does but without the window's event edge:
    // what is not a velorin::Error passes to the caller. While it runs, the
    // window's own actions are disabled and the map shows a busy pointer. Closing
    // the window meanwhile asks whether to stop the run; yes stops it at its next
    // cancel check, answering any box it then shows, and closes the window after.
    void ClickCommand(std::size_t index);
    bool Busy() const { return m_busy; }
    std::size_t CommandCount() const { return m_commands.size(); }
    const commands::Command& CommandAt(std::size_t index) const { return *m_commands.at(index); }
    QAction* CommandAction(std::size_t index) const { return m_commandActions.at(index); }

    gdal::MapDocument& Document() const { return *m_document; }
    memory::ReferenceHost& Host() const { return m_document->host; }
    MapWidget& Map() const { return *m_map; }
    ContentsPanel& Contents() const { return *m_contents; }
    bool Modified() const { return m_modified; }

    // Selecting on the current layer of the contents list, as a click or a box on
    // the map does: a click picks the one feature under the point (FeatureAtClick),
    // a box every feature it touches; mode replaces, adds to or removes from the
    // layer's selection. With no feature layer current, a click picks in the
    // topmost visible layer that has a feature under the point. Returns how many
    // features the click or box met.
    std::size_t SelectAt(objects::XY point, double tolerance, SelectMode mode);
    std::size_t SelectIn(const MapBox& box, SelectMode mode);
    void ClearSelection();
    // After selections changed behind the window's back (a batch driver's, or the
    // host's own): the contents list's counts and the map's outlines again.
    void SelectionChanged();

    // The layer context menu's actions. The zooms leave a margin around what
    // they show; a layer (or selection) without shapes changes nothing.
    void ZoomToLayer(const std::shared_ptr<host::ILayer>& layer);
    void ZoomToSelection(const std::shared_ptr<host::ILayer>& layer);
    void FullExtent();
    // Opens the layer's symbology dialog (not modal: it is returned shown, and
    // the window keeps working under it). One per layer: asking again raises the
    // open one.
    SymbologyDialog* ShowProperties(const std::shared_ptr<memory::FeatureLayer>& layer);
    // An unavailable layer's data file named again (asked through pickFile): the
    // map is read again with that file in place of the missing one, and any other
    // missing file found beside it, keeping everything else of the map (through
    // a saved copy, so that what reading a document checks is checked again).
    // False, changing nothing, when the person cancels or the file does not serve.
    bool RepairDataSource(const std::shared_ptr<host::ILayer>& layer);
    // A top-level layer out of the map, or to index among the top-level layers.
    // Both are edits the Edit menu's Undo takes back: a removed layer comes back
    // where it stood (below the layer it was above, wherever that is now), with
    // its legend, visibility, selection, definition query and folding.
    void RemoveLayer(const std::shared_ptr<host::ILayer>& layer);
    void MoveLayer(const std::shared_ptr<host::ILayer>& layer, int index);
    // The edits Undo and Redo go through: the last kUndoLimit, dropped when
    // another map is shown. The map counts as saved when the stack is where it
    // was at the save and nothing outside it changed since.
    static constexpr int kUndoLimit = 10;
    QUndoStack& UndoStack() const { return *m_undo; }
    // After a layer's legend changed in the window: the map, the contents.
    void LegendChanged();
    // The layer's attribute table window, shown (one per layer, as Properties).
    AttributeTable* OpenAttributeTable(const std::shared_ptr<memory::FeatureLayer>& layer);

    // The Identify tool's click: the features under the point in every visible
    // layer, top layer first, listed in the Identify panel (shown if hidden) and
    // flashed once on the map. Returns how many were found.
    std::size_t IdentifyAt(objects::XY point, double tolerance);
    IdentifyPanel& Identified() const { return *m_identify; }

    // Where the file dialogs start: the document's folder, else the folder of
    // the file opened or added last.
    std::filesystem::path StartFolder() const;
    // The recently opened and saved files, newest first (at most kRecentFiles).
    static constexpr int kRecentFiles = 8;
    QStringList RecentFiles() const;
    // The map scale as the status bar shows it ("1:25,000"), on a screen of 96
    // pixels to the inch: map units in the map's coordinate system (degrees
    // measured along the parallel through the view's centre), taken as metres
    // when it has none.
    QString ScaleText() const;
    QLabel& PointerLabel() const { return *m_pointer; }

    // The file dialogs: asked for a file to open (title, start folder, filter);
    // an empty answer is a Cancel. Tests put a person of their own here.
    std::function<QString(const QString& title, const QString& folder, const QString& filter)>
        pickFile;
    // Asked for the file to save to (title, proposed file); empty: Cancel.
    std::function<QString(const QString& title, const QString& proposed)> pickSaveFile;
    // The file Save proposes for a map that has none: a document named after the
    // opened data set beside it, never a name a data set or other file holds.
    std::filesystem::path ProposedSavePath() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Sees the window's close requests before the toolkit's input gate, which
    // swallows them while a run pumps events.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The menus and tool bars, in the order they stand.
    struct ToolActions;
    void BuildDocks();
    void BuildStatusBar();
    void ConnectMap();
    void ConnectContents();
    void BuildActions();
    void BuildFileMenu();
    void BuildEditMenu();
    ToolActions BuildTools();
    void BuildViewMenu(const ToolActions& tools);
    void BuildCommandActions();
    void BuildHelpMenu();
    void Attach(std::unique_ptr<gdal::MapDocument> document);
    void Detach();
    void AfterRun();
    struct LoadJob;
    void FinishLoading();
    // placed: the view already shows what it should (a data set read in the
    // background is placed and drawn there).
    void ShowOpened(std::unique_ptr<gdal::MapDocument> document, const std::filesystem::path& file,
                    bool placed = false);
    void AddLoaded(gdal::MapDocument loaded, const std::filesystem::path& file);
    void AskToStopRun();
    void ShowSelection();
    void ShowProgress();
    void SetModified(bool modified);
    void UpdateTitle();
    bool ConfirmDiscard();
    void OpenFromMenu();
    void AddLayersFromMenu();
    void ZoomToBox(const MapBox& box);
    void CloseLayerWindows(const std::shared_ptr<host::ILayer>& layer);
    // What Remove and its Undo, and a move, do to the map and the window.
    void TakeOutLayer(const std::shared_ptr<host::ILayer>& layer);
    void PutBackLayer(const std::shared_ptr<host::ILayer>& layer, const LayerSpot& spot);
    void PlaceLayer(const std::shared_ptr<host::ILayer>& layer, const LayerSpot& spot);
    void ShowModified();
    void SetBusy(bool busy);
    void ShowScale();
    void ShowSystem();
    void Remember(const std::filesystem::path& file);
    void FillRecentMenu();
    std::filesystem::path LocateMissing(const std::filesystem::path& missing);
    // One box naming the map's unavailable layers and why, when it has any.
    void ReportUnavailable();
    // The current layer when it is a visible feature layer; else null, and the
    // status bar says why.
    std::shared_ptr<memory::FeatureLayer> SelectableLayer();
    std::size_t Select(memory::FeatureLayer& layer, const std::vector<std::int32_t>& oids,
                       SelectMode mode);
    // The window's event edge: the toolkit's (Toolkit::RunAtEdge), so a menu
    // command fails as a dialog's button does, in a box, and the window keeps
    // running.
    void AtEdge(const std::function<void()>& action) noexcept;

    std::function<bool()> m_takeEscPress;
    std::unique_ptr<gdal::MapDocument> m_document;
    std::vector<std::unique_ptr<commands::Command>> m_commands;
    std::vector<QAction*> m_commandActions;
    MapWidget* m_map = nullptr;
    ContentsPanel* m_contents = nullptr;
    QLabel* m_pane0 = nullptr;
    QLabel* m_pointer = nullptr;
    QLabel* m_scale = nullptr;
    QLabel* m_system = nullptr;
    QMenu* m_recentMenu = nullptr;
    std::filesystem::path m_lastFolder;
    bool m_busy = false;
    // The running tool's toolkit while a command runs, else null.
    StoppingToolkit* m_run = nullptr;
    bool m_closeAfterRun = false;
    bool m_located = false;
    QProgressBar* m_progress = nullptr;
    QToolButton* m_cancelLoad = nullptr;
    std::shared_ptr<LoadJob> m_job;
    std::thread m_loader;
    std::vector<QPointer<SymbologyDialog>> m_symbology;
    std::vector<QPointer<AttributeTable>> m_tables;
    IdentifyPanel* m_identify = nullptr;
    QDockWidget* m_identifyDock = nullptr;
    QUndoStack* m_undo = nullptr;
    bool m_modified = false;
    // A change the undo stack does not hold (a legend, visibility, added layers).
    bool m_changedBesideStack = false;
    bool m_redrawPosted = false;
};

}  // namespace velorin::app

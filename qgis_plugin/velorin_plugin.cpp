#include "qgis_plugin/velorin_plugin.h"

#include <qgis.h>
#include <qgisinterface.h>
#include <qgslayertreeview.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsstatusbar.h>

#include <QAction>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <utility>

#include "commands/cls_copy_legend.h"
#include "commands/cls_zoom_flash.h"
#include "platform/objects/status_bar.h"
#include "platform/qgis/qgis_host.h"
#include "platform/qt/application_look.h"
#include "qgis_plugin/fault_seam.h"
#include "ui/current_toolkit.h"

namespace velorin::qgisplugin {

namespace {

const QString kName = QStringLiteral("Velorin");
const QString kDescription =
    QStringLiteral("Zoom and Flash, and Copy Legend Colors, for related layers");
const QString kCategory = QStringLiteral("Plugins");
const QString kVersion = QStringLiteral(VELORIN_VERSION);
const QString kIcon = QStringLiteral(":/velorin/window_icon_32.png");

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

VelorinPlugin::VelorinPlugin(QgisInterface* iface)
    : QgisPlugin(kName, kDescription, kCategory, kVersion, QgisPlugin::UI),
      m_iface(iface),
      m_context(std::make_shared<objects::HostContext>()) {
    // QGIS keeps no record of a run: neither do we.
    m_context->recordProgress = false;
}

VelorinPlugin::~VelorinPlugin() { unload(); }

void VelorinPlugin::initGui() {
    if (!m_commands.empty()) return;
    m_toolkit = std::make_unique<qt::QtToolkit>();
    m_toolkit->SetDialogParent(m_iface->mainWindow());

    qgis::QgisHostSetup setup;
    setup.project = QgsProject::instance();
    setup.canvas = m_iface->mapCanvas();
    // A legend shows its new symbols when the document's contents are updated
    // (or at once, outside a run's UpdateContents): only the layers that changed.
    setup.legendChanged = [this](QgsMapLayer& layer) {
        if (!m_changedLegends.contains(layer.id())) m_changedLegends.append(layer.id());
        QTimer::singleShot(0, this, [this] { RefreshLegends(); });
    };
    m_application = qgis::MakeApplication(std::move(setup), m_context);
    {
        const objects::QuietHost quiet(m_context);
        m_statusBar = std::dynamic_pointer_cast<objects::StatusBar>(m_application->StatusBar());
    }

    objects::HostHooks& hooks = m_context->hooks;
    hooks.takeEscPress = [this] { return m_toolkit->TakeEscPress(); };
    hooks.statusChanged = [this](std::string_view text) {
        ShowStatus(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    };
    hooks.progressChanged = [this] { ShowProgress(); };
    hooks.contentsChanged = [this] { RefreshLegends(); };

    m_progress = new QProgressBar();
    m_progress->setObjectName(QStringLiteral("velorinProgress"));
    m_progress->setMaximumWidth(200);
    m_progress->hide();
    m_iface->statusBarIface()->addPermanentWidget(m_progress, 0, QgsStatusBar::AnchorRight);

    m_toolBar = m_iface->addToolBar(kName);
    m_toolBar->setObjectName(QStringLiteral("velorin"));

    // The captions, tooltips and status texts are the command objects' own.
    m_commands.push_back(std::make_unique<commands::clsZoomFlash>());
    m_commands.push_back(std::make_unique<commands::clsCopyLegend>());
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        commands::Command& command = *m_commands[i];
        command.OnCreate(m_application);
        auto* action = new QAction(ToolIcon(i == 0 ? "zoom_flash" : "copy_legend"),
                                   ToQt(command.Caption()), m_iface->mainWindow());
        action->setObjectName(ToQt(command.Name()));
        action->setToolTip(ToQt(command.Tooltip()));
        action->setStatusTip(ToQt(command.Message()));
        action->setWhatsThis(ToQt(command.Message()));
        action->setEnabled(command.Enabled());
        action->setCheckable(command.Checked());
        connect(action, &QAction::triggered, this, [this, i] { Click(i); });
        m_toolBar->addAction(action);
        m_iface->addPluginToMenu(kName, action);
        m_actions.push_back(action);
    }
    m_faultSeam = new FaultSeam(m_context->faults, m_iface->mainWindow());
}

QIcon VelorinPlugin::ToolIcon(const char* name) {
    // The module's resources are registered when it is loaded.
    QIcon icon;
    for (const int size : {24, 48}) {
        icon.addFile(
            QStringLiteral(":/velorin-plugin/%1_%2.png").arg(QLatin1String(name)).arg(size),
            QSize(size, size));
    }
    return icon;
}

void VelorinPlugin::unload() {
    for (const QPointer<QAction>& action : m_actions) {
        if (action.isNull()) continue;
        m_iface->removePluginMenu(kName, action);
        delete action;
    }
    m_actions.clear();
    {
        // Dropping the commands unloads their dialogs, which may ask the toolkit.
        std::optional<ui::ToolkitScope> scope;
        if (m_toolkit) scope.emplace(*m_toolkit);
        m_commands.clear();
    }
    delete m_toolBar;
    if (!m_progress.isNull()) {
        m_iface->statusBarIface()->removeWidget(m_progress);
        delete m_progress;
    }
    delete m_faultSeam;
    m_context->hooks = objects::HostHooks{};
    m_statusBar.reset();
    m_application.reset();
    m_toolkit.reset();
}

void VelorinPlugin::Click(std::size_t index) {
    if (index >= m_commands.size() || !m_toolkit) return;
    const ui::ToolkitScope scope(*m_toolkit);
    // OnClick is the command's trap for every host and dialog failure; the edge
    // keeps anything else out of QGIS's event loop.
    m_toolkit->RunAtEdge([&] { m_commands[index]->OnClick(); });
    // The host's record of a run (texts, extents, drawings) is for tests; in
    // QGIS nothing reads it, so it does not grow from click to click.
    m_context->record.Clear();
}

void VelorinPlugin::ShowStatus(const QString& text) {
    QgsStatusBar* bar = m_iface->statusBarIface();
    if (text.isEmpty()) {
        bar->clearMessage();
    } else {
        bar->showMessage(text);
    }
    // A run blocks the event loop: the text is drawn now to be seen, a few times
    // a second; what is skipped is drawn at the run's next pumping or its end.
    if (text.isEmpty() || TimeToRepaint()) bar->repaint();
}

bool VelorinPlugin::TimeToRepaint() {
    constexpr qint64 kRepaintMs = 150;
    if (m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < kRepaintMs) return false;
    m_sinceRepaint.start();
    return true;
}

void VelorinPlugin::ShowProgress() {
    if (!m_statusBar || m_progress.isNull()) return;
    const objects::QuietHost quiet(m_context);
    const auto& progressor = m_statusBar->Progressor();
    const bool shown = progressor->Shown();
    const bool shownBefore = m_progress->isVisible();
    // A bar that stays up is brought up to date a few times a second, as it is
    // painted: a walk moves it twice per feature, and setting a shown bar's range,
    // value and text took 13 microseconds each time (a million times, offscreen),
    // 50 times what the walk itself spends on a feature of a memory layer. What
    // is skipped is set when the run next lets the event loop turn.
    if (shown && shownBefore && !TimeToRepaint()) {
        if (!m_progressBehind) {
            m_progressBehind = true;
            QTimer::singleShot(0, this, [this] {
                if (std::exchange(m_progressBehind, false)) UpdateProgress();
            });
        }
        return;
    }
    m_progressBehind = false;
    UpdateProgress();
    if (m_progress->isVisible()) m_progress->repaint();
}

void VelorinPlugin::UpdateProgress() {
    if (!m_statusBar || m_progress.isNull()) return;
    const objects::QuietHost quiet(m_context);
    const auto& progressor = m_statusBar->Progressor();
    m_progress->setRange(progressor->MinRange(),
                         std::max(progressor->MinRange(), progressor->MaxRange()));
    m_progress->setValue(progressor->Position());
    m_progress->setFormat(ToQt(progressor->Message()));
    m_progress->setTextVisible(!progressor->Message().empty());
    m_progress->setVisible(progressor->Shown());
}

void VelorinPlugin::RefreshLegends() {
    QgsLayerTreeView* view = m_iface->layerTreeView();
    const QStringList changed = std::exchange(m_changedLegends, {});
    if (view == nullptr) return;
    for (const QString& id : changed) view->refreshLayerSymbology(id);
}

}  // namespace velorin::qgisplugin

// The entry points QGIS resolves in a C++ plugin: name, description, category,
// version and icon for its plugin list; type, classFactory and unload when it
// loads the plugin.
QGISEXTERN QgisPlugin* classFactory(QgisInterface* iface) {
    return new velorin::qgisplugin::VelorinPlugin(iface);
}
QGISEXTERN const QString* name() { return &velorin::qgisplugin::kName; }
QGISEXTERN const QString* description() { return &velorin::qgisplugin::kDescription; }
QGISEXTERN const QString* category() { return &velorin::qgisplugin::kCategory; }
QGISEXTERN const QString* version() { return &velorin::qgisplugin::kVersion; }
QGISEXTERN const QString* icon() { return &velorin::qgisplugin::kIcon; }
QGISEXTERN int type() { return QgisPlugin::UI; }
QGISEXTERN void unload(QgisPlugin* plugin) { delete plugin; }

#pragma once

#include <qgisplugin.h>

#include <QAction>
#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QToolBar>
#include <memory>
#include <vector>

#include "commands/command.h"
#include "host/application.h"
#include "platform/objects/host_context.h"
#include "platform/qt/qt_toolkit.h"

class QgisInterface;

namespace velorin::objects {
class StatusBar;
}

namespace velorin::qgisplugin {

// Velorin inside QGIS: both command objects on a "Velorin" toolbar and in a
// Velorin menu under Plugins, running on the host adapter over QGIS's project
// and map canvas and on the Qt toolkit (QGIS's Qt 5), its dialogs over QGIS's
// main window. The status bar's message pane and a progress bar in QGIS's
// status bar show a run's progress; Esc pressed in QGIS's window reaches the
// runs' cancel trackers. Every click runs inside its command's own trap.
class VelorinPlugin final : public QObject, public QgisPlugin {
  public:
    explicit VelorinPlugin(QgisInterface* iface);
    ~VelorinPlugin() override;
    VelorinPlugin(const VelorinPlugin&) = delete;
    VelorinPlugin& operator=(const VelorinPlugin&) = delete;
    VelorinPlugin(VelorinPlugin&&) = delete;
    VelorinPlugin& operator=(VelorinPlugin&&) = delete;

    void initGui() override;
    // Removes every action, the menu, the toolbar and the progress bar; the
    // command objects go with them (and with them their dialogs).
    void unload() override;

    // The host calls' fault injector, for the end-to-end test.
    objects::FaultInjector& Faults() { return m_context->faults; }

  private:
    static QIcon ToolIcon(const char* name);
    void Click(std::size_t index);
    void ShowStatus(const QString& text);
    void ShowProgress();
    // Sets the progress bar from the status bar's progressor.
    void UpdateProgress();
    void RefreshLegends();
    // Whether a blocked event loop should be painted now: a person reads a
    // status bar a few times a second, and a synchronous repaint costs about a
    // millisecond (an X round trip and text shaping), which a walk over a million
    // features would pay a million times.
    bool TimeToRepaint();

    QgisInterface* m_iface;
    std::shared_ptr<objects::HostContext> m_context;
    std::unique_ptr<qt::QtToolkit> m_toolkit;
    std::shared_ptr<host::IApplication> m_application;
    std::shared_ptr<objects::StatusBar> m_statusBar;
    std::vector<std::unique_ptr<commands::Command>> m_commands;
    // Held weakly: QGIS's main window owns them too, and may be gone first.
    std::vector<QPointer<QAction>> m_actions;
    QPointer<QToolBar> m_toolBar;
    QPointer<QProgressBar> m_progress;
    QPointer<QObject> m_faultSeam;
    QElapsedTimer m_sinceRepaint;
    // The progress bar was not brought up to date at the last step.
    bool m_progressBehind = false;
    // Layers whose legend changed since the Layers panel was last refreshed.
    QStringList m_changedLegends;
};

}  // namespace velorin::qgisplugin

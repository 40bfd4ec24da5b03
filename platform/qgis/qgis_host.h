#pragma once

#include <functional>
#include <memory>

#include "host/application.h"
#include "platform/objects/host_context.h"

class QgsMapCanvas;
class QgsMapLayer;
class QgsProject;

// The host port over a running QGIS: its project, layer tree, vector layers and
// map canvas. Nothing is copied out of QGIS ahead of time: every call reads the
// project and the canvas as they are at that moment.
namespace velorin::qgis {

struct QgisHostSetup {
    // Both must outlive every host object handed out; a layer removed from the
    // project meanwhile makes its objects raise E_HOST_POINTER.
    QgsProject* project = nullptr;
    QgsMapCanvas* canvas = nullptr;
    // Asked after a layer was given a new renderer: the Layers panel is to show
    // its new legend. Empty: nothing beyond the layer's own signals.
    std::function<void(QgsMapLayer&)> legendChanged;
};

// The application object the command objects are given. The context carries
// what the reference host's objects reused here share: the fault injector, the
// record of status texts and progress, and the hooks (takeEscPress for the
// cancel trackers, statusChanged and progressChanged for QGIS's status bar,
// contentsChanged for UpdateContents). Raises E_HOST_POINTER without a project
// or a canvas.
std::shared_ptr<host::IApplication> MakeApplication(QgisHostSetup setup,
                                                    std::shared_ptr<objects::HostContext> context);

}  // namespace velorin::qgis

#pragma once

#include <QObject>
#include <QString>

#include "platform/objects/host_context.h"

namespace velorin::qgisplugin {

// A test's way into the running plugin from QGIS's Python console or a --code
// script: found by its object name ("velorinFaults") among the main window's
// children, it makes a chosen host call fail once, as a failing QGIS call
// would. Changes nothing until called.
class FaultSeam final : public QObject {
    Q_OBJECT
  public:
    FaultSeam(objects::FaultInjector& faults, QObject* parent);

    // Fails the nth call (from now) of the member ("IMxDocument::FocusMap").
    Q_INVOKABLE void failHostCall(const QString& member, int nth);

  private:
    objects::FaultInjector& m_faults;
};

}  // namespace velorin::qgisplugin

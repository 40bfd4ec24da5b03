#include "qgis_plugin/fault_seam.h"

#include "host/codes.h"

namespace velorin::qgisplugin {

FaultSeam::FaultSeam(objects::FaultInjector& faults, QObject* parent)
    : QObject(parent), m_faults(faults) {
    setObjectName(QStringLiteral("velorinFaults"));
}

void FaultSeam::failHostCall(const QString& member, int nth) {
    m_faults.FailAt(member.toStdString(), nth, host::E_HOST_FAIL,
                    "Injected failure of " + member.toStdString());
}

}  // namespace velorin::qgisplugin

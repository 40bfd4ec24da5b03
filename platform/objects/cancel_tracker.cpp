#include "platform/objects/cancel_tracker.h"

namespace velorin::objects {

CancelTracker::CancelTracker(std::shared_ptr<HostContext> context)
    : m_context(std::move(context)) {}

bool CancelTracker::Continue() {
    if (!m_context) return true;
    m_context->faults.Enter("ITrackCancel::Continue");
    return !(m_context->hooks.takeEscPress && m_context->hooks.takeEscPress());
}

}  // namespace velorin::objects

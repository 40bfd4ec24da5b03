#pragma once

#include <memory>

#include "host/application.h"
#include "platform/objects/host_context.h"

namespace velorin::objects {

// Reports Esc presses through hooks.takeEscPress, which the toolkit answers true
// once per press: the first Continue asked after a press (of this tracker or any
// other) returns false and consumes it, so one Esc never gives two pauses. With
// no hook wired, Esc is never pressed.
class CancelTracker final : public host::ITrackCancel {
  public:
    explicit CancelTracker(std::shared_ptr<HostContext> context);

    bool Continue() override;

  private:
    std::shared_ptr<HostContext> m_context;
};

}  // namespace velorin::objects

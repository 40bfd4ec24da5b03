#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/data.h"
#include "platform/objects/host_context.h"

namespace velorin::objects {

// Objects in the order added. Next walks them once: after the last it answers
// empty until Reset. Adding empty raises E_HOST_POINTER, since an empty member
// could not be told from the end.
class Set final : public host::ISet {
  public:
    explicit Set(std::shared_ptr<HostContext> context);

    void Add(const std::shared_ptr<host::IUnknown>& object) override;
    void Reset() override;
    std::shared_ptr<host::IUnknown> Next() override;
    std::int32_t Count() const override;

  private:
    std::shared_ptr<HostContext> m_context;
    std::vector<std::shared_ptr<host::IUnknown>> m_members;
    std::size_t m_next = 0;
};

}  // namespace velorin::objects

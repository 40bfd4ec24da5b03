#pragma once

#include <memory>
#include <string>

#include "host/application.h"
#include "platform/memory/map.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

// An open document with its focus map.
class MxDocument final : public host::IDocument, public host::IMxDocument {
  public:
    // focusMap may be empty: a document without maps.
    MxDocument(std::shared_ptr<HostContext> context, std::string title,
               std::shared_ptr<Map> focusMap);

    std::string Title() const override;
    std::shared_ptr<host::IMap> FocusMap() const override;
    // The focus map's view; empty without a map.
    std::shared_ptr<host::IActiveView> ActiveView() const override;
    // Counted in the host record; the map window refreshes its contents list.
    void UpdateContents() override;

    const std::shared_ptr<memory::Map>& MapObject() const { return m_map; }
    void SetFocusMap(std::shared_ptr<memory::Map> map) { m_map = std::move(map); }

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_title;
    std::shared_ptr<memory::Map> m_map;
};

}  // namespace velorin::memory

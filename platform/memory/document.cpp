#include "platform/memory/document.h"

#include <utility>

namespace velorin::memory {

MxDocument::MxDocument(std::shared_ptr<HostContext> context, std::string title,
                       std::shared_ptr<memory::Map> focusMap)
    : m_context(std::move(context)), m_title(std::move(title)), m_map(std::move(focusMap)) {}

std::string MxDocument::Title() const {
    m_context->faults.Enter("IDocument::Title");
    return m_title;
}

std::shared_ptr<host::IMap> MxDocument::FocusMap() const {
    m_context->faults.Enter("IMxDocument::FocusMap");
    return m_map;
}

std::shared_ptr<host::IActiveView> MxDocument::ActiveView() const {
    m_context->faults.Enter("IMxDocument::ActiveView");
    return m_map;
}

void MxDocument::UpdateContents() {
    m_context->faults.Enter("IMxDocument::UpdateContents");
    ++m_context->record.contentsUpdates;
    if (m_context->hooks.contentsChanged) m_context->hooks.contentsChanged();
}

}  // namespace velorin::memory

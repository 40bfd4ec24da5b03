#pragma once

#include <memory>

#include "host/application.h"
#include "platform/memory/document.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

class StatusBar;

// The application object the extension is given: its document, its status bar,
// and the factory of the host objects the extension creates (itself).
class Application final : public host::IApplication,
                          public host::IObjectFactory,
                          public std::enable_shared_from_this<Application> {
  public:
    // document and statusBar may be empty only in tests of their absence.
    Application(std::shared_ptr<HostContext> context, std::shared_ptr<MxDocument> document,
                std::shared_ptr<objects::StatusBar> statusBar);

    std::shared_ptr<host::IDocument> Document() const override;
    std::shared_ptr<host::IStatusBar> StatusBar() const override;
    std::shared_ptr<host::IObjectFactory> ObjectFactory() const override;

    // New objects with the host's defaults (see symbols.h, renderers.h).
    std::shared_ptr<host::ITrackCancel> NewCancelTracker() override;
    std::shared_ptr<host::IQueryFilter> NewQueryFilter() override;
    std::shared_ptr<host::ISet> NewSet() override;
    std::shared_ptr<host::IGeometryCollection> NewGeometryBag() override;
    std::shared_ptr<host::ISimpleMarkerSymbol> NewSimpleMarkerSymbol() override;
    std::shared_ptr<host::ISimpleLineSymbol> NewSimpleLineSymbol() override;
    std::shared_ptr<host::ISimpleFillSymbol> NewSimpleFillSymbol() override;
    std::shared_ptr<host::IRgbColor> NewRgbColor() override;
    std::shared_ptr<host::IUniqueValueRenderer> NewUniqueValueRenderer() override;
    std::shared_ptr<host::IRendererPropertyPage> NewUniqueValuePropertyPage() override;

    const std::shared_ptr<MxDocument>& Doc() const { return m_document; }
    const std::shared_ptr<objects::StatusBar>& Bar() const { return m_statusBar; }

  private:
    void Enter(const char* member) const { m_context->faults.Enter(member); }

    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<MxDocument> m_document;
    std::shared_ptr<objects::StatusBar> m_statusBar;
};

}  // namespace velorin::memory

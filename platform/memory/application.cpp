#include "platform/memory/application.h"

#include <utility>

#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

Application::Application(std::shared_ptr<HostContext> context, std::shared_ptr<MxDocument> document,
                         std::shared_ptr<objects::StatusBar> statusBar)
    : m_context(std::move(context)),
      m_document(std::move(document)),
      m_statusBar(std::move(statusBar)) {}

std::shared_ptr<host::IDocument> Application::Document() const {
    Enter("IApplication::Document");
    return m_document;
}

std::shared_ptr<host::IStatusBar> Application::StatusBar() const {
    Enter("IApplication::StatusBar");
    return m_statusBar;
}

std::shared_ptr<host::IObjectFactory> Application::ObjectFactory() const {
    Enter("IApplication::ObjectFactory");
    return std::const_pointer_cast<Application>(shared_from_this());
}

std::shared_ptr<host::ITrackCancel> Application::NewCancelTracker() {
    Enter("IObjectFactory::NewCancelTracker");
    return std::make_shared<CancelTracker>(m_context);
}

std::shared_ptr<host::IQueryFilter> Application::NewQueryFilter() {
    Enter("IObjectFactory::NewQueryFilter");
    return std::make_shared<QueryFilter>(m_context);
}

std::shared_ptr<host::ISet> Application::NewSet() {
    Enter("IObjectFactory::NewSet");
    return std::make_shared<Set>(m_context);
}

std::shared_ptr<host::IGeometryCollection> Application::NewGeometryBag() {
    Enter("IObjectFactory::NewGeometryBag");
    return std::make_shared<GeometryBag>(m_context);
}

std::shared_ptr<host::ISimpleMarkerSymbol> Application::NewSimpleMarkerSymbol() {
    Enter("IObjectFactory::NewSimpleMarkerSymbol");
    return std::make_shared<SimpleMarkerSymbol>(m_context);
}

std::shared_ptr<host::ISimpleLineSymbol> Application::NewSimpleLineSymbol() {
    Enter("IObjectFactory::NewSimpleLineSymbol");
    return std::make_shared<SimpleLineSymbol>(m_context);
}

std::shared_ptr<host::ISimpleFillSymbol> Application::NewSimpleFillSymbol() {
    Enter("IObjectFactory::NewSimpleFillSymbol");
    return std::make_shared<SimpleFillSymbol>(m_context);
}

std::shared_ptr<host::IRgbColor> Application::NewRgbColor() {
    Enter("IObjectFactory::NewRgbColor");
    return std::make_shared<RgbColor>(m_context);
}

std::shared_ptr<host::IUniqueValueRenderer> Application::NewUniqueValueRenderer() {
    Enter("IObjectFactory::NewUniqueValueRenderer");
    return std::make_shared<UniqueValueRenderer>(m_context);
}

std::shared_ptr<host::IRendererPropertyPage> Application::NewUniqueValuePropertyPage() {
    Enter("IObjectFactory::NewUniqueValuePropertyPage");
    return std::make_shared<UniqueValuePropertyPage>(m_context);
}

}  // namespace velorin::memory

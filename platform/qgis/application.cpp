#include <QFileInfo>

#include "platform/objects/cancel_tracker.h"
#include "platform/objects/geometry.h"
#include "platform/objects/query_filter.h"
#include "platform/objects/renderers.h"
#include "platform/objects/set.h"
#include "platform/objects/status_bar.h"
#include "platform/objects/symbols.h"
#include "platform/qgis/qgis_objects.h"

namespace velorin::qgis {

namespace {

// The project is the document; its layer tree and the canvas are its one map.
class Document final : public host::IDocument, public host::IMxDocument {
  public:
    explicit Document(std::shared_ptr<Session> session) : m_session(std::move(session)) {}

    std::string Title() const override {
        m_session->Enter("IDocument::Title");
        const QgsProject& project = m_session->Project();
        if (!project.title().isEmpty()) return FromQt(project.title());
        if (!project.fileName().isEmpty()) return FromQt(QFileInfo(project.fileName()).baseName());
        return "Untitled";
    }
    std::shared_ptr<host::IMap> FocusMap() const override {
        m_session->Enter("IMxDocument::FocusMap");
        return MakeMap(m_session);
    }
    std::shared_ptr<host::IActiveView> ActiveView() const override {
        m_session->Enter("IMxDocument::ActiveView");
        return host::As<host::IActiveView>(MakeMap(m_session));
    }
    void UpdateContents() override {
        m_session->Enter("IMxDocument::UpdateContents");
        const auto& context = m_session->context;
        ++context->record.contentsUpdates;
        if (context->hooks.contentsChanged) context->hooks.contentsChanged();
    }

  private:
    std::shared_ptr<Session> m_session;
};

class Application final : public host::IApplication,
                          public host::IObjectFactory,
                          public std::enable_shared_from_this<Application> {
  public:
    explicit Application(std::shared_ptr<Session> session)
        : m_session(std::move(session)),
          m_document(std::make_shared<qgis::Document>(m_session)),
          m_statusBar(std::make_shared<objects::StatusBar>(m_session->context)) {}

    std::shared_ptr<host::IDocument> Document() const override {
        Enter("IApplication::Document");
        return m_document;
    }
    std::shared_ptr<host::IStatusBar> StatusBar() const override {
        Enter("IApplication::StatusBar");
        return m_statusBar;
    }
    std::shared_ptr<host::IObjectFactory> ObjectFactory() const override {
        Enter("IApplication::ObjectFactory");
        return std::const_pointer_cast<Application>(shared_from_this());
    }

    // The objects a command makes are the reference host's own value objects:
    // QGIS is asked only when they reach it (a where clause searched, a symbol
    // or renderer set on a layer, a shape drawn on the canvas).
    std::shared_ptr<host::ITrackCancel> NewCancelTracker() override {
        Enter("IObjectFactory::NewCancelTracker");
        return std::make_shared<objects::CancelTracker>(Context());
    }
    std::shared_ptr<host::IQueryFilter> NewQueryFilter() override {
        Enter("IObjectFactory::NewQueryFilter");
        return std::make_shared<objects::QueryFilter>(Context());
    }
    std::shared_ptr<host::ISet> NewSet() override {
        Enter("IObjectFactory::NewSet");
        return std::make_shared<objects::Set>(Context());
    }
    std::shared_ptr<host::IGeometryCollection> NewGeometryBag() override {
        Enter("IObjectFactory::NewGeometryBag");
        return std::make_shared<objects::GeometryBag>(Context());
    }
    std::shared_ptr<host::ISimpleMarkerSymbol> NewSimpleMarkerSymbol() override {
        Enter("IObjectFactory::NewSimpleMarkerSymbol");
        return std::make_shared<objects::SimpleMarkerSymbol>(Context());
    }
    std::shared_ptr<host::ISimpleLineSymbol> NewSimpleLineSymbol() override {
        Enter("IObjectFactory::NewSimpleLineSymbol");
        return std::make_shared<objects::SimpleLineSymbol>(Context());
    }
    std::shared_ptr<host::ISimpleFillSymbol> NewSimpleFillSymbol() override {
        Enter("IObjectFactory::NewSimpleFillSymbol");
        return std::make_shared<objects::SimpleFillSymbol>(Context());
    }
    std::shared_ptr<host::IRgbColor> NewRgbColor() override {
        Enter("IObjectFactory::NewRgbColor");
        return std::make_shared<objects::RgbColor>(Context());
    }
    std::shared_ptr<host::IUniqueValueRenderer> NewUniqueValueRenderer() override {
        Enter("IObjectFactory::NewUniqueValueRenderer");
        return std::make_shared<objects::UniqueValueRenderer>(Context());
    }
    std::shared_ptr<host::IRendererPropertyPage> NewUniqueValuePropertyPage() override {
        Enter("IObjectFactory::NewUniqueValuePropertyPage");
        return std::make_shared<objects::UniqueValuePropertyPage>(Context());
    }

  private:
    void Enter(const char* member) const { m_session->Enter(member); }
    const std::shared_ptr<objects::HostContext>& Context() const { return m_session->context; }

    std::shared_ptr<Session> m_session;
    std::shared_ptr<qgis::Document> m_document;
    std::shared_ptr<objects::StatusBar> m_statusBar;
};

}  // namespace

std::shared_ptr<host::IApplication> MakeApplication(QgisHostSetup setup,
                                                    std::shared_ptr<objects::HostContext> context) {
    if (setup.project == nullptr || setup.canvas == nullptr) {
        throw Error(host::E_HOST_POINTER, "QGIS's project and map canvas are needed");
    }
    auto session = std::make_shared<Session>();
    session->context = context ? std::move(context) : std::make_shared<objects::HostContext>();
    MatchQgisFeatures(*session->context);
    session->project = setup.project;
    session->canvas = setup.canvas;
    session->legendChanged = std::move(setup.legendChanged);
    // A redraw that finished needs no waiting for (it may finish while a run
    // pumps, before anything waits for it).
    QObject::connect(setup.canvas, &QgsMapCanvas::mapCanvasRefreshed, setup.canvas,
                     [weak = std::weak_ptr<Session>(session)] {
                         if (const auto alive = weak.lock()) alive->redrawPending = false;
                     });
    return std::make_shared<Application>(std::move(session));
}

}  // namespace velorin::qgis

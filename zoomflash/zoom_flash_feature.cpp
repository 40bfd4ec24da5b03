#include "zoomflash/zoom_flash_feature.h"

#include <optional>
#include <string>
#include <utility>

#include "forms/mod_utils_forms.h"
#include "ui/current_toolkit.h"
#include "zoomflash/flash_geometry.h"
#include "zoomflash/messages.h"
#include "zoomflash/related_where_clause.h"

namespace velorin::zoomflash {

namespace {

bool HasShape(const std::shared_ptr<host::IGeometry>& shape) { return shape && !shape->IsEmpty(); }

// Where the Related features are searched: the layer and the key field.
struct RelatedSearch {
    std::shared_ptr<host::IFeatureLayer> layer;
    std::int32_t sourceFieldIndex = -1;
    std::int32_t relatedFieldType = 0;
};

// Resolves the related search; shows the failing lookup's box and returns
// nothing when one fails. Repeated for every Source feature, so a layer removed
// from the map while the run is paused is noticed.
std::optional<RelatedSearch> ResolveRelatedSearch(const host::IFeature& feature,
                                                  const std::shared_ptr<host::IMap>& map,
                                                  const std::string& sourceField,
                                                  const std::string& relatedLayer,
                                                  const std::string& relatedField) {
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    RelatedSearch search;
    search.sourceFieldIndex =
        host::Require<host::IFields>(feature.Fields(), "IFields")->FindField(sourceField);
    if (search.sourceFieldIndex == -1) {
        toolkit.MsgBox(std::string(text::kCouldNotFind) + sourceField +
                       std::string(text::kFieldInSourceFeature));
        return std::nullopt;
    }
    search.layer = forms::FindFeatureLayer(relatedLayer, map);
    if (!search.layer) {
        toolkit.MsgBox(std::string(text::kCouldNotFind) + relatedLayer);
        return std::nullopt;
    }
    const std::shared_ptr<host::IFeatureClass> featureClass = search.layer->FeatureClass();
    if (!featureClass) {
        toolkit.MsgBox(std::string(text::kFeatureClassMissingFor) + relatedLayer);
        return std::nullopt;
    }
    const auto fields = host::Require<host::IFields>(featureClass->Fields(), "IFields");
    const std::int32_t relatedFieldIndex = fields->FindField(relatedField);
    if (relatedFieldIndex == -1) {
        toolkit.MsgBox(std::string(text::kCouldNotFind) + relatedField +
                       std::string(text::kFieldIn) + relatedLayer);
        return std::nullopt;
    }
    search.relatedFieldType = fields->Field(relatedFieldIndex)->Type();
    return search;
}

// Makes `extent` the view's extent and lets the map redraw now: the whole screen
// is invalidated with every cache, then pending messages are processed.
void ZoomTo(host::IActiveView& view, const std::shared_ptr<host::IEnvelope>& extent) {
    view.SetExtent(extent);
    host::Require<host::IScreenDisplay>(view.ScreenDisplay(), "IScreenDisplay")
        ->Invalidate(nullptr, true, host::esriAllScreenCaches);
    ui::CurrentToolkit().DoEvents();
}

// The non-empty shapes of the Related features whose key equals the Source
// feature's key; a null key relates to nothing.
void CollectRelatedShapes(const host::IFeature& sourceFeature, const RelatedSearch& search,
                          const ZoomFlashParameters& p, host::IObjectFactory& factory,
                          host::IGeometryCollection& relatedBag) {
    const host::FieldValue key = sourceFeature.Value(search.sourceFieldIndex);
    if (key.IsNull()) return;
    const std::shared_ptr<host::IQueryFilter> filter = factory.NewQueryFilter();
    filter->SetWhereClause(RelatedWhereClause(p.relatedField, search.relatedFieldType, key));
    const std::shared_ptr<host::IFeatureCursor> cursor = search.layer->Search(filter, false);
    while (const std::shared_ptr<host::IFeature> related = cursor->NextFeature()) {
        const std::shared_ptr<host::IGeometry> shape = related->Shape();
        if (HasShape(shape)) relatedBag.AddGeometry(shape);
    }
}

// One Source feature's zooms and flashes once its shapes are gathered. Each step
// returns false when an Esc was seen, leaving the feature unfinished.
class FeatureZoom {
  public:
    FeatureZoom(const ZoomFlashParameters& parameters, const std::shared_ptr<host::IMap>& map,
                host::IObjectFactory& factory, std::shared_ptr<host::ITrackCancel> tracker,
                host::IStatusBar& statusBar, std::string statusText)
        : m_parameters(parameters),
          m_map(map),
          m_factory(factory),
          m_view(*host::Require<host::IActiveView>(map, "IActiveView")),
          m_statusBar(statusBar),
          m_statusText(std::move(statusText)),
          m_tracker(std::move(tracker)) {}

    bool Begin() {
        if (!m_tracker->Continue()) return false;
        m_statusBar.SetMessage(0, m_statusText);
        return true;
    }

    // Full Envelope: one zoom to the envelope of every shape expanded by the
    // zoom factor, then the Source flash and each Related flash.
    bool ZoomFullEnvelope(const std::shared_ptr<host::IGeometry>& sourceShape,
                          const std::shared_ptr<host::IGeometryCollection>& combinedBag,
                          host::IGeometryCollection& relatedBag) {
        const std::shared_ptr<host::IEnvelope> bagEnvelope =
            host::Require<host::IGeometry>(combinedBag, "IGeometry")->Envelope();
        std::shared_ptr<host::IEnvelope> extent = bagEnvelope;
        // A point or a horizontal or vertical segment has no area to fit: keep the
        // view's size and centre it on the shapes instead.
        if (bagEnvelope->Width() == 0 || bagEnvelope->Height() == 0) {
            extent = m_view.Extent();
            extent->CenterAt(host::Require<host::IArea>(bagEnvelope, "IArea")->Centroid());
        }
        extent->Expand(m_parameters.zoomFactor, m_parameters.zoomFactor, true);
        ZoomTo(m_view, extent);
        m_statusBar.SetMessage(0, m_statusText);

        if (!m_tracker->Continue()) return false;
        if (sourceShape) Flash(sourceShape, m_parameters.sourceFlashTime);
        if (!m_tracker->Continue()) return false;
        const std::int32_t relatedCount = relatedBag.GeometryCount();
        for (std::int32_t i = 0; i < relatedCount; ++i) {
            if (!m_tracker->Continue()) return false;
            Flash(relatedBag.Geometry(i), m_parameters.relatedFlashTime);
        }
        return true;
    }

    // Related Envelope: for each Related shape a view of the zoom width centred
    // on it, then the Source flash and that Related shape's flash.
    bool ZoomEachRelated(const std::shared_ptr<host::IGeometry>& sourceShape,
                         host::IGeometryCollection& relatedBag) {
        const std::int32_t relatedCount = relatedBag.GeometryCount();
        for (std::int32_t i = 0; i < relatedCount; ++i) {
            if (!m_tracker->Continue()) return false;
            const std::shared_ptr<host::IGeometry> relatedShape = relatedBag.Geometry(i);
            const std::shared_ptr<host::IEnvelope> extent = relatedShape->Envelope();
            const std::shared_ptr<host::IPoint> centre =
                host::Require<host::IArea>(extent, "IArea")->Centroid();
            extent->SetWidth(m_parameters.zoomWidth);
            extent->SetDepth(m_parameters.zoomWidth);
            extent->CenterAt(centre);
            ZoomTo(m_view, extent);
            m_statusBar.SetMessage(0, m_statusText);
            if (sourceShape) Flash(sourceShape, m_parameters.sourceFlashTime);
            if (!m_tracker->Continue()) return false;
            Flash(relatedShape, m_parameters.relatedFlashTime);
        }
        return true;
    }

  private:
    void Flash(const std::shared_ptr<host::IGeometry>& shape, std::int16_t time) {
        FlashGeometry(shape, m_map, time, m_factory);
    }

    const ZoomFlashParameters& m_parameters;
    const std::shared_ptr<host::IMap>& m_map;
    host::IObjectFactory& m_factory;
    host::IActiveView& m_view;
    host::IStatusBar& m_statusBar;
    std::string m_statusText;
    std::shared_ptr<host::ITrackCancel> m_tracker;
};

}  // namespace

bool ZoomFlashFeature(const std::shared_ptr<host::IFeature>& feature,
                      const std::shared_ptr<host::IApplication>& application,
                      const ZoomFlashParameters& parameters) {
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const auto sourceFeature = host::Require<host::IFeature>(feature, "IFeature");
    const std::shared_ptr<host::IMap> map = forms::FocusMapOf(app);

    const bool searchRelated = !parameters.sourceField.empty();
    std::optional<RelatedSearch> search;
    if (searchRelated) {
        search = ResolveRelatedSearch(*sourceFeature, map, parameters.sourceField,
                                      parameters.relatedLayer, parameters.relatedField);
        if (!search) return true;
    }

    host::IObjectFactory& factory =
        *host::Require<host::IObjectFactory>(app->ObjectFactory(), "IObjectFactory");
    const std::shared_ptr<host::ITrackCancel> tracker = factory.NewCancelTracker();
    const std::shared_ptr<host::IGeometryCollection> sourceBag = factory.NewGeometryBag();
    const std::shared_ptr<host::IGeometryCollection> relatedBag = factory.NewGeometryBag();

    std::shared_ptr<host::IGeometry> sourceShape = sourceFeature->Shape();
    if (!HasShape(sourceShape)) sourceShape.reset();
    if (sourceShape) sourceBag->AddGeometry(sourceShape);
    if (searchRelated) {
        CollectRelatedShapes(*sourceFeature, *search, parameters, factory, *relatedBag);
    }

    std::shared_ptr<host::IGeometryCollection> combinedBag = sourceBag;
    if (relatedBag->GeometryCount() > 0) {
        combinedBag = factory.NewGeometryBag();
        combinedBag->AddGeometries(sourceBag);
        combinedBag->AddGeometries(relatedBag);
    }
    if (combinedBag->GeometryCount() == 0) return false;

    const auto statusBar = host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar");
    FeatureZoom zoom(parameters, map, factory, tracker, *statusBar,
                     std::string(text::kZoomingTo) + std::to_string(sourceFeature->OID()) +
                         std::string(text::kHitEsc));
    if (!zoom.Begin()) return true;
    const std::int32_t method = parameters.zoomMethod;
    if ((method == kZoomFullEnvelope || method == kZoomBoth) &&
        !zoom.ZoomFullEnvelope(sourceShape, combinedBag, *relatedBag)) {
        return true;
    }
    if ((method == kZoomRelatedEnvelope || method == kZoomBoth) && searchRelated &&
        !zoom.ZoomEachRelated(sourceShape, *relatedBag)) {
        return true;
    }
    return false;
}

}  // namespace velorin::zoomflash

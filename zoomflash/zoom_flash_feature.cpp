#include "zoomflash/zoom_flash_feature.h"

#include <optional>

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

}  // namespace

void ZoomFlashFeature(const std::shared_ptr<host::IFeature>& feature,
                      const std::shared_ptr<host::IApplication>& application, bool& interrupted,
                      const std::string& sourceField, const std::string& relatedLayer,
                      const std::string& relatedField, std::int16_t sourceFlashTime,
                      std::int16_t relatedFlashTime, std::int32_t zoomMethod, double zoomFactor,
                      double zoomWidth) {
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const auto sourceFeature = host::Require<host::IFeature>(feature, "IFeature");
    const std::shared_ptr<host::IMap> map = forms::FocusMapOf(app);
    interrupted = true;

    const bool searchRelated = !sourceField.empty();
    std::optional<RelatedSearch> search;
    if (searchRelated) {
        search = ResolveRelatedSearch(*sourceFeature, map, sourceField, relatedLayer, relatedField);
        if (!search) return;
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
        const host::FieldValue key = sourceFeature->Value(search->sourceFieldIndex);
        if (!key.IsNull()) {
            const std::shared_ptr<host::IQueryFilter> filter = factory.NewQueryFilter();
            filter->SetWhereClause(
                RelatedWhereClause(relatedField, search->relatedFieldType, host::ToText(key)));
            const std::shared_ptr<host::IFeatureCursor> cursor =
                search->layer->Search(filter, false);
            while (const std::shared_ptr<host::IFeature> related = cursor->NextFeature()) {
                const std::shared_ptr<host::IGeometry> shape = related->Shape();
                if (HasShape(shape)) relatedBag->AddGeometry(shape);
            }
        }
    }

    std::shared_ptr<host::IGeometryCollection> combinedBag = sourceBag;
    if (relatedBag->GeometryCount() > 0) {
        combinedBag = factory.NewGeometryBag();
        combinedBag->AddGeometries(sourceBag);
        combinedBag->AddGeometries(relatedBag);
    }
    if (combinedBag->GeometryCount() == 0) {
        interrupted = false;
        return;
    }

    const std::string statusText = std::string(text::kZoomingTo) +
                                   std::to_string(sourceFeature->OID()) +
                                   std::string(text::kHitEsc);
    const auto statusBar = host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar");
    const auto view = host::Require<host::IActiveView>(map, "IActiveView");
    const auto flash = [&](const std::shared_ptr<host::IGeometry>& shape, std::int16_t time) {
        FlashGeometry(shape, map, time, factory);
    };

    if (!tracker->Continue()) return;
    statusBar->SetMessage(0, statusText);

    if (zoomMethod == kZoomFullEnvelope || zoomMethod == kZoomBoth) {
        const std::shared_ptr<host::IEnvelope> bagEnvelope =
            host::Require<host::IGeometry>(combinedBag, "IGeometry")->Envelope();
        std::shared_ptr<host::IEnvelope> extent = bagEnvelope;
        // A point or a horizontal or vertical segment has no area to fit: keep the
        // view's size and centre it on the shapes instead.
        if (bagEnvelope->Width() == 0 || bagEnvelope->Height() == 0) {
            extent = view->Extent();
            extent->CenterAt(host::Require<host::IArea>(bagEnvelope, "IArea")->Centroid());
        }
        extent->Expand(zoomFactor, zoomFactor, true);
        ZoomTo(*view, extent);
        statusBar->SetMessage(0, statusText);

        if (!tracker->Continue()) return;
        if (sourceShape) flash(sourceShape, sourceFlashTime);
        if (!tracker->Continue()) return;
        if (searchRelated) {
            const std::int32_t relatedCount = relatedBag->GeometryCount();
            for (std::int32_t i = 0; i < relatedCount; ++i) {
                if (!tracker->Continue()) return;
                flash(relatedBag->Geometry(i), relatedFlashTime);
            }
        }
    }

    if ((zoomMethod == kZoomRelatedEnvelope || zoomMethod == kZoomBoth) && searchRelated) {
        const std::int32_t relatedCount = relatedBag->GeometryCount();
        for (std::int32_t i = 0; i < relatedCount; ++i) {
            if (!tracker->Continue()) return;
            const std::shared_ptr<host::IGeometry> relatedShape = relatedBag->Geometry(i);
            const std::shared_ptr<host::IEnvelope> extent = relatedShape->Envelope();
            const std::shared_ptr<host::IPoint> centre =
                host::Require<host::IArea>(extent, "IArea")->Centroid();
            extent->SetWidth(zoomWidth);
            extent->SetDepth(zoomWidth);
            extent->CenterAt(centre);
            ZoomTo(*view, extent);
            statusBar->SetMessage(0, statusText);
            if (sourceShape) flash(sourceShape, sourceFlashTime);
            if (!tracker->Continue()) return;
            flash(relatedShape, relatedFlashTime);
        }
    }

    interrupted = false;
}

}  // namespace velorin::zoomflash

#include "zoomflash/run_zoom_flash.h"

#include "forms/mod_utils_forms.h"
#include "ui/current_toolkit.h"
#include "zoomflash/messages.h"
#include "zoomflash/open_source_cursor.h"
#include "zoomflash/zoom_flash_feature.h"

namespace velorin::zoomflash {

namespace {

void Critical(std::string_view message) {
    ui::CurrentToolkit().MsgBox(message, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
}

std::string Joined(std::string_view first, std::string_view second) {
    std::string text(first);
    text += second;
    return text;
}

// Finds a layer the run needs, or says which one is missing and gives nothing.
std::shared_ptr<host::IFeatureLayer> FindRunLayer(const std::string& name,
                                                  const std::shared_ptr<host::IMap>& map) {
    std::shared_ptr<host::IFeatureLayer> layer = forms::FindFeatureLayer(name, map);
    if (!layer) {
        Critical(Joined(text::kCouldNotFind, name));
        return nullptr;
    }
    if (!layer->FeatureClass()) {
        Critical(Joined(text::kFeatureClassMissingFor, name));
        return nullptr;
    }
    return layer;
}

// Validation after the layers are found; true when the run may go on.
bool ParametersValid(const std::string& sourceField, const std::string& relatedLayer,
                     const std::string& relatedField, const std::shared_ptr<host::ISet>& sourceSet,
                     std::int16_t sourceFlashTime, std::int16_t relatedFlashTime,
                     std::int32_t zoomMethod, double zoomFactor, double zoomWidth) {
    // With a Source key field the other checks are not made: the dialog has
    // checked what the run will use. A negative flash time that still comes this
    // way is kept from the wait by FlashGeometry.
    if (!sourceField.empty()) {
        if (relatedLayer.empty() || relatedField.empty()) {
            Critical(text::kRelatedInfoRequired);
            return false;
        }
        return true;
    }
    if (sourceFlashTime < 0) {
        Critical(text::kSourceTimeNegative);
        return false;
    }
    if (relatedFlashTime < 0) {
        Critical(text::kRelatedTimeNegative);
        return false;
    }
    if (zoomMethod != kZoomFullEnvelope && zoomMethod != kZoomRelatedEnvelope &&
        zoomMethod != kZoomBoth) {
        ui::CurrentToolkit().MsgBox(text::kInvalidMethod);
        return false;
    }
    if (zoomFactor < 0) {
        Critical(text::kZoomFactorNegative);
        return false;
    }
    if (zoomWidth < 0) {
        Critical(text::kZoomWidthNegative);
        return false;
    }
    if (sourceSet && sourceSet->Count() == 0) {
        Critical(text::kEmptySourceSet);
        return false;
    }
    return true;
}

std::shared_ptr<host::ISet> CollectSourceFeatures(const std::shared_ptr<host::IFeatureLayer>& layer,
                                                  host::IObjectFactory& factory) {
    std::shared_ptr<host::ICursor> cursor;
    std::int32_t count = 0;
    bool fromSelection = false;
    OpenSourceCursor(layer, cursor, count, fromSelection);
    std::shared_ptr<host::ISet> features = factory.NewSet();
    if (cursor) {
        while (const std::shared_ptr<host::IRow> row = cursor->NextRow()) features->Add(row);
    }
    return features;
}

// True when the user chose to go on.
bool PauseAnswersOk(const std::string& pauseText) {
    return ui::CurrentToolkit().MsgBox(pauseText, ui::MsgButtons::OkCancel, ui::MsgIcon::None,
                                       text::kPausedTitle) == ui::MsgResult::Ok;
}

}  // namespace

void RunZoomFlash(const std::shared_ptr<host::IApplication>& application,
                  const std::string& sourceLayer, const std::string& sourceField,
                  const std::string& relatedLayer, const std::string& relatedField,
                  std::shared_ptr<host::ISet>& sourceSet, std::int16_t sourceFlashTime,
                  std::int16_t relatedFlashTime, std::int32_t zoomMethod, double zoomFactor,
                  double zoomWidth, bool& interrupted) {
    interrupted = false;
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const std::shared_ptr<host::IMap> map = forms::FocusMapOf(app);

    // The layer lookups need the map. Without one nothing can be found, so the
    // missing map is what the user hears, rather than every layer name.
    if (!map) {
        Critical(text::kMapNotFound);
        return;
    }
    const std::shared_ptr<host::IFeatureLayer> layer = FindRunLayer(sourceLayer, map);
    if (!layer) return;
    if (!sourceField.empty() && !FindRunLayer(relatedLayer, map)) return;
    if (!ParametersValid(sourceField, relatedLayer, relatedField, sourceSet, sourceFlashTime,
                         relatedFlashTime, zoomMethod, zoomFactor, zoomWidth)) {
        return;
    }

    host::IObjectFactory& factory =
        *host::Require<host::IObjectFactory>(app->ObjectFactory(), "IObjectFactory");
    const std::shared_ptr<host::ITrackCancel> tracker = factory.NewCancelTracker();
    if (!sourceSet) sourceSet = CollectSourceFeatures(layer, factory);

    sourceSet->Reset();
    for (std::shared_ptr<host::IUnknown> element = sourceSet->Next(); element;
         element = sourceSet->Next()) {
        const auto feature = host::Require<host::IFeature>(element, "IFeature");
        const std::string pauseText = std::string(text::kPausedAt) + sourceLayer +
                                      std::string(text::kOidIs) + std::to_string(feature->OID()) +
                                      std::string(text::kClickOk);

        // Check A: Cancel ends the run with `interrupted` as it stands.
        if (!tracker->Continue() && !PauseAnswersOk(pauseText)) return;

        ZoomFlashFeature(feature, app, interrupted, sourceField, relatedLayer, relatedField,
                         sourceFlashTime, relatedFlashTime, zoomMethod, zoomFactor, zoomWidth);

        // Check B. The tracker is asked even when the feature is already known
        // unfinished, so an Esc pressed during it is taken here and gives one
        // pause, not a second one before the next feature.
        const bool goOn = tracker->Continue();
        if ((interrupted || !goOn) && !PauseAnswersOk(pauseText)) {
            interrupted = true;
            return;
        }
    }

    host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar")->SetMessage(0, "");
    interrupted = false;
}

}  // namespace velorin::zoomflash

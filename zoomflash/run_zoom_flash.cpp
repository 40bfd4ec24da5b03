#include "zoomflash/run_zoom_flash.h"

#include <string>
#include <utility>

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
    if (const std::string twins = forms::SameNameMessage(name, map); !twins.empty()) {
        Critical(twins);
        return nullptr;
    }
    return layer;
}

// Validation after the layers are found; true when the run may go on.
bool ParametersValid(const ZoomFlashParameters& p, const std::shared_ptr<host::ISet>& sourceSet) {
    // With a Source key field the other checks are not made: the dialog has
    // checked what the run will use. A negative flash time that still comes this
    // way is kept from the wait by FlashGeometry.
    if (!p.sourceField.empty()) {
        if (p.relatedLayer.empty() || p.relatedField.empty()) {
            Critical(text::kRelatedInfoRequired);
            return false;
        }
        return true;
    }
    if (p.sourceFlashTime < 0) {
        Critical(text::kSourceTimeNegative);
        return false;
    }
    if (p.relatedFlashTime < 0) {
        Critical(text::kRelatedTimeNegative);
        return false;
    }
    if (p.zoomMethod != kZoomFullEnvelope && p.zoomMethod != kZoomRelatedEnvelope &&
        p.zoomMethod != kZoomBoth) {
        ui::CurrentToolkit().MsgBox(text::kInvalidMethod);
        return false;
    }
    if (p.zoomFactor < 0) {
        Critical(text::kZoomFactorNegative);
        return false;
    }
    if (p.zoomWidth < 0) {
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

ZoomFlashOutcome RunZoomFlash(const std::shared_ptr<host::IApplication>& application,
                              const ZoomFlashParameters& parameters,
                              std::shared_ptr<host::ISet> sourceSet) {
    ZoomFlashOutcome outcome{.interrupted = false, .sourceSet = std::move(sourceSet)};
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const std::shared_ptr<host::IMap> map = forms::FocusMapOf(app);

    // The layer lookups need the map. Without one nothing can be found, so the
    // missing map is what the user hears, rather than every layer name.
    if (!map) {
        Critical(text::kMapNotFound);
        return outcome;
    }
    const std::shared_ptr<host::IFeatureLayer> layer = FindRunLayer(parameters.sourceLayer, map);
    if (!layer) return outcome;
    if (!parameters.sourceField.empty() && !FindRunLayer(parameters.relatedLayer, map)) {
        return outcome;
    }
    if (!ParametersValid(parameters, outcome.sourceSet)) return outcome;

    host::IObjectFactory& factory =
        *host::Require<host::IObjectFactory>(app->ObjectFactory(), "IObjectFactory");
    const std::shared_ptr<host::ITrackCancel> tracker = factory.NewCancelTracker();
    if (!outcome.sourceSet) outcome.sourceSet = CollectSourceFeatures(layer, factory);

    host::ISet& features = *outcome.sourceSet;
    features.Reset();
    for (std::shared_ptr<host::IUnknown> element = features.Next(); element;
         element = features.Next()) {
        const auto feature = host::Require<host::IFeature>(element, "IFeature");
        const std::string pauseText = std::string(text::kPausedAt) + parameters.sourceLayer +
                                      std::string(text::kOidIs) + std::to_string(feature->OID()) +
                                      std::string(text::kClickOk);

        // Check A: Cancel ends the run with `interrupted` as it stands.
        if (!tracker->Continue() && !PauseAnswersOk(pauseText)) return outcome;

        try {
            outcome.interrupted = ZoomFlashFeature(feature, app, parameters);
        } catch (const Error& error) {
            // Only here is the feature known: the host's message (a coordinate
            // beyond what it can centre on, a failing call) gains the layer and
            // the OID the map shows, so the user can find what stopped the run.
            throw Error(error.Number(), parameters.sourceLayer + ": feature OID " +
                                            std::to_string(feature->OID()) + ": " +
                                            error.Description());
        }

        // Check B. The tracker is asked even when the feature is already known
        // unfinished, so an Esc pressed during it is taken here and gives one
        // pause, not a second one before the next feature.
        const bool goOn = tracker->Continue();
        if ((outcome.interrupted || !goOn) && !PauseAnswersOk(pauseText)) {
            outcome.interrupted = true;
            return outcome;
        }
    }

    host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar")->SetMessage(0, "");
    outcome.interrupted = false;
    return outcome;
}

}  // namespace velorin::zoomflash

#include "copylegend/copy_legend_colors.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "copylegend/symbol_copy.h"
#include "copylegend/value_index.h"
#include "forms/mod_utils_forms.h"
#include "host/host.h"
#include "ui/current_toolkit.h"

namespace velorin::copylegend {

namespace {

// "Processing feature " + i + " of " + N + "...Hit Esc to Cancel", with both
// numbers in plain decimal digits: the tail is made once per run.
class ProgressText {
  public:
    explicit ProgressText(std::int32_t total)
        : m_tail(" of " + Decimal(total) + "...Hit Esc to Cancel") {}

    const std::string& For(std::int32_t counter) {
        m_text.assign(kHead);
        m_text += Decimal(counter);
        m_text += m_tail;
        return m_text;
    }

  private:
    static constexpr std::string_view kHead = "Processing feature ";

    static std::string Decimal(std::int32_t value) {
        std::array<char, 16> digits{};
        const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
        return {digits.data(), result.ptr};
    }

    std::string m_tail;
    std::string m_text;
};

// A validation failure: one OK-only box, no icon, default title.
void Refuse(const std::string& text) { ui::CurrentToolkit().MsgBox(text); }

// The layers and fields a run works with, once validation has found them all.
struct RunLayers {
    std::shared_ptr<host::IFeatureLayer> source;
    std::shared_ptr<host::IFeatureClass> sourceClass;
    std::int32_t sourceFieldIndex = -1;
    std::shared_ptr<host::IFeatureRenderer> sourceRenderer;
    std::shared_ptr<host::IFeatureLayer> related;
    std::int32_t relatedFieldType = 0;
    std::int32_t relatedShapeType = 0;
};

// Finds the layers and key fields and checks the Source legend; after a refusal
// (its box shown) gives nothing.
std::optional<RunLayers> FindRunLayers(const CopyLegendParameters& p,
                                       const std::shared_ptr<host::IMap>& map) {
    if (p.sourceField.empty() || p.sourceLayer.empty() || p.relatedLayer.empty() ||
        p.relatedField.empty()) {
        Refuse("You must specify both feature layers and key fields");
        return std::nullopt;
    }
    RunLayers layers;
    const auto refused = [](const std::string& text) {
        Refuse(text);
        return std::nullopt;
    };
    layers.source = forms::FindFeatureLayer(p.sourceLayer, map);
    if (!layers.source) return refused("Could not find " + p.sourceLayer);
    layers.sourceClass = layers.source->FeatureClass();
    if (!layers.sourceClass) return refused("Feature class missing for " + p.sourceLayer);
    if (auto twins = forms::SameNameMessage(p.sourceLayer, map); !twins.empty()) {
        return refused(twins);
    }
    layers.sourceFieldIndex = layers.sourceClass->FindField(p.sourceField);
    if (layers.sourceFieldIndex == -1) {
        return refused("Could not find " + p.sourceField + " field in " + p.sourceLayer);
    }
    layers.sourceRenderer =
        host::Require<host::IGeoFeatureLayer>(layers.source, "IGeoFeatureLayer")->Renderer();

    layers.related = forms::FindFeatureLayer(p.relatedLayer, map);
    if (!layers.related) return refused("Could not find " + p.relatedLayer);
    const auto relatedClass = layers.related->FeatureClass();
    if (!relatedClass) return refused("Feature class missing for " + p.relatedLayer);
    if (auto twins = forms::SameNameMessage(p.relatedLayer, map); !twins.empty()) {
        return refused(twins);
    }
    const std::int32_t relatedFieldIndex = relatedClass->FindField(p.relatedField);
    if (relatedFieldIndex == -1) {
        return refused("Could not find " + p.relatedField + " field in " + p.relatedLayer);
    }
    const auto relatedFields = host::Require<host::IFields>(relatedClass->Fields(), "IFields");
    layers.relatedFieldType =
        host::Require<host::IField>(relatedFields->Field(relatedFieldIndex), "IField")->Type();
    layers.relatedShapeType = relatedClass->ShapeType();

    if (!host::Supports<host::IUniqueValueRenderer>(layers.sourceRenderer)) {
        return refused(p.sourceLayer + " must be rendered with a Unique Value Renderer");
    }
    return layers;
}

// The Related layer's new renderer, still without values: keyed on the Related
// key field, with the default symbol of its shape type. Refuses (box shown,
// nothing returned) a shape type that has no default symbol.
std::shared_ptr<host::IUniqueValueRenderer> NewRelatedRenderer(const CopyLegendParameters& p,
                                                               const RunLayers& layers,
                                                               host::IObjectFactory& factory) {
    const auto renderer = host::Require<host::IUniqueValueRenderer>(
        factory.NewUniqueValueRenderer(), "IUniqueValueRenderer");
    renderer->SetFieldCount(1);
    renderer->SetField(0, p.relatedField);
    renderer->SetFieldType(0, layers.relatedFieldType == host::esriFieldTypeString);

    const std::int32_t shapeType = layers.relatedShapeType;
    if (shapeType != host::esriGeometryPoint && shapeType != host::esriGeometryPolygon &&
        shapeType != host::esriGeometryPolyline) {
        Refuse(p.relatedLayer +
               " feature class must have point, polygon, or polyline geometry type");
        return nullptr;
    }
    renderer->SetDefaultSymbol(MakeDefaultSymbol(shapeType, factory));
    renderer->SetUseDefaultSymbol(true);
    return renderer;
}

// The Source features as the walk reads them: the layer's own search (its
// definition query applies) with non-recycling rows, its first feature already
// fetched, and N, which counts the whole class: with a definition query the
// counter ends below N and the run still completes.
struct SourceWalk {
    std::shared_ptr<host::IFeatureCursor> cursor;
    std::shared_ptr<host::IFeature> first;
    std::int32_t total = 0;
};

SourceWalk OpenSourceWalk(const RunLayers& layers) {
    SourceWalk walk;
    walk.cursor = host::Require<host::IFeatureCursor>(layers.source->Search(nullptr, false),
                                                      "IFeatureCursor");
    walk.first = walk.cursor->NextFeature();
    walk.total = layers.sourceClass->FeatureCount(nullptr);
    return walk;
}

// Walks the Source features, adding one value per new key text in the colour of
// the feature that first carries it, with the progress bar shown and stepped.
// Returns false when an Esc ended the walk.
bool AddSourceValues(const CopyLegendParameters& p, const RunLayers& layers, SourceWalk walk,
                     host::IUniqueValueRenderer& renderer, host::IObjectFactory& factory,
                     host::IStepProgressor& progress, host::ITrackCancel& tracker) {
    const std::int32_t total = walk.total;
    progress.SetMinRange(0);
    progress.SetMaxRange(total);
    progress.SetPosition(0);
    progress.SetStepValue(1);
    progress.Show();

    ValueIndex known;
    SimpleSymbolColors colors(layers.sourceRenderer);
    ColorCopies copies;
    ProgressText progressText(total);
    std::int32_t counter = 0;
    auto feature = std::move(walk.first);
    while (feature) {
        if (!tracker.Continue()) return false;
        // Asked and copied before the key is looked at, so a feature drawn with a
        // symbol that is not simple, or in a colour that cannot be copied, stops
        // the run even when its key is null or already known.
        const auto color = copies.Of(colors.Of(feature));

        const host::FieldValue key = feature->Value(layers.sourceFieldIndex);
        if (!key.IsNull()) {
            // The renderer is ours until it is installed, so the index holds
            // exactly its values: the same exact comparison as walking them.
            // The first Source feature met with a given text decides its colour.
            const std::string text = host::ToText(key);
            if (known.Insert(text)) {
                const auto symbol = MakeValueSymbol(layers.relatedShapeType, color, factory);
                renderer.AddValue(text, p.relatedField, symbol);
                renderer.SetLabel(text, text);
                renderer.SetSymbol(text, symbol);
            }
        }

        feature = walk.cursor->NextFeature();
        // Written after the feature is done, so the text names the last one finished.
        ++counter;
        progress.SetMessage(progressText.For(counter));
        progress.Step();
    }
    return true;
}

// Gives the Related layer the finished renderer, its display field and the
// unique value property page.
void InstallRenderer(const CopyLegendParameters& p, const RunLayers& layers,
                     const std::shared_ptr<host::IUniqueValueRenderer>& renderer,
                     host::IObjectFactory& factory) {
    renderer->SetColorScheme("Custom");
    const auto relatedGeo =
        host::Require<host::IGeoFeatureLayer>(layers.related, "IGeoFeatureLayer");
    relatedGeo->SetRenderer(host::Require<host::IFeatureRenderer>(renderer, "IFeatureRenderer"));
    relatedGeo->SetDisplayField(p.relatedField);
    const auto page = host::Require<host::IRendererPropertyPage>(
        factory.NewUniqueValuePropertyPage(), "IRendererPropertyPage");
    relatedGeo->SetRendererPropertyPageClassID(page->ClassID());
}

}  // namespace

bool CopyLegendColors(const std::shared_ptr<host::IApplication>& application,
                      const CopyLegendParameters& parameters) {
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const auto document = host::Require<host::IMxDocument>(app->Document(), "IMxDocument");
    const std::optional<RunLayers> layers = FindRunLayers(parameters, document->FocusMap());
    if (!layers) return true;

    const auto factory =
        host::Require<host::IObjectFactory>(app->ObjectFactory(), "IObjectFactory");
    const auto renderer = NewRelatedRenderer(parameters, *layers, *factory);
    if (!renderer) return true;

    // The Source is opened and counted before the tracker and the progress bar
    // are taken: a Source that cannot be read ends the run before any of its
    // progress objects exist.
    SourceWalk walk = OpenSourceWalk(*layers);
    const auto tracker =
        host::Require<host::ITrackCancel>(factory->NewCancelTracker(), "ITrackCancel");
    const auto statusBar = host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar");
    const auto progress =
        host::Require<host::IStepProgressor>(statusBar->ProgressBar(), "IStepProgressor");
    const bool completed = AddSourceValues(parameters, *layers, std::move(walk), *renderer,
                                           *factory, *progress, *tracker);
    if (completed) InstallRenderer(parameters, *layers, renderer, *factory);

    progress->Hide();
    host::Require<host::IActiveView>(document->ActiveView(), "IActiveView")->Refresh();
    document->UpdateContents();
    return !completed;
}

}  // namespace velorin::copylegend

#include "copylegend/copy_legend_colors.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

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
bool Refuse(const std::string& text) {
    ui::CurrentToolkit().MsgBox(text);
    return true;
}

std::shared_ptr<host::IColor> IndependentCopy(const std::shared_ptr<host::IColor>& color) {
    return host::Require<host::IColor>(host::Require<host::IClone>(color, "IClone")->Clone(),
                                       "IColor");
}

}  // namespace

bool CopyLegendColors(const std::string& sourceLayer, const std::string& sourceField,
                      const std::string& relatedLayer, const std::string& relatedField,
                      const std::shared_ptr<host::IApplication>& application) {
    bool notCompleted = true;

    const auto app = host::Require<host::IApplication>(application, "IApplication");
    const auto document = host::Require<host::IMxDocument>(app->Document(), "IMxDocument");
    const auto map = document->FocusMap();

    if (sourceField.empty() || sourceLayer.empty() || relatedLayer.empty() ||
        relatedField.empty()) {
        return Refuse("You must specify both feature layers and key fields");
    }

    const auto source = forms::FindFeatureLayer(sourceLayer, map);
    if (!source) return Refuse("Could not find " + sourceLayer);
    const auto sourceClass = source->FeatureClass();
    if (!sourceClass) return Refuse("Feature class missing for " + sourceLayer);
    const std::int32_t sourceFieldIndex = sourceClass->FindField(sourceField);
    if (sourceFieldIndex == -1) {
        return Refuse("Could not find " + sourceField + " field in " + sourceLayer);
    }
    const auto sourceRenderer =
        host::Require<host::IGeoFeatureLayer>(source, "IGeoFeatureLayer")->Renderer();

    const auto related = forms::FindFeatureLayer(relatedLayer, map);
    if (!related) return Refuse("Could not find " + relatedLayer);
    const auto relatedClass = related->FeatureClass();
    if (!relatedClass) return Refuse("Feature class missing for " + relatedLayer);
    const std::int32_t relatedFieldIndex = relatedClass->FindField(relatedField);
    if (relatedFieldIndex == -1) {
        return Refuse("Could not find " + relatedField + " field in " + relatedLayer);
    }
    const auto relatedFields = host::Require<host::IFields>(relatedClass->Fields(), "IFields");
    const std::int32_t relatedFieldType =
        host::Require<host::IField>(relatedFields->Field(relatedFieldIndex), "IField")->Type();
    const std::int32_t relatedShapeType = relatedClass->ShapeType();

    if (!host::Supports<host::IUniqueValueRenderer>(sourceRenderer)) {
        return Refuse(sourceLayer + " must be rendered with a Unique Value Renderer");
    }

    const auto factory =
        host::Require<host::IObjectFactory>(app->ObjectFactory(), "IObjectFactory");
    const auto renderer = host::Require<host::IUniqueValueRenderer>(
        factory->NewUniqueValueRenderer(), "IUniqueValueRenderer");
    renderer->SetFieldCount(1);
    renderer->SetField(0, relatedField);
    renderer->SetFieldType(0, relatedFieldType == host::esriFieldTypeString);

    if (relatedShapeType != host::esriGeometryPoint &&
        relatedShapeType != host::esriGeometryPolygon &&
        relatedShapeType != host::esriGeometryPolyline) {
        return Refuse(relatedLayer +
                      " feature class must have point, polygon, or polyline geometry type");
    }
    renderer->SetDefaultSymbol(MakeDefaultSymbol(relatedShapeType, *factory));
    renderer->SetUseDefaultSymbol(true);

    // The layer's own search (its definition query applies) with non-recycling
    // rows, while N counts the whole class: with a definition query the counter
    // ends below N and the run still completes.
    const auto cursor =
        host::Require<host::IFeatureCursor>(source->Search(nullptr, false), "IFeatureCursor");
    auto feature = cursor->NextFeature();
    const std::int32_t total = sourceClass->FeatureCount(nullptr);
    const auto tracker =
        host::Require<host::ITrackCancel>(factory->NewCancelTracker(), "ITrackCancel");
    const auto statusBar = host::Require<host::IStatusBar>(app->StatusBar(), "IStatusBar");
    const auto progress =
        host::Require<host::IStepProgressor>(statusBar->ProgressBar(), "IStepProgressor");
    progress->SetMinRange(0);
    progress->SetMaxRange(total);
    progress->SetPosition(0);
    progress->SetStepValue(1);
    progress->Show();

    ValueIndex known;
    ProgressText progressText(total);
    std::int32_t counter = 0;
    bool cancelled = false;
    while (feature) {
        if (!tracker->Continue()) {
            cancelled = true;
            break;
        }
        // Asked before the key is looked at, so a feature drawn with a symbol that
        // is not simple stops the run even when its key is null or already known.
        // The copy that keeps the new symbols apart from the Source legend is made
        // only for a new value: a copy for a known key would be thrown away
        // unseen, and copying costs as much as the rest of the step.
        const auto color = GetSimpleSymbolColor(sourceRenderer, feature);

        const host::FieldValue key = feature->Value(sourceFieldIndex);
        if (!key.IsNull()) {
            // The renderer is ours until it is installed, so the index holds
            // exactly its values: the same exact comparison as walking them.
            // The first Source feature met with a given text decides its colour.
            const std::string text = host::ToText(key);
            if (known.Insert(text)) {
                const auto symbol =
                    MakeValueSymbol(relatedShapeType, IndependentCopy(color), *factory);
                renderer->AddValue(text, relatedField, symbol);
                renderer->SetLabel(text, text);
                renderer->SetSymbol(text, symbol);
            }
        }

        feature = cursor->NextFeature();
        // Written after the feature is done, so the text names the last one finished.
        ++counter;
        progress->SetMessage(progressText.For(counter));
        progress->Step();
    }

    if (!cancelled) {
        renderer->SetColorScheme("Custom");
        const auto relatedGeo = host::Require<host::IGeoFeatureLayer>(related, "IGeoFeatureLayer");
        relatedGeo->SetRenderer(
            host::Require<host::IFeatureRenderer>(renderer, "IFeatureRenderer"));
        relatedGeo->SetDisplayField(relatedField);
        const auto page = host::Require<host::IRendererPropertyPage>(
            factory->NewUniqueValuePropertyPage(), "IRendererPropertyPage");
        relatedGeo->SetRendererPropertyPageClassID(page->ClassID());
        notCompleted = false;
    }

    progress->Hide();
    host::Require<host::IActiveView>(document->ActiveView(), "IActiveView")->Refresh();
    document->UpdateContents();
    return notCompleted;
}

}  // namespace velorin::copylegend

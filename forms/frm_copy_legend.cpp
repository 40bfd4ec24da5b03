#include "forms/frm_copy_legend.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "forms/frm_help.h"
#include "forms/mod_utils_forms.h"
#include "forms/shared_dialogs.h"
#include "host/host.h"
#include "ui/current_toolkit.h"

namespace velorin::forms {

namespace {

using ui::ControlKind;

constexpr ui::ControlLayout kCopyLegendControls[] = {
    {.name = "fraSource",
     .kind = ControlKind::Frame,
     .caption = "Source Features",
     .left = 120,
     .top = 120,
     .width = 2775,
     .height = 1935},
    {.name = "lblLyr1",
     .kind = ControlKind::Label,
     .container = "fraSource",
     .caption = "Layer Name",
     .left = 120,
     .top = 360,
     .width = 1095,
     .height = 375},
    {.name = "cboLyr1",
     .kind = ControlKind::ComboBox,
     .container = "fraSource",
     .left = 120,
     .top = 600,
     .width = 2535,
     .height = 315,
     .tabIndex = 0},
    {.name = "lblFld1",
     .kind = ControlKind::Label,
     .container = "fraSource",
     .caption = "Key Field Name",
     .left = 120,
     .top = 1080,
     .width = 1215,
     .height = 255},
    {.name = "cboFld1",
     .kind = ControlKind::ComboBox,
     .container = "fraSource",
     .left = 120,
     .top = 1320,
     .width = 2535,
     .height = 315,
     .tabIndex = 1},
    {.name = "fraRelated",
     .kind = ControlKind::Frame,
     .caption = "Related Features",
     .left = 3000,
     .top = 120,
     .width = 2775,
     .height = 1935},
    {.name = "lblLyr2",
     .kind = ControlKind::Label,
     .container = "fraRelated",
     .caption = "Layer Name",
     .left = 120,
     .top = 360,
     .width = 2175,
     .height = 375},
    {.name = "cboLyr2",
     .kind = ControlKind::ComboBox,
     .container = "fraRelated",
     .left = 120,
     .top = 600,
     .width = 2535,
     .height = 315,
     .tabIndex = 2},
    {.name = "lblFld2",
     .kind = ControlKind::Label,
     .container = "fraRelated",
     .caption = "Key Field Name",
     .left = 120,
     .top = 1080,
     .width = 2415,
     .height = 255},
    {.name = "cboFld2",
     .kind = ControlKind::ComboBox,
     .container = "fraRelated",
     .left = 120,
     .top = 1320,
     .width = 2535,
     .height = 315,
     .tabIndex = 3},
    {.name = "cmdOK",
     .kind = ControlKind::CommandButton,
     .caption = "OK",
     .left = 1440,
     .top = 2280,
     .width = 735,
     .height = 375,
     .tabIndex = 4,
     .settings = {.defaultButton = true}},
    {.name = "cmdCancel",
     .kind = ControlKind::CommandButton,
     .caption = "Cancel",
     .left = 2520,
     .top = 2280,
     .width = 735,
     .height = 375,
     .tabIndex = 5,
     .settings = {.cancelButton = true}},
    {.name = "cmdHelp",
     .kind = ControlKind::CommandButton,
     .caption = "Help",
     .left = 3600,
     .top = 2280,
     .width = 735,
     .height = 375,
     .tabIndex = 6},
};

constexpr ui::WindowLayout kCopyLegendLayout{.name = "frmCopyLegend",
                                             .caption = "Copy Legend Colors",
                                             .clientWidth = 5925,
                                             .clientHeight = 2850,
                                             .controls = kCopyLegendControls};

// The dialog's own texts, shown exactly as written (double spaces and typos
// included).
namespace text {
constexpr std::string_view kNotAllSpecified = "Please specify all layers and key fields";
constexpr std::string_view kSameLayer =
    "Source feature layer cannot be the same as Related feature layer";

constexpr std::string_view kHelpCaption = "Help:  Copy Legend Colors";
constexpr std::string_view kHelpParagraphs[] = {
    "This tool copies the legend colors from Source features to the legend colors of related "
    "features.  Each source feature and its related features will thus be rendered using the "
    "same color.  This tool requirse that a Unique Value Renderer already be in place for the "
    "Source features' legend.",
    "Last Updated - 29 Jan 2003",
};
}  // namespace text

// The order in which Tab visits the inputs, set when the window loads.
constexpr std::string_view kTabOrder[] = {
    "cboLyr1", "cboFld1", "cboLyr2", "cboFld2", "cmdOK", "cmdCancel", "cmdHelp",
};

// The remembered layer leads the preferences only while it still names a feature
// layer of the map.
NameList LayerPreferences(const std::string& storedLayer, const std::shared_ptr<host::IMap>& map,
                          std::initializer_list<const char*> fixedNames) {
    NameList preferences;
    if (!storedLayer.empty() && FindFeatureLayer(storedLayer, map)) {
        preferences.push_back(storedLayer);
    }
    for (const char* name : fixedNames) preferences.emplace_back(name);
    return preferences;
}

}  // namespace

const ui::WindowLayout& frmCopyLegend::Layout() { return kCopyLegendLayout; }

frmCopyLegend::frmCopyLegend() : ParameterDialog(kCopyLegendLayout, kTabOrder) {
    cboLyr1().OnClick([this] { FillSourceFields(false); });
    cboLyr2().OnClick([this] { FillRelatedFields(false); });
}

void frmCopyLegend::FillInputs() {
    BeginOpening();
    const auto map = FocusMapOf(Application());

    FillLayerList(map, cboLyr1(), ListedFeatureLayers(),
                  {.preferences = LayerPreferences(m_sourceLayer, map, {"NerroJunction"})});
    FillSourceFields(true);

    FillLayerList(map, cboLyr2(), ListedFeatureLayers(),
                  {.preferences = LayerPreferences(m_relatedLayer, map,
                                                   {"Catchment", "Watershed", "Waterbody",
                                                    "MonitoringPoint", "NerroJunction"})});
    FillRelatedFields(true);
}

void frmCopyLegend::FillSourceFields(bool useStored) {
    const auto map = FocusMapOf(Application());
    cboFld1().Clear();

    // A remembered field leads the preferences only while the remembered layer
    // still exists with a field of that name; the selected layer need not be it.
    NameList preferences;
    if (useStored && !m_sourceLayer.empty() && !m_sourceField.empty() &&
        LayerHasField(m_sourceLayer, m_sourceField, map)) {
        preferences.push_back(m_sourceField);
    }
    preferences.emplace_back("NerroID");

    if (cboLyr1().ListCount() < 1) return;
    const auto layer = FindFeatureLayer(cboLyr1().Text(), map);
    const auto featureClass = layer ? layer->FeatureClass() : nullptr;
    if (!featureClass) return;
    FillFieldList(featureClass->Fields(), cboFld1(), SourceKeyFieldTypes(),
                  {.preferences = preferences});
}

void frmCopyLegend::FillRelatedFields(bool useStored) {
    const auto map = FocusMapOf(Application());
    cboFld2().Clear();

    NameList preferences;
    if (useStored && !m_relatedLayer.empty() && !m_relatedField.empty() &&
        LayerHasField(m_relatedLayer, m_relatedField, map)) {
        preferences.push_back(m_relatedField);
    }
    preferences.emplace_back("JunctionID");

    // With a single candidate layer it would have to be the Source layer too, so
    // the Related key list stays empty.
    if (cboLyr2().ListCount() < 2) return;
    const auto layer = FindFeatureLayer(cboLyr2().Text(), map);
    const auto featureClass = layer ? layer->FeatureClass() : nullptr;
    if (!featureClass) return;
    FillFieldList(featureClass->Fields(), cboFld2(), RelatedKeyFieldTypes(),
                  {.preferences = preferences});
}

void frmCopyLegend::OnOk() {
    std::string sourceLayer = cboLyr1().Text();
    std::string relatedLayer = cboLyr2().Text();
    std::string sourceField = cboFld1().Text();
    std::string relatedField = cboFld2().Text();
    if (sourceLayer.empty() || relatedLayer.empty() || sourceField.empty() ||
        relatedField.empty()) {
        ui::CurrentToolkit().MsgBox(text::kNotAllSpecified);
        return;
    }
    if (sourceLayer == relatedLayer) {
        ui::CurrentToolkit().MsgBox(text::kSameLayer);
        return;
    }
    m_sourceLayer = std::move(sourceLayer);
    m_sourceField = std::move(sourceField);
    m_relatedLayer = std::move(relatedLayer);
    m_relatedField = std::move(relatedField);
    Accept();
}

void frmCopyLegend::OnHelp() { ShowCopyLegendHelp(); }

void ShowCopyLegendHelp() {
    ShowHelpWindow(text::kHelpCaption, JoinHelpParagraphs(text::kHelpParagraphs));
}

frmCopyLegend& CopyLegendDialog() { return SharedDialog<frmCopyLegend>(); }

bool HasCopyLegendDialog() noexcept { return HasSharedDialog<frmCopyLegend>(); }

void DropCopyLegendDialog() noexcept { DropSharedDialog<frmCopyLegend>(); }

}  // namespace velorin::forms

#include "forms/frm_zoom_flash.h"

#include <optional>
#include <string_view>
#include <vector>

#include "forms/frm_help.h"
#include "forms/mod_utils_forms.h"
#include "host/object.h"
#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"

namespace velorin::forms {

namespace {

using ui::Alignment;
using ui::ControlKind;

// The dialog's own texts, shown exactly as written (double spaces included).
namespace text {
constexpr std::string_view kSourceLayerMissing = "Source Layer not specified";
constexpr std::string_view kOnlySourceFlashed =
    "Information needed to identify related features not given.  Only source features will "
    "be flashed.";
constexpr std::string_view kRelatedTimeNotNumber =
    "Please input a number for Related feature flash time";
constexpr std::string_view kRelatedTimeNotPositive =
    "Related feature flash time must be greater than zero";
constexpr std::string_view kRelatedTimeTooLong =
    "Please enter a related feature flash time less than 32 seconds";
constexpr std::string_view kRelatedTimeTooShort =
    "Please enter a related feature flash time greater than 1 millisecond";
constexpr std::string_view kSourceTimeNotNumber =
    "Please input a number for Source feature flash time";
constexpr std::string_view kSourceTimeNotPositive =
    "Source feature flash time must be greater than zero";
constexpr std::string_view kSourceTimeTooLong =
    "Please enter a source feature flash time less than 32 seconds";
constexpr std::string_view kSourceTimeTooShort =
    "Please enter a source feature flash time greater than 1 millisecond";
constexpr std::string_view kZoomFactorNotNumber = "Please input a number for Zoom Factor";
constexpr std::string_view kZoomFactorNotPositive = "Zoom Factor must be greater than zero";
constexpr std::string_view kZoomWidthNotNumber = "Please input a number for Zoom Width";
constexpr std::string_view kZoomWidthNotPositive = "Zoom Width must be greater than zero";
constexpr std::string_view kFullEnvelopeRequired =
    "Without related feature information, the Full Envelope Zoom Method must be selected";
constexpr std::string_view kNoZoomMethod = "Please select a Zoom Method";

constexpr std::string_view kHelpCaption = "Help:  Zoom and Flash";
constexpr std::string_view kHelpParagraphs[] = {
    "This tool zooms into a set of features one by one, and flashes each feature's geometry.  "
    "These are called the Source features.  If the Source Key Field, Related Feature Layer, and "
    "Related Layer Key Field are given, then the tool will also zoom into the related features "
    "to the Source feature, and flash their geometries as well.",
    "The Flash Time is the duration in seconds that each feature will be flashed.  This number "
    "must be greater than or equal to zero.",
    "The Zoom Method controls how the tool will zoom into the features.  Two methods are "
    "available:",
    "The Full Envelope method zooms into the envelope containing the Source feature and any "
    "related features.  Then the Source feature is flashed, followed by the Related features.  "
    "This size of this envelope can be expanded using the Zoom Fator.  For example, a value of "
    "2 will result in an envelope that is twice as large as is necessary to encompass the Source "
    "and Related features.  This may be useful in seeing the context of the Source and Related "
    "features spatially.  A Zoom Factor between 0 and 1 will similarly shrink the envelope.",
    "The Related Envelope method zooms into each related feature individually.  For each zoom, "
    "the Source feature is flashed, followed by the Related feature.  If no Related features "
    "are present for the given Source feature, that feature is skipped.  The size of each zoom "
    "envelope (in map units) is controlled by the Zoom Width.  This method is designed to give "
    "a close-up view of the related features.",
    "Both Zoom Methods may be used separately, or together.  If used together, the Full "
    "Envelope zoom occurs first, followed by the Related Envelope Zoom.",
    "Last Updated - 29 Jan 2003",
};
}  // namespace text

// Flash times are accepted from 1 ms to the largest whole number of milliseconds a
// 16-bit integer holds. The message says "less than 32 seconds" for this bound
// of 32.767; it is kept as users know it.
constexpr double kLongestFlashSeconds = 32.767;
constexpr double kShortestFlashSeconds = 0.001;

constexpr std::int16_t kMethodFull = 1;
constexpr std::int16_t kMethodRelated = 2;
constexpr std::int16_t kMethodBoth = 3;

// Defaults shown when nothing usable is remembered. They are numbers, written
// in the user's locale like remembered values, so that an untouched dialog
// reads back its own defaults on a desktop with a decimal comma.
constexpr double kDefaultSourceFlashTime = 1.5;
constexpr double kDefaultRelatedFlashTime = 2.5;
constexpr double kDefaultZoomFactor = 1.7;
constexpr double kDefaultZoomWidth = 300;

// Data-model names, in order of preference for each list.
const char* const kSourceLayerNames[] = {"Catchment", "Watershed", "Waterbody", "MonitoringPoint",
                                         "NerroJunction"};
const char* const kRelatedLayerNames[] = {"NerroJunction", "Catchment", "Watershed", "Waterbody",
                                          "MonitoringPoint"};
const char* const kSourceFieldNames[] = {"JunctionID", "NextDownID", "NerroID", "FeatureID"};
const char* const kRelatedFieldNames[] = {"NerroID", "JunctionID", "NextDownID", "FeatureID"};

// The order in which Tab visits the inputs, set when the window loads.
constexpr std::string_view kTabOrder[] = {
    "cboLyr1",         "cboFld1",   "txtSrcFlashTime", "cboLyr2",    "cboFld2",
    "txtRelFlashTime", "chkFull",   "txtZoomFactor",   "chkRelated", "txtZoomWidth",
    "cmdOK",           "cmdCancel", "cmdHelp",
};

constexpr std::string_view kFlashTimeTip =
    "Duration that each feature in this layer will be flashed";

constexpr ui::ControlLayout kControls[] = {
    {.name = "fraSource",
     .kind = ControlKind::Frame,
     .caption = "Source Features",
     .left = 120,
     .top = 120,
     .width = 2655,
     .height = 2295},
    {.name = "Label7",
     .kind = ControlKind::Label,
     .container = "fraSource",
     .caption = "Layer Name",
     .left = 120,
     .top = 360,
     .width = 975,
     .height = 255},
    {.name = "cboLyr1",
     .kind = ControlKind::ComboBox,
     .container = "fraSource",
     .left = 120,
     .top = 600,
     .width = 2415,
     .height = 315,
     .tabIndex = 0},
    {.name = "Label8",
     .kind = ControlKind::Label,
     .container = "fraSource",
     .caption = "Key Field",
     .left = 120,
     .top = 1080,
     .width = 855,
     .height = 255},
    {.name = "cboFld1",
     .kind = ControlKind::ComboBox,
     .container = "fraSource",
     .left = 120,
     .top = 1320,
     .width = 2415,
     .height = 315,
     .tabIndex = 1,
     .toolTip = "Field relating features in this layer to features in the Related Feature Layer "
                "(enter <None> if no related features)"},
    {.name = "Label11",
     .kind = ControlKind::Label,
     .container = "fraSource",
     .caption = "Flash Time (seconds)",
     .left = 120,
     .top = 1800,
     .width = 1695,
     .height = 255},
    {.name = "txtSrcFlashTime",
     .kind = ControlKind::TextBox,
     .container = "fraSource",
     .caption = "1.5",
     .left = 1920,
     .top = 1800,
     .width = 615,
     .height = 285,
     .tabIndex = 2,
     .toolTip = kFlashTimeTip,
     .settings = {.alignment = Alignment::Right, .maxLength = 5}},
    {.name = "fraRelated",
     .kind = ControlKind::Frame,
     .caption = "Related Features",
     .left = 2880,
     .top = 120,
     .width = 2655,
     .height = 2295},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .container = "fraRelated",
     .caption = "Layer Name",
     .left = 120,
     .top = 360,
     .width = 975,
     .height = 255},
    {.name = "cboLyr2",
     .kind = ControlKind::ComboBox,
     .container = "fraRelated",
     .left = 120,
     .top = 600,
     .width = 2415,
     .height = 315,
     .tabIndex = 3},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .container = "fraRelated",
     .caption = "Key Field",
     .left = 120,
     .top = 1080,
     .width = 855,
     .height = 255},
    {.name = "cboFld2",
     .kind = ControlKind::ComboBox,
     .container = "fraRelated",
     .left = 120,
     .top = 1320,
     .width = 2415,
     .height = 315,
     .tabIndex = 4,
     .toolTip = "Field relating features in this layer to features in the Source Feature Layer"},
    {.name = "Label1",
     .kind = ControlKind::Label,
     .container = "fraRelated",
     .caption = "Flash Time (seconds)",
     .left = 120,
     .top = 1800,
     .width = 1695,
     .height = 255},
    {.name = "txtRelFlashTime",
     .kind = ControlKind::TextBox,
     .container = "fraRelated",
     .caption = "2.5",
     .left = 1920,
     .top = 1800,
     .width = 615,
     .height = 285,
     .tabIndex = 5,
     .toolTip = kFlashTimeTip,
     .settings = {.alignment = Alignment::Right, .maxLength = 5}},
    {.name = "fraMethod",
     .kind = ControlKind::Frame,
     .caption = "Zoom Method",
     .left = 120,
     .top = 2640,
     .width = 5415,
     .height = 1215},
    {.name = "chkFull",
     .kind = ControlKind::CheckBox,
     .container = "fraMethod",
     .caption = "Full Envelope",
     .left = 120,
     .top = 375,
     .width = 1455,
     .height = 255,
     .tabIndex = 6,
     .toolTip = "Zooms to an envelope encompassing the given Source feature and all Related "
                "features"},
    {.name = "lblZoomFactor",
     .kind = ControlKind::Label,
     .container = "fraMethod",
     .caption = "Zoom Factor",
     .left = 3120,
     .top = 375,
     .width = 975,
     .height = 255,
     .toolTip = "Factor by which the Full Envelope will be expanded (must be greater than zero)",
     .settings = {.alignment = Alignment::Right}},
    {.name = "txtZoomFactor",
     .kind = ControlKind::TextBox,
     .container = "fraMethod",
     .caption = "1.7",
     .left = 4200,
     .top = 360,
     .width = 975,
     .height = 285,
     .tabIndex = 7,
     .settings = {.alignment = Alignment::Right}},
    {.name = "chkRelated",
     .kind = ControlKind::CheckBox,
     .container = "fraMethod",
     .caption = "Related Feature Envelope",
     .left = 120,
     .top = 720,
     .width = 2295,
     .height = 255,
     .tabIndex = 8,
     .toolTip = "For a given Source feature, zooms in to each related feature"},
    {.name = "lblZoomWidth",
     .kind = ControlKind::Label,
     .container = "fraMethod",
     .caption = "Zoom Width (map units)",
     .left = 2280,
     .top = 720,
     .width = 1815,
     .height = 255,
     .settings = {.alignment = Alignment::Right}},
    {.name = "txtZoomWidth",
     .kind = ControlKind::TextBox,
     .container = "fraMethod",
     .caption = "300",
     .left = 4200,
     .top = 705,
     .width = 975,
     .height = 285,
     .tabIndex = 9,
     .toolTip = "Width of each Related Feature Envelope (must be greater than zero)",
     .settings = {.alignment = Alignment::Right}},
    {.name = "cmdOK",
     .kind = ControlKind::CommandButton,
     .caption = "OK",
     .left = 1200,
     .top = 4080,
     .width = 735,
     .height = 375,
     .tabIndex = 10,
     .settings = {.defaultButton = true}},
    {.name = "cmdCancel",
     .kind = ControlKind::CommandButton,
     .caption = "Cancel",
     .left = 2340,
     .top = 4080,
     .width = 735,
     .height = 375,
     .tabIndex = 11},
    {.name = "cmdHelp",
     .kind = ControlKind::CommandButton,
     .caption = "Help",
     .left = 3480,
     .top = 4080,
     .width = 735,
     .height = 375,
     .tabIndex = 12},
};

constexpr ui::WindowLayout kLayout{.name = "frmZoomFlash",
                                   .caption = "Zoom and Flash",
                                   .clientWidth = 5715,
                                   .clientHeight = 4575,
                                   .resizable = false,
                                   .minMaxButtons = false,
                                   .centerOnScreen = true,
                                   .controls = kControls};

template <std::size_t N>
void AppendNames(NameList& names, const char* const (&fixed)[N]) {
    names.insert(names.end(), std::begin(fixed), std::end(fixed));
}

bool IsNone(std::string_view entry) { return entry == kNoneEntry; }

// Fills a key-field list from the layer named by the chosen layer entry, or makes
// "<None>" its only entry when there is no such layer or it has no class.
void FillKeyFields(ui::ComboBox& list, const std::string& layerName,
                   const std::shared_ptr<host::IMap>& map, const TypeList& fieldTypes,
                   const NameList& preferences, bool lookUpLayer) {
    if (lookUpLayer) {
        const std::shared_ptr<host::IFeatureLayer> layer = FindFeatureLayer(layerName, map);
        if (layer) {
            if (const std::shared_ptr<host::IFeatureClass> featureClass = layer->FeatureClass()) {
                FillFieldList(featureClass->Fields(), list, fieldTypes,
                              {.preferences = preferences, .noneEntry = NoneEntry::First});
                return;
            }
        }
    }
    list.AddItem(std::string(kNoneEntry));
    list.SetListIndex(0);
}

// The number a person typed, in their locale; nothing when it is not one.
std::optional<double> NumberIn(const ui::TextBox& box) {
    return ui::CurrentToolkit().ParseNumber(box.Text());
}

// Checks one flash-time box; shows the first failing message and returns false.
bool FlashTimeAccepted(const ui::TextBox& box, std::string_view notNumber,
                       std::string_view notPositive, std::string_view tooLong,
                       std::string_view tooShort) {
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    const std::optional<double> seconds = NumberIn(box);
    if (!seconds) {
        toolkit.MsgBox(notNumber);
        return false;
    }
    if (*seconds <= 0) {
        toolkit.MsgBox(notPositive);
        return false;
    }
    if (*seconds > kLongestFlashSeconds) {
        toolkit.MsgBox(tooLong);
        return false;
    }
    if (*seconds < kShortestFlashSeconds) {
        toolkit.MsgBox(tooShort);
        return false;
    }
    return true;
}

// Whole milliseconds a flash time runs for, as the run converts it; nothing for a
// time the checks refuse (the conversion could not hold every such value).
std::optional<std::int16_t> RunMilliseconds(double seconds) {
    if (!(seconds >= kShortestFlashSeconds && seconds <= kLongestFlashSeconds)) {
        return std::nullopt;
    }
    return ui::ToInt16Checked(seconds * 1000.0);
}

// Shows a remembered flash time in its box. Five characters hold every time a
// person can type, but not always the number read back from it: ".0015" reads
// "0.0015", and the box would keep "0.001", a shorter flash. A text that does
// not fit, or does not read back to the same run, gives way to the whole
// milliseconds the time runs for, which always fit; a time the checks refuse is
// shown as it reads, to be refused again.
void ShowFlashTime(ui::TextBox& box, double seconds) {
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    const std::optional<std::int16_t> runs = RunMilliseconds(seconds);
    const auto runsAlike = [&](const std::string& text) {
        if (ui::KeepFirstCharacters(text, box.MaxLength()) != text) return false;
        const std::optional<double> shown = toolkit.ParseNumber(text);
        return shown && RunMilliseconds(*shown) == runs;
    };
    std::string text = toolkit.FormatNumber(seconds);
    if (runs && !runsAlike(text)) {
        std::string whole = toolkit.FormatNumber(*runs / 1000.0);
        if (runsAlike(whole)) text = std::move(whole);
    }
    box.SetText(std::move(text));
}

// Checks a zoom box whose method is chosen: a number greater than zero.
bool ZoomValueAccepted(const ui::TextBox& box, std::string_view notNumber,
                       std::string_view notPositive) {
    const std::optional<double> value = NumberIn(box);
    if (!value) {
        ui::CurrentToolkit().MsgBox(notNumber);
        return false;
    }
    if (*value <= 0) {
        ui::CurrentToolkit().MsgBox(notPositive);
        return false;
    }
    return true;
}

}  // namespace

const ui::WindowLayout& frmZoomFlash::Layout() { return kLayout; }

frmZoomFlash::frmZoomFlash() : ParameterDialog(kLayout, kTabOrder) {
    cboLyr1().OnClick([this] { FillSourceFields(false); });
    cboLyr2().OnClick([this] { FillRelatedFields(false); });
    chkFull().OnClick([this] { EnableZoomFactor(chkFull().Value() == 1); });
    chkRelated().OnClick([this] { EnableZoomWidth(chkRelated().Value() == 1); });
}

void frmZoomFlash::EnableZoomFactor(bool enabled) {
    Window().Label("lblZoomFactor").SetEnabled(enabled);
    txtZoomFactor().SetEnabled(enabled);
}

void frmZoomFlash::EnableZoomWidth(bool enabled) {
    Window().Label("lblZoomWidth").SetEnabled(enabled);
    txtZoomWidth().SetEnabled(enabled);
}

void frmZoomFlash::FillInputs() {
    BeginOpening();
    const std::shared_ptr<host::IMap> map = FocusMapOf(Application());

    NameList sourceLayers;
    if (!m_sourceLayer.empty() && FindFeatureLayer(m_sourceLayer, map)) {
        sourceLayers.push_back(m_sourceLayer);
    }
    AppendNames(sourceLayers, kSourceLayerNames);
    // Its selection fires cboLyr1's click, which fills cboFld1 from the fixed
    // names; the call after it fills it again with the remembered field first.
    FillLayerList(map, cboLyr1(), ListedFeatureLayers(), {.preferences = sourceLayers});
    FillSourceFields(true);
    FillRelatedLayers();
    FillRelatedFields(true);

    ShowFlashTime(txtSrcFlashTime(),
                  m_sourceFlashTime != 0 ? m_sourceFlashTime : kDefaultSourceFlashTime);
    ShowFlashTime(txtRelFlashTime(),
                  m_relatedFlashTime != 0 ? m_relatedFlashTime : kDefaultRelatedFlashTime);

    chkFull().SetValue(1);
    chkRelated().SetValue(1);
    EnableZoomFactor(true);
    EnableZoomWidth(true);
    if (m_zoomMethod == kMethodRelated) {
        chkFull().SetValue(0);
        EnableZoomFactor(false);
    } else if (m_zoomMethod == kMethodFull) {
        chkRelated().SetValue(0);
        EnableZoomWidth(false);
    }

    ui::Toolkit& toolkit = ui::CurrentToolkit();
    txtZoomWidth().SetText(toolkit.FormatNumber(m_zoomWidth > 0 ? m_zoomWidth : kDefaultZoomWidth));
    txtZoomFactor().SetText(
        toolkit.FormatNumber(m_zoomFactor > 0 ? m_zoomFactor : kDefaultZoomFactor));
}

void frmZoomFlash::FillSourceFields(bool useStored) {
    const std::shared_ptr<host::IMap> map = FocusMapOf(Application());
    cboFld1().Clear();

    NameList preferences;
    // The remembered field counts when it was "<None>", or when the remembered
    // layer (not the one now chosen) still has it.
    if (useStored && !m_sourceLayer.empty() && !m_sourceField.empty() &&
        (IsNone(m_sourceField) || LayerHasField(m_sourceLayer, m_sourceField, map))) {
        preferences.push_back(m_sourceField);
    }
    AppendNames(preferences, kSourceFieldNames);

    FillKeyFields(cboFld1(), cboLyr1().Text(), map, SourceKeyFieldTypes(), preferences,
                  cboLyr1().ListCount() > 0);
}

void frmZoomFlash::FillRelatedLayers() {
    const std::shared_ptr<host::IMap> map = FocusMapOf(Application());
    NameList preferences;
    if (!m_relatedLayer.empty() &&
        (IsNone(m_relatedLayer) || FindFeatureLayer(m_relatedLayer, map))) {
        preferences.push_back(m_relatedLayer);
    }
    AppendNames(preferences, kRelatedLayerNames);
    FillLayerList(map, cboLyr2(), ListedFeatureLayers(),
                  {.preferences = preferences, .noneEntry = NoneEntry::First});
}

void frmZoomFlash::FillRelatedFields(bool useStored) {
    const std::shared_ptr<host::IMap> map = FocusMapOf(Application());
    cboFld2().Clear();

    NameList preferences;
    if (useStored && !m_relatedLayer.empty() && !m_relatedField.empty() &&
        (IsNone(m_relatedField) || LayerHasField(m_relatedLayer, m_relatedField, map))) {
        preferences.push_back(m_relatedField);
    }
    AppendNames(preferences, kRelatedFieldNames);

    FillKeyFields(cboFld2(), cboLyr2().Text(), map, RelatedKeyFieldTypes(), preferences,
                  !IsNone(cboLyr2().Text()) && cboLyr2().ListCount() > 1);
}

void frmZoomFlash::OnOk() {
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    if (cboLyr1().Text().empty()) {
        toolkit.MsgBox(text::kSourceLayerMissing);
        return;
    }

    const bool anyNone =
        IsNone(cboFld1().Text()) || IsNone(cboLyr2().Text()) || IsNone(cboFld2().Text());
    const bool searchRelated = !anyNone;
    if (anyNone) {
        if (toolkit.MsgBox(text::kOnlySourceFlashed, ui::MsgButtons::OkCancel) !=
            ui::MsgResult::Ok) {
            return;
        }
    } else if (!FlashTimeAccepted(txtRelFlashTime(), text::kRelatedTimeNotNumber,
                                  text::kRelatedTimeNotPositive, text::kRelatedTimeTooLong,
                                  text::kRelatedTimeTooShort)) {
        return;
    }
    if (!FlashTimeAccepted(txtSrcFlashTime(), text::kSourceTimeNotNumber,
                           text::kSourceTimeNotPositive, text::kSourceTimeTooLong,
                           text::kSourceTimeTooShort)) {
        return;
    }
    const bool full = chkFull().Value() == 1;
    const bool related = chkRelated().Value() == 1;
    if (full && !ZoomValueAccepted(txtZoomFactor(), text::kZoomFactorNotNumber,
                                   text::kZoomFactorNotPositive)) {
        return;
    }
    if (related && !ZoomValueAccepted(txtZoomWidth(), text::kZoomWidthNotNumber,
                                      text::kZoomWidthNotPositive)) {
        return;
    }

    std::int16_t method = 0;
    if (full) {
        method = related ? kMethodBoth : kMethodFull;
    } else if (related) {
        if (!searchRelated) {
            toolkit.MsgBox(text::kFullEnvelopeRequired);
            return;
        }
        method = kMethodRelated;
    } else {
        toolkit.MsgBox(text::kNoZoomMethod);
        return;
    }

    // A box the checks skipped (a zoom value of a method not chosen, the Related
    // time with Related search off) may hold any text. A number is stored as it
    // is; other text leaves the value the last accepted OK stored, so nothing
    // typed earlier is lost and acceptance never fails on it.
    const auto storeNumber = [](const ui::TextBox& box, double& field) {
        if (const std::optional<double> value = NumberIn(box)) field = *value;
    };
    m_sourceLayer = cboLyr1().Text();
    m_sourceField = cboFld1().Text();
    storeNumber(txtSrcFlashTime(), m_sourceFlashTime);
    m_relatedLayer = cboLyr2().Text();
    m_relatedField = cboFld2().Text();
    storeNumber(txtRelFlashTime(), m_relatedFlashTime);
    storeNumber(txtZoomFactor(), m_zoomFactor);
    storeNumber(txtZoomWidth(), m_zoomWidth);
    m_zoomMethod = method;
    m_searchRelated = searchRelated;
    Accept();
}

void frmZoomFlash::OnHelp() { ShowZoomFlashHelp(); }

void ShowZoomFlashHelp() {
    ShowHelpWindow(text::kHelpCaption, JoinHelpParagraphs(text::kHelpParagraphs));
}

}  // namespace velorin::forms

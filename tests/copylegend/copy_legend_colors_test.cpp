#include "copylegend/copy_legend_colors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"
#include "tests/support/user_records.h"

// The engine on every host the binary links: the same map, the same run, the
// same promises, read back through host interfaces.
namespace velorin::copylegend {
namespace {

using testing::Color;
using testing::ColorOf;
using testing::HostMaker;
using testing::kBlue;
using testing::kGreen;
using testing::kRed;
using testing::Look;
using testing::MakePoint;
using testing::MakePolygon;
using testing::MakePolyline;
using testing::MapPlan;
using testing::Null;
using testing::RendererPlan;
using testing::SymbolPlan;

std::shared_ptr<host::IGeometry> ShapeAt(std::int32_t shapeType, double x, double y) {
    if (shapeType == host::esriGeometryPoint) return MakePoint(x + 5, y + 5);
    if (shapeType == host::esriGeometryPolyline) return MakePolyline({{{x, y}, {x + 10, y + 10}}});
    return MakePolygon({{{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}}});
}

SymbolPlan::Kind KindFor(std::int32_t shapeType) {
    if (shapeType == host::esriGeometryPoint) return SymbolPlan::Kind::Marker;
    if (shapeType == host::esriGeometryPolyline) return SymbolPlan::Kind::Line;
    return SymbolPlan::Kind::Fill;
}

// A Source legend on "Kind": one simple symbol per key text.
RendererPlan SourceLegend(std::int32_t shapeType,
                          const std::vector<std::pair<std::string, Color>>& colours,
                          const std::string& field = "Kind") {
    std::vector<std::pair<std::string, SymbolPlan>> values;
    for (const auto& [value, colour] : colours) {
        values.emplace_back(value, SymbolPlan::For(shapeType, colour));
    }
    return RendererPlan::UniqueValues(field, values);
}

// What the suite's tests share, whatever their parameters.
class CopyLegendOnHost {
  protected:
    void Start(const HostMaker& maker) { m_host = maker.make(); }

    // Source "NerroJunction": NerroID 1, 2, 3 drawn red, green, blue by a legend on
    // "Kind". Related "Catchment": JunctionID "1", "2", "9" (text).
    MapPlan& StandardMap(std::int32_t sourceShape = host::esriGeometryPoint,
                         std::int32_t relatedShape = host::esriGeometryPolygon,
                         const std::string& sourceDefinition = {}) {
        m_map.Window(300, 200)
            .FeatureLayer("NerroJunction", sourceShape)
            .Field("NerroID", host::esriFieldTypeInteger)
            .Field("Kind", host::esriFieldTypeString)
            .Feature({1, "r"}, ShapeAt(sourceShape, 0, 30))
            .Feature({2, "g"}, ShapeAt(sourceShape, 20, 30))
            .Feature({3, "b"}, ShapeAt(sourceShape, 40, 30))
            .Renderer(SourceLegend(sourceShape, {{"r", kRed}, {"g", kGreen}, {"b", kBlue}}));
        if (!sourceDefinition.empty()) m_map.Definition(sourceDefinition);
        m_map.FeatureLayer("Catchment", relatedShape)
            .Field("JunctionID", host::esriFieldTypeString)
            .Feature({"1"}, ShapeAt(relatedShape, 0, 0))
            .Feature({"2"}, ShapeAt(relatedShape, 20, 0))
            .Feature({"9"}, ShapeAt(relatedShape, 40, 0));
        return m_map;
    }

    void Build() { m_host->Build(m_map); }

    testing::HostFixture& Host() { return *m_host; }
    testing::HostContext& Context() { return m_host->Context(); }
    scripted::ScriptedUser& User() { return m_host->User(); }
    std::vector<std::string> BoxTexts() { return testing::BoxTexts(User()); }

    std::shared_ptr<host::IGeoFeatureLayer> Layer(const std::string& name) {
        auto layer = m_host->FeatureLayer(name);
        if (!layer) throw Error(host::E_HOST_INVALIDARG, "no feature layer " + name);
        return layer;
    }
    std::shared_ptr<host::IFeatureRenderer> RendererOf(const std::string& layer) {
        return Layer(layer)->Renderer();
    }
    std::string LegendText(const std::string& layer) {
        return testing::DescribeRenderer(RendererOf(layer));
    }
    std::shared_ptr<host::IUniqueValueRenderer> NewLegend(const std::string& layer = "Catchment") {
        return host::As<host::IUniqueValueRenderer>(RendererOf(layer));
    }

    bool CopyColors(const std::string& sourceLayer = "NerroJunction",
                    const std::string& sourceField = "NerroID",
                    const std::string& relatedLayer = "Catchment",
                    const std::string& relatedField = "JunctionID") {
        return CopyLegendColors(m_host->Application(), {.sourceLayer = sourceLayer,
                                                        .sourceField = sourceField,
                                                        .relatedLayer = relatedLayer,
                                                        .relatedField = relatedField});
    }

    static std::vector<std::string> Values(
        const std::shared_ptr<host::IUniqueValueRenderer>& legend) {
        std::vector<std::string> values;
        for (std::int32_t i = 0; i < legend->ValueCount(); ++i) values.push_back(legend->Value(i));
        return values;
    }

    Color ValueColor(const std::string& value) {
        return ColorOf(Look(NewLegend()->Symbol(value)).color);
    }

    std::vector<std::string> ProgressMessages() {
        std::vector<std::string> messages;
        for (const auto& record : Context().record.progress) {
            if (record.event == "Message") messages.push_back(record.message);
        }
        return messages;
    }
    // Whether the progress bar is up, as the last Show or Hide left it.
    bool ProgressShown() {
        bool shown = false;
        for (const auto& record : Context().record.progress) {
            if (record.event == "Show") shown = true;
            if (record.event == "Hide") shown = false;
        }
        return shown;
    }

    // The colour each Related feature is drawn with by the layer's renderer as
    // read back (-1 for the default symbol's hatch or dash).
    std::vector<Color> DrawnColours(const std::string& layer) {
        const auto renderer = RendererOf(layer);
        const auto cursor = Layer(layer)->Search(nullptr, false);
        std::vector<Color> colours;
        while (const auto feature = cursor->NextFeature()) {
            const testing::SymbolLook look = Look(renderer->SymbolByFeature(feature));
            colours.push_back(look.style == 0 ? ColorOf(look.color) : Color{-1});
        }
        return colours;
    }

    MapPlan m_map;
    std::unique_ptr<testing::HostFixture> m_host;
};

class CopyLegendEngine : public CopyLegendOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, CopyLegendEngine, ::testing::ValuesIn(testing::Hosts()),
                         testing::HostName);

// ---- Validation -------------------------------------------------------------------------

struct ValidationCase {
    const char* name;
    const char* sourceLayer;
    const char* sourceField;
    const char* relatedLayer;
    const char* relatedField;
    const char* message;
};

void PrintTo(const ValidationCase& c, std::ostream* out) { *out << c.name; }

class CopyLegendValidation
    : public CopyLegendOnHost,
      public ::testing::TestWithParam<std::tuple<HostMaker, ValidationCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(CopyLegendValidation, ShowsOneBoxAndChangesNothing) {
    const ValidationCase& c = std::get<1>(GetParam());
    StandardMap()
        .FeatureLayer("Plain", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Feature({1}, MakePoint(1, 1))
        .Renderer(RendererPlan::Simple(SymbolPlan::For(host::esriGeometryPoint, kRed)))
        .FeatureLayer("NoData", host::esriGeometryPolygon)
        .WithoutFeatureClass()
        .FeatureLayer("Wells", host::esriGeometryMultipoint)
        .Field("JunctionID", host::esriFieldTypeString)
        .GroupLayer("Hydro")
        .FeatureLayer("Rivers", host::esriGeometryPolyline)
        .Field("JunctionID", host::esriFieldTypeString)
        .EndGroup();
    Build();
    std::vector<std::string> before;
    for (const char* layer : {"NerroJunction", "Catchment", "Plain", "Wells"}) {
        before.push_back(LegendText(layer));
    }
    const int redraws = Context().record.redraws;

    EXPECT_TRUE(CopyColors(c.sourceLayer, c.sourceField, c.relatedLayer, c.relatedField));

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.message});
    const auto box = User().MessageBoxes().at(0);
    EXPECT_EQ(box.title, "Velorin");
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(box.icon, ui::MsgIcon::None);
    std::size_t i = 0;
    for (const char* layer : {"NerroJunction", "Catchment", "Plain", "Wells"}) {
        EXPECT_EQ(LegendText(layer), before[i++]) << layer;
    }
    // Refused before the progress bar and before any refresh.
    EXPECT_TRUE(Context().record.progress.empty());
    EXPECT_EQ(Context().record.redraws, redraws);
    EXPECT_EQ(Context().record.contentsUpdates, 0);
}

constexpr const char* kSpecify = "You must specify both feature layers and key fields";

INSTANTIATE_TEST_SUITE_P(
    Hosts, CopyLegendValidation,
    ::testing::Combine(
        ::testing::ValuesIn(testing::Hosts()),
        ::testing::Values(
            ValidationCase{"EmptySourceLayer", "", "NerroID", "Catchment", "JunctionID", kSpecify},
            ValidationCase{"EmptySourceField", "NerroJunction", "", "Catchment", "JunctionID",
                           kSpecify},
            ValidationCase{"EmptyRelatedLayer", "NerroJunction", "NerroID", "", "JunctionID",
                           kSpecify},
            ValidationCase{"EmptyRelatedFieldBeforeMissingLayers", "Nowhere", "NerroID", "Nowhere",
                           "", kSpecify},
            ValidationCase{"MissingSourceLayer", "Nowhere", "NerroID", "Catchment", "JunctionID",
                           "Could not find Nowhere"},
            ValidationCase{"SourceLayerNameIsCaseSensitive", "nerrojunction", "NerroID",
                           "Catchment", "JunctionID", "Could not find nerrojunction"},
            ValidationCase{"SourceWithoutFeatureClass", "NoData", "NerroID", "Catchment",
                           "JunctionID", "Feature class missing for NoData"},
            ValidationCase{"MissingSourceField", "NerroJunction", "Missing", "Catchment",
                           "JunctionID", "Could not find Missing field in NerroJunction"},
            ValidationCase{"MissingRelatedLayerBeforeWrongSourceRenderer", "Plain", "NerroID",
                           "Nowhere", "JunctionID", "Could not find Nowhere"},
            ValidationCase{"RelatedWithoutFeatureClass", "Plain", "NerroID", "NoData", "JunctionID",
                           "Feature class missing for NoData"},
            ValidationCase{"MissingRelatedFieldBeforeWrongSourceRenderer", "Plain", "NerroID",
                           "Catchment", "Missing", "Could not find Missing field in Catchment"},
            ValidationCase{"SourceNotUniqueValue", "Plain", "NerroID", "Catchment", "JunctionID",
                           "Plain must be rendered with a Unique Value Renderer"},
            ValidationCase{"WrongRendererBeforeWrongGeometry", "Plain", "NerroID", "Wells",
                           "JunctionID", "Plain must be rendered with a Unique Value Renderer"},
            ValidationCase{"RelatedMultipoint", "NerroJunction", "NerroID", "Wells", "JunctionID",
                           "Wells feature class must have point, polygon, or polyline geometry "
                           "type"})),
    testing::HostCaseName<ValidationCase>);

// Where a host's grouped layers are not layers of the map, a layer inside a group
// is not found, as Source or as Related; where they are, it is found: as Source
// it is refused for its renderer, as Related it is keyed.
TEST_P(CopyLegendEngine, ALayerInsideAGroupIsFoundExactlyWhereGroupedLayersAreMapLayers) {
    StandardMap()
        .GroupLayer("Hydro")
        .FeatureLayer("Rivers", host::esriGeometryPolyline)
        .Field("JunctionID", host::esriFieldTypeString)
        .Feature({"1"}, ShapeAt(host::esriGeometryPolyline, 0, 50))
        .EndGroup();
    Build();
    const std::string before = LegendText("Rivers");
    const bool found = Host().Traits().groupedLayersAreMapLayers.differs;

    EXPECT_TRUE(CopyColors("Rivers", "JunctionID", "Catchment", "JunctionID"));
    EXPECT_EQ(CopyColors("NerroJunction", "NerroID", "Rivers", "JunctionID"), !found);

    const std::vector<std::string> boxes =
        found ? std::vector<std::string>{"Rivers must be rendered with a Unique Value Renderer"}
              : std::vector<std::string>{"Could not find Rivers", "Could not find Rivers"};
    EXPECT_EQ(BoxTexts(), boxes);
    EXPECT_EQ(LegendText("Rivers") == before, !found);
}

// ---- Colours carried across shapes ------------------------------------------------------

struct ShapePair {
    const char* name;
    std::int32_t source;
    std::int32_t related;
};

void PrintTo(const ShapePair& c, std::ostream* out) { *out << c.name; }

class CopyLegendShapes : public CopyLegendOnHost,
                         public ::testing::TestWithParam<std::tuple<HostMaker, ShapePair>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(CopyLegendShapes, RelatedLegendHoldsOneValuePerKeyInTheSourceColours) {
    const ShapePair& shapes = std::get<1>(GetParam());
    StandardMap(shapes.source, shapes.related);
    Build();
    const std::string sourceLegend = LegendText("NerroJunction");

    EXPECT_FALSE(CopyColors());

    EXPECT_TRUE(BoxTexts().empty());
    const auto legend = NewLegend();
    ASSERT_TRUE(legend);
    EXPECT_EQ(legend->FieldCount(), 1);
    EXPECT_EQ(legend->Field(0), "JunctionID");
    EXPECT_TRUE(legend->FieldType(0));
    EXPECT_TRUE(legend->UseDefaultSymbol());
    EXPECT_EQ(legend->ColorScheme(), Host().Traits().colorSchemeForgotten.differs ? "" : "Custom");
    EXPECT_EQ(Values(legend), (std::vector<std::string>{"1", "2", "3"}));

    const SymbolPlan::Kind kind = KindFor(shapes.related);
    const Color expected[] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        const std::string value = legend->Value(i);
        EXPECT_EQ(legend->Heading(value), "JunctionID");
        EXPECT_EQ(legend->Label(value), value);
        const testing::SymbolLook drawn = Look(legend->Symbol(value));
        EXPECT_EQ(drawn.kind, kind) << value;
        EXPECT_EQ(ColorOf(drawn.color), expected[i]) << value;
        // Solid, and 12-point circles or 1-point lines.
        EXPECT_EQ(drawn.style, 0) << value;
        if (kind == SymbolPlan::Kind::Marker) {
            EXPECT_DOUBLE_EQ(drawn.size, 12);
        }
        if (kind == SymbolPlan::Kind::Line) {
            EXPECT_DOUBLE_EQ(drawn.size, 1);
        }
    }
    const testing::SymbolLook fallback = Look(legend->DefaultSymbol());
    EXPECT_EQ(fallback.kind, kind);
    const std::int32_t defaultStyle = kind == SymbolPlan::Kind::Marker ? host::esriSMSX
                                      : kind == SymbolPlan::Kind::Line
                                          ? host::esriSLSDash
                                          : host::esriSFSBackwardDiagonal;
    EXPECT_EQ(fallback.style, defaultStyle);

    const auto related = Layer("Catchment");
    EXPECT_EQ(related->DisplayField(), "JunctionID");
    EXPECT_EQ(related->RendererPropertyPageClassID(),
              Host().Application()->ObjectFactory()->NewUniqueValuePropertyPage()->ClassID());
    // The Source layer keeps its legend.
    EXPECT_EQ(LegendText("NerroJunction"), sourceLegend);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, CopyLegendShapes,
    ::testing::Combine(
        ::testing::ValuesIn(testing::Hosts()),
        ::testing::Values(
            ShapePair{"PointsToPolygons", host::esriGeometryPoint, host::esriGeometryPolygon},
            ShapePair{"PolygonsToPoints", host::esriGeometryPolygon, host::esriGeometryPoint},
            ShapePair{"LinesToLines", host::esriGeometryPolyline, host::esriGeometryPolyline},
            ShapePair{"PointsToPoints", host::esriGeometryPoint, host::esriGeometryPoint},
            ShapePair{"PolygonsToLines", host::esriGeometryPolygon, host::esriGeometryPolyline},
            ShapePair{"LinesToPolygons", host::esriGeometryPolyline, host::esriGeometryPolygon})),
    testing::HostCaseName<ShapePair>);

TEST_P(CopyLegendEngine, CompletedRunShowsProgressPerFeatureThenHidesItRefreshesAndUpdates) {
    StandardMap();
    Build();
    const int redraws = Context().record.redraws;

    EXPECT_FALSE(CopyColors());

    EXPECT_EQ(ProgressMessages(),
              (std::vector<std::string>{"Processing feature 1 of 3...Hit Esc to Cancel",
                                        "Processing feature 2 of 3...Hit Esc to Cancel",
                                        "Processing feature 3 of 3...Hit Esc to Cancel"}));
    // Range and position set before the bar shows; each feature's message
    // comes after that feature, before its step; the bar hides last.
    std::vector<std::string> calls;
    for (const auto& record : Context().record.progress) {
        calls.push_back(record.event + " " + std::to_string(record.position));
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"Range 0", "Range 0", "Position 0", "Show 0",
                                               "Message 0", "Step 1", "Message 1", "Step 2",
                                               "Message 2", "Step 3", "Hide 3"}));
    EXPECT_FALSE(ProgressShown());
    const auto bar = Host().Application()->StatusBar()->ProgressBar();
    EXPECT_EQ(bar->MinRange(), 0);
    EXPECT_EQ(bar->MaxRange(), 3);
    EXPECT_EQ(bar->StepValue(), 1);
    EXPECT_GT(Context().record.redraws, redraws);
    EXPECT_EQ(Context().record.contentsUpdates, 1);
    EXPECT_EQ(User().CancelChecks(), 3);
}

TEST_P(CopyLegendEngine, HostCallsFollowTheRunsStepsInOrder) {
    StandardMap();
    Build();
    Context().faults.LogCalls(true);

    EXPECT_FALSE(CopyColors());

    // Each step's first host call, in the order of their first calls: the Source
    // cursor and the feature count come before the cancel tracker and the
    // progress bar, the walk before the install, the finish last.
    const std::vector<std::string> steps = {
        "IMxDocument::FocusMap",          "IFeatureLayer::Search",
        "IFeatureClass::FeatureCount",    "IObjectFactory::NewCancelTracker",
        "IApplication::StatusBar",        "IStatusBar::ProgressBar",
        "IStepProgressor::MinRange",      "IProgressor::Show",
        "ITrackCancel::Continue",         "IUniqueValueRenderer::ColorScheme",
        "IRendererPropertyPage::ClassID", "IProgressor::Hide",
        "IActiveView::Refresh",           "IMxDocument::UpdateContents"};
    EXPECT_EQ(velorin::testing::FirstCallsOf(steps, Context().faults.Calls()), steps);
}

// ---- The walk ------------------------------------------------------------------------------

// Source "NerroJunction" of points keyed by `keyType` and coloured by "Kind",
// Related "Catchment" of polygons keyed by text.
MapPlan& KeyedSource(MapPlan& map, std::int32_t keyType,
                     const std::vector<std::pair<host::FieldValue, std::string>>& features) {
    map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", keyType)
        .Field("Kind", host::esriFieldTypeString);
    double x = 1;
    for (const auto& [key, kind] : features) map.Feature({key, kind}, MakePoint(x++, 40));
    map.Renderer(SourceLegend(host::esriGeometryPoint, {{"r", kRed}, {"g", kGreen}, {"b", kBlue}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    return map;
}

TEST_P(CopyLegendEngine, FirstSourceFeatureWithAKeyDecidesItsColour) {
    KeyedSource(m_map, host::esriFieldTypeString, {{"7", "g"}, {"7", "r"}, {"8", "r"}, {"8", "g"}});
    Build();

    EXPECT_FALSE(CopyColors());

    EXPECT_EQ(Values(NewLegend()), (std::vector<std::string>{"7", "8"}));
    EXPECT_EQ(ValueColor("7"), kGreen);
    EXPECT_EQ(ValueColor("8"), kRed);
}

TEST_P(CopyLegendEngine, KeysCompareExactlyWithLetterCaseAndNullKeysAreSkippedButCounted) {
    KeyedSource(m_map, host::esriFieldTypeString,
                {{"abc", "r"}, {Null, "g"}, {"ABC", "g"}, {"abc ", "b"}, {"abc", "b"}});
    Build();

    EXPECT_FALSE(CopyColors());

    EXPECT_EQ(Values(NewLegend()), (std::vector<std::string>{"abc", "ABC", "abc "}));
    EXPECT_EQ(ValueColor("abc"), kRed);
    EXPECT_EQ(ValueColor("ABC"), kGreen);
    EXPECT_EQ(ProgressMessages().back(), "Processing feature 5 of 5...Hit Esc to Cancel");
    EXPECT_EQ(ProgressMessages().at(1), "Processing feature 2 of 5...Hit Esc to Cancel");
}

TEST_P(CopyLegendEngine, NumericSourceKeysMatchTextRelatedKeysThroughTheSharedTextForm) {
    KeyedSource(m_map, host::esriFieldTypeDouble, {{1.5, "r"}, {300.0, "g"}})
        .Feature({"1.5"}, ShapeAt(host::esriGeometryPolygon, 0, 0))
        .Feature({"300"}, ShapeAt(host::esriGeometryPolygon, 20, 0))
        .Feature({"300.0"}, ShapeAt(host::esriGeometryPolygon, 40, 0))
        .FeatureLayer("Basins", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({300}, ShapeAt(host::esriGeometryPolygon, 60, 0));
    Build();

    EXPECT_FALSE(CopyColors());
    EXPECT_FALSE(CopyColors("NerroJunction", "NerroID", "Basins", "JunctionID"));

    // The string-field flag follows the Related field only.
    EXPECT_TRUE(NewLegend()->FieldType(0));
    EXPECT_FALSE(NewLegend("Basins")->FieldType(0));
    EXPECT_EQ(DrawnColours("Catchment"), (std::vector<Color>{kRed, kGreen, Color{-1}}));
    EXPECT_EQ(DrawnColours("Basins"), std::vector<Color>{kGreen});
}

TEST_P(CopyLegendEngine, ValueSymbolsHoldCopiesOfTheSourceColours) {
    StandardMap();
    Build();
    const auto sourceLegend = host::As<host::IUniqueValueRenderer>(RendererOf("NerroJunction"));
    const auto sourceColor = host::As<host::IRgbColor>(Look(sourceLegend->Symbol("r")).color);

    EXPECT_FALSE(CopyColors());

    const auto copied = Look(NewLegend()->Symbol("1")).color;
    EXPECT_NE(copied, sourceColor);
    sourceColor->SetRed(0);
    EXPECT_EQ(ValueColor("1"), kRed);
}

TEST_P(CopyLegendEngine, ASourceLayerWithoutFeaturesInstallsALegendWithoutValues) {
    m_map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Renderer(SourceLegend(host::esriGeometryPoint, {}, "NerroID"))
        .FeatureLayer("Catchment", host::esriGeometryPolyline)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({1}, ShapeAt(host::esriGeometryPolyline, 0, 0));
    Build();

    EXPECT_FALSE(CopyColors());

    const auto legend = NewLegend();
    ASSERT_TRUE(legend);
    EXPECT_EQ(legend->ValueCount(), 0);
    const auto feature = Layer("Catchment")->Search(nullptr, false)->NextFeature();
    EXPECT_EQ(Look(RendererOf("Catchment")->SymbolByFeature(feature)).style, host::esriSLSDash);
    EXPECT_TRUE(ProgressMessages().empty());
    EXPECT_FALSE(ProgressShown());
}

TEST_P(CopyLegendEngine, ALayerSearchNarrowerThanItsClassEndsTheCounterBelowN) {
    StandardMap(host::esriGeometryPoint, host::esriGeometryPolygon, "Kind = 'g'");
    Build();

    EXPECT_FALSE(CopyColors());

    EXPECT_EQ(Values(NewLegend()), std::vector<std::string>{"2"});
    const std::string total = Host().Traits().definitionNarrowsTheClass.differs ? "1" : "3";
    EXPECT_EQ(ProgressMessages(), std::vector<std::string>{"Processing feature 1 of " + total +
                                                           "...Hit Esc to Cancel"});
}

TEST_P(CopyLegendEngine, TheSameLayerAsSourceAndRelatedIsKeyedAgainInItsOldColours) {
    StandardMap();
    Build();

    EXPECT_FALSE(CopyColors("NerroJunction", "NerroID", "NerroJunction", "NerroID"));

    const auto legend = NewLegend("NerroJunction");
    EXPECT_EQ(legend->Field(0), "NerroID");
    EXPECT_FALSE(legend->FieldType(0));
    EXPECT_EQ(ColorOf(Look(legend->Symbol("1")).color), kRed);
    EXPECT_EQ(ColorOf(Look(legend->Symbol("3")).color), kBlue);
}

// ---- Esc and errors ------------------------------------------------------------------------

TEST_P(CopyLegendEngine, EscAtTheFirstCheckAddsNothingButStillHidesTheBarAndRefreshes) {
    StandardMap();
    Build();
    const std::string before = LegendText("Catchment");
    const std::string pageBefore = Layer("Catchment")->RendererPropertyPageClassID();
    const int redraws = Context().record.redraws;
    User().EscBeforeCancelCheck(1);

    EXPECT_TRUE(CopyColors());

    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(LegendText("Catchment"), before);
    EXPECT_EQ(Layer("Catchment")->RendererPropertyPageClassID(), pageBefore);
    EXPECT_TRUE(ProgressMessages().empty());
    EXPECT_EQ(Context().record.progress.back().event, "Hide");
    EXPECT_GT(Context().record.redraws, redraws);
    EXPECT_EQ(Context().record.contentsUpdates, 1);
    EXPECT_EQ(User().CancelChecks(), 1);
    User().CheckFinished();
}

TEST_P(CopyLegendEngine, EscLaterStopsAtThatCheckWithTheRendererUntouched) {
    StandardMap();
    Build();
    const std::string before = LegendText("Catchment");
    User().EscBeforeCancelCheck(3);

    EXPECT_TRUE(CopyColors());

    EXPECT_EQ(LegendText("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 2U);
    EXPECT_FALSE(ProgressShown());
}

TEST_P(CopyLegendEngine, ANonSimpleSourceSymbolRaises2021AndSkipsTheFinish) {
    m_map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({1, "r"}, MakePoint(1, 1))
        .Feature({1, "pic"}, MakePoint(2, 2))
        .Feature({2, "r"}, MakePoint(3, 3))
        .Renderer(RendererPlan::UniqueValues("Kind",
                                             {{"r", SymbolPlan::For(host::esriGeometryPoint, kRed)},
                                              {"pic", SymbolPlan::NotSimple(kBlue)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    Build();
    const std::string before = LegendText("Catchment");
    const int redraws = Context().record.redraws;

    // The feature's key "1" is already known: the symbol is asked for all the same.
    try {
        CopyColors();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 2021);
        EXPECT_EQ(error.Description(), "Symbol type must be simple");
    }

    EXPECT_EQ(LegendText("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 1U);
    EXPECT_TRUE(ProgressShown());
    EXPECT_EQ(Context().record.redraws, redraws);
    EXPECT_EQ(Context().record.contentsUpdates, 0);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_P(CopyLegendEngine, AColourThatCannotBeCopiedStopsTheRunEvenForAKnownKey) {
    KeyedSource(m_map, host::esriFieldTypeInteger, {{1, "r"}, {1, "r"}, {2, "r"}});
    Build();
    const std::string before = LegendText("Catchment");
    // The second feature's key is already known: its colour is copied all the same.
    Context().faults.FailAt("IClone::Clone", 2, host::E_HOST_FAIL, "no copy");

    try {
        CopyColors();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Description(), "no copy");
    }
    EXPECT_EQ(LegendText("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 1U);
}

TEST_P(CopyLegendEngine, AFailingHostCallEndsTheRunWithTheRendererUntouched) {
    StandardMap();
    Build();
    const std::string before = LegendText("Catchment");
    Context().faults.FailAt("IUniqueValueRenderer::AddValue", 2, host::E_HOST_FAIL,
                            "out of memory");

    try {
        CopyColors();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "out of memory");
    }
    EXPECT_EQ(LegendText("Catchment"), before);
}

// ---- What the user sees ----------------------------------------------------------------------

TEST_P(CopyLegendEngine, RedrawnScreenShowsRelatedFeaturesInTheirSourceColours) {
    StandardMap(host::esriGeometryPoint, host::esriGeometryPolygon);
    Build();

    EXPECT_FALSE(CopyColors());

    const testing::ScreenShot screen = Host().Screen();
    // Inside each polygon, away from its outline.
    EXPECT_EQ(screen.At(3, 3), kRed);
    EXPECT_EQ(screen.At(27, 6), kGreen);

    // Key "9" has no Source feature: the default hatch, in the host's default
    // fill colour over the background, and no Source colour anywhere in it.
    const Color hatchColor = ColorOf(Look(NewLegend()->DefaultSymbol()).color);
    int hatched = 0;
    int background = 0;
    for (double x = 41; x < 49; x += 0.25) {
        for (double y = 1; y < 9; y += 0.25) {
            const Color pixel = screen.At(x, y);
            if (pixel == hatchColor) ++hatched;
            if (pixel == Host().Background()) ++background;
            EXPECT_NE(pixel, kBlue);
        }
    }
    EXPECT_GT(hatched, 0);
    EXPECT_GT(background, 0);
}

}  // namespace
}  // namespace velorin::copylegend

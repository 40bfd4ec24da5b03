#include "copylegend/copy_legend_colors.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/qt/qimage_canvas.h"
#include "platform/objects/geometry.h"
#include "platform/objects/status_bar.h"
#include "tests/copylegend/legend_helpers.h"
#include "tests/support/host_and_user.h"
#include "tests/support/user_records.h"

namespace velorin::copylegend {
namespace {

using memory::Null;
using objects::MakePoint;
using objects::MakePolygon;
using objects::MakePolyline;
using testing::Color;
using testing::ColorOf;
using testing::kBlue;
using testing::kGreen;
using testing::kRed;

std::shared_ptr<host::IGeometry> ShapeAt(std::int32_t shapeType, double x, double y) {
    if (shapeType == host::esriGeometryPoint) return MakePoint(x + 5, y + 5);
    if (shapeType == host::esriGeometryPolyline) return MakePolyline({{{x, y}, {x + 10, y + 10}}});
    return MakePolygon({{{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}}});
}

// The colour a value or default symbol of the new legend draws with, and its kind.
struct Drawn {
    std::string kind;
    std::int32_t style = -1;
    double size = 0;
    std::shared_ptr<host::IColor> color;
};

Drawn Describe(const std::shared_ptr<host::ISymbol>& symbol) {
    if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) {
        return {"marker", marker->Style(), marker->Size(), marker->Color()};
    }
    if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) {
        return {"line", line->Style(), line->Width(), line->Color()};
    }
    if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) {
        return {"fill", fill->Style(), 0, fill->Color()};
    }
    return {"other", -1, 0, nullptr};
}

std::string KindFor(std::int32_t shapeType) {
    if (shapeType == host::esriGeometryPoint) return "marker";
    if (shapeType == host::esriGeometryPolyline) return "line";
    return "fill";
}

class CopyLegendEngine : public ::testing::Test {
  protected:
    // Source "NerroJunction": NerroID 1, 2, 3 drawn red, green, blue by a legend on
    // "Kind". Related "Catchment": JunctionID "1", "2", "9" (text).
    memory::HostBuilder& StandardMap(std::int32_t sourceShape = host::esriGeometryPoint,
                                     std::int32_t relatedShape = host::esriGeometryPolygon,
                                     const std::string& sourceDefinition = {}) {
        const auto& context = m_builder.Context();
        m_builder.Window(300, 200)
            .FeatureLayer("NerroJunction", sourceShape)
            .Field("NerroID", host::esriFieldTypeInteger)
            .Field("Kind", host::esriFieldTypeString)
            .Feature({1, "r"}, ShapeAt(sourceShape, 0, 30))
            .Feature({2, "g"}, ShapeAt(sourceShape, 20, 30))
            .Feature({3, "b"}, ShapeAt(sourceShape, 40, 30))
            .Renderer(testing::Legend(context, "Kind",
                                      {{"r", testing::SimpleSymbol(context, sourceShape, kRed)},
                                       {"g", testing::SimpleSymbol(context, sourceShape, kGreen)},
                                       {"b", testing::SimpleSymbol(context, sourceShape, kBlue)}}));
        if (!sourceDefinition.empty()) m_builder.Definition(sourceDefinition);
        m_builder.FeatureLayer("Catchment", relatedShape)
            .Field("JunctionID", host::esriFieldTypeString)
            .Feature({"1"}, ShapeAt(relatedShape, 0, 0))
            .Feature({"2"}, ShapeAt(relatedShape, 20, 0))
            .Feature({"9"}, ShapeAt(relatedShape, 40, 0));
        return m_builder;
    }

    void Build(std::unique_ptr<memory::Canvas> canvas = {}) {
        m_builder.Context()->recordProgress = true;
        m_run.emplace(m_builder.Build(std::move(canvas)));
    }

    memory::ReferenceHost& Host() { return m_run->Host(); }
    scripted::ScriptedUser& User() { return m_run->User(); }
    std::vector<std::string> BoxTexts() { return testing::BoxTexts(User()); }
    std::shared_ptr<host::IFeatureRenderer> RendererOf(const std::string& layer) {
        return Host().FeatureLayerNamed(layer)->Renderer();
    }
    bool ProgressShown() { return Host().StatusBar().Progressor()->Shown(); }

    bool Run(const std::string& sourceLayer = "NerroJunction",
             const std::string& sourceField = "NerroID",
             const std::string& relatedLayer = "Catchment",
             const std::string& relatedField = "JunctionID") {
        return CopyLegendColors(m_run->Application(), {.sourceLayer = sourceLayer,
                                                       .sourceField = sourceField,
                                                       .relatedLayer = relatedLayer,
                                                       .relatedField = relatedField});
    }

    std::shared_ptr<host::IUniqueValueRenderer> NewLegend(const std::string& layer = "Catchment") {
        return host::As<host::IUniqueValueRenderer>(RendererOf(layer));
    }

    std::vector<std::string> Values(const std::shared_ptr<host::IUniqueValueRenderer>& legend) {
        std::vector<std::string> values;
        for (std::int32_t i = 0; i < legend->ValueCount(); ++i) values.push_back(legend->Value(i));
        return values;
    }

    Color ValueColor(const std::string& value) {
        return ColorOf(Describe(NewLegend()->Symbol(value)).color);
    }

    std::vector<std::string> ProgressMessages() {
        std::vector<std::string> messages;
        for (const auto& record : Host().Record().progress) {
            if (record.event == "Message") messages.push_back(record.message);
        }
        return messages;
    }

    memory::HostBuilder m_builder;
    std::optional<testing::HostAndUser> m_run;
};

// ---- Validation -------------------------------------------------------------------------

struct ValidationCase {
    const char* name;
    const char* sourceLayer;
    const char* sourceField;
    const char* relatedLayer;
    const char* relatedField;
    const char* message;
};

class CopyLegendValidation : public CopyLegendEngine,
                             public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(CopyLegendValidation, ShowsOneBoxAndChangesNothing) {
    const ValidationCase& c = GetParam();
    StandardMap()
        .FeatureLayer("Plain", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Feature({1}, MakePoint(1, 1))
        .FeatureLayer("NoData", host::esriGeometryPolygon)
        .WithoutFeatureClass()
        .FeatureLayer("Wells", host::esriGeometryMultipoint)
        .Field("JunctionID", host::esriFieldTypeString)
        .GroupLayer("Hydro")
        .FeatureLayer("Rivers", host::esriGeometryPolyline)
        .Field("JunctionID", host::esriFieldTypeString)
        .EndGroup();
    Build();
    std::vector<std::shared_ptr<host::IFeatureRenderer>> before;
    for (const char* layer : {"NerroJunction", "Catchment", "Plain", "Wells"}) {
        before.push_back(RendererOf(layer));
    }
    const int redraws = Host().Record().redraws;

    EXPECT_TRUE(Run(c.sourceLayer, c.sourceField, c.relatedLayer, c.relatedField));

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.message});
    const auto box = User().MessageBoxes().at(0);
    EXPECT_EQ(box.title, "Velorin");
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(box.icon, ui::MsgIcon::None);
    std::size_t i = 0;
    for (const char* layer : {"NerroJunction", "Catchment", "Plain", "Wells"}) {
        EXPECT_EQ(RendererOf(layer), before[i++]) << layer;
    }
    // Refused before the progress bar and before any refresh.
    EXPECT_TRUE(Host().Record().progress.empty());
    EXPECT_EQ(Host().Record().redraws, redraws);
    EXPECT_EQ(Host().Record().contentsUpdates, 0);
}

constexpr const char* kSpecify = "You must specify both feature layers and key fields";

INSTANTIATE_TEST_SUITE_P(
    InOrder, CopyLegendValidation,
    ::testing::Values(
        ValidationCase{"EmptySourceLayer", "", "NerroID", "Catchment", "JunctionID", kSpecify},
        ValidationCase{"EmptySourceField", "NerroJunction", "", "Catchment", "JunctionID",
                       kSpecify},
        ValidationCase{"EmptyRelatedLayer", "NerroJunction", "NerroID", "", "JunctionID", kSpecify},
        ValidationCase{"EmptyRelatedFieldBeforeMissingLayers", "Nowhere", "NerroID", "Nowhere", "",
                       kSpecify},
        ValidationCase{"MissingSourceLayer", "Nowhere", "NerroID", "Catchment", "JunctionID",
                       "Could not find Nowhere"},
        ValidationCase{"SourceLayerNameIsCaseSensitive", "nerrojunction", "NerroID", "Catchment",
                       "JunctionID", "Could not find nerrojunction"},
        ValidationCase{"SourceLayerInsideAGroupIsNotFound", "Rivers", "JunctionID", "Catchment",
                       "JunctionID", "Could not find Rivers"},
        ValidationCase{"RelatedLayerInsideAGroupIsNotFound", "NerroJunction", "NerroID", "Rivers",
                       "JunctionID", "Could not find Rivers"},
        ValidationCase{"SourceWithoutFeatureClass", "NoData", "NerroID", "Catchment", "JunctionID",
                       "Feature class missing for NoData"},
        ValidationCase{"MissingSourceField", "NerroJunction", "Missing", "Catchment", "JunctionID",
                       "Could not find Missing field in NerroJunction"},
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
                       "type"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Colours carried across shapes ------------------------------------------------------

struct ShapePair {
    const char* name;
    std::int32_t source;
    std::int32_t related;
};

class CopyLegendShapes : public CopyLegendEngine,
                         public ::testing::WithParamInterface<ShapePair> {};

TEST_P(CopyLegendShapes, RelatedLegendHoldsOneValuePerKeyInTheSourceColours) {
    StandardMap(GetParam().source, GetParam().related);
    Build();
    const auto sourceLegend = RendererOf("NerroJunction");

    EXPECT_FALSE(Run());

    EXPECT_TRUE(BoxTexts().empty());
    const auto legend = NewLegend();
    ASSERT_TRUE(legend);
    EXPECT_EQ(legend->FieldCount(), 1);
    EXPECT_EQ(legend->Field(0), "JunctionID");
    EXPECT_TRUE(legend->FieldType(0));
    EXPECT_TRUE(legend->UseDefaultSymbol());
    EXPECT_EQ(legend->ColorScheme(), "Custom");
    EXPECT_EQ(Values(legend), (std::vector<std::string>{"1", "2", "3"}));

    const std::string kind = KindFor(GetParam().related);
    const Color expected[] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        const std::string value = legend->Value(i);
        EXPECT_EQ(legend->Heading(value), "JunctionID");
        EXPECT_EQ(legend->Label(value), value);
        const Drawn drawn = Describe(legend->Symbol(value));
        EXPECT_EQ(drawn.kind, kind) << value;
        EXPECT_EQ(ColorOf(drawn.color), expected[i]) << value;
        // Solid, and 12-point circles or 1-point lines.
        EXPECT_EQ(drawn.style, 0) << value;
        if (kind == "marker") {
            EXPECT_DOUBLE_EQ(drawn.size, 12);
        }
        if (kind == "line") {
            EXPECT_DOUBLE_EQ(drawn.size, 1);
        }
    }
    const Drawn fallback = Describe(legend->DefaultSymbol());
    EXPECT_EQ(fallback.kind, kind);
    const std::int32_t defaultStyle = kind == "marker" ? host::esriSMSX
                                      : kind == "line" ? host::esriSLSDash
                                                       : host::esriSFSBackwardDiagonal;
    EXPECT_EQ(fallback.style, defaultStyle);

    const auto related = Host().FeatureLayerNamed("Catchment");
    EXPECT_EQ(related->DisplayField(), "JunctionID");
    EXPECT_EQ(related->RendererPropertyPageClassID(),
              std::string(objects::UniqueValuePropertyPageClassID));
    // The Source layer keeps its legend.
    EXPECT_EQ(RendererOf("NerroJunction"), sourceLegend);
}

INSTANTIATE_TEST_SUITE_P(
    EveryShape, CopyLegendShapes,
    ::testing::Values(
        ShapePair{"PointsToPolygons", host::esriGeometryPoint, host::esriGeometryPolygon},
        ShapePair{"PolygonsToPoints", host::esriGeometryPolygon, host::esriGeometryPoint},
        ShapePair{"LinesToLines", host::esriGeometryPolyline, host::esriGeometryPolyline},
        ShapePair{"PointsToPoints", host::esriGeometryPoint, host::esriGeometryPoint},
        ShapePair{"PolygonsToLines", host::esriGeometryPolygon, host::esriGeometryPolyline},
        ShapePair{"LinesToPolygons", host::esriGeometryPolyline, host::esriGeometryPolygon}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CopyLegendEngine, CompletedRunShowsProgressPerFeatureThenHidesItRefreshesAndUpdates) {
    StandardMap();
    Build();
    const int redraws = Host().Record().redraws;

    EXPECT_FALSE(Run());

    EXPECT_EQ(ProgressMessages(),
              (std::vector<std::string>{"Processing feature 1 of 3...Hit Esc to Cancel",
                                        "Processing feature 2 of 3...Hit Esc to Cancel",
                                        "Processing feature 3 of 3...Hit Esc to Cancel"}));
    // Range and position set before the bar shows; each feature's message
    // comes after that feature, before its step; the bar hides last.
    std::vector<std::string> calls;
    for (const auto& record : Host().Record().progress) {
        calls.push_back(record.event + " " + std::to_string(record.position));
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"Range 0", "Range 0", "Position 0", "Show 0",
                                               "Message 0", "Step 1", "Message 1", "Step 2",
                                               "Message 2", "Step 3", "Hide 3"}));
    EXPECT_FALSE(ProgressShown());
    const auto bar = Host().StatusBar().Progressor();
    EXPECT_EQ(bar->MinRange(), 0);
    EXPECT_EQ(bar->MaxRange(), 3);
    EXPECT_EQ(bar->StepValue(), 1);
    EXPECT_GT(Host().Record().redraws, redraws);
    EXPECT_EQ(Host().Record().contentsUpdates, 1);
    EXPECT_EQ(User().CancelChecks(), 3);
}

// ---- The walk ------------------------------------------------------------------------------

TEST_F(CopyLegendEngine, FirstSourceFeatureWithAKeyDecidesItsColour) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeString)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({"7", "g"})
        .Feature({"7", "r"})
        .Feature({"8", "r"})
        .Feature({"8", "g"})
        .Renderer(testing::Legend(
            context, "Kind",
            {{"r", testing::SimpleSymbol(context, host::esriGeometryPoint, kRed)},
             {"g", testing::SimpleSymbol(context, host::esriGeometryPoint, kGreen)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    Build();

    EXPECT_FALSE(Run());

    EXPECT_EQ(Values(NewLegend()), (std::vector<std::string>{"7", "8"}));
    EXPECT_EQ(ValueColor("7"), kGreen);
    EXPECT_EQ(ValueColor("8"), kRed);
}

TEST_F(CopyLegendEngine, KeysCompareExactlyWithLetterCaseAndNullKeysAreSkippedButCounted) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeString)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({"abc", "r"})
        .Feature({Null, "g"})
        .Feature({"ABC", "g"})
        .Feature({"abc ", "b"})
        .Feature({"abc", "b"})
        .Renderer(testing::Legend(
            context, "Kind",
            {{"r", testing::SimpleSymbol(context, host::esriGeometryPoint, kRed)},
             {"g", testing::SimpleSymbol(context, host::esriGeometryPoint, kGreen)},
             {"b", testing::SimpleSymbol(context, host::esriGeometryPoint, kBlue)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    Build();

    EXPECT_FALSE(Run());

    EXPECT_EQ(Values(NewLegend()), (std::vector<std::string>{"abc", "ABC", "abc "}));
    EXPECT_EQ(ValueColor("abc"), kRed);
    EXPECT_EQ(ValueColor("ABC"), kGreen);
    EXPECT_EQ(ProgressMessages().back(), "Processing feature 5 of 5...Hit Esc to Cancel");
    EXPECT_EQ(ProgressMessages().at(1), "Processing feature 2 of 5...Hit Esc to Cancel");
}

TEST_F(CopyLegendEngine, NumericSourceKeysMatchTextRelatedKeysThroughTheSharedTextForm) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeDouble)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({1.5, "r"})
        .Feature({300.0, "g"})
        .Renderer(testing::Legend(
            context, "Kind",
            {{"r", testing::SimpleSymbol(context, host::esriGeometryPoint, kRed)},
             {"g", testing::SimpleSymbol(context, host::esriGeometryPoint, kGreen)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString)
        .Feature({"1.5"})
        .Feature({"300"})
        .Feature({"300.0"})
        .FeatureLayer("Basins", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({300});
    Build();

    EXPECT_FALSE(Run());
    EXPECT_FALSE(Run("NerroJunction", "NerroID", "Basins", "JunctionID"));

    // The string-field flag follows the Related field only.
    EXPECT_TRUE(NewLegend()->FieldType(0));
    EXPECT_FALSE(NewLegend("Basins")->FieldType(0));

    const auto catchment = Host().FeatureLayerNamed("Catchment");
    const auto cursor = catchment->Search(nullptr, false);
    std::vector<Color> colors;
    const auto legend = RendererOf("Catchment");
    while (const auto feature = cursor->NextFeature()) {
        const Drawn drawn = Describe(legend->SymbolByFeature(feature));
        colors.push_back(drawn.style == host::esriSFSSolid ? ColorOf(drawn.color) : Color{-1});
    }
    EXPECT_EQ(colors, (std::vector<Color>{kRed, kGreen, Color{-1}}));

    const auto basin = Host().FeatureLayerNamed("Basins")->Search(nullptr, false)->NextFeature();
    EXPECT_EQ(ColorOf(Describe(RendererOf("Basins")->SymbolByFeature(basin)).color), kGreen);
}

TEST_F(CopyLegendEngine, ValueSymbolsHoldCopiesOfTheSourceColours) {
    StandardMap();
    Build();
    const auto sourceLegend = host::As<host::IUniqueValueRenderer>(RendererOf("NerroJunction"));
    const auto sourceColor = host::As<host::IRgbColor>(Describe(sourceLegend->Symbol("r")).color);

    EXPECT_FALSE(Run());

    const auto copied = Describe(NewLegend()->Symbol("1")).color;
    EXPECT_NE(copied, sourceColor);
    sourceColor->SetRed(0);
    EXPECT_EQ(ValueColor("1"), kRed);
}

TEST_F(CopyLegendEngine, ASourceLayerWithoutFeaturesInstallsALegendWithoutValues) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Renderer(testing::Legend(context, "NerroID", {}))
        .FeatureLayer("Catchment", host::esriGeometryPolyline)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({1}, ShapeAt(host::esriGeometryPolyline, 0, 0));
    Build();

    EXPECT_FALSE(Run());

    const auto legend = NewLegend();
    ASSERT_TRUE(legend);
    EXPECT_EQ(legend->ValueCount(), 0);
    const auto feature =
        Host().FeatureLayerNamed("Catchment")->Search(nullptr, false)->NextFeature();
    EXPECT_EQ(Describe(RendererOf("Catchment")->SymbolByFeature(feature)).style, host::esriSLSDash);
    EXPECT_TRUE(ProgressMessages().empty());
    EXPECT_FALSE(ProgressShown());
}

TEST_F(CopyLegendEngine, ALayerSearchNarrowerThanItsClassEndsTheCounterBelowN) {
    StandardMap(host::esriGeometryPoint, host::esriGeometryPolygon, "Kind = 'g'");
    Build();

    EXPECT_FALSE(Run());

    EXPECT_EQ(Values(NewLegend()), std::vector<std::string>{"2"});
    EXPECT_EQ(ProgressMessages(),
              std::vector<std::string>{"Processing feature 1 of 3...Hit Esc to Cancel"});
}

TEST_F(CopyLegendEngine, TheSameLayerAsSourceAndRelatedIsKeyedAgainInItsOldColours) {
    StandardMap();
    Build();

    EXPECT_FALSE(Run("NerroJunction", "NerroID", "NerroJunction", "NerroID"));

    const auto legend = NewLegend("NerroJunction");
    EXPECT_EQ(legend->Field(0), "NerroID");
    EXPECT_FALSE(legend->FieldType(0));
    EXPECT_EQ(ColorOf(Describe(legend->Symbol("1")).color), kRed);
    EXPECT_EQ(ColorOf(Describe(legend->Symbol("3")).color), kBlue);
}

// ---- Esc and errors ------------------------------------------------------------------------

TEST_F(CopyLegendEngine, EscAtTheFirstCheckAddsNothingButStillHidesTheBarAndRefreshes) {
    StandardMap();
    Build();
    const auto before = RendererOf("Catchment");
    const auto pageBefore = Host().FeatureLayerNamed("Catchment")->RendererPropertyPageClassID();
    const int redraws = Host().Record().redraws;
    User().EscBeforeCancelCheck(1);

    EXPECT_TRUE(Run());

    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_EQ(Host().FeatureLayerNamed("Catchment")->RendererPropertyPageClassID(), pageBefore);
    EXPECT_TRUE(ProgressMessages().empty());
    EXPECT_EQ(Host().Record().progress.back().event, "Hide");
    EXPECT_GT(Host().Record().redraws, redraws);
    EXPECT_EQ(Host().Record().contentsUpdates, 1);
    EXPECT_EQ(User().CancelChecks(), 1);
    User().CheckFinished();
}

TEST_F(CopyLegendEngine, EscLaterStopsAtThatCheckWithTheRendererUntouched) {
    StandardMap();
    Build();
    const auto before = RendererOf("Catchment");
    User().EscBeforeCancelCheck(3);

    EXPECT_TRUE(Run());

    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 2U);
    EXPECT_FALSE(ProgressShown());
}

TEST_F(CopyLegendEngine, ANonSimpleSourceSymbolRaises2021AndSkipsTheFinish) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({1, "r"})
        .Feature({1, "pic"})
        .Feature({2, "r"})
        .Renderer(
            testing::Legend(context, "Kind",
                            {{"r", testing::SimpleSymbol(context, host::esriGeometryPoint, kRed)},
                             {"pic", std::make_shared<objects::PictureMarkerSymbol>(context)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    Build();
    const auto before = RendererOf("Catchment");
    const int redraws = Host().Record().redraws;

    // The feature's key "1" is already known: the symbol is asked for all the same.
    try {
        Run();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 2021);
        EXPECT_EQ(error.Description(), "Symbol type must be simple");
    }

    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 1U);
    EXPECT_TRUE(ProgressShown());
    EXPECT_EQ(Host().Record().redraws, redraws);
    EXPECT_EQ(Host().Record().contentsUpdates, 0);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(CopyLegendEngine, AColourThatCannotBeCopiedStopsTheRunEvenForAKnownKey) {
    const auto& context = m_builder.Context();
    m_builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({1, "r"})
        .Feature({1, "r"})
        .Feature({2, "r"})
        .Renderer(
            testing::Legend(context, "Kind",
                            {{"r", testing::SimpleSymbol(context, host::esriGeometryPoint, kRed)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    Build();
    const auto before = RendererOf("Catchment");
    // The second feature's key is already known: its colour is copied all the same.
    Host().FailAt("IClone::Clone", 2, host::E_HOST_FAIL, "no copy");

    try {
        Run();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Description(), "no copy");
    }
    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_EQ(ProgressMessages().size(), 1U);
}

TEST_F(CopyLegendEngine, AFailingHostCallEndsTheRunWithTheRendererUntouched) {
    StandardMap();
    Build();
    const auto before = RendererOf("Catchment");
    Host().FailAt("IGeoFeatureLayer::SetDisplayField", 1, host::E_HOST_FAIL, "disk gone");
    Host().FailAt("IUniqueValueRenderer::AddValue", 2, host::E_HOST_FAIL, "out of memory");

    try {
        Run();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "out of memory");
    }
    EXPECT_EQ(RendererOf("Catchment"), before);
}

// ---- What the user sees ----------------------------------------------------------------------

TEST_F(CopyLegendEngine, RedrawnScreenShowsRelatedFeaturesInTheirSourceColours) {
    StandardMap(host::esriGeometryPoint, host::esriGeometryPolygon);
    Build(memory::MakeQImageCanvas(300, 200));

    EXPECT_FALSE(Run());

    const auto& view = Host().View();
    const auto pixelAt = [&](double x, double y) {
        const memory::PixelXY p = view.ToPixel({x, y});
        return view.Screen().Pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    };
    const auto rgb = [](Color c) {
        return objects::Rgb{static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
                            static_cast<std::uint8_t>(c.blue)};
    };
    // Inside each polygon, away from its outline.
    EXPECT_EQ(pixelAt(3, 3), rgb(kRed));
    EXPECT_EQ(pixelAt(27, 6), rgb(kGreen));

    // Key "9" has no Source feature: the default hatch, in the host's default
    // fill colour over the background, and no Source colour anywhere in it.
    const auto hatch = Describe(NewLegend()->DefaultSymbol());
    const objects::Rgb hatchColor = objects::Rgb::FromHost(hatch.color->RGB());
    int hatched = 0;
    int background = 0;
    for (double x = 41; x < 49; x += 0.25) {
        for (double y = 1; y < 9; y += 0.25) {
            const objects::Rgb pixel = pixelAt(x, y);
            if (pixel == hatchColor) ++hatched;
            if (pixel == memory::MapView::Background) ++background;
            EXPECT_NE(pixel, rgb(kBlue));
        }
    }
    EXPECT_GT(hatched, 0);
    EXPECT_GT(background, 0);
}

}  // namespace
}  // namespace velorin::copylegend

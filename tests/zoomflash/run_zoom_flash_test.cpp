#include "zoomflash/run_zoom_flash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <tuple>

#include "tests/zoomflash/zoom_flash_fixture.h"
#include "zoomflash/zoom_flash_feature.h"
#include "zoomflash/zoom_flash_parameters.h"

namespace velorin::zoomflash {
namespace {

using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using objects::MakePoint;
using objects::MakePolygon;
using testing::HostMaker;
using testing::MapPlan;
using velorin::testing::Square;

const std::string kPause1 = "Paused at Catchment OID = 1.  Click OK to continue.";

MapPlan Catchments() {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Owner", esriFieldTypeString)
        .Feature({1, "O'Brien"}, MakePolygon({Square(0, 0, 10)}))
        .Feature({2, "x' OR 'a'='a"}, MakePolygon({Square(20, 0, 10)}))
        .Feature({3, "Nobody"}, MakePolygon({Square(40, 0, 10)}))
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Owner", esriFieldTypeString)
        .Feature({1, "O'Brien"}, MakePoint(5, 5))
        .Feature({2, "x' OR 'a'='a"}, MakePoint(25, 5))
        .Feature({2, "x"}, MakePoint(26, 6))
        .Feature({9, "a"}, MakePoint(60, 60))
        .FeatureLayer("Empty", esriGeometryPoint)
        .FeatureLayer("Orphan", esriGeometryPoint)
        .WithoutFeatureClass()
        .GroupLayer("Hydro")
        .FeatureLayer("Streams", host::esriGeometryPolyline)
        .Field("NerroID", esriFieldTypeInteger)
        .EndGroup();
    return map;
}

// Source only, Full Envelope, times in ms.
ZoomFlashParameters SourceOnly() {
    ZoomFlashParameters p;
    p.sourceLayer = "Catchment";
    p.sourceFlashTime = 100;
    p.zoomMethod = kZoomFullEnvelope;
    p.zoomFactor = 1.5;
    p.zoomWidth = 10;
    return p;
}

ZoomFlashParameters WithRelated(const std::string& field = "NerroID") {
    ZoomFlashParameters p = SourceOnly();
    p.sourceField = field;
    p.relatedLayer = "NerroJunction";
    p.relatedField = field;
    p.relatedFlashTime = 200;
    return p;
}

// What the engine's suites share, whatever their parameters.
class EngineOnHost : public testing::ZoomFlashOnHost {
  protected:
    // Runs the engine; returns `interrupted`.
    bool RunEngine(const ZoomFlashParameters& p) {
        const ZoomFlashOutcome outcome = RunZoomFlash(Application(), p, m_sourceSet);
        m_sourceSet = outcome.sourceSet;
        return outcome.interrupted;
    }

    // The object ids of the features that got a status text, in order.
    std::vector<std::string> VisitedStatus() {
        std::vector<std::string> visited;
        for (const std::string& text : User().StatusTexts()) {
            if (!text.empty() && (visited.empty() || visited.back() != text)) {
                visited.push_back(text);
            }
        }
        return visited;
    }

    static std::string Status(int oid) {
        return "Zooming to Source Feature OID = " + std::to_string(oid) + " ..Hit Esc to Pause";
    }

    std::shared_ptr<host::ISet> m_sourceSet;
};

class ZoomFlashEngine : public EngineOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override {
        Start(GetParam());
        Use(Catchments());
    }
};

INSTANTIATE_TEST_SUITE_P(Hosts, ZoomFlashEngine, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

struct ValidationCase {
    const char* name;
    std::function<void(ZoomFlashParameters&)> change;
    const char* message;
    ui::MsgIcon icon;
};

void PrintTo(const ValidationCase& c, std::ostream* out) { *out << c.name; }

class EngineValidation : public testing::ZoomFlashCases<ValidationCase, EngineOnHost> {
  protected:
    void SetUp() override {
        ZoomFlashCases::SetUp();
        Use(Catchments());
    }
};

TEST_P(EngineValidation, ShowsOneBoxAndDoesNothingElse) {
    const ValidationCase& c = TheCase();
    ZoomFlashParameters p = SourceOnly();
    c.change(p);

    EXPECT_FALSE(RunEngine(p));

    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    const auto box = User().MessageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.icon, c.icon);
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(box.title, "Velorin");
    EXPECT_TRUE(Extents().empty());
    EXPECT_TRUE(User().StatusTexts().empty());
}

constexpr auto kCritical = ui::MsgIcon::Critical;

const ValidationCase kValidationCases[] = {
    {"UnknownSourceLayer", [](auto& p) { p.sourceLayer = "Nope"; }, "Could not find Nope",
     kCritical},
    {"SourceLayerNameIsExact", [](auto& p) { p.sourceLayer = "catchment"; },
     "Could not find catchment", kCritical},
    {"SourceWithoutClass", [](auto& p) { p.sourceLayer = "Orphan"; },
     "Feature class missing for Orphan", kCritical},
    {"UnknownRelatedLayer",
     [](auto& p) {
         p = WithRelated();
         p.relatedLayer = "Rivers";
     },
     "Could not find Rivers", kCritical},
    {"RelatedWithoutClass",
     [](auto& p) {
         p = WithRelated();
         p.relatedLayer = "Orphan";
     },
     "Feature class missing for Orphan", kCritical},
    {"KeyFieldWithoutRelatedField",
     [](auto& p) {
         p = WithRelated();
         p.relatedField.clear();
     },
     "When specifying a source key field, a related layer and key field must also be specified",
     kCritical},
    {"NegativeSourceTime", [](auto& p) { p.sourceFlashTime = -1; },
     "A non-negative value must be used for the source feature flash time", kCritical},
    {"NegativeRelatedTime", [](auto& p) { p.relatedFlashTime = -1; },
     "A non-negative value must be used for the related feature flash time", kCritical},
    {"MethodZero", [](auto& p) { p.zoomMethod = 0; }, "Invalid Flash Method", ui::MsgIcon::None},
    {"MethodFour", [](auto& p) { p.zoomMethod = 4; }, "Invalid Flash Method", ui::MsgIcon::None},
    {"NegativeFactor", [](auto& p) { p.zoomFactor = -0.5; },
     "Envelope zoom factor cannot be negative", kCritical},
    {"NegativeWidthWithFullEnvelopeOnly", [](auto& p) { p.zoomWidth = -1; },
     "Point zoom value cannot be negative", kCritical},
};

INSTANTIATE_TEST_SUITE_P(Hosts, EngineValidation,
                         ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                                            ::testing::ValuesIn(kValidationCases)),
                         velorin::testing::HostCaseName<ValidationCase>);

// Where a host's grouped layers are not layers of the map, a Related layer
// inside a group is not found; where they are, the run searches it.
TEST_P(ZoomFlashEngine, ARelatedLayerInsideAGroupIsFoundExactlyWhereGroupedLayersAreMapLayers) {
    ZoomFlashParameters p = WithRelated();
    p.relatedLayer = "Streams";
    const bool found = Host().Traits().groupedLayersAreMapLayers.differs;

    EXPECT_FALSE(RunEngine(p));

    EXPECT_EQ(BoxTexts(), found ? std::vector<std::string>{}
                                : std::vector<std::string>{"Could not find Streams"});
    EXPECT_EQ(Extents().size(), found ? 3U : 0U);
}

TEST_P(ZoomFlashEngine, HostCallsFollowTheRunsStepsInOrder) {
    Host().Select("Catchment", {2});
    Context().faults.LogCalls(true);

    EXPECT_FALSE(RunEngine(WithRelated()));

    // Each step's first host call, in the order of their first calls: the layers
    // and the run's tracker, the Source features gathered into a set, then per
    // feature the pause text's id and check A, the key and the Related search,
    // the status text, the zoom and its redraw, the flashes, and the status bar
    // cleared at the end.
    const std::vector<std::string> steps = {"IMxDocument::FocusMap",
                                            "IFeatureLayer::FeatureClass",
                                            "IObjectFactory::NewCancelTracker",
                                            "IFeatureSelection::SelectionSet",
                                            "IObjectFactory::NewSet",
                                            "ISet::Reset",
                                            "IRow::OID",
                                            "ITrackCancel::Continue",
                                            "IObjectFactory::NewGeometryBag",
                                            "IQueryFilter::SetWhereClause",
                                            "IFeatureLayer::Search",
                                            "IStatusBar::Message",
                                            "IActiveView::SetExtent",
                                            "IScreenDisplay::Invalidate",
                                            "IDisplay::StartDrawing",
                                            "IDisplay::FinishDrawing"};
    EXPECT_EQ(velorin::testing::FirstCallsOf(steps, Context().faults.Calls()), steps);
    // The last status text set clears the bar.
    ASSERT_FALSE(User().StatusTexts().empty());
    EXPECT_EQ(User().StatusTexts().back(), "");
}

TEST_P(ZoomFlashEngine, EmptySuppliedSetIsRefused) {
    m_sourceSet = Factory().NewSet();
    EXPECT_FALSE(RunEngine(SourceOnly()));
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"No features supplied in Source Set"}));
    EXPECT_TRUE(Extents().empty());
}

TEST_P(ZoomFlashEngine, ZeroIsAcceptedForTimesFactorAndWidth) {
    ZoomFlashParameters p = SourceOnly();
    p.sourceFlashTime = 0;
    p.zoomFactor = 0;
    p.zoomWidth = 0;
    EXPECT_FALSE(RunEngine(p));
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{0, 0, 0}));
}

TEST_P(ZoomFlashEngine, VisitsEveryFeatureInTableOrderAndClearsTheStatus) {
    EXPECT_FALSE(RunEngine(SourceOnly()));

    EXPECT_EQ(VisitedStatus(), (std::vector<std::string>{Status(1), Status(2), Status(3)}));
    EXPECT_EQ(User().StatusTexts().back(), "");
    EXPECT_EQ(FlashesChecked(), 3);
    EXPECT_EQ(FlashesShown(), 3);
    // The set the engine built is left for the caller.
    ASSERT_TRUE(m_sourceSet);
    EXPECT_EQ(m_sourceSet->Count(), 3);
}

TEST_P(ZoomFlashEngine, SelectionAloneIsVisitedInSelectionOrder) {
    Host().Select("Catchment", {3, 1});
    EXPECT_FALSE(RunEngine(SourceOnly()));
    EXPECT_EQ(VisitedStatus(), (std::vector<std::string>{Status(1), Status(3)}));
}

TEST_P(ZoomFlashEngine, SuppliedSetIsVisitedInsteadOfTheLayer) {
    m_sourceSet = Factory().NewSet();
    m_sourceSet->Add(FeatureOf("Catchment", 2));
    EXPECT_FALSE(RunEngine(SourceOnly()));
    EXPECT_EQ(VisitedStatus(), (std::vector<std::string>{Status(2)}));
}

TEST_P(ZoomFlashEngine, EmptyLayerVisitsNothingAndClearsTheStatus) {
    ZoomFlashParameters p = SourceOnly();
    p.sourceLayer = "Empty";
    EXPECT_FALSE(RunEngine(p));
    EXPECT_EQ(User().StatusTexts(), (std::vector<std::string>{""}));
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_P(ZoomFlashEngine, KeyFieldSkipsTheOtherChecksSoMethodZeroOnlyWritesStatus) {
    ZoomFlashParameters p = WithRelated();
    p.zoomMethod = 0;
    EXPECT_FALSE(RunEngine(p));
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_TRUE(Extents().empty());
    EXPECT_EQ(VisitedStatus(), (std::vector<std::string>{Status(1), Status(2), Status(3)}));
}

TEST_P(ZoomFlashEngine, NegativeTimesPassedWithAKeyFieldNeverWait) {
    ZoomFlashParameters p = WithRelated();
    p.sourceFlashTime = -5;
    p.relatedFlashTime = -32768;

    EXPECT_FALSE(RunEngine(p));

    EXPECT_TRUE(User().Sleeps().empty());
    // Catchments 1 and 2 with their junctions, catchment 3 alone.
    EXPECT_EQ(FlashesChecked(), 2 + 3 + 1);
}

TEST_P(ZoomFlashEngine, NegativeZoomFactorPassedWithAKeyFieldEndsTheRunWithTheHostsError) {
    ZoomFlashParameters p = WithRelated();
    p.zoomFactor = -2;
    EXPECT_THROW(RunEngine(p), Error);
    EXPECT_TRUE(Extents().empty());
}

TEST_P(ZoomFlashEngine, TextKeysMatchExactlyQuotesAndSqlLikeTextIncluded) {
    // Related flashes (200 ms) per catchment, method 1: O'Brien finds its one
    // junction, the SQL-like key only the junction with that very text, Nobody none.
    EXPECT_FALSE(RunEngine(WithRelated("Owner")));
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{100, 200, 100, 200, 100}));
    EXPECT_TRUE(BoxTexts().empty());
}

// Both layers are read through their definition queries: a Source feature or a
// Related feature the query hides is neither visited nor flashed.
TEST_P(ZoomFlashEngine, DefinitionQueriesNarrowTheSourceAndTheRelatedFeatures) {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Kind", esriFieldTypeString)
        .Feature({1, "shown"}, MakePolygon({Square(0, 0, 10)}))
        .Feature({2, "hidden"}, MakePolygon({Square(20, 0, 10)}))
        .Feature({2, "shown"}, MakePolygon({Square(40, 0, 10)}))
        .Definition("Kind = 'shown'")
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Kind", esriFieldTypeString)
        .Feature({2, "hidden"}, MakePoint(41, 1))
        .Feature({2, "shown"}, MakePoint(42, 2))
        .Definition("Kind = 'shown'");
    Use(map);

    EXPECT_FALSE(RunEngine(WithRelated()));

    EXPECT_EQ(VisitedStatus(), (std::vector<std::string>{Status(1), Status(3)}));
    // Catchment 3 with the one junction its query shows.
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{100, 100, 200}));
}

TEST_P(ZoomFlashEngine, EscThenOkPausesOnceAndGoesOn) {
    User().EscBeforeCancelCheck(1);
    User().AnswerNext(ui::MsgResult::Ok);

    EXPECT_FALSE(RunEngine(SourceOnly()));

    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    const auto pause = User().MessageBoxes()[0];
    EXPECT_EQ(pause.text, kPause1);
    EXPECT_EQ(pause.title, "Paused");
    EXPECT_EQ(pause.buttons, ui::MsgButtons::OkCancel);
    EXPECT_EQ(pause.icon, ui::MsgIcon::None);
    EXPECT_EQ(VisitedStatus().size(), 3U);
    EXPECT_EQ(User().StatusTexts().back(), "");
    User().CheckFinished();
}

TEST_P(ZoomFlashEngine, EscDuringAFlashGivesOnePauseNotTwo) {
    User().EscDuringSleep(1);  // the Source flash of catchment 1
    User().AnswerNext(ui::MsgResult::Ok);
    ZoomFlashParameters p = WithRelated();

    EXPECT_FALSE(RunEngine(p));

    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kPause1}));
    EXPECT_EQ(VisitedStatus().size(), 3U);
    User().CheckFinished();
}

TEST_P(ZoomFlashEngine, CancelAtCheckALeavesInterruptedAndTheStatusAsTheyWere) {
    User().EscBeforeCancelCheck(1);
    User().AnswerNext(ui::MsgResult::Cancel);

    EXPECT_FALSE(RunEngine(SourceOnly()));

    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kPause1}));
    EXPECT_TRUE(User().StatusTexts().empty());
    EXPECT_TRUE(Extents().empty());
}

TEST_P(ZoomFlashEngine, CancelAtCheckBEndsInterruptedWithoutClearingTheStatus) {
    // Checks: A of feature 1, the feature's own four, then B.
    User().EscBeforeCancelCheck(4);
    User().AnswerNext(ui::MsgResult::Cancel);

    EXPECT_TRUE(RunEngine(SourceOnly()));

    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kPause1}));
    EXPECT_EQ(User().StatusTexts().back(), Status(1));
    EXPECT_EQ(VisitedStatus().size(), 1U);
}

TEST_P(ZoomFlashEngine, UnfinishedFeaturesPauseAfterTheirLookupMessage) {
    User().AnswerAlways("Paused at", ui::MsgResult::Ok);
    ZoomFlashParameters p = WithRelated();
    p.sourceField = "JunctionID";

    EXPECT_FALSE(RunEngine(p));

    const std::string missing = "Could not find JunctionID field in source feature";
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{
                  missing, kPause1, missing, "Paused at Catchment OID = 2.  Click OK to continue.",
                  missing, "Paused at Catchment OID = 3.  Click OK to continue."}));
    EXPECT_EQ(User().StatusTexts(), (std::vector<std::string>{""}));
}

TEST_P(ZoomFlashEngine, EscDuringAnUnfinishedFeatureIsTakenByItsOwnPause) {
    // Esc pressed while feature 1 shows its lookup message: the pause after
    // feature 1 takes it, so feature 2 gets no pause of its own before it starts.
    User().AnswerAlways("Paused at", ui::MsgResult::Ok);
    User().EscBeforeCancelCheck(2);
    ZoomFlashParameters p = WithRelated();
    p.sourceField = "JunctionID";

    EXPECT_FALSE(RunEngine(p));

    int pauses = 0;
    for (const auto& box : User().MessageBoxes()) pauses += box.title == "Paused" ? 1 : 0;
    EXPECT_EQ(pauses, 3);
    EXPECT_EQ(User().PendingEscPresses(), 0);
}

TEST_P(ZoomFlashEngine, NonNumberKeyAgainstANumericFieldEndsTheRun) {
    ZoomFlashParameters p = WithRelated();
    p.sourceField = "Owner";
    try {
        RunEngine(p);
        ADD_FAILURE() << "the run went on";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 13);
        EXPECT_NE(error.Description().find("O'Brien"), std::string::npos);
        EXPECT_NE(error.Description().find("NerroID"), std::string::npos);
    }
    EXPECT_TRUE(User().Sleeps().empty());
}

TEST_P(ZoomFlashEngine, HostErrorOnAFeatureReachesTheCallerAsRaised) {
    // The centre of a point this far out is beyond the double range.
    MapPlan far;
    far.Window(200, 150)
        .FeatureLayer("Far", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({1}, MakePoint(5, 5))
        .Feature({2}, MakePoint(1.7e308, 5));
    Use(far);
    Host().Select("Far", {2});
    ZoomFlashParameters p = SourceOnly();
    p.sourceLayer = "Far";
    try {
        RunEngine(p);
        ADD_FAILURE() << "the run went on";
    } catch (const Error& error) {
        // Number and text as the host raised them; the feature is named by the
        // status bar, which the error leaves as it was.
        EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
        EXPECT_EQ(error.Description(), "CenterAt x must be a finite number");
    }
    EXPECT_EQ(VisitedStatus(), std::vector<std::string>{Status(2)});
}

}  // namespace
}  // namespace velorin::zoomflash

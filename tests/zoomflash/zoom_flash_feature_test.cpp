#include "zoomflash/zoom_flash_feature.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <tuple>
#include <vector>

#include "tests/zoomflash/zoom_flash_fixture.h"
#include "zoomflash/related_where_clause.h"

namespace velorin::zoomflash {
namespace {

using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using host::esriGeometryPolyline;
using objects::MakePoint;
using objects::MakePolygon;
using testing::HostMaker;
using testing::MapPlan;
using velorin::testing::Null;
using velorin::testing::Square;

constexpr std::int16_t kSourceMs = 100;
constexpr std::int16_t kRelatedMs = 200;

// What the step's suites share, whatever their parameters.
class FeatureOnHost : public testing::ZoomFlashOnHost {
  protected:
    // Runs the step for one Source feature; returns `interrupted`.
    bool Visit(const std::string& layer, std::int32_t oid, const std::string& sourceField,
               std::int32_t method, double factor = 1.0, double width = 6.0,
               const std::string& relatedLayer = "Lakes",
               const std::string& relatedField = "NerroID") {
        const ZoomFlashParameters parameters{.sourceLayer = layer,
                                             .sourceField = sourceField,
                                             .relatedLayer = relatedLayer,
                                             .relatedField = relatedField,
                                             .sourceFlashTime = kSourceMs,
                                             .relatedFlashTime = kRelatedMs,
                                             .zoomMethod = method,
                                             .zoomFactor = factor,
                                             .zoomWidth = width};
        return ZoomFlashFeature(FeatureOf(layer, oid), Application(), parameters);
    }
};

class ZoomFlashFeatureTest : public FeatureOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, ZoomFlashFeatureTest,
                         ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

template <class Case>
using FeatureCases = testing::ZoomFlashCases<Case, FeatureOnHost>;

// A catchment with two related lakes (and one lake of another catchment), wells
// on their own, and three junctions related to the catchment.
MapPlan Basin() {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({7}, MakePolygon({Square(0, 0, 10)}))
        .Feature({Null}, MakePolygon({Square(50, 50, 10)}))
        .Feature({7})
        .Feature({9})
        .FeatureLayer("Lakes", esriGeometryPolygon)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({7}, MakePolygon({Square(20, 0, 5)}))
        .Feature({8}, MakePolygon({Square(90, 90, 5)}))
        .Feature({7}, MakePolygon({Square(0, 20, 5)}))
        .FeatureLayer("Junctions", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({7}, MakePoint(10, 10))
        .Feature({7}, MakePoint(20, 30))
        .Feature({7}, MakePoint(40, 5))
        .FeatureLayer("Wells", esriGeometryPoint)
        .Feature({}, MakePoint(50, 40))
        .FeatureLayer("Roads", esriGeometryPolyline)
        .Feature({}, objects::MakePolyline({{{10, 60}, {30, 60}}}))
        .Feature({}, objects::MakePolyline({{{70, 10}, {70, 30}}}))
        .FeatureLayer("Streams", esriGeometryPolyline)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({7}, objects::MakePolyline({{{30, 40}, {34, 50}}}))
        .FeatureLayer("Orphans", esriGeometryPolygon)
        .WithoutFeatureClass();
    return map;
}

TEST_P(ZoomFlashFeatureTest, PointWithFullEnvelopeKeepsTheViewSizeCentredAndDoublesIt) {
    Use(Basin());
    const auto before = View()->Extent();

    EXPECT_FALSE(Visit("Wells", 1, "", kZoomFullEnvelope, 2.0));
    ASSERT_EQ(Extents().size(), 1U);
    const objects::ExtentRecord first = Extents()[0];
    EXPECT_DOUBLE_EQ(first.xMax - first.xMin, 2 * before->Width());
    EXPECT_DOUBLE_EQ(first.yMax - first.yMin, 2 * before->Height());
    EXPECT_DOUBLE_EQ((first.xMin + first.xMax) / 2, 50);
    EXPECT_DOUBLE_EQ((first.yMin + first.yMax) / 2, 40);

    EXPECT_FALSE(Visit("Wells", 1, "", kZoomFullEnvelope, 2.0));
    ASSERT_EQ(Extents().size(), 2U);
    EXPECT_DOUBLE_EQ(Extents()[1].xMax - Extents()[1].xMin, 4 * before->Width());
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{kSourceMs, kSourceMs}));
}

TEST_P(ZoomFlashFeatureTest, SegmentsWithoutWidthOrHeightAreCentredInTheCurrentViewSize) {
    Use(Basin());
    const auto before = View()->Extent();

    EXPECT_FALSE(Visit("Roads", 1, "", kZoomFullEnvelope, 1.0));  // horizontal
    EXPECT_FALSE(Visit("Roads", 2, "", kZoomFullEnvelope, 1.0));  // vertical

    ASSERT_EQ(Extents().size(), 2U);
    for (const auto& extent : Extents()) {
        EXPECT_DOUBLE_EQ(extent.xMax - extent.xMin, before->Width());
        EXPECT_DOUBLE_EQ(extent.yMax - extent.yMin, before->Height());
    }
    EXPECT_DOUBLE_EQ((Extents()[0].xMin + Extents()[0].xMax) / 2, 20);
    EXPECT_DOUBLE_EQ((Extents()[0].yMin + Extents()[0].yMax) / 2, 60);
    EXPECT_DOUBLE_EQ((Extents()[1].xMin + Extents()[1].xMax) / 2, 70);
    EXPECT_DOUBLE_EQ((Extents()[1].yMin + Extents()[1].yMax) / 2, 20);
}

TEST_P(ZoomFlashFeatureTest, FullEnvelopeFitsSourceAndRelatedThenFlashesSourceFirst) {
    Use(Basin());

    EXPECT_FALSE(Visit("Catchment", 1, "NerroID", kZoomFullEnvelope, 1.0));

    ASSERT_EQ(Extents().size(), 1U);
    EXPECT_DOUBLE_EQ(Extents()[0].xMin, 0);
    EXPECT_DOUBLE_EQ(Extents()[0].yMin, 0);
    EXPECT_DOUBLE_EQ(Extents()[0].xMax, 25);
    EXPECT_DOUBLE_EQ(Extents()[0].yMax, 25);
    // What the view shows, fitted to the window, holds every corner of it (a
    // millionth of a unit allowed for the host's own transform).
    const auto shown = View()->Extent();
    EXPECT_LE(shown->XMin(), 1e-6);
    EXPECT_LE(shown->YMin(), 1e-6);
    EXPECT_GE(shown->XMax(), 25 - 1e-6);
    EXPECT_GE(shown->YMax(), 25 - 1e-6);
    EXPECT_LT(shown->Width() * shown->Height(), 2 * 25 * 25) << "fitted, not merely covering";
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{kSourceMs, kRelatedMs, kRelatedMs}));
    EXPECT_EQ(Record().draws.size(), 6U);
    EXPECT_EQ(FlashesChecked(), 3);
    // Written before the zoom and again after the redraw.
    EXPECT_EQ(User().StatusTexts(),
              (std::vector<std::string>{"Zooming to Source Feature OID = 1 ..Hit Esc to Pause",
                                        "Zooming to Source Feature OID = 1 ..Hit Esc to Pause"}));
    EXPECT_EQ(Record().redraws, 1);
}

TEST_P(ZoomFlashFeatureTest, RelatedEnvelopeZoomsToEachRelatedFeatureAtTheZoomWidth) {
    Use(Basin());

    EXPECT_FALSE(
        Visit("Catchment", 1, "NerroID", kZoomRelatedEnvelope, 1.0, 6.0, "Junctions", "NerroID"));

    const std::vector<std::pair<double, double>> points{{10, 10}, {20, 30}, {40, 5}};
    ASSERT_EQ(Extents().size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_DOUBLE_EQ(Extents()[i].xMin, points[i].first - 3);
        EXPECT_DOUBLE_EQ(Extents()[i].xMax, points[i].first + 3);
        EXPECT_DOUBLE_EQ(Extents()[i].yMin, points[i].second);
        EXPECT_DOUBLE_EQ(Extents()[i].yMax, points[i].second);
    }
    // The view shows the last point, ZoomWidth across: the window's aspect gives
    // the height that the point's envelope lacks.
    const auto shown = View()->Extent();
    EXPECT_NEAR(shown->Width(), 6, 1e-6);
    EXPECT_NEAR((shown->XMin() + shown->XMax()) / 2, 40, 1e-6);
    EXPECT_NEAR((shown->YMin() + shown->YMax()) / 2, 5, 1e-6);
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{kSourceMs, kRelatedMs, kSourceMs, kRelatedMs,
                                                  kSourceMs, kRelatedMs}));
    EXPECT_EQ(Record().redraws, 3);
}

TEST_P(ZoomFlashFeatureTest, RelatedEnvelopeOfPolygonsAndLinesTakesTheZoomWidthAndKeepsTheHeight) {
    struct Related {
        const char* layer;
        std::vector<velorin::testing::Box4> views;
    };
    // Lakes 5 high at x 20..25 and 0..5; a stream 10 high at x 30..34.
    const Related cases[] = {{"Lakes", {{19.5, 0, 25.5, 5}, {-0.5, 20, 5.5, 25}}},
                             {"Streams", {{29, 40, 35, 50}}}};
    for (const Related& c : cases) {
        Use(Basin());

        EXPECT_FALSE(
            Visit("Catchment", 1, "NerroID", kZoomRelatedEnvelope, 1.0, 6.0, c.layer, "NerroID"));

        ASSERT_EQ(Extents().size(), c.views.size()) << c.layer;
        for (std::size_t i = 0; i < c.views.size(); ++i) {
            EXPECT_DOUBLE_EQ(Extents()[i].xMin, c.views[i].xMin) << c.layer << " " << i;
            EXPECT_DOUBLE_EQ(Extents()[i].xMax, c.views[i].xMax) << c.layer << " " << i;
            EXPECT_DOUBLE_EQ(Extents()[i].yMin, c.views[i].yMin) << c.layer << " " << i;
            EXPECT_DOUBLE_EQ(Extents()[i].yMax, c.views[i].yMax) << c.layer << " " << i;
        }
    }
}

TEST_P(ZoomFlashFeatureTest, BothMethodsZoomToTheFullEnvelopeFirst) {
    Use(Basin());

    EXPECT_FALSE(Visit("Catchment", 1, "NerroID", kZoomBoth, 1.0, 6.0, "Junctions", "NerroID"));

    ASSERT_EQ(Extents().size(), 4U);
    EXPECT_DOUBLE_EQ(Extents()[0].xMin, 0);
    EXPECT_DOUBLE_EQ(Extents()[0].yMax, 30);
    EXPECT_DOUBLE_EQ(Extents()[1].xMax - Extents()[1].xMin, 6);
    EXPECT_EQ(Slept().size(), 4U + 6U);
}

TEST_P(ZoomFlashFeatureTest, NullKeySearchesNothingAndRelatedEnvelopeOnlyWritesTheStatus) {
    Use(Basin());

    EXPECT_FALSE(Visit("Catchment", 2, "NerroID", kZoomRelatedEnvelope));

    EXPECT_TRUE(Extents().empty());
    EXPECT_TRUE(Slept().empty());
    EXPECT_EQ(User().StatusTexts(),
              (std::vector<std::string>{"Zooming to Source Feature OID = 2 ..Hit Esc to Pause"}));
}

TEST_P(ZoomFlashFeatureTest, NothingToShowCompletesWithoutTouchingTheStatusBar) {
    Use(Basin());

    EXPECT_FALSE(Visit("Catchment", 4, "NerroID", kZoomBoth));  // no shape, key 9 has no lake

    EXPECT_TRUE(User().StatusTexts().empty());
    EXPECT_TRUE(Extents().empty());
}

TEST_P(ZoomFlashFeatureTest, SourceWithoutShapeSkipsItsOwnFlash) {
    Use(Basin());

    EXPECT_FALSE(Visit("Catchment", 3, "NerroID", kZoomFullEnvelope));

    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{kRelatedMs, kRelatedMs}));
    ASSERT_EQ(Extents().size(), 1U);
    EXPECT_DOUBLE_EQ(Extents()[0].xMin, 0);
    EXPECT_DOUBLE_EQ(Extents()[0].xMax, 25);
}

TEST_P(ZoomFlashFeatureTest, EmptyShapeCountsAsNoShape) {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Blank", esriGeometryPolygon)
        .Feature({}, MakePolygon({}))
        .FeatureLayer("Wells", esriGeometryPoint)
        .Feature({}, MakePoint(5, 5));
    Use(map);

    EXPECT_FALSE(Visit("Blank", 1, "", kZoomFullEnvelope));

    EXPECT_TRUE(Extents().empty());
    EXPECT_TRUE(Record().draws.empty());
}

struct LookupCase {
    const char* name;
    const char* sourceField;
    const char* relatedLayer;
    const char* relatedField;
    const char* message;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

using RelatedLookup = FeatureCases<LookupCase>;

TEST_P(RelatedLookup, FailureShowsItsBoxAndLeavesTheFeatureUnfinished) {
    const LookupCase& c = TheCase();
    Use(Basin());

    EXPECT_TRUE(
        Visit("Catchment", 1, c.sourceField, kZoomBoth, 1.0, 6.0, c.relatedLayer, c.relatedField));

    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    const auto box = User().MessageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.icon, ui::MsgIcon::None);
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_TRUE(User().StatusTexts().empty());
    EXPECT_TRUE(Extents().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, RelatedLookup,
    ::testing::Combine(
        ::testing::ValuesIn(velorin::testing::Hosts()),
        ::testing::Values(LookupCase{"SourceField", "JunctionID", "Lakes", "NerroID",
                                     "Could not find JunctionID field in source feature"},
                          LookupCase{"RelatedLayer", "NerroID", "Rivers", "NerroID",
                                     "Could not find Rivers"},
                          LookupCase{"RelatedClass", "NerroID", "Orphans", "NerroID",
                                     "Feature class missing for Orphans"},
                          LookupCase{"RelatedField", "NerroID", "Lakes", "LakeID",
                                     "Could not find LakeID field in Lakes"})),
    velorin::testing::HostCaseName<LookupCase>);

// Each form of the Related where clause, as the extension writes it and as the
// host evaluates it: the host finds the Related feature holding the key, never
// the near miss beside it.
struct ClauseCase {
    const char* name;
    std::int32_t fieldType;
    const char* key;  // the Source key's text
    const char* clause;
    host::FieldValue relatedKey;
    host::FieldValue nearMiss;
};

void PrintTo(const ClauseCase& c, std::ostream* os) { *os << c.name; }

using RelatedClause = FeatureCases<ClauseCase>;

TEST_P(RelatedClause, QuotesTextKeysLeavesNumbersBareAndFindsThatKeyOnly) {
    const ClauseCase& c = TheCase();
    const std::string clause = RelatedWhereClause("NerroID", c.fieldType, c.key);
    EXPECT_EQ(clause, c.clause);
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Wells", esriGeometryPoint)
        .Field("NerroID", c.fieldType)
        .Feature({c.nearMiss}, MakePoint(40, 40))
        .Feature({c.relatedKey}, MakePoint(20, 20));
    Use(map);
    const auto filter = Factory().NewQueryFilter();
    filter->SetWhereClause(clause);

    const auto cursor = Layer("Wells")->Search(filter, false);

    std::vector<std::int32_t> found;
    while (const auto feature = cursor->NextFeature()) found.push_back(feature->OID());
    EXPECT_EQ(found, std::vector<std::int32_t>{2});
}

const ClauseCase kClauseCases[] = {
    {"NumberAgainstString", esriFieldTypeString, "12", "NerroID = '12'", "12", "012"},
    {"NumberAgainstInteger", esriFieldTypeInteger, "12", "NerroID = 12", std::int32_t{12},
     std::int32_t{120}},
    {"NegativeDecimalAgainstDouble", host::esriFieldTypeDouble, "-1.5", "NerroID = -1.5", -1.5,
     1.5},
    // 1e10 is the same number as a single and as a double, so the case holds where
    // a host keeps singles as doubles (HostTraits::singlesAreDoubles).
    {"ExponentAgainstSingle", host::esriFieldTypeSingle, "1e+10", "NerroID = 1e+10", 1e10F, 1e9F},
    {"QuoteDoubled", esriFieldTypeString, "O'Brien", "NerroID = 'O''Brien'", "O'Brien", "OBrien"},
    {"SqlLikeTextStaysAKey", esriFieldTypeString, "x' OR 'a'='a", "NerroID = 'x'' OR ''a''=''a'",
     "x' OR 'a'='a", "x"},
    {"EmptyText", esriFieldTypeString, "", "NerroID = ''", "", " "},
    {"SpacesAndPlusLeftOut", esriFieldTypeInteger, " +12  ", "NerroID = 12", std::int32_t{12},
     std::int32_t{-12}},
};

INSTANTIATE_TEST_SUITE_P(Hosts, RelatedClause,
                         ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                                            ::testing::ValuesIn(kClauseCases)),
                         velorin::testing::HostCaseName<ClauseCase>);

// A Source key of one type and a Related key of another: whether the Related
// feature holding `relatedKey` is found for the Source feature holding
// `sourceKey`. A second Related feature, farther off, holds a near miss that
// must never be found.
struct KeyCase {
    const char* name;
    std::int32_t sourceType;
    host::FieldValue sourceKey;
    std::int32_t relatedType;
    host::FieldValue relatedKey;
    host::FieldValue nearMiss;
    bool found;
    const char* sourceField = "Key";  // nullptr: the object id field, as the host names it
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

using RelatedKeyTypes = FeatureCases<KeyCase>;

TEST_P(RelatedKeyTypes, FindTheFeaturesWhoseKeyEqualsTheSourceKey) {
    const KeyCase& c = TheCase();
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Gauges", esriGeometryPoint)
        .Field("Key", c.sourceType)
        .Feature({c.sourceKey}, MakePoint(5, 5))
        .FeatureLayer("Wells", esriGeometryPoint)
        .Field("Key", c.relatedType)
        .Feature({c.nearMiss}, MakePoint(40, 40))
        .Feature({c.relatedKey}, MakePoint(20, 20));
    Use(map);
    const std::string sourceField = c.sourceField ? c.sourceField : ObjectIdField("Gauges");

    EXPECT_FALSE(Visit("Gauges", 1, sourceField, kZoomFullEnvelope, 1.0, 6.0, "Wells", "Key"));

    EXPECT_TRUE(BoxTexts().empty());
    const std::vector<std::int32_t> flashes = c.found
                                                  ? std::vector<std::int32_t>{kSourceMs, kRelatedMs}
                                                  : std::vector<std::int32_t>{kSourceMs};
    EXPECT_EQ(Slept(), flashes);
    // The zoom is centred on the shapes found: the gauge and the matching well
    // only, never the near miss farther off.
    ASSERT_EQ(Extents().size(), 1U);
    EXPECT_DOUBLE_EQ((Extents()[0].xMin + Extents()[0].xMax) / 2, c.found ? 12.5 : 5.0);
}

constexpr float kLargestSingle = std::numeric_limits<float>::max();

INSTANTIATE_TEST_SUITE_P(
    Hosts, RelatedKeyTypes,
    ::testing::Combine(
        ::testing::ValuesIn(velorin::testing::Hosts()),
        ::testing::Values(
            KeyCase{"SingleToText", host::esriFieldTypeSingle, 100000.0F, esriFieldTypeString,
                    "100000", "1e+05", true},
            KeyCase{"LargestSingle", host::esriFieldTypeSingle, kLargestSingle,
                    host::esriFieldTypeSingle, kLargestSingle, 3.4028e38F, true},
            KeyCase{"DoubleBeyond15Digits", host::esriFieldTypeDouble, 0.1 + 0.2,
                    host::esriFieldTypeDouble, 0.1 + 0.2, 0.3, true},
            KeyCase{"DoubleNextAfterOne", host::esriFieldTypeDouble, 1.0000000000000002,
                    host::esriFieldTypeDouble, 1.0000000000000002, 1.0, true},
            KeyCase{"DoubleNotItsRoundedNeighbour", host::esriFieldTypeDouble, 0.1 + 0.2,
                    host::esriFieldTypeDouble, 0.3, 0.31, false},
            KeyCase{"SmallIntegerToInteger", host::esriFieldTypeSmallInteger, std::int16_t{7},
                    esriFieldTypeInteger, std::int32_t{7}, std::int32_t{70}, true},
            KeyCase{"DateToText", host::esriFieldTypeDate, host::MakeDate(2003, 1, 29),
                    esriFieldTypeString, "2003-01-29", "2003-01-30", true},
            // The gauge's object id is 1; its "Key" holds the near miss.
            KeyCase{"ObjectIdToInteger", esriFieldTypeInteger, std::int32_t{5},
                    esriFieldTypeInteger, std::int32_t{1}, std::int32_t{5}, true, nullptr},
            KeyCase{"ObjectIdToText", esriFieldTypeInteger, std::int32_t{5}, esriFieldTypeString,
                    "1", "5", true, nullptr},
            KeyCase{"TextWithPlusToInteger", esriFieldTypeString, "+12", esriFieldTypeInteger,
                    std::int32_t{12}, std::int32_t{-12}, true},
            KeyCase{"TextWithSpacesToInteger", esriFieldTypeString, " 12 ", esriFieldTypeInteger,
                    std::int32_t{12}, std::int32_t{13}, true},
            KeyCase{"TextWithTrailingSpaceToDouble", esriFieldTypeString, "2 ",
                    host::esriFieldTypeDouble, 2.0, 2.5, true})),
    velorin::testing::HostCaseName<KeyCase>);

struct FieldName {
    const char* name;
    const char* field;
};

void PrintTo(const FieldName& c, std::ostream* os) { *os << c.name; }

using RelatedKeyFieldName = FeatureCases<FieldName>;

TEST_P(RelatedKeyFieldName, IsReadWhateverItIs) {
    const char* field = TheCase().field;
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Gauges", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Feature({7}, MakePoint(5, 5))
        .FeatureLayer("Wells", esriGeometryPoint)
        .Field(field, esriFieldTypeInteger)
        .Feature({8}, MakePoint(40, 40))
        .Feature({7}, MakePoint(20, 20));
    Use(map);

    EXPECT_FALSE(Visit("Gauges", 1, "NerroID", kZoomFullEnvelope, 1.0, 6.0, "Wells", field));

    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{kSourceMs, kRelatedMs}));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, RelatedKeyFieldName,
    ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                       ::testing::Values(FieldName{"Space", "my key"}, FieldName{"Quote", "it's"},
                                         FieldName{"Hyphen", "a-b"}, FieldName{"Digit", "1st"},
                                         FieldName{"And", "AND"}, FieldName{"Null", "NULL"},
                                         FieldName{"DoubleQuotes", "say \"hi\""},
                                         FieldName{"Plain", "Key_2"})),
    velorin::testing::HostCaseName<FieldName>);

TEST_P(ZoomFlashFeatureTest, EscAtAnyCheckAbandonsTheFeatureBetweenFlashes) {
    // Checks of Full Envelope with two lakes: before the status, before the
    // Source flash, before the Related flashes, one before each Related flash.
    for (int check = 1; check <= 5; ++check) {
        Use(Basin());
        User().EscBeforeCancelCheck(check);

        EXPECT_TRUE(Visit("Catchment", 1, "NerroID", kZoomFullEnvelope)) << "check " << check;

        const std::vector<std::size_t> flashesBefore{0, 0, 1, 1, 2};
        EXPECT_EQ(Slept().size(), flashesBefore[static_cast<std::size_t>(check - 1)])
            << "check " << check;
        EXPECT_EQ(Record().draws.size() % 2, 0U) << "a flash was cut in half";
    }
}

}  // namespace
}  // namespace velorin::zoomflash

#include "zoomflash/flash_geometry.h"

#include <gtest/gtest.h>

#include "tests/zoomflash/zoom_flash_fixture.h"
#include "zoomflash/open_source_cursor.h"

namespace velorin::zoomflash {
namespace {

using host::esriFieldTypeInteger;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using testing::MapPlan;
using testing::ZoomFlashCases;
using testing::ZoomFlashTest;
using velorin::testing::Square;

struct FlashCase {
    const char* name;
    std::shared_ptr<host::IGeometry> (*make)();
    const char* operation;
    const char* symbolKind;
    double size;
};

using FlashGeometryKinds = ZoomFlashCases<FlashCase>;

// A map whose pixels vary under every shape, so a flash that did not restore
// them could not go unnoticed.
MapPlan BusyMap() {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Blocks", esriGeometryPolygon)
        .Feature({}, objects::MakePolygon({Square(0, 0, 50)}))
        .Feature({}, objects::MakePolygon({Square(30, 30, 60)}))
        .Feature({}, objects::MakePolygon({Square(70, 0, 30)}));
    return map;
}

TEST_P(FlashGeometryKinds, DrawsTwiceNotXorInTheFlashColourWaitingInBetween) {
    const FlashCase& c = TheCase();
    Use(BusyMap());
    View()->Refresh();
    const auto before = Host().Pixels();

    FlashGeometry(c.make(), Map(), 250, Factory());

    const auto& draws = Record().draws;
    ASSERT_EQ(draws.size(), 2U);
    for (const auto& draw : draws) {
        EXPECT_EQ(draw.operation, c.operation);
        EXPECT_EQ(draw.symbolKind, c.symbolKind);
        EXPECT_EQ(draw.rgb, 50 | (50 << 8) | (175 << 16));
        EXPECT_EQ(draw.rop2, host::esriROPNotXOrPen);
        EXPECT_EQ(draw.size, c.size);
    }
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{250}));
    EXPECT_EQ(Record().startDrawings, 1);
    EXPECT_EQ(Record().finishDrawings, 1);
    EXPECT_EQ(Host().Pixels(), before);
    EXPECT_EQ(FlashesChecked(), 1);
    EXPECT_EQ(FlashesShown(), 1);
}

std::shared_ptr<host::IGeometry> APoint() { return objects::MakePoint(40, 40); }
std::shared_ptr<host::IGeometry> AMultipoint() {
    return objects::MakeMultipoint({{10, 10}, {40, 40}, {80, 20}});
}
std::shared_ptr<host::IGeometry> APolyline() {
    return objects::MakePolyline({{{0, 0}, {50, 70}, {90, 10}}});
}
std::shared_ptr<host::IGeometry> APolygonWithAHole() {
    return objects::MakePolygon({Square(20, 20, 50), Square(30, 30, 10)});
}

const FlashCase kFlashCases[] = {
    {"Point", APoint, "DrawPoint", "SimpleMarker", 12.0},
    {"Multipoint", AMultipoint, "DrawMultipoint", "SimpleMarker", 12.0},
    {"Polyline", APolyline, "DrawPolyline", "SimpleLine", 4.0},
    {"Polygon", APolygonWithAHole, "DrawPolygon", "SimpleFill", 0.0},
};

INSTANTIATE_TEST_SUITE_P(Hosts, FlashGeometryKinds,
                         ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                                            ::testing::ValuesIn(kFlashCases)),
                         velorin::testing::HostCaseName<FlashCase>);

using FlashGeometryOn = ZoomFlashTest;

INSTANTIATE_TEST_SUITE_P(Hosts, FlashGeometryOn, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(FlashGeometryOn, AnotherGeometryTypeDrawsNothingAndDoesNotWait) {
    Use(BusyMap());
    FlashGeometry(objects::MakeEnvelope(0, 0, 10, 10), Map(), 500, Factory());
    FlashGeometry(host::As<host::IGeometry>(Factory().NewGeometryBag()), Map(), 500, Factory());

    EXPECT_TRUE(Record().draws.empty());
    EXPECT_TRUE(User().Sleeps().empty());
    EXPECT_EQ(Record().startDrawings, 2);
    EXPECT_EQ(Record().finishDrawings, 2);
}

TEST_P(FlashGeometryOn, TimeZeroSleepsNoTimeAndNegativeNeverWaits) {
    Use(BusyMap());
    FlashGeometry(objects::MakePoint(10, 10), Map(), 0, Factory());
    FlashGeometry(objects::MakePoint(10, 10), Map(), -1, Factory());
    FlashGeometry(objects::MakePoint(10, 10), Map(), -32768, Factory());

    // Only the flash of 0 asks for a wait; the negative ones are drawn and
    // undrawn without one.
    EXPECT_EQ(Slept(), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(Record().draws.size(), 6U);
    EXPECT_EQ(FlashesChecked(), 3);
}

// The Source cursor.
class SourceCursor : public ZoomFlashTest {
  protected:
    void SetUp() override {
        ZoomFlashTest::SetUp();
        MapPlan map;
        map.Window(200, 150)
            .FeatureLayer("Wells", esriGeometryPoint)
            .Field("Depth", esriFieldTypeInteger)
            .Feature({10}, objects::MakePoint(1, 1))
            .Feature({20}, objects::MakePoint(2, 2))
            .Feature({30}, objects::MakePoint(3, 3))
            .Feature({40}, objects::MakePoint(4, 4))
            .Feature({50}, objects::MakePoint(5, 5))
            .RasterLayer("Elevation")
            .StandaloneTable("Owners")
            .Field("Owner", host::esriFieldTypeString)
            .Row({"Ann"})
            .Row({"Bob"});
        Use(map);
    }

    static std::vector<std::int32_t> ReadOids(const std::shared_ptr<host::ICursor>& cursor) {
        std::vector<std::int32_t> oids;
        while (const auto row = cursor->NextRow()) oids.push_back(row->OID());
        return oids;
    }
};

INSTANTIATE_TEST_SUITE_P(Hosts, SourceCursor, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(SourceCursor, SelectionGivesExactlyTheSelectedRows) {
    Host().Select("Wells", {4, 2, 5});
    std::shared_ptr<host::ICursor> cursor;
    std::int32_t count = -1;
    bool fromSelection = false;

    OpenSourceCursor(Layer("Wells"), cursor, count, fromSelection);

    ASSERT_TRUE(cursor);
    EXPECT_EQ(ReadOids(cursor), (std::vector<std::int32_t>{2, 4, 5}));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(fromSelection);
}

TEST_P(SourceCursor, NoSelectionGivesEveryRowOfTheLayer) {
    std::shared_ptr<host::ICursor> cursor;
    std::int32_t count = -1;
    bool fromSelection = true;

    OpenSourceCursor(Layer("Wells"), cursor, count, fromSelection);

    ASSERT_TRUE(cursor);
    EXPECT_EQ(ReadOids(cursor), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(count, 5);
    EXPECT_FALSE(fromSelection);
}

TEST_P(SourceCursor, StandaloneTableIsReadLikeALayer) {
    std::shared_ptr<host::ICursor> cursor;
    std::int32_t count = -1;
    bool fromSelection = true;

    OpenSourceCursor(LayerOrTable("Owners"), cursor, count, fromSelection);

    ASSERT_TRUE(cursor);
    EXPECT_EQ(ReadOids(cursor), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(fromSelection);
}

TEST_P(SourceCursor, OtherLayerKindsLeaveTheOutputsAsTheyWere) {
    std::shared_ptr<host::ICursor> cursor;
    std::int32_t count = 77;
    bool fromSelection = true;

    OpenSourceCursor(LayerOrTable("Elevation"), cursor, count, fromSelection);
    OpenSourceCursor(nullptr, cursor, count, fromSelection);

    EXPECT_FALSE(cursor);
    EXPECT_EQ(count, 77);
    EXPECT_TRUE(fromSelection);
}

}  // namespace
}  // namespace velorin::zoomflash

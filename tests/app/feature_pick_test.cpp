#include "app/feature_pick.h"

#include <gtest/gtest.h>

#include "platform/memory/reference_host.h"

namespace velorin::app {
namespace {

using objects::MakeMultipoint;
using objects::MakePoint;
using objects::MakePolygon;
using objects::MakePolyline;

// A square with a square hole, a diagonal line, a point and a multipoint; the
// layer's definition query hides feature 5, which lies on top of the square.
class FeaturePick : public ::testing::Test {
  protected:
    FeaturePick()
        : m_host(memory::HostBuilder()
                     .FeatureLayer("Parcels", host::esriGeometryPolygon)
                     .Field("Kind", host::esriFieldTypeInteger)
                     .Feature({1}, MakePolygon({{{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                                                {{4, 4}, {6, 4}, {6, 6}, {4, 6}}}))
                     .Feature({1})
                     .Feature({1}, MakePolygon({{{20, 0}, {30, 0}, {30, 10}, {20, 10}}}))
                     .Feature({1}, MakePolygon({{{100, 100}, {101, 100}, {101, 101}}}))
                     .Feature({2}, MakePolygon({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}))
                     .Definition("Kind = 1")
                     .FeatureLayer("Marks", host::esriGeometryPolyline)
                     .Feature({}, MakePolyline({{{0, 0}, {10, 10}}}))
                     .FeatureLayer("Wells", host::esriGeometryPoint)
                     .Feature({}, MakePoint(50, 50))
                     .FeatureLayer("Clusters", host::esriGeometryMultipoint)
                     .Feature({}, MakeMultipoint({{60, 60}, {70, 70}}))
                     .Build()) {}

    memory::FeatureLayer& Layer(const char* name) { return *m_host.FeatureLayerNamed(name); }

    memory::ReferenceHost m_host;
};

TEST_F(FeaturePick, AClickMeetsAPolygonInsideItButNotInItsHole) {
    EXPECT_EQ(FeaturesAtClick(Layer("Parcels"), {2, 2}, 0.1), std::vector<std::int32_t>{1});
    EXPECT_TRUE(FeaturesAtClick(Layer("Parcels"), {5, 5}, 0.1).empty());
    // Near the hole's edge, within the tolerance, but not inside: a polygon is
    // under the pointer only when the pointer is inside it.
    EXPECT_TRUE(FeaturesAtClick(Layer("Parcels"), {5, 5}, 1.5).empty());
    EXPECT_TRUE(FeaturesAtClick(Layer("Parcels"), {10.5, 5}, 1.5).empty());
    // Between the squares, near neither.
    EXPECT_TRUE(FeaturesAtClick(Layer("Parcels"), {15, 5}, 1).empty());
}

TEST_F(FeaturePick, AClickMeetsLinesAndPointsWithinTheTolerance) {
    EXPECT_EQ(FeaturesAtClick(Layer("Marks"), {5, 5.5}, 1), std::vector<std::int32_t>{1});
    EXPECT_TRUE(FeaturesAtClick(Layer("Marks"), {5, 8}, 1).empty());
    EXPECT_EQ(FeaturesAtClick(Layer("Wells"), {50.5, 49.5}, 1), std::vector<std::int32_t>{1});
    EXPECT_TRUE(FeaturesAtClick(Layer("Wells"), {52, 50}, 1).empty());
    EXPECT_EQ(FeaturesAtClick(Layer("Clusters"), {70, 70.5}, 1), std::vector<std::int32_t>{1});
}

// One click picks one feature: the nearest met, and of overlapping ones the
// one drawn last (on top).
struct PickCase {
    const char* name;
    objects::XY point;
    double tolerance;
    std::optional<std::int32_t> picked;
    friend void PrintTo(const PickCase& pick, std::ostream* out) { *out << pick.name; }
};

class FeatureAtClickPicks : public ::testing::TestWithParam<PickCase> {};

TEST_P(FeatureAtClickPicks, TheNearestAndThenTheTopmost) {
    auto host = memory::HostBuilder()
                    .FeatureLayer("Wells", host::esriGeometryPoint)
                    .Feature({}, MakePoint(0, 0))
                    .Feature({}, MakePoint(3, 0))
                    .Feature({}, MakePoint(10, 0))
                    .FeatureLayer("Fields", host::esriGeometryPolygon)
                    .Feature({}, MakePolygon({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}))
                    .Feature({}, MakePolygon({{{5, 0}, {15, 0}, {15, 10}, {5, 10}}}))
                    .Build();
    const PickCase& c = GetParam();
    const char* layer = c.point.y > 1 || c.point.x > 20 ? "Fields" : "Wells";
    EXPECT_EQ(FeatureAtClick(*host.FeatureLayerNamed(layer), c.point, c.tolerance), c.picked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FeatureAtClickPicks,
    ::testing::Values(PickCase{"NearerOfTwoPointsInReach", {2, 0.5}, 4, 2},
                      PickCase{"FirstOfTwoPointsInReach", {1, 0.5}, 4, 1},
                      PickCase{"NoPointInReach", {6.5, 0.5}, 3, std::nullopt},
                      PickCase{"TheOnePolygonAround", {2, 5}, 4, 1},
                      PickCase{"TopmostOfOverlappingPolygons", {7, 5}, 4, 2},
                      PickCase{"NoPolygonWhenOutsideButNear", {30, 5}, 20, std::nullopt}),
    [](const ::testing::TestParamInfo<PickCase>& pick) { return pick.param.name; });

TEST_F(FeaturePick, ABoxMeetsWhatCrossesItLiesInItOrSurroundsIt) {
    // Crossing the first square's edge and lying around the second.
    EXPECT_EQ(FeaturesInBox(Layer("Parcels"), {8, 2, 40, 3}), (std::vector<std::int32_t>{1, 3}));
    // Inside the first square, away from its hole: the square surrounds the box.
    EXPECT_EQ(FeaturesInBox(Layer("Parcels"), {1, 1, 2, 2}), std::vector<std::int32_t>{1});
    // Inside the hole: not met.
    EXPECT_TRUE(FeaturesInBox(Layer("Parcels"), {4.5, 4.5, 5.5, 5.5}).empty());
    // The line passes through a box whose corners it does not touch.
    EXPECT_EQ(FeaturesInBox(Layer("Marks"), {4, 5, 6, 5.5}), std::vector<std::int32_t>{1});
    EXPECT_TRUE(FeaturesInBox(Layer("Marks"), {6, 0, 10, 3}).empty());
    // A point on the box's edge is in it.
    EXPECT_EQ(FeaturesInBox(Layer("Wells"), {40, 40, 50, 50}), std::vector<std::int32_t>{1});
}

TEST_F(FeaturePick, OnlyFeaturesTheLayerShowsAndThatHaveAShapeAreMet) {
    // Feature 5 covers the point too, but the definition query hides it; feature
    // 2 has no shape.
    EXPECT_EQ(FeaturesInBox(Layer("Parcels"), {-1000, -1000, 1000, 1000}),
              (std::vector<std::int32_t>{1, 3, 4}));
}

TEST_F(FeaturePick, SelectedShapesFollowTheSelectionAndTheDefinitionQuery) {
    memory::FeatureLayer& parcels = Layer("Parcels");
    EXPECT_TRUE(SelectedShapes(parcels).empty());
    parcels.Select({1, 3, 5});
    // 5 is selected but not shown.
    EXPECT_EQ(SelectedShapes(parcels).size(), 2u);
}

TEST_F(FeaturePick, ALayerWithoutDataMeetsNothing) {
    auto host = memory::HostBuilder()
                    .FeatureLayer("Lost", host::esriGeometryPoint)
                    .WithoutFeatureClass()
                    .Build();
    EXPECT_TRUE(FeaturesInBox(*host.FeatureLayerNamed("Lost"), {-1, -1, 1, 1}).empty());
}

}  // namespace
}  // namespace velorin::app

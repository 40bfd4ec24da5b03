#include "platform/gdal/coordinate_system.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <memory>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/reference_host.h"
#include "platform/memory/row_store.h"

namespace velorin::gdal {
namespace {

TEST(CoordinateSystem, ShapesThatTheTargetCannotHoldAreLeftWithoutAShapeAndCounted) {
    auto host = memory::HostBuilder()
                    .FeatureLayer("Cities", host::esriGeometryPoint)
                    .Field("Name", host::esriFieldTypeString)
                    .Feature({std::string("Bern")}, objects::MakePoint(7.44, 46.95))
                    .Feature({std::string("Far")}, objects::MakePoint(100, 0))
                    .Feature({std::string("Nowhere")})
                    .Build();
    const auto& data = *host.FeatureLayerNamed("Cities")->Data();
    std::size_t lost = 0;
    // A point a quarter of the world away from zone 32's meridian is outside what
    // PROJ's transverse Mercator projects.
    const auto moved = Reprojected(data, CoordinateSystem::FromText("EPSG:4326"),
                                   CoordinateSystem::FromText("EPSG:32632"), lost);
    EXPECT_EQ(lost, 1u);
    const memory::RowStore& store = *moved->Store();
    ASSERT_EQ(store.Size(), 3u);
    const auto bern = std::dynamic_pointer_cast<objects::PointGeometry>(store.ShapeAt(0));
    ASSERT_TRUE(bern);
    OGRSpatialReference wgs84;
    OGRSpatialReference utm;
    wgs84.importFromEPSG(4326);
    utm.importFromEPSG(32632);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    double x = 7.44;
    double y = 46.95;
    const std::unique_ptr<OGRCoordinateTransformation> direct(
        OGRCreateCoordinateTransformation(&wgs84, &utm));
    ASSERT_TRUE(direct->Transform(1, &x, &y));
    EXPECT_NEAR(bern->Coords().x, x, 1e-6);
    EXPECT_NEAR(bern->Coords().y, y, 1e-6);
    EXPECT_FALSE(store.ShapeAt(1));
    EXPECT_FALSE(store.ShapeAt(2));
    EXPECT_EQ(store.ValueAt(1, 2), host::FieldValue(std::string("Far")));
    EXPECT_EQ(store.OidAt(2), data.Store()->OidAt(2));
}

class UnreadableSystem : public ::testing::TestWithParam<const char*> {};

TEST_P(UnreadableSystem, IsRefusedWithoutReadingAFileOrTheNetwork) {
    EXPECT_THROW(CoordinateSystem::FromText(GetParam()), velorin::Error);
}

INSTANTIATE_TEST_SUITE_P(Texts, UnreadableSystem,
                         ::testing::Values("EPSG:999999", "not a system", "/etc/passwd",
                                           "http://example.invalid/4326.wkt", ""));

TEST(CoordinateSystem, TheScaleOfADegreeShrinksWithTheCosineOfTheLatitude) {
    const CoordinateSystem wgs84 = CoordinateSystem::FromText("EPSG:4326");
    EXPECT_NEAR(wgs84.MetresPerUnit(0), 111319.5, 1.0);
    EXPECT_NEAR(wgs84.MetresPerUnit(60) / wgs84.MetresPerUnit(0), 0.5, 0.002);
    EXPECT_DOUBLE_EQ(CoordinateSystem::FromText("EPSG:32632").MetresPerUnit(60), 1.0);
    EXPECT_NEAR(CoordinateSystem::FromText("EPSG:2263").MetresPerUnit(0), 0.3048006, 1e-6);
    EXPECT_DOUBLE_EQ(CoordinateSystem().MetresPerUnit(45), 1.0);
}

}  // namespace
}  // namespace velorin::gdal

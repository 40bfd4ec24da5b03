#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/gdal/map_document.h"
#include "platform/objects/geometry.h"
#include "tests/gdal/ogr_fixture.h"
#include "tests/support/errors.h"

namespace velorin::gdal {
namespace {

using testing::OgrWriter;
using testing::TempFolder;
using velorin::testing::DescriptionOf;

// The (name, type) of every field of the layer's class, in order.
std::vector<std::pair<std::string, std::int32_t>> FieldsOf(const memory::FeatureLayer& layer) {
    std::vector<std::pair<std::string, std::int32_t>> fields;
    const auto& set = *layer.Data()->Store()->FieldSet();
    for (std::int32_t i = 0; i < set.Count(); ++i) {
        fields.emplace_back(set.At(i).NameText(), set.At(i).TypeCode());
    }
    return fields;
}

std::vector<std::int32_t> OidsOf(const memory::RowStore& store) {
    std::vector<std::int32_t> oids;
    for (std::size_t i = 0; i < store.Size(); ++i) oids.push_back(store.At(i).oid);
    return oids;
}

// The parts of a feature's shape as the host holds them.
std::vector<objects::Path> PartsOf(const memory::RowRecord& row) {
    if (!row.shape) return {};
    if (const auto point = std::dynamic_pointer_cast<objects::PointGeometry>(row.shape)) {
        return {{point->Coords()}};
    }
    return std::dynamic_pointer_cast<objects::MultiPartGeometry>(row.shape)->Parts();
}

TEST(LoadDataSet, GeoPackageFieldTypesValuesAndNullsReadBack) {
    TempFolder folder;
    const auto file = folder / "sites.gpkg";
    {
        OgrWriter writer(file, "GPKG");
        auto& layer = writer.Layer("Sites", wkbPoint,
                                   {{"Count", OFTInteger},
                                    {"Small", OFTInteger, OFSTInt16},
                                    {"Wide", OFTInteger64},
                                    {"Narrow", OFTInteger64},
                                    {"Ratio", OFTReal},
                                    {"Ratio32", OFTReal, OFSTFloat32},
                                    {"Name", OFTString},
                                    {"Born", OFTDate},
                                    {"Stamp", OFTDateTime},
                                    {"Bytes", OFTBinary}});
        OgrWriter::Feature(layer, "POINT (1 2)", [](OGRFeature& f) {
            f.SetField("Count", 42);
            f.SetField("Small", -7);
            f.SetField("Wide", static_cast<GIntBig>(3000000000LL));
            f.SetField("Narrow", static_cast<GIntBig>(-2));
            f.SetField("Ratio", 2.5);
            f.SetField("Ratio32", 0.5);
            f.SetField("Name", "\xC3\x85lesund");
            f.SetField("Born", 2003, 1, 29);
            f.SetField("Stamp", 2003, 1, 30, 6, 30, 5.0F);
            const GByte bytes[] = {0x00, 0x01, 0xFF};
            f.SetField(f.GetFieldIndex("Bytes"), 3, bytes);
        });
        // Nothing set, then everything explicitly null: both must read as null.
        OgrWriter::Feature(layer, "POINT (3 4)");
        OgrWriter::Feature(layer, "", [](OGRFeature& f) {
            for (int i = 0; i < f.GetFieldCount(); ++i) f.SetFieldNull(i);
        });
        OgrWriter::Feature(layer, "POINT (5 6)",
                           [](OGRFeature& f) { f.SetField("Wide", static_cast<GIntBig>(5)); });
    }

    const auto document = LoadDataSet(file);
    const auto layer = document.host.FeatureLayerNamed("Sites");
    EXPECT_EQ(layer->Data()->ShapeType(), host::esriGeometryPoint);
    // A 64-bit field keeps its width only when a value needs it.
    const std::vector<std::pair<std::string, std::int32_t>> expected{
        {"fid", host::esriFieldTypeOID},         {"geom", host::esriFieldTypeGeometry},
        {"Count", host::esriFieldTypeInteger},   {"Small", host::esriFieldTypeSmallInteger},
        {"Wide", host::esriFieldTypeBigInteger}, {"Narrow", host::esriFieldTypeInteger},
        {"Ratio", host::esriFieldTypeDouble},    {"Ratio32", host::esriFieldTypeSingle},
        {"Name", host::esriFieldTypeString},     {"Born", host::esriFieldTypeDate},
        {"Stamp", host::esriFieldTypeDate},      {"Bytes", host::esriFieldTypeBlob}};
    EXPECT_EQ(FieldsOf(*layer), expected);

    const auto& store = *layer->Data()->Store();
    ASSERT_EQ(store.Size(), 4U);
    const std::vector<host::FieldValue> first{host::ObjectId{1},
                                              true,
                                              std::int32_t{42},
                                              std::int16_t{-7},
                                              std::int64_t{3000000000LL},
                                              std::int32_t{-2},
                                              2.5,
                                              0.5F,
                                              "\xC3\x85lesund",
                                              host::MakeDate(2003, 1, 29),
                                              host::MakeDate(2003, 1, 30, 6, 30, 5),
                                              std::string("\x00\x01\xFF", 3)};
    EXPECT_EQ(store.At(0).values, first);
    for (std::size_t row : {1U, 2U}) {
        for (std::size_t field = 2; field < expected.size(); ++field) {
            EXPECT_TRUE(store.At(row).values[field].IsNull())
                << "row " << row << " field " << field;
        }
    }
    EXPECT_EQ(store.At(2).shape, nullptr);
    EXPECT_EQ(PartsOf(store.At(1)), (std::vector<objects::Path>{{{3, 4}}}));
    EXPECT_EQ(store.At(3).values[4], host::FieldValue(std::int64_t{5}));
}

TEST(LoadDataSet, GeoJsonTypesAndNullsReadBackAndFeaturesAreNumberedFromOne) {
    TempFolder folder;
    const auto file = folder / "gauges.geojson";
    {
        OgrWriter writer(file, "GeoJSON");
        auto& layer = writer.Layer("gauges", wkbPoint,
                                   {{"Id", OFTInteger},
                                    {"Name", OFTString},
                                    {"Flow", OFTReal},
                                    {"Day", OFTDate},
                                    {"OBJECTID", OFTInteger}});
        OgrWriter::Feature(layer, "POINT (10 20)", [](OGRFeature& f) {
            f.SetField("Id", 7);
            f.SetField("Name", "Weir");
            f.SetField("Flow", 1.25);
            f.SetField("Day", 2020, 2, 29);
            f.SetField("OBJECTID", 99);
        });
        OgrWriter::Feature(layer, "POINT (11 21)", [](OGRFeature& f) {
            f.SetField("Id", 8);
            f.SetFieldNull(f.GetFieldIndex("Name"));
            f.SetField("Day", 2021, 3, 1);
        });
    }

    const auto document = LoadDataSet(file);
    const auto layer = document.host.FeatureLayerNamed("gauges");
    // GeoJSON has no FID column: the object id takes the host's name, and an
    // attribute already called so keeps its name.
    const std::vector<std::pair<std::string, std::int32_t>> expected{
        {"OBJECTID_1", host::esriFieldTypeOID},  {"Shape", host::esriFieldTypeGeometry},
        {"Id", host::esriFieldTypeInteger},      {"Name", host::esriFieldTypeString},
        {"Flow", host::esriFieldTypeDouble},     {"Day", host::esriFieldTypeDate},
        {"OBJECTID", host::esriFieldTypeInteger}};
    EXPECT_EQ(FieldsOf(*layer), expected);
    const auto& store = *layer->Data()->Store();
    EXPECT_EQ(OidsOf(store), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(store.At(0).values[3], host::FieldValue("Weir"));
    EXPECT_EQ(store.At(0).values[4], host::FieldValue(1.25));
    EXPECT_EQ(store.At(0).values[5], host::FieldValue(host::MakeDate(2020, 2, 29)));
    EXPECT_EQ(store.At(0).values[6], host::FieldValue(std::int32_t{99}));
    EXPECT_TRUE(store.At(1).values[3].IsNull());  // written as null
    EXPECT_TRUE(store.At(1).values[4].IsNull());  // never set
}

TEST(LoadDataSet, KeepsPositiveIncreasingFidsAndOtherwiseNumbersInReadingOrder) {
    TempFolder folder;
    {
        OgrWriter writer(folder / "kept.gpkg", "GPKG");
        auto& layer = writer.Layer("Kept", wkbPoint, {});
        for (GIntBig fid : {5, 9, 20}) OgrWriter::Feature(layer, "POINT (0 0)", {}, fid);
    }
    {
        // A Shapefile counts its records from 0.
        OgrWriter writer(folder / "counted.shp", "ESRI Shapefile");
        auto& layer = writer.Layer("counted", wkbPoint, {{"Key", OFTInteger}});
        for (int key : {30, 10, 20}) {
            OgrWriter::Feature(layer, "POINT (0 0)",
                               [&](OGRFeature& f) { f.SetField("Key", key); });
        }
    }
    // FIDs usable for a while, then out of order: every feature is renumbered.
    testing::WriteText(folder / "late.geojson",
                       R"({"type":"FeatureCollection","features":[)"
                       R"({"type":"Feature","id":5,"properties":{"Key":50},"geometry":null},)"
                       R"({"type":"Feature","id":9,"properties":{"Key":90},"geometry":null},)"
                       R"({"type":"Feature","id":3,"properties":{"Key":30},)"
                       R"("geometry":{"type":"Point","coordinates":[1,2]}}]})");
    const auto late = LoadDataSet(folder / "late.geojson");
    const auto& lateStore = *late.host.FeatureLayerNamed("late")->Data()->Store();
    EXPECT_EQ(OidsOf(lateStore), (std::vector<std::int32_t>{1, 2, 3}));
    const std::vector<host::FieldValue> keys{std::int32_t{50}, std::int32_t{90}, std::int32_t{30}};
    for (std::size_t row = 0; row < keys.size(); ++row) {
        EXPECT_EQ(lateStore.At(row).values[2], keys[row]);
    }

    const auto kept = LoadDataSet(folder / "kept.gpkg");
    EXPECT_EQ(OidsOf(*kept.host.FeatureLayerNamed("Kept")->Data()->Store()),
              (std::vector<std::int32_t>{5, 9, 20}));

    const auto counted = LoadDataSet(folder / "counted.shp");
    const auto& store = *counted.host.FeatureLayerNamed("counted")->Data()->Store();
    EXPECT_EQ(OidsOf(store), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(store.At(0).values[2], host::FieldValue(std::int32_t{30}));
    EXPECT_EQ(store.FieldSet()->At(0).NameText(), "OBJECTID");
}

TEST(LoadDataSet, ListsPointsOverLinesOverPolygonsAndMakesLayersWithoutGeometryTables) {
    TempFolder folder;
    const auto file = folder / "mixed.gpkg";
    {
        OgrWriter writer(file, "GPKG");
        OgrWriter::Feature(writer.Layer("Areas", wkbPolygon, {}), "POLYGON ((0 0,1 0,1 1,0 0))");
        auto& owners = writer.Layer("Owners", wkbNone, {{"Owner", OFTString}});
        OgrWriter::Feature(owners, "", [](OGRFeature& f) { f.SetField("Owner", "Ann"); });
        OgrWriter::Feature(writer.Layer("Rivers", wkbLineString, {}), "LINESTRING (0 0,5 5)");
        OgrWriter::Feature(writer.Layer("Wells", wkbPoint, {}), "POINT (2 2)");
        OgrWriter::Feature(writer.Layer("Lakes", wkbMultiPolygon, {}),
                           "MULTIPOLYGON (((3 3,4 3,4 4,3 3)))");
    }
    const auto document = LoadDataSet(file);
    const auto& map = document.host.FocusMap();
    std::vector<std::string> names;
    for (const auto& layer : map.Layers()) names.push_back(layer->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Wells", "Rivers", "Areas", "Lakes"}));
    ASSERT_EQ(map.StandaloneTables().size(), 1U);
    const auto owners = document.host.TableNamed("Owners");
    ASSERT_NE(owners->Data(), nullptr);
    EXPECT_EQ(owners->Data()->Store()->At(0).values[1], host::FieldValue("Ann"));
    // The view starts on everything.
    const auto extent = map.View().Extent();
    EXPECT_LE(extent->XMin(), 0);
    EXPECT_GE(extent->XMax(), 5);
}

// A Shapefile that declares no encoding (no .cpg, no code page mark) holding
// Latin-1 text: the text reads as UTF-8, field name and value alike.
TEST(LoadDataSet, TextOfAnUndeclaredEncodingReadsAsUtf8) {
    TempFolder folder;
    const auto file = folder / "wells.shp";
    {
        OgrWriter writer(file, "ESRI Shapefile");
        auto& layer = writer.Layer("wells", wkbPoint, {{"Caf\xe9", OFTString}}, {"ENCODING="});
        OgrWriter::Feature(layer, "POINT (1 2)", [](OGRFeature& f) {
            f.SetField(0,
                       "Cr\xe8me br\xfbl\xe9"
                       "e");
        });
    }
    std::filesystem::remove(folder / "wells.cpg");
    const auto document = LoadDataSet(file);
    const auto layer = document.host.FeatureLayerNamed("wells");
    EXPECT_EQ(FieldsOf(*layer).back().first, "Caf\xc3\xa9");
    EXPECT_EQ(layer->Data()->Store()->At(0).values.back(),
              host::FieldValue("Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"
                               "e"));
}

// One GeoJSON layer of the given features and the shape the host makes of it.
struct ShapeCase {
    const char* label;
    std::vector<const char*> geometries;  // GeoJSON geometry objects
    std::int32_t shapeType;
    std::vector<objects::Path> firstParts;  // the first feature's parts
};

class LoadDataSetShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(LoadDataSetShapes, MapOntoTheHostsShapeTypes) {
    TempFolder folder;
    const auto file = folder / "shapes.geojson";
    std::string text = R"({"type":"FeatureCollection","features":[)";
    for (std::size_t i = 0; i < GetParam().geometries.size(); ++i) {
        text += std::string(i ? "," : "") + R"({"type":"Feature","properties":{},"geometry":)" +
                GetParam().geometries[i] + "}";
    }
    testing::WriteText(file, text + "]}");

    const auto document = LoadDataSet(file);
    const auto layer = document.host.FeatureLayerNamed("shapes");
    EXPECT_EQ(layer->Data()->ShapeType(), GetParam().shapeType);
    EXPECT_EQ(PartsOf(layer->Data()->Store()->At(0)), GetParam().firstParts);
    EXPECT_EQ(layer->Data()->Store()->Size(), GetParam().geometries.size());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LoadDataSetShapes,
    ::testing::Values(
        ShapeCase{"Points",
                  {R"({"type":"Point","coordinates":[1,2]})"},
                  host::esriGeometryPoint,
                  {{{1, 2}}}},
        ShapeCase{"PointsWithMultipointsBecomeMultipoints",
                  {R"({"type":"Point","coordinates":[1,2]})",
                   R"({"type":"MultiPoint","coordinates":[[3,4],[5,6]]})"},
                  host::esriGeometryMultipoint,
                  {{{1, 2}}}},
        ShapeCase{"LinesWithMultilinesBecomePolylines",
                  {R"({"type":"MultiLineString","coordinates":[[[0,0],[1,1]],[[2,2],[3,3]]]})",
                   R"({"type":"LineString","coordinates":[[0,0],[9,9]]})"},
                  host::esriGeometryPolyline,
                  {{{0, 0}, {1, 1}}, {{2, 2}, {3, 3}}}},
        ShapeCase{"PolygonHolesAndMultipolygonsBecomeRingsOfPolygons",
                  {R"({"type":"Polygon","coordinates":[[[0,0],[10,0],[10,10],[0,0]],)"
                   R"([[2,1],[8,1],[8,7],[2,1]]]})",
                   R"({"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[1,1],[0,0]]],)"
                   R"([[[5,5],[6,5],[6,6],[5,5]]]]})"},
                  host::esriGeometryPolygon,
                  {{{0, 0}, {10, 0}, {10, 10}}, {{2, 1}, {8, 1}, {8, 7}}}},
        ShapeCase{"ZIsDropped",
                  {R"({"type":"LineString","coordinates":[[0,0,100],[1,1,200]]})"},
                  host::esriGeometryPolyline,
                  {{{0, 0}, {1, 1}}}},
        ShapeCase{"NullGeometriesReadAsNoShape",
                  {R"(null)", R"({"type":"Point","coordinates":[7,8]})"},
                  host::esriGeometryPoint,
                  {}}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(LoadDataSet, CurvesAreLinearised) {
    TempFolder folder;
    const auto file = folder / "curves.gpkg";
    {
        OgrWriter writer(file, "GPKG");
        OgrWriter::Feature(writer.Layer("Ponds", wkbCurvePolygon, {}),
                           "CURVEPOLYGON (CIRCULARSTRING (0 0,10 0,0 0))");
        OgrWriter::Feature(writer.Layer("Bends", wkbCompoundCurve, {}),
                           "COMPOUNDCURVE ((0 0,5 0),CIRCULARSTRING (5 0,10 5,15 0))");
    }
    const auto document = LoadDataSet(file);
    const auto ponds = document.host.FeatureLayerNamed("Ponds")->Data();
    EXPECT_EQ(ponds->ShapeType(), host::esriGeometryPolygon);
    const auto ring = PartsOf(ponds->Store()->At(0));
    ASSERT_EQ(ring.size(), 1U);
    EXPECT_GT(ring[0].size(), 8U);
    // Every vertex lies on the circle of radius 5 about (5, 0).
    for (const auto& xy : ring[0]) EXPECT_NEAR(std::hypot(xy.x - 5, xy.y), 5, 1e-6);
    const auto bends = document.host.FeatureLayerNamed("Bends")->Data();
    EXPECT_EQ(bends->ShapeType(), host::esriGeometryPolyline);
    EXPECT_EQ(PartsOf(bends->Store()->At(0))[0].back(), (objects::XY{15, 0}));
}

// A data set the map cannot show, and what the error must say.
struct RefusalCase {
    const char* label;
    const char* file;
    std::function<void(const std::filesystem::path&)> write;
    std::string expected;  // after "<file>: "
};

class LoadDataSetRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LoadDataSetRefusal, NamesTheFileAndLayer) {
    TempFolder folder;
    const auto file = folder / GetParam().file;
    GetParam().write(file);
    EXPECT_THAT(DescriptionOf([&] { LoadDataSet(file); }),
                ::testing::StartsWith(file.generic_string() + ": " + GetParam().expected));
}

// ids: the features' "id" members, else 1, 2, ...
void WriteGeoJson(const std::filesystem::path& file, const std::vector<std::string>& geometries,
                  const std::vector<int>& ids = {}) {
    std::string text = R"({"type":"FeatureCollection","features":[)";
    for (std::size_t i = 0; i < geometries.size(); ++i) {
        const int id = ids.empty() ? static_cast<int>(i) + 1 : ids[i];
        text += std::string(i ? "," : "") + R"({"type":"Feature","id":)" + std::to_string(id) +
                R"(,"properties":{},"geometry":)" + geometries[i] + "}";
    }
    testing::WriteText(file, text + "]}");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadDataSetRefusal,
    ::testing::Values(
        RefusalCase{"GeometryCollection", "bag.geojson",
                    [](const auto& file) {
                        WriteGeoJson(file, {R"({"type":"GeometryCollection","geometries":[)"
                                            R"({"type":"Point","coordinates":[1,2]}]})"});
                    },
                    "layer \"bag\": its geometry type Geometry Collection cannot be shown "
                    "(points, lines and polygons only)"},
        RefusalCase{"PointsAmongPolygons", "mix.geojson",
                    [](const auto& file) {
                        WriteGeoJson(
                            file,
                            {R"({"type":"Point","coordinates":[1,2]})",
                             R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]})"});
                    },
                    "layer \"mix\": feature OID 2 is a POLYGON among points; a layer holds one "
                    "kind of shape"},
        RefusalCase{"CollectionInAPolygonLayer", "bag.gpkg",
                    [](const auto& file) {
                        OgrWriter writer(file, "GPKG");
                        auto& layer = writer.Layer("Parcels", wkbMultiPolygon, {});
                        OgrWriter::Feature(layer, "MULTIPOLYGON (((0 0,1 0,1 1,0 0)))");
                        OgrWriter::Feature(layer, "GEOMETRYCOLLECTION (POINT (1 1))");
                    },
                    "layer \"Parcels\": feature OID 2: a GEOMETRYCOLLECTION cannot be shown "
                    "(points, lines and polygons only)"},
        // Plain GeoJSON numbers its features from 0; the map from 1.
        RefusalCase{"FeatureNamedByTheOidTheMapGivesIt", "plain.geojson",
                    [](const auto& file) {
                        testing::WriteText(
                            file,
                            R"({"type":"FeatureCollection","features":[)"
                            R"({"type":"Feature","properties":{},"geometry":)"
                            R"({"type":"Point","coordinates":[1,2]}},)"
                            R"({"type":"Feature","properties":{},"geometry":)"
                            R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]}}]})");
                    },
                    "layer \"plain\": feature OID 2 is a POLYGON among points"},
        // Met while the FIDs still served as ids; the layer's later FIDs decide.
        RefusalCase{"RefusedFeatureNamedByTheOidTheWholeLayerGivesIt", "late.geojson",
                    [](const auto& file) {
                        WriteGeoJson(file,
                                     {R"({"type":"Point","coordinates":[1,2]})",
                                      R"({"type":"Point","coordinates":[1e400,2]})",
                                      R"({"type":"Point","coordinates":[3,4]})"},
                                     {5, 9, 3});
                    },
                    "layer \"late\": feature OID 2: a coordinate is not a finite number"},
        RefusalCase{"NoFeatures", "empty.geojson", [](const auto& file) { WriteGeoJson(file, {}); },
                    "holds nothing the map can show: layer \"empty\" holds no features"},
        RefusalCase{"OnlyNullGeometries", "nulls.geojson",
                    [](const auto& file) {
                        WriteGeoJson(file, {"null", "null"});
                    },
                    "holds nothing the map can show: layer \"nulls\" has no geometries to show"},
        RefusalCase{"ShapefilesWithoutTheirIndex", "wells",
                    [](const auto& folder) {
                        {
                            OgrWriter writer(folder, "ESRI Shapefile");
                            OgrWriter::Feature(writer.Layer("wells", wkbPoint, {}), "POINT (1 2)");
                        }
                        std::filesystem::remove(folder / "wells.shx");
                    },
                    "holds no layer that can be read: Unable to open"},
        RefusalCase{"Missing", "absent.gpkg", [](const auto&) {}, "no such file"},
        RefusalCase{"Pipe", "pipe.gpkg", [](const auto& file) { ::mkfifo(file.c_str(), 0600); },
                    "is not a regular file"},
        RefusalCase{"NotADataSet", "notes.txt",
                    [](const auto& file) { testing::WriteText(file, "just words\n"); },
                    "cannot be opened as a vector data set: "}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace velorin::gdal

// The two ways a GeoPackage layer is read (GDAL's Arrow stream and its feature
// loop) give the same layer, the same refusal or the same error.
#include "platform/gdal/ogr_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <variant>

#include "host/error.h"
#include "platform/objects/geometry.h"
#include "tests/gdal/ogr_fixture.h"

namespace velorin::gdal {
namespace {

using testing::OgrField;
using testing::OgrWriter;
using testing::TempFolder;

// Everything the host holds of a layer, as text: its kind, fields and rows
// (object id, values, shape type and parts), or the error that refused it.
std::string Outcome(const DataSetReader& reader, const std::string& layer, LayerRole role,
                    ReadPath path) {
    std::ostringstream out;
    out << std::hexfloat;
    try {
        const LayerData data =
            reader.Read(layer, role, std::make_shared<objects::HostContext>(), path);
        const auto& store = data.featureClass ? *data.featureClass->Store() : *data.table->Store();
        out << (data.featureClass ? "features of shape type " : "table")
            << (data.featureClass ? std::to_string(data.featureClass->ShapeType()) : "") << "\n";
        const auto& fields = *store.FieldSet();
        for (std::int32_t i = 0; i < fields.Count(); ++i) {
            out << fields.At(i).NameText() << " " << fields.At(i).TypeCode() << " "
                << fields.At(i).AliasText() << "\n";
        }
        for (std::size_t p = 0; p < store.Size(); ++p) {
            out << store.OidAt(p) << ":";
            for (std::int32_t i = 0; i < fields.Count(); ++i) {
                const host::FieldValue value = store.ValueAt(p, static_cast<std::size_t>(i));
                out << " " << value.Get().index() << "=";
                std::visit(
                    [&](const auto& v) {
                        using T = std::decay_t<decltype(v)>;
                        if constexpr (std::is_same_v<T, host::Date>) {
                            out << v.days;
                        } else if constexpr (std::is_same_v<T, host::ObjectId>) {
                            out << v.value;
                        } else if constexpr (!std::is_same_v<T, std::monostate>) {
                            out << v;
                        }
                    },
                    value.Get());
            }
            if (const auto shape = store.ShapeAt(p)) {
                out << " shape " << shape->GeometryType();
                if (const auto point = std::dynamic_pointer_cast<objects::PointGeometry>(shape)) {
                    out << " " << point->Coords().x << " " << point->Coords().y;
                } else {
                    for (const auto& part :
                         std::dynamic_pointer_cast<objects::MultiPartGeometry>(shape)->Parts()) {
                        out << " (";
                        for (const auto& xy : part) out << xy.x << " " << xy.y << ",";
                        out << ")";
                    }
                }
            }
            out << "\n";
        }
    } catch (const Error& error) {
        out << "error: " << error.Description();
    }
    return out.str();
}

// Runs SQL on a GeoPackage, for values GDAL itself would not write.
void Sql(const std::filesystem::path& file, const std::string& sql) {
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    if (!dataset) throw std::runtime_error("cannot open " + file.string());
    const GdalErrorScope quiet;
    dataset->ReleaseResultSet(dataset->ExecuteSQL(sql.c_str(), nullptr, nullptr));
    if (quiet.Failed()) throw std::runtime_error(sql + ": " + quiet.Failure());
}

// Writes the points (i i) numbered 1 to count, in one transaction.
void WritePoints(const std::filesystem::path& file, int count) {
    OgrWriter writer(file, "GPKG");
    auto& layer = writer.Layer("L", wkbPoint, {{"N", OFTInteger}});
    if (layer.StartTransaction() != OGRERR_NONE) throw std::runtime_error("no transaction");
    for (int i = 1; i <= count; ++i) {
        OgrWriter::Feature(layer, "POINT (" + std::to_string(i) + " " + std::to_string(i) + ")",
                           [&](OGRFeature& f) { f.SetField("N", i); });
    }
    if (layer.CommitTransaction() != OGRERR_NONE) throw std::runtime_error("no commit");
}

// Breaks the page header of a leaf of table L two thirds into the table, as a
// damaged disk or an interrupted copy would.
void DamageAPageOfL(const std::filesystem::path& file) {
    std::vector<GIntBig> pages;
    GIntBig pageSize = 0;
    {
        GDALDatasetUniquePtr dataset(
            GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        const auto query = [&](const char* sql, const std::function<void(GIntBig)>& each) {
            OGRLayer* rows = dataset->ExecuteSQL(sql, nullptr, nullptr);
            if (!rows) throw std::runtime_error(sql);
            while (OGRFeatureUniquePtr row{rows->GetNextFeature()}) {
                each(row->GetFieldAsInteger64(0));
            }
            dataset->ReleaseResultSet(rows);
        };
        query("SELECT pageno FROM dbstat WHERE name = 'L' AND pagetype = 'leaf' ORDER BY pageno",
              [&](GIntBig page) { pages.push_back(page); });
        query("PRAGMA page_size", [&](GIntBig size) { pageSize = size; });
    }
    if (pages.size() < 3 || pageSize == 0) throw std::runtime_error("no pages to damage");
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>((pages[pages.size() * 2 / 3] - 1) * pageSize));
    out.put('\xFF');
}

struct PathCase {
    const char* label;
    std::function<void(const std::filesystem::path&)> write;  // layer "L" of a GeoPackage
    LayerRole role;
    bool streams;  // the Arrow stream gives the layer as the loop reads it
};

class ReadPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(ReadPaths, GiveTheSameLayer) {
    TempFolder folder;
    const auto file = folder / "data.gpkg";
    GetParam().write(file);
    const DataSetReader reader(file, "data.gpkg");
    const auto read = [&](ReadPath path) { return Outcome(reader, "L", GetParam().role, path); };
    const std::string loop = read(ReadPath::FeatureLoop);
    EXPECT_EQ(read(ReadPath::Fastest), loop);
    if (GetParam().streams) {
        EXPECT_EQ(read(ReadPath::ArrowStream), loop);
    } else {
        EXPECT_THAT(read(ReadPath::ArrowStream),
                    ::testing::HasSubstr("cannot be read through GDAL's Arrow stream"));
    }
}

const std::vector<OgrField> kEveryStreamedType{
    {"Count", OFTInteger},  {"Small", OFTInteger, OFSTInt16},
    {"Wide", OFTInteger64}, {"Narrow", OFTInteger64},
    {"Ratio", OFTReal},     {"Ratio32", OFTReal, OFSTFloat32},
    {"Name", OFTString}};

void WriteEveryStreamedType(const std::filesystem::path& file, OGRwkbGeometryType type) {
    {
        OgrWriter writer(file, "GPKG");
        auto& layer = writer.Layer("L", type, kEveryStreamedType);
        OgrWriter::Feature(layer, "POINT (1 2)", [](OGRFeature& f) {
            f.SetField("Count", 42);
            f.SetField("Small", -7);
            f.SetField("Wide", static_cast<GIntBig>(3000000000LL));
            f.SetField("Narrow", static_cast<GIntBig>(-2));
            f.SetField("Ratio", 2.5);
            f.SetField("Ratio32", 0.1);
            f.SetField("Name", "\xC3\x85lesund");
        });
        OgrWriter::Feature(layer, "POINT (3 4)");
        OgrWriter::Feature(layer, "", [](OGRFeature& f) {
            for (int i = 0; i < f.GetFieldCount(); ++i) f.SetFieldNull(i);
        });
        OgrWriter::Feature(layer, "POINT EMPTY");
        OgrWriter::Feature(layer, "POINT (-1e300 0.125)", [](OGRFeature& f) {
            f.SetField("Narrow", static_cast<GIntBig>(7));
            f.SetField("Name", "");
        });
    }
    // What SQLite holds beyond what GDAL writes: text not in UTF-8, text with a NUL,
    // text and overflowing numbers in number columns.
    Sql(file,
        "UPDATE L SET Name = CAST(X'41E942' AS TEXT), Count = 3000000000, Ratio = '12abc' "
        "WHERE fid = 2");
    Sql(file,
        "UPDATE L SET Name = CAST(X'410042' AS TEXT), Count = '77', Wide = 'xyz' "
        "WHERE fid = 4");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPaths,
    ::testing::Values(
        PathCase{"EveryStreamedTypeNullsAndEmptyPoints",
                 [](const auto& file) { WriteEveryStreamedType(file, wkbPoint); }, LayerRole::Auto,
                 true},
        PathCase{"PointsOfAMultipointLayer",
                 [](const auto& file) { WriteEveryStreamedType(file, wkbMultiPoint); },
                 LayerRole::Auto, true},
        PathCase{"AsATable", [](const auto& file) { WriteEveryStreamedType(file, wkbPoint); },
                 LayerRole::Table, true},
        PathCase{"WithoutGeometry",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbNone, kEveryStreamedType);
                     OgrWriter::Feature(layer, "", [](OGRFeature& f) { f.SetField("Count", 3); });
                 },
                 LayerRole::Auto, true},
        PathCase{"PointsThenMultipointsOfAnUndeclaredType",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbUnknown, {});
                     OgrWriter::Feature(layer, "POINT (1 2)");
                     OgrWriter::Feature(layer, "MULTIPOINT ((3 4),(5 6))");
                 },
                 LayerRole::Auto, true},
        PathCase{"MultiPolygonsCurvesHolesAndEmpties",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbUnknown, {});
                     OgrWriter::Feature(layer, "POLYGON EMPTY");
                     OgrWriter::Feature(layer, "");
                     OgrWriter::Feature(layer, "POLYGON ((0 0,10 0,10 10,0 0),(2 1,8 1,8 7,2 1))");
                     OgrWriter::Feature(layer,
                                        "MULTIPOLYGON (((0 0,1 0,1 1,0 0)),((5 5,6 5,6 6,5 5)))");
                     OgrWriter::Feature(layer, "CURVEPOLYGON (CIRCULARSTRING (0 0,10 0,0 0))");
                     OgrWriter::Feature(layer, "POLYGON Z ((0 0 1,1 0 2,1 1 3,0 0 1))");
                 },
                 LayerRole::Auto, true},
        PathCase{"FidsThatCannotServeAsIds",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbLineString, {{"N", OFTInteger}});
                     OgrWriter::Feature(layer, "LINESTRING (0 0,1 1)", {}, 4);
                     OgrWriter::Feature(layer, "MULTILINESTRING ((0 0,1 1),(2 2,3 3))", {}, 9);
                     OgrWriter::Feature(layer,
                                        "COMPOUNDCURVE ((0 0,5 0),CIRCULARSTRING (5 0,10 "
                                        "5,15 0))",
                                        {}, 3000000000LL);
                 },
                 LayerRole::Auto, true},
        PathCase{"NegativeFid",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbPoint, {});
                     OgrWriter::Feature(layer, "POINT (1 1)", {}, -5);
                     OgrWriter::Feature(layer, "POINT (2 2)", {}, 7);
                 },
                 LayerRole::Auto, true},
        PathCase{"PointAmongPolygonsRefused",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbUnknown, {});
                     OgrWriter::Feature(layer, "POLYGON ((0 0,1 0,1 1,0 0))");
                     OgrWriter::Feature(layer, "POINT (1 1)");
                 },
                 LayerRole::Auto, true},
        PathCase{"CollectionRefused",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbMultiPolygon, {});
                     OgrWriter::Feature(layer, "MULTIPOLYGON (((0 0,1 0,1 1,0 0)))");
                     OgrWriter::Feature(layer, "GEOMETRYCOLLECTION (POINT (1 1))");
                 },
                 LayerRole::Auto, true},
        PathCase{"NonFiniteCoordinateRefused",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbPoint, {});
                     OgrWriter::Feature(layer, "POINT (1 1)");
                     OgrWriter::Feature(layer, "", [](OGRFeature& f) {
                         f.SetGeometryDirectly(
                             new OGRPoint(std::numeric_limits<double>::infinity(), 1));
                     });
                 },
                 LayerRole::Auto, true},
        PathCase{"FeatureClassOfNullGeometries",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     OgrWriter::Feature(writer.Layer("L", wkbPoint, {}), "");
                 },
                 LayerRole::FeatureClass, true},
        PathCase{"DatesBinaryAndBooleansTakeTheLoop",
                 [](const auto& file) {
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbPoint,
                                                {{"Born", OFTDate},
                                                 {"Stamp", OFTDateTime},
                                                 {"Bytes", OFTBinary},
                                                 {"Flag", OFTInteger, OFSTBoolean}});
                     OgrWriter::Feature(layer, "POINT (1 2)", [](OGRFeature& f) {
                         f.SetField("Born", 2003, 1, 29);
                         f.SetField("Stamp", 2003, 1, 30, 6, 30, 5.0F);
                         const GByte bytes[] = {0x00, 0x01, 0xFF};
                         f.SetField(f.GetFieldIndex("Bytes"), 3, bytes);
                         f.SetField("Flag", 1);
                     });
                 },
                 LayerRole::Auto, false},
        // GDAL 3.6's stream repeats a failing batch for ever past 125 fields.
        PathCase{"ManyFieldsTakeTheLoop",
                 [](const auto& file) {
                     static const std::vector<std::string> names = [] {
                         std::vector<std::string> made;
                         for (int i = 0; i < 126; ++i)
                             made.push_back(std::string("F").append(std::to_string(i)));
                         return made;
                     }();
                     std::vector<OgrField> fields;
                     for (const auto& name : names) fields.push_back({name.c_str(), OFTInteger});
                     OgrWriter writer(file, "GPKG");
                     auto& layer = writer.Layer("L", wkbPoint, fields);
                     for (int feature = 1; feature <= 2; ++feature) {
                         OgrWriter::Feature(layer, "POINT (1 2)", [&](OGRFeature& f) {
                             for (int i = 0; i < 126; ++i) f.SetField(i, i * feature);
                         });
                     }
                 },
                 LayerRole::Auto, false},
        // The stream narrows what the loop reads whole and the store refuses.
        PathCase{"SmallIntegerBeyondItsRangeTakesTheLoop",
                 [](const auto& file) {
                     {
                         OgrWriter writer(file, "GPKG");
                         OgrWriter::Feature(
                             writer.Layer("L", wkbPoint, {{"Small", OFTInteger, OFSTInt16}}),
                             "POINT (1 2)");
                     }
                     Sql(file, "UPDATE L SET Small = 40000");
                 },
                 LayerRole::Auto, false},
        PathCase{"SingleBeyondItsRangeTakesTheLoop",
                 [](const auto& file) {
                     {
                         OgrWriter writer(file, "GPKG");
                         OgrWriter::Feature(
                             writer.Layer("L", wkbPoint, {{"Ratio32", OFTReal, OFSTFloat32}}),
                             "POINT (1 2)");
                     }
                     Sql(file, "UPDATE L SET Ratio32 = 1e300");
                 },
                 LayerRole::Auto, false},
        // The stream reads a geometry it cannot decode as none; the loop reports it.
        PathCase{"UnreadableGeometryTakesTheLoop",
                 [](const auto& file) {
                     {
                         OgrWriter writer(file, "GPKG");
                         OgrWriter::Feature(writer.Layer("L", wkbPoint, {}), "POINT (1 2)");
                     }
                     Sql(file, "INSERT INTO L (geom) VALUES (X'0001020304')");
                 },
                 LayerRole::Auto, false},
        // The loop numbers the features of a table without a FID column by SQLite's
        // rowid, the stream by their place.
        PathCase{"TableWithoutAFidColumnTakesTheLoop",
                 [](const auto& file) {
                     {
                         OgrWriter writer(file, "GPKG");
                         OgrWriter::Feature(writer.Layer("Other", wkbPoint, {}), "POINT (1 2)");
                     }
                     Sql(file, "CREATE TABLE L (Name TEXT, N INTEGER)");
                     Sql(file, "INSERT INTO L VALUES ('a', 1), ('b', 2), ('c', 3)");
                     Sql(file, "DELETE FROM L WHERE N = 2");
                     Sql(file,
                         "INSERT INTO gpkg_contents (table_name, data_type, identifier) "
                         "VALUES ('L', 'attributes', 'L')");
                 },
                 LayerRole::Auto, false},
        // A feature count left stale over a whole batch of deleted FIDs, and a damaged
        // page, make GDAL 3.6.2's reader of FID ranges ask for one batch for ever.
        PathCase{"StaleCountOverDeletedFids",
                 [](const auto& file) {
                     WritePoints(file, 8192 * 2 + 10);
                     Sql(file, "DROP TRIGGER trigger_delete_feature_count_L");
                     Sql(file, "DELETE FROM L WHERE fid BETWEEN 8193 AND 16384");
                 },
                 LayerRole::Auto, true},
        PathCase{"DamagedPageTakesTheLoop",
                 [](const auto& file) {
                     WritePoints(file, 8192 * 2 + 10);
                     DamageAPageOfL(file);
                 },
                 LayerRole::Auto, false},
        PathCase{"UnreadableGeometryOfATableTakesTheLoop",
                 [](const auto& file) {
                     {
                         OgrWriter writer(file, "GPKG");
                         OgrWriter::Feature(writer.Layer("L", wkbPoint, {}), "POINT (1 2)");
                     }
                     Sql(file, "INSERT INTO L (geom) VALUES (X'475000010000000001')");
                 },
                 LayerRole::Table, false}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace velorin::gdal

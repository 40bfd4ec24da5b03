#include "tools/make_sample/hydrology_sample.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/gdal/gdal_error_scope.h"
#include "platform/gdal/map_document.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::sample {

namespace {

// ---- the landscape -----------------------------------------------------------------

constexpr int Columns = 5;
constexpr int Rows = 4;
constexpr double Cell = 1000.0;  // metres
constexpr double West = 500000.0;
constexpr double North = 5004000.0;
// Columns 0 and 1 drain west through the bottom-left catchment, the others east
// through the bottom-right one.
constexpr int FirstEastColumn = 2;

struct XY {
    double x;
    double y;
};
using Ring = std::vector<XY>;

struct Node {
    int i;  // column line, 0..Columns
    int j;  // row line from the top, 0..Rows
    friend bool operator<(const Node& a, const Node& b) {
        return std::tie(a.i, a.j) < std::tie(b.i, b.j);
    }
};

// A fixed function of its arguments in [-1, 1): the landscape's only source of
// irregularity, so every run draws the same shapes.
double Jitter(std::uint64_t a, std::uint64_t b, std::uint64_t salt) {
    std::uint64_t z =
        a * 0x9E3779B97F4A7C15ULL + b * 0xC2B2AE3D27D4EB4FULL + salt * 0x165667B19E3779F9ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ULL << 52) - 1.0;
}

// Grid corners move a little; those on the outer border only along it, so the
// tiling keeps a rectangular outline.
XY Corner(Node n) {
    XY p{West + n.i * Cell, North - n.j * Cell};
    if (n.i != 0 && n.i != Columns) p.x += 0.15 * Cell * Jitter(n.i, n.j, 1);
    if (n.j != 0 && n.j != Rows) p.y += 0.15 * Cell * Jitter(n.i, n.j, 2);
    return p;
}

// The bends of the boundary between two neighbouring corners, from a to b. Worked
// out in one canonical direction, so both catchments that share an edge get
// exactly the same points and the tiling has neither gaps nor overlaps.
std::vector<XY> Bends(Node a, Node b) {
    const bool flip = b < a;
    const Node from = flip ? b : a;
    const Node to = flip ? a : b;
    const XY p = Corner(from);
    const XY q = Corner(to);
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    const double length = std::hypot(dx, dy);
    const std::uint64_t edge =
        static_cast<std::uint64_t>(from.i * 100 + from.j) * 4 + (to.i != from.i ? 1U : 2U);
    std::vector<XY> bends;
    for (int k = 1; k <= 2; ++k) {
        const double t = k / 3.0;
        const double offset = 0.06 * Cell * Jitter(edge, static_cast<std::uint64_t>(k), 3);
        bends.push_back({p.x + t * dx - offset * dy / length, p.y + t * dy + offset * dx / length});
    }
    if (flip) std::reverse(bends.begin(), bends.end());
    return bends;
}

// The ring through the corners in order (closed back to the first), with the bends
// of every edge.
Ring Outline(const std::vector<Node>& corners) {
    Ring ring;
    for (std::size_t k = 0; k < corners.size(); ++k) {
        ring.push_back(Corner(corners[k]));
        for (const XY& bend : Bends(corners[k], corners[(k + 1) % corners.size()])) {
            ring.push_back(bend);
        }
    }
    return ring;
}

// Counter-clockwise, as exterior rings are written.
Ring CatchmentRing(int column, int row) {
    return Outline({{column, row}, {column, row + 1}, {column + 1, row + 1}, {column + 1, row}});
}

// The outline of the catchments in columns first..last (all rows).
Ring WatershedRing(int first, int last) {
    std::vector<Node> corners;
    for (int j = 0; j < Rows; ++j) corners.push_back({first, j});
    for (int i = first; i <= last; ++i) corners.push_back({i, Rows});
    for (int j = Rows; j > 0; --j) corners.push_back({last + 1, j});
    for (int i = last + 1; i > first; --i) corners.push_back({i, 0});
    return Outline(corners);
}

double Area(const Ring& ring) {
    double twice = 0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const XY& p = ring[k];
        const XY& q = ring[(k + 1) % ring.size()];
        twice += p.x * q.y - q.x * p.y;
    }
    return std::fabs(twice) / 2;
}

XY CellCentre(int column, int row) {
    return {West + (column + 0.5) * Cell, North - (row + 0.5) * Cell};
}

struct Catchment {
    int column;
    int row;
    std::int32_t nerroId;
    std::int32_t nextDownId;  // 0 at a watershed's outlet
    std::int32_t watershedId;
    XY outlet;  // where its water leaves, on its boundary
};

std::int32_t NerroIdAt(int column, int row) { return 1001 + row * Columns + column; }

std::vector<Catchment> Catchments() {
    std::vector<Catchment> catchments;
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column) {
            const bool east = column >= FirstEastColumn;
            Catchment c{column, row, NerroIdAt(column, row), 0, east ? 2 : 1, {}};
            // The edge the water crosses, named by its two corners.
            Node a{}, b{};
            if (row + 1 < Rows) {
                c.nextDownId = NerroIdAt(column, row + 1);
                a = {column, row + 1};
                b = {column + 1, row + 1};
            } else if (east) {
                if (column + 1 < Columns) c.nextDownId = NerroIdAt(column + 1, row);
                a = {column + 1, row};
                b = {column + 1, row + 1};
            } else {
                if (column > 0) c.nextDownId = NerroIdAt(column - 1, row);
                a = {column, row};
                b = {column, row + 1};
            }
            const auto bends = Bends(a, b);
            c.outlet = {(bends[0].x + bends[1].x) / 2, (bends[0].y + bends[1].y) / 2};
            catchments.push_back(c);
        }
    }
    return catchments;
}

// An irregular closed shape around a centre; clockwise for an island (a hole).
Ring Blob(XY centre, double radius, int points, std::uint64_t seed, bool clockwise) {
    Ring ring;
    constexpr double Pi = 3.14159265358979323846;
    for (int k = 0; k < points; ++k) {
        const double angle = (clockwise ? -1.0 : 1.0) * 2 * Pi * k / points;
        const double r = radius * (1.0 + 0.25 * Jitter(seed, static_cast<std::uint64_t>(k), 4));
        ring.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
    }
    return ring;
}

struct Lake {
    std::int32_t id;
    const char* name;
    int column;
    int row;
    bool island;
};
constexpr std::array<Lake, 4> Lakes{{{301, "Mirror Lake", 1, 1, false},
                                     {302, "Heron Pond", 3, 1, false},
                                     {303, "Long Lake", 3, 2, true},
                                     {304, "Stone Tarn", 0, 3, false}}};

struct Station {
    std::int32_t featureId;
    const char* name;
    int column;
    int row;
    std::optional<std::array<int, 3>> installed;  // year, month, day
};
const std::array<Station, 6> Stations{{{7001, "Upper Alder gauge", 0, 0, {{2004, 5, 12}}},
                                       {7002, "Mirror Lake outflow", 1, 1, {{2011, 9, 1}}},
                                       {7003, "Birch headwater", 3, 0, {{2015, 3, 23}}},
                                       {7004, "Heron Pond inlet", 3, 1, std::nullopt},
                                       {7005, "Long Lake weir", 3, 2, {{1998, 7, 30}}},
                                       {7006, "Lower Birch gauge", 4, 3, {{2020, 10, 5}}}}};

// ---- writing the GeoPackage --------------------------------------------------------

class SampleWriter {
  public:
    explicit SampleWriter(std::string display) : m_display(std::move(display)) {}

    [[noreturn]] void Fail(const gdal::GdalErrorScope& errors, const std::string& what) const {
        throw Error(host::E_HOST_FAIL, m_display + ": cannot be written: " + what +
                                           (errors.Failed() ? ": " + errors.Failure() : ""));
    }

    OGRLayer* Layer(GDALDataset& dataset, const gdal::GdalErrorScope& errors, const char* name,
                    OGRwkbGeometryType type, OGRSpatialReference& srs,
                    const std::vector<std::pair<const char*, OGRFieldType>>& fields) const {
        CPLStringList options;
        // The R-tree costs more to build than the sample takes to write.
        options.SetNameValue("SPATIAL_INDEX", "NO");
        OGRLayer* layer = dataset.CreateLayer(name, &srs, type, options.List());
        if (!layer) Fail(errors, std::string("layer ") + name);
        for (const auto& [field, fieldType] : fields) {
            OGRFieldDefn definition(field, fieldType);
            if (layer->CreateField(&definition) != OGRERR_NONE) {
                Fail(errors, std::string("field ") + name + "." + field);
            }
        }
        return layer;
    }

    void Add(OGRLayer& layer, const gdal::GdalErrorScope& errors, OGRFeature& feature) const {
        if (layer.CreateFeature(&feature) != OGRERR_NONE) {
            Fail(errors, std::string("a feature of ") + layer.GetName());
        }
    }

  private:
    std::string m_display;
};

OGRPolygon Polygon(const std::vector<Ring>& rings) {
    OGRPolygon polygon;
    for (const Ring& ring : rings) {
        OGRLinearRing linear;
        for (const XY& p : ring) linear.addPoint(p.x, p.y);
        linear.closeRings();
        polygon.addRing(&linear);
    }
    return polygon;
}

// The GeoPackage at file, replacing one there: empty, of no raster.
GDALDatasetUniquePtr CreateGeoPackage(const std::filesystem::path& file, const SampleWriter& writer,
                                      const gdal::GdalErrorScope& errors) {
    std::error_code removed;
    std::filesystem::remove(file, removed);
    if (removed) {
        throw Error(host::E_HOST_FAIL,
                    file.generic_string() + ": cannot be replaced: " + removed.message());
    }
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    if (!driver) writer.Fail(errors, "GDAL has no GeoPackage driver");
    GDALDatasetUniquePtr dataset(
        driver->Create(file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) writer.Fail(errors, "the file cannot be created");
    return dataset;
}

struct SampleLayers {
    OGRLayer* catchments;
    OGRLayer* junctions;
    OGRLayer* watersheds;
    OGRLayer* waterbodies;
    OGRLayer* stations;
};

// The five layers with their fields, no features yet.
SampleLayers CreateLayers(GDALDataset& dataset, const SampleWriter& writer,
                          const gdal::GdalErrorScope& errors) {
    OGRSpatialReference srs;
    if (srs.importFromEPSG(32632) != OGRERR_NONE) writer.Fail(errors, "UTM zone 32N is unknown");
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    SampleLayers layers{};
    layers.catchments = writer.Layer(dataset, errors, "Catchment", wkbPolygon, srs,
                                     {{"NerroID", OFTInteger},
                                      {"NextDownID", OFTInteger},
                                      {"WatershedID", OFTInteger},
                                      {"Name", OFTString},
                                      {"AreaKm2", OFTReal}});
    layers.junctions = writer.Layer(dataset, errors, "NerroJunction", wkbPoint, srs,
                                    {{"JunctionID", OFTInteger}, {"NerroID", OFTInteger}});
    layers.watersheds = writer.Layer(dataset, errors, "Watershed", wkbPolygon, srs,
                                     {{"WatershedID", OFTInteger}, {"Name", OFTString}});
    layers.waterbodies =
        writer.Layer(dataset, errors, "Waterbody", wkbPolygon, srs,
                     {{"WaterbodyID", OFTInteger}, {"Name", OFTString}, {"NerroID", OFTInteger}});
    layers.stations = writer.Layer(dataset, errors, "MonitoringPoint", wkbPoint, srs,
                                   {{"FeatureID", OFTInteger},
                                    {"Name", OFTString},
                                    {"NerroID", OFTInteger},
                                    {"InstalledOn", OFTDate}});
    return layers;
}

void WriteCatchments(OGRLayer& layer, const std::vector<Catchment>& all, const SampleWriter& writer,
                     const gdal::GdalErrorScope& errors) {
    for (const Catchment& c : all) {
        OGRFeature feature(layer.GetLayerDefn());
        const Ring ring = CatchmentRing(c.column, c.row);
        feature.SetField("NerroID", c.nerroId);
        feature.SetField("NextDownID", c.nextDownId);
        feature.SetField("WatershedID", c.watershedId);
        feature.SetField("Name", ("Catchment " + std::to_string(c.nerroId)).c_str());
        feature.SetField("AreaKm2", std::round(Area(ring) / 1e3) / 1e3);
        const OGRPolygon shape = Polygon({ring});
        feature.SetGeometry(&shape);
        writer.Add(layer, errors, feature);
    }
}

// Junctions are stored in another order than their catchments, so that a
// junction's object id says nothing about its catchment: only NerroID does.
void WriteJunctions(OGRLayer& layer, const std::vector<Catchment>& all, const SampleWriter& writer,
                    const gdal::GdalErrorScope& errors) {
    for (std::size_t k = 0; k < all.size(); ++k) {
        const Catchment& c = all[all.size() - 1 - k];
        OGRFeature feature(layer.GetLayerDefn());
        feature.SetField("JunctionID", static_cast<int>(5001 + k));
        feature.SetField("NerroID", c.nerroId);
        OGRPoint point(c.outlet.x, c.outlet.y);
        feature.SetGeometry(&point);
        writer.Add(layer, errors, feature);
    }
}

void WriteWatersheds(OGRLayer& layer, const SampleWriter& writer,
                     const gdal::GdalErrorScope& errors) {
    const std::array<std::tuple<int, const char*, int, int>, 2> sheds{
        {{1, "Alder Creek", 0, FirstEastColumn - 1},
         {2, "Birch River", FirstEastColumn, Columns - 1}}};
    for (const auto& [id, name, first, last] : sheds) {
        OGRFeature feature(layer.GetLayerDefn());
        feature.SetField("WatershedID", id);
        feature.SetField("Name", name);
        const OGRPolygon shape = Polygon({WatershedRing(first, last)});
        feature.SetGeometry(&shape);
        writer.Add(layer, errors, feature);
    }
}

void WriteWaterbodies(OGRLayer& layer, const SampleWriter& writer,
                      const gdal::GdalErrorScope& errors) {
    for (const Lake& lake : Lakes) {
        OGRFeature feature(layer.GetLayerDefn());
        feature.SetField("WaterbodyID", lake.id);
        feature.SetField("Name", lake.name);
        feature.SetField("NerroID", NerroIdAt(lake.column, lake.row));
        const XY centre = CellCentre(lake.column, lake.row);
        std::vector<Ring> rings{
            Blob(centre, 0.18 * Cell, 12, static_cast<std::uint64_t>(lake.id), false)};
        if (lake.island) {
            rings.push_back(
                Blob(centre, 0.05 * Cell, 6, static_cast<std::uint64_t>(lake.id) + 1, true));
        }
        const OGRPolygon shape = Polygon(rings);
        feature.SetGeometry(&shape);
        writer.Add(layer, errors, feature);
    }
}

void WriteStations(OGRLayer& layer, const SampleWriter& writer,
                   const gdal::GdalErrorScope& errors) {
    for (const Station& station : Stations) {
        OGRFeature feature(layer.GetLayerDefn());
        feature.SetField("FeatureID", station.featureId);
        feature.SetField("Name", station.name);
        feature.SetField("NerroID", NerroIdAt(station.column, station.row));
        if (station.installed) {
            const auto& [year, month, day] = *station.installed;
            feature.SetField("InstalledOn", year, month, day);
        } else {
            feature.SetFieldNull(feature.GetFieldIndex("InstalledOn"));
        }
        const XY centre = CellCentre(station.column, station.row);
        OGRPoint point(centre.x + 0.25 * Cell, centre.y - 0.22 * Cell);
        feature.SetGeometry(&point);
        writer.Add(layer, errors, feature);
    }
}

void WriteDataSet(const std::filesystem::path& file) {
    gdal::RegisterGdalDrivers();
    gdal::GdalErrorScope errors;
    const SampleWriter writer(file.generic_string());
    GDALDatasetUniquePtr dataset = CreateGeoPackage(file, writer, errors);
    const SampleLayers layers = CreateLayers(*dataset, writer, errors);

    if (dataset->StartTransaction() != OGRERR_NONE) writer.Fail(errors, "no transaction");
    const auto all = Catchments();
    WriteCatchments(*layers.catchments, all, writer, errors);
    WriteJunctions(*layers.junctions, all, writer, errors);
    WriteWatersheds(*layers.watersheds, writer, errors);
    WriteWaterbodies(*layers.waterbodies, writer, errors);
    WriteStations(*layers.stations, writer, errors);
    if (dataset->CommitTransaction() != OGRERR_NONE) writer.Fail(errors, "the commit failed");
    dataset.reset();
    if (errors.Failed()) writer.Fail(errors, "closing");
}

// ---- the map document --------------------------------------------------------------

// Distinct colours for the catchments, neighbours in NerroID order far apart.
constexpr std::array<std::array<int, 3>, 20> Palette{
    {{230, 25, 75},   {60, 180, 75},   {255, 225, 25},  {0, 130, 200},   {245, 130, 48},
     {145, 30, 180},  {70, 240, 240},  {240, 50, 230},  {210, 245, 60},  {250, 190, 212},
     {0, 128, 128},   {220, 190, 255}, {170, 110, 40},  {255, 250, 200}, {128, 0, 0},
     {170, 255, 195}, {128, 128, 0},   {255, 215, 180}, {0, 0, 128},     {128, 128, 128}}};

void WriteDocument(const std::filesystem::path& dataSet, const std::filesystem::path& file) {
    gdal::MapDocument document = gdal::LoadDataSet(dataSet);
    const auto& context = document.host.SharedContext();
    auto color = [&](int r, int g, int b) { return objects::MakeRgbColor(context, r, g, b); };
    auto line = [&](const std::shared_ptr<objects::RgbColor>& rgb, double width) {
        auto symbol = std::make_shared<objects::SimpleLineSymbol>(context);
        symbol->SetColor(rgb);
        symbol->SetWidth(width);
        return symbol;
    };
    auto fill = [&](const std::shared_ptr<objects::RgbColor>& rgb, std::int32_t style,
                    const std::shared_ptr<objects::SimpleLineSymbol>& outline) {
        auto symbol = std::make_shared<objects::SimpleFillSymbol>(context);
        symbol->SetColor(rgb);
        symbol->SetStyle(style);
        symbol->SetOutline(outline);
        return symbol;
    };
    auto marker = [&](const std::shared_ptr<objects::RgbColor>& rgb, std::int32_t style,
                      double size) {
        auto symbol = std::make_shared<objects::SimpleMarkerSymbol>(context);
        symbol->SetColor(rgb);
        symbol->SetStyle(style);
        symbol->SetSize(size);
        return symbol;
    };
    auto simple = [&](std::shared_ptr<host::ISymbol> symbol) {
        return std::make_shared<objects::SimpleRenderer>(context, std::move(symbol));
    };

    auto& map = document.host.FocusMap();
    const std::array<const char*, 5> order{"MonitoringPoint", "NerroJunction", "Watershed",
                                           "Waterbody", "Catchment"};
    std::vector<std::shared_ptr<host::ILayer>> layers;
    for (const char* name : order) layers.push_back(document.host.FeatureLayerNamed(name));
    while (map.LayerCount() > 0) map.RemoveLayer(0);
    for (auto& layer : layers) map.AddLayer(layer);

    document.host.FeatureLayerNamed("MonitoringPoint")
        ->SetRenderer(simple(marker(color(200, 0, 0), host::esriSMSDiamond, 10)));
    document.host.FeatureLayerNamed("NerroJunction")
        ->SetRenderer(simple(marker(color(40, 40, 40), host::esriSMSCircle, 7)));
    document.host.FeatureLayerNamed("Watershed")
        ->SetRenderer(
            simple(fill(color(0, 0, 0), host::esriSFSHollow, line(color(50, 50, 50), 2.5))));
    document.host.FeatureLayerNamed("Waterbody")
        ->SetRenderer(
            simple(fill(color(140, 190, 240), host::esriSFSSolid, line(color(30, 90, 170), 1))));

    auto unique = std::make_shared<objects::UniqueValueRenderer>(context);
    unique->SetFieldCount(1);
    unique->SetField(0, "NerroID");
    unique->SetFieldType(0, false);
    for (const Catchment& c : Catchments()) {
        const auto& [r, g, b] =
            Palette[static_cast<std::size_t>(c.nerroId - 1001) % Palette.size()];
        unique->AddValue(host::ToText(c.nerroId), "NerroID",
                         fill(color(r, g, b), host::esriSFSSolid, line(color(90, 90, 90), 0.4)));
    }
    unique->SetDefaultSymbol(
        fill(color(225, 225, 225), host::esriSFSSolid, line(color(90, 90, 90), 0.4)));
    unique->SetUseDefaultSymbol(true);
    unique->SetColorScheme("Distinct 20");
    const auto catchment = document.host.FeatureLayerNamed("Catchment");
    catchment->SetRenderer(unique);
    catchment->SetRendererPropertyPageClassID(std::string(objects::UniqueValuePropertyPageClassID));
    catchment->SetDisplayField("Name");

    map.View().ZoomToFullExtent();
    gdal::SaveMapDocument(document, file);
}

}  // namespace

SampleFiles WriteHydrologySample(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw Error(host::E_HOST_FAIL,
                    folder.generic_string() + ": cannot be created: " + error.message());
    }
    SampleFiles files{folder / "hydrology.gpkg", folder / "hydrology.json"};
    {
        // A fixed time stamp in the GeoPackage's table of contents, so that runs
        // write the same bytes.
        const CPLConfigOptionSetter date("OGR_CURRENT_DATE", "2026-01-01T00:00:00.000Z", false);
        WriteDataSet(files.dataSet);
    }
    WriteDocument(files.dataSet, files.document);
    return files;
}

}  // namespace velorin::sample

#include "platform/gdal/ogr_reader.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/gdal/gdal_error_scope.h"
#include "platform/memory/fields.h"
#include "platform/memory/geometry.h"

namespace velorin::gdal {

namespace {

using memory::HostContext;

// The four shape types of the host, and Unknown while a layer that does not
// declare one has shown no geometry yet.
enum class ShapeKind { Unknown, Point, MultiPoint, Line, Polygon };

std::optional<ShapeKind> KindOf(OGRwkbGeometryType type) {
    switch (wkbFlatten(type)) {
        case wkbUnknown:
            return ShapeKind::Unknown;
        case wkbPoint:
            return ShapeKind::Point;
        case wkbMultiPoint:
            return ShapeKind::MultiPoint;
        case wkbLineString:
        case wkbMultiLineString:
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbMultiCurve:
        case wkbCurve:
            return ShapeKind::Line;
        case wkbPolygon:
        case wkbMultiPolygon:
        case wkbCurvePolygon:
        case wkbMultiSurface:
        case wkbSurface:
            return ShapeKind::Polygon;
        default:
            return std::nullopt;
    }
}

std::int32_t ShapeTypeOf(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return host::esriGeometryPoint;
        case ShapeKind::MultiPoint:
            return host::esriGeometryMultipoint;
        case ShapeKind::Line:
            return host::esriGeometryPolyline;
        case ShapeKind::Polygon:
            return host::esriGeometryPolygon;
        case ShapeKind::Unknown:
            break;
    }
    return host::esriGeometryNull;
}

// The kind that holds both, or nothing when they mix dimensions.
std::optional<ShapeKind> Merge(ShapeKind a, ShapeKind b) {
    if (a == ShapeKind::Unknown || a == b) return b;
    if (b == ShapeKind::Unknown) return a;
    const auto isPoints = [](ShapeKind k) {
        return k == ShapeKind::Point || k == ShapeKind::MultiPoint;
    };
    if (isPoints(a) && isPoints(b)) return ShapeKind::MultiPoint;
    return std::nullopt;
}

const char* KindName(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return "points";
        case ShapeKind::MultiPoint:
            return "multipoints";
        case ShapeKind::Line:
            return "lines";
        case ShapeKind::Polygon:
            return "polygons";
        case ShapeKind::Unknown:
            break;
    }
    return "unknown geometries";
}

// How one data set field is read: Text for a plain string field, AsText for any
// other field read through its text form (lists).
enum class ValueKind { Integer, Integer64, Real, Text, Date, Binary, AsText };

struct FieldPlan {
    std::string name;
    std::string alias;
    std::int32_t type;  // host field type; Integer64 fields are settled after reading
    ValueKind kind;
};

// GDAL recodes text to UTF-8 from the encoding a data set declares (a
// Shapefile's .cpg or code page mark); text still not UTF-8 comes from a data set
// that declares none, and is read as Latin-1 (ISO-8859-1), which every byte is.
std::string Utf8Text(const char* text) {
    if (text == nullptr) return {};
    if (CPLIsUTF8(text, -1)) return text;
    char* recoded = CPLRecode(text, CPL_ENC_ISO8859_1, CPL_ENC_UTF8);
    std::string result = recoded != nullptr ? recoded : "";
    CPLFree(recoded);
    return result;
}

FieldPlan PlanField(const OGRFieldDefn& definition) {
    FieldPlan plan{
        Utf8Text(definition.GetNameRef()), {}, host::esriFieldTypeString, ValueKind::AsText};
    if (const char* alias = definition.GetAlternativeNameRef(); alias && *alias) {
        plan.alias = Utf8Text(alias);
    }
    switch (definition.GetType()) {
        case OFTString:
            plan.kind = ValueKind::Text;
            break;
        case OFTInteger:
            plan.kind = ValueKind::Integer;
            plan.type = definition.GetSubType() == OFSTInt16 ? host::esriFieldTypeSmallInteger
                                                             : host::esriFieldTypeInteger;
            break;
        case OFTInteger64:
            plan.kind = ValueKind::Integer64;
            plan.type = host::esriFieldTypeBigInteger;
            break;
        case OFTReal:
            plan.kind = ValueKind::Real;
            plan.type = definition.GetSubType() == OFSTFloat32 ? host::esriFieldTypeSingle
                                                               : host::esriFieldTypeDouble;
            break;
        case OFTDate:
        case OFTTime:
        case OFTDateTime:
            plan.kind = ValueKind::Date;
            plan.type = host::esriFieldTypeDate;
            break;
        case OFTBinary:
            plan.kind = ValueKind::Binary;
            plan.type = host::esriFieldTypeBlob;
            break;
        case OFTIntegerList:
        case OFTInteger64List:
        case OFTRealList:
        case OFTStringList:
        case OFTWideStringList:
            plan.kind = ValueKind::AsText;
            break;
        default:
            break;
    }
    return plan;
}

host::FieldValue ReadValue(const OGRFeature& feature, int index, ValueKind kind) {
    if (!feature.IsFieldSetAndNotNull(index)) return {};
    // The field's own type is known: its value is read as it is held.
    const OGRField& raw = *feature.GetRawFieldRef(index);
    switch (kind) {
        case ValueKind::Integer:
            return host::FieldValue(static_cast<std::int32_t>(raw.Integer));
        case ValueKind::Integer64:
            return host::FieldValue(static_cast<std::int64_t>(raw.Integer64));
        case ValueKind::Real:
            return host::FieldValue(raw.Real);
        case ValueKind::Date: {
            int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
            float second = 0;
            if (!feature.GetFieldAsDateTime(index, &year, &month, &day, &hour, &minute, &second,
                                            &zone)) {
                return {};
            }
            // A time without a date has year 0: the host's day 0.
            const host::Date midnight =
                year == 0 ? host::Date{0.0} : host::MakeDate(year, month, day);
            const double seconds = hour * 3600.0 + minute * 60.0 + static_cast<double>(second);
            return host::FieldValue(host::Date{midnight.days + seconds / 86400.0});
        }
        case ValueKind::Binary: {
            int size = 0;
            const GByte* bytes = feature.GetFieldAsBinary(index, &size);
            return host::FieldValue(
                std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
        }
        case ValueKind::Text:
            return host::FieldValue(Utf8Text(raw.String));
        case ValueKind::AsText:
            break;
    }
    return host::FieldValue(Utf8Text(feature.GetFieldAsString(index)));
}

// A name for a generated field that no attribute uses.
std::string FreeName(std::string wanted, const std::vector<FieldPlan>& plans) {
    const auto used = [&](const std::string& name) {
        for (const auto& plan : plans) {
            if (memory::SameName(plan.name, name)) return true;
        }
        return false;
    };
    if (!used(wanted)) return wanted;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = wanted + "_" + std::to_string(suffix);
        if (!used(candidate)) return candidate;
    }
}

// Raises a plain message (the caller names the layer and feature) for a
// coordinate that is not finite.
memory::XY FiniteXY(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        throw Error(host::E_HOST_FAIL, "a coordinate is not a finite number");
    }
    return {x, y};
}

// Turns OGR geometries into host shapes.
class ShapeMaker {
  public:
    explicit ShapeMaker(std::shared_ptr<HostContext> context) : m_context(std::move(context)) {}

    // A shape of the shape type; empty for an empty geometry. Raises a plain
    // message (the caller names the layer and feature) for a non-finite coordinate.
    std::shared_ptr<host::IGeometry> Make(const OGRGeometry& geometry,
                                          std::int32_t shapeType) const {
        std::vector<memory::Path> parts;
        Collect(geometry, parts);
        std::erase_if(parts, [](const memory::Path& part) { return part.empty(); });
        if (parts.empty()) return nullptr;
        switch (shapeType) {
            case host::esriGeometryPoint:
                return memory::MakePoint(parts[0][0].x, parts[0][0].y, m_context);
            case host::esriGeometryMultipoint: {
                memory::Path points;
                for (auto& part : parts) points.insert(points.end(), part.begin(), part.end());
                return memory::MakeMultipoint(std::move(points), m_context);
            }
            case host::esriGeometryPolyline:
                return memory::MakePolyline(std::move(parts), m_context);
            default:
                return memory::MakePolygon(std::move(parts), m_context);
        }
    }

    // The coordinates of a point in a layer of points, which the store keeps
    // without a shape object; empty for any other geometry or shape type. Raises
    // as Make does.
    static std::optional<memory::XY> PointOf(const OGRGeometry& geometry, std::int32_t shapeType) {
        if (shapeType != host::esriGeometryPoint ||
            wkbFlatten(geometry.getGeometryType()) != wkbPoint || geometry.IsEmpty()) {
            return std::nullopt;
        }
        const auto& point = *geometry.toPoint();
        return FiniteXY(point.getX(), point.getY());
    }

  private:
    static void Add(const OGRSimpleCurve& curve, std::vector<memory::Path>& parts, bool ring) {
        memory::Path path;
        path.reserve(static_cast<std::size_t>(curve.getNumPoints()));
        for (int i = 0; i < curve.getNumPoints(); ++i) {
            path.push_back(FiniteXY(curve.getX(i), curve.getY(i)));
        }
        if (ring && path.size() > 1 && path.front() == path.back()) path.pop_back();
        parts.push_back(std::move(path));
    }

    // Every point, path or ring in order; multipoints give one part per point.
    static void Collect(const OGRGeometry& geometry, std::vector<memory::Path>& parts) {
        if (geometry.IsEmpty()) return;
        switch (wkbFlatten(geometry.getGeometryType())) {
            case wkbPoint: {
                const auto& point = *geometry.toPoint();
                parts.push_back({FiniteXY(point.getX(), point.getY())});
                return;
            }
            case wkbLineString:
                Add(*geometry.toLineString(), parts, false);
                return;
            case wkbPolygon: {
                const auto& polygon = *geometry.toPolygon();
                if (const auto* exterior = polygon.getExteriorRing()) Add(*exterior, parts, true);
                for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
                    Add(*polygon.getInteriorRing(i), parts, true);
                }
                return;
            }
            case wkbMultiPoint:
            case wkbMultiLineString:
            case wkbMultiPolygon: {
                const auto& collection = *geometry.toGeometryCollection();
                for (int i = 0; i < collection.getNumGeometries(); ++i) {
                    Collect(*collection.getGeometryRef(i), parts);
                }
                return;
            }
            default:
                throw Error(host::E_HOST_FAIL,
                            std::string("a ") + geometry.getGeometryName() + " cannot be shown");
        }
    }

    std::shared_ptr<HostContext> m_context;
};

// Messages name a feature by the object id the map gives it, not by GDAL's FID
// (0-based in Shapefiles and plain GeoJSON).
std::string FeatureText(std::int64_t oid) { return "feature OID " + std::to_string(oid); }

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw Error(host::E_HOST_FAIL, where + what);
}

// How a layer is to be read, from its definition alone.
struct LayerPlan {
    std::vector<FieldPlan> fields;
    bool hasGeometryField = false;
    bool readShapes = false;
    ShapeKind declared = ShapeKind::Unknown;
};

LayerPlan PlanLayer(OGRLayer& layer, LayerRole role, const std::string& where) {
    OGRFeatureDefn& definition = *layer.GetLayerDefn();
    LayerPlan plan;
    for (int i = 0; i < definition.GetFieldCount(); ++i) {
        plan.fields.push_back(PlanField(*definition.GetFieldDefn(i)));
    }
    plan.hasGeometryField = definition.GetGeomFieldCount() > 0;
    plan.readShapes = role != LayerRole::Table && plan.hasGeometryField;
    if (plan.readShapes) {
        const OGRwkbGeometryType declared = definition.GetGeomFieldDefn(0)->GetType();
        const auto declaredKind = KindOf(declared);
        if (!declaredKind) {
            Fail(where, std::string("its geometry type ") + OGRGeometryTypeToName(declared) +
                            " cannot be shown (points, lines and polygons only)");
        }
        plan.declared = *declaredKind;
    }
    return plan;
}

std::shared_ptr<memory::Fields> MakeFieldSet(OGRLayer& layer, const std::vector<FieldPlan>& plans,
                                             bool asFeatures,
                                             const std::shared_ptr<HostContext>& context) {
    std::vector<std::shared_ptr<memory::Field>> fields;
    const char* fidColumn = layer.GetFIDColumn();
    fields.push_back(std::make_shared<memory::Field>(
        context, FreeName(fidColumn && *fidColumn ? fidColumn : "OBJECTID", plans),
        host::esriFieldTypeOID));
    if (asFeatures) {
        const char* geometryColumn = layer.GetGeometryColumn();
        fields.push_back(std::make_shared<memory::Field>(
            context, FreeName(geometryColumn && *geometryColumn ? geometryColumn : "Shape", plans),
            host::esriFieldTypeGeometry));
    }
    for (const auto& plan : plans) {
        fields.push_back(
            std::make_shared<memory::Field>(context, plan.name, plan.type, plan.alias));
    }
    return std::make_shared<memory::Fields>(context, std::move(fields));
}

// What the store is laid out on: known in part before reading, and corrected by
// what the features show. Each fact only ever moves one way (usable FIDs to
// unusable, points to multipoints, a geometry field to none), and a pass that
// finds one changed under rows it stored reads the rest of the layer for its
// checks alone, so a layer is read at most twice; in practice once, as a data
// set's FIDs are usable from the first feature or from none (0-based) and its
// declared type says which kind of shapes it holds.
struct Layout {
    ShapeKind kind = ShapeKind::Unknown;  // the declared kind merged with every feature's
    bool fidsUsable = true;               // the FIDs serve as object ids
    bool withShapes = false;              // the store has a geometry field
};

// One pass over a layer: every feature's checks, and its row stored as it is read.
struct Pass {
    // Empty when nothing is kept: storing was not asked for, was refused, or a fact
    // changed under the rows stored (again).
    std::shared_ptr<memory::RowStore> store;
    bool again = false;
    // The first refusal of the host's store (a duplicate field name, a value that
    // does not fit its field, a non-finite coordinate), raised only once the layer
    // has been read through, as faults of the data set come first; the feature is
    // named by the object id the whole layer gives it.
    std::optional<std::string> refusal;
    std::optional<std::pair<GIntBig, std::size_t>> refusedFeature;  // FID, position
    // Per attribute: every 64-bit integer value so far fits 32 bits.
    std::vector<bool> fitsInteger;
};

// Reads the layer through, checking every feature against the layout (and
// correcting it) and appending rows to a new store when store is set. Raises for
// a feature the map cannot show, naming it by the object id the features read so
// far give it.
Pass ReadPass(OGRLayer& layer, const LayerPlan& plan, Layout& layout, bool store,
              const std::string& where, const std::shared_ptr<HostContext>& context) {
    Pass pass;
    pass.fitsInteger.assign(plan.fields.size(), true);
    if (store) {
        try {
            pass.store = std::make_shared<memory::RowStore>(
                context, MakeFieldSet(layer, plan.fields, layout.withShapes, context),
                layout.withShapes);
        } catch (const Error& error) {
            pass.refusal = error.Description();
        }
    }
    const ShapeMaker maker(context);
    std::vector<host::FieldValue> values;
    values.reserve(plan.fields.size());
    std::size_t count = 0;
    bool shapesStored = false;
    GIntBig lastFid = 0;
    layer.ResetReading();
    while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
        if (count == static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            Fail(where, "has more features than object ids can number");
        }
        const GIntBig fid = feature->GetFID();
        if (layout.fidsUsable &&
            (fid <= lastFid || fid > std::numeric_limits<std::int32_t>::max())) {
            layout.fidsUsable = false;
            if (pass.store && pass.store->Size() > 0) pass.again = true;
        }
        lastFid = fid;
        ++count;
        const std::int64_t oid = layout.fidsUsable ? fid : static_cast<std::int64_t>(count);

        std::unique_ptr<OGRGeometry> geometry;
        if (layout.withShapes) {
            geometry.reset(feature->StealGeometry());
            if (geometry && geometry->IsEmpty()) geometry.reset();
        }
        if (geometry) {
            const auto own = KindOf(geometry->getGeometryType());
            if (!own || *own == ShapeKind::Unknown) {
                Fail(where, FeatureText(oid) + ": a " + geometry->getGeometryName() +
                                " cannot be shown (points, lines and polygons only)");
            }
            const auto merged = Merge(layout.kind, *own);
            if (!merged) {
                Fail(where, FeatureText(oid) + " is a " + geometry->getGeometryName() + " among " +
                                KindName(layout.kind) + "; a layer holds one kind of shape");
            }
            // Only points meeting a multipoint change the kind once shapes are made.
            if (*merged != layout.kind && shapesStored) pass.again = true;
            layout.kind = *merged;
            if (geometry->hasCurveGeometry()) {
                geometry.reset(geometry->getLinearGeometry());
                if (!geometry) Fail(where, FeatureText(oid) + ": a curve cannot be linearised");
            }
        }
        if (pass.again) pass.store.reset();
        if (!pass.store) continue;

        values.clear();
        for (std::size_t i = 0; i < plan.fields.size(); ++i) {
            values.push_back(ReadValue(*feature, static_cast<int>(i), plan.fields[i].kind));
            if (const auto* wide = std::get_if<std::int64_t>(&values.back().Get())) {
                pass.fitsInteger[i] = pass.fitsInteger[i] &&
                                      *wide >= std::numeric_limits<std::int32_t>::min() &&
                                      *wide <= std::numeric_limits<std::int32_t>::max();
            }
        }
        try {
            const std::int32_t shapeType = ShapeTypeOf(layout.kind);
            const auto id = static_cast<std::int32_t>(oid);
            if (const auto point = geometry ? maker.PointOf(*geometry, shapeType) : std::nullopt) {
                shapesStored = true;
                pass.store->Add(std::move(values), *point, id);
            } else {
                auto shape = geometry ? maker.Make(*geometry, shapeType) : nullptr;
                shapesStored = shapesStored || shape != nullptr;
                pass.store->Add(std::move(values), std::move(shape), id);
            }
        } catch (const Error& error) {
            pass.refusal = error.Description();
            pass.refusedFeature.emplace(fid, count - 1);
            pass.store.reset();
        }
    }
    return pass;
}

// 64-bit integers that all fit 32 bits read as plain integers: GeoPackage's
// INTEGER columns and wide Shapefile numbers arrive as 64-bit although they
// hold ordinary ids, and only plain integers can serve as key fields.
void SettleIntegerTypes(memory::RowStore& store, const std::vector<FieldPlan>& plans,
                        const std::vector<bool>& fitsInteger) {
    const std::int32_t first = store.FieldSet()->ShapeIndex() >= 0 ? 2 : 1;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        if (plans[i].kind == ValueKind::Integer64 && fitsInteger[i]) {
            store.Retype(first + static_cast<std::int32_t>(i), host::esriFieldTypeInteger);
        }
    }
}

}  // namespace

void DataSetReader::Closer::operator()(GDALDataset* dataset) const {
    GdalErrorScope quiet;
    GDALClose(GDALDataset::ToHandle(dataset));
}

DataSetReader::DataSetReader(std::filesystem::path file, std::string display)
    : m_file(std::move(file)), m_display(std::move(display)) {
    RegisterGdalDrivers();
    std::error_code error;
    const auto status = std::filesystem::status(m_file, error);
    if (!std::filesystem::exists(status)) {
        throw Error(host::E_HOST_FAIL, m_display + ": no such file");
    }
    // A folder may be a data set (of Shapefiles); a pipe or a device could block
    // the read for ever.
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status)) {
        throw Error(host::E_HOST_FAIL, m_display + ": is not a regular file");
    }
    GdalErrorScope errors;
    const std::string path = m_file.string();
    m_dataset.reset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    if (!m_dataset) {
        throw Error(host::E_HOST_FAIL,
                    m_display + ": cannot be opened as a vector data set: " +
                        errors.FailureOr("GDAL recognises no vector format in it"));
    }
}

DataSetReader::~DataSetReader() = default;

std::vector<std::string> DataSetReader::LayerNames() const {
    // A folder of Shapefiles opens its layers only now, and says here which of
    // them it could not open.
    GdalErrorScope errors;
    std::vector<std::string> names;
    for (int i = 0; i < m_dataset->GetLayerCount(); ++i) {
        names.emplace_back(m_dataset->GetLayer(i)->GetName());
    }
    if (names.empty()) {
        throw Error(host::E_HOST_FAIL, m_display + ": holds no layer that can be read: " +
                                           errors.FailureOr("the data set is empty"));
    }
    return names;
}

bool DataSetReader::HasLayer(const std::string& name) const {
    GdalErrorScope quiet;
    return m_dataset->GetLayerByName(name.c_str()) != nullptr;
}

LayerData DataSetReader::Read(const std::string& name, LayerRole role,
                              const std::shared_ptr<HostContext>& context) const {
    const std::string where = m_display + ": layer \"" + name + "\": ";
    GdalErrorScope errors;
    OGRLayer* layer = m_dataset->GetLayerByName(name.c_str());
    if (!layer) throw Error(host::E_HOST_FAIL, m_display + ": no layer named \"" + name + "\"");

    const LayerPlan plan = PlanLayer(*layer, role, where);
    Layout layout{plan.declared, true, plan.readShapes};
    // A feature class asked of a layer without geometry is refused, but only after
    // the layer is read through, as a fault of the data set itself comes first.
    const bool store = role != LayerRole::FeatureClass || plan.hasGeometryField;
    for (;;) {
        Pass pass = ReadPass(*layer, plan, layout, store, where, context);
        if (errors.Failed()) Fail(where, "cannot be read: " + errors.Failure());
        const bool asFeatures = plan.readShapes && layout.kind != ShapeKind::Unknown;
        if (role == LayerRole::FeatureClass && !asFeatures) {
            Fail(where, plan.hasGeometryField
                            ? "has no geometries to show, so its shape type is unknown"
                            : "has no geometry; it can only be a standalone table");
        }
        if (pass.refusal) {
            // The host's own message gains the layer and feature it was met at.
            std::string feature;
            if (pass.refusedFeature) {
                const auto [fid, position] = *pass.refusedFeature;
                feature =
                    FeatureText(layout.fidsUsable ? fid : static_cast<std::int64_t>(position) + 1) +
                    ": ";
            }
            throw Error(host::E_HOST_FAIL, where + feature + *pass.refusal);
        }
        // A geometry field without a single shape: the layer is a table.
        if (layout.withShapes && !asFeatures) {
            layout.withShapes = false;
            pass.again = true;
        }
        if (pass.again) continue;

        SettleIntegerTypes(*pass.store, plan.fields, pass.fitsInteger);
        pass.store->Compact();
        LayerData data;
        if (asFeatures) {
            data.featureClass = std::make_shared<memory::FeatureClass>(
                context, name, ShapeTypeOf(layout.kind), host::esriFTSimple, std::move(pass.store));
        } else {
            data.table = std::make_shared<memory::Table>(context, name, std::move(pass.store));
        }
        return data;
    }
}

}  // namespace velorin::gdal

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

// How one data set field is read.
enum class ValueKind { Integer, Integer64, Real, Text, Date, Binary, ListText };

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
        Utf8Text(definition.GetNameRef()), {}, host::esriFieldTypeString, ValueKind::Text};
    if (const char* alias = definition.GetAlternativeNameRef(); alias && *alias) {
        plan.alias = Utf8Text(alias);
    }
    switch (definition.GetType()) {
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
            plan.kind = ValueKind::ListText;
            break;
        default:
            break;
    }
    return plan;
}

host::FieldValue ReadValue(const OGRFeature& feature, int index, ValueKind kind) {
    if (!feature.IsFieldSetAndNotNull(index)) return {};
    switch (kind) {
        case ValueKind::Integer:
            return host::FieldValue(static_cast<std::int32_t>(feature.GetFieldAsInteger(index)));
        case ValueKind::Integer64:
            return host::FieldValue(static_cast<std::int64_t>(feature.GetFieldAsInteger64(index)));
        case ValueKind::Real:
            return host::FieldValue(feature.GetFieldAsDouble(index));
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
        case ValueKind::ListText:
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

struct PendingRow {
    GIntBig fid = OGRNullFID;
    // The object id as far as the rows read so far tell (the FID while every FID
    // is usable, else the reading order from 1).
    std::int64_t oid = 0;
    std::vector<host::FieldValue> values;
    std::unique_ptr<OGRGeometry> geometry;
};

// Raises a plain message (the caller names the layer and feature) for a
// coordinate that is not finite.
memory::XY FiniteXY(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        throw Error(host::E_HOST_FAIL, "a coordinate is not a finite number");
    }
    return {x, y};
}

// Turns OGR geometries into host shapes of one shape type.
class ShapeMaker {
  public:
    ShapeMaker(std::int32_t shapeType, std::shared_ptr<HostContext> context)
        : m_shapeType(shapeType), m_context(std::move(context)) {}

    // Empty for an empty geometry. Raises a plain message (the caller names the
    // layer and feature) for a non-finite coordinate.
    std::shared_ptr<host::IGeometry> Make(const OGRGeometry& geometry) const {
        std::vector<memory::Path> parts;
        Collect(geometry, parts);
        std::erase_if(parts, [](const memory::Path& part) { return part.empty(); });
        if (parts.empty()) return nullptr;
        switch (m_shapeType) {
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

    std::int32_t m_shapeType;
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

// Every feature's values and geometry as OGR gave them, before the host's store
// is made (its field types depend on every value).
struct PendingLayer {
    std::vector<PendingRow> rows;
    ShapeKind kind = ShapeKind::Unknown;  // the declared kind merged with every feature's
    bool fidsUsable = true;
};

// Checks the row's geometry against the kinds seen so far and linearises curves.
void AdmitGeometry(PendingRow& row, ShapeKind& kind, const std::string& where) {
    const auto own = KindOf(row.geometry->getGeometryType());
    if (!own || *own == ShapeKind::Unknown) {
        Fail(where, FeatureText(row.oid) + ": a " + row.geometry->getGeometryName() +
                        " cannot be shown (points, lines and polygons only)");
    }
    const auto merged = Merge(kind, *own);
    if (!merged) {
        Fail(where, FeatureText(row.oid) + " is a " + row.geometry->getGeometryName() + " among " +
                        KindName(kind) + "; a layer holds one kind of shape");
    }
    kind = *merged;
    if (row.geometry->hasCurveGeometry()) {
        row.geometry.reset(row.geometry->getLinearGeometry());
        if (!row.geometry) {
            Fail(where, FeatureText(row.oid) + ": a curve cannot be linearised");
        }
    }
}

PendingLayer ReadPending(OGRLayer& layer, const LayerPlan& plan, const std::string& where) {
    PendingLayer pending;
    pending.kind = plan.declared;
    GIntBig lastFid = 0;
    while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
        PendingRow row;
        row.fid = feature->GetFID();
        pending.fidsUsable = pending.fidsUsable && row.fid > lastFid &&
                             row.fid <= std::numeric_limits<std::int32_t>::max();
        lastFid = row.fid;
        row.oid = pending.fidsUsable ? row.fid : static_cast<std::int64_t>(pending.rows.size()) + 1;
        row.values.reserve(plan.fields.size());
        for (std::size_t i = 0; i < plan.fields.size(); ++i) {
            row.values.push_back(ReadValue(*feature, static_cast<int>(i), plan.fields[i].kind));
        }
        if (plan.readShapes) {
            row.geometry.reset(feature->StealGeometry());
            if (row.geometry && row.geometry->IsEmpty()) row.geometry.reset();
        }
        if (row.geometry) AdmitGeometry(row, pending.kind, where);
        pending.rows.push_back(std::move(row));
    }
    return pending;
}

// 64-bit integers that all fit 32 bits read as plain integers: GeoPackage's
// INTEGER columns and wide Shapefile numbers arrive as 64-bit although they
// hold ordinary ids, and only plain integers can serve as key fields.
void SettleIntegerTypes(std::vector<FieldPlan>& plans, const std::vector<PendingRow>& rows) {
    for (std::size_t i = 0; i < plans.size(); ++i) {
        if (plans[i].kind != ValueKind::Integer64) continue;
        bool fits = true;
        for (const auto& row : rows) {
            if (const auto* value = std::get_if<std::int64_t>(&row.values[i].Get())) {
                fits = fits && *value >= std::numeric_limits<std::int32_t>::min() &&
                       *value <= std::numeric_limits<std::int32_t>::max();
            }
        }
        if (fits) plans[i].type = host::esriFieldTypeInteger;
    }
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

// The host's feature class (shapeType not null) or table holding the rows.
LayerData Store(const std::string& name, const std::string& where,
                std::shared_ptr<memory::Fields> fieldSet, std::int32_t shapeType,
                PendingLayer& pending, const std::shared_ptr<HostContext>& context) {
    LayerData data;
    std::int32_t next = 0;
    const auto oidOf = [&](const PendingRow& row) {
        return pending.fidsUsable ? static_cast<std::int32_t>(row.fid) : next;
    };
    try {
        if (shapeType != host::esriGeometryNull) {
            data.featureClass = std::make_shared<memory::FeatureClass>(
                context, name, shapeType, host::esriFTSimple, std::move(fieldSet));
            const ShapeMaker maker(shapeType, context);
            for (auto& row : pending.rows) {
                ++next;
                auto shape = row.geometry ? maker.Make(*row.geometry) : nullptr;
                data.featureClass->AddFeature(row.values, std::move(shape), oidOf(row));
            }
        } else {
            data.table = std::make_shared<memory::Table>(context, name, std::move(fieldSet));
            for (auto& row : pending.rows) {
                ++next;
                data.table->AddRow(row.values, oidOf(row));
            }
        }
    } catch (const Error& error) {
        // The host's own message (a duplicate field name, a value that does not fit
        // its field) gains the layer and feature it was met at.
        const std::string feature =
            next > 0 ? FeatureText(oidOf(pending.rows[static_cast<std::size_t>(next - 1)])) + ": "
                     : std::string();
        throw Error(host::E_HOST_FAIL, where + feature + error.Description());
    }
    return data;
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
    layer->ResetReading();

    LayerPlan plan = PlanLayer(*layer, role, where);
    PendingLayer pending = ReadPending(*layer, plan, where);
    if (errors.Failed()) Fail(where, "cannot be read: " + errors.Failure());
    if (pending.rows.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        Fail(where, "has more features than object ids can number");
    }
    const bool asFeatures = plan.readShapes && pending.kind != ShapeKind::Unknown;
    if (role == LayerRole::FeatureClass && !asFeatures) {
        Fail(where, plan.hasGeometryField
                        ? "has no geometries to show, so its shape type is unknown"
                        : "has no geometry; it can only be a standalone table");
    }
    SettleIntegerTypes(plan.fields, pending.rows);
    return Store(name, where, MakeFieldSet(*layer, plan.fields, asFeatures, context),
                 asFeatures ? ShapeTypeOf(pending.kind) : host::esriGeometryNull, pending, context);
}

}  // namespace velorin::gdal

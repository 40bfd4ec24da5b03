#include "platform/gdal/ogr_reader.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_recordbatch.h>
#include <ogrsf_frmts.h>

#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/gdal/gdal_error_scope.h"
#include "platform/objects/fields.h"
#include "platform/objects/geometry.h"

namespace velorin::gdal {

namespace {

using objects::HostContext;

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
// Text ends at its first NUL, as GDAL's own strings do.
std::string Utf8Text(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return {};
    if (CPLIsUTF8(text.data(), static_cast<int>(text.size()))) return std::string(text);
    const std::string latin1(text);
    char* recoded = CPLRecode(latin1.c_str(), CPL_ENC_ISO8859_1, CPL_ENC_UTF8);
    std::string result = recoded != nullptr ? recoded : "";
    CPLFree(recoded);
    return result;
}

std::string Utf8Text(const char* text) {
    return text != nullptr ? Utf8Text(std::string_view(text)) : std::string();
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
            if (objects::SameName(plan.name, name)) return true;
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
objects::XY FiniteXY(double x, double y) {
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
        std::vector<objects::Path> parts;
        Collect(geometry, parts);
        std::erase_if(parts, [](const objects::Path& part) { return part.empty(); });
        if (parts.empty()) return nullptr;
        switch (shapeType) {
            case host::esriGeometryPoint:
                return objects::MakePoint(parts[0][0].x, parts[0][0].y, m_context);
            case host::esriGeometryMultipoint: {
                objects::Path points;
                for (auto& part : parts) points.insert(points.end(), part.begin(), part.end());
                return objects::MakeMultipoint(std::move(points), m_context);
            }
            case host::esriGeometryPolyline:
                return objects::MakePolyline(std::move(parts), m_context);
            default:
                return objects::MakePolygon(std::move(parts), m_context);
        }
    }

    // The coordinates of a point in a layer of points, which the store keeps
    // without a shape object; empty for any other geometry or shape type. Raises
    // as Make does.
    static std::optional<objects::XY> PointOf(const OGRGeometry& geometry, std::int32_t shapeType) {
        if (shapeType != host::esriGeometryPoint ||
            wkbFlatten(geometry.getGeometryType()) != wkbPoint || geometry.IsEmpty()) {
            return std::nullopt;
        }
        const auto& point = *geometry.toPoint();
        return FiniteXY(point.getX(), point.getY());
    }

  private:
    static void Add(const OGRSimpleCurve& curve, std::vector<objects::Path>& parts, bool ring) {
        objects::Path path;
        path.reserve(static_cast<std::size_t>(curve.getNumPoints()));
        for (int i = 0; i < curve.getNumPoints(); ++i) {
            path.push_back(FiniteXY(curve.getX(i), curve.getY(i)));
        }
        if (ring && path.size() > 1 && path.front() == path.back()) path.pop_back();
        parts.push_back(std::move(path));
    }

    // Every point, path or ring in order; multipoints give one part per point.
    static void Collect(const OGRGeometry& geometry, std::vector<objects::Path>& parts) {
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
    // The layer's feature count when its driver keeps one (see ExpectedRows), else 0.
    std::size_t expectedRows = 0;
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

// The layer's feature count when its driver keeps it (a GeoPackage's contents
// table, a Shapefile's index), so that a store can be sized before it is filled;
// 0 when counting would take a pass of its own. The count is a hint only: rows
// beyond it are still read. One above the file's size in bytes is not believed
// (no format holds a feature in less than a byte), nor one of a folder.
std::size_t ExpectedRows(OGRLayer& layer, const std::filesystem::path& file) {
    const GdalErrorScope quiet;
    if (!layer.TestCapability(OLCFastFeatureCount)) return 0;
    const GIntBig count = layer.GetFeatureCount(FALSE);
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(file, error);
    if (count <= 0 || error || static_cast<std::uintmax_t>(count) > bytes ||
        count > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

std::shared_ptr<objects::Fields> MakeFieldSet(OGRLayer& layer, const std::vector<FieldPlan>& plans,
                                              bool asFeatures,
                                              const std::shared_ptr<HostContext>& context) {
    std::vector<std::shared_ptr<objects::Field>> fields;
    const char* fidColumn = layer.GetFIDColumn();
    fields.push_back(std::make_shared<objects::Field>(
        context, FreeName(fidColumn && *fidColumn ? fidColumn : "OBJECTID", plans),
        host::esriFieldTypeOID));
    if (asFeatures) {
        const char* geometryColumn = layer.GetGeometryColumn();
        fields.push_back(std::make_shared<objects::Field>(
            context, FreeName(geometryColumn && *geometryColumn ? geometryColumn : "Shape", plans),
            host::esriFieldTypeGeometry));
    }
    for (const auto& plan : plans) {
        fields.push_back(
            std::make_shared<objects::Field>(context, plan.name, plan.type, plan.alias));
    }
    return std::make_shared<objects::Fields>(context, std::move(fields));
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

// A pass's checks and rows, feature by feature, whichever way the features are
// read: Begin, Check (or CheckPoint), then, while Storing, Values and Store. Each
// feature is checked against the layout (which is corrected) and its row appended
// to a new store when the pass stores. Raises for a feature the map cannot show,
// naming it by the object id the features read so far give it.
class PassBuilder {
  public:
    PassBuilder(OGRLayer& layer, const LayerPlan& plan, Layout& layout, bool store,
                const std::string& where, const std::shared_ptr<HostContext>& context)
        : m_layout(layout), m_where(where), m_maker(context) {
        m_pass.fitsInteger.assign(plan.fields.size(), true);
        if (store) {
            try {
                m_pass.store = std::make_shared<memory::RowStore>(
                    context, MakeFieldSet(layer, plan.fields, layout.withShapes, context),
                    layout.withShapes);
            } catch (const Error& error) {
                m_pass.refusal = error.Description();
            }
        }
        if (m_pass.store && plan.expectedRows > 0) {
            using Room = memory::RowStore::ShapeRoom;
            const Room shapes = !layout.withShapes                  ? Room::None
                                : layout.kind == ShapeKind::Point   ? Room::Points
                                : layout.kind == ShapeKind::Unknown ? Room::None
                                                                    : Room::Objects;
            try {
                m_pass.store->Reserve(plan.expectedRows, shapes);
            } catch (const std::bad_alloc&) {
                // The count is a hint: the arrays grow as rows come.
            }
        }
        m_values.reserve(plan.fields.size());
    }

    void Begin(GIntBig fid) {
        if (m_count == static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            Fail(m_where, "has more features than object ids can number");
        }
        if (m_layout.fidsUsable &&
            (fid <= m_lastFid || fid > std::numeric_limits<std::int32_t>::max())) {
            m_layout.fidsUsable = false;
            if (m_pass.store && m_pass.store->Size() > 0) m_pass.again = true;
        }
        m_lastFid = fid;
        ++m_count;
        m_oid = m_layout.fidsUsable ? fid : static_cast<std::int64_t>(m_count);
        m_values.clear();
    }

    // The feature's geometry, when the layer's shapes are read: an empty one becomes
    // none, and a curve is linearised.
    void Check(std::unique_ptr<OGRGeometry>& geometry) {
        if (geometry && geometry->IsEmpty()) geometry.reset();
        if (!geometry) return;
        CheckKind(geometry->getGeometryType(), geometry->getGeometryName());
        if (geometry->hasCurveGeometry()) {
            geometry.reset(geometry->getLinearGeometry());
            if (!geometry) Fail(m_where, FeatureText(m_oid) + ": a curve cannot be linearised");
        }
    }
    // As Check for a point that is not empty.
    void CheckPoint() { CheckKind(wkbPoint, "POINT"); }

    // Whether the feature's row is stored: its values are then added to Values,
    // one per attribute, and Store called.
    bool Storing() {
        if (m_pass.again) m_pass.store.reset();
        return m_pass.store != nullptr;
    }
    std::vector<host::FieldValue>& Values() { return m_values; }

    // geometry: as Check left it.
    void Store(const OGRGeometry* geometry) {
        Keep([&](std::int32_t shapeType, std::int32_t id) {
            if (const auto point =
                    geometry ? ShapeMaker::PointOf(*geometry, shapeType) : std::nullopt) {
                m_shapesStored = true;
                m_pass.store->Add(std::move(m_values), *point, id);
            } else {
                auto shape = geometry ? m_maker.Make(*geometry, shapeType) : nullptr;
                m_shapesStored = m_shapesStored || shape != nullptr;
                m_pass.store->Add(std::move(m_values), std::move(shape), id);
            }
        });
    }
    // As Store for a point of finite coordinates that CheckPoint passed.
    void Store(objects::XY point) {
        if (ShapeTypeOf(m_layout.kind) != host::esriGeometryPoint) {
            const OGRPoint geometry(point.x, point.y);
            Store(&geometry);
            return;
        }
        Keep([&](std::int32_t, std::int32_t id) {
            m_shapesStored = true;
            m_pass.store->Add(std::move(m_values), point, id);
        });
    }

    Pass Finish() { return std::move(m_pass); }

  private:
    void CheckKind(OGRwkbGeometryType type, const char* name) {
        const auto own = KindOf(type);
        if (!own || *own == ShapeKind::Unknown) {
            Fail(m_where, FeatureText(m_oid) + ": a " + name +
                              " cannot be shown (points, lines and polygons only)");
        }
        const auto merged = Merge(m_layout.kind, *own);
        if (!merged) {
            Fail(m_where, FeatureText(m_oid) + " is a " + name + " among " +
                              KindName(m_layout.kind) + "; a layer holds one kind of shape");
        }
        // Only points meeting a multipoint change the kind once shapes are made.
        if (*merged != m_layout.kind && m_shapesStored) m_pass.again = true;
        m_layout.kind = *merged;
    }

    template <class Add>
    void Keep(const Add& add) {
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            if (const auto* wide = std::get_if<std::int64_t>(&m_values[i].Get())) {
                m_pass.fitsInteger[i] = m_pass.fitsInteger[i] &&
                                        *wide >= std::numeric_limits<std::int32_t>::min() &&
                                        *wide <= std::numeric_limits<std::int32_t>::max();
            }
        }
        try {
            add(ShapeTypeOf(m_layout.kind), static_cast<std::int32_t>(m_oid));
        } catch (const Error& error) {
            m_pass.refusal = error.Description();
            m_pass.refusedFeature.emplace(m_lastFid, m_count - 1);
            m_pass.store.reset();
        }
    }

    Layout& m_layout;
    const std::string& m_where;
    const ShapeMaker m_maker;
    Pass m_pass;
    std::vector<host::FieldValue> m_values;
    std::size_t m_count = 0;
    GIntBig m_lastFid = 0;
    std::int64_t m_oid = 0;
    bool m_shapesStored = false;
};

// Reads the layer through with GDAL's feature loop.
void ReadFeatures(OGRLayer& layer, const LayerPlan& plan, bool withShapes, PassBuilder& pass) {
    layer.ResetReading();
    while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
        pass.Begin(feature->GetFID());
        std::unique_ptr<OGRGeometry> geometry;
        if (withShapes) geometry.reset(feature->StealGeometry());
        pass.Check(geometry);
        if (!pass.Storing()) continue;
        for (std::size_t i = 0; i < plan.fields.size(); ++i) {
            pass.Values().push_back(ReadValue(*feature, static_cast<int>(i), plan.fields[i].kind));
        }
        pass.Store(geometry.get());
    }
}

// One of the Arrow C stream's objects (the stream, its schema, a batch), released
// by whoever holds it.
template <class T>
struct Released {
    T object{};
    Released() = default;
    ~Released() {
        if (object.release) object.release(&object);
    }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    Released(Released&&) = delete;
    Released& operator=(Released&&) = delete;
};

// Fills a stream's next batch on a thread of its own while the caller reads the
// current one, as GDAL's driver does when no filter is set: under the filter
// that keeps GDAL 3.6.2 from asking again for ever, it fills a batch only when
// asked (a load's wall time rose to its CPU time). The next batch is filled only
// once the last one was taken, so at most one is filled or waits beside the one
// being read. The stream is touched only by that thread until this object is
// gone.
class BatchesAhead {
  public:
    explicit BatchesAhead(ArrowArrayStream& stream)
        : m_stream(stream), m_filler([this] { Fill(); }) {}
    ~BatchesAhead() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_filler.join();
        if (m_waiting.release) m_waiting.release(&m_waiting);
    }
    BatchesAhead(const BatchesAhead&) = delete;
    BatchesAhead& operator=(const BatchesAhead&) = delete;
    BatchesAhead(BatchesAhead&&) = delete;
    BatchesAhead& operator=(BatchesAhead&&) = delete;

    // The next batch, owned by the caller from now on (released: the stream has
    // ended). False when the stream failed or GDAL reported a failure filling it.
    bool Next(ArrowArray& batch) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_full || m_ended; });
        if (!m_full) return false;
        batch = m_waiting;
        m_waiting = ArrowArray{};
        m_full = false;
        const bool good = m_good;
        lock.unlock();
        m_changed.notify_all();
        return good;
    }

  private:
    void Fill() {
        // GDAL's handler stack is per thread: this thread's messages stay off
        // stderr too, and a failure among them fails the read.
        const GdalErrorScope errors;
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_full || m_stop; });
                if (m_stop) break;
            }
            ArrowArray batch{};
            const bool good = m_stream.get_next(&m_stream, &batch) == 0 && !errors.Failed();
            const bool last = !good || batch.release == nullptr;
            {
                const std::lock_guard lock(m_mutex);
                if (m_stop) {
                    if (batch.release) batch.release(&batch);
                    break;
                }
                m_waiting = batch;
                m_good = good;
                m_full = true;
                m_ended = last;
            }
            m_changed.notify_all();
            if (last) return;
        }
        const std::lock_guard lock(m_mutex);
        m_ended = true;
    }

    ArrowArrayStream& m_stream;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    ArrowArray m_waiting{};
    bool m_full = false;
    bool m_good = true;
    bool m_ended = false;
    bool m_stop = false;
    std::thread m_filler;  // last: it starts once everything it uses is made
};

// The Arrow format of a column the stream gives exactly as the loop reads the
// field, or null: dates, binary, lists and booleans arrive in other forms.
const char* StreamFormat(const FieldPlan& plan) {
    switch (plan.kind) {
        case ValueKind::Integer:
            return plan.type == host::esriFieldTypeSmallInteger ? "s" : "i";
        case ValueKind::Integer64:
            return "l";
        case ValueKind::Real:
            return plan.type == host::esriFieldTypeSingle ? "f" : "g";
        case ValueKind::Text:
            return "u";
        default:
            return nullptr;
    }
}

// One column of a batch, checked to hold its rows in the buffers its format has.
class Column {
  public:
    // rows: the batch's offset plus length.
    Column(const ArrowArray& array, std::string_view format, std::int64_t rows) : m_array(array) {
        const bool variable = format == "u" || format == "z";
        m_valid = array.n_buffers == (variable ? 3 : 2) && array.buffers != nullptr &&
                  array.buffers[1] != nullptr && array.offset >= 0 && array.length >= rows;
    }
    bool Valid() const { return m_valid; }

    bool IsNull(std::int64_t row) const {
        const auto* bits = static_cast<const std::uint8_t*>(m_array.buffers[0]);
        if (bits == nullptr) return false;
        const std::int64_t at = m_array.offset + row;
        return ((bits[at / 8] >> (at % 8)) & 1) == 0;
    }
    template <class T>
    T Value(std::int64_t row) const {
        return static_cast<const T*>(m_array.buffers[1])[m_array.offset + row];
    }
    std::string_view Bytes(std::int64_t row) const {
        const auto* offsets = static_cast<const std::int32_t*>(m_array.buffers[1]);
        const std::int64_t at = m_array.offset + row;
        const std::int32_t begin = offsets[at];
        const std::int32_t end = offsets[at + 1];
        const auto* data = static_cast<const char*>(m_array.buffers[2]);
        if (data == nullptr || end <= begin) return {};
        return {data + begin, static_cast<std::size_t>(end - begin)};
    }

  private:
    const ArrowArray& m_array;
    bool m_valid = false;
};

// A value as the loop reads it, or empty when the stream's form cannot tell: a
// single-precision infinity is a real infinity or a value beyond the type's range,
// which the store refuses.
std::optional<host::FieldValue> StreamValue(const Column& column, std::int64_t row,
                                            const FieldPlan& plan) {
    if (column.IsNull(row)) return host::FieldValue();
    switch (plan.kind) {
        case ValueKind::Integer:
            if (plan.type == host::esriFieldTypeSmallInteger) {
                return host::FieldValue(static_cast<std::int32_t>(column.Value<std::int16_t>(row)));
            }
            return host::FieldValue(column.Value<std::int32_t>(row));
        case ValueKind::Integer64:
            return host::FieldValue(column.Value<std::int64_t>(row));
        case ValueKind::Real:
            if (plan.type == host::esriFieldTypeSingle) {
                const float single = column.Value<float>(row);
                if (std::isinf(single)) return std::nullopt;
                return host::FieldValue(single);
            }
            return host::FieldValue(column.Value<double>(row));
        case ValueKind::Text:
            return host::FieldValue(Utf8Text(column.Bytes(row)));
        default:
            return std::nullopt;
    }
}

// The coordinates in the WKB of a two-dimensional point, when both are finite;
// empty for any other geometry (an empty point has NaN coordinates).
std::optional<objects::XY> FinitePoint(std::string_view wkb) {
    if constexpr (std::endian::native != std::endian::little) return std::nullopt;
    constexpr std::uint32_t wkbPointType = 1;
    if (wkb.size() != 21 || wkb[0] != 1) return std::nullopt;
    std::uint32_t type = 0;
    std::memcpy(&type, wkb.data() + 1, sizeof type);
    if (type != wkbPointType) return std::nullopt;
    objects::XY point;
    std::memcpy(&point.x, wkb.data() + 5, sizeof point.x);
    std::memcpy(&point.y, wkb.data() + 13, sizeof point.y);
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) return std::nullopt;
    return point;
}

// A name quoted for SQLite.
std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') quoted += c;
    }
    return quoted + "\"";
}

// The first column of the first row a SQL query gives, as a whole number; empty
// when the query fails.
std::optional<GIntBig> QueryNumber(GDALDataset& dataset, const std::string& sql) {
    OGRLayer* result = dataset.ExecuteSQL(sql.c_str(), nullptr, nullptr);
    if (result == nullptr) return std::nullopt;
    std::optional<GIntBig> number;
    if (OGRFeatureUniquePtr row{result->GetNextFeature()};
        row && row->GetFieldCount() > 0 && row->IsFieldSetAndNotNull(0)) {
        number = row->GetFieldAsInteger64(0);
    }
    dataset.ReleaseResultSet(result);
    return number;
}

// An attribute filter that keeps every feature, on a layer for as long as it lives.
class EveryFeatureFilter {
  public:
    explicit EveryFeatureFilter(OGRLayer& layer) : m_layer(layer) {
        m_set = m_layer.SetAttributeFilter("1 = 1") == OGRERR_NONE;
    }
    ~EveryFeatureFilter() { static_cast<void>(m_layer.SetAttributeFilter(nullptr)); }
    EveryFeatureFilter(const EveryFeatureFilter&) = delete;
    EveryFeatureFilter& operator=(const EveryFeatureFilter&) = delete;
    EveryFeatureFilter(EveryFeatureFilter&&) = delete;
    EveryFeatureFilter& operator=(EveryFeatureFilter&&) = delete;

    bool Set() const { return m_set; }

  private:
    OGRLayer& m_layer;
    bool m_set = false;
};

// Reads a GeoPackage table through GDAL's Arrow stream, which its driver fills
// straight from SQLite several times faster than the feature loop. Returns false
// when the stream cannot give the layer exactly as the loop reads it; what the
// pass did is then to be thrown away and the layer read with the loop.
// withShapes: the pass keeps the features' shapes.
bool ReadStream(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan, bool withShapes,
                PassBuilder& pass) {
    // Past 125 fields GDAL 3.6.2's stream fails to fill a batch and is asked again
    // for ever (its SQL function takes a column per argument, and SQLite allows 127).
    if (plan.fields.size() > 125) return false;
    // A table without a FID column has its features numbered by SQLite's rowid in
    // the loop but by their place in the stream.
    const char* fidColumn = layer.GetFIDColumn();
    if (fidColumn == nullptr || *fidColumn == '\0') return false;
    const GdalErrorScope errors;
    const std::string table = Quoted(layer.GetName());
    // The stream narrows a small integer that SQLite holds wider, which the loop
    // reads whole and the store then refuses.
    for (const auto& field : plan.fields) {
        if (field.type != host::esriFieldTypeSmallInteger) continue;
        const std::string column = Quoted(field.name);
        if (QueryNumber(dataset, "SELECT EXISTS (SELECT 1 FROM " + table + " WHERE " + column +
                                     " IS NOT NULL AND NOT (typeof(" + column +
                                     ") = 'integer' AND " + column +
                                     " BETWEEN -32768 AND 32767))") != GIntBig{0}) {
            return false;
        }
    }

    // GDAL 3.6.2 reads a layer whose FIDs run from 1 to its feature count in FID
    // ranges, and asks again for ever for a range that fails (a damaged page) or
    // gives no row (a stale count over deleted FIDs). A filter, even one that keeps
    // every feature, makes it read the table in one query that ends at a failure.
    // Declared before the stream, so that the stream is released first.
    const EveryFeatureFilter filter(layer);
    if (!filter.Set()) return false;
    Released<ArrowArrayStream> stream;
    char fidOption[] = "INCLUDE_FID=YES";
    // The next batch is filled while this one is read, each batch sized for its
    // count of features up front (about 150 bytes a point): at GDAL's 65,536 the
    // two held at once came to 20 MB, more than a million points' coordinates;
    // an eighth of that loads as fast.
    char batchOption[] = "MAX_FEATURES_IN_BATCH=8192";
    char* options[] = {fidOption, batchOption, nullptr};
    if (!layer.GetArrowStream(&stream.object, options)) return false;
    Released<ArrowSchema> schema;
    if (stream.object.get_schema(&stream.object, &schema.object) != 0) return false;
    // The FID, the attributes in order, then the geometry field.
    const std::size_t columns = 1 + plan.fields.size() + (plan.hasGeometryField ? 1 : 0);
    if (schema.object.n_children != static_cast<std::int64_t>(columns)) return false;
    std::vector<std::string_view> formats;
    for (std::size_t i = 0; i < columns; ++i) {
        const ArrowSchema& child = *schema.object.children[i];
        if (child.dictionary != nullptr || child.n_children != 0) return false;
        formats.emplace_back(child.format);
    }
    if (formats[0] != "l") return false;
    for (std::size_t i = 0; i < plan.fields.size(); ++i) {
        const char* format = StreamFormat(plan.fields[i]);
        if (format == nullptr || formats[i + 1] != format) return false;
    }
    if (plan.hasGeometryField && formats.back() != "z") return false;

    GIntBig nullShapes = 0;
    std::optional<BatchesAhead> batches;
    batches.emplace(stream.object);
    for (;;) {
        Released<ArrowArray> holder;
        if (!batches->Next(holder.object)) return false;
        const ArrowArray& batch = holder.object;
        if (batch.release == nullptr) break;
        if (batch.n_children != static_cast<std::int64_t>(columns) || batch.offset < 0) {
            return false;
        }
        const std::int64_t rows = batch.offset + batch.length;
        std::vector<Column> data;
        for (std::size_t i = 0; i < columns; ++i) {
            data.emplace_back(*batch.children[i], formats[i], rows);
            if (!data.back().Valid()) return false;
        }
        const Column& fids = data.front();
        const Column* shapes = plan.hasGeometryField ? &data.back() : nullptr;
        for (std::int64_t r = batch.offset; r < rows; ++r) {
            pass.Begin(fids.Value<std::int64_t>(r));
            std::optional<objects::XY> point;
            std::unique_ptr<OGRGeometry> geometry;
            // Geometries are decoded even when not kept: the loop reports one it
            // cannot read whatever the layer is read as.
            if (shapes != nullptr && shapes->IsNull(r)) {
                ++nullShapes;
            } else if (shapes != nullptr) {
                const std::string_view wkb = shapes->Bytes(r);
                point = FinitePoint(wkb);
                if (!point) {
                    OGRGeometry* made = nullptr;
                    if (OGRGeometryFactory::createFromWkb(wkb.data(), nullptr, &made, wkb.size()) !=
                        OGRERR_NONE) {
                        return false;
                    }
                    geometry.reset(made);
                }
            }
            if (!withShapes) {
                point.reset();
                geometry.reset();
            }
            if (point) {
                pass.CheckPoint();
            } else {
                pass.Check(geometry);
            }
            if (!pass.Storing()) continue;
            for (std::size_t i = 0; i < plan.fields.size(); ++i) {
                auto value = StreamValue(data[i + 1], r, plan.fields[i]);
                if (!value) return false;
                pass.Values().push_back(std::move(*value));
            }
            if (point) {
                pass.Store(*point);
            } else {
                pass.Store(geometry.get());
            }
        }
    }
    batches.reset();  // its thread is done with the data set before it is asked again
    if (errors.Failed()) return false;
    // The stream gives a geometry it cannot read as none, where the loop reports it.
    if (nullShapes > 0) {
        const std::string geometryColumn = Quoted(layer.GetGeometryColumn());
        if (QueryNumber(dataset, "SELECT COUNT(*) FROM " + table + " WHERE " + geometryColumn +
                                     " IS NULL") != nullShapes) {
            return false;
        }
    }
    return !errors.Failed();
}

// One pass over a layer by the path asked. Fastest becomes FeatureLoop once the
// stream cannot give the layer as the loop reads it; ArrowStream then raises.
Pass ReadPass(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan, Layout& layout,
              bool store, ReadPath& path, const std::string& where,
              const std::shared_ptr<HostContext>& context) {
    if (path != ReadPath::FeatureLoop) {
        const Layout before = layout;
        PassBuilder pass(layer, plan, layout, store, where, context);
        if (ReadStream(dataset, layer, plan, layout.withShapes, pass)) return pass.Finish();
        if (path == ReadPath::ArrowStream) {
            Fail(where, "cannot be read through GDAL's Arrow stream as its feature loop reads it");
        }
        layout = before;
        path = ReadPath::FeatureLoop;
    }
    PassBuilder pass(layer, plan, layout, store, where, context);
    ReadFeatures(layer, plan, layout.withShapes, pass);
    return pass.Finish();
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
                              const std::shared_ptr<HostContext>& context, ReadPath path) const {
    const std::string where = m_display + ": layer \"" + name + "\": ";
    GdalErrorScope errors;
    OGRLayer* layer = m_dataset->GetLayerByName(name.c_str());
    if (!layer) throw Error(host::E_HOST_FAIL, m_display + ": no layer named \"" + name + "\"");

    LayerPlan plan = PlanLayer(*layer, role, where);
    plan.expectedRows = ExpectedRows(*layer, m_file);
    Layout layout{plan.declared, true, plan.readShapes};
    // A feature class asked of a layer without geometry is refused, but only after
    // the layer is read through, as a fault of the data set itself comes first.
    const bool store = role != LayerRole::FeatureClass || plan.hasGeometryField;
    // Only GeoPackage fills the stream faster than the loop in this GDAL.
    const GDALDriver* driver = m_dataset->GetDriver();
    if (path == ReadPath::Fastest &&
        (driver == nullptr || std::string_view(driver->GetDescription()) != "GPKG")) {
        path = ReadPath::FeatureLoop;
    }
    for (;;) {
        Pass pass = ReadPass(*m_dataset, *layer, plan, layout, store, path, where, context);
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

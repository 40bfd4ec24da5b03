#include "platform/gdal/arrow_stream.h"

#include <ogr_geometry.h>
#include <ogr_recordbatch.h>

#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "host/codes.h"
#include "host/field_value.h"
#include "platform/gdal/field_plan.h"
#include "platform/gdal/gdal_error_scope.h"

namespace velorin::gdal {

namespace {

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

// Whether the stream may give the table as the loop reads it, as far as can be
// told before it is opened. table: the layer's name quoted for SQLite.
bool StreamMayServe(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan,
                    const std::string& table) {
    // Past 125 fields GDAL 3.6.2's stream fails to fill a batch and is asked again
    // for ever (its SQL function takes a column per argument, and SQLite allows 127).
    if (plan.fields.size() > 125) return false;
    // A table without a FID column has its features numbered by SQLite's rowid in
    // the loop but by their place in the stream.
    const char* fidColumn = layer.GetFIDColumn();
    if (fidColumn == nullptr || *fidColumn == '\0') return false;
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
    return true;
}

// The formats of the stream's columns (views into schema) when they are the FID,
// the attributes in order, then the geometry field, each in the form the loop
// reads it; nothing otherwise.
std::optional<std::vector<std::string_view>> ColumnFormats(const ArrowSchema& schema,
                                                           const LayerPlan& plan) {
    const std::size_t columns = 1 + plan.fields.size() + (plan.hasGeometryField ? 1 : 0);
    if (schema.n_children != static_cast<std::int64_t>(columns)) return std::nullopt;
    std::vector<std::string_view> formats;
    for (std::size_t i = 0; i < columns; ++i) {
        const ArrowSchema& child = *schema.children[i];
        if (child.dictionary != nullptr || child.n_children != 0) return std::nullopt;
        formats.emplace_back(child.format);
    }
    if (formats[0] != "l") return std::nullopt;
    for (std::size_t i = 0; i < plan.fields.size(); ++i) {
        const char* format = StreamFormat(plan.fields[i]);
        if (format == nullptr || formats[i + 1] != format) return std::nullopt;
    }
    if (plan.hasGeometryField && formats.back() != "z") return std::nullopt;
    return formats;
}

// The rows of a stream's batches, into a pass.
class StreamRows {
  public:
    // formats: as ColumnFormats gives them. All borrowed for the object's life.
    StreamRows(const LayerPlan& plan, const std::vector<std::string_view>& formats, bool withShapes,
               PassBuilder& pass)
        : m_plan(plan), m_formats(formats), m_withShapes(withShapes), m_pass(pass) {}

    // False when the batch is not laid out as the schema says, or a row of it
    // cannot be given as the loop reads it.
    bool Read(const ArrowArray& batch) {
        if (batch.n_children != static_cast<std::int64_t>(m_formats.size()) || batch.offset < 0) {
            return false;
        }
        const std::int64_t rows = batch.offset + batch.length;
        std::vector<Column> data;
        for (std::size_t i = 0; i < m_formats.size(); ++i) {
            data.emplace_back(*batch.children[i], m_formats[i], rows);
            if (!data.back().Valid()) return false;
        }
        for (std::int64_t row = batch.offset; row < rows; ++row) {
            if (!ReadRow(data, row)) return false;
        }
        return true;
    }

    // The rows read without a geometry.
    GIntBig NullShapes() const { return m_nullShapes; }

  private:
    bool ReadRow(const std::vector<Column>& data, std::int64_t row) {
        m_pass.Begin(data.front().Value<std::int64_t>(row));
        std::optional<objects::XY> point;
        std::unique_ptr<OGRGeometry> geometry;
        // Geometries are decoded even when not kept: the loop reports one it
        // cannot read whatever the layer is read as.
        if (m_plan.hasGeometryField && !Decode(data.back(), row, point, geometry)) return false;
        if (!m_withShapes) {
            point.reset();
            geometry.reset();
        }
        if (point) {
            m_pass.CheckPoint();
        } else {
            m_pass.Check(geometry);
        }
        if (!m_pass.Storing()) return true;
        for (std::size_t i = 0; i < m_plan.fields.size(); ++i) {
            auto value = StreamValue(data[i + 1], row, m_plan.fields[i]);
            if (!value) return false;
            m_pass.Values().push_back(std::move(*value));
        }
        if (point) {
            m_pass.Store(*point);
        } else {
            m_pass.Store(geometry.get());
        }
        return true;
    }

    // The row's geometry: a finite two-dimensional point as its coordinates, any
    // other decoded, none counted. False when GDAL cannot decode it.
    bool Decode(const Column& shapes, std::int64_t row, std::optional<objects::XY>& point,
                std::unique_ptr<OGRGeometry>& geometry) {
        if (shapes.IsNull(row)) {
            ++m_nullShapes;
            return true;
        }
        const std::string_view wkb = shapes.Bytes(row);
        point = FinitePoint(wkb);
        if (point) return true;
        OGRGeometry* made = nullptr;
        if (OGRGeometryFactory::createFromWkb(wkb.data(), nullptr, &made, wkb.size()) !=
            OGRERR_NONE) {
            return false;
        }
        geometry.reset(made);
        return true;
    }

    const LayerPlan& m_plan;
    const std::vector<std::string_view>& m_formats;
    const bool m_withShapes;
    PassBuilder& m_pass;
    GIntBig m_nullShapes = 0;
};

// The stream gives a geometry it cannot read as none, where the loop reports it:
// the rows it gave without one must be the table's NULL geometries.
bool NullShapesAgree(GDALDataset& dataset, OGRLayer& layer, const std::string& table,
                     GIntBig nullShapes) {
    if (nullShapes == 0) return true;
    const std::string geometryColumn = Quoted(layer.GetGeometryColumn());
    return QueryNumber(dataset, "SELECT COUNT(*) FROM " + table + " WHERE " + geometryColumn +
                                    " IS NULL") == nullShapes;
}

}  // namespace

bool ReadStream(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan, bool withShapes,
                PassBuilder& pass) {
    const GdalErrorScope errors;
    const std::string table = Quoted(layer.GetName());
    if (!StreamMayServe(dataset, layer, plan, table)) return false;

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
    const auto formats = ColumnFormats(schema.object, plan);
    if (!formats) return false;

    StreamRows rows(plan, *formats, withShapes, pass);
    {
        // Gone, and its thread done with the data set, before the data set is asked again.
        BatchesAhead batches(stream.object);
        for (;;) {
            Released<ArrowArray> batch;
            if (!batches.Next(batch.object)) return false;
            if (batch.object.release == nullptr) break;
            if (!rows.Read(batch.object)) return false;
        }
    }
    if (errors.Failed()) return false;
    return NullShapesAgree(dataset, layer, table, rows.NullShapes()) && !errors.Failed();
}

}  // namespace velorin::gdal

#include "platform/memory/row_store.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <variant>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

RowStore::RowStore(std::shared_ptr<HostContext> context, std::shared_ptr<Fields> fields,
                   bool featureRows)
    : m_context(std::move(context)), m_fields(std::move(fields)), m_featureRows(featureRows) {
    for (std::int32_t i = 0; i < m_fields->Count(); ++i) {
        if (i == m_fields->OidIndex() || i == m_fields->ShapeIndex()) {
            m_columnOf.push_back(-1);
        } else {
            m_columnOf.push_back(static_cast<std::int32_t>(m_columns.size()));
            m_columns.emplace_back(m_fields->At(i).TypeCode());
        }
    }
}

std::int32_t RowStore::Add(const std::vector<host::FieldValue>& attributes,
                           std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    return Append(attributes, std::move(shape), oid);
}

std::int32_t RowStore::Add(std::vector<host::FieldValue>&& attributes,
                           std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    return Append(attributes, std::move(shape), oid);
}

std::int32_t RowStore::Add(std::vector<host::FieldValue>&& attributes, XY point, std::int32_t oid) {
    return Append(attributes, point, oid);
}

std::int32_t RowStore::Append(const std::vector<host::FieldValue>& attributes, StoredShape shape,
                              std::int32_t oid) {
    const std::int32_t fieldCount = m_fields->Count();
    std::size_t expected = static_cast<std::size_t>(fieldCount);
    if (m_fields->OidIndex() >= 0) --expected;
    if (m_fields->ShapeIndex() >= 0) --expected;
    if (attributes.size() != expected) {
        throw Error(host::E_HOST_INVALIDARG, "A row needs " + std::to_string(expected) +
                                                 " attribute values, not " +
                                                 std::to_string(attributes.size()));
    }
    oid = NextOid(oid);
    if (const auto* object = std::get_if<std::shared_ptr<host::IGeometry>>(&shape)) {
        // A point of this host that no one else holds is kept as its coordinates.
        const auto* point = dynamic_cast<const PointGeometry*>(object->get());
        if (point != nullptr && point->Context() == m_context && object->use_count() == 1) {
            shape = point->Coords();
        }
    }
    const auto* object = std::get_if<std::shared_ptr<host::IGeometry>>(&shape);
    if ((object == nullptr || *object) && m_fields->ShapeIndex() < 0) {
        throw Error(host::E_HOST_INVALIDARG,
                    "A row of a table without a geometry field has no shape");
    }

    const host::FieldValue* values = StoredValues(attributes);
    const std::size_t rows = m_rows;
    try {
        for (std::size_t c = 0; c < m_columns.size(); ++c) m_columns[c].Push(values[c]);
        if (const auto* point = std::get_if<XY>(&shape)) {
            m_points.resize(rows);
            m_pointKept.resize(rows);
            m_points.push_back(*point);
            m_pointKept.push_back(true);
        } else if (auto& kept = std::get<std::shared_ptr<host::IGeometry>>(shape)) {
            m_objects.resize(rows);
            m_objects.push_back(std::move(kept));
        }
        if (!m_oids.empty()) {
            m_oids.push_back(oid);
        } else if (static_cast<std::size_t>(oid) != rows + 1) {
            // The first id out of sequence: every row's id is kept from now on,
            // listed aside so that a failure leaves the store as it was.
            std::vector<std::int32_t> listed;
            listed.reserve(std::max(rows + 1, m_reserved));
            for (std::size_t p = 0; p < rows; ++p)
                listed.push_back(static_cast<std::int32_t>(p + 1));
            listed.push_back(oid);
            m_oids = std::move(listed);
        }
    } catch (...) {
        // A row half kept (no room left) is dropped whole.
        for (ValueColumn& column : m_columns) column.Truncate(rows);
        if (m_points.size() > rows) m_points.resize(rows);
        if (m_pointKept.size() > rows) m_pointKept.resize(rows);
        if (m_objects.size() > rows) m_objects.resize(rows);
        throw;
    }
    ++m_rows;
    m_indexes.clear();
    m_spatial.reset();
    return oid;
}

std::int32_t RowStore::NextOid(std::int32_t oid) const {
    const std::int32_t last = m_rows == 0 ? 0 : OidAt(m_rows - 1);
    if (oid == 0) {
        if (last == std::numeric_limits<std::int32_t>::max()) {
            throw Error(host::E_HOST_FAIL, "No object id is left for a new row");
        }
        return last + 1;
    }
    if (oid <= last) {
        throw Error(host::E_HOST_INVALIDARG, "Object id " + std::to_string(oid) +
                                                 " must be above the last one, " +
                                                 std::to_string(last));
    }
    return oid;
}

const host::FieldValue* RowStore::StoredValues(const std::vector<host::FieldValue>& attributes) {
    // Every value is checked before any is kept; most arrive as their fields
    // store them already.
    bool asStored = true;
    for (std::size_t c = 0; c < m_columns.size() && asStored; ++c) {
        asStored = m_columns[c].Takes(attributes[c]);
    }
    if (asStored) return attributes.data();
    m_stored.clear();
    std::size_t next = 0;
    for (std::int32_t i = 0; i < m_fields->Count(); ++i) {
        if (i == m_fields->OidIndex() || i == m_fields->ShapeIndex()) continue;
        m_stored.push_back(StoredValue(attributes[next++], m_fields->At(i)));
    }
    return m_stored.data();
}

void RowStore::Retype(std::int32_t field, std::int32_t type) {
    if (field < 0 || field >= m_fields->Count() || field == m_fields->OidIndex() ||
        field == m_fields->ShapeIndex()) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Field " + std::to_string(field) + " is not an attribute field");
    }
    if (type == host::esriFieldTypeOID || type == host::esriFieldTypeGeometry) {
        throw Error(host::E_HOST_INVALIDARG,
                    "An attribute field cannot take the type " + FieldTypeName(type));
    }
    const Field& old = m_fields->At(field);
    auto retyped = std::make_shared<Field>(m_context, old.NameText(), type, old.AliasText());
    // The new column is filled before anything changes: a value that does not fit
    // leaves the store as it was.
    const auto column = static_cast<std::size_t>(m_columnOf[static_cast<std::size_t>(field)]);
    ValueColumn values(type);
    values.Reserve(Size());
    for (std::size_t p = 0; p < Size(); ++p) {
        values.Push(StoredValue(m_columns[column].At(p), *retyped));
    }
    std::vector<std::shared_ptr<Field>> fields;
    for (std::int32_t i = 0; i < m_fields->Count(); ++i) {
        fields.push_back(i == field ? retyped : m_fields->Shared(i));
    }
    m_fields = std::make_shared<Fields>(m_context, std::move(fields));
    m_columns[column] = std::move(values);
    m_indexes.erase(field);
}

void RowStore::Reserve(std::size_t rows, ShapeRoom shapes) {
    m_reserved = rows;
    if (!m_oids.empty()) m_oids.reserve(rows);
    for (ValueColumn& column : m_columns) column.Reserve(rows);
    if (shapes == ShapeRoom::Points) {
        m_points.reserve(rows);
        m_pointKept.reserve(rows);
    } else if (shapes == ShapeRoom::Objects) {
        m_objects.reserve(rows);
    }
}

void RowStore::Compact() {
    for (ValueColumn& column : m_columns) column.Compact();
    m_oids.shrink_to_fit();
    m_points.shrink_to_fit();
    m_pointKept.shrink_to_fit();
    m_objects.shrink_to_fit();
}

host::FieldValue RowStore::ValueAt(std::size_t position, std::size_t field) const {
    const std::int32_t column = m_columnOf[field];
    if (column >= 0) return m_columns[static_cast<std::size_t>(column)].At(position);
    if (static_cast<std::int32_t>(field) == m_fields->OidIndex()) {
        return host::FieldValue(host::ObjectId{OidAt(position)});
    }
    return HasShape(position) ? host::FieldValue(true) : host::FieldValue();
}

namespace {

// Grows the box to hold the other (an empty one changes nothing).
void Cover(Box& box, const Box& other) {
    if (other.IsEmpty()) return;
    if (box.IsEmpty()) {
        box = other;
        return;
    }
    box.xMin = std::min(box.xMin, other.xMin);
    box.yMin = std::min(box.yMin, other.yMin);
    box.xMax = std::max(box.xMax, other.xMax);
    box.yMax = std::max(box.yMax, other.yMax);
}

Box BoxOf(const host::IGeometry& shape) {
    Box box;
    const auto add = [&](const XY& p) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) Cover(box, Box{p.x, p.y, p.x, p.y});
    };
    if (const auto* point = dynamic_cast<const PointGeometry*>(&shape)) {
        add(point->Coords());
    } else if (const auto* multi = dynamic_cast<const MultiPartGeometry*>(&shape)) {
        for (const Path& part : multi->Parts()) {
            for (const XY& p : part) add(p);
        }
    } else if (const auto envelope = shape.Envelope(); envelope && !envelope->IsEmpty()) {
        add({envelope->XMin(), envelope->YMin()});
        add({envelope->XMax(), envelope->YMax()});
    }
    return box;
}

}  // namespace

Box RowStore::BoxAt(std::size_t position) const {
    if (position < m_objects.size() && m_objects[position]) return BoxOf(*m_objects[position]);
    if (position < m_pointKept.size() && m_pointKept[position]) {
        const XY& point = m_points[position];
        if (!std::isfinite(point.x) || !std::isfinite(point.y)) return {};
        return Box{point.x, point.y, point.x, point.y};
    }
    return {};
}

const SpatialIndex& RowStore::Spatial() const {
    if (!m_spatial) {
        const QuietHost quiet(m_context);
        std::vector<Box> boxes(Size());
        for (std::size_t p = 0; p < Size(); ++p) boxes[p] = BoxAt(p);
        m_spatial = std::make_unique<SpatialIndex>(std::move(boxes));
    }
    return *m_spatial;
}

std::shared_ptr<host::IGeometry> RowStore::ShapeAt(std::size_t position) const {
    if (position < m_objects.size() && m_objects[position]) return m_objects[position];
    if (position < m_pointKept.size() && m_pointKept[position]) {
        return MakePoint(m_points[position].x, m_points[position].y, m_context);
    }
    return nullptr;
}

Box RowStore::Extent(const std::vector<char>* passes) const {
    if (passes == nullptr && m_spatial) return m_spatial->Extent();
    const QuietHost quiet(m_context);
    Box extent;
    for (std::size_t p = 0; p < Size(); ++p) {
        if (passes != nullptr && (p >= passes->size() || !(*passes)[p])) continue;
        Cover(extent, BoxAt(p));
    }
    return extent;
}

std::optional<std::size_t> RowStore::PositionOf(std::int32_t oid) const {
    if (m_oids.empty()) {
        if (oid < 1 || static_cast<std::size_t>(oid) > m_rows) return std::nullopt;
        return static_cast<std::size_t>(oid) - 1;
    }
    auto it = std::lower_bound(m_oids.begin(), m_oids.end(), oid);
    if (it == m_oids.end() || *it != oid) return std::nullopt;
    return static_cast<std::size_t>(it - m_oids.begin());
}

WhereClause RowStore::Compile(std::string_view text) const {
    return WhereClause::Compile(text, *m_fields);
}

const RowStore::FieldIndex& RowStore::IndexOf(std::int32_t field, FieldKind kind) const {
    auto it = m_indexes.find(field);
    if (it != m_indexes.end()) return it->second;
    FieldIndex index;
    for (std::size_t p = 0; p < Size(); ++p) {
        const host::FieldValue value = ValueAt(p, static_cast<std::size_t>(field));
        const auto position = static_cast<std::uint32_t>(p);
        if (kind == FieldKind::Text) {
            if (const auto* text = std::get_if<std::string>(&value.Get())) {
                index.texts[*text].push_back(position);
            }
        } else if (const auto key = IndexKeyOf(value, kind)) {
            index.numbers[*key].push_back(position);
        }
    }
    return m_indexes.emplace(field, std::move(index)).first->second;
}

std::vector<std::size_t> RowStore::Find(const WhereClause& clause) const {
    const auto equality = clause.IndexableEquality();
    if (!equality || Size() > std::numeric_limits<std::uint32_t>::max()) {
        return Scan(clause);
    }
    const FieldIndex& index = IndexOf(equality->field, equality->kind);
    const std::vector<std::uint32_t>* hits = nullptr;
    if (equality->kind == FieldKind::Text) {
        auto it = index.texts.find(equality->text);
        if (it != index.texts.end()) hits = &it->second;
    } else {
        auto it = index.numbers.find(equality->number);
        if (it != index.numbers.end()) hits = &it->second;
    }
    std::vector<std::size_t> result;
    if (hits == nullptr) return result;
    result.reserve(hits->size());
    for (const std::uint32_t position : *hits) {
        if (clause.Matches(ValuesAt(position))) result.push_back(position);
    }
    return result;
}

RowPositions RowStore::Search(const WhereClause& clause) const {
    if (clause.IsEmpty()) return RowPositions::Every(Size());
    return RowPositions(Find(clause));
}

std::vector<std::size_t> RowStore::Scan(const WhereClause& clause) const {
    std::vector<std::size_t> result;
    if (clause.IsEmpty()) result.reserve(Size());
    for (std::size_t p = 0; p < Size(); ++p) {
        if (clause.Matches(ValuesAt(p))) result.push_back(p);
    }
    return result;
}

std::vector<std::size_t> RowStore::Filter(const std::vector<std::size_t>& candidates,
                                          const WhereClause& clause) const {
    std::vector<std::size_t> result;
    result.reserve(candidates.size());
    for (const std::size_t position : candidates) {
        if (position < Size() && clause.Matches(ValuesAt(position))) {
            result.push_back(position);
        }
    }
    return result;
}

}  // namespace velorin::memory

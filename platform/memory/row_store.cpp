#include "platform/memory/row_store.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/geometry.h"

namespace velorin::memory {

RowStore::RowStore(std::shared_ptr<HostContext> context, std::shared_ptr<Fields> fields,
                   bool featureRows)
    : m_context(std::move(context)),
      m_fields(std::move(fields)),
      m_featureRows(featureRows),
      m_fieldCount(static_cast<std::size_t>(m_fields->Count())),
      m_width(m_fieldCount - (m_fields->ShapeIndex() >= 0 ? 1 : 0)) {}

host::FieldValue* RowStore::NextSlots() {
    if (m_width == 0) return nullptr;
    if (m_blocks.empty() || m_blockUsed == m_blockRows) {
        // Blocks grow with the store, so that a small table stays small and a large
        // one is not moved as it grows.
        constexpr std::size_t kFirstRows = 16;
        constexpr std::size_t kMostRows = 4096;
        const std::size_t rows =
            m_blocks.empty() ? kFirstRows : std::min(m_blockRows * 2, kMostRows);
        m_blocks.push_back(std::make_unique<host::FieldValue[]>(rows * m_width));
        m_blockRows = rows;
        m_blockUsed = 0;
    }
    return m_blocks.back().get() + m_blockUsed * m_width;
}

std::int32_t RowStore::Add(const std::vector<host::FieldValue>& attributes,
                           std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    return Append(attributes, std::move(shape), oid);
}

std::int32_t RowStore::Add(std::vector<host::FieldValue>&& attributes,
                           std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    return Append(std::move(attributes), std::move(shape), oid);
}

std::int32_t RowStore::Add(std::vector<host::FieldValue>&& attributes, XY point, std::int32_t oid) {
    return Append(std::move(attributes), point, oid);
}

template <class Values>
std::int32_t RowStore::Append(Values&& attributes, StoredShape shape, std::int32_t oid) {
    const std::int32_t fieldCount = m_fields->Count();
    std::size_t expected = static_cast<std::size_t>(fieldCount);
    if (m_fields->OidIndex() >= 0) --expected;
    if (m_fields->ShapeIndex() >= 0) --expected;
    if (attributes.size() != expected) {
        throw Error(host::E_HOST_INVALIDARG, "A row needs " + std::to_string(expected) +
                                                 " attribute values, not " +
                                                 std::to_string(attributes.size()));
    }
    const std::int32_t last = m_rows.empty() ? 0 : m_rows.back().oid;
    if (oid == 0) {
        if (last == std::numeric_limits<std::int32_t>::max()) {
            throw Error(host::E_HOST_FAIL, "No object id is left for a new row");
        }
        oid = last + 1;
    } else if (oid <= last) {
        throw Error(host::E_HOST_INVALIDARG, "Object id " + std::to_string(oid) +
                                                 " must be above the last one, " +
                                                 std::to_string(last));
    }
    if (const auto* object = std::get_if<std::shared_ptr<host::IGeometry>>(&shape)) {
        // A point of this host that no one else holds is kept as its coordinates.
        const auto* point = dynamic_cast<const PointGeometry*>(object->get());
        if (point != nullptr && point->Context() == m_context && object->use_count() == 1) {
            shape = point->Coords();
        }
    }
    if (HasShape(shape) && m_fields->ShapeIndex() < 0) {
        throw Error(host::E_HOST_INVALIDARG,
                    "A row of a table without a geometry field has no shape");
    }

    host::FieldValue* slots = NextSlots();
    try {
        std::size_t next = 0;
        host::FieldValue* slot = slots;
        for (std::int32_t i = 0; i < fieldCount; ++i) {
            if (i == m_fields->OidIndex()) {
                *slot++ = host::FieldValue(host::ObjectId{oid});
            } else if (i != m_fields->ShapeIndex()) {
                if constexpr (std::is_rvalue_reference_v<Values&&>) {
                    *slot++ = StoredValue(std::move(attributes[next++]), m_fields->At(i));
                } else {
                    *slot++ = StoredValue(attributes[next++], m_fields->At(i));
                }
            }
        }
        m_rows.push_back(StoredRow{oid, slots, std::move(shape)});
    } catch (...) {
        // The slots stay free for the next row.
        for (std::size_t i = 0; i < m_width; ++i) slots[i] = host::FieldValue();
        throw;
    }
    if (slots != nullptr) ++m_blockUsed;
    m_indexes.clear();
    m_spatial.reset();
    return oid;
}

void RowStore::Retype(std::int32_t field, std::int32_t type) {
    if (field < 0 || field >= m_fields->Count() || field == m_fields->OidIndex() ||
        field == m_fields->ShapeIndex()) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Field " + std::to_string(field) + " is not an attribute field");
    }
    const Field& old = m_fields->At(field);
    auto retyped = std::make_shared<Field>(m_context, old.NameText(), type, old.AliasText());
    const auto column = static_cast<std::size_t>(field) -
                        (m_fields->ShapeIndex() >= 0 && field > m_fields->ShapeIndex() ? 1 : 0);
    // Every value is checked before any is changed.
    for (const StoredRow& row : m_rows) StoredValue(row.values[column], *retyped);
    std::vector<std::shared_ptr<Field>> fields;
    for (std::int32_t i = 0; i < m_fields->Count(); ++i) {
        fields.push_back(i == field ? retyped : m_fields->Shared(i));
    }
    m_fields = std::make_shared<Fields>(m_context, std::move(fields));
    for (StoredRow& row : m_rows) row.values[column] = StoredValue(row.values[column], *retyped);
    m_indexes.erase(field);
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

Box BoxOf(const std::variant<std::shared_ptr<host::IGeometry>, XY>& shape) {
    if (const auto* point = std::get_if<XY>(&shape)) {
        if (!std::isfinite(point->x) || !std::isfinite(point->y)) return {};
        return Box{point->x, point->y, point->x, point->y};
    }
    const auto& object = std::get<std::shared_ptr<host::IGeometry>>(shape);
    return object ? BoxOf(*object) : Box{};
}

}  // namespace

const SpatialIndex& RowStore::Spatial() const {
    if (!m_spatial) {
        const QuietHost quiet(m_context);
        std::vector<Box> boxes(m_rows.size());
        for (std::size_t p = 0; p < m_rows.size(); ++p) {
            boxes[p] = BoxOf(m_rows[p].shape);
        }
        m_spatial = std::make_unique<SpatialIndex>(std::move(boxes));
    }
    return *m_spatial;
}

std::shared_ptr<host::IGeometry> RowStore::ShapeAt(std::size_t position) const {
    const auto& shape = m_rows[position].shape;
    if (const auto* point = std::get_if<XY>(&shape))
        return MakePoint(point->x, point->y, m_context);
    return std::get<std::shared_ptr<host::IGeometry>>(shape);
}

Box RowStore::Extent(const std::vector<char>* passes) const {
    if (passes == nullptr && m_spatial) return m_spatial->Extent();
    const QuietHost quiet(m_context);
    Box extent;
    for (std::size_t p = 0; p < m_rows.size(); ++p) {
        if (passes != nullptr && (p >= passes->size() || !(*passes)[p])) continue;
        Cover(extent, BoxOf(m_rows[p].shape));
    }
    return extent;
}

std::optional<std::size_t> RowStore::PositionOf(std::int32_t oid) const {
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), oid,
                               [](const StoredRow& row, std::int32_t id) { return row.oid < id; });
    if (it == m_rows.end() || it->oid != oid) return std::nullopt;
    return static_cast<std::size_t>(it - m_rows.begin());
}

WhereClause RowStore::Compile(std::string_view text) const {
    return WhereClause::Compile(text, *m_fields);
}

const RowStore::FieldIndex& RowStore::IndexOf(std::int32_t field, FieldKind kind) const {
    auto it = m_indexes.find(field);
    if (it != m_indexes.end()) return it->second;
    FieldIndex index;
    for (std::size_t p = 0; p < m_rows.size(); ++p) {
        const host::FieldValue& value = ValuesOf(m_rows[p])[static_cast<std::size_t>(field)];
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
    if (!equality || m_rows.size() > std::numeric_limits<std::uint32_t>::max()) {
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
        if (clause.Matches(ValuesOf(m_rows[position]))) result.push_back(position);
    }
    return result;
}

std::vector<std::size_t> RowStore::Scan(const WhereClause& clause) const {
    std::vector<std::size_t> result;
    if (clause.IsEmpty()) result.reserve(m_rows.size());
    for (std::size_t p = 0; p < m_rows.size(); ++p) {
        if (clause.Matches(ValuesOf(m_rows[p]))) result.push_back(p);
    }
    return result;
}

std::vector<std::size_t> RowStore::Filter(const std::vector<std::size_t>& candidates,
                                          const WhereClause& clause) const {
    std::vector<std::size_t> result;
    result.reserve(candidates.size());
    for (const std::size_t position : candidates) {
        if (position < m_rows.size() && clause.Matches(ValuesOf(m_rows[position]))) {
            result.push_back(position);
        }
    }
    return result;
}

}  // namespace velorin::memory

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "host/field_value.h"
#include "host/geometry.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/row_values.h"
#include "platform/memory/spatial_index.h"
#include "platform/memory/value_column.h"
#include "platform/memory/where_clause.h"

namespace velorin::memory {

// The positions of the rows a search found, ascending: those listed, or every row
// below a count, which needs no list (a search without a clause, over what may be
// millions of rows).
class RowPositions {
  public:
    explicit RowPositions(std::vector<std::size_t> listed)
        : m_listed(std::move(listed)), m_size(m_listed.size()) {}
    static RowPositions Every(std::size_t count) {
        RowPositions every({});
        every.m_size = count;
        every.m_every = true;
        return every;
    }

    std::size_t Size() const { return m_size; }
    std::size_t operator[](std::size_t i) const { return m_every ? i : m_listed[i]; }

  private:
    std::vector<std::size_t> m_listed;
    std::size_t m_size = 0;
    bool m_every = false;
};

// One stored row as the store shows it. The values it refers to stay valid as
// long as the store does. Reading one makes its shape when the row keeps a point
// as coordinates alone: a walk over many rows reads what it needs through the
// store's own accessors (OidAt, ValuesAt, HasShape, ShapeAt).
struct RowRecord {
    std::int32_t oid = 0;
    RowValues values;                        // one per field (see RowValues)
    std::shared_ptr<host::IGeometry> shape;  // empty when the row has none
};

// The rows of one table or feature class, in object-id order, with the hash
// indexes that answer equality searches. Rows are only ever appended, so a row's
// position never changes and row objects handed out stay valid.
//
// Not an interface object: the host's tables and layers search through it.
class RowStore {
  public:
    // featureRows: rows are features (the store of a feature class), so cursors
    // over it hand out IFeature objects.
    RowStore(std::shared_ptr<HostContext> context, std::shared_ptr<Fields> fields,
             bool featureRows);

    const std::shared_ptr<HostContext>& Context() const { return m_context; }
    const std::shared_ptr<Fields>& FieldSet() const { return m_fields; }
    bool FeatureRows() const { return m_featureRows; }

    // Appends a row. attributes gives a value for every field except the object-id
    // and geometry fields, in field order; each is stored as its field's type
    // (StoredValue). oid 0 takes the next free id (ids start at 1); an explicit id
    // must be above every id so far. Raises E_HOST_INVALIDARG, adding nothing, for
    // a wrong number of values, a value that does not fit, or a bad id. Returns the
    // row's object id. Drops the hash indexes; the next equality search rebuilds.
    std::int32_t Add(const std::vector<host::FieldValue>& attributes,
                     std::shared_ptr<host::IGeometry> shape, std::int32_t oid = 0);
    // As above, for a loader passing its row buffer (which keeps its capacity).
    std::int32_t Add(std::vector<host::FieldValue>&& attributes,
                     std::shared_ptr<host::IGeometry> shape, std::int32_t oid = 0);
    // As above for a row whose shape is a point of this host, given by its
    // coordinates (a loader's point, kept without an object of its own).
    std::int32_t Add(std::vector<host::FieldValue>&& attributes, XY point, std::int32_t oid = 0);

    // Gives an attribute field another type, every row's value re-stored as that type
    // (StoredValue). Fields are otherwise fixed: this is for whoever fills the store,
    // before anyone else has seen its fields (a reader that can settle a type only
    // once every value is in). Raises E_HOST_INVALIDARG, changing nothing, for the
    // object-id or geometry field, an index out of range, or a value that does not fit.
    void Retype(std::int32_t field, std::int32_t type);

    std::size_t Size() const { return m_rows; }
    RowRecord At(std::size_t position) const {
        return {OidAt(position), ValuesAt(position), ShapeAt(position)};
    }
    std::int32_t OidAt(std::size_t position) const {
        return m_oids.empty() ? static_cast<std::int32_t>(position + 1) : m_oids[position];
    }
    RowValues ValuesAt(std::size_t position) const { return RowValues(*this, position); }
    // One value of a row (see RowValues), made anew.
    host::FieldValue ValueAt(std::size_t position, std::size_t field) const;
    bool HasShape(std::size_t position) const {
        return (position < m_objects.size() && m_objects[position]) ||
               (position < m_pointKept.size() && m_pointKept[position]);
    }
    // The row's shape, empty when it has none. A point the store keeps as its
    // coordinates is made anew at every call, so the shapes handed out are never
    // the store's own.
    std::shared_ptr<host::IGeometry> ShapeAt(std::size_t position) const;
    // Position of the row with that id, or empty.
    std::optional<std::size_t> PositionOf(std::int32_t oid) const;

    // Positions of the rows satisfying the clause, ascending (object-id order).
    // A clause with an equality of a field and a constant (alone or as a term of its
    // top-level AND) looks the candidates up in that field's hash index, building
    // it on first use, and tests only those; anything else scans every row.
    std::vector<std::size_t> Find(const WhereClause& clause) const;
    // As Find, but every row is given without a list when the clause is empty.
    RowPositions Search(const WhereClause& clause) const;
    // As Find, but never through an index (for comparison and measurement).
    std::vector<std::size_t> Scan(const WhereClause& clause) const;
    // The candidates (ascending positions) that satisfy the clause.
    std::vector<std::size_t> Filter(const std::vector<std::size_t>& candidates,
                                    const WhereClause& clause) const;

    // Compiles a clause against this store's fields (see WhereClause::Compile).
    WhereClause Compile(std::string_view text) const;

    // Number of hash indexes built so far (for tests).
    std::size_t IndexCount() const { return m_indexes.size(); }

    // The envelopes of the rows' shapes, indexed: built on first use, dropped on
    // Add. Stored shapes are the host's own and are not changed in place.
    const SpatialIndex& Spatial() const;
    // The box around the shapes of the rows that pass (passes: a flag per position,
    // or null for every row); empty when none has a shape. Coordinates that are not
    // finite are left out, as the spatial index leaves them out.
    Box Extent(const std::vector<char>* passes) const;

    // What room Reserve makes for the rows' shapes: none (a table, or shapes of a
    // kind not known yet), points kept as their coordinates, or shape objects.
    enum class ShapeRoom { None, Points, Objects };
    // Makes room for that many rows in all (for whoever fills the store and knows
    // its count: the arrays then never grow, and Compact has nothing to copy when
    // the count was right).
    void Reserve(std::size_t rows, ShapeRoom shapes);
    // Gives back the room kept for rows to come (for whoever fills the store, once
    // it is filled).
    void Compact();

  private:
    // The object id a new row gets: `oid`, or the next after the last when 0.
    // Raises E_HOST_INVALIDARG for one not above the last, E_HOST_FAIL when none
    // is left.
    std::int32_t NextOid(std::int32_t oid) const;
    // The row's values as the columns keep them: the given ones when every column
    // takes its value as it is, else converted (into m_stored). Raises, keeping
    // nothing, for a value a field cannot hold.
    const host::FieldValue* StoredValues(const std::vector<host::FieldValue>& attributes);
    // Rows are kept by column: the object ids in one array (none while they are
    // the positions plus one), each attribute field's values in a column of its
    // type, the points made for this host that no one else holds as their
    // coordinates alone, and other shapes as objects. The arrays of points and
    // objects reach only as far as the last row that has one.
    using StoredShape = std::variant<std::shared_ptr<host::IGeometry>, XY>;  // empty pointer: none

    struct FieldIndex {
        std::unordered_map<double, std::vector<std::uint32_t>> numbers;
        std::unordered_map<std::string, std::vector<std::uint32_t>> texts;
    };

    const FieldIndex& IndexOf(std::int32_t field, FieldKind kind) const;
    std::int32_t Append(const std::vector<host::FieldValue>& attributes, StoredShape shape,
                        std::int32_t oid);

    Box BoxAt(std::size_t position) const;

    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<Fields> m_fields;
    bool m_featureRows;
    std::size_t m_rows = 0;
    // The object ids, once a row's id is not its position plus one: ids 1, 2, 3 ...
    // (what most data sets give) are not kept.
    std::vector<std::int32_t> m_oids;
    std::size_t m_reserved = 0;              // rows Reserve made room for
    std::vector<ValueColumn> m_columns;      // the attribute fields', in field order
    std::vector<std::int32_t> m_columnOf;    // per field: its column, or -1
    std::vector<host::FieldValue> m_stored;  // a row's values converted to their fields' types
    std::vector<XY> m_points;
    std::vector<bool> m_pointKept;
    std::vector<std::shared_ptr<host::IGeometry>> m_objects;
    // Built lazily on the first equality search of a field; dropped on Add.
    mutable std::map<std::int32_t, FieldIndex> m_indexes;
    mutable std::unique_ptr<SpatialIndex> m_spatial;
};

}  // namespace velorin::memory

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/data.h"
#include "host/field_value.h"
#include "platform/objects/host_context.h"

namespace velorin::objects {

// How a where clause may compare a field's values.
enum class FieldKind {
    Number,  // small integer, integer, big integer, single, double, object id
    Text,    // string, GUID, global id, XML
    Date,
    Other,  // geometry, blob, raster: only IS [NOT] NULL applies
};

FieldKind KindOfFieldType(std::int32_t fieldType);
// A short English name of a field type for messages ("integer", "string", ...).
std::string FieldTypeName(std::int32_t fieldType);

// One column. Immutable once made.
class Field final : public host::IField {
  public:
    Field(std::shared_ptr<HostContext> context, std::string name, std::int32_t type,
          std::string alias = {});

    std::string Name() const override;
    std::string AliasName() const override;
    std::int32_t Type() const override;

    // Quiet accessors for the host's own use: they are not calls of the extension,
    // so they do not count for fault injection.
    const std::string& NameText() const { return m_name; }
    const std::string& AliasText() const { return m_alias; }
    std::int32_t TypeCode() const { return m_type; }

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_name;
    std::string m_alias;
    std::int32_t m_type;
};

// The ordered columns of a table or feature class. Names are unique without regard
// to letter case; at most one object-id and one geometry field.
class Fields final : public host::IFields {
  public:
    // Raises E_HOST_INVALIDARG for an empty or duplicate name, or a second
    // object-id or geometry field.
    Fields(std::shared_ptr<HostContext> context,
           std::vector<std::shared_ptr<objects::Field>> fields);

    std::int32_t FieldCount() const override;
    std::shared_ptr<host::IField> Field(std::int32_t index) const override;
    std::int32_t FindField(const std::string& name) const override;

    // Quiet accessors (see Field).
    std::int32_t Count() const { return static_cast<std::int32_t>(m_fields.size()); }
    const objects::Field& At(std::int32_t index) const { return *m_fields.at(index); }
    const std::shared_ptr<objects::Field>& Shared(std::int32_t index) const {
        return m_fields.at(static_cast<std::size_t>(index));
    }
    // Index of the field, letter case ignored; -1 when absent.
    std::int32_t Find(std::string_view name) const;
    std::int32_t OidIndex() const { return m_oidIndex; }
    std::int32_t ShapeIndex() const { return m_shapeIndex; }

  private:
    std::shared_ptr<HostContext> m_context;
    std::vector<std::shared_ptr<objects::Field>> m_fields;
    std::int32_t m_oidIndex = -1;
    std::int32_t m_shapeIndex = -1;
};

// The value as the field stores it: numbers become the field's own numeric type
// (12 in a double field is 12.0; 12.0 in an integer field is 12), so that a row
// reads back the type its field declares. Raises E_HOST_INVALIDARG, naming the
// field, for a value of another kind or one that does not fit (a fraction or an
// out-of-range number in an integer field). Null fits every field.
host::FieldValue StoredValue(const host::FieldValue& value, const Field& field);
// As above; text and dates already of the field's kind are moved, not copied.
host::FieldValue StoredValue(host::FieldValue&& value, const Field& field);

// ASCII case-insensitive equality, as the host's data sources match names.
bool SameName(std::string_view a, std::string_view b);

}  // namespace velorin::objects

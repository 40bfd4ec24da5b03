#include "platform/objects/fields.h"

#include <cmath>
#include <limits>
#include <utility>
#include <variant>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::objects {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

[[noreturn]] void DoesNotFit(const host::FieldValue& value, const Field& field,
                             const std::string& why) {
    throw Error(host::E_HOST_INVALIDARG, "Value '" + host::ToText(value) + "' does not fit field " +
                                             field.NameText() + " (" +
                                             FieldTypeName(field.TypeCode()) + "): " + why);
}

template <class Integer>
host::FieldValue WholeNumber(const host::FieldValue& value, const Field& field) {
    // Integers wider than a double mantissa keep their exact value.
    if (const auto* big = std::get_if<std::int64_t>(&value.Get())) {
        if (*big < std::numeric_limits<Integer>::min() ||
            *big > std::numeric_limits<Integer>::max()) {
            DoesNotFit(value, field, "out of range");
        }
        return host::FieldValue(static_cast<Integer>(*big));
    }
    const double number = value.AsDouble();
    if (!std::isfinite(number) || number != std::trunc(number)) {
        DoesNotFit(value, field, "not a whole number");
    }
    // Both bounds are powers of two, exactly representable as doubles: the range is
    // [-2^(n-1), 2^(n-1)).
    const double lowest = static_cast<double>(std::numeric_limits<Integer>::min());
    if (number < lowest || number >= -lowest) DoesNotFit(value, field, "out of range");
    return host::FieldValue(static_cast<Integer>(number));
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

FieldKind KindOfFieldType(std::int32_t fieldType) {
    switch (fieldType) {
        case host::esriFieldTypeSmallInteger:
        case host::esriFieldTypeInteger:
        case host::esriFieldTypeSingle:
        case host::esriFieldTypeDouble:
        case host::esriFieldTypeOID:
        case host::esriFieldTypeBigInteger:
            return FieldKind::Number;
        case host::esriFieldTypeString:
        case host::esriFieldTypeGUID:
        case host::esriFieldTypeGlobalID:
        case host::esriFieldTypeXML:
            return FieldKind::Text;
        case host::esriFieldTypeDate:
            return FieldKind::Date;
        default:
            return FieldKind::Other;
    }
}

std::string FieldTypeName(std::int32_t fieldType) {
    switch (fieldType) {
        case host::esriFieldTypeSmallInteger:
            return "small integer";
        case host::esriFieldTypeInteger:
            return "integer";
        case host::esriFieldTypeSingle:
            return "single";
        case host::esriFieldTypeDouble:
            return "double";
        case host::esriFieldTypeString:
            return "string";
        case host::esriFieldTypeDate:
            return "date";
        case host::esriFieldTypeOID:
            return "object id";
        case host::esriFieldTypeGeometry:
            return "geometry";
        case host::esriFieldTypeBlob:
            return "blob";
        case host::esriFieldTypeRaster:
            return "raster";
        case host::esriFieldTypeGUID:
            return "GUID";
        case host::esriFieldTypeGlobalID:
            return "global id";
        case host::esriFieldTypeXML:
            return "XML";
        case host::esriFieldTypeBigInteger:
            return "big integer";
        default:
            return "unknown type";
    }
}

// ---- Field -------------------------------------------------------------------------

Field::Field(std::shared_ptr<HostContext> context, std::string name, std::int32_t type,
             std::string alias)
    : m_context(std::move(context)),
      m_name(std::move(name)),
      m_alias(alias.empty() ? m_name : std::move(alias)),
      m_type(type) {}

std::string Field::Name() const {
    m_context->faults.Enter("IField::Name");
    return m_name;
}

std::string Field::AliasName() const {
    m_context->faults.Enter("IField::AliasName");
    return m_alias;
}

std::int32_t Field::Type() const {
    m_context->faults.Enter("IField::Type");
    return m_type;
}

// ---- Fields ------------------------------------------------------------------------

Fields::Fields(std::shared_ptr<HostContext> context,
               std::vector<std::shared_ptr<objects::Field>> fields)
    : m_context(std::move(context)), m_fields(std::move(fields)) {
    for (std::int32_t i = 0; i < Count(); ++i) {
        const auto& field = m_fields[static_cast<std::size_t>(i)];
        if (!field || field->NameText().empty()) {
            throw Error(host::E_HOST_INVALIDARG, "A field needs a name");
        }
        for (std::int32_t j = 0; j < i; ++j) {
            if (SameName(m_fields[static_cast<std::size_t>(j)]->NameText(), field->NameText())) {
                throw Error(host::E_HOST_INVALIDARG,
                            "Field name " + field->NameText() + " is used twice");
            }
        }
        auto claim = [&](std::int32_t& slot, const char* what) {
            if (slot >= 0) {
                throw Error(host::E_HOST_INVALIDARG, std::string("A table has at most one ") +
                                                         what + " field (" + field->NameText() +
                                                         ")");
            }
            slot = i;
        };
        if (field->TypeCode() == host::esriFieldTypeOID) claim(m_oidIndex, "object id");
        if (field->TypeCode() == host::esriFieldTypeGeometry) claim(m_shapeIndex, "geometry");
    }
}

std::int32_t Fields::FieldCount() const {
    m_context->faults.Enter("IFields::FieldCount");
    return Count();
}

std::shared_ptr<host::IField> Fields::Field(std::int32_t index) const {
    m_context->faults.Enter("IFields::Field");
    if (index < 0 || index >= Count()) {
        throw Error(host::E_HOST_INVALIDARG, "Field index " + std::to_string(index) +
                                                 " is out of range (the table has " +
                                                 std::to_string(Count()) + " fields)");
    }
    return m_fields[static_cast<std::size_t>(index)];
}

std::int32_t Fields::FindField(const std::string& name) const {
    m_context->faults.Enter("IFields::FindField");
    return Find(name);
}

std::int32_t Fields::Find(std::string_view name) const {
    for (std::int32_t i = 0; i < Count(); ++i) {
        if (SameName(m_fields[static_cast<std::size_t>(i)]->NameText(), name)) return i;
    }
    return -1;
}

// ---- stored values -----------------------------------------------------------------

host::FieldValue StoredValue(const host::FieldValue& value, const Field& field) {
    if (value.IsNull()) return value;
    const auto& storage = value.Get();
    switch (field.TypeCode()) {
        case host::esriFieldTypeSmallInteger:
        case host::esriFieldTypeInteger:
        case host::esriFieldTypeBigInteger:
        case host::esriFieldTypeOID:
            if (!value.IsNumber()) DoesNotFit(value, field, "not a number");
            if (field.TypeCode() == host::esriFieldTypeSmallInteger) {
                return WholeNumber<std::int16_t>(value, field);
            }
            if (field.TypeCode() == host::esriFieldTypeBigInteger) {
                return WholeNumber<std::int64_t>(value, field);
            }
            if (field.TypeCode() == host::esriFieldTypeOID) {
                return host::FieldValue(host::ObjectId{
                    std::get<std::int32_t>(WholeNumber<std::int32_t>(value, field).Get())});
            }
            return WholeNumber<std::int32_t>(value, field);
        case host::esriFieldTypeSingle: {
            if (!value.IsNumber()) DoesNotFit(value, field, "not a number");
            const double number = value.AsDouble();
            if (std::isfinite(number) &&
                std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
                DoesNotFit(value, field, "out of range");
            }
            return host::FieldValue(static_cast<float>(number));
        }
        case host::esriFieldTypeDouble:
            if (!value.IsNumber()) DoesNotFit(value, field, "not a number");
            return host::FieldValue(value.AsDouble());
        case host::esriFieldTypeString:
        case host::esriFieldTypeGUID:
        case host::esriFieldTypeGlobalID:
        case host::esriFieldTypeXML:
        case host::esriFieldTypeBlob:
            if (!std::holds_alternative<std::string>(storage)) DoesNotFit(value, field, "not text");
            return value;
        case host::esriFieldTypeDate:
            if (!std::holds_alternative<host::Date>(storage))
                DoesNotFit(value, field, "not a date");
            return value;
        default:
            DoesNotFit(value, field, "this field holds no plain values");
    }
}

host::FieldValue StoredValue(host::FieldValue&& value, const Field& field) {
    const bool text = std::holds_alternative<std::string>(value.Get()) &&
                      KindOfFieldType(field.TypeCode()) == FieldKind::Text;
    const bool blob = std::holds_alternative<std::string>(value.Get()) &&
                      field.TypeCode() == host::esriFieldTypeBlob;
    if (text || blob) return std::move(value);
    return StoredValue(static_cast<const host::FieldValue&>(value), field);
}

}  // namespace velorin::objects

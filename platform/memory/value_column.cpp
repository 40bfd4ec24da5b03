#include "platform/memory/value_column.h"

#include <stdexcept>
#include <variant>

#include "host/codes.h"

namespace velorin::memory {

ValueColumn::ValueColumn(std::int32_t fieldType) : m_kind(Kind::Nothing) {
    switch (fieldType) {
        case host::esriFieldTypeSmallInteger:
            m_kind = Kind::Small;
            break;
        case host::esriFieldTypeInteger:
            m_kind = Kind::Integer;
            break;
        case host::esriFieldTypeBigInteger:
            m_kind = Kind::Big;
            break;
        case host::esriFieldTypeSingle:
            m_kind = Kind::Single;
            break;
        case host::esriFieldTypeDouble:
            m_kind = Kind::Double;
            break;
        case host::esriFieldTypeDate:
            m_kind = Kind::Date;
            break;
        case host::esriFieldTypeString:
        case host::esriFieldTypeGUID:
        case host::esriFieldTypeGlobalID:
        case host::esriFieldTypeXML:
        case host::esriFieldTypeBlob:
            m_kind = Kind::Text;
            break;
        default:
            break;
    }
}

namespace {

// The value's alternative T, or T's zero for a null; raises for another.
template <class T>
T Of(const host::FieldValue& value) {
    if (value.IsNull()) return T{};
    const T* held = std::get_if<T>(&value.Get());
    if (held == nullptr) throw std::logic_error("a value unlike its column's type");
    return *held;
}

}  // namespace

void ValueColumn::Push(const host::FieldValue& value) {
    const std::size_t rows = Size();
    try {
        switch (m_kind) {
            case Kind::Nothing:
                if (!value.IsNull()) throw std::logic_error("a value in a column of nulls");
                break;
            case Kind::Small:
                m_small.push_back(Of<std::int16_t>(value));
                break;
            case Kind::Integer:
                m_integers.push_back(Of<std::int32_t>(value));
                break;
            case Kind::Big:
                m_bigs.push_back(Of<std::int64_t>(value));
                break;
            case Kind::Single:
                m_singles.push_back(Of<float>(value));
                break;
            case Kind::Double:
                m_doubles.push_back(Of<double>(value));
                break;
            case Kind::Date:
                m_doubles.push_back(Of<host::Date>(value).days);
                break;
            case Kind::Text:
                if (!value.IsNull()) {
                    const auto* text = std::get_if<std::string>(&value.Get());
                    if (text == nullptr) throw std::logic_error("a value unlike its column's type");
                    m_chars.insert(m_chars.end(), text->begin(), text->end());
                }
                m_ends.push_back(m_chars.size());
                break;
        }
        m_nulls.push_back(value.IsNull());
    } catch (...) {
        Truncate(rows);
        throw;
    }
}

bool ValueColumn::Takes(const host::FieldValue& value) const {
    const auto& held = value.Get();
    switch (m_kind) {
        case Kind::Nothing:
            return value.IsNull();
        case Kind::Small:
            return value.IsNull() || std::holds_alternative<std::int16_t>(held);
        case Kind::Integer:
            return value.IsNull() || std::holds_alternative<std::int32_t>(held);
        case Kind::Big:
            return value.IsNull() || std::holds_alternative<std::int64_t>(held);
        case Kind::Single:
            return value.IsNull() || std::holds_alternative<float>(held);
        case Kind::Double:
            return value.IsNull() || std::holds_alternative<double>(held);
        case Kind::Date:
            return value.IsNull() || std::holds_alternative<host::Date>(held);
        case Kind::Text:
            return value.IsNull() || std::holds_alternative<std::string>(held);
    }
    return false;
}

host::FieldValue ValueColumn::At(std::size_t row) const {
    if (m_nulls[row]) return {};
    switch (m_kind) {
        case Kind::Nothing:
            break;
        case Kind::Small:
            return host::FieldValue(m_small[row]);
        case Kind::Integer:
            return host::FieldValue(m_integers[row]);
        case Kind::Big:
            return host::FieldValue(m_bigs[row]);
        case Kind::Single:
            return host::FieldValue(m_singles[row]);
        case Kind::Double:
            return host::FieldValue(m_doubles[row]);
        case Kind::Date:
            return host::FieldValue(host::Date{m_doubles[row]});
        case Kind::Text: {
            const std::size_t begin = row == 0 ? 0 : m_ends[row - 1];
            return host::FieldValue(std::string(m_chars.data() + begin, m_ends[row] - begin));
        }
    }
    return {};
}

void ValueColumn::Truncate(std::size_t rows) {
    const auto cut = [rows](auto& values) {
        if (values.size() > rows) values.resize(rows);
    };
    cut(m_nulls);
    cut(m_small);
    cut(m_integers);
    cut(m_bigs);
    cut(m_singles);
    cut(m_doubles);
    cut(m_ends);
    m_chars.resize(rows == 0 || m_ends.empty() ? 0 : m_ends[rows - 1]);
}

void ValueColumn::Reserve(std::size_t rows) {
    m_nulls.reserve(rows);
    switch (m_kind) {
        case Kind::Nothing:
            break;
        case Kind::Small:
            m_small.reserve(rows);
            break;
        case Kind::Integer:
            m_integers.reserve(rows);
            break;
        case Kind::Big:
            m_bigs.reserve(rows);
            break;
        case Kind::Single:
            m_singles.reserve(rows);
            break;
        case Kind::Double:
        case Kind::Date:
            m_doubles.reserve(rows);
            break;
        case Kind::Text:
            m_ends.reserve(rows);
            break;
    }
}

void ValueColumn::Compact() {
    m_nulls.shrink_to_fit();
    m_small.shrink_to_fit();
    m_integers.shrink_to_fit();
    m_bigs.shrink_to_fit();
    m_singles.shrink_to_fit();
    m_doubles.shrink_to_fit();
    m_chars.shrink_to_fit();
    m_ends.shrink_to_fit();
}

}  // namespace velorin::memory

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::zoomflash {

// The where clause that finds the Related features whose key field equals a
// Source key, given the key's text form (host::ToText).
//
// Against a string field (esriFieldTypeString) the key is quoted with every
// single quote inside it doubled, so the clause selects exactly the features
// whose key is that text: a key such as  x' OR 'a'='a  is a key, never SQL.
// Against any other field type the key must be a plain number (optional minus,
// digits with an optional decimal point, optional exponent: "12", "-1.5",
// "1e+20"); any other key text raises velorin::Error (type mismatch, 13) naming
// the key and the field, instead of being spliced into the clause.
std::string RelatedWhereClause(std::string_view relatedField, std::int32_t relatedFieldType,
                               std::string_view keyText);

// True for the plain number texts described above.
bool IsPlainNumber(std::string_view text);

}  // namespace velorin::zoomflash

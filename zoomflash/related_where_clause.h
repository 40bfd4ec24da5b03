#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/field_value.h"

namespace velorin::zoomflash {

// The where clause that finds the Related features whose key field equals a
// Source key.
//
// The field name is written as it is when it is a plain identifier (a letter or
// underscore, then letters, digits and underscores, and not a keyword of the
// clause: AND, OR, NOT, IS, NULL); any other name is written in double quotes,
// a double quote inside doubled, so the clause reads it whatever it is.
//
// Against a string field (esriFieldTypeString) the key's text form
// (host::ToText) is quoted with every single quote inside it doubled, so the
// clause selects exactly the features whose key is that text: a key such as
// x' OR 'a'='a  is a key, never SQL.
//
// Against any other field type the clause compares with the key's number: a
// double key written so that it reads back as that very double (its text form
// keeps only 15 significant digits), any other numeric key in its text form,
// and a text key when NumberKeyText finds a number in it. Any other key raises
// velorin::Error (type mismatch, 13) naming the key and the field, instead of
// being spliced into the clause.
std::string RelatedWhereClause(std::string_view relatedField, std::int32_t relatedFieldType,
                               const host::FieldValue& key);

// The plain number a text key holds, as the clause writes it: the text without
// leading and trailing spaces and without a leading plus sign, when what is left
// is an optional minus, digits with an optional decimal point and an optional
// exponent ("12", "-1.5", "1e+20"); nothing otherwise.
std::optional<std::string> NumberKeyText(std::string_view text);

}  // namespace velorin::zoomflash

#pragma once

#include <QString>
#include <string_view>

class QgsFields;

namespace velorin::qgis {

// A host where clause (SQL: 'text' with quotes doubled, "name" or bare field
// names, numbers, operators) as a QGIS expression that means the same. QGIS reads
// a backslash in a string literal as an escape and a bare word as a function or
// keyword before a field, so every literal is quoted anew and every field name
// becomes a quoted column reference (bare names matched to the layer's fields
// without regard to case, as the host's SQL matches them). Anything else passes
// through for QGIS to parse or refuse. An unterminated literal or name is left
// as it is, so that QGIS refuses it.
QString ToQgisExpression(std::string_view whereClause, const QgsFields& fields);

}  // namespace velorin::qgis

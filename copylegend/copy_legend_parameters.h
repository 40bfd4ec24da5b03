#pragma once

#include <string>

namespace velorin::copylegend {

// The four names Copy Legend Colors works with, as the dialog accepted them.
// Layer names are matched exactly (case-sensitive, whole name) against the
// focus map's top-level feature layers; field names through the feature class's
// field lookup. The dialog guarantees four non-empty names and two different
// layers; the engine checks again for emptiness and relies on nothing else.
struct CopyLegendParameters {
    std::string sourceLayer;
    std::string sourceField;
    std::string relatedLayer;
    std::string relatedField;
};

}  // namespace velorin::copylegend

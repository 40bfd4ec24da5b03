#pragma once

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "host/renderers.h"
#include "host/symbols.h"

// What the contents list shows under a layer: its renderer's classes, each a
// swatch and a label.
namespace velorin::app {

struct LegendEntry {
    std::string label;
    std::shared_ptr<host::ISymbol> symbol;  // may be empty: nothing is drawn
};

// A simple renderer: its one symbol, under its label. A unique value renderer:
// one entry per value in its order, under the value's label, then the default
// symbol under the default label when the renderer uses it. Another renderer
// kind, or none: no entry.
std::vector<LegendEntry> LegendOf(const std::shared_ptr<host::IFeatureRenderer>& renderer);

// The symbol drawn as the map draws it (a marker, a short line, or a filled
// square with its outline) on the map's background, width x height pixels. A
// symbol that cannot draw leaves the picture empty.
QImage SymbolSwatch(const std::shared_ptr<host::ISymbol>& symbol, int width, int height);

}  // namespace velorin::app

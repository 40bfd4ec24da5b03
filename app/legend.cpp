#include "app/legend.h"

#include "host/object.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/shape_painter.h"
#include "platform/memory/view.h"
#include "platform/objects/geometry.h"

namespace velorin::app {

std::vector<LegendEntry> LegendOf(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    std::vector<LegendEntry> legend;
    if (const auto simple = host::As<host::ISimpleRenderer>(renderer)) {
        legend.push_back({simple->Label(), simple->Symbol()});
    } else if (const auto unique = host::As<host::IUniqueValueRenderer>(renderer)) {
        const std::int32_t count = unique->ValueCount();
        for (std::int32_t i = 0; i < count; ++i) {
            const std::string value = unique->Value(i);
            legend.push_back({unique->Label(value), unique->Symbol(value)});
        }
        if (unique->UseDefaultSymbol() && unique->DefaultSymbol()) {
            legend.push_back({unique->DefaultLabel(), unique->DefaultSymbol()});
        }
    }
    return legend;
}

QImage SymbolSwatch(const std::shared_ptr<host::ISymbol>& symbol, int width, int height) {
    memory::QImageCanvas canvas(width, height);
    canvas.Clear(memory::MapView::Background);
    const std::optional<objects::SymbolLook> look = objects::TryReadSymbol(symbol);
    if (!look) return canvas.Image();
    // Map units are pixels here, y up from the bottom edge.
    const memory::ViewTransform view{0.0, static_cast<double>(height), 1.0, width, height};
    const double w = width;
    const double h = height;
    std::shared_ptr<host::IGeometry> shape;
    switch (look->kind) {
        case objects::SymbolKind::Marker:
            shape = objects::MakePoint(w / 2, h / 2);
            break;
        case objects::SymbolKind::Line:
            shape = objects::MakePolyline({{{2, h / 2}, {w - 2, h / 2}}});
            break;
        case objects::SymbolKind::Fill:
            shape = objects::MakePolygon({{{2, 2}, {w - 2, 2}, {w - 2, h - 2}, {2, h - 2}}});
            break;
    }
    memory::PaintShape(canvas, view, *shape, *look);
    return canvas.Image();
}

}  // namespace velorin::app

#include "zoomflash/flash_geometry.h"

#include "ui/current_toolkit.h"

namespace velorin::zoomflash {

namespace {

// The flash symbol for a geometry type, with its settings in the host's order of
// application; empty for a type that is not flashed.
std::shared_ptr<host::ISymbol> MakeFlashSymbol(std::int32_t type,
                                               const std::shared_ptr<host::IRgbColor>& color,
                                               host::IObjectFactory& factory) {
    switch (type) {
        case host::esriGeometryPoint:
        case host::esriGeometryMultipoint: {
            const std::shared_ptr<host::ISimpleMarkerSymbol> marker =
                factory.NewSimpleMarkerSymbol();
            auto symbol = host::Require<host::ISymbol>(marker, "ISymbol");
            symbol->SetROP2(host::esriROPNotXOrPen);
            marker->SetColor(color);
            marker->SetSize(kFlashMarkerSize);
            return symbol;
        }
        case host::esriGeometryPolyline: {
            const std::shared_ptr<host::ISimpleLineSymbol> line = factory.NewSimpleLineSymbol();
            auto symbol = host::Require<host::ISymbol>(line, "ISymbol");
            symbol->SetROP2(host::esriROPNotXOrPen);
            line->SetWidth(kFlashLineWidth);
            line->SetColor(color);
            return symbol;
        }
        case host::esriGeometryPolygon: {
            const std::shared_ptr<host::ISimpleFillSymbol> fill = factory.NewSimpleFillSymbol();
            auto symbol = host::Require<host::ISymbol>(fill, "ISymbol");
            symbol->SetROP2(host::esriROPNotXOrPen);
            fill->SetColor(color);
            return symbol;
        }
        default:
            return {};
    }
}

void DrawShape(host::IDisplay& display, std::int32_t type,
               const std::shared_ptr<host::IGeometry>& shape) {
    switch (type) {
        case host::esriGeometryPoint:
            display.DrawPoint(shape);
            break;
        case host::esriGeometryMultipoint:
            display.DrawMultipoint(shape);
            break;
        case host::esriGeometryPolyline:
            display.DrawPolyline(shape);
            break;
        default:
            display.DrawPolygon(shape);
            break;
    }
}

}  // namespace

void FlashGeometry(const std::shared_ptr<host::IGeometry>& geometry,
                   const std::shared_ptr<host::IMap>& map, std::int16_t flashTime,
                   host::IObjectFactory& factory) {
    const std::shared_ptr<host::IRgbColor> color = factory.NewRgbColor();
    color->SetRed(kFlashRed);
    color->SetBlue(kFlashBlue);
    color->SetGreen(kFlashGreen);

    const auto view = host::Require<host::IActiveView>(map, "IActiveView");
    const std::shared_ptr<host::IScreenDisplay> display =
        host::Require<host::IScreenDisplay>(view->ScreenDisplay(), "IScreenDisplay");
    display->StartDrawing(0, host::esriNoScreenCache);

    const auto shape = host::Require<host::IGeometry>(geometry, "IGeometry");
    const std::int32_t type = shape->GeometryType();
    if (const std::shared_ptr<host::ISymbol> symbol = MakeFlashSymbol(type, color, factory)) {
        display->SetSymbol(symbol);
        DrawShape(*display, type, shape);
        // Widened, a negative time would be an endless wait: it waits not at all.
        if (flashTime >= 0) ui::CurrentToolkit().Sleep(flashTime);
        DrawShape(*display, type, shape);
    }
    display->FinishDrawing();
}

}  // namespace velorin::zoomflash

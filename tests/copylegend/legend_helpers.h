#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

// The colours, symbols and legends the Copy Legend Colors tests state their
// Source layers with.
namespace velorin::testing {

struct Color {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kRed{200, 30, 30};
inline constexpr Color kGreen{30, 160, 60};
inline constexpr Color kBlue{40, 60, 210};

inline Color ColorOf(const std::shared_ptr<host::IColor>& color) {
    const auto rgb = host::Require<host::IRgbColor>(color, "IRgbColor");
    return {rgb->Red(), rgb->Green(), rgb->Blue()};
}

// A simple symbol of the kind a layer of that shape draws with, in `color`.
inline std::shared_ptr<host::ISymbol> SimpleSymbol(
    const std::shared_ptr<objects::HostContext>& context, std::int32_t shapeType, Color color) {
    auto rgb = objects::MakeRgbColor(context, color.red, color.green, color.blue);
    if (shapeType == host::esriGeometryPoint) {
        auto marker = std::make_shared<objects::SimpleMarkerSymbol>(context);
        marker->SetColor(rgb);
        return marker;
    }
    if (shapeType == host::esriGeometryPolyline) {
        auto line = std::make_shared<objects::SimpleLineSymbol>(context);
        line->SetColor(rgb);
        return line;
    }
    auto fill = std::make_shared<objects::SimpleFillSymbol>(context);
    fill->SetColor(rgb);
    return fill;
}

// A Source legend: one symbol per key text of `field`.
inline std::shared_ptr<objects::UniqueValueRenderer> Legend(
    const std::shared_ptr<objects::HostContext>& context, const std::string& field,
    const std::vector<std::pair<std::string, std::shared_ptr<host::ISymbol>>>& values) {
    auto renderer = std::make_shared<objects::UniqueValueRenderer>(context);
    renderer->SetFieldCount(1);
    renderer->SetField(0, field);
    for (const auto& [value, symbol] : values) renderer->AddValue(value, field, symbol);
    return renderer;
}

}  // namespace velorin::testing

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
#include "tests/support/map_plan.h"

// Reference-host symbols and legends for the suites that build the reference
// host directly (colours and ColorOf come with the host fixture's plan).
namespace velorin::testing {

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

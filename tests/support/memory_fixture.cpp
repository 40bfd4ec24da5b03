// The reference host under the host fixture: the map stated with its fluent
// builder, drawn on the QImage canvas.
#include <optional>

#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "tests/support/host_fixture.h"

namespace velorin::testing {

namespace {

std::shared_ptr<host::ISymbol> MakeSymbol(const std::shared_ptr<objects::HostContext>& context,
                                          const SymbolPlan& plan) {
    auto color = objects::MakeRgbColor(context, plan.color.red, plan.color.green, plan.color.blue);
    switch (plan.kind) {
        case SymbolPlan::Kind::Marker: {
            auto marker = std::make_shared<objects::SimpleMarkerSymbol>(context);
            marker->SetColor(color);
            marker->SetStyle(plan.style);
            marker->SetSize(plan.size);
            return marker;
        }
        case SymbolPlan::Kind::Line: {
            auto line = std::make_shared<objects::SimpleLineSymbol>(context);
            line->SetColor(color);
            line->SetStyle(plan.style);
            line->SetWidth(plan.size);
            return line;
        }
        case SymbolPlan::Kind::Fill: {
            auto fill = std::make_shared<objects::SimpleFillSymbol>(context);
            fill->SetColor(color);
            fill->SetStyle(plan.style);
            return fill;
        }
        case SymbolPlan::Kind::Other:
            break;
    }
    auto picture = std::make_shared<objects::PictureMarkerSymbol>(context);
    picture->SetColor(color);
    picture->SetSize(plan.size);
    return picture;
}

std::shared_ptr<host::IFeatureRenderer> MakeRenderer(
    const std::shared_ptr<objects::HostContext>& context, const LayerPlan& layer) {
    const RendererPlan& plan = layer.renderer;
    if (plan.kind == RendererPlan::Kind::Simple) {
        return std::make_shared<objects::SimpleRenderer>(context, MakeSymbol(context, plan.symbol));
    }
    auto renderer = std::make_shared<objects::UniqueValueRenderer>(context);
    renderer->SetFieldCount(1);
    renderer->SetField(0, plan.field);
    for (const FieldPlan& field : layer.fields) {
        if (field.name == plan.field) {
            renderer->SetFieldType(0, field.type == host::esriFieldTypeString);
        }
    }
    for (const auto& [value, symbol] : plan.values) {
        renderer->AddValue(value, plan.field, MakeSymbol(context, symbol));
    }
    if (plan.defaultSymbol) {
        renderer->SetDefaultSymbol(MakeSymbol(context, *plan.defaultSymbol));
        renderer->SetUseDefaultSymbol(true);
    }
    return renderer;
}

void AddLayer(memory::HostBuilder& builder, const LayerPlan& layer) {
    switch (layer.kind) {
        case LayerPlan::Kind::Group:
            builder.GroupLayer(layer.name);
            for (const LayerPlan& child : layer.children) AddLayer(builder, child);
            builder.EndGroup();
            return;
        case LayerPlan::Kind::Raster:
            builder.RasterLayer(layer.name, layer.hasData);
            return;
        case LayerPlan::Kind::Other:
            builder.OtherLayer(layer.name);
            return;
        case LayerPlan::Kind::Feature:
            break;
    }
    builder.FeatureLayer(layer.name, layer.shapeType, layer.featureType);
    if (!layer.hasData) builder.WithoutFeatureClass();
    for (const FieldPlan& field : layer.fields) builder.Field(field.name, field.type, field.alias);
    for (const FeaturePlan& feature : layer.features) {
        builder.Feature(feature.values, feature.shape, feature.oid);
    }
    if (!layer.selection.empty()) builder.Select(layer.selection);
    if (!layer.definition.empty()) builder.Definition(layer.definition);
    if (!layer.displayField.empty()) builder.DisplayField(layer.displayField);
    if (layer.renderer.kind != RendererPlan::Kind::Default) {
        builder.Renderer(MakeRenderer(builder.Context(), layer));
    }
}

class MemoryFixture final : public HostFixture {
  public:
    std::string Name() const override { return "memory"; }
    const HostTraits& Traits() const override {
        static const HostTraits traits{};
        return traits;
    }

    void Build(const MapPlan& map) override {
        if (m_host) throw Error(host::E_HOST_INVALIDARG, "The host fixture builds once");
        memory::HostBuilder builder;
        builder.Window(map.Width(), map.Height());
        for (const LayerPlan& layer : map.Layers()) AddLayer(builder, layer);
        for (const TablePlan& table : map.Tables()) {
            builder.StandaloneTable(table.name, table.hasData);
            for (const FieldPlan& field : table.fields) {
                builder.Field(field.name, field.type, field.alias);
            }
            for (const FeaturePlan& row : table.rows) builder.Row(row.values, row.oid);
        }
        m_host.emplace(builder.Build(memory::MakeQImageCanvas(map.Width(), map.Height())));
        // A copy of the host, so the pump does not depend on this object's address.
        Attach(m_host->SharedContext(), [host = *m_host] { host.View().ProcessPendingRedraw(); });
    }

    std::shared_ptr<host::IApplication> Application() const override {
        return Host().Application();
    }
    ScreenShot Screen() override {
        const memory::MapView& view = Host().View();
        ScreenShot shot;
        shot.pixels = view.Screen().Pixels();
        shot.width = view.Width();
        shot.height = view.Height();
        const memory::PixelXY origin = view.ToPixel({0, 0});
        const memory::PixelXY unit = view.ToPixel({1, 1});
        shot.originX = origin.x;
        shot.originY = origin.y;
        shot.scaleX = unit.x - origin.x;
        shot.scaleY = unit.y - origin.y;
        return shot;
    }
    Color Background() const override {
        const objects::Rgb& rgb = memory::MapView::Background;
        return {rgb.red, rgb.green, rgb.blue};
    }
    void Select(const std::string& layer, const std::vector<std::int32_t>& oids) override {
        Host().Select(layer, oids);
    }

  private:
    const memory::ReferenceHost& Host() const {
        if (!m_host) throw Error(host::E_HOST_POINTER, "The host fixture is not built yet");
        return *m_host;
    }

    std::optional<memory::ReferenceHost> m_host;
};

const bool registered = RegisterHost({"memory", [] { return std::make_unique<MemoryFixture>(); }});

}  // namespace

}  // namespace velorin::testing

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/geometry.h"
#include "platform/memory/host_context.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/renderers.h"
#include "platform/memory/symbols.h"
#include "platform/memory/view.h"

// Small maps for the view and display tests: feature layers over the host's
// feature classes, group layers and a map, just enough for a view to draw.
namespace velorin::memory::testing {

class StubFeatureLayer final : public host::IGeoFeatureLayer {
  public:
    StubFeatureLayer(std::string name, std::shared_ptr<memory::FeatureClass> features,
                     std::shared_ptr<host::IFeatureRenderer> renderer)
        : m_name(std::move(name)), m_class(std::move(features)), m_renderer(std::move(renderer)) {}

    std::string Name() const override { return m_name; }
    void SetName(const std::string& name) override { m_name = name; }
    bool Visible() const override { return m_visible; }
    void SetVisible(bool visible) override { m_visible = visible; }
    std::shared_ptr<host::IFeatureClass> FeatureClass() const override { return m_class; }
    std::shared_ptr<host::IFeatureCursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                 bool recycling) const override {
        return m_class->Search(filter, recycling);
    }
    std::string DisplayField() const override { return {}; }
    void SetDisplayField(const std::string&) override {}
    std::shared_ptr<host::IFeatureRenderer> Renderer() const override { return m_renderer; }
    void SetRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer) override {
        m_renderer = renderer;
    }
    std::string RendererPropertyPageClassID() const override { return {}; }
    void SetRendererPropertyPageClassID(const std::string&) override {}

  private:
    std::string m_name;
    std::shared_ptr<memory::FeatureClass> m_class;
    std::shared_ptr<host::IFeatureRenderer> m_renderer;
    bool m_visible = true;
};

class StubGroupLayer final : public host::ILayer, public host::ICompositeLayer {
  public:
    StubGroupLayer(std::string name, std::vector<std::shared_ptr<host::ILayer>> layers)
        : m_name(std::move(name)), m_layers(std::move(layers)) {}
    std::string Name() const override { return m_name; }
    void SetName(const std::string& name) override { m_name = name; }
    bool Visible() const override { return m_visible; }
    void SetVisible(bool visible) override { m_visible = visible; }
    std::int32_t Count() const override { return static_cast<std::int32_t>(m_layers.size()); }
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override {
        return m_layers.at(static_cast<std::size_t>(index));
    }

  private:
    std::string m_name;
    std::vector<std::shared_ptr<host::ILayer>> m_layers;
    bool m_visible = true;
};

class StubMap final : public host::IMap {
  public:
    std::string Name() const override { return "Layers"; }
    std::int32_t LayerCount() const override { return static_cast<std::int32_t>(layers.size()); }
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override {
        return layers.at(static_cast<std::size_t>(index));
    }
    std::vector<std::shared_ptr<host::ILayer>> layers;  // index 0 is the top layer
};

// A feature class of one shape type with one integer field "Code".
inline std::shared_ptr<FeatureClass> MakeClass(const std::shared_ptr<HostContext>& context,
                                               std::int32_t shapeType) {
    return std::make_shared<FeatureClass>(
        context, "Data", shapeType, host::esriFTSimple,
        MakeFields(context, {{"Code", host::esriFieldTypeInteger, {}}}));
}

inline std::shared_ptr<SimpleFillSymbol> SolidFill(const std::shared_ptr<HostContext>& context,
                                                   int red, int green, int blue) {
    auto fill = std::make_shared<SimpleFillSymbol>(context);
    fill->SetColor(MakeRgbColor(context, red, green, blue));
    fill->SetOutline(nullptr);
    return fill;
}

inline std::shared_ptr<host::ILayer> FillLayer(const std::shared_ptr<HostContext>& context,
                                               std::string name,
                                               std::vector<std::shared_ptr<host::IGeometry>> shapes,
                                               std::shared_ptr<host::ISymbol> symbol) {
    auto data = MakeClass(context, host::esriGeometryPolygon);
    std::int32_t code = 0;
    for (auto& shape : shapes) data->AddFeature({host::FieldValue(++code)}, std::move(shape));
    return std::make_shared<StubFeatureLayer>(
        std::move(name), data, std::make_shared<SimpleRenderer>(context, std::move(symbol)));
}

inline std::shared_ptr<MultiPartGeometry> Box(double x0, double y0, double x1, double y1) {
    return MakePolygon({{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}});
}

}  // namespace velorin::memory::testing

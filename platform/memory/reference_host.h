#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/field_value.h"
#include "platform/memory/application.h"
#include "platform/memory/canvas.h"
#include "platform/memory/document.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/layers.h"
#include "platform/memory/map.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/view.h"

namespace velorin::memory {

// A null field value, for stating rows: .Feature({13, Null}, shape).
inline const host::FieldValue Null{};

// One whole reference host: application, document, focus map and its view, status
// bar, and the context every object shares. Copies share the same host.
class ReferenceHost {
  public:
    ReferenceHost(std::shared_ptr<HostContext> context,
                  std::shared_ptr<memory::Application> application);

    // What the extension is given.
    const std::shared_ptr<memory::Application>& Application() const { return m_application; }

    // Faults, record and hooks.
    HostContext& Context() const { return *m_context; }
    const std::shared_ptr<HostContext>& SharedContext() const { return m_context; }
    HostRecord& Record() const { return m_context->record; }
    // Fails the nth call of the member (every member when empty) from now on with
    // velorin::Error(code, description); see FaultInjector.
    void FailAt(std::string member, int nth, std::int32_t code, std::string description) const;

    MxDocument& Document() const { return *m_application->Doc(); }
    memory::Map& FocusMap() const;
    MapView& View() const { return FocusMap().View(); }
    objects::StatusBar& StatusBar() const { return *m_application->Bar(); }

    // Lookups by exact name, depth first through group layers, top first; the first
    // match wins. Raise E_HOST_INVALIDARG naming what is missing.
    std::shared_ptr<host::ILayer> LayerNamed(const std::string& name) const;
    std::shared_ptr<memory::FeatureLayer> FeatureLayerNamed(const std::string& name) const;
    std::shared_ptr<memory::StandaloneTable> TableNamed(const std::string& name) const;

    // Makes the selection of the feature layer, or else the standalone table, of
    // that name exactly these rows (E_HOST_INVALIDARG, unchanged, for an unknown
    // id). ClearSelection() clears every layer and table.
    void Select(const std::string& name, const std::vector<std::int32_t>& oids) const;
    void ClearSelection(const std::string& name) const;
    void ClearSelection() const;

  private:
    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<memory::Application> m_application;
};

// States a host in a few lines:
//
//   auto host = HostBuilder().Window(400, 300)
//       .FeatureLayer("Catchment", esriGeometryPolygon)
//           .Field("NerroID", esriFieldTypeInteger).Field("Name", esriFieldTypeString)
//           .Feature({12, "A"}, MakePolygon({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}))
//           .Feature({13, Null})
//           .Select({1}).Definition("NerroID > 10")
//       .GroupLayer("Hydro")
//           .FeatureLayer("Rivers", esriGeometryPolyline) ...
//       .EndGroup()
//       .RasterLayer("Elevation").OtherLayer("Tiles")
//       .StandaloneTable("Owners").Field("Owner", esriFieldTypeString).Row({"Ann"})
//       .Build(MakeQImageCanvas(400, 300));
//
// Layers are listed top first, as the map lists them. A feature layer's class has
// "OBJECTID" (object id) and "Shape" (geometry) before the declared fields unless
// WithoutDefaultFields; a standalone table has "OBJECTID" only. Object ids start at
// 1. Fields are declared before the first Feature, Row, Select, Definition,
// DisplayField, Renderer or Hidden of their layer or table; those apply to the
// layer or table stated last. A mistake raises velorin::Error at the call that
// makes it.
class HostBuilder {
  public:
    HostBuilder();

    // The context the host will share: for making symbols and renderers to hand to
    // Renderer before Build.
    const std::shared_ptr<HostContext>& Context() const { return m_context; }

    // The window's size in pixels; without it the canvas's own size (or 800 x 600).
    HostBuilder& Window(int width, int height);
    HostBuilder& MapName(std::string name);
    HostBuilder& Title(std::string title);

    HostBuilder& FeatureLayer(std::string name, std::int32_t shapeType,
                              std::int32_t featureType = host::esriFTSimple);
    // The layer's data source is missing: no feature class.
    HostBuilder& WithoutFeatureClass();
    HostBuilder& WithoutDefaultFields();
    HostBuilder& Field(std::string name, std::int32_t type, std::string alias = {});
    // values: one per declared field, in order. oid 0: the next id.
    HostBuilder& Feature(std::vector<host::FieldValue> values,
                         std::shared_ptr<host::IGeometry> shape = {}, std::int32_t oid = 0);
    HostBuilder& Select(std::vector<std::int32_t> oids);
    HostBuilder& Definition(std::string whereClause);
    HostBuilder& DisplayField(std::string field);
    HostBuilder& Renderer(std::shared_ptr<host::IFeatureRenderer> renderer);
    HostBuilder& Hidden();

    // Layers stated after it go into the group until EndGroup; groups nest.
    HostBuilder& GroupLayer(std::string name);
    HostBuilder& EndGroup();
    HostBuilder& RasterLayer(std::string name, bool hasRaster = true);
    HostBuilder& OtherLayer(std::string name);

    HostBuilder& StandaloneTable(std::string name, bool hasTable = true);
    HostBuilder& Row(std::vector<host::FieldValue> values, std::int32_t oid = 0);

    // The host, drawing on the canvas (empty: a NullCanvas of the window's size).
    // Open groups are closed. A builder builds once.
    ReferenceHost Build(std::unique_ptr<Canvas> canvas = {});

  private:
    enum class PendingKind { None, FeatureLayer, Table };
    struct Pending {
        PendingKind kind = PendingKind::None;
        std::string name;
        std::int32_t shapeType = host::esriGeometryNull;
        std::int32_t featureType = host::esriFTSimple;
        bool withData = true;
        bool defaultFields = true;
        std::vector<FieldSpec> fields;
    };

    void Seal();
    void Place(std::shared_ptr<host::ILayer> layer);
    memory::FeatureLayer& CurrentLayer(const char* what);
    void CheckOpen() const;

    std::shared_ptr<HostContext> m_context;
    std::optional<std::pair<int, int>> m_window;
    std::string m_mapName = "Layers";
    std::string m_title = "Untitled";
    std::vector<std::shared_ptr<host::ILayer>> m_layers;
    std::vector<std::shared_ptr<memory::GroupLayer>> m_groups;  // open groups, innermost last
    std::vector<std::shared_ptr<memory::StandaloneTable>> m_tables;
    Pending m_pending;
    std::shared_ptr<memory::FeatureLayer> m_layer;     // the feature layer stated last, once sealed
    std::shared_ptr<memory::StandaloneTable> m_table;  // the table stated last, once sealed
    std::shared_ptr<host::ILayer> m_last;              // the layer or group stated last
    std::int32_t m_featureLayers = 0;
    bool m_built = false;
};

}  // namespace velorin::memory

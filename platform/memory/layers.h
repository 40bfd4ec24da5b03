#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/map.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/search_adapters.h"
#include "platform/memory/selection_set.h"

namespace velorin::memory {

// Name and visibility, which every layer kind has. Layers start visible.
class LayerBase : public virtual host::ILayer {
  public:
    std::string Name() const override;
    void SetName(const std::string& name) override;
    bool Visible() const override;
    void SetVisible(bool visible) override;

  protected:
    LayerBase(std::shared_ptr<HostContext> context, std::string name);
    void Enter(const char* member) const { m_context->faults.Enter(member); }

    std::shared_ptr<HostContext> m_context;

  private:
    std::string m_name;
    bool m_visible = true;
};

// A layer showing a feature class, possibly narrowed by a definition query that
// every search of the layer honours: its features (IFeatureLayer::Search), its
// rows as a table (ITable) and its selection. The class's own counts ignore it.
//
// A layer whose data source is missing has no feature class: it can be listed and
// renamed, but searching it, or reading its fields, raises E_HOST_FAIL naming the
// layer.
class FeatureLayer final : public LayerBase,
                           public FeatureLayerSearchAdapter,
                           public TableSearchAdapter,
                           public host::IFeatureLayerDefinition,
                           public host::IFeatureSelection {
  public:
    // featureClass may be empty. renderer empty: the host's default renderer for the
    // class's shape type, in palette colour colorIndex.
    FeatureLayer(std::shared_ptr<HostContext> context, std::string name,
                 std::shared_ptr<memory::FeatureClass> featureClass,
                 std::shared_ptr<host::IFeatureRenderer> renderer = {},
                 std::int32_t colorIndex = 0);

    // Called on the layer itself, Search is the feature search.
    using FeatureLayerSearchAdapter::Search;

    std::shared_ptr<host::IFeatureClass> FeatureClass() const override;
    // The display field starts as the class's first string field ("" when none).
    std::string DisplayField() const override;
    // "" or a field of the class (E_HOST_INVALIDARG otherwise, keeping the old one).
    void SetDisplayField(const std::string& field) override;

    std::shared_ptr<host::IFeatureRenderer> Renderer() const override;
    // Raises E_HOST_POINTER for an empty renderer: a layer always has one.
    void SetRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer) override;
    // Starts as the single symbol page's class id.
    std::string RendererPropertyPageClassID() const override;
    void SetRendererPropertyPageClassID(const std::string& classId) override;

    std::string DefinitionExpression() const override;
    void SetDefinitionExpression(const std::string& whereClause) override;

    // The layer's live selection: the same object on every call.
    std::shared_ptr<host::ISelectionSet> SelectionSet() const override;

    std::shared_ptr<host::IFields> Fields() const override;
    std::int32_t FindField(const std::string& name) const override;
    std::int32_t RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const override;

    // For the builder, tests and the map window (not announced).
    const std::shared_ptr<memory::FeatureClass>& Data() const { return m_class; }
    // Adds to the selection (see SelectionSet::Select).
    void Select(const std::vector<std::int32_t>& oids);
    void ClearSelection();
    memory::SelectionSet& Selection() { return *m_selection; }
    // Whether each row of the class passes the definition query, by position; null
    // when there is no query. Kept until the query changes or rows are added (the
    // host's own read, not announced). Raises as a search does.
    const std::vector<char>* DefinitionMask() const;

  protected:
    std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const override;
    std::shared_ptr<host::ICursor> SearchRows(const std::shared_ptr<host::IQueryFilter>& filter,
                                              bool recycling) const override;

  private:
    const RowStore& Store() const;

    std::shared_ptr<memory::FeatureClass> m_class;
    std::shared_ptr<host::IFeatureRenderer> m_renderer;
    std::string m_propertyPage;
    std::string m_displayField;
    // Shared with the selection set, which may outlive the layer.
    std::shared_ptr<std::string> m_definition;
    std::shared_ptr<memory::SelectionSet> m_selection;
    struct Mask {
        bool valid = false;
        std::string definition;
        std::size_t rows = 0;
        bool everyRow = false;
        std::vector<char> passes;
    };
    mutable Mask m_mask;
};

// Layers inside a layer, top first.
class GroupLayer final : public LayerBase, public host::ICompositeLayer {
  public:
    GroupLayer(std::shared_ptr<HostContext> context, std::string name);

    std::int32_t Count() const override;
    // Raises E_HOST_INVALIDARG for an index out of range.
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override;

    // Appends at the bottom of the group; E_HOST_POINTER for an empty layer.
    void Add(std::shared_ptr<host::ILayer> layer);
    const std::vector<std::shared_ptr<host::ILayer>>& Layers() const { return m_layers; }

  private:
    std::vector<std::shared_ptr<host::ILayer>> m_layers;
};

// What stands behind a raster layer; the extension only asks whether it is there.
class RasterData final : public host::IUnknown {
  public:
    explicit RasterData(std::string name) : m_name(std::move(name)) {}
    const std::string& Name() const { return m_name; }

  private:
    std::string m_name;
};

class RasterLayer final : public LayerBase, public host::IRasterLayer {
  public:
    // raster may be empty: a raster layer whose data source is missing.
    RasterLayer(std::shared_ptr<HostContext> context, std::string name,
                std::shared_ptr<RasterData> raster);

    std::shared_ptr<host::IUnknown> Raster() const override;

  private:
    std::shared_ptr<RasterData> m_raster;
};

// A layer of some other kind (tiles, annotation groups, ...): only a name.
class OtherLayer final : public LayerBase {
  public:
    OtherLayer(std::shared_ptr<HostContext> context, std::string name);
};

// A table in the map's table list, with or without the table behind it.
class StandaloneTable final : public host::IStandaloneTable, public host::ITableSelection {
  public:
    // table may be empty.
    StandaloneTable(std::shared_ptr<HostContext> context, std::string name,
                    std::shared_ptr<memory::Table> table);

    std::string Name() const override;
    std::shared_ptr<host::ITable> Table() const override;
    std::shared_ptr<host::ISelectionSet> SelectionSet() const override;

    const std::shared_ptr<memory::Table>& Data() const { return m_table; }
    void Select(const std::vector<std::int32_t>& oids);
    void ClearSelection();
    memory::SelectionSet& Selection() { return *m_selection; }

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_name;
    std::shared_ptr<memory::Table> m_table;
    std::shared_ptr<memory::SelectionSet> m_selection;
};

}  // namespace velorin::memory

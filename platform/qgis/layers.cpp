#include <qgsexpression.h>
#include <qgslayertree.h>
#include <qgslayertreegroup.h>
#include <qgslayertreelayer.h>
#include <qgsrasterlayer.h>

#include <QUndoCommand>
#include <QUndoStack>

#include "platform/objects/query_filter.h"
#include "platform/objects/renderers.h"
#include "platform/qgis/qgis_objects.h"

namespace velorin::qgis {

namespace {

// Where a layer remembers which property page edits its renderer: QGIS has no
// such thing, so the project keeps it with the layer's own properties.
const QString kPropertyPageKey = QStringLiteral("velorin/rendererPropertyPage");
// The host's display field of a layer. QGIS's display expression names features
// in Identify and map tips, which the user set up: a tool must not overwrite it,
// so the host's field is kept beside it.
const QString kDisplayFieldKey = QStringLiteral("velorin/displayField");

// A new renderer as one step of the layer's style undo stack, so that QGIS's
// Undo gives the old renderer back. It holds renderers, not whole styles: a
// style is written out as XML, which for a legend of 100,000 values costs more
// than building the legend. The renderer it swaps out is kept for the way back.
class RendererChange final : public QUndoCommand {
  public:
    RendererChange(QgsVectorLayer& layer, std::unique_ptr<QgsFeatureRenderer> before,
                   std::function<void(QgsMapLayer&)> legendChanged)
        : QUndoCommand(QStringLiteral("Copy Legend Colors")),
          m_layer(&layer),
          m_other(std::move(before)),
          m_legendChanged(std::move(legendChanged)) {}

    // Pushing a command runs it; the new renderer is already on the layer then.
    void redo() override {
        if (m_pushed) Swap();
        m_pushed = true;
    }
    void undo() override { Swap(); }

  private:
    void Swap() {
        if (m_layer.isNull() || !m_other) return;
        std::unique_ptr<QgsFeatureRenderer> current(m_layer->renderer()->clone());
        m_layer->setRenderer(m_other.release());
        m_other = std::move(current);
        m_layer->emitStyleChanged();
        m_layer->triggerRepaint();
        if (m_legendChanged) m_legendChanged(*m_layer);
    }

    QPointer<QgsVectorLayer> m_layer;
    std::unique_ptr<QgsFeatureRenderer> m_other;
    std::function<void(QgsMapLayer&)> m_legendChanged;
    bool m_pushed = false;
};

// What every layer of the tree shares: its node, for name and visibility.
class TreeLayerBase : public virtual host::ILayer {
  public:
    TreeLayerBase(std::shared_ptr<Session> session, QgsLayerTreeNode& node)
        : m_session(std::move(session)), m_node(&node) {}

    std::string Name() const override {
        m_session->Enter("ILayer::Name");
        return FromQt(NodeName(Node()));
    }
    void SetName(const std::string& name) override {
        m_session->Enter("ILayer::SetName");
        QgsLayerTreeNode& node = Node();
        if (QgsLayerTree::isLayer(&node)) {
            if (QgsMapLayer* layer = QgsLayerTree::toLayer(&node)->layer()) {
                layer->setName(ToQt(name));
                return;
            }
        }
        node.setName(ToQt(name));
    }
    bool Visible() const override {
        m_session->Enter("ILayer::Visible");
        return Node().itemVisibilityChecked();
    }
    void SetVisible(bool visible) override {
        m_session->Enter("ILayer::SetVisible");
        Node().setItemVisibilityChecked(visible);
    }

  protected:
    QgsLayerTreeNode& Node() const {
        if (m_node.isNull()) {
            throw Error(host::E_HOST_POINTER, "The layer was removed from the map");
        }
        return *m_node;
    }
    static QString NodeName(QgsLayerTreeNode& node) {
        if (QgsLayerTree::isLayer(&node)) {
            if (QgsMapLayer* layer = QgsLayerTree::toLayer(&node)->layer()) return layer->name();
        }
        return node.name();
    }

    std::shared_ptr<Session> m_session;

  private:
    QPointer<QgsLayerTreeNode> m_node;
};

// What a vector layer offers as a table: its rows (its subset string applies),
// fields and selection.
class VectorTable : public host::ITable, public host::ITableSelection {
  public:
    explicit VectorTable(std::shared_ptr<const LayerData> data) : m_data(std::move(data)) {}

    std::shared_ptr<host::IFields> Fields() const override {
        m_data->SessionRef()->Enter("IClass::Fields");
        return m_data->Schema().fields;
    }
    std::int32_t FindField(const std::string& name) const override {
        m_data->SessionRef()->Enter("IClass::FindField");
        const objects::QuietHost quiet(m_data->SessionRef()->context);
        return m_data->Schema().fields->FindField(name);
    }
    std::int32_t RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const override {
        m_data->SessionRef()->Enter("ITable::RowCount");
        return CountFeatures(*m_data, filter);
    }
    std::shared_ptr<host::ICursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                          bool /*recycling*/) const override {
        m_data->SessionRef()->Enter("ITable::Search");
        return FeatureCursor::Open(m_data, objects::ClauseOf(filter));
    }
    std::shared_ptr<host::ISelectionSet> SelectionSet() const override {
        m_data->SessionRef()->Enter("ITableSelection::SelectionSet");
        return std::make_shared<qgis::SelectionSet>(m_data);
    }

  protected:
    std::shared_ptr<const LayerData> m_data;
};

// A feature layer's own search and its search as a table share a name and
// arguments but not a result: each interface gets its own overrider.
class FeatureSearch : public virtual host::IGeoFeatureLayer {
  public:
    std::shared_ptr<host::IFeatureCursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                 bool /*recycling*/) const override {
        return SearchFeatures(filter);
    }

  protected:
    virtual std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter) const = 0;
};

class FeatureLayer final : public TreeLayerBase,
                           public VectorTable,
                           public FeatureSearch,
                           public host::IFeatureLayerDefinition,
                           public host::IFeatureSelection {
  public:
    FeatureLayer(std::shared_ptr<Session> session, QgsLayerTreeLayer& node, QgsVectorLayer& layer)
        : TreeLayerBase(session, node), VectorTable(std::make_shared<LayerData>(session, layer)) {}

    std::shared_ptr<host::IFeatureClass> FeatureClass() const override {
        m_session->Enter("IFeatureLayer::FeatureClass");
        if (!m_data->Layer().isValid()) return {};
        return std::make_shared<qgis::FeatureClass>(m_data);
    }

  protected:
    std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter) const override {
        m_session->Enter("IFeatureLayer::Search");
        return FeatureCursor::Open(m_data, objects::ClauseOf(filter));
    }

  public:
    std::string DisplayField() const override {
        m_session->Enter("IFeatureLayer::DisplayField");
        const QVariant own = m_data->Layer().customProperty(kDisplayFieldKey);
        if (own.isValid()) return FromQt(own.toString());
        const QString expression = m_data->Layer().displayExpression();
        // A plain field reference is the field; any other expression has no name.
        const QgsExpression parsed(expression);
        if (!parsed.hasParserError() && parsed.isField()) {
            return FromQt(*parsed.referencedColumns().constBegin());
        }
        return {};
    }
    void SetDisplayField(const std::string& field) override {
        m_session->Enter("IFeatureLayer::SetDisplayField");
        m_data->Layer().setCustomProperty(kDisplayFieldKey, ToQt(field));
    }

    std::shared_ptr<host::IFeatureRenderer> Renderer() const override {
        m_session->Enter("IGeoFeatureLayer::Renderer");
        return ToHostRenderer(m_data, m_data->Layer().renderer());
    }
    void SetRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer) override {
        m_session->Enter("IGeoFeatureLayer::SetRenderer");
        if (!renderer) throw Error(host::E_HOST_POINTER, "A layer needs a renderer");
        std::unique_ptr<QgsFeatureRenderer> drawn;
        {
            const objects::QuietHost quiet(m_session->context);
            drawn = ToQgisRenderer(renderer);
        }
        QgsVectorLayer& layer = m_data->Layer();
        std::unique_ptr<QgsFeatureRenderer> before(
            layer.renderer() != nullptr ? layer.renderer()->clone() : nullptr);
        layer.setRenderer(drawn.release());
        layer.undoStackStyles()->push(
            new RendererChange(layer, std::move(before), m_session->legendChanged));
        layer.emitStyleChanged();
        layer.triggerRepaint();
        // The project has changed: closing QGIS must offer to save it.
        m_session->Project().setDirty(true);
        if (m_session->legendChanged) m_session->legendChanged(layer);
    }
    std::string RendererPropertyPageClassID() const override {
        m_session->Enter("IGeoFeatureLayer::RendererPropertyPageClassID");
        return FromQt(m_data->Layer().customProperty(kPropertyPageKey).toString());
    }
    void SetRendererPropertyPageClassID(const std::string& classId) override {
        m_session->Enter("IGeoFeatureLayer::SetRendererPropertyPageClassID");
        m_data->Layer().setCustomProperty(kPropertyPageKey, ToQt(classId));
    }

    std::string DefinitionExpression() const override {
        m_session->Enter("IFeatureLayerDefinition::DefinitionExpression");
        return FromQt(m_data->Layer().subsetString());
    }
    void SetDefinitionExpression(const std::string& whereClause) override {
        m_session->Enter("IFeatureLayerDefinition::SetDefinitionExpression");
        QgsVectorLayer& layer = m_data->Layer();
        if (!layer.setSubsetString(ToQt(whereClause))) {
            throw Error(host::E_HOST_INVALID_SQL, "The definition query \"" + whereClause +
                                                      "\" cannot be evaluated on " +
                                                      FromQt(layer.name()));
        }
    }

    std::shared_ptr<host::ISelectionSet> SelectionSet() const override {
        m_session->Enter("IFeatureSelection::SelectionSet");
        return std::make_shared<qgis::SelectionSet>(m_data);
    }
};

class GroupLayer final : public TreeLayerBase, public host::ICompositeLayer {
  public:
    GroupLayer(std::shared_ptr<Session> session, QgsLayerTreeGroup& group)
        : TreeLayerBase(std::move(session), group) {}

    std::int32_t Count() const override {
        m_session->Enter("ICompositeLayer::Count");
        return static_cast<std::int32_t>(Children().size());
    }
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override {
        m_session->Enter("ICompositeLayer::Layer");
        const auto children = Children();
        if (index < 0 || static_cast<std::size_t>(index) >= children.size()) {
            throw Error(host::E_HOST_INVALIDARG,
                        "The group has no layer at index " + std::to_string(index));
        }
        return MakeLayer(m_session, *children[static_cast<std::size_t>(index)]);
    }

  private:
    std::vector<QgsLayerTreeNode*> Children() const {
        std::vector<QgsLayerTreeNode*> children;
        for (QgsLayerTreeNode* child : Node().children()) {
            if (IsMapLayerNode(*child)) children.push_back(child);
        }
        return children;
    }
};

class RasterLayer final : public TreeLayerBase, public host::IRasterLayer {
  public:
    RasterLayer(std::shared_ptr<Session> session, QgsLayerTreeLayer& node, QgsRasterLayer& layer)
        : TreeLayerBase(std::move(session), node), m_layer(&layer) {}

    std::shared_ptr<host::IUnknown> Raster() const override {
        m_session->Enter("IRasterLayer::Raster");
        if (m_layer.isNull() || !m_layer->isValid()) return {};
        // Nothing of the raster is read through the host: its presence is all.
        return std::make_shared<host::IUnknown>();
    }

  private:
    QPointer<QgsRasterLayer> m_layer;
};

// Mesh, vector tile, point cloud and plug-in layers: a name and nothing more.
class OtherLayer final : public TreeLayerBase {
  public:
    using TreeLayerBase::TreeLayerBase;
};

class StandaloneTable final : public VectorTable,
                              public host::IStandaloneTable,
                              public std::enable_shared_from_this<StandaloneTable> {
  public:
    StandaloneTable(std::shared_ptr<Session> session, QgsVectorLayer& layer)
        : VectorTable(std::make_shared<LayerData>(std::move(session), layer)) {}

    std::string Name() const override {
        m_data->SessionRef()->Enter("IStandaloneTable::Name");
        return FromQt(m_data->Layer().name());
    }
    std::shared_ptr<host::ITable> Table() const override {
        m_data->SessionRef()->Enter("IStandaloneTable::Table");
        if (!m_data->Layer().isValid()) return {};
        return std::const_pointer_cast<StandaloneTable>(shared_from_this());
    }
};

// A vector layer without geometry. A layer whose data source is gone keeps the
// geometry type its project recorded: one recorded without geometry is a table
// whose data is missing, any other a feature layer whose data is missing.
bool IsTable(const QgsVectorLayer& vector) {
    return vector.isValid() ? !vector.isSpatial() : vector.wkbType() == QgsWkbTypes::NoGeometry;
}

void CollectTables(QgsLayerTreeGroup& group, std::vector<QgsVectorLayer*>& tables) {
    for (QgsLayerTreeNode* child : group.children()) {
        if (QgsLayerTree::isGroup(child)) {
            CollectTables(*QgsLayerTree::toGroup(child), tables);
        } else if (auto* vector =
                       qobject_cast<QgsVectorLayer*>(QgsLayerTree::toLayer(child)->layer());
                   vector != nullptr && IsTable(*vector)) {
            tables.push_back(vector);
        }
    }
}

}  // namespace

bool IsMapLayerNode(QgsLayerTreeNode& node) {
    if (QgsLayerTree::isGroup(&node)) return true;
    if (!QgsLayerTree::isLayer(&node)) return false;
    QgsMapLayer* layer = QgsLayerTree::toLayer(&node)->layer();
    if (layer == nullptr) return false;
    const auto* vector = qobject_cast<QgsVectorLayer*>(layer);
    return vector == nullptr || !IsTable(*vector);
}

std::shared_ptr<host::ILayer> MakeLayer(const std::shared_ptr<Session>& session,
                                        QgsLayerTreeNode& node) {
    if (QgsLayerTree::isGroup(&node)) {
        return std::make_shared<GroupLayer>(session, *QgsLayerTree::toGroup(&node));
    }
    if (!QgsLayerTree::isLayer(&node)) return {};
    QgsLayerTreeLayer& layerNode = *QgsLayerTree::toLayer(&node);
    QgsMapLayer* layer = layerNode.layer();
    if (layer == nullptr) return {};
    if (auto* vector = qobject_cast<QgsVectorLayer*>(layer)) {
        return std::make_shared<FeatureLayer>(session, layerNode, *vector);
    }
    if (auto* raster = qobject_cast<QgsRasterLayer*>(layer)) {
        return std::make_shared<RasterLayer>(session, layerNode, *raster);
    }
    return std::make_shared<OtherLayer>(session, layerNode);
}

std::vector<QgsVectorLayer*> TablesOf(const QgsProject& project) {
    std::vector<QgsVectorLayer*> tables;
    if (QgsLayerTree* root = project.layerTreeRoot()) CollectTables(*root, tables);
    return tables;
}

std::shared_ptr<host::IStandaloneTable> MakeTable(const std::shared_ptr<Session>& session,
                                                  QgsVectorLayer& layer) {
    return std::make_shared<StandaloneTable>(session, layer);
}

}  // namespace velorin::qgis

#pragma once

#include <qgscoordinatetransform.h>
#include <qgsfeature.h>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsrenderer.h>
#include <qgsvectorlayer.h>

#include <QPointer>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "platform/objects/host_context.h"
#include "platform/qgis/qgis_host.h"

// The adapter's objects, shared by its sources. Every member a command can call
// announces itself to the context's fault injector first, as the reference
// host's do, so an injected fault reaches the extension from QGIS as well.
namespace velorin::qgis {

inline QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}
inline std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

// A whole or decimal number, as QGIS types its fields and values.
inline bool IsNumberType(QVariant::Type type) {
    switch (type) {
        case QVariant::Int:
        case QVariant::UInt:
        case QVariant::LongLong:
        case QVariant::ULongLong:
        case QVariant::Double:
            return true;
        default:
            return false;
    }
}

// The numbers of a number field of memory layers, each with its feature id, in
// order: a where clause that keeps a field within a range (Zoom and Flash's
// search for the Related features of a key) finds its candidates in them
// instead of QGIS testing the clause on every feature, and QGIS then tests it on
// the candidates alone. Made on first use and kept while the layer stays as it
// is (QGIS's change signals, the feature count); it holds 16 bytes a feature.
// What it saves (bench/qgis/zoomflash_qgis_bench, 1,000,000 Related points, CPU
// time against QGIS's redraw of the same views, medians of 3): a Source feature
// took 1.37x where the views show every point and 5.4x where they show two;
// with it, 0.98-1.02x and 1.00-1.21x over four runs on a loaded machine. Making it reads the field
// of every feature once and sorts the numbers: the first search of a session pays that.
class KeyIndexes {
  public:
    KeyIndexes();
    ~KeyIndexes();
    KeyIndexes(const KeyIndexes&) = delete;
    KeyIndexes& operator=(const KeyIndexes&) = delete;

    // The ids of the features whose number in `field` lies in [low, high], in
    // key order; none when so many do that reading the layer through is quicker.
    std::optional<std::vector<QgsFeatureId>> Find(QgsVectorLayer& layer, int field, double low,
                                                  double high);

  private:
    struct Index;
    const Index& IndexOf(QgsVectorLayer& layer, int field);
    std::vector<std::unique_ptr<Index>> m_indexes;
};

// What every object of one adapter shares.
struct Session {
    std::shared_ptr<objects::HostContext> context;
    QPointer<QgsProject> project;
    QPointer<QgsMapCanvas> canvas;
    std::function<void(QgsMapLayer&)> legendChanged;
    // A redraw was asked for and the canvas may not have drawn it yet: drawing
    // on the screen waits for it, so a flash lands on the new view.
    bool redrawPending = false;
    // The one screen display of the canvas, made on first use.
    std::shared_ptr<host::IScreenDisplay> display;
    KeyIndexes keys;

    void Enter(const char* member) const { Announce(context, member); }
    QgsMapCanvas& Canvas() const;
    QgsProject& Project() const;
    // The map's coordinate system: the canvas's destination CRS.
    QgsCoordinateReferenceSystem MapCrs() const;
    // Asks the canvas to redraw; a later screen drawing waits for it.
    void RequestRedraw();
    // Returns once the canvas has drawn what was asked (or after a few seconds).
    void WaitForRedraw();
};

// ---- data ---------------------------------------------------------------------------------

// Where each host field comes from: the object id (the feature id), the shape,
// or a QGIS attribute.
struct FieldSource {
    enum class Kind { Oid, Shape, Attribute } kind = Kind::Attribute;
    int attribute = -1;
};

// The host's view of one vector layer's columns, made once per layer object.
struct LayerSchema {
    std::shared_ptr<host::IFields> fields;
    std::vector<FieldSource> sources;  // parallel to fields
    std::vector<std::int32_t> types;   // esriFieldType of each field
};

LayerSchema MakeSchema(const std::shared_ptr<Session>& session, const QgsVectorLayer& layer);

// The esri shape type of a layer (esriGeometryNull for tables and unknown kinds).
std::int32_t ShapeTypeOf(const QgsVectorLayer& layer);

// A vector layer as the data objects see it: the layer (weakly held), its schema
// and the transform of its shapes into map coordinates.
class LayerData : public std::enable_shared_from_this<LayerData> {
  public:
    LayerData(std::shared_ptr<Session> session, QgsVectorLayer& layer);

    QgsVectorLayer& Layer() const;  // raises E_HOST_POINTER once the layer is gone
    const std::shared_ptr<Session>& SessionRef() const { return m_session; }
    const LayerSchema& Schema() const { return m_schema; }

    // The request for the layer's features (its subset string applies, as QGIS
    // applies it in the data provider) narrowed by a where clause. Raises
    // E_HOST_INVALID_SQL, quoting the clause, for one QGIS cannot evaluate here.
    QgsFeatureRequest Request(const std::string& whereClause) const;
    // The where clause as a prepared expression; null for an empty clause.
    std::unique_ptr<QgsExpression> Expression(const std::string& whereClause) const;
    // Whether the data provider's rows are the layer's as they are: nothing being
    // edited, no joined or computed fields (the subset string is the provider's).
    bool RowsAsStored() const;
    // The layer's stored geometry of a feature (empty when it has none or is gone).
    QgsGeometry StoredGeometry(QgsFeatureId id) const;
    // The shape of a QGIS geometry in map coordinates; empty for none.
    std::shared_ptr<host::IGeometry> MapShape(const QgsGeometry& geometry) const;

  private:
    std::shared_ptr<Session> m_session;
    QPointer<QgsVectorLayer> m_layer;
    LayerSchema m_schema;
};

// A host feature (row) of this adapter: a QGIS feature, its shape in map
// coordinates.
class Feature;

// The QGIS feature behind a host feature of this adapter; null for another's,
// and null when the feature was read without its geometry and `withGeometry`.
const QgsFeature* QgisFeatureOf(const host::IFeature& feature, bool withGeometry = false);

// Lets every unique value renderer of the session's context find the value one
// of this adapter's features matches straight from its QGIS attribute
// (HostContext::entryOfFeature), instead of asking the feature for its fields
// and value and looking up the value's text. Measured with the cursor's savings
// (FeatureCursor): in perf's profile of that walk the renderer's share fell from
// 137 to 87 ms. Its plain twin, reading the keys, is compared with it in
// tests/qgis/qgis_host_test.cpp.
void MatchQgisFeatures(objects::HostContext& context);

// Features of one request, one at a time, as rows and as features.
//
// Savings over a plain cursor (a new host feature per row, shapes read with the
// rows through the layer), measured by bench/qgis/copylegend_qgis_bench's
// BigSource (Copy Legend over a Source of 1,000,000 features) against QgisRead
// (QGIS's own read of its key field), CPU time, medians of 3: the plain cursor
// took 3.7x; refilled features and no geometry (with legends matched from the
// attributes, MatchQgisFeatures) 2.7x; reading the provider directly 1.8x.
// - A host feature that nobody but the cursor holds any more is refilled with
//   the next row instead of a new one being made: a walk that lets go of each
//   feature before asking for the one after next makes two in all. Nobody can
//   tell: only features no one holds are refilled.
// - A walk over the whole layer (no where clause) reads no geometry: a feature
//   reads its stored geometry when its shape is first asked for. A walk that
//   needs shapes names the features it wants, and gets them with their shapes.
//   Where the provider's rows are the layer's (LayerData::RowsAsStored), such a
//   walk reads them from the provider, past the layer's own iterator (edits,
//   joins, computed fields, transforms: none of which applies then).
// Their plain twins (a feature each, shapes with the rows) are compared with
// them in tests/qgis/qgis_host_test.cpp.
class FeatureCursor final : public host::ICursor, public host::IFeatureCursor {
  public:
    // With `shapesLater` the iterator's request must leave geometry out.
    FeatureCursor(std::shared_ptr<const LayerData> data, QgsFeatureIterator iterator,
                  bool shapesLater = false);
    // Over features already fetched (a selection in object-id order).
    FeatureCursor(std::shared_ptr<const LayerData> data, std::vector<QgsFeature> features);
    // The features of the layer the where clause lets through, shapes read when
    // asked for where the clause is empty.
    static std::shared_ptr<FeatureCursor> Open(const std::shared_ptr<const LayerData>& data,
                                               const std::string& whereClause);

    std::shared_ptr<host::IRow> NextRow() override;
    std::shared_ptr<host::IFeature> NextFeature() override;

  private:
    // A host feature only the cursor holds, to be filled with the next row.
    Feature& Unheld();

    std::shared_ptr<const LayerData> m_data;
    QgsFeatureIterator m_iterator;
    std::vector<QgsFeature> m_features;
    std::size_t m_next = 0;
    bool m_fromList = false;
    bool m_shapesLater = false;
    // The last two features handed out: a walk holds the last one while it asks
    // for the next, and has let go of the one before.
    std::shared_ptr<Feature> m_handedOut[2];
    std::size_t m_lastHandedOut = 0;
};

// The feature class behind a vector layer.
class FeatureClass final : public host::IFeatureClass {
  public:
    explicit FeatureClass(std::shared_ptr<const LayerData> data);

    std::shared_ptr<host::IFields> Fields() const override;
    std::int32_t FindField(const std::string& name) const override;
    std::int32_t ShapeType() const override;
    std::int32_t FeatureType() const override;
    std::int32_t FeatureCount(const std::shared_ptr<host::IQueryFilter>& filter) const override;
    std::shared_ptr<host::IFeatureCursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                 bool recycling) const override;

  private:
    std::shared_ptr<const LayerData> m_data;
};

// The layer's selected features that its subset string lets through.
class SelectionSet final : public host::ISelectionSet {
  public:
    explicit SelectionSet(std::shared_ptr<const LayerData> data);

    std::int32_t Count() const override;
    std::shared_ptr<host::ICursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                          bool recycling) const override;

  private:
    std::vector<QgsFeature> Selected(const std::string& whereClause) const;

    std::shared_ptr<const LayerData> m_data;
};

// The features of a memory layer that the where clause lets through, in the
// layer's own order, found through the session's key indexes; nothing when the
// clause keeps no number field within a range (or keeps most of the layer).
// Its plain twin is the layer's own search; tests/qgis/qgis_host_test.cpp
// compares the two.
std::optional<std::vector<QgsFeature>> IndexedSearch(const LayerData& data,
                                                     const std::string& whereClause);

// Features of a layer matching a filter, counted.
std::int32_t CountFeatures(const LayerData& data,
                           const std::shared_ptr<host::IQueryFilter>& filter);

// ---- symbols and renderers ---------------------------------------------------------------

// A QGIS symbol as a host symbol: a single-layer simple marker, line or fill
// symbol becomes the matching simple symbol; anything else a symbol that is no
// simple one (it answers ISymbol only).
std::shared_ptr<host::ISymbol> ToHostSymbol(const std::shared_ptr<Session>& session,
                                            const QgsSymbol* symbol);
// A host simple symbol as a QGIS single-layer simple symbol. Raises
// E_HOST_INVALIDARG for any other symbol.
std::unique_ptr<QgsSymbol> ToQgisSymbol(const std::shared_ptr<host::ISymbol>& symbol);

// The layer's renderer as a host renderer (a copy: changing it changes nothing
// until it is set on the layer again).
std::shared_ptr<host::IFeatureRenderer> ToHostRenderer(const std::shared_ptr<const LayerData>& data,
                                                       const QgsFeatureRenderer* renderer);
// A host renderer as a QGIS one for the layer. Raises E_HOST_INVALIDARG for a
// renderer QGIS cannot show.
std::unique_ptr<QgsFeatureRenderer> ToQgisRenderer(
    const std::shared_ptr<host::IFeatureRenderer>& renderer);

// ---- layers -------------------------------------------------------------------------------

// The host layer for a node of the layer tree; empty for a node that is no
// layer (or a table, which the map lists apart).
std::shared_ptr<host::ILayer> MakeLayer(const std::shared_ptr<Session>& session,
                                        QgsLayerTreeNode& node);
// Vector layers without geometry, in the tree's order.
std::vector<QgsVectorLayer*> TablesOf(const QgsProject& project);
std::shared_ptr<host::IStandaloneTable> MakeTable(const std::shared_ptr<Session>& session,
                                                  QgsVectorLayer& layer);
// Whether the tree node is listed among the map's layers.
bool IsMapLayerNode(QgsLayerTreeNode& node);

// ---- the map -----------------------------------------------------------------------------

std::shared_ptr<host::IMap> MakeMap(const std::shared_ptr<Session>& session);

}  // namespace velorin::qgis

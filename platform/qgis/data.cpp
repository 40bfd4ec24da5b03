#include <qgscoordinatetransformcontext.h>
#include <qgsexception.h>
#include <qgsexpression.h>
#include <qgsexpressioncontextutils.h>
#include <qgsgeometry.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayerjoinbuffer.h>

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <typeinfo>
#include <unordered_map>

#include "platform/objects/fields.h"
#include "platform/objects/geometry.h"
#include "platform/objects/query_filter.h"
#include "platform/objects/renderers.h"
#include "platform/qgis/qgis_objects.h"
#include "platform/qgis/where_clause.h"

namespace velorin::qgis {

// ---- the session --------------------------------------------------------------------------

QgsMapCanvas& Session::Canvas() const {
    if (canvas.isNull()) throw Error(host::E_HOST_POINTER, "The map canvas is gone");
    return *canvas;
}

QgsProject& Session::Project() const {
    if (project.isNull()) throw Error(host::E_HOST_POINTER, "The project is gone");
    return *project;
}

QgsCoordinateReferenceSystem Session::MapCrs() const {
    return Canvas().mapSettings().destinationCrs();
}

void Session::RequestRedraw() {
    Canvas().refresh();
    redrawPending = true;
}

void Session::WaitForRedraw() {
    QgsMapCanvas& map = Canvas();
    // A frozen canvas, or one told not to render, never finishes a redraw.
    if (map.isFrozen() || !map.renderFlag()) redrawPending = false;
    if (!redrawPending && !map.isDrawing()) return;
    QEventLoop loop;
    QObject::connect(&map, &QgsMapCanvas::mapCanvasRefreshed, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    // The person's input waits: nothing they do may start another command here.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    redrawPending = false;
    // Observers (a test watching flashes) see the redrawn map before anything
    // is drawn over it.
    if (context && context->hooks.screenChanged) context->hooks.screenChanged();
}

// ---- fields -------------------------------------------------------------------------------

namespace {

std::int32_t HostFieldType(const QgsField& field) {
    switch (field.type()) {
        case QVariant::Int:
        case QVariant::UInt:
            return host::esriFieldTypeInteger;
        case QVariant::LongLong:
        case QVariant::ULongLong:
            return host::esriFieldTypeBigInteger;
        case QVariant::Bool:
            return host::esriFieldTypeSmallInteger;
        case QVariant::Double:
            return host::esriFieldTypeDouble;
        case QVariant::Date:
        case QVariant::DateTime:
            return host::esriFieldTypeDate;
        case QVariant::ByteArray:
            return host::esriFieldTypeBlob;
        default:
            return host::esriFieldTypeString;
    }
}

host::FieldValue HostValue(const QVariant& value, std::int32_t type) {
    if (!value.isValid() || value.isNull()) return {};
    switch (type) {
        case host::esriFieldTypeSmallInteger:
            return static_cast<std::int16_t>(value.toInt());
        case host::esriFieldTypeInteger:
            return static_cast<std::int32_t>(value.toLongLong());
        case host::esriFieldTypeBigInteger:
            return static_cast<std::int64_t>(value.toLongLong());
        case host::esriFieldTypeDouble:
            return value.toDouble();
        case host::esriFieldTypeDate: {
            const QDateTime when = value.type() == QVariant::Date
                                       ? QDateTime(value.toDate(), QTime(0, 0))
                                       : value.toDateTime();
            const QDate day = when.date();
            const QTime time = when.time();
            return host::MakeDate(day.year(), day.month(), day.day(), time.hour(), time.minute(),
                                  time.second());
        }
        case host::esriFieldTypeOID:
            return host::ObjectId{static_cast<std::int32_t>(value.toLongLong())};
        case host::esriFieldTypeBlob:
            return {};
        default:
            return FromQt(value.toString());
    }
}

// The first of the names that no attribute of the layer has.
std::string FreeName(const QgsFields& fields, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (fields.lookupField(QString::fromLatin1(name)) < 0) return name;
    }
    return std::string(*names.begin()) + "_";
}

}  // namespace

std::int32_t ShapeTypeOf(const QgsVectorLayer& layer) {
    switch (layer.geometryType()) {
        case QgsWkbTypes::PointGeometry:
            return QgsWkbTypes::isMultiType(layer.wkbType()) ? host::esriGeometryMultipoint
                                                             : host::esriGeometryPoint;
        case QgsWkbTypes::LineGeometry:
            return host::esriGeometryPolyline;
        case QgsWkbTypes::PolygonGeometry:
            return host::esriGeometryPolygon;
        default:
            return host::esriGeometryNull;
    }
}

LayerSchema MakeSchema(const std::shared_ptr<Session>& session, const QgsVectorLayer& layer) {
    const QgsFields attributes = layer.fields();
    // A file's own feature id column (the OGR provider shows it as an attribute)
    // is the object id; other layers get one named after their feature ids.
    int oidAttribute = -1;
    const QgsAttributeList keys = layer.primaryKeyAttributes();
    if (layer.providerType() == QLatin1String("ogr") && keys.size() == 1) oidAttribute = keys[0];

    LayerSchema schema;
    std::vector<std::shared_ptr<objects::Field>> fields;
    const auto add = [&](std::string name, std::int32_t type, FieldSource source,
                         std::string alias = {}) {
        fields.push_back(std::make_shared<objects::Field>(session->context, std::move(name), type,
                                                          std::move(alias)));
        schema.sources.push_back(source);
        schema.types.push_back(type);
    };
    const std::string oidName = oidAttribute >= 0
                                    ? FromQt(attributes.at(oidAttribute).name())
                                    : FreeName(attributes, {"FID", "OBJECTID", "OID"});
    add(oidName, host::esriFieldTypeOID, {FieldSource::Kind::Oid, oidAttribute});
    if (layer.isSpatial()) {
        add(FreeName(attributes, {"Shape", "Geometry"}), host::esriFieldTypeGeometry,
            {FieldSource::Kind::Shape, -1});
    }
    for (int i = 0; i < attributes.count(); ++i) {
        if (i == oidAttribute) continue;
        const QgsField& field = attributes.at(i);
        add(FromQt(field.name()), HostFieldType(field), {FieldSource::Kind::Attribute, i},
            FromQt(field.alias()));
    }
    schema.fields = std::make_shared<objects::Fields>(session->context, std::move(fields));
    return schema;
}

// ---- rows ---------------------------------------------------------------------------------

class Feature final : public host::IFeature {
  public:
    explicit Feature(std::shared_ptr<const LayerData> data) : m_data(std::move(data)) {}

    std::shared_ptr<host::IFields> Fields() const override {
        m_data->SessionRef()->Enter("IRowBuffer::Fields");
        return m_data->Schema().fields;
    }

    host::FieldValue Value(std::int32_t index) const override {
        m_data->SessionRef()->Enter("IRowBuffer::Value");
        const LayerSchema& schema = m_data->Schema();
        if (index < 0 || static_cast<std::size_t>(index) >= schema.sources.size()) {
            throw Error(host::E_HOST_INVALIDARG,
                        "There is no field at index " + std::to_string(index));
        }
        const FieldSource& source = schema.sources[static_cast<std::size_t>(index)];
        switch (source.kind) {
            case FieldSource::Kind::Oid:
                return host::ObjectId{static_cast<std::int32_t>(m_feature.id())};
            case FieldSource::Kind::Shape:
                return {};
            case FieldSource::Kind::Attribute:
                break;
        }
        return HostValue(m_feature.attribute(source.attribute),
                         schema.types[static_cast<std::size_t>(index)]);
    }

    bool HasOID() const override {
        m_data->SessionRef()->Enter("IRow::HasOID");
        return true;
    }

    std::int32_t OID() const override {
        m_data->SessionRef()->Enter("IRow::OID");
        return static_cast<std::int32_t>(m_feature.id());
    }

    std::shared_ptr<host::IGeometry> Shape() const override {
        m_data->SessionRef()->Enter("IFeature::Shape");
        if (!m_shapeRead) {
            m_shape = m_data->MapShape(m_shapeLater ? m_data->StoredGeometry(m_feature.id())
                                                    : m_feature.geometry());
            m_shapeRead = true;
        }
        return m_shape;
    }

    const QgsFeature& Qgis() const { return m_feature; }
    bool ShapeLater() const { return m_shapeLater; }
    const std::shared_ptr<const LayerData>& Data() const { return m_data; }

    // The QGIS feature to fill with a row; its geometry left out when
    // `shapeLater`.
    QgsFeature& Refill(bool shapeLater) {
        m_shape.reset();
        m_shapeRead = false;
        m_shapeLater = shapeLater;
        return m_feature;
    }

  private:
    std::shared_ptr<const LayerData> m_data;
    QgsFeature m_feature;
    mutable std::shared_ptr<host::IGeometry> m_shape;
    mutable bool m_shapeRead = false;
    bool m_shapeLater = false;
};

namespace {

std::vector<objects::XY> ToPath(const QgsPolylineXY& line) {
    std::vector<objects::XY> path;
    path.reserve(static_cast<std::size_t>(line.size()));
    for (const QgsPointXY& p : line) path.push_back({p.x(), p.y()});
    return path;
}

}  // namespace

// ---- layer data ---------------------------------------------------------------------------

LayerData::LayerData(std::shared_ptr<Session> session, QgsVectorLayer& layer)
    : m_session(std::move(session)), m_layer(&layer), m_schema(MakeSchema(m_session, layer)) {}

QgsVectorLayer& LayerData::Layer() const {
    if (m_layer.isNull()) throw Error(host::E_HOST_POINTER, "The layer was removed from the map");
    return *m_layer;
}

std::unique_ptr<QgsExpression> LayerData::Expression(const std::string& whereClause) const {
    if (ToQt(whereClause).trimmed().isEmpty()) return nullptr;
    QgsVectorLayer& layer = Layer();
    const QString clause = ToQgisExpression(whereClause, layer.fields());
    const auto refuse = [&](const QString& why) {
        return Error(host::E_HOST_INVALID_SQL, "The where clause \"" + whereClause +
                                                   "\" cannot be evaluated on " +
                                                   FromQt(layer.name()) + ": " + FromQt(why));
    };
    auto expression = std::make_unique<QgsExpression>(clause);
    if (expression->hasParserError()) throw refuse(expression->parserErrorString());
    for (const QString& column : expression->referencedColumns()) {
        if (column != QgsFeatureRequest::ALL_ATTRIBUTES && layer.fields().lookupField(column) < 0) {
            throw refuse(QStringLiteral("there is no field %1").arg(column));
        }
    }
    QgsExpressionContext context(QgsExpressionContextUtils::globalProjectLayerScopes(&layer));
    if (!expression->prepare(&context)) throw refuse(expression->evalErrorString());
    return expression;
}

QgsFeatureRequest LayerData::Request(const std::string& whereClause) const {
    QgsFeatureRequest request;
    if (const auto expression = Expression(whereClause)) {
        request.setFilterExpression(expression->expression());
        request.setExpressionContext(
            QgsExpressionContext(QgsExpressionContextUtils::globalProjectLayerScopes(&Layer())));
    }
    return request;
}

const QgsFeature* QgisFeatureOf(const host::IFeature& feature, bool withGeometry) {
    const auto* own = dynamic_cast<const Feature*>(&feature);
    if (own == nullptr || (withGeometry && own->ShapeLater())) return nullptr;
    return &own->Qgis();
}

QgsGeometry LayerData::StoredGeometry(QgsFeatureId id) const {
    QgsFeatureRequest request(id);
    request.setNoAttributes();
    QgsFeature stored;
    if (!Layer().getFeatures(request).nextFeature(stored)) return {};
    return stored.geometry();
}

std::shared_ptr<host::IGeometry> LayerData::MapShape(const QgsGeometry& geometry) const {
    if (geometry.isNull() || geometry.isEmpty()) return {};
    QgsGeometry shape = geometry;
    const QgsCoordinateReferenceSystem from = Layer().crs();
    const QgsCoordinateReferenceSystem to = m_session->MapCrs();
    if (from.isValid() && to.isValid() && from != to) {
        try {
            const QgsCoordinateTransform transform(from, to,
                                                   m_session->Project().transformContext());
            if (shape.transform(transform) != Qgis::GeometryOperationResult::Success) {
                throw Error(host::E_HOST_FAIL, "The shape could not be put in map coordinates");
            }
        } catch (const QgsCsException& error) {
            throw Error(host::E_HOST_FAIL,
                        "The shape could not be put in map coordinates: " + FromQt(error.what()));
        }
    }
    if (shape.requiresConversionToStraightSegments()) shape.convertToStraightSegment();
    const auto& context = m_session->context;
    switch (shape.type()) {
        case QgsWkbTypes::PointGeometry:
            if (shape.isMultipart()) {
                std::vector<objects::XY> points;
                for (const QgsPointXY& p : shape.asMultiPoint()) points.push_back({p.x(), p.y()});
                return objects::MakeMultipoint(std::move(points), context);
            } else {
                const QgsPointXY p = shape.asPoint();
                return objects::MakePoint(p.x(), p.y(), context);
            }
        case QgsWkbTypes::LineGeometry: {
            std::vector<objects::Path> paths;
            const QgsMultiPolylineXY lines = shape.isMultipart()
                                                 ? shape.asMultiPolyline()
                                                 : QgsMultiPolylineXY{shape.asPolyline()};
            for (const QgsPolylineXY& line : lines) paths.push_back(ToPath(line));
            return objects::MakePolyline(std::move(paths), context);
        }
        case QgsWkbTypes::PolygonGeometry: {
            std::vector<objects::Path> rings;
            const QgsMultiPolygonXY polygons =
                shape.isMultipart() ? shape.asMultiPolygon() : QgsMultiPolygonXY{shape.asPolygon()};
            for (const QgsPolygonXY& polygon : polygons) {
                for (const QgsPolylineXY& ring : polygon) rings.push_back(ToPath(ring));
            }
            return objects::MakePolygon(std::move(rings), context);
        }
        default:
            return {};
    }
}

// ---- cursors ------------------------------------------------------------------------------

FeatureCursor::FeatureCursor(std::shared_ptr<const LayerData> data, QgsFeatureIterator iterator,
                             bool shapesLater)
    : m_data(std::move(data)), m_iterator(std::move(iterator)), m_shapesLater(shapesLater) {}

FeatureCursor::FeatureCursor(std::shared_ptr<const LayerData> data,
                             std::vector<QgsFeature> features)
    : m_data(std::move(data)), m_features(std::move(features)), m_fromList(true) {}

bool LayerData::RowsAsStored() const {
    const QgsVectorLayer& layer = Layer();
    const QgsVectorDataProvider* provider = layer.dataProvider();
    if (provider == nullptr || layer.editBuffer() != nullptr ||
        layer.joinBuffer()->containsJoins()) {
        return false;
    }
    const QgsFields fields = layer.fields();
    if (provider->fields().count() != fields.count()) return false;
    for (int i = 0; i < fields.count(); ++i) {
        if (fields.fieldOrigin(i) != QgsFields::OriginProvider || fields.fieldOriginIndex(i) != i) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<FeatureCursor> FeatureCursor::Open(const std::shared_ptr<const LayerData>& data,
                                                   const std::string& whereClause) {
    QgsFeatureRequest request = data->Request(whereClause);
    if (!ToQt(whereClause).trimmed().isEmpty()) {
        if (auto found = IndexedSearch(*data, whereClause)) {
            return std::make_shared<FeatureCursor>(data, std::move(*found));
        }
        return std::make_shared<FeatureCursor>(data, data->Layer().getFeatures(request));
    }
    request.setFlags(request.flags() | QgsFeatureRequest::NoGeometry);
    QgsVectorLayer& layer = data->Layer();
    return std::make_shared<FeatureCursor>(data,
                                           data->RowsAsStored()
                                               ? layer.dataProvider()->getFeatures(request)
                                               : layer.getFeatures(request),
                                           true);
}

Feature& FeatureCursor::Unheld() {
    for (std::shared_ptr<Feature>& slot : m_handedOut) {
        if (slot && slot.use_count() == 1) {
            m_lastHandedOut = static_cast<std::size_t>(&slot - m_handedOut);
            return *slot;
        }
    }
    // Both are held (or not made yet): the older makes way for a new one.
    m_lastHandedOut = 1 - m_lastHandedOut;
    m_handedOut[m_lastHandedOut] = std::make_shared<Feature>(m_data);
    return *m_handedOut[m_lastHandedOut];
}

std::shared_ptr<host::IFeature> FeatureCursor::NextFeature() {
    m_data->SessionRef()->Enter("IFeatureCursor::NextFeature");
    if (m_fromList) {
        if (m_next >= m_features.size()) return {};
        Unheld().Refill(false) = m_features[m_next++];
    } else if (!m_iterator.nextFeature(Unheld().Refill(m_shapesLater))) {
        return {};
    }
    return m_handedOut[m_lastHandedOut];
}

std::shared_ptr<host::IRow> FeatureCursor::NextRow() {
    m_data->SessionRef()->Enter("ICursor::NextRow");
    const objects::QuietHost quiet(m_data->SessionRef()->context);
    return NextFeature();
}

std::int32_t CountFeatures(const LayerData& data,
                           const std::shared_ptr<host::IQueryFilter>& filter) {
    const std::string clause = objects::ClauseOf(filter);
    QgsVectorLayer& layer = data.Layer();
    if (ToQt(clause).trimmed().isEmpty()) {
        const long long known = layer.featureCount();
        if (known >= 0) return static_cast<std::int32_t>(std::min<long long>(known, INT32_MAX));
    }
    QgsFeatureRequest request = data.Request(clause);
    request.setFlags(QgsFeatureRequest::NoGeometry);
    QgsFeatureIterator features = layer.getFeatures(request);
    std::int32_t count = 0;
    QgsFeature feature;
    while (features.nextFeature(feature) && count < INT32_MAX) ++count;
    return count;
}

// ---- legend matches -----------------------------------------------------------------------

namespace {

// What a unique value renderer keeps, in its host memo, about the features of
// one layer: the QGIS attribute its one key field reads, and the value each
// whole number met so far as a key matches.
struct LegendMatches {
    static constexpr int kRead = -1;     // a key this does not cover: the feature is read
    static constexpr int kNoValue = -2;  // no such field, or the shape: no value matches

    std::weak_ptr<const LayerData> layer;
    std::uint64_t keyVersion = 0;
    int attribute = kRead;
    std::int32_t type = 0;  // the key field's esriFieldType
    // By number: below kSmall in a table (most keys are small counts and ids),
    // any other in a map.
    static constexpr qlonglong kSmall = qlonglong{1} << 16;
    static constexpr std::int32_t kUnseen = -3;
    std::vector<std::int32_t> small;
    std::unordered_map<qlonglong, std::int32_t> large;

    std::int32_t& Slot(qlonglong number) {
        if (number < 0 || number >= kSmall) return large.try_emplace(number, kUnseen).first->second;
        const auto at = static_cast<std::size_t>(number);
        if (at >= small.size()) {
            small.resize(std::min<std::size_t>(kSmall, std::max(at + 1, 2 * small.size())),
                         kUnseen);
        }
        return small[at];
    }
};

LegendMatches MakeMatches(const std::shared_ptr<const LayerData>& data,
                          const objects::UniqueValueRenderer& renderer) {
    LegendMatches matches;
    matches.layer = data;
    matches.keyVersion = renderer.KeyVersion();
    const std::vector<std::string> names = renderer.KeyFieldNames();
    if (names.size() != 1) return matches;
    const LayerSchema& schema = data->Schema();
    std::int32_t index = -1;
    {
        const objects::QuietHost quiet(data->SessionRef()->context);
        index = schema.fields->FindField(names[0]);
    }
    if (index < 0) {
        matches.attribute = LegendMatches::kNoValue;
        return matches;
    }
    const FieldSource& source = schema.sources[static_cast<std::size_t>(index)];
    if (source.kind == FieldSource::Kind::Shape) matches.attribute = LegendMatches::kNoValue;
    if (source.kind != FieldSource::Kind::Attribute) return matches;
    matches.attribute = source.attribute;
    matches.type = schema.types[static_cast<std::size_t>(index)];
    return matches;
}

// Which value the renderer matches one of this adapter's features with, read
// straight from its QGIS attribute, and for a whole number remembered by the
// number: the renderer would ask the feature for its fields and its value, and
// look up the value's text. Matches exactly as that reading does: the text
// looked up is the text of the very value the feature would give.
std::int32_t EntryOfQgisFeature(const host::IFeature& feature,
                                const objects::UniqueValueRenderer& renderer) {
    // Told by the type alone: a search of the type's bases costs a good share of
    // the answer.
    if (typeid(feature) != typeid(Feature)) return objects::UniqueValueRenderer::NotKnown;
    const auto& own = static_cast<const Feature&>(feature);
    const std::shared_ptr<const LayerData>& data = own.Data();
    std::shared_ptr<void>& memo = renderer.HostMemo();
    auto* matches = static_cast<LegendMatches*>(memo.get());
    if (matches == nullptr || matches->keyVersion != renderer.KeyVersion() ||
        matches->layer.owner_before(data) || data.owner_before(matches->layer)) {
        auto made = std::make_shared<LegendMatches>(MakeMatches(data, renderer));
        matches = made.get();
        memo = std::move(made);
    }
    if (matches->attribute == LegendMatches::kRead) return objects::UniqueValueRenderer::NotKnown;
    if (matches->attribute == LegendMatches::kNoValue) return objects::UniqueValueRenderer::NoEntry;
    const QVariant value = own.Qgis().attribute(matches->attribute);
    const int kind = value.userType();
    const bool whole = !value.isNull() && (kind == QMetaType::Int || kind == QMetaType::UInt ||
                                           kind == QMetaType::LongLong);
    const auto entryOfValue = [&] {
        const host::FieldValue key = HostValue(value, matches->type);
        return key.IsNull() ? objects::UniqueValueRenderer::NoEntry
                            : renderer.FindEntry(host::ToText(key));
    };
    if (!whole) return entryOfValue();
    std::int32_t& entry = matches->Slot(value.toLongLong());
    if (entry == LegendMatches::kUnseen) entry = entryOfValue();
    return entry;
}

}  // namespace

void MatchQgisFeatures(objects::HostContext& context) {
    context.entryOfFeature = EntryOfQgisFeature;
}

// ---- feature class ------------------------------------------------------------------------

FeatureClass::FeatureClass(std::shared_ptr<const LayerData> data) : m_data(std::move(data)) {}

std::shared_ptr<host::IFields> FeatureClass::Fields() const {
    m_data->SessionRef()->Enter("IClass::Fields");
    return m_data->Schema().fields;
}

std::int32_t FeatureClass::FindField(const std::string& name) const {
    m_data->SessionRef()->Enter("IClass::FindField");
    const objects::QuietHost quiet(m_data->SessionRef()->context);
    return m_data->Schema().fields->FindField(name);
}

std::int32_t FeatureClass::ShapeType() const {
    m_data->SessionRef()->Enter("IFeatureClass::ShapeType");
    return ShapeTypeOf(m_data->Layer());
}

std::int32_t FeatureClass::FeatureType() const {
    m_data->SessionRef()->Enter("IFeatureClass::FeatureType");
    return host::esriFTSimple;
}

std::int32_t FeatureClass::FeatureCount(const std::shared_ptr<host::IQueryFilter>& filter) const {
    m_data->SessionRef()->Enter("IFeatureClass::FeatureCount");
    return CountFeatures(*m_data, filter);
}

std::shared_ptr<host::IFeatureCursor> FeatureClass::Search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool /*recycling*/) const {
    m_data->SessionRef()->Enter("IFeatureClass::Search");
    return FeatureCursor::Open(m_data, objects::ClauseOf(filter));
}

// ---- selection ----------------------------------------------------------------------------

SelectionSet::SelectionSet(std::shared_ptr<const LayerData> data) : m_data(std::move(data)) {}

std::vector<QgsFeature> SelectionSet::Selected(const std::string& whereClause) const {
    QgsVectorLayer& layer = m_data->Layer();
    const QgsFeatureIds ids = layer.selectedFeatureIds();
    std::vector<QgsFeature> selected;
    if (ids.isEmpty()) return selected;
    const std::unique_ptr<QgsExpression> expression = m_data->Expression(whereClause);
    QgsExpressionContext context(QgsExpressionContextUtils::globalProjectLayerScopes(&layer));
    // Fetched by id through the layer, so its subset string still applies.
    QgsFeatureIterator features = layer.getFeatures(QgsFeatureRequest().setFilterFids(ids));
    QgsFeature feature;
    while (features.nextFeature(feature)) {
        if (expression) {
            context.setFeature(feature);
            if (!expression->evaluate(&context).toBool()) continue;
        }
        selected.push_back(feature);
    }
    std::sort(selected.begin(), selected.end(),
              [](const QgsFeature& a, const QgsFeature& b) { return a.id() < b.id(); });
    return selected;
}

std::int32_t SelectionSet::Count() const {
    m_data->SessionRef()->Enter("ISelectionSet::Count");
    return static_cast<std::int32_t>(Selected({}).size());
}

std::shared_ptr<host::ICursor> SelectionSet::Search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool /*recycling*/) const {
    m_data->SessionRef()->Enter("ISelectionSet::Search");
    return std::make_shared<FeatureCursor>(m_data, Selected(objects::ClauseOf(filter)));
}

}  // namespace velorin::qgis

// QGIS under the host fixture: the map stated as memory-provider layers of a
// project, groups as layer-tree groups, drawn by a map canvas that is shown
// offscreen, and the extension given the QGIS adapter's application.
#include <qgsannotationlayer.h>
#include <qgscategorizedsymbolrenderer.h>
#include <qgsfillsymbol.h>
#include <qgsfillsymbollayer.h>
#include <qgslayertree.h>
#include <qgslinesymbol.h>
#include <qgslinesymbollayer.h>
#include <qgsmapcanvas.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsproject.h>
#include <qgsrasterlayer.h>
#include <qgssinglesymbolrenderer.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <memory>

#include "platform/objects/geometry.h"
#include "platform/qgis/qgis_host.h"
#include "tests/support/host_fixture.h"

namespace velorin::testing {

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

[[noreturn]] void Unsupported(const std::string& what) {
    throw Error(host::E_HOST_INVALIDARG, "The QGIS fixture cannot build " + what);
}

QVariant::Type QgisType(std::int32_t esriType) {
    switch (esriType) {
        case host::esriFieldTypeSmallInteger:
        case host::esriFieldTypeInteger:
            return QVariant::Int;
        case host::esriFieldTypeBigInteger:
            return QVariant::LongLong;
        case host::esriFieldTypeSingle:
        case host::esriFieldTypeDouble:
            return QVariant::Double;
        case host::esriFieldTypeString:
            return QVariant::String;
        case host::esriFieldTypeDate:
            return QVariant::DateTime;
        default:
            Unsupported("a field of type " + std::to_string(esriType));
    }
}

QVariant ToVariant(const host::FieldValue& value) {
    return std::visit(
        [](const auto& v) -> QVariant {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return QVariant();
            } else if constexpr (std::is_same_v<T, std::int16_t> ||
                                 std::is_same_v<T, std::int32_t>) {
                return QVariant(static_cast<int>(v));
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return QVariant(static_cast<qlonglong>(v));
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                return QVariant(static_cast<double>(v));
            } else if constexpr (std::is_same_v<T, std::string>) {
                return QVariant(QString::fromStdString(v));
            } else if constexpr (std::is_same_v<T, host::Date>) {
                const qint64 ms = static_cast<qint64>((v.days - 25569.0) * 86400000.0 + 0.5);
                return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
            } else if constexpr (std::is_same_v<T, bool>) {
                return QVariant(v ? 1 : 0);
            } else {
                return QVariant(static_cast<int>(v.value));
            }
        },
        value.Get());
}

QgsPolylineXY Points(const objects::Path& path) {
    QgsPolylineXY points;
    for (const objects::XY& xy : path) points << QgsPointXY(xy.x, xy.y);
    return points;
}

// The shape as QGIS holds it; the geometries the suites state are the value
// objects' points and parts.
QgsGeometry ToGeometry(const std::shared_ptr<host::IGeometry>& shape) {
    if (!shape) return {};
    if (const auto point = host::As<host::IPoint>(shape)) {
        return QgsGeometry::fromPointXY(QgsPointXY(point->X(), point->Y()));
    }
    const auto multi = std::dynamic_pointer_cast<objects::MultiPartGeometry>(shape);
    if (!multi) Unsupported("a shape of type " + std::to_string(shape->GeometryType()));
    switch (multi->GeometryType()) {
        case host::esriGeometryMultipoint: {
            QgsMultiPointXY points;
            for (const objects::Path& part : multi->Parts()) points << Points(part);
            return QgsGeometry::fromMultiPointXY(points);
        }
        case host::esriGeometryPolyline: {
            QgsMultiPolylineXY lines;
            for (const objects::Path& part : multi->Parts()) lines << Points(part);
            return lines.size() == 1 ? QgsGeometry::fromPolylineXY(lines[0])
                                     : QgsGeometry::fromMultiPolylineXY(lines);
        }
        default: {
            QgsPolygonXY rings;
            for (const objects::Path& part : multi->Parts()) {
                QgsPolylineXY ring = Points(part);
                if (!ring.isEmpty() && ring.front() != ring.back()) ring << ring.front();
                rings << ring;
            }
            return QgsGeometry::fromPolygonXY(rings);
        }
    }
}

QString LayerKind(std::int32_t shapeType) {
    switch (shapeType) {
        case host::esriGeometryPoint:
            return QStringLiteral("Point");
        case host::esriGeometryMultipoint:
            return QStringLiteral("MultiPoint");
        case host::esriGeometryPolyline:
            return QStringLiteral("LineString");
        case host::esriGeometryPolygon:
            return QStringLiteral("Polygon");
        default:
            Unsupported("a layer of shape type " + std::to_string(shapeType));
    }
}

QColor ToColor(const Color& color) { return QColor(color.red, color.green, color.blue); }

QgsSimpleMarkerSymbolLayerBase::Shape MarkerShape(std::int32_t style) {
    switch (style) {
        case host::esriSMSSquare:
            return QgsSimpleMarkerSymbolLayerBase::Square;
        case host::esriSMSCross:
            return QgsSimpleMarkerSymbolLayerBase::Cross;
        case host::esriSMSX:
            return QgsSimpleMarkerSymbolLayerBase::Cross2;
        case host::esriSMSDiamond:
            return QgsSimpleMarkerSymbolLayerBase::Diamond;
        default:
            return QgsSimpleMarkerSymbolLayerBase::Circle;
    }
}

Qt::PenStyle PenStyle(std::int32_t style) {
    switch (style) {
        case host::esriSLSDash:
            return Qt::DashLine;
        case host::esriSLSDot:
            return Qt::DotLine;
        case host::esriSLSDashDot:
            return Qt::DashDotLine;
        case host::esriSLSDashDotDot:
            return Qt::DashDotDotLine;
        case host::esriSLSNull:
            return Qt::NoPen;
        default:
            return Qt::SolidLine;
    }
}

Qt::BrushStyle BrushStyle(std::int32_t style) {
    switch (style) {
        case host::esriSFSHollow:
            return Qt::NoBrush;
        case host::esriSFSHorizontal:
            return Qt::HorPattern;
        case host::esriSFSVertical:
            return Qt::VerPattern;
        case host::esriSFSForwardDiagonal:
            return Qt::BDiagPattern;
        case host::esriSFSBackwardDiagonal:
            return Qt::FDiagPattern;
        case host::esriSFSCross:
            return Qt::CrossPattern;
        case host::esriSFSDiagonalCross:
            return Qt::DiagCrossPattern;
        default:
            return Qt::SolidPattern;
    }
}

// QGIS's own symbols, sizes in points as the host states them.
QgsSymbol* MakeSymbol(const SymbolPlan& plan) {
    const QColor color = ToColor(plan.color);
    switch (plan.kind) {
        case SymbolPlan::Kind::Marker: {
            auto* layer = new QgsSimpleMarkerSymbolLayer(MarkerShape(plan.style), plan.size);
            layer->setSizeUnit(QgsUnitTypes::RenderPoints);
            layer->setColor(color);
            layer->setStrokeColor(color);
            return new QgsMarkerSymbol(QgsSymbolLayerList{layer});
        }
        case SymbolPlan::Kind::Line: {
            auto* layer = new QgsSimpleLineSymbolLayer(color, plan.size, PenStyle(plan.style));
            layer->setWidthUnit(QgsUnitTypes::RenderPoints);
            return new QgsLineSymbol(QgsSymbolLayerList{layer});
        }
        case SymbolPlan::Kind::Fill: {
            auto* layer =
                new QgsSimpleFillSymbolLayer(color, BrushStyle(plan.style), color, Qt::NoPen);
            return new QgsFillSymbol(QgsSymbolLayerList{layer});
        }
        case SymbolPlan::Kind::Other:
            break;
    }
    // Two marker layers: a symbol QGIS draws that is no simple one.
    auto* under = new QgsSimpleMarkerSymbolLayer(QgsSimpleMarkerSymbolLayerBase::Square, plan.size);
    under->setColor(color);
    auto* over =
        new QgsSimpleMarkerSymbolLayer(QgsSimpleMarkerSymbolLayerBase::Circle, plan.size / 2);
    over->setColor(color.darker());
    return new QgsMarkerSymbol(QgsSymbolLayerList{under, over});
}

// A category value typed like the field, as QGIS's own Classify makes it.
QVariant CategoryValue(const std::string& text, QVariant::Type type) {
    QVariant value(ToQt(text));
    if (type != QVariant::String && value.convert(static_cast<int>(type))) return value;
    return QVariant(ToQt(text));
}

QgsFeatureRenderer* MakeRenderer(const LayerPlan& layer, const QgsFields& fields) {
    const RendererPlan& plan = layer.renderer;
    if (plan.kind == RendererPlan::Kind::Simple) {
        return new QgsSingleSymbolRenderer(MakeSymbol(plan.symbol));
    }
    const int index = fields.lookupField(ToQt(plan.field));
    const QVariant::Type type = index >= 0 ? fields.at(index).type() : QVariant::String;
    QgsCategoryList categories;
    for (const auto& [value, symbol] : plan.values) {
        categories << QgsRendererCategory(CategoryValue(value, type), MakeSymbol(symbol),
                                          ToQt(value));
    }
    // The category of the empty value draws what matches no other.
    if (plan.defaultSymbol) {
        categories << QgsRendererCategory(QString(), MakeSymbol(*plan.defaultSymbol), QString());
    }
    return new QgsCategorizedSymbolRenderer(ToQt(plan.field), categories);
}

class QgisFixture final : public HostFixture {
  public:
    QgisFixture() {
        m_canvas.setAttribute(Qt::WA_DontShowOnScreen);
        m_canvas.setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
        m_canvas.setCanvasColor(QColor(250, 250, 245));
        // Colours tested pixel by pixel must be the symbols' own, not blends.
        m_canvas.enableAntiAliasing(false);
    }

    std::string Name() const override { return "qgis"; }
    const HostTraits& Traits() const override {
        static const HostTraits traits{
            .rendererReadBackIsACopy = {true,
                                        "QGIS keeps its own renderer; reading it translates "
                                        "it into a new host renderer each time"},
            .definitionNarrowsTheClass = {true,
                                          "a subset string is applied by the data provider: "
                                          "QGIS has no feature class beyond it to count"},
            .colorSchemeForgotten = {true,
                                     "a categorized renderer has no colour scheme name, and "
                                     "the adapter keeps none beside it"},
            .groupedLayersAreMapLayers = {true,
                                          "a QGIS map is its project's layers; groups of the "
                                          "Layers panel organise them and hide none"},
            .everyClassIsSimple = {true,
                                   "a QGIS vector layer has no feature type: the adapter reports "
                                   "every class as simple (annotations are layers of their own "
                                   "kind, and there are no network classes)"},
            .objectIdField = {"FID",
                              "a memory-provider layer has no id column: the adapter shows "
                              "QGIS's feature ids as a field of the first free name of FID, "
                              "OBJECTID, OID (a file's own id column keeps its name)"},
            .singlesAreDoubles = {true,
                                  "QGIS's vector fields have no single-precision type: a Single "
                                  "field is built as a Double one"},
        };
        return traits;
    }

    void Build(const MapPlan& map) override {
        if (m_application) throw Error(host::E_HOST_INVALIDARG, "The host fixture builds once");
        m_canvas.resize(map.Width(), map.Height());
        m_canvas.show();
        QgsLayerTree* root = m_project.layerTreeRoot();
        for (const LayerPlan& layer : map.Layers()) AddLayer(layer, *root);
        for (const TablePlan& table : map.Tables()) AddTable(table, *root);

        QList<QgsMapLayer*> drawn;
        for (QgsMapLayer* layer : root->layerOrder()) {
            const auto* vector = qobject_cast<QgsVectorLayer*>(layer);
            if (layer->isValid() && (vector == nullptr || vector->isSpatial())) drawn << layer;
        }
        m_canvas.setLayers(drawn);
        m_canvas.zoomToFullExtent();
        m_canvas.refresh();
        m_canvas.waitWhileRendering();

        auto context = std::make_shared<HostContext>();
        qgis::QgisHostSetup setup;
        setup.project = &m_project;
        setup.canvas = &m_canvas;
        m_application = qgis::MakeApplication(std::move(setup), context);
        Attach(context, [] { QCoreApplication::processEvents(); });
    }

    std::shared_ptr<host::IApplication> Application() const override {
        if (!m_application) throw Error(host::E_HOST_POINTER, "The host fixture is not built yet");
        return m_application;
    }

    ScreenShot Screen() override {
        QCoreApplication::processEvents();
        m_canvas.waitWhileRendering();
        const QImage image =
            m_canvas.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        ScreenShot shot;
        shot.width = image.width();
        shot.height = image.height();
        shot.pixels.reserve(static_cast<std::size_t>(image.width()) * image.height());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) shot.pixels.push_back(row[x] & 0xFFFFFFu);
        }
        const QgsMapToPixel& toPixel = m_canvas.mapSettings().mapToPixel();
        const QgsPointXY origin = toPixel.transform(0, 0);
        const QgsPointXY unit = toPixel.transform(1, 1);
        shot.originX = origin.x();
        shot.originY = origin.y();
        shot.scaleX = unit.x() - origin.x();
        shot.scaleY = unit.y() - origin.y();
        return shot;
    }
    Color Background() const override { return {250, 250, 245}; }

    void Select(const std::string& layer, const std::vector<std::int32_t>& oids) override {
        for (QgsMapLayer* candidate : m_project.mapLayersByName(ToQt(layer))) {
            if (auto* vector = qobject_cast<QgsVectorLayer*>(candidate)) {
                Selects(*vector, oids);
                return;
            }
        }
        throw Error(host::E_HOST_INVALIDARG, "No layer " + layer + " to select in");
    }

  private:
    static void Selects(QgsVectorLayer& layer, const std::vector<std::int32_t>& oids) {
        QgsFeatureIds ids;
        for (const std::int32_t oid : oids) ids << oid;
        layer.selectByIds(ids);
    }

    void Place(QgsMapLayer* layer, QgsLayerTreeGroup& group) {
        m_project.addMapLayer(layer, false);
        group.addLayer(layer);
    }

    void AddLayer(const LayerPlan& plan, QgsLayerTreeGroup& group) {
        switch (plan.kind) {
            case LayerPlan::Kind::Group: {
                QgsLayerTreeGroup* inner = group.addGroup(ToQt(plan.name));
                for (const LayerPlan& child : plan.children) AddLayer(child, *inner);
                return;
            }
            case LayerPlan::Kind::Raster:
                Place(new QgsRasterLayer(plan.hasData ? RasterFile() : Missing("tif"),
                                         ToQt(plan.name), QStringLiteral("gdal")),
                      group);
                return;
            case LayerPlan::Kind::Other:
                Place(new QgsAnnotationLayer(ToQt(plan.name), QgsAnnotationLayer::LayerOptions(
                                                                  m_project.transformContext())),
                      group);
                return;
            case LayerPlan::Kind::Feature:
                break;
        }
        if (!plan.hasData) {
            // A layer whose data source is gone, as QGIS reads it from a project:
            // invalid, with the geometry type the project recorded.
            QgsVectorLayer::LayerOptions options(m_project.transformContext());
            options.fallbackWkbType = QgsWkbTypes::parseType(LayerKind(plan.shapeType));
            Place(new QgsVectorLayer(Missing("gpkg"), ToQt(plan.name), QStringLiteral("ogr"),
                                     options),
                  group);
            return;
        }
        // Built anyway it would be a simple layer, and a suite would test another map.
        if (plan.featureType != host::esriFTSimple) {
            Unsupported("a feature class of feature type " + std::to_string(plan.featureType));
        }
        auto* layer =
            MakeVectorLayer(LayerKind(plan.shapeType), plan.name, plan.fields, plan.features);
        if (!plan.definition.empty() && !layer->setSubsetString(ToQt(plan.definition))) {
            Unsupported("the definition query " + plan.definition);
        }
        if (!plan.displayField.empty()) {
            layer->setDisplayExpression(QgsExpression::quotedColumnRef(ToQt(plan.displayField)));
        }
        if (plan.renderer.kind != RendererPlan::Kind::Default) {
            layer->setRenderer(MakeRenderer(plan, layer->fields()));
        }
        // QGIS drops the selection when the subset string changes: select after.
        if (!plan.selection.empty()) Selects(*layer, plan.selection);
        Place(layer, group);
    }

    void AddTable(const TablePlan& plan, QgsLayerTreeGroup& group) {
        if (!plan.hasData) {
            // As QGIS reads a table whose source is gone from a project: invalid,
            // with the geometry type the project recorded (none).
            QgsVectorLayer::LayerOptions options(m_project.transformContext());
            options.fallbackWkbType = QgsWkbTypes::NoGeometry;
            Place(new QgsVectorLayer(Missing("gpkg"), ToQt(plan.name), QStringLiteral("ogr"),
                                     options),
                  group);
            return;
        }
        Place(MakeVectorLayer(QStringLiteral("None"), plan.name, plan.fields, plan.rows), group);
    }

    QgsVectorLayer* MakeVectorLayer(const QString& kind, const std::string& name,
                                    const std::vector<FieldPlan>& fields,
                                    const std::vector<FeaturePlan>& features) {
        auto* layer = new QgsVectorLayer(kind + QStringLiteral("?crs=EPSG:3857"), ToQt(name),
                                         QStringLiteral("memory"));
        QList<QgsField> attributes;
        for (const FieldPlan& field : fields) {
            attributes << QgsField(ToQt(field.name), QgisType(field.type));
        }
        layer->dataProvider()->addAttributes(attributes);
        layer->updateFields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!fields[i].alias.empty()) {
                layer->setFieldAlias(static_cast<int>(i), ToQt(fields[i].alias));
            }
        }
        QgsFeatureList rows;
        std::int32_t next = 1;
        for (const FeaturePlan& feature : features) {
            // The memory provider numbers features itself, from 1.
            if (feature.oid != 0 && feature.oid != next) {
                Unsupported("object id " + std::to_string(feature.oid) + " out of sequence");
            }
            ++next;
            QgsFeature row(layer->fields());
            QVector<QVariant> values;
            for (const host::FieldValue& value : feature.values) values << ToVariant(value);
            row.setAttributes(QgsAttributes(values));
            if (feature.shape) row.setGeometry(ToGeometry(feature.shape));
            rows << row;
        }
        if (!layer->dataProvider()->addFeatures(rows)) Unsupported("the features of " + name);
        layer->updateExtents();
        return layer;
    }

    // A one-cell grid: a raster layer with data needs a file.
    QString RasterFile() {
        const QString path = m_files.filePath(QStringLiteral("raster%1.asc").arg(++m_rasters));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) Unsupported("a raster file");
        file.write("ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n7\n");
        return path;
    }
    QString Missing(const char* extension) const {
        return m_files.filePath(QStringLiteral("missing.") + QLatin1String(extension));
    }

    QTemporaryDir m_files;
    int m_rasters = 0;
    QgsProject m_project;
    QgsMapCanvas m_canvas;
    std::shared_ptr<host::IApplication> m_application;
};

const bool registered = RegisterHost({"qgis", [] { return std::make_unique<QgisFixture>(); }});

}  // namespace

}  // namespace velorin::testing

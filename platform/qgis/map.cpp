#include <qgslayertree.h>
#include <qgsmapcanvasitem.h>

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <optional>

#include "platform/objects/geometry.h"
#include "platform/objects/symbol_look.h"
#include "platform/qgis/qgis_objects.h"

namespace velorin::qgis {

namespace {

[[noreturn]] void InvalidArgument(const std::string& why) {
    throw Error(host::E_HOST_INVALIDARG, why);
}

QColor ToQColor(objects::Rgb color) { return QColor(color.red, color.green, color.blue); }

Qt::PenStyle PenStyle(objects::LineStyle style) {
    switch (style) {
        case objects::LineStyle::Dash:
            return Qt::DashLine;
        case objects::LineStyle::Dot:
            return Qt::DotLine;
        case objects::LineStyle::DashDot:
            return Qt::DashDotLine;
        case objects::LineStyle::DashDotDot:
            return Qt::DashDotDotLine;
        case objects::LineStyle::Null:
            return Qt::NoPen;
        case objects::LineStyle::Solid:
            break;
    }
    return Qt::SolidLine;
}

Qt::BrushStyle BrushStyle(objects::FillStyle style) {
    switch (style) {
        case objects::FillStyle::Hollow:
            return Qt::NoBrush;
        case objects::FillStyle::Horizontal:
            return Qt::HorPattern;
        case objects::FillStyle::Vertical:
            return Qt::VerPattern;
        case objects::FillStyle::ForwardDiagonal:
            return Qt::BDiagPattern;
        case objects::FillStyle::BackwardDiagonal:
            return Qt::FDiagPattern;
        case objects::FillStyle::Cross:
            return Qt::CrossPattern;
        case objects::FillStyle::DiagonalCross:
            return Qt::DiagCrossPattern;
        case objects::FillStyle::Solid:
            break;
    }
    return Qt::SolidPattern;
}

// The raster operations QPainter can do; empty for the others.
std::optional<QPainter::CompositionMode> CompositionOf(std::int32_t rop2) {
    switch (rop2) {
        case host::esriROPNotXOrPen:
            return QPainter::RasterOp_NotSourceXorDestination;
        case host::esriROPXOrPen:
            return QPainter::RasterOp_SourceXorDestination;
        case host::esriROPNot:
            return QPainter::RasterOp_NotDestination;
        case host::esriROPCopyPen:
            return QPainter::CompositionMode_Source;
        default:
            return std::nullopt;
    }
}

// One shape drawn on the screen: its parts in map coordinates and the look of
// the symbol it was drawn with.
struct DrawnShape {
    std::int32_t type = host::esriGeometryNull;
    std::vector<std::vector<QgsPointXY>> parts;
    objects::SymbolLook look;
};

// The screen of a flash: an item over the whole canvas that draws its shapes
// with the inverting raster operation (not-XOR of source and destination, the
// host's esriROPNotXOrPen) over the map. A shape drawn twice gives every pixel
// back (each drawing XORs a pixel with a constant), without antialiasing, which
// would blend edges instead. Removing the item shows the map exactly as it was.
class FlashItem final : public QgsMapCanvasItem {
  public:
    explicit FlashItem(QgsMapCanvas* canvas) : QgsMapCanvasItem(canvas) {
        setZValue(1e9);
        setRect(canvas->extent());
    }

    void Add(DrawnShape shape) { m_shapes.push_back(std::move(shape)); }

    // The pixels of the viewport a shape may touch: its points' box widened by
    // what its symbol reaches beyond them (a marker's size, a line's width and
    // mitred corners, an outline), and a pixel of rounding.
    QRect Area(const DrawnShape& shape) const {
        const double pixelsPerPoint = mMapCanvas->mapSettings().outputDpi() / 72.0;
        double reach = 2;
        if (shape.look.kind == objects::SymbolKind::Fill) {
            if (shape.look.outline) reach += 2 * std::max(1.0, shape.look.outline->widthPx);
        } else {
            reach += 2 * std::max(1.0, shape.look.size * pixelsPerPoint);
        }
        double left = 0, top = 0, right = -1, bottom = -1;
        for (const auto& part : shape.parts) {
            for (const QgsPointXY& point : part) {
                const QPointF at = toCanvasCoordinates(point);
                const bool first = right < left;
                left = first ? at.x() : std::min(left, at.x());
                right = first ? at.x() : std::max(right, at.x());
                top = first ? at.y() : std::min(top, at.y());
                bottom = first ? at.y() : std::max(bottom, at.y());
            }
        }
        if (right < left) return {};
        const QRectF scene(QPointF(left - reach, top - reach),
                           QPointF(right + reach, bottom + reach));
        return mMapCanvas->mapFromScene(scene).boundingRect().adjusted(-1, -1, 1, 1);
    }

    void paint(QPainter* painter) override {
        painter->setRenderHint(QPainter::Antialiasing, false);
        const double pixelsPerPoint = mMapCanvas->mapSettings().outputDpi() / 72.0;
        for (const DrawnShape& shape : m_shapes) {
            painter->setCompositionMode(*CompositionOf(shape.look.rop2));
            Paint(*painter, shape, pixelsPerPoint);
        }
    }

  private:
    QPointF Pixel(const QgsPointXY& point) const { return toCanvasCoordinates(point) - pos(); }

    void Paint(QPainter& painter, const DrawnShape& shape, double pixelsPerPoint) const {
        const objects::SymbolLook& look = shape.look;
        const QColor color = ToQColor(look.color);
        switch (look.kind) {
            case objects::SymbolKind::Marker: {
                const double size = std::max(1.0, look.size * pixelsPerPoint);
                painter.setPen(Qt::NoPen);
                painter.setBrush(color);
                for (const auto& part : shape.parts) {
                    for (const QgsPointXY& point : part) {
                        PaintMarker(painter, Pixel(point), size, look.marker, color);
                    }
                }
                break;
            }
            case objects::SymbolKind::Line: {
                QPen pen(color, std::max(1.0, look.size * pixelsPerPoint), PenStyle(look.line),
                         Qt::FlatCap, Qt::MiterJoin);
                painter.setPen(pen);
                painter.setBrush(Qt::NoBrush);
                for (const auto& part : shape.parts) {
                    QPolygonF line;
                    for (const QgsPointXY& point : part) line << Pixel(point);
                    painter.drawPolyline(line);
                }
                break;
            }
            case objects::SymbolKind::Fill: {
                QPainterPath area;
                area.setFillRule(Qt::OddEvenFill);
                for (const auto& part : shape.parts) {
                    QPolygonF ring;
                    for (const QgsPointXY& point : part) ring << Pixel(point);
                    area.addPolygon(ring);
                    area.closeSubpath();
                }
                painter.setPen(Qt::NoPen);
                painter.setBrush(QBrush(color, BrushStyle(look.fill)));
                painter.drawPath(area);
                if (look.outline) {
                    painter.setPen(QPen(ToQColor(look.outline->color),
                                        std::max(1.0, look.outline->widthPx),
                                        PenStyle(look.outline->style), Qt::FlatCap, Qt::MiterJoin));
                    painter.setBrush(Qt::NoBrush);
                    painter.drawPath(area);
                }
                break;
            }
        }
    }

    static void PaintMarker(QPainter& painter, QPointF centre, double size,
                            objects::MarkerShape shape, const QColor& color) {
        const double half = size / 2.0;
        const QRectF box(centre.x() - half, centre.y() - half, size, size);
        switch (shape) {
            case objects::MarkerShape::Square:
            case objects::MarkerShape::Picture:
                painter.drawRect(box);
                break;
            case objects::MarkerShape::Diamond:
                painter.drawPolygon(QPolygonF(QVector<QPointF>{
                    QPointF(centre.x(), box.top()), QPointF(box.right(), centre.y()),
                    QPointF(centre.x(), box.bottom()), QPointF(box.left(), centre.y())}));
                break;
            case objects::MarkerShape::Cross:
            case objects::MarkerShape::X: {
                // One path, so the arms' shared pixels are drawn once.
                QPainterPath arms;
                if (shape == objects::MarkerShape::Cross) {
                    arms.addRect(QRectF(box.left(), centre.y() - 1, size, 2));
                    arms.addRect(QRectF(centre.x() - 1, box.top(), 2, size));
                } else {
                    QPainterPathStroker stroker;
                    stroker.setWidth(2);
                    QPainterPath lines;
                    lines.moveTo(box.topLeft());
                    lines.lineTo(box.bottomRight());
                    lines.moveTo(box.topRight());
                    lines.lineTo(box.bottomLeft());
                    arms = stroker.createStroke(lines);
                }
                painter.fillPath(arms.simplified(), color);
                break;
            }
            case objects::MarkerShape::Circle:
                painter.drawEllipse(box);
                break;
        }
    }

    std::vector<DrawnShape> m_shapes;
};

// The parts of a host geometry in map coordinates; a bag adds its members'.
void ReadParts(const host::IGeometry& shape, std::vector<std::vector<QgsPointXY>>& parts) {
    if (const auto* bag = dynamic_cast<const host::IGeometryCollection*>(&shape)) {
        for (std::int32_t i = 0; i < bag->GeometryCount(); ++i) {
            if (const auto member = bag->Geometry(i)) ReadParts(*member, parts);
        }
    } else if (const auto* point = dynamic_cast<const host::IPoint*>(&shape)) {
        parts.push_back({QgsPointXY(point->X(), point->Y())});
    } else if (const auto* envelope = dynamic_cast<const host::IEnvelope*>(&shape)) {
        if (envelope->IsEmpty()) return;
        parts.push_back({QgsPointXY(envelope->XMin(), envelope->YMin()),
                         QgsPointXY(envelope->XMax(), envelope->YMin()),
                         QgsPointXY(envelope->XMax(), envelope->YMax()),
                         QgsPointXY(envelope->XMin(), envelope->YMax())});
    } else if (const auto* multi = dynamic_cast<const objects::MultiPartGeometry*>(&shape)) {
        for (const objects::Path& path : multi->Parts()) {
            std::vector<QgsPointXY> part;
            for (const objects::XY& p : path) part.emplace_back(p.x, p.y);
            parts.push_back(std::move(part));
        }
    } else {
        InvalidArgument("The screen was given a geometry QGIS cannot read");
    }
}

class ScreenDisplay final : public host::IScreenDisplay {
  public:
    explicit ScreenDisplay(std::weak_ptr<Session> session) : m_session(std::move(session)) {}
    ~ScreenDisplay() override { RemoveItem(); }
    ScreenDisplay(const ScreenDisplay&) = delete;
    ScreenDisplay& operator=(const ScreenDisplay&) = delete;
    ScreenDisplay(ScreenDisplay&&) = delete;
    ScreenDisplay& operator=(ScreenDisplay&&) = delete;

    // Starting again while drawing starts afresh, so a run that failed between
    // StartDrawing and FinishDrawing leaves no flash behind.
    void StartDrawing(std::intptr_t hDC, std::int16_t cacheId) override {
        Session& session = Lock();
        session.Enter("IDisplay::StartDrawing");
        if (hDC != 0) InvalidArgument("QGIS draws only on its own map canvas (hDC 0)");
        if (cacheId != host::esriNoScreenCache) {
            InvalidArgument("QGIS draws only on the visible screen (cache id -1), not on cache " +
                            std::to_string(cacheId));
        }
        RemoveItem();
        // A zoom asked for just before must be drawn first, or the flash would
        // land on the old view.
        session.WaitForRedraw();
        m_canvas = &session.Canvas();
        m_item = new FlashItem(m_canvas);
        if (session.context) ++session.context->record.startDrawings;
    }

    void FinishDrawing() override {
        Session& session = Lock();
        session.Enter("IDisplay::FinishDrawing");
        if (m_item == nullptr) throw Error(host::E_HOST_FAIL, "FinishDrawing without StartDrawing");
        RemoveItem();
        if (session.context) ++session.context->record.finishDrawings;
    }

    void SetSymbol(const std::shared_ptr<host::ISymbol>& symbol) override {
        Session& session = Lock();
        session.Enter("IDisplay::SetSymbol");
        if (!symbol) throw Error(host::E_HOST_POINTER, "SetSymbol needs a symbol");
        const objects::QuietHost quiet(session.context);
        objects::ReadSymbol(symbol);  // refuses a kind that cannot draw, before it is set
        m_symbol = symbol;
    }

    void DrawPoint(const std::shared_ptr<host::IGeometry>& point) override {
        Lock().Enter("IDisplay::DrawPoint");
        Draw("DrawPoint", point, {host::esriGeometryPoint}, objects::SymbolKind::Marker);
    }
    void DrawMultipoint(const std::shared_ptr<host::IGeometry>& multipoint) override {
        Lock().Enter("IDisplay::DrawMultipoint");
        Draw("DrawMultipoint", multipoint, {host::esriGeometryMultipoint},
             objects::SymbolKind::Marker);
    }
    void DrawPolyline(const std::shared_ptr<host::IGeometry>& polyline) override {
        Lock().Enter("IDisplay::DrawPolyline");
        Draw("DrawPolyline", polyline, {host::esriGeometryPolyline}, objects::SymbolKind::Line);
    }
    void DrawPolygon(const std::shared_ptr<host::IGeometry>& polygon) override {
        Lock().Enter("IDisplay::DrawPolygon");
        Draw("DrawPolygon", polygon, {host::esriGeometryPolygon, host::esriGeometryEnvelope},
             objects::SymbolKind::Fill);
    }

    // QGIS redraws the whole canvas whatever the rectangle, at the next turn of
    // the event loop: counted as a redraw, as Refresh counts its own.
    void Invalidate(const std::shared_ptr<host::IEnvelope>&, bool, std::int16_t) override {
        Session& session = Lock();
        session.Enter("IScreenDisplay::Invalidate");
        if (session.context) ++session.context->record.redraws;
        session.RequestRedraw();
    }

  private:
    Session& Lock() const {
        const auto session = m_session.lock();
        if (!session) throw Error(host::E_HOST_POINTER, "The map is gone");
        return *session;
    }

    void Draw(const char* operation, const std::shared_ptr<host::IGeometry>& shape,
              std::initializer_list<std::int32_t> accepted, objects::SymbolKind kind) {
        Session& session = Lock();
        if (m_item == nullptr) {
            throw Error(host::E_HOST_FAIL, std::string(operation) + " needs StartDrawing first");
        }
        if (!shape) throw Error(host::E_HOST_POINTER, std::string(operation) + " needs a geometry");
        if (!m_symbol) {
            throw Error(host::E_HOST_FAIL, std::string(operation) + " needs a symbol: SetSymbol");
        }
        const objects::QuietHost quiet(session.context);
        DrawnShape drawn;
        drawn.type = shape->GeometryType();
        if (std::find(accepted.begin(), accepted.end(), drawn.type) == accepted.end()) {
            InvalidArgument(std::string(operation) + " cannot draw a geometry of type " +
                            std::to_string(drawn.type));
        }
        drawn.look = objects::ReadSymbol(m_symbol);
        if (drawn.look.kind != kind) {
            InvalidArgument(std::string(operation) + " cannot draw with a " + drawn.look.kindName +
                            " symbol");
        }
        if (!CompositionOf(drawn.look.rop2)) {
            InvalidArgument(std::string(operation) +
                            ": QGIS's screen cannot draw with raster "
                            "operation " +
                            std::to_string(drawn.look.rop2));
        }
        ReadParts(*shape, drawn.parts);
        if (session.context) {
            session.context->record.draws.push_back(objects::DrawRecord{
                operation, drawn.type, drawn.look.kindName, drawn.look.rgb, drawn.look.rop2,
                drawn.look.kind == objects::SymbolKind::Fill ? 0.0 : drawn.look.size});
        }
        // Shown at once: the thread sleeps next, and nothing paints while it does.
        // Only the pixels the shape may touch are painted again, not the whole
        // canvas (six times per Source feature of a Zoom and Flash run): where
        // the view shows two points, zoomflash_qgis_bench measured a Source
        // feature at 1.00-1.04x QGIS's own redraw this way and 1.02-1.11x with
        // the whole canvas (CPU time, two runs each on a loaded machine).
        const QRect area = m_item->Area(drawn);
        m_item->Add(std::move(drawn));
        m_touched |= area;
        m_item->update(m_item->mapRectFromScene(m_canvas->mapToScene(area).boundingRect()));
        m_canvas->viewport()->repaint(area);
        if (session.context && session.context->hooks.screenChanged) {
            session.context->hooks.screenChanged();
        }
    }

    void RemoveItem() {
        if (m_item == nullptr) return;
        // The canvas's scene deletes its items with it: only a live canvas still
        // holds ours.
        if (!m_canvas.isNull()) {
            delete m_item;
            m_canvas->viewport()->repaint(m_touched);
        }
        m_item = nullptr;
        m_touched = QRect();
    }

    std::weak_ptr<Session> m_session;
    std::shared_ptr<host::ISymbol> m_symbol;
    QPointer<QgsMapCanvas> m_canvas;
    FlashItem* m_item = nullptr;
    QRect m_touched;  // the viewport's pixels the item's shapes may touch
};

class Map final : public host::IMap,
                  public host::IActiveView,
                  public host::IStandaloneTableCollection {
  public:
    explicit Map(std::shared_ptr<Session> session) : m_session(std::move(session)) {}

    std::string Name() const override {
        m_session->Enter("IMap::Name");
        return "Layers";
    }
    std::int32_t LayerCount() const override {
        m_session->Enter("IMap::LayerCount");
        return static_cast<std::int32_t>(TopLevel().size());
    }
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override {
        m_session->Enter("IMap::Layer");
        const auto nodes = TopLevel();
        if (index < 0 || static_cast<std::size_t>(index) >= nodes.size()) {
            InvalidArgument("The map has no layer at index " + std::to_string(index));
        }
        return MakeLayer(m_session, *nodes[static_cast<std::size_t>(index)]);
    }

    std::shared_ptr<host::IEnvelope> Extent() const override {
        m_session->Enter("IActiveView::Extent");
        const QgsRectangle extent = m_session->Canvas().extent();
        return objects::MakeEnvelope(extent.xMinimum(), extent.yMinimum(), extent.xMaximum(),
                                     extent.yMaximum(), m_session->context);
    }
    void SetExtent(const std::shared_ptr<host::IEnvelope>& extent) override {
        m_session->Enter("IActiveView::SetExtent");
        if (!extent) throw Error(host::E_HOST_POINTER, "The extent needs an envelope");
        const objects::QuietHost quiet(m_session->context);
        if (extent->IsEmpty()) InvalidArgument("The extent cannot be an empty envelope");
        const QgsRectangle wanted(extent->XMin(), extent->YMin(), extent->XMax(), extent->YMax());
        if (m_session->context) {
            m_session->context->record.extents.push_back(
                {wanted.xMinimum(), wanted.yMinimum(), wanted.xMaximum(), wanted.yMaximum()});
        }
        m_session->Canvas().setExtent(Fitted(wanted));
        m_session->RequestRedraw();
    }
    std::shared_ptr<host::IScreenDisplay> ScreenDisplay() const override {
        m_session->Enter("IActiveView::ScreenDisplay");
        if (!m_session->display) {
            m_session->display = std::make_shared<qgis::ScreenDisplay>(m_session);
        }
        return m_session->display;
    }
    void Refresh() override {
        m_session->Enter("IActiveView::Refresh");
        if (m_session->context) ++m_session->context->record.redraws;
        m_session->RequestRedraw();
    }

    std::int32_t StandaloneTableCount() const override {
        m_session->Enter("IStandaloneTableCollection::StandaloneTableCount");
        return static_cast<std::int32_t>(TablesOf(m_session->Project()).size());
    }
    std::shared_ptr<host::IStandaloneTable> StandaloneTable(std::int32_t index) const override {
        m_session->Enter("IStandaloneTableCollection::StandaloneTable");
        const auto tables = TablesOf(m_session->Project());
        if (index < 0 || static_cast<std::size_t>(index) >= tables.size()) {
            InvalidArgument("The map has no table at index " + std::to_string(index));
        }
        return MakeTable(m_session, *tables[static_cast<std::size_t>(index)]);
    }

  private:
    // A rectangle with no height (a view of a given width around a point, or a
    // horizontal line) or no width is one QGIS's canvas takes as empty, keeping
    // the scale it had: it gets the side the window's shape gives it, as a map
    // window fits any extent to itself. A point gets the view as it is, centred.
    QgsRectangle Fitted(const QgsRectangle& wanted) const {
        const QgsMapCanvas& canvas = m_session->Canvas();
        const QSize size = canvas.mapSettings().outputSize();
        if (size.width() <= 0 || size.height() <= 0) return wanted;
        const double aspect = static_cast<double>(size.height()) / size.width();
        QgsRectangle fitted = wanted;
        if (wanted.width() > 0 && wanted.height() <= 0) {
            const double half = wanted.width() * aspect / 2;
            fitted.setYMinimum(wanted.center().y() - half);
            fitted.setYMaximum(wanted.center().y() + half);
        } else if (wanted.height() > 0 && wanted.width() <= 0) {
            const double half = wanted.height() / aspect / 2;
            fitted.setXMinimum(wanted.center().x() - half);
            fitted.setXMaximum(wanted.center().x() + half);
        } else if (wanted.width() <= 0 && wanted.height() <= 0) {
            const QgsRectangle now = canvas.extent();
            fitted = QgsRectangle(
                wanted.center().x() - now.width() / 2, wanted.center().y() - now.height() / 2,
                wanted.center().x() + now.width() / 2, wanted.center().y() + now.height() / 2);
        }
        return fitted;
    }

    // The project's layers in the Layers panel's order, those inside groups in
    // their place: in QGIS a group only arranges the panel, and the tools must
    // see every layer a project has.
    std::vector<QgsLayerTreeNode*> TopLevel() const {
        std::vector<QgsLayerTreeNode*> nodes;
        if (QgsLayerTree* root = m_session->Project().layerTreeRoot()) CollectLayers(*root, nodes);
        return nodes;
    }
    static void CollectLayers(QgsLayerTreeGroup& group, std::vector<QgsLayerTreeNode*>& nodes) {
        for (QgsLayerTreeNode* child : group.children()) {
            if (QgsLayerTree::isGroup(child)) {
                CollectLayers(*QgsLayerTree::toGroup(child), nodes);
            } else if (IsMapLayerNode(*child)) {
                nodes.push_back(child);
            }
        }
    }

    std::shared_ptr<Session> m_session;
};

}  // namespace

std::shared_ptr<host::IMap> MakeMap(const std::shared_ptr<Session>& session) {
    return std::make_shared<Map>(session);
}

}  // namespace velorin::qgis

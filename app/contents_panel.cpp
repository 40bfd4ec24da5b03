#include "app/contents_panel.h"

#include <QDropEvent>
#include <QFont>
#include <QHeaderView>
#include <QPalette>
#include <QPixmap>
#include <QSignalBlocker>
#include <QString>
#include <algorithm>

#include "app/legend.h"
#include "host/object.h"

namespace velorin::app {

namespace {

constexpr int kLayerRole = Qt::UserRole;
constexpr int kSwatchWidth = 24;
constexpr int kSwatchHeight = 18;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// A feature layer without data draws nothing and cannot be searched: its data
// set was missing when the map opened.
bool IsUnavailable(const std::shared_ptr<host::ILayer>& layer) {
    const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
    return features && !features->Data();
}

QString LayerCaption(const std::shared_ptr<host::ILayer>& layer) {
    QString caption = ToQt(layer->Name());
    if (IsUnavailable(layer)) return caption + QStringLiteral("  (unavailable)");
    if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
        const std::size_t selected = features->Selection().Oids().size();
        if (selected > 0) caption += QStringLiteral("  (%1 selected)").arg(selected);
    }
    return caption;
}

bool IsFeatureLayerWithData(const std::shared_ptr<host::ILayer>& layer) {
    const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
    return features && features->Data();
}

}  // namespace

ContentsPanel::ContentsPanel(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(kSwatchWidth, kSwatchHeight));
    setRootIsDecorated(true);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // A double-click opens a layer's Properties; folding its legend as well would
    // undo what the person arranged.
    setExpandsOnDoubleClick(false);
    // Rows are dragged to reorder layers; the drop is the window's to carry out,
    // and the list is then built again from the map.
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDropIndicatorShown(true);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pixel) {
        const auto layer = LayerAt(pixel);
        if (!layer) return;
        SetCurrentLayer(layer);
        std::unique_ptr<QMenu> menu(MenuFor(layer));
        menu->exec(viewport()->mapToGlobal(pixel));
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        const auto layer = LayerOf(item);
        if (IsFeatureLayerWithData(layer) && onProperties) onProperties(layer);
    });
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { MarkCurrent(); });
    // Legends the person folded stay folded when the list is built again (after a
    // reorder, a removal, a new legend): a long one would otherwise push the other
    // layers out of view every time.
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (const auto layer = LayerOf(item)) m_folded.insert(layer.get());
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (const auto layer = LayerOf(item)) m_folded.erase(layer.get());
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        const auto layer = LayerOf(item);
        if (!layer || !item->flags().testFlag(Qt::ItemIsUserCheckable)) return;
        // A caption changed too (RefreshCaptions); only a new tick is the person's.
        const bool visible = item->checkState(0) == Qt::Checked;
        if (visible != layer->Visible() && onVisibility) onVisibility(layer, visible);
    });
}

std::shared_ptr<host::ILayer> ContentsPanel::LayerOf(const QTreeWidgetItem* item) const {
    if (item == nullptr) return nullptr;
    bool ok = false;
    const int index = item->data(0, kLayerRole).toInt(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= m_layers.size()) return nullptr;
    return m_layers[static_cast<std::size_t>(index)];
}

QTreeWidgetItem* ContentsPanel::ItemOf(const std::shared_ptr<host::ILayer>& layer) {
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        // Legend rows carry their layer too; the layer's own row has a check box.
        if (LayerOf(*it) == layer && (*it)->flags().testFlag(Qt::ItemIsUserCheckable)) return *it;
    }
    return nullptr;
}

QTreeWidgetItem* ContentsPanel::AddLayer(const std::shared_ptr<host::ILayer>& layer,
                                         QTreeWidgetItem* parent) {
    const int index = static_cast<int>(m_layers.size());
    m_layers.push_back(layer);
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, LayerCaption(layer));
    item->setData(0, kLayerRole, index);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, layer->Visible() ? Qt::Checked : Qt::Unchecked);
    item->setFlags(item->flags() | Qt::ItemIsDragEnabled);
    if (!layer->Visible() || IsUnavailable(layer))
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    if (IsUnavailable(layer) && whyUnavailable) {
        const std::string why = whyUnavailable(*layer);
        item->setToolTip(0,
                         ToQt(why.empty() ? std::string("No data") : why) +
                             QStringLiteral(". Repair Data Source... in its menu names the file."));
    }

    if (const auto group = host::As<host::ICompositeLayer>(layer)) {
        const std::int32_t count = group->Count();
        for (std::int32_t i = 0; i < count; ++i) AddLayer(group->Layer(i), item);
    } else if (const auto geo = host::As<host::IGeoFeatureLayer>(layer)) {
        for (const LegendEntry& entry : LegendOf(geo->Renderer())) {
            auto* row = new QTreeWidgetItem(item);
            row->setText(0, ToQt(entry.label));
            row->setIcon(
                0, QPixmap::fromImage(SymbolSwatch(entry.symbol, kSwatchWidth, kSwatchHeight)));
            row->setData(0, kLayerRole, index);
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            // A hidden layer's legend is drawn disabled: its swatches too.
            if (!layer->Visible()) row->setDisabled(true);
        }
    }
    item->setExpanded(!m_folded.contains(layer.get()));
    return item;
}

void ContentsPanel::Rebuild(const memory::Map* map) {
    const std::shared_ptr<host::ILayer> current = CurrentLayer();
    const QSignalBlocker blocker(this);
    clear();
    m_marked = nullptr;
    m_layers.clear();
    m_map = map;
    if (map == nullptr) return;
    for (const auto& layer : map->Layers()) AddLayer(layer, nullptr);
    // A layer that left the map is forgotten, so that a later one at its address
    // starts unfolded.
    std::erase_if(m_folded, [this](const host::ILayer* folded) {
        return std::none_of(m_layers.begin(), m_layers.end(),
                            [&](const auto& layer) { return layer.get() == folded; });
    });
    for (const auto& table : map->StandaloneTables()) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, ToQt(table->Name()) + QStringLiteral("  (table)"));
        item->setFlags(Qt::ItemIsEnabled);
    }
    if (current && SetCurrentLayer(current)) return;
    for (const auto& layer : m_layers) {
        if (std::dynamic_pointer_cast<memory::FeatureLayer>(layer) && SetCurrentLayer(layer)) {
            return;
        }
    }
}

void ContentsPanel::SetFolded(const host::ILayer& layer, bool folded) {
    if (folded) {
        m_folded.insert(&layer);
    } else {
        m_folded.erase(&layer);
    }
}

void ContentsPanel::RefreshCaptions() {
    const QSignalBlocker blocker(this);
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        const auto layer = LayerOf(*it);
        if (layer && (*it)->flags().testFlag(Qt::ItemIsUserCheckable)) {
            (*it)->setText(0, LayerCaption(layer));
            (*it)->setCheckState(0, layer->Visible() ? Qt::Checked : Qt::Unchecked);
            (*it)->setForeground(
                0, palette().brush(layer->Visible() && !IsUnavailable(layer) ? QPalette::Active
                                                                             : QPalette::Disabled,
                                   QPalette::Text));
        } else if (layer) {
            (*it)->setDisabled(!layer->Visible());
        }
    }
}

void ContentsPanel::MarkCurrent() {
    QTreeWidgetItem* row = ItemOf(CurrentLayer());
    if (row == m_marked) return;
    const QSignalBlocker blocker(this);
    if (m_marked != nullptr) {
        QFont font = m_marked->font(0);
        font.setBold(false);
        m_marked->setFont(0, font);
    }
    m_marked = row;
    if (m_marked != nullptr) {
        QFont font = m_marked->font(0);
        font.setBold(true);
        m_marked->setFont(0, font);
    }
}

std::shared_ptr<host::ILayer> ContentsPanel::LayerAt(QPoint pixel) const {
    return LayerOf(itemAt(pixel));
}

QMenu* ContentsPanel::MenuFor(const std::shared_ptr<host::ILayer>& layer) {
    auto* menu = new QMenu(this);
    const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
    const bool hasData = features && features->Data();
    const auto add = [&](const QString& text, const LayerAction& action, bool enabled) {
        QAction* item = menu->addAction(text);
        item->setEnabled(enabled && static_cast<bool>(action));
        connect(item, &QAction::triggered, this, [action, layer] { action(layer); });
        return item;
    };
    add(QStringLiteral("&Zoom to Layer"), onZoomToLayer,
        hasData || host::Supports<host::ICompositeLayer>(layer));
    add(QStringLiteral("Zoom to &Selection"), onZoomToSelection,
        hasData && !features->Selection().Oids().empty());
    add(QStringLiteral("Open Attribute &Table"), onOpenTable, hasData);
    menu->addSeparator();
    add(QStringLiteral("&Remove"), onRemove,
        m_map != nullptr && std::find(m_map->Layers().begin(), m_map->Layers().end(), layer) !=
                                m_map->Layers().end());
    if (features && !hasData) add(QStringLiteral("Repair Data &Source..."), onRepair, true);
    menu->addSeparator();
    add(QStringLiteral("&Properties..."), onProperties, hasData);
    return menu;
}

int ContentsPanel::DropIndex(const std::shared_ptr<host::ILayer>& layer, QPoint pixel) const {
    if (m_map == nullptr) return -1;
    const auto& layers = m_map->Layers();
    const auto from = std::find(layers.begin(), layers.end(), layer);
    if (from == layers.end()) return -1;
    QTreeWidgetItem* target = itemAt(pixel);
    while (target != nullptr && target->parent() != nullptr) target = target->parent();
    int to = static_cast<int>(layers.size()) - 1;
    if (target != nullptr) {
        const auto over = LayerOf(target);
        const auto at = std::find(layers.begin(), layers.end(), over);
        // A standalone table's row: below every layer.
        if (at != layers.end()) to = static_cast<int>(at - layers.begin());
    }
    return to == static_cast<int>(from - layers.begin()) ? -1 : to;
}

void ContentsPanel::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);
    // Only whole top-level layers move, and only among themselves.
    if (event->source() != this || !m_map ||
        std::find(m_map->Layers().begin(), m_map->Layers().end(), CurrentLayer()) ==
            m_map->Layers().end()) {
        event->ignore();
    }
}

void ContentsPanel::dropEvent(QDropEvent* event) {
    // The tree must not move rows itself: the map is reordered and the list built
    // again from it.
    const auto layer = CurrentLayer();
    const int index = event->source() == this ? DropIndex(layer, event->position().toPoint()) : -1;
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (index >= 0 && onMove) onMove(layer, index);
}

std::shared_ptr<host::ILayer> ContentsPanel::CurrentLayer() const { return LayerOf(currentItem()); }

std::shared_ptr<memory::FeatureLayer> ContentsPanel::CurrentFeatureLayer() const {
    return std::dynamic_pointer_cast<memory::FeatureLayer>(CurrentLayer());
}

bool ContentsPanel::SetCurrentLayer(const std::shared_ptr<host::ILayer>& layer) {
    QTreeWidgetItem* item = ItemOf(layer);
    if (item == nullptr) return false;
    setCurrentItem(item);
    MarkCurrent();
    return true;
}

}  // namespace velorin::app

#include "app/contents_panel.h"

#include <QHeaderView>
#include <QPixmap>
#include <QSignalBlocker>
#include <QString>

#include "app/legend.h"
#include "host/object.h"

namespace velorin::app {

namespace {

constexpr int kLayerRole = Qt::UserRole;
constexpr int kSwatchWidth = 24;
constexpr int kSwatchHeight = 18;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

QString LayerCaption(const std::shared_ptr<host::ILayer>& layer) {
    QString caption = ToQt(layer->Name());
    if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
        const std::size_t selected = features->Selection().Oids().size();
        if (selected > 0) caption += QStringLiteral("  (%1 selected)").arg(selected);
    }
    return caption;
}

}  // namespace

ContentsPanel::ContentsPanel(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(kSwatchWidth, kSwatchHeight));
    setRootIsDecorated(true);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
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
        }
    }
    item->setExpanded(true);
    return item;
}

void ContentsPanel::Rebuild(const memory::Map* map) {
    const std::shared_ptr<host::ILayer> current = CurrentLayer();
    const QSignalBlocker blocker(this);
    clear();
    m_layers.clear();
    if (map == nullptr) return;
    for (const auto& layer : map->Layers()) AddLayer(layer, nullptr);
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

void ContentsPanel::RefreshCaptions() {
    const QSignalBlocker blocker(this);
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        const auto layer = LayerOf(*it);
        if (layer && (*it)->flags().testFlag(Qt::ItemIsUserCheckable)) {
            (*it)->setText(0, LayerCaption(layer));
            (*it)->setCheckState(0, layer->Visible() ? Qt::Checked : Qt::Unchecked);
        }
    }
}

std::shared_ptr<host::ILayer> ContentsPanel::CurrentLayer() const { return LayerOf(currentItem()); }

std::shared_ptr<memory::FeatureLayer> ContentsPanel::CurrentFeatureLayer() const {
    return std::dynamic_pointer_cast<memory::FeatureLayer>(CurrentLayer());
}

bool ContentsPanel::SetCurrentLayer(const std::shared_ptr<host::ILayer>& layer) {
    QTreeWidgetItem* item = ItemOf(layer);
    if (item == nullptr) return false;
    setCurrentItem(item);
    return true;
}

}  // namespace velorin::app

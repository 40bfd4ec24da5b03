#include "app/identify_panel.h"

#include <QFont>
#include <QHeaderView>

namespace velorin::app {

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

IdentifyPanel::IdentifyPanel(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("identify"));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void IdentifyPanel::ForgetLayer(const std::shared_ptr<host::ILayer>& layer) {
    const auto before = m_shown.size();
    std::erase_if(m_shown, [&](const IdentifiedFeature& feature) {
        const auto from = feature.from.lock();
        return !from || from == layer;
    });
    if (m_shown.size() != before) Show(std::move(m_shown));
}

void IdentifyPanel::Show(std::vector<IdentifiedFeature> features) {
    clear();
    m_shown = std::move(features);
    const std::vector<IdentifiedFeature>& shown = m_shown;
    if (shown.empty()) {
        auto* none = new QTreeWidgetItem(this);
        none->setText(0, QStringLiteral("No features here"));
        none->setFlags(Qt::ItemIsEnabled);
        return;
    }
    QTreeWidgetItem* layerRow = nullptr;
    for (const IdentifiedFeature& feature : shown) {
        if (layerRow == nullptr || layerRow->text(0) != ToQt(feature.layer)) {
            layerRow = new QTreeWidgetItem(this);
            layerRow->setText(0, ToQt(feature.layer));
            QFont bold = layerRow->font(0);
            bold.setBold(true);
            layerRow->setFont(0, bold);
            layerRow->setFirstColumnSpanned(true);
            layerRow->setExpanded(true);
        }
        auto* featureRow = new QTreeWidgetItem(layerRow);
        if (feature.heading.empty()) {
            featureRow->setText(0, QStringLiteral("Feature %1").arg(feature.oid));
        } else {
            featureRow->setText(0, ToQt(feature.heading));
            featureRow->setText(1, QStringLiteral("OID %1").arg(feature.oid));
        }
        for (const auto& [name, value] : feature.fields) {
            auto* row = new QTreeWidgetItem(featureRow);
            row->setText(0, ToQt(name));
            row->setText(1, ToQt(value));
        }
        featureRow->setExpanded(true);
    }
    scrollToTop();
}

QString IdentifyPanel::ValueOf(int index, const QString& field) const {
    int seen = 0;
    for (int l = 0; l < topLevelItemCount(); ++l) {
        const QTreeWidgetItem* layerRow = topLevelItem(l);
        for (int f = 0; f < layerRow->childCount(); ++f, ++seen) {
            if (seen != index) continue;
            const QTreeWidgetItem* featureRow = layerRow->child(f);
            for (int r = 0; r < featureRow->childCount(); ++r) {
                if (featureRow->child(r)->text(0) == field) return featureRow->child(r)->text(1);
            }
            return {};
        }
    }
    return {};
}

}  // namespace velorin::app

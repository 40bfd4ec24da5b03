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

void IdentifyPanel::Show(const std::vector<IdentifiedFeature>& features) {
    clear();
    if (features.empty()) {
        auto* none = new QTreeWidgetItem(this);
        none->setText(0, QStringLiteral("No features here"));
        none->setFlags(Qt::ItemIsEnabled);
        return;
    }
    QTreeWidgetItem* layerRow = nullptr;
    for (const IdentifiedFeature& feature : features) {
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
        featureRow->setText(0, QStringLiteral("Feature %1").arg(feature.oid));
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

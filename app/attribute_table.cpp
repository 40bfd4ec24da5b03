#include "app/attribute_table.h"

#include <QApplication>
#include <QCollator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>
#include <variant>

#include "app/symbology.h"
#include "host/codes.h"
#include "platform/memory/feature_class.h"

namespace velorin::app {

namespace {

QString ShapeName(const host::IGeometry& shape) {
    switch (shape.GeometryType()) {
        case host::esriGeometryPoint:
            return QStringLiteral("Point");
        case host::esriGeometryMultipoint:
            return QStringLiteral("Multipoint");
        case host::esriGeometryPolyline:
            return QStringLiteral("Polyline");
        case host::esriGeometryPolygon:
            return QStringLiteral("Polygon");
        default:
            return QStringLiteral("Shape");
    }
}

}  // namespace

QCollator TextCollator() {
    QCollator collator;
    collator.setNumericMode(true);
    return collator;
}

QString CellText(const objects::Fields& fields, const memory::RowRecord& row, std::int32_t field) {
    if (field == fields.ShapeIndex()) return row.shape ? ShapeName(*row.shape) : QString();
    const host::FieldValue& value = row.values[static_cast<std::size_t>(field)];
    if (value.IsNull()) return QStringLiteral("<Null>");
    return QString::fromStdString(host::ToText(value));
}

// ---- AttributeTableModel ------------------------------------------------------------

// Lets a sorting thread hand its result to the model while it lives: the model
// clears the pointer as it goes, under the lock the thread posts under.
struct AttributeTableModel::Mailbox {
    std::mutex lock;
    AttributeTableModel* model = nullptr;
};

AttributeTableModel::AttributeTableModel(std::shared_ptr<memory::FeatureLayer> layer,
                                         QObject* parent)
    : QAbstractTableModel(parent),
      m_layer(std::move(layer)),
      m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->model = this;
    if (!m_layer->Data()) return;
    const objects::QuietHost quiet(Store().Context());
    const std::string definition = m_layer->DefinitionExpression();
    if (definition.empty()) {
        m_rows.resize(Store().Size());
        std::iota(m_rows.begin(), m_rows.end(), 0U);
    } else {
        for (const std::size_t position : memory::FindRows(Store(), definition, nullptr)) {
            m_rows.push_back(static_cast<std::uint32_t>(position));
        }
    }
}

int AttributeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int AttributeTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_layer->Data()) return 0;
    return Store().FieldSet()->Count();
}

QVariant AttributeTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) {
        const memory::RowRecord& row = Store().At(m_rows[static_cast<std::size_t>(index.row())]);
        return CellText(*Store().FieldSet(), row, index.column());
    }
    if (role == Qt::TextAlignmentRole) {
        const memory::RowRecord& row = Store().At(m_rows[static_cast<std::size_t>(index.row())]);
        const bool number = row.values[static_cast<std::size_t>(index.column())].IsNumber();
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    return {};
}

QVariant AttributeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return {};
    return QString::fromStdString(Store().FieldSet()->At(section).NameText());
}

namespace {

// The rows (store positions) in the order of the column: texts as the person's
// language orders them ("Ängelholm" among the A's, not after "Zürich"), each
// row's collation key made once rather than at every comparison; other values
// in their natural order; nulls first ascending. Positions ascend with object
// ids: a stable sort keeps equal values in object-id order, the same both ways.
// Reads the store only, so it may run on any thread.
std::vector<std::uint32_t> Ordered(const memory::RowStore& store, std::vector<std::uint32_t> rows,
                                   int column, Qt::SortOrder order) {
    std::sort(rows.begin(), rows.end());
    const auto field = static_cast<std::size_t>(column);
    const bool shapes = column == store.FieldSet()->ShapeIndex();
    const auto stable = [&](const auto& before) {
        std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
            return order == Qt::AscendingOrder ? before(a, b) : before(b, a);
        });
    };
    if (shapes) {
        stable([&](std::uint32_t a, std::uint32_t b) {
            const auto left = store.ShapeAt(a);
            const auto right = store.ShapeAt(b);
            return (left ? left->GeometryType() : -1) < (right ? right->GeometryType() : -1);
        });
    } else if (store.FieldSet()->At(column).Type() == host::esriFieldTypeString) {
        const QCollator collator = TextCollator();
        std::vector<std::optional<QCollatorSortKey>> keys(store.Size());
        for (const std::uint32_t position : rows) {
            const host::FieldValue value = store.ValueAt(position, field);
            if (const auto* text = std::get_if<std::string>(&value.Get())) {
                keys[position].emplace(collator.sortKey(QString::fromStdString(*text)));
            }
        }
        stable([&](std::uint32_t a, std::uint32_t b) {
            const auto& left = keys[a];
            const auto& right = keys[b];
            if (!left || !right) return !left && right;
            return left->compare(*right) < 0;
        });
    } else {
        stable([&](std::uint32_t a, std::uint32_t b) {
            return ValueBefore(store.ValueAt(a, field), store.ValueAt(b, field));
        });
    }
    return rows;
}

}  // namespace

AttributeTableModel::~AttributeTableModel() {
    const std::lock_guard<std::mutex> closed(m_mailbox->lock);
    m_mailbox->model = nullptr;
}

void AttributeTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    if (m_rows.size() < kSortInBackground) {
        SortAtOnce(column, order);
        return;
    }
    // A later click wins over a sort still under way.
    const int generation = ++m_generation;
    m_sorting = true;
    std::thread([mailbox = m_mailbox, layer = m_layer, rows = m_rows, column, order,
                 generation]() mutable {
        std::vector<std::uint32_t> ordered =
            Ordered(*layer->Data()->Store(), std::move(rows), column, order);
        const std::lock_guard<std::mutex> open(mailbox->lock);
        if (mailbox->model == nullptr) return;
        AttributeTableModel* model = mailbox->model;
        QMetaObject::invokeMethod(
            model,
            [model, generation, ordered = std::move(ordered)]() mutable {
                if (generation != model->m_generation) return;
                model->m_sorting = false;
                model->ShowOrder(std::move(ordered));
            },
            Qt::QueuedConnection);
    }).detach();
}

void AttributeTableModel::SortAtOnce(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    ++m_generation;
    m_sorting = false;
    ShowOrder(Ordered(Store(), m_rows, column, order));
}

void AttributeTableModel::ShowOrder(std::vector<std::uint32_t> rows) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::int32_t> oids;
    oids.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) oids.push_back(OidAt(index.row()));
    m_rows = std::move(rows);
    m_rowOf.clear();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.push_back(index(RowOf(oids[static_cast<std::size_t>(i)]), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::int32_t AttributeTableModel::OidAt(int row) const {
    if (row < 0 || row >= rowCount()) return 0;
    return Store().OidAt(m_rows[static_cast<std::size_t>(row)]);
}

int AttributeTableModel::RowOf(std::int32_t oid) const {
    if (!m_layer->Data()) return -1;
    const auto position = Store().PositionOf(oid);
    if (!position) return -1;
    if (m_rowOf.empty()) {
        m_rowOf.assign(Store().Size(), -1);
        for (std::size_t row = 0; row < m_rows.size(); ++row) {
            m_rowOf[m_rows[row]] = static_cast<std::int32_t>(row);
        }
    }
    return *position < m_rowOf.size() ? m_rowOf[*position] : -1;
}

// ---- AttributeTable -----------------------------------------------------------------

AttributeTable::AttributeTable(std::shared_ptr<memory::FeatureLayer> layer, QWidget* parent)
    // A tool window: it stays above the map window it belongs to while the person
    // clicks on the map, as desktop GIS attribute tables do.
    : QWidget(parent, Qt::Tool), m_layer(std::move(layer)) {
    setObjectName(QStringLiteral("attributeTable"));
    setWindowTitle(QStringLiteral("Attributes of ") + QString::fromStdString(m_layer->Name()));
    m_model = new AttributeTableModel(m_layer, this);
    m_view = new QTableView(this);
    m_view->setModel(m_model);
    // Object-id order until the person clicks a column: no indicator, no sort.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    // Fixed rows: the view never measures rows it does not show.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setDefaultSectionSize(110);

    auto* zoom = new QPushButton(QStringLiteral("&Zoom to Selected"), this);
    zoom->setObjectName(QStringLiteral("zoomToSelected"));
    auto* clear = new QPushButton(QStringLiteral("&Clear Selection"), this);
    m_count = new QLabel(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(zoom);
    bar->addWidget(clear);
    bar->addStretch(1);
    bar->addWidget(m_count);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);

    connect(zoom, &QPushButton::clicked, this, [this] {
        if (onZoomToSelection) onZoomToSelection();
    });
    connect(clear, &QPushButton::clicked, this, [this] { m_view->clearSelection(); });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { TakeRowSelection(); });
    // Where a click selects rows or sorts a column.
    for (QWidget* area : {m_view->viewport(), m_view->verticalHeader()->viewport(),
                          m_view->horizontalHeader()->viewport()}) {
        area->installEventFilter(this);
    }

    ShowLayerSelection();
    resize(720, 420);
}

bool AttributeTable::Active() const {
    // Not isActiveWindow(): where the style shares activation, a tool window
    // counts as active while its parent is.
    return QApplication::activeWindow() == this;
}

void AttributeTable::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (Active()) {
            m_activatedAt.start();
            // Activated after a press already taken as the activating click: the
            // next press is the person's.
            m_pressSinceActivation = m_activationAsked;
        }
        m_activationAsked = false;
    }
    QWidget::changeEvent(event);
}

bool AttributeTable::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const bool justActivated = !m_pressSinceActivation && m_activatedAt.isValid() &&
                                       m_activatedAt.elapsed() < kActivationClickMs;
            m_pressSinceActivation = true;
            // A window system that did not activate the window for the last such
            // click has its next one taken as the person's: a table never turns
            // deaf.
            const bool bringsForward = Active() ? justActivated : !m_activationAsked;
            if (!bringsForward) break;
            m_activationClick = true;
            if (!Active()) {
                m_activationAsked = true;
                raise();
                // Not activateWindow(): it does nothing while the map window is
                // active, whose transient child this window counts as.
                if (QWindow* window = windowHandle()) window->requestActivate();
            }
            return true;
        }
        case QEvent::MouseMove:
            if (m_activationClick) return true;
            break;
        case QEvent::MouseButtonRelease:
            if (!m_activationClick) break;
            if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
                m_activationClick = false;
            }
            return true;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void AttributeTable::TakeRowSelection() {
    if (m_syncing) return;
    std::vector<std::int32_t> oids;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            oids.push_back(m_model->OidAt(row));
        }
    }
    m_layer->ClearSelection();
    m_layer->Select(oids);
    ShowCount();
    // The window tells every table of the change; this one already shows it, and
    // selecting its rows again would lose the anchor of a Shift-click.
    m_syncing = true;
    if (onSelectionChanged) onSelectionChanged();
    m_syncing = false;
}

void AttributeTable::ShowLayerSelection() {
    if (m_syncing) return;
    std::vector<int> rows;
    for (const std::int32_t oid : m_layer->Selection().Oids()) {
        const int row = m_model->RowOf(oid);
        if (row >= 0) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    // Runs of neighbouring rows become one range each: a selection of a million
    // features in object-id order is one range.
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        selection.select(m_model->index(rows[i], 0),
                         m_model->index(rows[j], m_model->columnCount() - 1));
        i = j + 1;
    }
    m_syncing = true;
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
    ShowCount();
}

void AttributeTable::ShowCount() {
    m_count->setText(QStringLiteral("%1 of %2 selected")
                         .arg(m_layer->Selection().Oids().size())
                         .arg(m_model->rowCount()));
}

}  // namespace velorin::app

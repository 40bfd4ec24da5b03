#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/layers.h"

class QLabel;
class QTableView;

namespace velorin::app {

// How the window orders texts, in a table's column as in a legend's values: in
// the collation of the person's language, digits within them by their value.
QCollator TextCollator();

// A cell as the window shows it: a value's text (the system's one conversion),
// "<Null>" for null, the shape's kind for the geometry field.
QString CellText(const objects::Fields& fields, const memory::RowRecord& row, std::int32_t field);

// The features a layer shows (its definition query applies), one row each, one
// column per field, read-only. Rows are not copied out of the layer: a cell's
// text is made when the view asks for it, which it does only for the rows on
// the screen, so a layer of a million features opens at once. Sorting orders
// row numbers, not rows.
class AttributeTableModel final : public QAbstractTableModel {
  public:
    explicit AttributeTableModel(std::shared_ptr<memory::FeatureLayer> layer,
                                 QObject* parent = nullptr);
    ~AttributeTableModel() override;
    AttributeTableModel(const AttributeTableModel&) = delete;
    AttributeTableModel& operator=(const AttributeTableModel&) = delete;
    AttributeTableModel(AttributeTableModel&&) = delete;
    AttributeTableModel& operator=(AttributeTableModel&&) = delete;

    // Tables of this many rows or more are sorted on a thread of their own: the
    // view keeps its order (and the window keeps working) until the new order is
    // shown, and a later sort wins over one under way.
    static constexpr std::size_t kSortInBackground = 20'000;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Nulls first ascending; texts in the collation of the user's locale (digits
    // by their value), other values in their natural order; equal values keep
    // their object-id order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The same order, made on this thread whatever the size: the plain twin of
    // the background sort.
    void SortAtOnce(int column, Qt::SortOrder order);
    // Whether a background sort is under way.
    bool Sorting() const { return m_sorting; }

    std::int32_t OidAt(int row) const;
    // The row showing the feature, or -1 when the table does not show it.
    int RowOf(std::int32_t oid) const;

  private:
    const memory::RowStore& Store() const { return *m_layer->Data()->Store(); }
    struct Mailbox;
    // Shows the rows in this order, the selection and current row following
    // their features.
    void ShowOrder(std::vector<std::uint32_t> rows);

    std::shared_ptr<memory::FeatureLayer> m_layer;
    // Positions in the layer's store, in the order shown.
    std::vector<std::uint32_t> m_rows;
    // Row of each store position (-1: not shown), made when first asked.
    mutable std::vector<std::int32_t> m_rowOf;
    std::shared_ptr<Mailbox> m_mailbox;
    int m_generation = 0;
    bool m_sorting = false;
};

// A layer's attribute table window: the table, sortable by a click on a column,
// its selection the layer's selection both ways, and a button zooming to the
// selected rows. It is a tool window of the map window, so it stays above it
// while the person works on the map.
//
// A click that brings the window to the front (it was not the active window)
// only does that: it selects no row and sorts no column. The window systems
// activate a window before they hand it the click that activated it, so the
// first press that comes within kActivationClickMs of the activation counts as
// such a click too.
class AttributeTable final : public QWidget {
  public:
    AttributeTable(std::shared_ptr<memory::FeatureLayer> layer, QWidget* parent = nullptr);

    const std::shared_ptr<memory::FeatureLayer>& Layer() const { return m_layer; }
    AttributeTableModel& Model() const { return *m_model; }
    QTableView& View() const { return *m_view; }

    // Selects the rows of the layer's selected features (after the map's
    // selection changed).
    void ShowLayerSelection();

    // The person selected rows: the layer's selection was made the same.
    std::function<void()> onSelectionChanged;
    // Zoom to the selected features, asked for by the button.
    std::function<void()> onZoomToSelection;

    // Long enough for a busy window system's activation to come before its click,
    // short enough that a person who brought the window forward otherwise (the
    // keyboard, the task bar) has not aimed at a row yet.
    static constexpr qint64 kActivationClickMs = 300;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void TakeRowSelection();
    void ShowCount();
    bool Active() const;

    std::shared_ptr<memory::FeatureLayer> m_layer;
    AttributeTableModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QLabel* m_count = nullptr;
    bool m_syncing = false;
    // The click that activated the window, from its press to its release.
    bool m_activationClick = false;
    bool m_pressSinceActivation = true;
    bool m_activationAsked = false;
    QElapsedTimer m_activatedAt;
};

}  // namespace velorin::app

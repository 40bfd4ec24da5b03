#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/symbology.h"
#include "platform/memory/layers.h"
#include "platform/memory/reference_host.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class QGroupBox;

namespace velorin::app {

// A layer's Properties: its legend, as a single symbol (colour, marker style and
// size, line style and width, or fill style and outline) or as unique values on
// a field, each value in a colour of its own. The values' list is edited in
// place: a double-click on a value changes its colour, a colour ramp recolours
// them all, they sort either way and selected ones are removed. The legend the
// choices make is previewed before it is applied; Apply and OK give the layer a
// new renderer of the host, which the layer then keeps as it is (later changes
// in the dialog make another). Cancel (or Esc, or the window's close button)
// gives the layer back the legend it had when the dialog opened, when Apply gave
// it another that it still has; the map window closing the dialog keeps it.
//
// It starts from the layer's own legend, its values' order, labels and colours
// included. A field that cannot make a legend (too many values) is said in the
// dialog, and Apply and OK wait for another choice.
class SymbologyDialog final : public QDialog {
  public:
    enum class Kind { SingleSymbol, UniqueValues };

    SymbologyDialog(memory::ReferenceHost host, std::shared_ptr<memory::FeatureLayer> layer,
                    QWidget* parent = nullptr);

    // What the person does, for the window's tests as much as for the widgets.
    void SetKind(Kind kind);
    void SetField(const QString& field);
    void SetColor(const QColor& color);
    void SetOutlineColor(const QColor& color);
    void SetAllOtherValues(bool show);
    // Every value coloured along the ramp, in the list's order.
    void SetRamp(ColorRamp ramp);
    // The values in the order the attribute table sorts their field's column.
    void SortValues(Qt::SortOrder order);
    // The values selected in the list leave the legend.
    void RemoveSelectedValues();
    // What a double-click on the list's row does: asks pickColor for the row's
    // value's colour (the single symbol's on that page). False when the row has
    // no colour to change or the person cancelled.
    bool ChangeColorAt(int row);
    // Gives the layer the previewed legend; false when there is none to give.
    bool Apply();
    void reject() override;

    Kind CurrentKind() const;
    const std::shared_ptr<memory::FeatureLayer>& Layer() const { return m_layer; }
    // The legend as previewed (not yet the layer's until Apply); empty when the
    // choices make none.
    const std::shared_ptr<host::IFeatureRenderer>& Preview() const { return m_preview; }
    QTreeWidget& PreviewList() const { return *m_previewList; }
    QComboBox& KindList() const { return *m_kind; }
    QComboBox& FieldList() const { return *m_field; }
    QComboBox& RampList() const { return *m_ramp; }
    const std::vector<ValueClass>& Values() const { return m_classes; }
    QLabel& Problem() const { return *m_problem; }
    QDialogButtonBox& Buttons() const { return *m_buttons; }

    // After Apply gave the layer its new renderer (or Cancel its old one back).
    std::function<void()> onApplied;
    // The colour chooser: the colour to start from and the chooser's title; an
    // invalid colour is a Cancel. Tests put a person of their own here.
    std::function<QColor(const QColor& initial, const QString& title)> pickColor;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The dialog's parts, built in the order they stand.
    QGroupBox* BuildLegendBox();
    QGroupBox* BuildSymbolBox();
    QGroupBox* BuildPreviewBox();
    QWidget* BuildValueButtons(QWidget* parent);
    void ConnectControls();
    void BuildPreview();
    // The unique value legend of the field chosen (made again from the layer's
    // values when the field changed).
    std::shared_ptr<host::IFeatureRenderer> UniqueValuePreview();
    void ShowControls();
    SymbolChoice Choice() const;
    bool PickColor(QPushButton* button, objects::Rgb& color);
    void PaintButton(QPushButton* button, objects::Rgb color);

    memory::ReferenceHost m_host;
    std::shared_ptr<memory::FeatureLayer> m_layer;
    ShapeKind m_shape;
    SymbolChoice m_choice;
    // The unique values as edited, and the field they are of (empty: none yet).
    std::vector<ValueClass> m_classes;
    std::string m_classesField;
    std::shared_ptr<host::IFeatureRenderer> m_preview;
    // What Cancel gives back: the layer's legend when the dialog opened, and the
    // legend Apply gave it last.
    std::shared_ptr<host::IFeatureRenderer> m_original;
    std::string m_originalPage;
    std::shared_ptr<host::IFeatureRenderer> m_applied;
    bool m_closedByWindow = false;
    QComboBox* m_kind = nullptr;
    QComboBox* m_field = nullptr;
    QCheckBox* m_allOthers = nullptr;
    QComboBox* m_ramp = nullptr;
    QPushButton* m_sortUp = nullptr;
    QPushButton* m_sortDown = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_color = nullptr;
    QComboBox* m_style = nullptr;
    QDoubleSpinBox* m_size = nullptr;
    QPushButton* m_outlineColor = nullptr;
    QDoubleSpinBox* m_outlineWidth = nullptr;
    QLabel* m_problem = nullptr;
    QTreeWidget* m_previewList = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    bool m_building = false;
};

}  // namespace velorin::app

#pragma once

#include <QDialog>
#include <functional>
#include <memory>

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
// a field, each value in a colour of its own. The legend the choices make is
// previewed before it is applied; Apply and OK give the layer a new renderer of
// the host, which the layer then keeps as it is (later changes in the dialog
// make another).
//
// It starts from the layer's own legend. A field that cannot make a legend (too
// many values) is said in the dialog, and Apply and OK wait for another choice.
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
    // Gives the layer the previewed legend; false when there is none to give.
    bool Apply();

    Kind CurrentKind() const;
    const std::shared_ptr<memory::FeatureLayer>& Layer() const { return m_layer; }
    // The legend as previewed (not yet the layer's until Apply); empty when the
    // choices make none.
    const std::shared_ptr<host::IFeatureRenderer>& Preview() const { return m_preview; }
    QTreeWidget& PreviewList() const { return *m_previewList; }
    QComboBox& KindList() const { return *m_kind; }
    QComboBox& FieldList() const { return *m_field; }
    QLabel& Problem() const { return *m_problem; }
    QDialogButtonBox& Buttons() const { return *m_buttons; }

    // After Apply gave the layer its new renderer.
    std::function<void()> onApplied;

  private:
    // The dialog's parts, built in the order they stand.
    QGroupBox* BuildLegendBox();
    QGroupBox* BuildSymbolBox();
    QGroupBox* BuildPreviewBox();
    void ConnectControls();
    void BuildPreview();
    void ShowControls();
    SymbolChoice Choice() const;
    void PickColor(QPushButton* button, objects::Rgb& color);
    void PaintButton(QPushButton* button, objects::Rgb color);

    memory::ReferenceHost m_host;
    std::shared_ptr<memory::FeatureLayer> m_layer;
    ShapeKind m_shape;
    SymbolChoice m_choice;
    std::shared_ptr<host::IFeatureRenderer> m_preview;
    QComboBox* m_kind = nullptr;
    QComboBox* m_field = nullptr;
    QCheckBox* m_allOthers = nullptr;
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

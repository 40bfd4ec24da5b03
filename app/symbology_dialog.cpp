#include "app/symbology_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

#include "app/legend.h"
#include "host/error.h"
#include "host/object.h"

namespace velorin::app {

namespace {

constexpr int kSwatchWidth = 24;
constexpr int kSwatchHeight = 18;

const std::array<const char*, 5> kMarkerStyles = {"Circle", "Square", "Cross", "X", "Diamond"};
const std::array<const char*, 7> kLineStyles = {"Solid",        "Dash", "Dot",         "Dash Dot",
                                                "Dash Dot Dot", "None", "Inside Frame"};
const std::array<const char*, 8> kFillStyles = {"Solid",    "Hollow",           "Horizontal",
                                                "Vertical", "Forward Diagonal", "Backward Diagonal",
                                                "Cross",    "Diagonal Cross"};

QColor ToQColor(objects::Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }
objects::Rgb ToRgb(const QColor& color) {
    return objects::Rgb{static_cast<std::uint8_t>(color.red()),
                        static_cast<std::uint8_t>(color.green()),
                        static_cast<std::uint8_t>(color.blue())};
}

template <std::size_t N>
void FillStyles(QComboBox* list, const std::array<const char*, N>& names) {
    for (const char* name : names) list->addItem(QString::fromLatin1(name));
}

}  // namespace

SymbologyDialog::SymbologyDialog(memory::ReferenceHost host,
                                 std::shared_ptr<memory::FeatureLayer> layer, QWidget* parent)
    : QDialog(parent),
      m_host(std::move(host)),
      m_layer(std::move(layer)),
      m_shape(
          ShapeKindOf(m_layer->Data() ? m_layer->Data()->ShapeType() : host::esriGeometryPolygon)) {
    setObjectName(QStringLiteral("symbology"));
    setWindowTitle(QStringLiteral("Layer Properties - ") + QString::fromStdString(m_layer->Name()));
    m_choice = ReadSymbolChoice(CurrentSymbol(*m_layer), m_shape);

    QGroupBox* legendBox = BuildLegendBox();
    QGroupBox* symbolBox = BuildSymbolBox();
    QGroupBox* previewBox = BuildPreviewBox();
    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(legendBox);
    layout->addWidget(symbolBox);
    layout->addWidget(previewBox, 1);
    layout->addWidget(m_buttons);

    // Start from the layer's own legend.
    if (const auto unique = host::As<host::IUniqueValueRenderer>(m_layer->Renderer());
        unique && unique->FieldCount() > 0) {
        m_kind->setCurrentIndex(static_cast<int>(Kind::UniqueValues));
        const int field =
            m_field->findText(QString::fromStdString(unique->Field(0)), Qt::MatchFixedString);
        if (field >= 0) m_field->setCurrentIndex(field);
        m_allOthers->setChecked(unique->UseDefaultSymbol());
    }

    ConnectControls();
    BuildPreview();
    resize(380, 560);
}

QGroupBox* SymbologyDialog::BuildLegendBox() {
    auto* legendBox = new QGroupBox(QStringLiteral("&Legend"), this);
    auto* legendForm = new QFormLayout(legendBox);
    m_kind = new QComboBox(legendBox);
    m_kind->addItem(QStringLiteral("Single symbol"));
    m_kind->addItem(QStringLiteral("Unique values"));
    legendForm->addRow(QStringLiteral("&Show:"), m_kind);
    m_field = new QComboBox(legendBox);
    for (const std::string& name : LegendFields(*m_layer)) {
        m_field->addItem(QString::fromStdString(name));
    }
    legendForm->addRow(QStringLiteral("Value &field:"), m_field);
    m_allOthers = new QCheckBox(QStringLiteral("&Draw all other values"), legendBox);
    m_allOthers->setChecked(true);
    legendForm->addRow(QString(), m_allOthers);

    return legendBox;
}

QGroupBox* SymbologyDialog::BuildSymbolBox() {
    auto* symbolBox = new QGroupBox(QStringLiteral("S&ymbol"), this);
    auto* symbolForm = new QFormLayout(symbolBox);
    m_color = new QPushButton(symbolBox);
    symbolForm->addRow(QStringLiteral("&Colour:"), m_color);
    m_style = new QComboBox(symbolBox);
    switch (m_shape) {
        case ShapeKind::Marker:
            FillStyles(m_style, kMarkerStyles);
            break;
        case ShapeKind::Line:
            FillStyles(m_style, kLineStyles);
            break;
        case ShapeKind::Fill:
            FillStyles(m_style, kFillStyles);
            break;
    }
    m_style->setCurrentIndex(std::max(0, std::min(m_choice.style, m_style->count() - 1)));
    symbolForm->addRow(QStringLiteral("St&yle:"), m_style);
    m_size = new QDoubleSpinBox(symbolBox);
    m_size->setRange(0.0, 100.0);
    m_size->setDecimals(1);
    m_size->setSingleStep(0.5);
    m_size->setValue(m_choice.size);
    m_outlineColor = new QPushButton(symbolBox);
    m_outlineWidth = new QDoubleSpinBox(symbolBox);
    m_outlineWidth->setRange(0.0, 20.0);
    m_outlineWidth->setDecimals(1);
    m_outlineWidth->setSingleStep(0.5);
    m_outlineWidth->setValue(m_choice.outlineWidth);
    if (m_shape == ShapeKind::Fill) {
        m_size->hide();
        symbolForm->addRow(QStringLiteral("&Outline colour:"), m_outlineColor);
        symbolForm->addRow(QStringLiteral("Outline &width (points):"), m_outlineWidth);
    } else {
        symbolForm->addRow(m_shape == ShapeKind::Marker ? QStringLiteral("Si&ze (points):")
                                                        : QStringLiteral("&Width (points):"),
                           m_size);
        m_outlineColor->hide();
        m_outlineWidth->hide();
    }
    PaintButton(m_color, m_choice.color);
    PaintButton(m_outlineColor, m_choice.outlineColor);

    return symbolBox;
}

QGroupBox* SymbologyDialog::BuildPreviewBox() {
    auto* previewBox = new QGroupBox(QStringLiteral("&Preview"), this);
    auto* previewLayout = new QVBoxLayout(previewBox);
    m_previewList = new QTreeWidget(previewBox);
    m_previewList->setHeaderHidden(true);
    m_previewList->setRootIsDecorated(false);
    m_previewList->setIconSize(QSize(kSwatchWidth, kSwatchHeight));
    m_previewList->setSelectionMode(QAbstractItemView::NoSelection);
    previewLayout->addWidget(m_previewList);
    m_problem = new QLabel(previewBox);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->hide();
    previewLayout->addWidget(m_problem);

    return previewBox;
}

void SymbologyDialog::ConnectControls() {
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_field, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_allOthers, &QCheckBox::toggled, this, [this] { BuildPreview(); });
    connect(m_style, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_size, &QDoubleSpinBox::valueChanged, this, [this] { BuildPreview(); });
    connect(m_outlineWidth, &QDoubleSpinBox::valueChanged, this, [this] { BuildPreview(); });
    connect(m_color, &QPushButton::clicked, this, [this] { PickColor(m_color, m_choice.color); });
    connect(m_outlineColor, &QPushButton::clicked, this,
            [this] { PickColor(m_outlineColor, m_choice.outlineColor); });
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { Apply(); });
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply()) accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SymbologyDialog::Kind SymbologyDialog::CurrentKind() const {
    return m_kind->currentIndex() == static_cast<int>(Kind::UniqueValues) ? Kind::UniqueValues
                                                                          : Kind::SingleSymbol;
}

void SymbologyDialog::SetKind(Kind kind) { m_kind->setCurrentIndex(static_cast<int>(kind)); }

void SymbologyDialog::SetField(const QString& field) {
    m_field->setCurrentIndex(m_field->findText(field, Qt::MatchFixedString));
}

void SymbologyDialog::SetColor(const QColor& color) {
    m_choice.color = ToRgb(color);
    PaintButton(m_color, m_choice.color);
    BuildPreview();
}

void SymbologyDialog::SetOutlineColor(const QColor& color) {
    m_choice.outlineColor = ToRgb(color);
    PaintButton(m_outlineColor, m_choice.outlineColor);
    BuildPreview();
}

void SymbologyDialog::SetAllOtherValues(bool show) { m_allOthers->setChecked(show); }

void SymbologyDialog::PickColor(QPushButton* button, objects::Rgb& color) {
    const QColor picked = QColorDialog::getColor(ToQColor(color), this);
    if (!picked.isValid()) return;
    color = ToRgb(picked);
    PaintButton(button, color);
    BuildPreview();
}

void SymbologyDialog::PaintButton(QPushButton* button, objects::Rgb color) {
    QPixmap swatch(40, 14);
    swatch.fill(ToQColor(color));
    button->setIcon(swatch);
    button->setIconSize(swatch.size());
    button->setText(ToQColor(color).name());
}

SymbolChoice SymbologyDialog::Choice() const {
    SymbolChoice choice = m_choice;
    choice.style = m_style->currentIndex();
    choice.size = m_size->value();
    choice.outlineWidth = m_outlineWidth->value();
    return choice;
}

void SymbologyDialog::ShowControls() {
    const bool unique = CurrentKind() == Kind::UniqueValues;
    m_field->setEnabled(unique);
    m_allOthers->setEnabled(unique);
    // Unique values colour themselves; the colour button is the single symbol's.
    m_color->setEnabled(!unique);
}

void SymbologyDialog::BuildPreview() {
    ShowControls();
    m_preview.reset();
    m_previewList->clear();
    m_problem->hide();
    try {
        const auto factory = m_host.Application();
        if (CurrentKind() == Kind::UniqueValues) {
            if (m_field->currentIndex() < 0) {
                throw Error(host::E_HOST_INVALIDARG, "The layer has no field for unique values");
            }
            m_preview = host::Require<host::IFeatureRenderer>(
                MakeUniqueValueRenderer(*factory, *m_layer, m_field->currentText().toStdString(),
                                        Choice(), m_allOthers->isChecked()),
                "IFeatureRenderer");
        } else {
            m_preview = MakeSimpleRenderer(m_host, MakeSymbol(*factory, m_shape, Choice()));
        }
    } catch (const velorin::Error& error) {
        m_problem->setText(QString::fromStdString(error.Description()));
        m_problem->show();
    }
    for (const LegendEntry& entry : LegendOf(m_preview)) {
        auto* row = new QTreeWidgetItem(m_previewList);
        row->setText(0, QString::fromStdString(entry.label));
        row->setIcon(0,
                     QPixmap::fromImage(SymbolSwatch(entry.symbol, kSwatchWidth, kSwatchHeight)));
    }
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_preview != nullptr);
    m_buttons->button(QDialogButtonBox::Apply)->setEnabled(m_preview != nullptr);
}

bool SymbologyDialog::Apply() {
    if (!m_preview) return false;
    try {
        ApplyRenderer(m_host, *m_layer, m_preview);
    } catch (const velorin::Error& error) {
        m_problem->setText(QString::fromStdString(error.Description()));
        m_problem->show();
        return false;
    }
    if (onApplied) onApplied();
    // The layer keeps what it was given: further choices make a renderer of their own.
    BuildPreview();
    return true;
}

}  // namespace velorin::app

#include "app/symbology_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "app/attribute_table.h"
#include "app/legend.h"
#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "platform/memory/feature_class.h"
#include "platform/objects/fields.h"

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

std::optional<double> NumberIn(const std::string& text) {
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

// The values in the order the attribute table gives their field's column: texts
// in the person's language (digits by value), numbers by value, the rest as
// their texts say (dates are written year first). A stable sort, so that equal
// values keep their places either way.
void SortClasses(std::vector<ValueClass>& classes, std::int32_t fieldType, Qt::SortOrder order) {
    const auto sort = [&](const auto& before) {
        std::stable_sort(classes.begin(), classes.end(),
                         [&](const ValueClass& a, const ValueClass& b) {
                             return order == Qt::AscendingOrder ? before(a, b) : before(b, a);
                         });
    };
    if (fieldType == host::esriFieldTypeString) {
        const QCollator collator = TextCollator();
        sort([&](const ValueClass& a, const ValueClass& b) {
            return collator.compare(QString::fromStdString(a.value),
                                    QString::fromStdString(b.value)) < 0;
        });
    } else if (objects::KindOfFieldType(fieldType) == objects::FieldKind::Number) {
        // A text that is no number (a renderer may hold any) goes after the numbers.
        sort([](const ValueClass& a, const ValueClass& b) {
            const std::optional<double> left = NumberIn(a.value);
            const std::optional<double> right = NumberIn(b.value);
            if (!left || !right) return left.has_value() && !right.has_value();
            return *left < *right;
        });
    } else {
        sort([](const ValueClass& a, const ValueClass& b) { return a.value < b.value; });
    }
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
    m_original = m_layer->Renderer();
    m_originalPage = m_layer->RendererPropertyPageClassID();
    pickColor = [this](const QColor& initial, const QString& title) {
        return QColorDialog::getColor(initial, this, title);
    };

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
        if (field >= 0) {
            m_field->setCurrentIndex(field);
            // Its values as the person left them: order, labels, colours.
            m_classes = ClassesOf(*unique, m_shape);
            m_classesField = m_field->itemText(field).toStdString();
        }
        m_allOthers->setChecked(unique->UseDefaultSymbol());
    }

    ConnectControls();
    BuildPreview();
    resize(420, 620);
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
    m_ramp = new QComboBox(legendBox);
    m_ramp->setObjectName(QStringLiteral("colorRamp"));
    for (const char* name : kColorRampNames) m_ramp->addItem(QString::fromLatin1(name));
    m_ramp->setToolTip(QStringLiteral("Colour every value along the ramp, in the list's order"));
    legendForm->addRow(QStringLiteral("Colour &ramp:"), m_ramp);
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
    m_previewList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_previewList->setToolTip(QStringLiteral("Double-click a value to change its colour"));
    previewLayout->addWidget(m_previewList);
    previewLayout->addWidget(BuildValueButtons(previewBox));
    m_problem = new QLabel(previewBox);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->hide();
    previewLayout->addWidget(m_problem);

    return previewBox;
}

QWidget* SymbologyDialog::BuildValueButtons(QWidget* parent) {
    auto* buttons = new QWidget(parent);
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    m_sortUp = new QPushButton(QStringLiteral("Sor&t Ascending"), buttons);
    m_sortUp->setObjectName(QStringLiteral("sortAscending"));
    m_sortDown = new QPushButton(QStringLiteral("Sort Descendin&g"), buttons);
    m_sortDown->setObjectName(QStringLiteral("sortDescending"));
    m_remove = new QPushButton(QStringLiteral("Re&move"), buttons);
    m_remove->setObjectName(QStringLiteral("removeValues"));
    m_remove->setToolTip(
        QStringLiteral("Take the selected values out of the legend (Del); "
                       "\"all other values\" then draws them if it is ticked"));
    row->addWidget(m_sortUp);
    row->addWidget(m_sortDown);
    row->addStretch(1);
    row->addWidget(m_remove);
    return buttons;
}

void SymbologyDialog::ConnectControls() {
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_field, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_allOthers, &QCheckBox::toggled, this, [this] { BuildPreview(); });
    connect(m_style, &QComboBox::currentIndexChanged, this, [this] { BuildPreview(); });
    connect(m_size, &QDoubleSpinBox::valueChanged, this, [this] { BuildPreview(); });
    connect(m_outlineWidth, &QDoubleSpinBox::valueChanged, this, [this] { BuildPreview(); });
    // A person's choice, even of the ramp shown: the values may have been
    // recoloured one by one since.
    connect(m_ramp, &QComboBox::activated, this,
            [this](int index) { SetRamp(static_cast<ColorRamp>(index)); });
    connect(m_sortUp, &QPushButton::clicked, this, [this] { SortValues(Qt::AscendingOrder); });
    connect(m_sortDown, &QPushButton::clicked, this, [this] { SortValues(Qt::DescendingOrder); });
    connect(m_remove, &QPushButton::clicked, this, [this] { RemoveSelectedValues(); });
    m_previewList->installEventFilter(this);
    connect(m_previewList, &QTreeWidget::itemSelectionChanged, this, [this] { ShowControls(); });
    connect(m_previewList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) {
                ChangeColorAt(m_previewList->indexOfTopLevelItem(item));
            });
    connect(m_color, &QPushButton::clicked, this, [this] { PickColor(m_color, m_choice.color); });
    connect(m_outlineColor, &QPushButton::clicked, this,
            [this] { PickColor(m_outlineColor, m_choice.outlineColor); });
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { Apply(); });
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply()) accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
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

void SymbologyDialog::SetRamp(ColorRamp ramp) {
    m_ramp->setCurrentIndex(static_cast<int>(ramp));
    const std::vector<objects::Rgb> colors = RampColors(ramp, m_classes.size());
    for (std::size_t i = 0; i < m_classes.size(); ++i) m_classes[i].color = colors[i];
    BuildPreview();
}

void SymbologyDialog::SortValues(Qt::SortOrder order) {
    if (!m_layer->Data() || m_classes.empty()) return;
    const objects::Fields& fields = *m_layer->Data()->Store()->FieldSet();
    const std::int32_t field = fields.Find(m_classesField);
    if (field < 0) return;
    SortClasses(m_classes, fields.At(field).TypeCode(), order);
    BuildPreview();
}

void SymbologyDialog::RemoveSelectedValues() {
    if (CurrentKind() != Kind::UniqueValues) return;
    std::vector<bool> removed(m_classes.size(), false);
    for (QTreeWidgetItem* item : m_previewList->selectedItems()) {
        const int row = m_previewList->indexOfTopLevelItem(item);
        if (row >= 0 && static_cast<std::size_t>(row) < m_classes.size()) {
            removed[static_cast<std::size_t>(row)] = true;
        }
    }
    std::vector<ValueClass> kept;
    for (std::size_t i = 0; i < m_classes.size(); ++i) {
        if (!removed[i]) kept.push_back(std::move(m_classes[i]));
    }
    m_classes = std::move(kept);
    BuildPreview();
}

bool SymbologyDialog::ChangeColorAt(int row) {
    if (row < 0 || !m_preview) return false;
    if (CurrentKind() == Kind::SingleSymbol) return PickColor(m_color, m_choice.color);
    if (static_cast<std::size_t>(row) >= m_classes.size()) return false;
    ValueClass& value = m_classes[static_cast<std::size_t>(row)];
    const QColor picked = pickColor(
        ToQColor(value.color), QStringLiteral("Colour of ") + QString::fromStdString(value.label));
    if (!picked.isValid()) return false;
    value.color = ToRgb(picked);
    BuildPreview();
    return true;
}

bool SymbologyDialog::PickColor(QPushButton* button, objects::Rgb& color) {
    const QColor picked = pickColor(ToQColor(color), QStringLiteral("Select Colour"));
    if (!picked.isValid()) return false;
    color = ToRgb(picked);
    PaintButton(button, color);
    BuildPreview();
    return true;
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
    m_ramp->setEnabled(unique);
    m_sortUp->setEnabled(unique && m_classes.size() > 1);
    m_sortDown->setEnabled(unique && m_classes.size() > 1);
    m_remove->setEnabled(unique && !m_previewList->selectedItems().isEmpty());
    // Unique values colour themselves; the colour button is the single symbol's.
    m_color->setEnabled(!unique);
}

std::shared_ptr<host::IFeatureRenderer> SymbologyDialog::UniqueValuePreview() {
    if (m_field->currentIndex() < 0) {
        throw Error(host::E_HOST_INVALIDARG, "The layer has no field for unique values");
    }
    const std::string field = m_field->currentText().toStdString();
    if (field != m_classesField) {
        m_classes.clear();
        m_classesField.clear();
        m_classes = ClassifyValues(*m_layer, field, static_cast<ColorRamp>(m_ramp->currentIndex()));
        m_classesField = field;
    }
    return host::Require<host::IFeatureRenderer>(
        MakeUniqueValueRenderer(*m_host.Application(), *m_layer, field, Choice(), m_classes,
                                m_allOthers->isChecked()),
        "IFeatureRenderer");
}

void SymbologyDialog::BuildPreview() {
    m_preview.reset();
    m_previewList->clear();
    m_problem->hide();
    try {
        if (CurrentKind() == Kind::UniqueValues) {
            m_preview = UniqueValuePreview();
        } else {
            m_preview =
                MakeSimpleRenderer(m_host, MakeSymbol(*m_host.Application(), m_shape, Choice()));
        }
    } catch (const velorin::Error& error) {
        m_problem->setText(QString::fromStdString(error.Description()));
        m_problem->show();
    }
    const bool unique = CurrentKind() == Kind::UniqueValues;
    int index = 0;
    for (const LegendEntry& entry : LegendOf(m_preview)) {
        auto* row = new QTreeWidgetItem(m_previewList);
        row->setText(0, QString::fromStdString(entry.label));
        row->setIcon(0,
                     QPixmap::fromImage(SymbolSwatch(entry.symbol, kSwatchWidth, kSwatchHeight)));
        // Only a value is selected, to be removed; "all other values" stays.
        const bool value = unique && static_cast<std::size_t>(index++) < m_classes.size();
        row->setFlags(value ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    }
    ShowControls();
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
    m_applied = m_preview;
    if (onApplied) onApplied();
    // The layer keeps what it was given: further choices make a renderer of their own.
    BuildPreview();
    return true;
}

void SymbologyDialog::reject() {
    // What Apply gave the layer goes back, unless something else has changed its
    // legend since or the window closes the dialog with the layer.
    if (!m_closedByWindow && m_applied && m_original && m_layer->Renderer() == m_applied) {
        m_layer->SetRenderer(m_original);
        m_layer->SetRendererPropertyPageClassID(m_originalPage);
        m_applied.reset();
        if (onApplied) onApplied();
    }
    QDialog::reject();
}

bool SymbologyDialog::eventFilter(QObject* watched, QEvent* event) {
    // Del in the values' list removes the selected values, as the button does.
    if (watched == m_previewList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete) && m_remove->isEnabled()) {
        RemoveSelectedValues();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SymbologyDialog::closeEvent(QCloseEvent* event) {
    // A person's close (the title bar's button) comes from the window system; a
    // close from code is the map window's.
    m_closedByWindow = !event->spontaneous();
    QDialog::closeEvent(event);
    m_closedByWindow = false;
}

}  // namespace velorin::app

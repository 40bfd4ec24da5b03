#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>
#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "platform/qt/application_look.h"
#include "platform/qt/qt_compat.h"
#include "platform/qt/qt_toolkit.h"
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/command_button.h"
#include "ui/control.h"
#include "ui/text_box.h"

namespace velorin::qt {

namespace {

constexpr std::array kEveryChange = {
    ui::ControlChange::Caption,   ui::ControlChange::Text,      ui::ControlChange::Enabled,
    ui::ControlChange::Visible,   ui::ControlChange::Geometry,  ui::ControlChange::ToolTip,
    ui::ControlChange::Items,     ui::ControlChange::ListIndex, ui::ControlChange::Value,
    ui::ControlChange::MaxLength, ui::ControlChange::Alignment,
};

// A QLineEdit's own limit when the model has none.
constexpr int kNoLimit = std::numeric_limits<int>::max();

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// A model text box keeps its line breaks as carriage-return line-feed pairs; a
// QPlainTextEdit knows line feeds only.
QString ToDisplayLines(const std::string& text) {
    QString lines = ToQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

std::string FromDisplayLines(QString lines) {
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQt(lines);
}

Qt::Alignment HorizontalAlignment(ui::Alignment alignment) {
    switch (alignment) {
        case ui::Alignment::Right:
            return Qt::AlignRight;
        case ui::Alignment::Center:
            return Qt::AlignHCenter;
        case ui::Alignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

// Both edges are rounded, not the width, so that controls declared edge to edge
// stay edge to edge in pixels.
QRect PixelRect(const ui::Control& control) {
    const std::int64_t left = control.Left();
    const std::int64_t top = control.Top();
    const int x0 = TwipsToPixels(left);
    const int y0 = TwipsToPixels(top);
    const int x1 = TwipsToPixels(left + control.Width());
    const int y1 = TwipsToPixels(top + control.Height());
    return {x0, y0, x1 - x0, y1 - y0};
}

bool TakesFocus(ui::ControlKind kind) {
    return kind != ui::ControlKind::Frame && kind != ui::ControlKind::Label;
}

// What a text box's QLineEdit may hold. The model's maximum applies to the next
// text only (a longer text already there stays), while QLineEdit would cut the
// present text at once, so the widget's limit never falls below the length of
// the text it shows; the model cuts what a person types beyond its maximum.
int LineEditLimit(const ui::TextBox& box, const QString& shown) {
    if (box.MaxLength() == 0) {
        return kNoLimit;
    }
    return std::max(static_cast<int>(box.MaxLength()), static_cast<int>(shown.size()));
}

void SyncLineEditText(QLineEdit& edit, const ui::TextBox& box) {
    const QString text = ToQt(box.Text());
    edit.setMaxLength(LineEditLimit(box, text));
    if (edit.text() != text) {
        edit.setText(text);
    }
}

void SyncComboItems(QComboBox& combo, const ui::ComboBox& list) {
    const std::vector<std::string>& items = list.Items();
    const int have = combo.count();
    const auto want = static_cast<qsizetype>(items.size());
    // The model reports each entry it adds, so one more entry than shown is one
    // entry inserted; the shown entries after it match the model's last ones.
    // Matching from the end finds where it went at once for the usual append.
    if (want == have + 1) {
        int suffix = 0;
        while (suffix < have && combo.itemText(have - 1 - suffix) ==
                                    ToQt(items[static_cast<std::size_t>(want - 1 - suffix)])) {
            ++suffix;
        }
        const int position = have - suffix;
        combo.insertItem(position, ToQt(items[static_cast<std::size_t>(position)]));
        return;
    }
    combo.clear();
    QStringList texts;
    texts.reserve(want);
    for (const std::string& item : items) {
        texts.append(ToQt(item));
    }
    combo.addItems(texts);
}

}  // namespace

// The dialog of a window model. Qt's own dismissals (Esc rejecting, the close box
// rejecting) would hide the dialog behind the model's back; here they go through
// the model instead, which ends the show when the model says so.
class QtWindow::ModelDialog final : public QDialog {
  public:
    ModelDialog(QtWindow& owner, Qt::WindowFlags flags) : QDialog(nullptr, flags), m_owner(owner) {}
    ~ModelDialog() override = default;
    ModelDialog(const ModelDialog&) = delete;
    ModelDialog(ModelDialog&&) = delete;
    ModelDialog& operator=(const ModelDialog&) = delete;
    ModelDialog& operator=(ModelDialog&&) = delete;

    void reject() override {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            // A focused button has taken its own Enter already; this is Enter in
            // a list, a text box or a check box.
            event->accept();
            m_owner.m_toolkit.RunAtEdge([this] { m_owner.m_window.PressEnter(); });
            return;
        }
        if (plain && event->key() == Qt::Key_Escape) {
            event->accept();
            m_owner.m_toolkit.RunAtEdge([this] { m_owner.m_window.PressEsc(); });
            return;
        }
        QDialog::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        // The model's unload hides the dialog; the event itself closes nothing.
        event->ignore();
        m_owner.m_toolkit.RunAtEdge([this] { m_owner.m_window.Unload(); });
    }

  private:
    QtWindow& m_owner;
};

QtWindow::QtWindow(ui::Window& window, QtToolkit& toolkit) : m_window(window), m_toolkit(toolkit) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (window.MinMaxButtons()) {
        flags |= Qt::WindowMinMaxButtonsHint;
    }
    if (!window.Resizable()) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    m_dialog = std::make_unique<ModelDialog>(*this, flags);
    m_dialog->setObjectName(ToQt(window.Name()));
    m_dialog->setFont(DialogFont());
    // Over a host's main window as the window system sees it, not as its child
    // widget: a host's style sheet on its window (QGIS sets every widget's font
    // by one) would override the dialog font, which a sheet cannot narrow.
    if (QWidget* host = toolkit.DialogParent(); host != nullptr) {
        m_dialog->winId();
        QWindow* over = host->window()->windowHandle();
        if (over != nullptr && m_dialog->windowHandle() != nullptr) {
            m_dialog->windowHandle()->setTransientParent(over);
        }
    }
    m_dialog->setWindowIcon(WindowIcon());
    m_dialog->setWindowModality(Qt::ApplicationModal);
    const QSize client(TwipsToPixels(window.ClientWidth()), TwipsToPixels(window.ClientHeight()));
    if (window.Resizable()) {
        m_dialog->resize(client);
    } else {
        m_dialog->setFixedSize(client);
    }

    m_mirrors.reserve(window.ControlCount());
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        m_mirrors.push_back({.control = &window.ControlAt(i)});
    }
    for (const Mirror& mirror : m_mirrors) {
        Build(*mirror.control);
    }
    // Later rows lie above earlier ones where they overlap, whatever order the
    // frames were built in.
    for (const Mirror& mirror : m_mirrors) {
        mirror.widget->raise();
    }
    SyncAll();
    m_window.SetObserver(this);
}

QtWindow::~QtWindow() { m_window.SetObserver(nullptr); }

QDialog& QtWindow::Dialog() const { return *m_dialog; }

QWidget* QtWindow::Widget(const ui::Control& control) const {
    const Mirror* mirror = Find(control);
    return mirror != nullptr ? mirror->widget : nullptr;
}

QWidget* QtWindow::Widget(std::string_view name) const {
    const ui::Control* control = m_window.FindControl(name);
    return control != nullptr ? Widget(*control) : nullptr;
}

const QtWindow::Mirror* QtWindow::Find(const ui::Control& control) const {
    for (const Mirror& mirror : m_mirrors) {
        if (mirror.control == &control) {
            return &mirror;
        }
    }
    return nullptr;
}

QWidget* QtWindow::Build(ui::Control& control) {
    auto& mirror = const_cast<Mirror&>(*Find(control));
    if (mirror.widget != nullptr) {
        return mirror.widget;
    }
    // A frame may be declared after the controls it holds: build it first.
    QWidget* parent = m_dialog.get();
    if (const ui::Control* container = control.Container(); container != nullptr) {
        parent = Build(*Find(*container)->control);
    }
    QWidget* widget = nullptr;
    switch (control.Kind()) {
        case ui::ControlKind::Frame:
            widget = new QGroupBox(parent);
            break;
        case ui::ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            widget = label;
            break;
        }
        case ui::ControlKind::ComboBox:
            widget = new QComboBox(parent);
            break;
        case ui::ControlKind::TextBox: {
            const auto& box = static_cast<const ui::TextBox&>(control);
            if (box.MultiLine()) {
                auto* edit = new QPlainTextEdit(parent);
                edit->setTabChangesFocus(true);
                edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                edit->setVerticalScrollBarPolicy(box.VerticalScrollBar() ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
                widget = edit;
            } else {
                widget = new QLineEdit(parent);
            }
            break;
        }
        case ui::ControlKind::CheckBox:
            widget = new QCheckBox(parent);
            break;
        case ui::ControlKind::CommandButton: {
            auto* button = new QPushButton(parent);
            button->setDefault(static_cast<const ui::CommandButton&>(control).Default());
            widget = button;
            break;
        }
    }
    widget->setObjectName(ToQt(control.Name()));
    mirror.widget = widget;
    Connect(control, widget);
    return widget;
}

void QtWindow::Connect(ui::Control& control, QWidget* widget) {
    QtToolkit& toolkit = m_toolkit;
    switch (control.Kind()) {
        case ui::ControlKind::ComboBox: {
            auto& list = static_cast<ui::ComboBox&>(control);
            // activated, not currentIndexChanged: only a person's pick, and every
            // pick, also of the entry already current.
            QObject::connect(static_cast<QComboBox*>(widget), kComboActivated, widget,
                             [&toolkit, &list](int index) {
                                 toolkit.RunAtEdge([&list, index] { list.SetListIndex(index); });
                             });
            break;
        }
        case ui::ControlKind::TextBox: {
            auto& box = static_cast<ui::TextBox&>(control);
            if (auto* edit = qobject_cast<QPlainTextEdit*>(widget); edit != nullptr) {
                // Mirroring blocks the widget's signals, so this is a person's edit.
                QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [&toolkit, &box, edit] {
                    toolkit.RunAtEdge(
                        [&box, edit] { box.SetText(FromDisplayLines(edit->toPlainText())); });
                });
            } else {
                QObject::connect(
                    static_cast<QLineEdit*>(widget), &QLineEdit::textEdited, widget,
                    [&toolkit, &box](const QString& text) {
                        toolkit.RunAtEdge([&box, &text] { box.SetText(FromQt(text)); });
                    });
            }
            break;
        }
        case ui::ControlKind::CheckBox: {
            auto& check = static_cast<ui::CheckBox&>(control);
            QObject::connect(
                static_cast<QCheckBox*>(widget), &QCheckBox::clicked, widget,
                [&toolkit, &check](bool checked) {
                    toolkit.RunAtEdge([&check, checked] { check.SetValue(checked ? 1 : 0); });
                });
            break;
        }
        case ui::ControlKind::CommandButton: {
            auto& button = static_cast<ui::CommandButton&>(control);
            QObject::connect(
                static_cast<QPushButton*>(widget), &QPushButton::clicked, widget,
                [&toolkit, &button] { toolkit.RunAtEdge([&button] { button.Click(); }); });
            break;
        }
        case ui::ControlKind::Frame:
        case ui::ControlKind::Label:
            break;
    }
}

void QtWindow::SyncAll() {
    m_dialog->setWindowTitle(ToQt(m_window.Caption()));
    for (const Mirror& mirror : m_mirrors) {
        for (const ui::ControlChange change : kEveryChange) {
            Sync(mirror, change);
        }
    }
    SyncTabOrder();
}

void QtWindow::Sync(const Mirror& mirror, ui::ControlChange change) {
    ui::Control& control = *mirror.control;
    QWidget* widget = mirror.widget;
    // Mirroring is not the person's doing: no signal of the widget may reach the
    // model from here.
    const QSignalBlocker blocker(widget);
    switch (change) {
        case ui::ControlChange::Enabled:
            widget->setEnabled(control.Enabled());
            return;
        case ui::ControlChange::Visible:
            widget->setVisible(control.Visible());
            return;
        case ui::ControlChange::Geometry:
            widget->setGeometry(PixelRect(control));
            return;
        case ui::ControlChange::ToolTip:
            widget->setToolTip(ToQt(control.ToolTip()));
            return;
        case ui::ControlChange::TabIndex:
            SyncTabOrder();
            return;
        default:
            break;
    }
    switch (control.Kind()) {
        case ui::ControlKind::Frame:
            if (change == ui::ControlChange::Caption) {
                static_cast<QGroupBox*>(widget)->setTitle(
                    ToQt(static_cast<ui::Frame&>(control).Caption()));
            }
            return;
        case ui::ControlKind::Label: {
            auto* label = static_cast<QLabel*>(widget);
            const auto& model = static_cast<ui::Label&>(control);
            if (change == ui::ControlChange::Caption) {
                label->setText(ToQt(model.Caption()));
            } else if (change == ui::ControlChange::Alignment) {
                // Top-aligned: a layout places a label's text level with the text
                // box beside it by the label's top.
                label->setAlignment(HorizontalAlignment(model.TextAlignment()) | Qt::AlignTop);
            }
            return;
        }
        case ui::ControlKind::ComboBox: {
            auto* combo = static_cast<QComboBox*>(widget);
            const auto& list = static_cast<ui::ComboBox&>(control);
            if (change == ui::ControlChange::Items) {
                SyncComboItems(*combo, list);
                combo->setCurrentIndex(list.ListIndex());
            } else if (change == ui::ControlChange::ListIndex) {
                combo->setCurrentIndex(list.ListIndex());
            }
            return;
        }
        case ui::ControlKind::TextBox: {
            const auto& box = static_cast<ui::TextBox&>(control);
            if (auto* edit = qobject_cast<QPlainTextEdit*>(widget); edit != nullptr) {
                if (change == ui::ControlChange::Text) {
                    const QString lines = ToDisplayLines(box.Text());
                    if (edit->toPlainText() != lines) {
                        edit->setPlainText(lines);
                    }
                }
                return;
            }
            auto* edit = static_cast<QLineEdit*>(widget);
            if (change == ui::ControlChange::Text || change == ui::ControlChange::MaxLength) {
                SyncLineEditText(*edit, box);
            } else if (change == ui::ControlChange::Alignment) {
                edit->setAlignment(HorizontalAlignment(box.TextAlignment()) | Qt::AlignVCenter);
            }
            return;
        }
        case ui::ControlKind::CheckBox: {
            auto* check = static_cast<QCheckBox*>(widget);
            const auto& model = static_cast<ui::CheckBox&>(control);
            if (change == ui::ControlChange::Caption) {
                check->setText(ToQt(model.Caption()));
            } else if (change == ui::ControlChange::Value) {
                check->setChecked(model.Checked());
            }
            return;
        }
        case ui::ControlKind::CommandButton:
            if (change == ui::ControlChange::Caption) {
                static_cast<QPushButton*>(widget)->setText(
                    ToQt(static_cast<ui::CommandButton&>(control).Caption()));
            }
            return;
    }
}

void QtWindow::SyncTabOrder() {
    std::vector<const Mirror*> order;
    for (const Mirror& mirror : m_mirrors) {
        if (TakesFocus(mirror.control->Kind())) {
            order.push_back(&mirror);
        }
    }
    std::stable_sort(order.begin(), order.end(), [](const Mirror* a, const Mirror* b) {
        return a->control->TabIndex() < b->control->TabIndex();
    });
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1]->widget, order[i]->widget);
    }
}

void QtWindow::FocusFirst() {
    const Mirror* first = nullptr;
    for (const Mirror& mirror : m_mirrors) {
        if (TakesFocus(mirror.control->Kind()) && mirror.control->Interactive() &&
            (first == nullptr || mirror.control->TabIndex() < first->control->TabIndex())) {
            first = &mirror;
        }
    }
    if (first != nullptr) {
        first->widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtWindow::PlaceOnScreen() {
    if (!m_window.CenterOnScreen()) {
        return;
    }
    const QWidget* active = QApplication::activeWindow();
    QScreen* screen = active != nullptr ? active->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The frame (title bar, border) is known only once the window is shown, so
    // this runs before the show, centring the client area, and again after it.
    const QRect client = m_dialog->geometry();
    const QRect frame = m_dialog->frameGeometry();
    QRect placed(QPoint(0, 0), frame.size().expandedTo(client.size()));
    placed.moveCenter(screen->availableGeometry().center());
    m_dialog->move(placed.topLeft());
}

void QtWindow::RunModal() {
    if (!m_window.Loaded() || !m_window.Visible()) {
        return;
    }
    PlaceOnScreen();
    FocusFirst();
    QEventLoop loop;
    m_loop = &loop;
    m_dialog->show();
    PlaceOnScreen();
    while (m_window.Loaded() && m_window.Visible()) {
        m_showEnded = false;
        loop.exec(QEventLoop::DialogExec);
        if (!m_showEnded) {
            // Only the application's quit ends the loop without the model: end
            // the show as a dismissed dialog ends.
            m_loop = nullptr;
            m_window.Hide();
            break;
        }
    }
    m_loop = nullptr;
    m_dialog->hide();
}

void QtWindow::EndShow() {
    m_showEnded = true;
    m_dialog->hide();
    if (m_loop != nullptr) {
        m_loop->quit();
    }
}

void QtWindow::WindowChanged(ui::Window& window, ui::WindowChange change) {
    switch (change) {
        case ui::WindowChange::Caption:
            m_dialog->setWindowTitle(ToQt(window.Caption()));
            return;
        case ui::WindowChange::Loaded:
            SyncAll();
            return;
        case ui::WindowChange::Shown:
            if (m_loop != nullptr) {
                m_dialog->show();
            }
            return;
        case ui::WindowChange::Hidden:
            EndShow();
            return;
        case ui::WindowChange::Unloaded:
            // Every control is back at its layout row, reported once.
            SyncAll();
            EndShow();
            return;
    }
}

void QtWindow::ControlChanged(ui::Control& control, ui::ControlChange change) {
    if (const Mirror* mirror = Find(control); mirror != nullptr) {
        Sync(*mirror, change);
    }
}

}  // namespace velorin::qt

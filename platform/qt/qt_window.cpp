#include "platform/qt/qt_window.h"

#include <QAbstractItemView>
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
#include <QTimer>
#include <QWindow>
#include <algorithm>
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

// A QLineEdit's own limit when the model has none.
constexpr int kNoLimit = std::numeric_limits<int>::max();

// A list may widen the layout to at most this many times the scale its captions
// need, and the layout takes at most this share of the screen for its lists.
constexpr double kListGrowth = 2.0;
constexpr double kScreenShare = 0.9;
// No font needs a layout eight times as large; a control moved to a sliver of
// a pixel around a caption must not blow the window up past what a screen or
// Qt can hold.
constexpr double kMaxScale = 8.0;
// Rounding each edge to whole pixels may leave a text a pixel short of the
// scale found in one round; a second round makes up for it.
constexpr int kFitRounds = 4;

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

TwipRect DeclaredRect(const ui::Control& control) {
    const std::int64_t left = control.Left();
    const std::int64_t top = control.Top();
    return {.left = left,
            .top = top,
            .right = left + control.Width(),
            .bottom = top + control.Height()};
}

// A caption drawn on the window's ground: a label's or a check box's text.
bool IsCaption(const ui::Control& control) {
    return control.Kind() == ui::ControlKind::Label || control.Kind() == ui::ControlKind::CheckBox;
}

// Of two overlapping controls (`earlier` before `later` in the layout), a
// caption gives way to a box (a list, a text box, a button, a frame), whose
// whole rectangle is drawn; two captions, each drawn from its own side, meet
// halfway; of two boxes, the earlier one, which the later one covers, gives way.
Yield WhoYields(const ui::Control& earlier, const ui::Control& later) {
    if (IsCaption(earlier) && IsCaption(later)) {
        return Yield::Halfway;
    }
    return IsCaption(later) && !IsCaption(earlier) ? Yield::Second : Yield::First;
}

// The scale at which a widget `have` pixels long, placed at `scale`, would be
// `need` pixels long; 1 when it is long enough already. What the style draws
// around a text does not grow with the scale, so this errs on the large side.
double ScaleFor(double scale, int need, int have) {
    if (need <= have || have <= 0) {
        return 1.0;
    }
    return scale * (need + 1.0) / have;
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
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            m_owner.ScheduleRelayout();
        }
        QDialog::changeEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            // A focused button has taken its own Enter already; this is Enter in
            // a list, a text box or a check box.
            event->accept();
            m_owner.PersonPressesEnter();
            return;
        }
        if (plain && event->key() == Qt::Key_Escape) {
            event->accept();
            m_owner.PersonPressesEsc();
            return;
        }
        QDialog::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        // The model's unload hides the dialog; the event itself closes nothing.
        event->ignore();
        m_owner.PersonCloses();
    }

  private:
    QtWindow& m_owner;
};

QtWindow::QtWindow(ui::Window& window, QtToolkit& toolkit) : WindowMirror(window, toolkit) {
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
    // Over a host's main window as the window system sees it, not as its child
    // widget, which would take on the host's whole style sheet; only its font,
    // the one its user chose (QGIS sets it by a style sheet), is taken.
    QFont font = DialogFont();
    if (QWidget* host = toolkit.DialogParent(); host != nullptr) {
        host->window()->ensurePolished();
        font = host->window()->font();
        m_dialog->winId();
        QWindow* over = host->window()->windowHandle();
        if (over != nullptr && m_dialog->windowHandle() != nullptr) {
            m_dialog->windowHandle()->setTransientParent(over);
        }
    }
    m_dialog->setFont(font);
    m_dialog->setWindowIcon(WindowIcon());
    m_dialog->setWindowModality(Qt::ApplicationModal);

    m_mirrors.reserve(window.ControlCount());
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        m_mirrors.push_back({.control = &window.ControlAt(i), .widget = nullptr, .shown = {}});
    }
    for (const Mirror& mirror : m_mirrors) {
        Build(*mirror.control);
    }
    // Later rows lie above earlier ones where they overlap, whatever order the
    // frames were built in.
    for (const Mirror& mirror : m_mirrors) {
        mirror.widget->raise();
    }
    SizeAt(m_scale);
    PlaceAt(m_scale);
    Attach();
    m_built = true;
    Relayout();
}

QtWindow::~QtWindow() { Detach(); }

QDialog& QtWindow::Dialog() const { return *m_dialog; }

QWidget* QtWindow::Widget(const ui::Control& control) const {
    const Mirror* mirror = Find(control);
    return mirror != nullptr ? mirror->widget : nullptr;
}

QWidget* QtWindow::Widget(std::string_view name) const {
    const ui::Control* control = Model().FindControl(name);
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

template <class W>
W* QtWindow::WidgetAs(const ui::Control& control) const {
    const Mirror* mirror = Find(control);
    return mirror != nullptr ? qobject_cast<W*>(mirror->widget) : nullptr;
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
    mirror.widget = MakeWidget(control, parent);
    mirror.widget->setObjectName(ToQt(control.Name()));
    return mirror.widget;
}

// The widget of a control's kind, wired so that what the person does with it
// reaches the model.
QWidget* QtWindow::MakeWidget(ui::Control& control, QWidget* parent) {
    if (auto* list = ui::As<ui::ComboBox>(control)) {
        auto* combo = new QComboBox(parent);
        // activated, not currentIndexChanged: only a person's pick, and every
        // pick, also of the entry already current.
        QObject::connect(combo, kComboActivated, combo,
                         [this, list](int index) { PersonPicks(*list, index); });
        return combo;
    }
    if (auto* box = ui::As<ui::TextBox>(control)) {
        return MakeTextBox(*box, parent);
    }
    if (auto* button = ui::As<ui::CommandButton>(control)) {
        auto* push = new QPushButton(parent);
        push->setDefault(button->Default());
        QObject::connect(push, &QPushButton::clicked, push,
                         [this, button] { PersonClicks(*button); });
        return push;
    }
    if (ui::As<ui::CheckBox>(control) != nullptr) {
        auto* check = new QCheckBox(parent);
        QObject::connect(check, &QCheckBox::clicked, check,
                         [this, &control] { PersonClicks(control); });
        return check;
    }
    if (ui::As<ui::Label>(control) != nullptr) {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    return new QGroupBox(parent);
}

QWidget* QtWindow::MakeTextBox(ui::TextBox& box, QWidget* parent) {
    if (!box.MultiLine()) {
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited, edit,
                         [this, &box](const QString& text) { PersonTypes(box, FromQt(text)); });
        return edit;
    }
    auto* edit = new QPlainTextEdit(parent);
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(box.VerticalScrollBar() ? Qt::ScrollBarAlwaysOn
                                                             : Qt::ScrollBarAlwaysOff);
    // Mirroring the model changes the text too; the mirror tells those apart.
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this, &box, edit] {
        PersonTypes(box, FromDisplayLines(edit->toPlainText()));
    });
    return edit;
}

void QtWindow::SyncWindowCaption(const std::string& caption) {
    m_dialog->setWindowTitle(ToQt(caption));
}

void QtWindow::SyncEnabled(ui::Control& control) { Widget(control)->setEnabled(control.Enabled()); }

void QtWindow::SyncVisible(ui::Control& control) { Widget(control)->setVisible(control.Visible()); }

void QtWindow::SyncGeometry(ui::Control& /*control*/) {
    // A control that moves may cover another, or uncover it.
    PlaceAt(m_scale);
    ScheduleRelayout();
}

void QtWindow::SyncToolTip(ui::Control& control) {
    if (WidgetAs<QComboBox>(control) != nullptr) {
        FitListToolTip(control);
    } else {
        Widget(control)->setToolTip(ToQt(control.ToolTip()));
    }
}

void QtWindow::SyncCaption(ui::Control& control, const std::string& caption) {
    QWidget* widget = Widget(control);
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(ToQt(caption));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQt(caption));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQt(caption));
    }
    ScheduleRelayout();
}

void QtWindow::SyncAlignment(ui::Control& control, ui::Alignment alignment) {
    QWidget* widget = Widget(control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // Top-aligned: a layout places a label's text level with the text box
        // beside it by the label's top.
        label->setAlignment(HorizontalAlignment(alignment) | Qt::AlignTop);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setAlignment(HorizontalAlignment(alignment) | Qt::AlignVCenter);
    }
}

void QtWindow::SyncItems(ui::ComboBox& list) {
    if (auto* combo = WidgetAs<QComboBox>(list)) {
        SyncComboItems(*combo, list);
        combo->setCurrentIndex(list.ListIndex());
        FitListToolTip(list);
    }
    ScheduleRelayout();
}

void QtWindow::SyncListIndex(ui::ComboBox& list) {
    if (auto* combo = WidgetAs<QComboBox>(list)) {
        combo->setCurrentIndex(list.ListIndex());
        FitListToolTip(list);
    }
}

void QtWindow::SyncText(ui::TextBox& box) {
    if (auto* edit = WidgetAs<QLineEdit>(box)) {
        SyncLineEditText(*edit, box);
    } else if (auto* lines = WidgetAs<QPlainTextEdit>(box)) {
        const QString text = ToDisplayLines(box.Text());
        if (lines->toPlainText() != text) {
            lines->setPlainText(text);
        }
    }
}

void QtWindow::SyncValue(ui::CheckBox& check) {
    if (auto* widget = WidgetAs<QCheckBox>(check)) {
        widget->setChecked(check.Checked());
    }
}

void QtWindow::SyncTabOrder() {
    const std::vector<ui::Control*> order = FocusOrder();
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(Widget(*order[i - 1]), Widget(*order[i]));
    }
}

void QtWindow::PlaceOnScreen() {
    if (!Model().CenterOnScreen()) {
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
    if (!Model().Loaded() || !Model().Visible()) {
        return;
    }
    if (m_relayoutPending) {
        Relayout();
    }
    PlaceOnScreen();
    if (ui::Control* first = FirstFocus(); first != nullptr) {
        Widget(*first)->setFocus(Qt::OtherFocusReason);
    }
    QEventLoop loop;
    m_loop = &loop;
    m_dialog->show();
    PlaceOnScreen();
    while (Model().Loaded() && Model().Visible()) {
        m_showEnded = false;
        loop.exec(QEventLoop::DialogExec);
        if (!m_showEnded) {
            // Only the application's quit ends the loop without the model: end
            // the show as a dismissed dialog ends.
            m_loop = nullptr;
            Model().Hide();
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

void QtWindow::ShowAgain() {
    if (m_loop != nullptr) {
        m_dialog->show();
    }
}

void QtWindow::ScheduleRelayout() {
    if (!m_built || m_relayoutPending) {
        return;
    }
    m_relayoutPending = true;
    // The dialog as the context: a window thrown away before the loop turns
    // takes the call with it.
    QTimer::singleShot(0, m_dialog.get(), [this] {
        if (m_relayoutPending) {
            Relayout();
        }
    });
}

void QtWindow::PlaceAt(double scale) {
    for (Mirror& mirror : m_mirrors) {
        mirror.shown = DeclaredRect(*mirror.control);
    }
    for (std::size_t i = 0; i < m_mirrors.size(); ++i) {
        for (std::size_t j = i + 1; j < m_mirrors.size(); ++j) {
            const ui::Control& earlier = *m_mirrors[i].control;
            const ui::Control& later = *m_mirrors[j].control;
            if (earlier.Container() == later.Container()) {
                PartOverlap(m_mirrors[i].shown, m_mirrors[j].shown, WhoYields(earlier, later));
            }
        }
    }
    for (const Mirror& mirror : m_mirrors) {
        mirror.widget->setGeometry(ScaledRect(mirror.shown, scale));
    }
}

void QtWindow::SizeAt(double scale) {
    const ui::Window& window = Model();
    const QSize client(TwipsToPixels(window.ClientWidth(), scale),
                       TwipsToPixels(window.ClientHeight(), scale));
    if (window.Resizable()) {
        m_dialog->resize(client);
    } else {
        m_dialog->setFixedSize(client);
    }
}

double QtWindow::ScreenScale() const {
    const QScreen* screen = m_dialog->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const double width = Model().ClientWidth() / static_cast<double>(kTwipsPerPixel);
    const double height = Model().ClientHeight() / static_cast<double>(kTwipsPerPixel);
    if (screen == nullptr || width <= 0 || height <= 0) {
        return 1.0;
    }
    const QRect available = screen->availableGeometry();
    return kScreenShare * std::min(available.width() / width, available.height() / height);
}

void QtWindow::Relayout() {
    m_relayoutPending = false;
    // Style sheets set their fonts when a widget is polished: measure after.
    m_dialog->ensurePolished();
    const double screenScale = ScreenScale();
    double captions = 1.0;
    double lists = 1.0;
    double scale = 1.0;
    double placed = 0.0;
    for (int round = 0; round < kFitRounds; ++round) {
        PlaceAt(scale);
        placed = scale;
        for (const Mirror& mirror : m_mirrors) {
            QWidget& widget = *mirror.widget;
            const QSize have = widget.size();
            const QSize need = RoomNeeded(widget);
            captions = std::max({captions, ScaleFor(scale, need.width(), have.width()),
                                 ScaleFor(scale, need.height(), have.height())});
            if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
                lists = std::max(lists, ScaleFor(scale, ListWidthNeeded(*combo), have.width()));
            }
            // A control in a frame starts below the frame's title.
            if (auto* frame = qobject_cast<QGroupBox*>(widget.parentWidget())) {
                captions =
                    std::max(captions, ScaleFor(scale, frame->contentsRect().top(), widget.y()));
            }
        }
        const double listCap = std::max(captions, std::min(captions * kListGrowth, screenScale));
        const double next = std::min(std::max(captions, std::min(lists, listCap)), kMaxScale);
        if (next <= scale) {
            break;
        }
        scale = next;
    }
    if (placed != scale) {
        PlaceAt(scale);
    }
    // Sized once, at the end: a window system would see every trial size.
    SizeAt(scale);
    m_scale = scale;
    FitLists();
}

void QtWindow::FitLists() {
    const QScreen* screen = m_dialog->screen();
    const int widest = screen != nullptr
                           ? static_cast<int>(screen->availableGeometry().width() * kScreenShare)
                           : QWIDGETSIZE_MAX;
    for (const Mirror& mirror : m_mirrors) {
        if (auto* combo = qobject_cast<QComboBox*>(mirror.widget)) {
            combo->view()->setMinimumWidth(std::min(PopupWidthNeeded(*combo), widest));
            FitListToolTip(*mirror.control);
        }
    }
}

void QtWindow::FitListToolTip(ui::Control& control) {
    auto* combo = WidgetAs<QComboBox>(control);
    if (combo == nullptr) {
        return;
    }
    const QString declared = ToQt(control.ToolTip());
    const QString current = combo->currentText();
    const bool cut = combo->fontMetrics().horizontalAdvance(current) > ListField(*combo).width();
    if (!cut) {
        combo->setToolTip(declared);
    } else if (declared.isEmpty()) {
        combo->setToolTip(current);
    } else {
        combo->setToolTip(current + QLatin1Char('\n') + declared);
    }
}

}  // namespace velorin::qt

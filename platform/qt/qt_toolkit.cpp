#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QEventLoop>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "platform/qt/application_look.h"
#include "platform/qt/input_gate.h"
#include "platform/qt/qt_window.h"
#include "ui/runtime_error.h"

namespace velorin::qt {

namespace {

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The largest magnitude whose 15-digit form stays within a double's range; the
// 15-digit form of anything larger (1.79769313486232e+308) no box reads back.
constexpr double kLargestShown = 1.79769313486231e308;

// Direction marks some locales put around their signs (Arabic letter mark,
// left-to-right and right-to-left marks); a person may type them or not.
QString WithoutDirectionMarks(QString text) {
    for (const char16_t mark : {u'\u061c', u'\u200e', u'\u200f'}) {
        text.remove(QChar(mark));
    }
    return text;
}

// Qt's reader refuses some of what its writer produces in the same locale: an
// exponent written "×10^" (sv_SE) or "اس" (ar_EG), a sign carrying a direction
// mark (ar_EG, fa_IR, he_IL). A text made only of the locale's own digits,
// decimal point, signs and exponent is read by spelling it the C way; any other
// character (a group separator, another locale's decimal point) refuses it.
std::optional<double> ReadLocaleSymbols(const QString& text, const QLocale& locale) {
    QString spelled = WithoutDirectionMarks(text);
    const auto spell = [&spelled](const QString& symbol, const QString& c) {
        const QString bare = WithoutDirectionMarks(symbol);
        if (!bare.isEmpty()) spelled.replace(bare, c, Qt::CaseInsensitive);
    };
    // The exponent first: "×10^" holds digits, and its sign follows it.
    spell(locale.exponential(), QStringLiteral("e"));
    spell(locale.negativeSign(), QStringLiteral("-"));
    spell(locale.positiveSign(), QStringLiteral("+"));
    // Qt 5 gives the decimal point and the zero digit as one QChar, Qt 6 as a
    // string that may hold a surrogate pair; either way one code point is expected.
    const auto decimal = WithoutDirectionMarks(QString(locale.decimalPoint())).toUcs4();
    const auto zero = QString(locale.zeroDigit()).toUcs4();
    if (decimal.size() != 1 || zero.size() != 1) return std::nullopt;

    QString c;
    for (const auto ch : spelled.toUcs4()) {
        if (ch == U'e' || ch == U'-' || ch == U'+') {
            c += QChar(static_cast<char16_t>(ch));
        } else if (ch == decimal[0]) {
            c += QLatin1Char('.');
        } else if (ch >= zero[0] && ch <= zero[0] + 9) {
            c += QLatin1Char(static_cast<char>('0' + (ch - zero[0])));
        } else {
            return std::nullopt;
        }
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(c, &ok);
    if (!ok) return std::nullopt;
    return value;
}

}  // namespace

QtToolkit::QtToolkit() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        ui::RaiseRuntimeError(ui::kErrObjectRequired, "no Qt widget application");
    }
    m_gate = std::make_unique<InputGate>();
}

QtToolkit::~QtToolkit() = default;

void QtToolkit::Pump() {
    const GateScope open(*m_gate, true);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtToolkit::DoEvents() { Pump(); }

bool QtToolkit::TakeEscPress() {
    Pump();
    return m_gate->TakeEscPress();
}

std::optional<double> QtToolkit::ParseNumber(std::string_view text) {
    const QString trimmed = ToQt(text).trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    std::optional<double> value = locale.toDouble(trimmed, &ok);
    if (!ok) {
        value = ReadLocaleSymbols(trimmed, locale);
    }
    if (!value || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

std::string QtToolkit::FormatNumber(double value) {
    // Negative zero reads "0", as a person expects of a value they did not negate.
    if (value == 0.0) {
        value = 0.0;
    }
    if (std::fabs(value) > kLargestShown) {
        value = std::copysign(kLargestShown, value);
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return FromQt(locale.toString(value, 'g', 15));
}

void QtToolkit::RunModal(ui::Window& window) {
    const GateScope closed(*m_gate, false);
    QtWindow view(window, *this);
    view.RunModal();
}

ui::MsgResult QtToolkit::ShowMessageBox(const ui::MessageBoxRequest& request) {
    const GateScope closed(*m_gate, false);
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = QApplication::activeWindow();
    }
    const bool withCancel = request.buttons == ui::MsgButtons::OkCancel;
    QMessageBox box(
        request.icon == ui::MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
        ToQt(request.title), ToQt(request.text),
        withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    // Texts quote names a person chose ("<None>", a layer called "<b>"): never
    // markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowIcon(WindowIcon());
    box.setDefaultButton(QMessageBox::Ok);
    // The close box and Esc press the escape button: Cancel where there is one.
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    box.exec();
    // No button at all means the application quit under the box: not an OK.
    return box.clickedButton() == box.button(QMessageBox::Ok) ? ui::MsgResult::Ok
                                                              : ui::MsgResult::Cancel;
}

void QtToolkit::SleepFor(std::int32_t milliseconds) {
    if (m_beforeSleep) {
        m_beforeSleep();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace velorin::qt

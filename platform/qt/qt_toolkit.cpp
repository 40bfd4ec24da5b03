#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QEventLoop>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <chrono>
#include <cmath>
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
    const double value = locale.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string QtToolkit::FormatNumber(double value) {
    // Negative zero reads "0", as a person expects of a value they did not negate.
    if (value == 0.0) {
        value = 0.0;
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

#include "platform/qt/input_gate.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

namespace velorin::qt {

namespace {

bool IsUserInputOrClose(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

InputGate::InputGate() { QCoreApplication::instance()->installEventFilter(this); }

InputGate::~InputGate() = default;

bool InputGate::SetOpen(bool open) {
    const bool previous = m_open;
    m_open = open;
    return previous;
}

bool InputGate::TakeEscPress() {
    if (m_pendingEsc == 0) {
        return false;
    }
    --m_pendingEsc;
    return true;
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    if (!m_open || !IsUserInputOrClose(event->type()) ||
        QApplication::activeModalWidget() != nullptr) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
                ++m_pendingEsc;
            }
            break;
        }
        case QEvent::ShortcutOverride:
            // Accepted, the key counts as wanted by the focus widget: no shortcut
            // fires, and the key press itself comes next, to be seen here.
            event->accept();
            break;
        case QEvent::Close:
            event->ignore();
            break;
        default:
            break;
    }
    return true;
}

}  // namespace velorin::qt

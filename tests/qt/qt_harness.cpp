#include "tests/qt/qt_harness.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <cstdlib>

namespace velorin::qt::testing {

namespace {

// Grey levels closer than this are the same shade to the eye.
constexpr int kFaintShade = 40;

void SetCaption(QWidget& widget, const QString& caption) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        label->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        button->setText(caption);
    } else if (auto* frame = qobject_cast<QGroupBox*>(&widget)) {
        frame->setTitle(caption);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(caption);
    }
}

}  // namespace

void WhenLoopRuns(std::function<void()> step) { QTimer::singleShot(0, std::move(step)); }

Watchdog::Watchdog(int milliseconds) {
    m_timer.setInterval(milliseconds);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        bool closed = false;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible()) {
                closed = true;
                widget->close();
            }
        }
        if (closed && !m_fired) {
            m_fired = true;
            ADD_FAILURE() << "watchdog: a window was still up; closed every window";
        }
    });
    m_timer.start();
}

Watchdog::~Watchdog() = default;

int DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height();
    }
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > kFaintShade) {
                ++differing;
            }
        }
    }
    return differing;
}

QString CaptionOf(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
        return frame->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return edit->text();
    }
    return {};
}

QRect CaptionArea(QWidget& widget) {
    const QString caption = CaptionOf(widget);
    const QImage with = widget.grab().toImage();
    SetCaption(widget, QString());
    const QImage without = widget.grab().toImage();
    SetCaption(widget, caption);
    QRect area;
    if (with.size() != without.size()) {
        return widget.rect();
    }
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (std::abs(qGray(with.pixel(x, y)) - qGray(without.pixel(x, y))) > kFaintShade) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

int CaptionInk(QWidget& widget) {
    const QString caption = CaptionOf(widget);
    const QImage with = widget.grab().toImage();
    SetCaption(widget, QString());
    const QImage without = widget.grab().toImage();
    SetCaption(widget, caption);
    return DifferingPixels(with, without);
}

::testing::AssertionResult CaptionFits(QWidget& widget) {
    const QString caption = CaptionOf(widget);
    const int textWidth = widget.fontMetrics().horizontalAdvance(caption);
    int needed = 0;
    if (qobject_cast<QLabel*>(&widget) != nullptr || qobject_cast<QCheckBox*>(&widget) != nullptr) {
        needed = widget.sizeHint().width();
    } else if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        needed =
            textWidth + 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    } else if (qobject_cast<QGroupBox*>(&widget) != nullptr) {
        needed = widget.minimumSizeHint().width();
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        // The frame and the text margins on both sides.
        QStyleOptionFrame option;
        option.initFrom(edit);
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QMargins margins = edit->textMargins();
        needed = textWidth + 2 * frame + margins.left() + margins.right() + 4;
    }
    if (needed <= widget.width()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << widget.objectName().toStdString() << " \"" << caption.toStdString() << "\" needs "
           << needed << " px, has " << widget.width();
}

}  // namespace velorin::qt::testing

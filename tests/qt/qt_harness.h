#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QImage;
class QRect;

// What the Qt tests share: finding the windows a modal show or a box put up,
// driving them from the event loop without ever hanging, and looking at the
// pixels a caption leaves.
namespace velorin::qt::testing {

// Runs `step` when the next event loop turns, which is inside the modal show or
// message box the test starts right after.
void WhenLoopRuns(std::function<void()> step);

// The shown top-level widget of type T with that object name (any name when
// empty), or null.
template <class T>
T* FindShown(const QString& name = {}) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* typed = qobject_cast<T*>(widget);
            typed != nullptr && typed->isVisible() &&
            (name.isEmpty() || typed->objectName() == name)) {
            return typed;
        }
    }
    return nullptr;
}

// Fails the test and closes every shown window (their close boxes) if the test
// still has a window up after `milliseconds`, and keeps trying every so often, so
// a driver that never closes its dialog ends the show instead of hanging it.
class Watchdog {
  public:
    explicit Watchdog(int milliseconds = 10000);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog(Watchdog&&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    Watchdog& operator=(Watchdog&&) = delete;

    bool Fired() const { return m_fired; }

  private:
    QTimer m_timer;
    bool m_fired = false;
};

// The number of pixels whose grey levels differ by more than a faint shade.
int DifferingPixels(const QImage& a, const QImage& b);

// The ink of a widget's own caption (a label's text, a button's or check box's
// text, a frame's title, a one-line text box's text): the pixels that change when the caption is
// removed from the widget. Zero when nothing is drawn, as with no usable font, which Qt does not
// report. The widget is painted on its own, clipped to its rectangle, so ink outside the control is
// not counted.
int CaptionInk(QWidget& widget);

// The smallest rectangle holding the ink of CaptionInk, in the widget's
// coordinates; empty when nothing is drawn.
QRect CaptionArea(QWidget& widget);

// Whether the caption fits inside the widget, by the width the widget's style
// needs for it.
::testing::AssertionResult CaptionFits(QWidget& widget);

QString CaptionOf(const QWidget& widget);

}  // namespace velorin::qt::testing

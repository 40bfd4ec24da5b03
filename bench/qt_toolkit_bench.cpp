#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QWidget>
#include <memory>

#include "platform/qt/application_look.h"
#include "platform/qt/qt_toolkit.h"

// The cost of a cancel check through the Qt toolkit: Copy Legend Colors asks once
// per Source feature, and each ask pumps the pending events through the input
// gate. Runs on the offscreen platform unless another is chosen.
namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "qt_toolkit_bench";
    static char* argv[] = {name, nullptr};
    static const std::unique_ptr<QApplication> application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
        }
        auto made = std::make_unique<QApplication>(argc, argv);
        velorin::qt::PrepareApplication();
        return made;
    }();
    return *application;
}

// A shown map-sized window, as during a run, and nothing pending.
void BM_TakeEscPressNothingPending(benchmark::State& state) {
    Application();
    QWidget mapWindow;
    mapWindow.resize(800, 600);
    mapWindow.show();
    velorin::qt::QtToolkit toolkit;
    toolkit.DoEvents();
    for (auto _ : state) {
        benchmark::DoNotOptimize(toolkit.TakeEscPress());
    }
}
BENCHMARK(BM_TakeEscPressNothingPending);

// The same with a repaint of the map window pending at every check, as after a
// zoom.
void BM_DoEventsWithARepaint(benchmark::State& state) {
    Application();
    QWidget mapWindow;
    mapWindow.resize(800, 600);
    mapWindow.show();
    velorin::qt::QtToolkit toolkit;
    for (auto _ : state) {
        mapWindow.update();
        toolkit.DoEvents();
    }
}
BENCHMARK(BM_DoEventsWithARepaint);

}  // namespace

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

// Made by main before any benchmark runs and destroyed before main returns: a
// QApplication left to static destruction outlives the platform plugin it
// loaded and crashes the process at exit.
QApplication* g_application = nullptr;

QApplication& Application() { return *g_application; }

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

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    velorin::qt::PrepareApplication();
    g_application = &application;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_application = nullptr;
    return 0;
}

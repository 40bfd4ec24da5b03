#include <benchmark/benchmark.h>

#include <QWidget>

#include "bench/qt_bench_main.h"
#include "platform/qt/qt_toolkit.h"

// The cost of a cancel check through the Qt toolkit: Copy Legend Colors asks once
// per Source feature, and each ask pumps the pending events through the input
// gate. Runs on the offscreen platform unless another is chosen.
namespace {

// A shown map-sized window, as during a run, and nothing pending.
void BM_TakeEscPressNothingPending(benchmark::State& state) {
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

int main(int argc, char** argv) { return velorin::bench::RunWithQApplication(argc, argv); }

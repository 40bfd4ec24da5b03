// One Zoom and Flash run over 10,000 Source features with flash times 0, against a
// Related layer of 10,000 and of 1,000,000 features. Each Source key matches
// exactly one Related feature in both, lying beside its Source feature; the other
// Related features lie in a region of their own that no zoom shows. So the work
// per feature, and what each zoom shows, is the same and only the Related layer's
// size differs: with the host's key index (the engine alone) and its spatial
// index (the redraw after each zoom, drawn on a real 800 x 600 screen because
// the flash needs the map under it) the time per Source feature should not grow
// with it. Run a release build:
//   build/release/bench/zoomflash_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <variant>

#include "host/host.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"
#include "zoomflash/run_zoom_flash.h"
#include "zoomflash/zoom_flash_feature.h"

namespace velorin::zoomflash {
namespace {

constexpr std::int32_t kSourceFeatures = 10'000;

// Built once per Related size: Sources keyed 0..9999 on a grid; Related features
// whose first 10,000 carry those keys and the rest keys no Source has.
memory::ReferenceHost& HostWithRelated(std::int32_t relatedFeatures, bool screen) {
    static std::map<std::pair<std::int32_t, bool>, memory::ReferenceHost> hosts;
    const auto hostKey = std::make_pair(relatedFeatures, screen);
    auto found = hosts.find(hostKey);
    if (found != hosts.end()) return found->second;

    memory::HostBuilder builder;
    builder.FeatureLayer("Catchment", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger);
    for (std::int32_t i = 0; i < kSourceFeatures; ++i) {
        builder.Feature({i}, objects::MakePoint(i % 100, i / 100));
    }
    builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger);
    for (std::int32_t i = 0; i < relatedFeatures; ++i) {
        if (i < kSourceFeatures) {
            builder.Feature({i}, objects::MakePoint(i % 100 + 0.5, i / 100 + 0.5));
        } else {
            builder.Feature({-i}, objects::MakePoint(5000 + i % 1000, 5000 + i / 1000));
        }
    }
    return hosts
        .emplace(hostKey, builder.Build(screen ? memory::MakeQImageCanvas(800, 600) : nullptr))
        .first->second;
}

// One whole run; false when it did not flash every Source and Related feature, or
// (with a screen) did not redraw the map for every zoom.
bool RunOnce(memory::ReferenceHost& host, bool screen) {
    // A fresh user per run: it records every sleep and pump.
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    // Every pump processes the view's pending redraw, as the application's message
    // loop does; without it a zoom only marks the view and nothing is redrawn.
    user.OnEvent([&host](const scripted::Event& event) {
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) {
            host.View().ProcessPendingRedraw();
        }
    });
    host.Record().Clear();
    // The same view to start from whatever the Related layer holds (a zoom on a
    // point keeps the scale).
    host.View().SetExtent(objects::MakeEnvelope(0, 0, 100, 100));
    const ZoomFlashParameters parameters{.sourceLayer = "Catchment",
                                         .sourceField = "NerroID",
                                         .relatedLayer = "NerroJunction",
                                         .relatedField = "NerroID",
                                         .zoomMethod = kZoomFullEnvelope,
                                         .zoomFactor = 1.5,
                                         .zoomWidth = 10.0};
    return !RunZoomFlash(host.Application(), parameters).interrupted &&
           host.Record().draws.size() == 4U * kSourceFeatures &&
           (!screen || host.Record().paints >= kSourceFeatures);
}

void Run(benchmark::State& state, bool screen) {
    const auto relatedFeatures = static_cast<std::int32_t>(state.range(0));
    memory::ReferenceHost& host = HostWithRelated(relatedFeatures, screen);
    // The host builds its key index at the first search of a field, once per
    // layer: a run before the timed ones keeps that one-off cost out.
    if (!RunOnce(host, screen)) {
        state.SkipWithError("the warm-up run did not flash and redraw for every feature");
    }
    for (auto _ : state) {
        if (!RunOnce(host, screen)) {
            state.SkipWithError("the run did not flash and redraw for every feature");
        }
    }
    state.SetItemsProcessed(state.iterations() * kSourceFeatures);
    state.counters["per_source_us"] = benchmark::Counter(
        static_cast<double>(kSourceFeatures),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The engine alone: a screen that draws nothing.
void BM_RunOverTenThousandSources(benchmark::State& state) { Run(state, false); }
BENCHMARK(BM_RunOverTenThousandSources)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// As the person waits for it: every zoom redraws the map before its flash.
void BM_RunWithRedrawOnScreen(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_RunWithRedrawOnScreen)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace velorin::zoomflash

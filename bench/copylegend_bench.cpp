// Copy Legend Colors over many Source features: the engine (values found through
// a hash index) against the floor, a bare loop that only reads each feature's key
// and symbol colour, and against the original linear scan of the values added so
// far. The engine also runs as the map window runs it: the Qt toolkit answers
// every cancel check, with a map-sized window shown. Run a release build:
// build/release/bench/copylegend_bench
#include <benchmark/benchmark.h>

#include <QWidget>
#include <array>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/qt_bench_main.h"
#include "copylegend/copy_legend_colors.h"
#include "copylegend/symbol_copy.h"
#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::copylegend {
namespace {

constexpr std::int32_t kPalette = 64;
// One symbol object per key, as a legend read from a document has.
constexpr std::int32_t kOwnSymbols = 0;

std::string Decimal(std::int32_t value) {
    std::array<char, 16> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), end.ptr);
}

// A Source layer of `features` points whose NerroID takes `keys` distinct values
// in a scattered order, drawn by a legend on NerroID with one of `palette` simple
// markers per key (kOwnSymbols: a marker of its own each), and an empty polygon Related layer keyed
// by text. The Source layer is hidden unless `visible`, so the closing refresh draws nothing and
// the numbers show the walk itself.
memory::ReferenceHost MakeHost(std::int32_t features, std::int32_t keys, bool visible,
                               std::int32_t palette) {
    memory::HostBuilder builder;
    const auto& context = builder.Context();
    if (palette == kOwnSymbols) palette = keys;
    std::vector<std::shared_ptr<host::ISymbol>> markers;
    for (std::int32_t i = 0; i < palette; ++i) {
        auto marker = std::make_shared<objects::SimpleMarkerSymbol>(context);
        marker->SetColor(
            objects::MakeRgbColor(context, (i * 37) % 256, (i * 91) % 256, (i * 4) % 256));
        markers.push_back(marker);
    }
    auto legend = std::make_shared<objects::UniqueValueRenderer>(context);
    legend->SetFieldCount(1);
    legend->SetField(0, "NerroID");
    for (std::int32_t key = 0; key < keys; ++key) {
        legend->AddValue(Decimal(key), "NerroID", markers[static_cast<std::size_t>(key % palette)]);
    }
    builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger);
    // Scattered, so first appearances come in no particular order.
    for (std::int64_t i = 0; i < features; ++i) {
        builder.Feature({static_cast<std::int32_t>((i * 7919) % keys)});
    }
    builder.Renderer(legend);
    if (!visible) builder.Hidden();
    builder.FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeString);
    return builder.Build();
}

memory::ReferenceHost& HostFor(std::int32_t features, std::int32_t keys, bool visible,
                               std::int32_t palette = kPalette) {
    static std::map<std::tuple<std::int32_t, std::int32_t, bool, std::int32_t>,
                    memory::ReferenceHost>
        hosts;
    const auto key = std::make_tuple(features, keys, visible, palette);
    auto found = hosts.find(key);
    if (found == hosts.end()) {
        found = hosts.emplace(key, MakeHost(features, keys, visible, palette)).first;
    }
    return found->second;
}

// The least any walk must do: every feature's key and symbol colour, read once.
void Floor(benchmark::State& state, std::int32_t palette) {
    auto& host = HostFor(static_cast<std::int32_t>(state.range(0)),
                         static_cast<std::int32_t>(state.range(1)), false, palette);
    const auto layer = host.FeatureLayerNamed("NerroJunction");
    const std::int32_t keyIndex = layer->FeatureClass()->FindField("NerroID");
    for (auto _ : state) {
        const auto renderer = layer->Renderer();
        const auto cursor = layer->Search(nullptr, false);
        while (const auto feature = cursor->NextFeature()) {
            benchmark::DoNotOptimize(feature->Value(keyIndex));
            benchmark::DoNotOptimize(GetSimpleSymbolColor(renderer, feature));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Floor(benchmark::State& state) { Floor(state, kPalette); }
void BM_FloorOwnSymbols(benchmark::State& state) { Floor(state, kOwnSymbols); }

// The floor plus what every walk must also show for every feature: the progress
// message and step of the status bar.
void BM_FloorWithProgress(benchmark::State& state) {
    auto& host = HostFor(static_cast<std::int32_t>(state.range(0)),
                         static_cast<std::int32_t>(state.range(1)), false);
    const auto layer = host.FeatureLayerNamed("NerroJunction");
    const std::int32_t keyIndex = layer->FeatureClass()->FindField("NerroID");
    const auto progress = host.Application()->StatusBar()->ProgressBar();
    const std::string tail =
        " of " + Decimal(static_cast<std::int32_t>(state.range(0))) + "...Hit Esc to Cancel";
    for (auto _ : state) {
        const auto renderer = layer->Renderer();
        const auto cursor = layer->Search(nullptr, false);
        std::int32_t counter = 0;
        std::string message;
        while (const auto feature = cursor->NextFeature()) {
            benchmark::DoNotOptimize(feature->Value(keyIndex));
            benchmark::DoNotOptimize(GetSimpleSymbolColor(renderer, feature));
            message.assign("Processing feature ");
            message += Decimal(++counter);
            message += tail;
            progress->SetMessage(message);
            progress->Step();
        }
        state.PauseTiming();
        host.Record().Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The engine's walks over the host, with whatever toolkit is current.
void Walk(benchmark::State& state, memory::ReferenceHost& host) {
    for (auto _ : state) {
        const bool notCompleted =
            CopyLegendColors(host.Application(), {.sourceLayer = "NerroJunction",
                                                  .sourceField = "NerroID",
                                                  .relatedLayer = "Catchment",
                                                  .relatedField = "JunctionID"});
        if (notCompleted) state.SkipWithError("the run did not complete");
        state.PauseTiming();
        // The host's record of every progress step is for tests, not for the walk.
        host.Record().Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void RunEngine(benchmark::State& state, bool visible, std::int32_t palette = kPalette) {
    auto& host = HostFor(static_cast<std::int32_t>(state.range(0)),
                         static_cast<std::int32_t>(state.range(1)), visible, palette);
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    Walk(state, host);
}

void BM_CopyLegendColors(benchmark::State& state) { RunEngine(state, false); }

// As the map window runs it: every cancel check goes through the Qt toolkit's Esc
// check, which pumps the events pending for a shown window.
void BM_CopyLegendColorsQtToolkit(benchmark::State& state) {
    auto& host = HostFor(static_cast<std::int32_t>(state.range(0)),
                         static_cast<std::int32_t>(state.range(1)), false, kPalette);
    QWidget mapWindow;
    mapWindow.resize(800, 600);
    mapWindow.show();
    qt::QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    auto& hooks = host.Context().hooks;
    hooks.takeEscPress = [&toolkit] { return toolkit.TakeEscPress(); };
    Walk(state, host);
    hooks.takeEscPress = nullptr;
}
void BM_CopyLegendColorsVisibleSource(benchmark::State& state) { RunEngine(state, true); }
void BM_CopyLegendColorsOwnSymbols(benchmark::State& state) {
    RunEngine(state, false, kOwnSymbols);
}

// The original walk: the same calls, but an existing value is found by comparing
// the key's text with every value added so far, in order.
void BM_OriginalLinearScan(benchmark::State& state) {
    auto& host = HostFor(static_cast<std::int32_t>(state.range(0)),
                         static_cast<std::int32_t>(state.range(1)), false);
    const auto application = host.Application();
    const auto layer = host.FeatureLayerNamed("NerroJunction");
    const std::int32_t keyIndex = layer->FeatureClass()->FindField("NerroID");
    const std::int32_t total = layer->FeatureClass()->FeatureCount(nullptr);
    for (auto _ : state) {
        auto renderer = application->NewUniqueValueRenderer();
        renderer->SetFieldCount(1);
        renderer->SetField(0, "JunctionID");
        renderer->SetFieldType(0, true);
        renderer->SetDefaultSymbol(MakeDefaultSymbol(host::esriGeometryPolygon, *application));
        renderer->SetUseDefaultSymbol(true);
        const auto sourceRenderer = layer->Renderer();
        const auto cursor = layer->Search(nullptr, false);
        const auto tracker = application->NewCancelTracker();
        const auto progress = application->StatusBar()->ProgressBar();
        progress->SetMinRange(0);
        progress->SetMaxRange(total);
        progress->SetPosition(0);
        progress->SetStepValue(1);
        progress->Show();
        std::int32_t counter = 0;
        while (const auto feature = cursor->NextFeature()) {
            if (!tracker->Continue()) break;
            const auto color = host::Require<host::IColor>(
                host::Require<host::IClone>(GetSimpleSymbolColor(sourceRenderer, feature), "IClone")
                    ->Clone(),
                "IColor");
            const host::FieldValue key = feature->Value(keyIndex);
            if (!key.IsNull()) {
                const std::string text = host::ToText(key);
                bool found = false;
                const std::int32_t count = renderer->ValueCount();
                for (std::int32_t i = 0; i < count && !found; ++i) {
                    found = renderer->Value(i) == text;
                }
                if (!found) {
                    const auto symbol =
                        MakeValueSymbol(host::esriGeometryPolygon, color, *application);
                    renderer->AddValue(text, "JunctionID", symbol);
                    renderer->SetLabel(text, text);
                    renderer->SetSymbol(text, symbol);
                }
            }
            ++counter;
            progress->SetMessage("Processing feature " + Decimal(counter) + " of " +
                                 Decimal(total) + "...Hit Esc to Cancel");
            progress->Step();
        }
        progress->Hide();
        benchmark::DoNotOptimize(renderer);
        state.PauseTiming();
        host.Record().Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Floor)
    ->Args({1'000'000, 100'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWithProgress)
    ->Args({1'000'000, 100'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLegendColors)
    ->Args({1'000'000, 100'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond);
// Every key with a symbol object of its own: the symbols no longer fit the cache.
BENCHMARK(BM_FloorOwnSymbols)->Args({1'000'000, 100'000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLegendColorsOwnSymbols)->Args({1'000'000, 100'000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLegendColorsQtToolkit)->Args({1'000'000, 100'000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLegendColorsVisibleSource)
    ->Args({1'000'000, 100'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OriginalLinearScan)->Args({100'000, 10'000})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin::copylegend

int main(int argc, char** argv) { return velorin::bench::RunWithQApplication(argc, argv); }

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QScrollBar>
#include <QString>
#include <QTableView>
#include <array>
#include <memory>
#include <vector>

#include "app/attribute_table.h"
#include "host/codes.h"
#include "platform/memory/reference_host.h"
#include "platform/qt/application_look.h"

// The attribute table on a layer of a million points: opening it and scrolling
// to the last row, against building every row's cells once (what a table that
// loads its rows into widgets pays before it can show anything). Runs on the
// offscreen platform unless another is chosen.
namespace {

constexpr std::int32_t kFeatures = 1'000'000;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "attribute_table_bench";
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

const std::shared_ptr<velorin::memory::FeatureLayer>& MillionPoints() {
    using namespace velorin;
    static const memory::ReferenceHost host = [] {
        memory::HostBuilder builder;
        builder.FeatureLayer("Points", host::esriGeometryPoint)
            .Field("Name", host::esriFieldTypeString)
            .Field("Depth", host::esriFieldTypeDouble);
        for (std::int32_t i = 0; i < kFeatures; ++i) {
            builder.Feature({"point " + std::to_string(i), i * 0.25},
                            objects::MakePoint(i % 1000, i / 1000));
        }
        return builder.Build();
    }();
    static const auto layer = host.FeatureLayerNamed("Points");
    return layer;
}

void BM_AttributeTableOpenAndScrollToEnd(benchmark::State& state) {
    Application();
    const auto& layer = MillionPoints();
    for (auto _ : state) {
        velorin::app::AttributeTable table(layer);
        table.resize(800, 600);
        table.show();
        table.View().scrollToBottom();
        // Painting asks the model for the cells on the screen, and only those.
        benchmark::DoNotOptimize(table.grab());
        if (table.View().verticalScrollBar()->value() !=
            table.View().verticalScrollBar()->maximum()) {
            state.SkipWithError("the table did not reach its end");
        }
    }
    state.counters["rows"] = kFeatures;
}

void BM_BuildEveryRowOnce(benchmark::State& state) {
    Application();
    const auto& layer = MillionPoints();
    const velorin::memory::RowStore& store = *layer->Data()->Store();
    const velorin::objects::Fields& fields = *store.FieldSet();
    for (auto _ : state) {
        std::vector<std::array<QString, 4>> rows(store.Size());
        for (std::size_t r = 0; r < store.Size(); ++r) {
            for (std::int32_t f = 0; f < fields.Count(); ++f) {
                rows[r][static_cast<std::size_t>(f)] =
                    velorin::app::CellText(fields, store.At(r), f);
            }
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = kFeatures;
}

BENCHMARK(BM_AttributeTableOpenAndScrollToEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildEveryRowOnce)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

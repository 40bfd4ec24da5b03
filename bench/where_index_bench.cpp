// Equality search among 1,000,000 features: through the field's hash index against
// a scan of every row. Run a release build: build/release/bench/where_index_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"
#include "platform/memory/feature_class.h"
#include "platform/objects/query_filter.h"

namespace velorin::memory {
namespace {

constexpr std::int32_t kFeatures = 1'000'000;

// Built once for all benchmarks: each feature's NerroID is its position times 7,
// so every key is found exactly once and a lookup walks no long hit list.
const FeatureClass& Million() {
    static const std::shared_ptr<FeatureClass> features = [] {
        auto context = std::make_shared<HostContext>();
        auto fields =
            MakeFields(context, {{"NerroID", host::esriFieldTypeInteger, {}}}, true, false);
        auto result = std::make_shared<FeatureClass>(context, "Junctions", host::esriGeometryPoint,
                                                     host::esriFTSimple, fields);
        for (std::int32_t i = 0; i < kFeatures; ++i) result->AddFeature({i * 7}, nullptr);
        return result;
    }();
    return *features;
}

const char* const kClause = "NerroID = 3500000";

void BM_EqualityThroughIndex(benchmark::State& state) {
    const RowStore& store = *Million().Store();
    const WhereClause clause = store.Compile(kClause);
    if (store.Find(clause).size() != 1) state.SkipWithError("expected one hit");
    for (auto _ : state) benchmark::DoNotOptimize(store.Find(clause));
}
BENCHMARK(BM_EqualityThroughIndex);

void BM_EqualityByFullScan(benchmark::State& state) {
    const RowStore& store = *Million().Store();
    const WhereClause clause = store.Compile(kClause);
    if (store.Scan(clause).size() != 1) state.SkipWithError("expected one hit");
    for (auto _ : state) benchmark::DoNotOptimize(store.Scan(clause));
}
BENCHMARK(BM_EqualityByFullScan)->Unit(benchmark::kMillisecond);

// The whole host call as the extension makes it: parse, bind, look up, count.
void BM_RowCountWithEqualityFilter(benchmark::State& state) {
    const FeatureClass& features = Million();
    auto filter = std::make_shared<QueryFilter>(features.Store()->Context(), kClause);
    const host::ITable& table = features;
    for (auto _ : state) benchmark::DoNotOptimize(table.RowCount(filter));
}
BENCHMARK(BM_RowCountWithEqualityFilter);

}  // namespace
}  // namespace velorin::memory

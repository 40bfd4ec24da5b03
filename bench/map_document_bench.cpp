// Opening and saving a map document whose layer is drawn by a unique value legend
// of 100,000 values (about 10 MB of JSON), over a small data set so that the
// document is what is measured. Beside them the floor of each: the JSON library's
// own parse of the text keeping nothing, and writing the saved text's bytes. The
// heap an open map holds and the heap a save leaves are reported as counters. The
// files go to a folder of the system's temporary folder, kept there. Run a release
// build:
//   build/release/bench/map_document_bench
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "platform/gdal/map_document.h"
#include "tools/make_sample/hydrology_sample.h"

namespace velorin::gdal {
namespace {

constexpr std::int32_t kValues = 100'000;

std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() / "velorin-document-bench";
        std::filesystem::create_directories(path);
        if (!std::filesystem::exists(path / "hydrology.gpkg")) sample::WriteHydrologySample(path);
        // The legend as a person's document would hold it: one of 64 markers a value.
        std::ofstream out(path / "legend.json", std::ios::trunc);
        out << R"({"velorinMapDocument": 1, "layers": [{"kind": "feature", "name": "J", )"
               R"("source": {"path": "hydrology.gpkg", "layer": "NerroJunction"}, )"
               R"("renderer": {"type": "uniqueValue", "fields": [{"name": "NerroID", )"
               R"("isString": false}], "values": [)"
            << '\n';
        for (std::int32_t k = 0; k < kValues; ++k) {
            const std::int32_t c = k % 64;
            out << (k ? "," : "") << R"({"value": ")" << k
                << R"(", "heading": "NerroID", "symbol": {"type": "simpleMarker", "color": [)"
                << (c * 37) % 256 << ", " << (c * 91) % 256 << ", " << c * 4 << "]}}\n";
        }
        out << "]}}]}\n";
        if (!out) throw std::runtime_error("the document is not written");
        return path;
    }();
    return folder;
}

std::string Text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Both the arena and the blocks malloc maps on their own (every large array).
double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void BM_ParseFloor(benchmark::State& state) {
    const std::string text = Text(Folder() / "legend.json");
    for (auto _ : state) {
        benchmark::DoNotOptimize(nlohmann::ordered_json::accept(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseFloor)->Unit(benchmark::kMillisecond);

void BM_OpenDocument(benchmark::State& state) {
    const auto file = Folder() / "legend.json";
    const double before = HeapInUse();
    for (auto _ : state) {
        const MapDocument document = LoadMapDocument(file);
        state.PauseTiming();
        state.counters["heap held MB"] = (HeapInUse() - before) / 1e6;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond);

void BM_WriteFloor(benchmark::State& state) {
    const MapDocument document = LoadMapDocument(Folder() / "legend.json");
    const auto saved = Folder() / "floor.json";
    SaveMapDocument(document, saved);
    const std::string text = Text(saved);
    for (auto _ : state) {
        std::ofstream out(Folder() / "written.txt", std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_WriteFloor)->Unit(benchmark::kMillisecond);

void BM_SaveDocument(benchmark::State& state) {
    const MapDocument document = LoadMapDocument(Folder() / "legend.json");
    const auto saved = Folder() / "saved.json";
    for (auto _ : state) SaveMapDocument(document, saved);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(saved)));
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin::gdal

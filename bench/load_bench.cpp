// Opening a 1,000,000-point GeoPackage (an integer key, a text and a real field)
// as a map, against the floor: a GDAL read loop that touches every field and
// geometry, and GDAL's Arrow stream of the same layer, which the reader takes for
// GeoPackages. CPU time is the whole process's: GDAL fills the stream on a thread
// of its own. The bytes the opened map holds per feature are reported beside the
// bytes GDAL's memory driver takes for the same features. The data set is written
// once into the system's temporary folder and kept there. Run a release build:
//   build/release/bench/load_bench
#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <malloc.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_recordbatch.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/gdal/gdal_error_scope.h"
#include "platform/gdal/map_document.h"
#include "platform/gdal/ogr_reader.h"
#include "platform/objects/host_context.h"

namespace velorin::gdal {
namespace {

constexpr std::int32_t kFeatures = 1'000'000;

std::filesystem::path DataSet() {
    static const std::filesystem::path file = [] {
        RegisterGdalDrivers();
        const auto path = std::filesystem::temp_directory_path() / "velorin-load-bench-1m.gpkg";
        if (std::filesystem::exists(path)) return path;
        const auto partial = std::filesystem::path(path.string() + ".part");
        std::filesystem::remove(partial);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        GDALDatasetUniquePtr dataset(
            driver->Create(partial.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        char spatialIndex[] = "SPATIAL_INDEX=NO";
        char* options[] = {spatialIndex, nullptr};
        OGRLayer* layer = dataset->CreateLayer("Junctions", nullptr, wkbPoint, options);
        OGRFieldDefn key("NerroID", OFTInteger);
        OGRFieldDefn name("Name", OFTString);
        OGRFieldDefn depth("Depth", OFTReal);
        layer->CreateField(&key);
        layer->CreateField(&name);
        layer->CreateField(&depth);
        if (layer->StartTransaction() != OGRERR_NONE) throw std::runtime_error("no transaction");
        for (std::int32_t i = 0; i < kFeatures; ++i) {
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField(0, i % 100'000);
            // Appended rather than "J" + ...: GCC 12 at -O3 warns falsely (-Wrestrict)
            // on a literal prepended to a temporary string.
            std::string text = "J";
            text += std::to_string(i);
            feature.SetField(1, text.c_str());
            feature.SetField(2, i * 0.25);
            feature.SetGeometryDirectly(new OGRPoint((i % 1000) * 1.5, (i / 1000) * 1.5));
            if (layer->CreateFeature(&feature) != OGRERR_NONE)
                throw std::runtime_error("no feature");
        }
        if (layer->CommitTransaction() != OGRERR_NONE) throw std::runtime_error("no commit");
        dataset.reset();
        std::filesystem::rename(partial, path);
        return path;
    }();
    return file;
}

// Both the arena and the blocks malloc maps on their own (every large array).
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_GdalReadLoop(benchmark::State& state) {
    const auto file = DataSet();
    for (auto _ : state) {
        GDALDatasetUniquePtr dataset(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR));
        OGRLayer* layer = dataset->GetLayer(0);
        double sum = 0;
        while (OGRFeatureUniquePtr feature{layer->GetNextFeature()}) {
            sum += feature->GetFieldAsInteger(0);
            sum += static_cast<double>(std::string(feature->GetFieldAsString(1)).size());
            sum += feature->GetFieldAsDouble(2);
            const OGRPoint* point = feature->GetGeometryRef()->toPoint();
            sum += point->getX() + point->getY();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}
BENCHMARK(BM_GdalReadLoop)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Every batch of the stream, every value and geometry touched.
void BM_GdalArrowStream(benchmark::State& state) {
    const auto file = DataSet();
    for (auto _ : state) {
        GDALDatasetUniquePtr dataset(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR));
        OGRLayer* layer = dataset->GetLayer(0);
        ArrowArrayStream stream{};
        if (!layer->GetArrowStream(&stream, nullptr)) {
            state.SkipWithError("no Arrow stream");
            return;
        }
        double sum = 0;
        ArrowArray batch{};
        // Columns: the FID, NerroID, Name, Depth, then the geometry as WKB.
        while (stream.get_next(&stream, &batch) == 0 && batch.release != nullptr) {
            const auto* keys = static_cast<const std::int32_t*>(batch.children[1]->buffers[1]);
            const auto* ends = static_cast<const std::int32_t*>(batch.children[2]->buffers[1]);
            const auto* depths = static_cast<const double*>(batch.children[3]->buffers[1]);
            const auto* wkbEnds = static_cast<const std::int32_t*>(batch.children[4]->buffers[1]);
            const auto* wkb = static_cast<const char*>(batch.children[4]->buffers[2]);
            for (std::int64_t i = 0; i < batch.length; ++i) {
                sum += keys[i] + static_cast<double>(ends[i + 1] - ends[i]) + depths[i];
                double xy[2];
                std::memcpy(xy, wkb + wkbEnds[i] + 5, sizeof xy);
                sum += xy[0] + xy[1];
            }
            batch.release(&batch);
        }
        stream.release(&stream);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}
BENCHMARK(BM_GdalArrowStream)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_LoadDataSet(benchmark::State& state) {
    const auto file = DataSet();
    double bytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto document = LoadDataSet(file);
        bytes = static_cast<double>(HeapInUse() - before) / kFeatures;
        benchmark::DoNotOptimize(&document);
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
    state.counters["bytes_per_feature"] = bytes;
}
BENCHMARK(BM_LoadDataSet)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The layer read by one path, as the reader offers them for comparison: what the
// Arrow stream saves over the feature loop (argument 0: the stream, 1: the loop).
void BM_ReadLayerThrough(benchmark::State& state) {
    const DataSetReader reader(DataSet(), "bench");
    const ReadPath path = state.range(0) == 0 ? ReadPath::ArrowStream : ReadPath::FeatureLoop;
    const auto context = std::make_shared<objects::HostContext>();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.Read("Junctions", LayerRole::FeatureClass, context, path));
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}
BENCHMARK(BM_ReadLayerThrough)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// GDAL's memory driver holding the same features: the memory a reader of this
// data set should not exceed.
void BM_GdalMemoryDriverCopy(benchmark::State& state) {
    const auto file = DataSet();
    double bytes = 0;
    for (auto _ : state) {
        GDALDatasetUniquePtr source(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR));
        GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
        const std::size_t before = HeapInUse();
        GDALDatasetUniquePtr copy(memory->Create("", 0, 0, 0, GDT_Unknown, nullptr));
        copy->CopyLayer(source->GetLayer(0), "Junctions");
        bytes = static_cast<double>(HeapInUse() - before) / kFeatures;
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["bytes_per_feature"] = bytes;
}
BENCHMARK(BM_GdalMemoryDriverCopy)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velorin::gdal

#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/attribute_table.h"
#include "app/main_window.h"
#include "app/map_widget.h"
#include "bench/qt_bench_main.h"
#include "platform/memory/layers.h"
#include "platform/qt/qt_toolkit.h"
#include "ui/current_toolkit.h"

// The longest time the map window's user-interface thread goes without turning
// its event loop, while a person opens, navigates and sorts a map of 171,000
// points and 177 polygons in a window of 1600 x 1000 pixels: what the person
// feels as a freeze. Everything goes through the window's real event path on the
// offscreen platform: the menu's background read, wheel events posted to the map,
// Full Extent, a column header of the attribute table. A timer that fires at every
// turn of the loop measures the gaps; the longest is reported, in milliseconds.
// Opening the same data set at once (the synchronous Open, as before the reader
// thread) and navigating with the window waiting for each picture (as when it drew
// them itself) are the comparisons.
namespace {

using velorin::app::MainWindow;

constexpr int kPoints = 171'000;
constexpr int kPolygons = 177;

[[noreturn]] void Unwritten() { throw std::runtime_error("the world data set cannot be written"); }

// Writes the data set once: cities as points and countries as a grid of cells over
// the world, in WGS 84, each with a name.
const std::filesystem::path& WorldData() {
    static const std::filesystem::path file = [] {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / "velorin-stall-bench-world.gpkg";
        if (std::filesystem::exists(path)) return path;
        GDALAllRegister();
        GDALDatasetUniquePtr data(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
            path.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        data->StartTransaction();
        OGRLayer* countries = data->CreateLayer("Countries", &wgs84, wkbPolygon, nullptr);
        OGRFieldDefn name("name", OFTString);
        countries->CreateField(&name);
        for (int i = 0; i < kPolygons; ++i) {
            const double x = -180 + (i % 15) * 24.0;
            const double y = -60 + (i / 15) * 11.0;
            OGRLinearRing ring;
            ring.addPoint(x, y);
            ring.addPoint(x + 24, y);
            ring.addPoint(x + 24, y + 11);
            ring.addPoint(x, y + 11);
            ring.closeRings();
            OGRPolygon polygon;
            polygon.addRing(&ring);
            OGRFeature feature(countries->GetLayerDefn());
            feature.SetField("name", ("Country " + std::to_string(i)).c_str());
            feature.SetGeometry(&polygon);
            if (countries->CreateFeature(&feature) != OGRERR_NONE) Unwritten();
        }
        OGRLayer* cities = data->CreateLayer("Cities", &wgs84, wkbPoint, nullptr);
        cities->CreateField(&name);
        std::mt19937 random(171);
        std::uniform_real_distribution<double> lon(-180, 180);
        std::uniform_real_distribution<double> lat(-60, 72);
        for (int i = 0; i < kPoints; ++i) {
            OGRPoint point(lon(random), lat(random));
            OGRFeature feature(cities->GetLayerDefn());
            feature.SetField("name", ("City " + std::to_string(random() % 100000)).c_str());
            feature.SetGeometry(&point);
            if (cities->CreateFeature(&feature) != OGRERR_NONE) Unwritten();
        }
        data->CommitTransaction();
        return path;
    }();
    return file;
}

// Turns the window's event loop through the person's steps, one at a time, each
// posted once the loop has turned after the one before (as a person's clicks
// come), until the last has run and done() holds; times the gaps between turns.
// Returns the longest, in milliseconds.
double LongestStall(
    QObject* to, const std::vector<std::function<void()>>& steps,
    const std::function<bool()>& done = [] { return true; }) {
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(0);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    std::size_t next = 0;
    bool waiting = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (waiting) return;
        if (next < steps.size()) {
            waiting = true;
            QMetaObject::invokeMethod(
                to,
                [&, step = next++] {
                    steps[step]();
                    waiting = false;
                },
                Qt::QueuedConnection);
        } else if (done()) {
            loop.quit();
        }
    });
    clock.start();
    tick.start();
    loop.exec();
    return static_cast<double>(longest) / 1e6;
}

struct Session {
    velorin::qt::QtToolkit toolkit;
    velorin::ui::ToolkitScope scope{toolkit};
    MainWindow window{[this] { return toolkit.TakeEscPress(); }};

    Session() {
        window.resize(1600, 1000);
        window.show();
        QApplication::processEvents();
    }
};

void BM_OpenInTheBackground(benchmark::State& state) {
    const auto& file = WorldData();
    double longest = 0;
    for (auto _ : state) {
        Session session;
        MainWindow& window = session.window;
        longest = LongestStall(&window, {[&] { window.LoadInBackground(file, false); }},
                               [&] { return !window.Loading(); });
    }
    state.counters["longest_stall_ms"] = longest;
}

void BM_OpenAtOnce(benchmark::State& state) {
    const auto& file = WorldData();
    double longest = 0;
    for (auto _ : state) {
        Session session;
        MainWindow& window = session.window;
        longest = LongestStall(&window, {[&] { window.Open(file); }});
    }
    state.counters["longest_stall_ms"] = longest;
}

// The data set saved as a map document, opened from the menu.
void BM_OpenTheSavedDocument(benchmark::State& state) {
    const std::filesystem::path document = WorldData().parent_path() / "velorin-stall-bench.json";
    {
        Session session;
        session.window.Open(WorldData());
        if (!session.window.SaveAs(document)) state.SkipWithError("the document was not saved");
    }
    double longest = 0;
    for (auto _ : state) {
        Session session;
        MainWindow& window = session.window;
        longest = LongestStall(&window, {[&] { window.OpenInBackground(document); }},
                               [&] { return !window.Loading(); });
    }
    state.counters["longest_stall_ms"] = longest;
}

// Three notches in and three out about the middle of the map, then Full Extent,
// until the last picture is shown. The window draws them off its thread; waited
// for at each step (atOnce), they hold it as a redraw drawn on it did.
void Navigate(benchmark::State& state, bool atOnce) {
    const auto& file = WorldData();
    Session session;
    session.window.Open(file);
    velorin::app::MapWidget& map = session.window.Map();
    std::vector<std::function<void()>> steps;
    for (const int notches : {1, 1, 1, -1, -1, -1}) {
        steps.emplace_back([&map, notches, atOnce] {
            const QPointF middle(map.width() / 2.0, map.height() / 2.0);
            QWheelEvent wheel(middle, map.mapToGlobal(middle), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&map, &wheel);
            if (atOnce) map.FinishPicture();
            // The repaint the wheel asked for, as the loop would give it.
            map.repaint();
        });
    }
    steps.emplace_back([&] {
        session.window.FullExtent();
        if (atOnce) map.FinishPicture();
    });
    double longest = 0;
    for (auto _ : state) {
        longest =
            std::max(longest, LongestStall(&map, steps, [&map] { return !map.DrawingPicture(); }));
    }
    state.counters["longest_stall_ms"] = longest;
}

void BM_NavigateTheFullMap(benchmark::State& state) { Navigate(state, false); }
void BM_NavigateWaitingForEachPicture(benchmark::State& state) { Navigate(state, true); }

void BM_SortTheCitiesByName(benchmark::State& state) {
    const auto& file = WorldData();
    Session session;
    session.window.Open(file);
    const auto cities = session.window.Host().FeatureLayerNamed("Cities");
    velorin::app::AttributeTable* table = session.window.OpenAttributeTable(cities);
    const auto& model =
        dynamic_cast<const velorin::app::AttributeTableModel&>(*table->View().model());
    const int column = cities->FindField("name");
    double longest = 0;
    Qt::SortOrder order = Qt::AscendingOrder;
    for (auto _ : state) {
        longest = std::max(longest,
                           LongestStall(table, {[&] { table->View().sortByColumn(column, order); }},
                                        [&] { return !model.Sorting(); }));
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    }
    state.counters["longest_stall_ms"] = longest;
}

BENCHMARK(BM_OpenInTheBackground)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenAtOnce)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenTheSavedDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NavigateTheFullMap)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NavigateWaitingForEachPicture)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortTheCitiesByName)->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace

int main(int argc, char** argv) { return velorin::bench::RunWithQApplication(argc, argv); }

// Zoom and Flash inside QGIS against QGIS's own redraw, in one QGIS process (the
// offscreen platform, memory-provider layers, an 800 x 600 map canvas shown
// offscreen with QGIS's render cache). A Source of 3 points keyed 0..2 and a
// Related layer of 1,000,000 points, of which one per Source key carries it:
//
//   ZoomFlash/0     each Source feature run through Zoom and Flash (Full
//                   Envelope, flash times 0): the Related search, the zoom, the
//                   redraw and the flashes. Each Source point and its Related
//                   point lie at opposite corners of the layer, so every view
//                   shows all 1,000,000 points;
//   ZoomFlash/1     the same with each Related point beside its Source point and
//                   the others far away: every view shows two points;
//   QgisRedraw/0,1  QGIS's canvas set to the very views the runs ended on, one
//                   after the other, each redrawn to the end.
//
// Process CPU time (QGIS draws in threads of its own); the ratio ZoomFlash /
// QgisRedraw is what counts. The views are found by one run before any is timed,
// which also makes what the adapter keeps from run to run (its key index), as a
// session's first search does. Run a release build:
//   build/release/bench/qgis/zoomflash_qgis_bench
#include <qgsproject.h>

#include <memory>
#include <utility>
#include <vector>

#include "bench/qgis/qgis_bench_support.h"
#include "host/host.h"
#include "platform/qgis/qgis_host.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"
#include "zoomflash/zoom_flash_feature.h"

namespace velorin::bench {
namespace {

constexpr int kSources = 3;
constexpr int kRelated = 1'000'000;
constexpr double kSide = 1000;

QgsPointXY SourcePoint(int key) { return QgsPointXY(1 + key, 1 + key); }

// Beside its Source point, or at the opposite corner of the square the others
// cover.
QgsPointXY RelatedPoint(int key, bool beside) {
    return beside ? QgsPointXY(1.5 + key, 1.5 + key) : QgsPointXY(kSide - key, kSide - key);
}

// The Related points without a Source: over the square, or far from every view.
QgsPointXY OtherPoint(int i, bool apart) {
    const double x = 1 + i % 1000 * (kSide - 2) / 1000;
    const double y = 1 + i / 1000 * (kSide - 2) / 1000;
    return apart ? QgsPointXY(10 * kSide + x, 10 * kSide + y) : QgsPointXY(x, y);
}

class Scene {
  public:
    explicit Scene(bool apart) {
        ShowCanvas(m_canvas);
        auto* source = PointLayer(QStringLiteral("Source"), kSources,
                                  [](int i) { return std::make_pair(SourcePoint(i), i); });
        auto* related = PointLayer(QStringLiteral("Related"), kRelated, [apart](int i) {
            if (i < kSources) return std::make_pair(RelatedPoint(i, apart), i);
            return std::make_pair(OtherPoint(i, apart), -1);
        });
        m_project.addMapLayers({source, related});
        m_canvas.setLayers({source, related});
        qgis::QgisHostSetup setup;
        setup.project = &m_project;
        setup.canvas = &m_canvas;
        m_application = qgis::MakeApplication(std::move(setup), nullptr);
        const auto map = host::As<host::IMxDocument>(m_application->Document())->FocusMap();
        const auto cursor = host::As<host::IFeatureLayer>(map->Layer(0))->Search(nullptr, false);
        while (auto feature = cursor->NextFeature()) m_sources.push_back(std::move(feature));
        // The views the runs end on, for QGIS's own redraw to draw.
        Start();
        for (const auto& feature : m_sources) {
            ZoomFlash(feature);
            m_views.push_back(m_canvas.extent());
        }
    }

    // The view every run starts from, drawn.
    void Start() {
        const int before = m_watch.Finished();
        m_canvas.setExtent(QgsRectangle(0, 0, kSide, kSide));
        m_canvas.refresh();
        m_watch.WaitPast(before);
    }

    void ZoomFlashEach() {
        for (const auto& feature : m_sources) ZoomFlash(feature);
    }

    void RedrawEach() {
        for (const QgsRectangle& view : m_views) {
            const int before = m_watch.Finished();
            m_canvas.setExtent(view);
            m_canvas.refresh();
            m_watch.WaitPast(before);
        }
    }

  private:
    void ZoomFlash(const std::shared_ptr<host::IFeature>& feature) {
        scripted::ScriptedUser user;
        const ui::ToolkitScope scope(user);
        zoomflash::ZoomFlashFeature(feature, m_application,
                                    {.sourceLayer = "Source",
                                     .sourceField = "key",
                                     .relatedLayer = "Related",
                                     .relatedField = "key",
                                     .zoomMethod = zoomflash::kZoomFullEnvelope,
                                     .zoomFactor = 1.2});
        // A redraw the run stopped waiting for (it waits a few seconds at most)
        // is part of its cost.
        m_canvas.waitWhileRendering();
    }

    QgsProject m_project;
    QgsMapCanvas m_canvas;
    RedrawWatch m_watch{m_canvas};
    std::shared_ptr<host::IApplication> m_application;
    std::vector<std::shared_ptr<host::IFeature>> m_sources;
    std::vector<QgsRectangle> m_views;
};

// Built once per layout (a million points take a while), dropped before QGIS exits.
std::unique_ptr<Scene> g_scenes[2];

Scene& SceneFor(bool apart) {
    auto& scene = g_scenes[apart ? 1 : 0];
    if (!scene) scene = std::make_unique<Scene>(apart);
    return *scene;
}

void ZoomFlash(benchmark::State& state) {
    Scene& scene = SceneFor(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        scene.Start();
        state.ResumeTiming();
        scene.ZoomFlashEach();
    }
}

void QgisRedraw(benchmark::State& state) {
    Scene& scene = SceneFor(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        scene.Start();
        state.ResumeTiming();
        scene.RedrawEach();
    }
}

void Layouts(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
    b->MeasureProcessCPUTime();
}

BENCHMARK(ZoomFlash)->Apply(Layouts);
BENCHMARK(QgisRedraw)->Apply(Layouts);

}  // namespace
}  // namespace velorin::bench

int main(int argc, char** argv) {
    return velorin::bench::RunQgisBenchmarks(argc, argv, [] {
        for (auto& scene : velorin::bench::g_scenes) scene.reset();
    });
}

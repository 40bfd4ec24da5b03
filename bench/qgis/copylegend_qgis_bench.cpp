// Copy Legend Colors inside QGIS against QGIS's own API, in one QGIS process (the
// offscreen platform, memory-provider layers, a layer tree model for the legends,
// and a map canvas shown offscreen with QGIS's render cache):
//
//   CopyLegend/N/K/L       the engine on a Related layer of N points keyed 0..K-1 and
//                          a Source of K points categorized on their key, to the
//                          moment the run would show its completion box;
//   QgisApiPeer/N/K/L      (b): the same categorized renderer built through QGIS's
//                          API: the Source read feature by feature for its
//                          categories' colours, one symbol per key as the engine
//                          makes it (a 12-point circle, the catch-all an X),
//                          setRenderer, triggerRepaint, the layer's legend refreshed;
//   CopyLegendToCanvas/N/K/L  the engine, and on until the canvas has drawn the
//   QgisApiPeerToCanvas/N/K/L map with the new legend; (b) the same (process CPU
//                          time: QGIS draws in threads of its own);
//                          L 1: the Layers panel's legend is refreshed on both
//                          sides (QGIS's own share, the same for both, is most of
//                          the time at K = 100,000); L 0: no legend is kept, so
//                          the ratio shows what Velorin adds to building it
//                          (to the canvas, L 1 at the two smaller sizes only);
//   BigSource/F            the engine with a Source of F features over 1,000 keys
//                          (Related 1,000 points);
//   QgisRead/F             QGIS's own per-feature read of that Source's key field.
//
// The ratios CopyLegend / QgisApiPeer, CopyLegendToCanvas / QgisApiPeerToCanvas
// and BigSource / QgisRead are what count. Run a release build:
//   build/release/bench/qgis/copylegend_qgis_bench
#include <qgscategorizedsymbolrenderer.h>
#include <qgslayertree.h>
#include <qgslayertreemodel.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsproject.h>

#include <QColor>
#include <QHash>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/qgis/qgis_bench_support.h"
#include "copylegend/copy_legend_colors.h"
#include "host/host.h"
#include "platform/objects/host_context.h"
#include "platform/qgis/qgis_host.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::bench {
namespace {

QColor ColourOf(int key) { return QColor((key * 37) % 256, (key * 91) % 256, (key * 4) % 256); }

// A marker as the engine's legend has it in QGIS: 12 points, one colour, edge
// included.
QgsMarkerSymbol* Marker(const QColor& colour, QgsSimpleMarkerSymbolLayerBase::Shape shape =
                                                  QgsSimpleMarkerSymbolLayerBase::Circle) {
    auto* layer = new QgsSimpleMarkerSymbolLayer(shape, 12);
    layer->setSizeUnit(QgsUnitTypes::RenderPoints);
    layer->setColor(colour);
    layer->setStrokeColor(colour);
    return new QgsMarkerSymbol(QgsSymbolLayerList{layer});
}

// `count` points whose key runs 0..keys-1 over and over, spread over a square.
QgsVectorLayer* Points(const QString& name, int count, int keys) {
    return PointLayer(name, count, [keys](int i) {
        return std::make_pair(QgsPointXY(1 + i % 1000, 1 + i / 1000), i % keys);
    });
}

// A project with a categorized Source and a Related layer, its legends in a
// layer tree model, and the host over it.
class Scene {
  public:
    Scene(int related, int sourceFeatures, int keys, bool legend = false) {
        ShowCanvas(m_canvas);
        m_source = Points(QStringLiteral("Source"), sourceFeatures, keys);
        QgsCategoryList categories;
        for (int key = 0; key < keys; ++key) {
            categories.append(
                QgsRendererCategory(key, Marker(ColourOf(key)), QString::number(key)));
        }
        // QGIS's Classify adds the category of all other values: without it QGIS
        // draws only the features whose key is in a list of every value, and
        // tests each feature against all K of them.
        categories.append(QgsRendererCategory(QVariant(), Marker(Qt::gray), QString()));
        m_source->setRenderer(new QgsCategorizedSymbolRenderer(QStringLiteral("key"), categories));
        m_related = Points(QStringLiteral("Related"), related, keys);
        m_project.addMapLayers({m_source, m_related});
        if (legend) m_legends = std::make_unique<QgsLayerTreeModel>(m_project.layerTreeRoot());
        m_canvas.setLayers({m_related, m_source});
        m_canvas.setExtent(m_related->extent().buffered(10));
        qgis::QgisHostSetup setup;
        setup.project = &m_project;
        setup.canvas = &m_canvas;
        // As the plugin does: the Layers panel shows the layer's new legend.
        setup.legendChanged = [this](QgsMapLayer& layer) { RefreshLegend(layer); };
        m_application = qgis::MakeApplication(std::move(setup), nullptr);
    }

    // The map drawn once, so a later redraw finds the cache QGIS would have.
    void Draw() {
        const int before = m_watch.Finished();
        m_canvas.refresh();
        m_watch.WaitPast(before);
    }
    int Redraws() const { return m_watch.Finished(); }
    void WaitForRedraw(int before) { m_watch.WaitPast(before); }

    bool CopyLegend() {
        return copylegend::CopyLegendColors(m_application, {.sourceLayer = "Source",
                                                            .sourceField = "key",
                                                            .relatedLayer = "Related",
                                                            .relatedField = "key"});
    }

    // What a QGIS user's script would do for the same legend.
    void QgisApiPeer() {
        // The Source legend's colour by value text, then the first colour of each
        // key met on the Source, as a script over QGIS's API does it.
        const auto* sourceRenderer =
            static_cast<const QgsCategorizedSymbolRenderer*>(m_source->renderer());
        QHash<QString, QColor> legend;
        for (const QgsRendererCategory& category : sourceRenderer->categories()) {
            legend.insert(category.value().toString(), category.symbol()->color());
        }
        QHash<QString, std::pair<QVariant, QColor>> colours;
        QgsFeatureRequest request;
        request.setFlags(QgsFeatureRequest::NoGeometry);
        request.setSubsetOfAttributes(QStringList{QStringLiteral("key")}, m_source->fields());
        QgsFeatureIterator it = m_source->getFeatures(request);
        QgsFeature feature;
        while (it.nextFeature(feature)) {
            const QVariant key = feature.attribute(0);
            const QString text = key.toString();
            if (key.isNull() || colours.contains(text)) continue;
            const auto found = legend.constFind(text);
            if (found != legend.constEnd()) colours.insert(text, {key, found.value()});
        }
        QgsCategoryList categories;
        categories.reserve(colours.size() + 1);
        for (auto entry = colours.cbegin(); entry != colours.cend(); ++entry) {
            categories.append(
                QgsRendererCategory(entry->first, Marker(entry->second), entry.key()));
        }
        categories.append(QgsRendererCategory(
            QVariant(), Marker(Qt::black, QgsSimpleMarkerSymbolLayerBase::Cross2), QString()));
        m_related->setRenderer(new QgsCategorizedSymbolRenderer(QStringLiteral("key"), categories));
        m_related->triggerRepaint();
        RefreshLegend(*m_related);
    }

    int ReadSourceKeys() {
        QgsFeatureRequest request;
        request.setFlags(QgsFeatureRequest::NoGeometry);
        request.setSubsetOfAttributes(QStringList{QStringLiteral("key")}, m_source->fields());
        QgsFeatureIterator it = m_source->getFeatures(request);
        QgsFeature feature;
        int sum = 0;
        while (it.nextFeature(feature)) sum += feature.attribute(0).toInt();
        return sum;
    }

  private:
    // What the Layers panel does to show a layer's legend anew.
    void RefreshLegend(QgsMapLayer& layer) {
        if (!m_legends) return;
        if (QgsLayerTreeLayer* node = m_legends->rootGroup()->findLayer(layer.id())) {
            m_legends->refreshLayerLegend(node);
        }
    }

    QgsProject m_project;
    QgsMapCanvas m_canvas;
    RedrawWatch m_watch{m_canvas};
    std::unique_ptr<QgsLayerTreeModel> m_legends;
    QgsVectorLayer* m_source = nullptr;
    QgsVectorLayer* m_related = nullptr;
    std::shared_ptr<host::IApplication> m_application;
};

std::unique_ptr<Scene> MakeScene(const benchmark::State& state) {
    return std::make_unique<Scene>(static_cast<int>(state.range(0)),
                                   static_cast<int>(state.range(1)),
                                   static_cast<int>(state.range(1)), state.range(2) != 0);
}

void CopyLegend(benchmark::State& state) {
    const auto scene = MakeScene(state);
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    for (auto _ : state) benchmark::DoNotOptimize(scene->CopyLegend());
}

void QgisApiPeer(benchmark::State& state) {
    const auto scene = MakeScene(state);
    for (auto _ : state) scene->QgisApiPeer();
}

void CopyLegendToCanvas(benchmark::State& state) {
    const auto scene = MakeScene(state);
    scene->Draw();
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    for (auto _ : state) {
        const int before = scene->Redraws();
        benchmark::DoNotOptimize(scene->CopyLegend());
        scene->WaitForRedraw(before);
    }
}

void QgisApiPeerToCanvas(benchmark::State& state) {
    const auto scene = MakeScene(state);
    scene->Draw();
    for (auto _ : state) {
        const int before = scene->Redraws();
        scene->QgisApiPeer();
        scene->WaitForRedraw(before);
    }
}

void BigSource(benchmark::State& state) {
    Scene scene(1000, static_cast<int>(state.range(0)), 1000);
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    for (auto _ : state) benchmark::DoNotOptimize(scene.CopyLegend());
}

void QgisRead(benchmark::State& state) {
    Scene scene(1000, static_cast<int>(state.range(0)), 1000);
    for (auto _ : state) benchmark::DoNotOptimize(scene.ReadSourceKeys());
}

// (N, K) as the QGIS users measured them.
void Sizes(benchmark::internal::Benchmark* b) {
    for (const int legend : {1, 0}) {
        b->Args({100'000, 1'000, legend})
            ->Args({1'000'000, 10'000, legend})
            ->Args({1'000'000, 100'000, legend});
    }
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
}

// With the legend at K = 100,000, QGIS's layer tree model rebuilds and drops its
// 100,000 legend nodes more than once while the canvas draws (minutes, on both
// sides alike): that size runs without the legend.
void CanvasSizes(benchmark::internal::Benchmark* b) {
    b->Args({100'000, 1'000, 1})->Args({1'000'000, 10'000, 1});
    b->Args({100'000, 1'000, 0})->Args({1'000'000, 10'000, 0})->Args({1'000'000, 100'000, 0});
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->MeasureProcessCPUTime();
}

void SourceSizes(benchmark::internal::Benchmark* b) {
    b->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
}

BENCHMARK(CopyLegend)->Apply(Sizes);
BENCHMARK(QgisApiPeer)->Apply(Sizes);
BENCHMARK(CopyLegendToCanvas)->Apply(CanvasSizes);
BENCHMARK(QgisApiPeerToCanvas)->Apply(CanvasSizes);
BENCHMARK(BigSource)->Apply(SourceSizes);
BENCHMARK(QgisRead)->Apply(SourceSizes);

}  // namespace
}  // namespace velorin::bench

int main(int argc, char** argv) { return velorin::bench::RunQgisBenchmarks(argc, argv); }

// Copy Legend Colors inside QGIS against QGIS's own API, in one QGIS process (the
// offscreen platform, memory-provider layers, a map canvas that is never drawn):
//
//   CopyLegend/N/K       the engine on a Related layer of N points keyed 0..K-1 and
//                        a Source of K points categorized on their key, to the
//                        moment the run would show its completion box;
//   QgisApiPeer/N/K      the same categorized renderer built through QGIS's API:
//                        the Source read feature by feature for its categories'
//                        colours, one marker per key, setRenderer, triggerRepaint;
//   BigSource/F          the engine with a Source of F features over 1,000 keys
//                        (Related 1,000 points);
//   QgisRead/F           QGIS's own per-feature read of that Source's key field.
//
// The ratios CopyLegend / QgisApiPeer and BigSource / QgisRead are what count.
// Run a release build: build/release/bench/qgis/copylegend_qgis_bench
#include <benchmark/benchmark.h>
#include <qgsapplication.h>
#include <qgscategorizedsymbolrenderer.h>
#include <qgsmapcanvas.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "copylegend/copy_legend_colors.h"
#include "host/host.h"
#include "platform/objects/host_context.h"
#include "platform/qgis/qgis_host.h"
#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::bench {
namespace {

QColor ColourOf(int key) { return QColor((key * 37) % 256, (key * 91) % 256, (key * 4) % 256); }

QgsMarkerSymbol* Marker(const QColor& colour) {
    auto* layer = new QgsSimpleMarkerSymbolLayer();
    layer->setColor(colour);
    return new QgsMarkerSymbol(QgsSymbolLayerList{layer});
}

// `count` points whose key runs 0..keys-1 over and over.
QgsVectorLayer* Points(const QString& name, int count, int keys) {
    auto* layer = new QgsVectorLayer(QStringLiteral("Point?crs=EPSG:3857&field=key:integer"), name,
                                     QStringLiteral("memory"));
    QgsFeatureList features;
    features.reserve(count);
    for (int i = 0; i < count; ++i) {
        QgsFeature feature(layer->fields());
        feature.setAttributes(QgsAttributes(QVector<QVariant>{QVariant(i % keys)}));
        feature.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(1 + i % 1000, 1 + i / 1000)));
        features << feature;
    }
    layer->dataProvider()->addFeatures(features);
    layer->updateExtents();
    return layer;
}

// A project with a categorized Source and a Related layer, and the host over it.
class Scene {
  public:
    Scene(int related, int sourceFeatures, int keys) {
        m_canvas.resize(800, 600);
        m_source = Points(QStringLiteral("Source"), sourceFeatures, keys);
        QgsCategoryList categories;
        for (int key = 0; key < keys; ++key) {
            categories.append(
                QgsRendererCategory(key, Marker(ColourOf(key)), QString::number(key)));
        }
        m_source->setRenderer(new QgsCategorizedSymbolRenderer(QStringLiteral("key"), categories));
        m_related = Points(QStringLiteral("Related"), related, keys);
        m_project.addMapLayers({m_source, m_related});
        qgis::QgisHostSetup setup;
        setup.project = &m_project;
        setup.canvas = &m_canvas;
        m_application = qgis::MakeApplication(std::move(setup), nullptr);
    }

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
        categories.reserve(colours.size());
        for (auto entry = colours.cbegin(); entry != colours.cend(); ++entry) {
            categories.append(
                QgsRendererCategory(entry->first, Marker(entry->second), entry.key()));
        }
        m_related->setRenderer(new QgsCategorizedSymbolRenderer(QStringLiteral("key"), categories));
        m_related->triggerRepaint();
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
    QgsProject m_project;
    QgsMapCanvas m_canvas;
    QgsVectorLayer* m_source = nullptr;
    QgsVectorLayer* m_related = nullptr;
    std::shared_ptr<host::IApplication> m_application;
};

void CopyLegend(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                static_cast<int>(state.range(1)));
    scripted::ScriptedUser user;
    const ui::ToolkitScope scope(user);
    for (auto _ : state) benchmark::DoNotOptimize(scene.CopyLegend());
}

void QgisApiPeer(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                static_cast<int>(state.range(1)));
    for (auto _ : state) scene.QgisApiPeer();
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
    b->Args({100'000, 1'000})->Args({1'000'000, 10'000})->Args({1'000'000, 100'000});
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
}

BENCHMARK(CopyLegend)->Apply(Sizes);
BENCHMARK(QgisApiPeer)->Apply(Sizes);
BENCHMARK(BigSource)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(QgisRead)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velorin::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    int qgisArgc = 1;
    char* qgisArgv[] = {argv[0], nullptr};
    QgsApplication application(qgisArgc, qgisArgv, true);
    QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
    QgsApplication::initQgis();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QgsApplication::exitQgis();
    return 0;
}

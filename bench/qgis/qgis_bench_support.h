#pragma once

// What the QGIS benchmarks share: a QGIS process of their own (Google
// Benchmark's own main is not used), point layers made in memory, and waiting
// for a map canvas to finish drawing.
#include <benchmark/benchmark.h>
#include <qgsapplication.h>
#include <qgsmapcanvas.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>

namespace velorin::bench {

// A memory layer of `count` points (key integer), each point and key given by
// `place` for its number.
inline QgsVectorLayer* PointLayer(const QString& name, int count,
                                  const std::function<std::pair<QgsPointXY, int>(int)>& place) {
    auto* layer = new QgsVectorLayer(QStringLiteral("Point?crs=EPSG:3857&field=key:integer"), name,
                                     QStringLiteral("memory"));
    QgsFeatureList features;
    features.reserve(count);
    for (int i = 0; i < count; ++i) {
        const auto [point, key] = place(i);
        QgsFeature feature(layer->fields());
        feature.setAttributes(QgsAttributes(QVector<QVariant>{QVariant(key)}));
        feature.setGeometry(QgsGeometry::fromPointXY(point));
        features << feature;
    }
    layer->dataProvider()->addFeatures(features);
    layer->updateExtents();
    return layer;
}

// A canvas drawn as QGIS's own window draws: shown (offscreen), with the render
// cache QGIS enables by default.
inline void ShowCanvas(QgsMapCanvas& canvas) {
    canvas.setAttribute(Qt::WA_DontShowOnScreen);
    canvas.resize(800, 600);
    canvas.show();
    canvas.setCachingEnabled(true);
    canvas.setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
}

// Counts the canvas's finished redraws, so a benchmark can wait for the one it
// asked for, whenever it started.
class RedrawWatch {
  public:
    explicit RedrawWatch(QgsMapCanvas& canvas) : m_canvas(canvas) {
        QObject::connect(&canvas, &QgsMapCanvas::mapCanvasRefreshed, &m_loop, [this] {
            ++m_finished;
            m_loop.quit();
        });
    }
    int Finished() const { return m_finished; }
    // Returns once more than `before` redraws have finished and none is drawing.
    void WaitPast(int before) {
        while (m_finished <= before || m_canvas.isDrawing()) {
            QTimer::singleShot(60000, &m_loop, &QEventLoop::quit);
            m_loop.exec();
        }
    }

  private:
    QgsMapCanvas& m_canvas;
    QEventLoop m_loop;
    int m_finished = 0;
};

// Runs the benchmarks named on the command line; `beforeExit` drops what they
// kept of QGIS's objects while QGIS is still up.
inline int RunQgisBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {}) {
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
    if (beforeExit) beforeExit();
    QgsApplication::exitQgis();
    return 0;
}

}  // namespace velorin::bench

#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>

#include "platform/qt/application_look.h"

namespace velorin::bench {

// The main of a benchmark that needs Qt widgets, on the offscreen platform unless
// another is chosen. The QApplication lives in this frame, so it is gone before
// static destruction and before the platform plugin it loaded (one left to static
// destruction crashes the process at exit).
inline int RunWithQApplication(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    qt::PrepareApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace velorin::bench

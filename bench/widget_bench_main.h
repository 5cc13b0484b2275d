#pragma once
// The main of a benchmark that needs widgets: an application on the offscreen
// platform, so that windows are made and laid out without a display.
#include <QApplication>
#include <benchmark/benchmark.h>

inline int runWidgetBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

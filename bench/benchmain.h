#pragma once

// A tiny benchmark harness: cases register themselves with BENCHMARK_CASE and report their
// figures with `report`. Figures are medians over repeated runs inside one process.
#include <QString>
#include <QVector>
#include <functional>

using BenchmarkFn = std::function<void()>;

struct BenchmarkRegistrar {
    BenchmarkRegistrar(const char* name, BenchmarkFn fn);
};

#define BENCHMARK_CASE(id)                                                                                   \
    static void benchmarkCase_##id();                                                                        \
    static const BenchmarkRegistrar benchmarkRegistrar_##id(#id, benchmarkCase_##id);                        \
    static void benchmarkCase_##id()

// Runs `fn` `runs` times and returns each run's wall time in nanoseconds.
QVector<double> timeRuns(int runs, const std::function<void()>& fn);
double median(QVector<double> values);
double worst(const QVector<double>& values);

// Prints one figure: "name: value unit" (and the target, when given).
void report(const QString& name, double value, const QString& unit, const QString& target = QString());

// Processes pending events (posted events, deferred deletes, zero timers).
void drainEvents();

// The child process of the start-up benchmark (bench_window.cpp): `what` is "bench" (the program's
// style sheet and window) or "bare" (a plain QMainWindow of `size`); shows it, prints the window's
// size once the first paint has arrived, and returns the exit code.
int firstPaintChild(const QString& what, const QString& size);

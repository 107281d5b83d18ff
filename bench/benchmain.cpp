#include "benchmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, BenchmarkFn>& cases()
{
    static std::map<std::string, BenchmarkFn> registry;
    return registry;
}

} // namespace

BenchmarkRegistrar::BenchmarkRegistrar(const char* name, BenchmarkFn fn)
{
    cases()[name] = std::move(fn);
}

QVector<double> timeRuns(int runs, const std::function<void()>& fn)
{
    QVector<double> times;
    times.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        fn();
        times.append(double(timer.nsecsElapsed()));
    }
    return times;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const int n = int(values.size());
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double worst(const QVector<double>& values)
{
    return values.isEmpty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

void report(const QString& name, double value, const QString& unit, const QString& target)
{
    if (target.isEmpty())
        std::printf("  %-60s %12.3f %s\n", qPrintable(name), value, qPrintable(unit));
    else
        std::printf("  %-60s %12.3f %s   (target %s)\n", qPrintable(name), value, qPrintable(unit),
                    qPrintable(target));
    std::fflush(stdout);
}

void drainEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir home;
    // Test mode puts every per-user file under $HOME/.qttest: a temporary home keeps the real one clean.
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    // A first start's welcome dialog would stop the window benchmarks in its modal loop.
    QSettings().setValue(QStringLiteral("firstRunDonatePromptShown"), true);

    if (argc >= 3 && qstrcmp(argv[1], "--first-paint") == 0)
        return firstPaintChild(QString::fromLocal8Bit(argv[2]),
                               argc >= 4 ? QString::fromLocal8Bit(argv[3]) : QString());

    QStringList wanted;
    for (int i = 1; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);
    for (const auto& [name, fn] : cases()) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name)))
            continue;
        std::printf("%s\n", name.c_str());
        fn();
    }
    return 0;
}

// The bench window: start-up to first paint, memory, and how fast a reading or a shared value
// reaches every read-out.
#include "benchmain.h"
#include "windowbenchsupport.h"

#include "bench/mainwindow.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QProcess>
#include <QSpinBox>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

template <typename T> T* control(const MainWindow& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

QSpinBox* tubeCountSpin(const MainWindow& window)
{
    return control<QSpinBox>(window, "tubeCountSpin");
}

QDoubleSpinBox* plateVSpin(const MainWindow& window)
{
    return control<QDoubleSpinBox>(window, "plateVSpin");
}

QComboBox* presetCombo(const MainWindow& window)
{
    return control<QComboBox>(window, "presetCombo");
}

// The cards on the bench, tube 1 first.
QList<TubeCardWidget*> cards(const MainWindow& window)
{
    return window.tubeCards();
}

struct StartupTimes {
    double constructed = 0; // ns from the start until the constructor returned
    double painted = 0;     // ns from the start until the window received its first paint event
};

StartupTimes timeToFirstPaint(const std::function<QWidget*()>& make)
{
    StartupTimes times;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QWidget> window(make());
    times.constructed = double(timer.nsecsElapsed());
    PaintWatcher watcher;
    window->installEventFilter(&watcher);
    window->show();
    while (!watcher.painted && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    times.painted = double(timer.nsecsElapsed());
    window.reset();
    drainEvents();
    return times;
}

QString procStatus(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return QString::fromLatin1(line.mid(int(qstrlen(key)))).trimmed();
    }
    return QString();
}

double kibToMib(const QString& field)
{
    return field.section(QLatin1Char(' '), 0, 0).toDouble() / 1024.0;
}

std::unique_ptr<MainWindow> shownWindow(int tubes)
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    tubeCountSpin(*window)->setValue(tubes);
    drainEvents();
    return window;
}

ReadingEdit* firstReading(TubeCardWidget* card)
{
    return card->readingField(0);
}

void key(QWidget* target, int code, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Alternates typing `digit` after `lead` and deleting it again, so that every keystroke changes
// the value (lead <-> lead*10 + digit). Reports the handling alone and with the repaint it causes.
void measureKeystrokes(int tubes, const QString& lead, const QString& digit, const QString& what)
{
    const auto window = shownWindow(tubes);
    ReadingEdit* field = firstReading(cards(*window).first());
    field->setFocus();
    field->selectAll();
    key(field, Qt::Key_0 + lead.toInt(), lead);
    drainEvents();

    int n = 0;
    const auto stroke = [&] {
        if (n++ % 2 == 0)
            key(field, Qt::Key_0 + digit.toInt(), digit);
        else
            key(field, Qt::Key_Backspace, QString());
    };
    // Every keystroke must reach the card's calculation, or the figure would time nothing.
    int recalculations = 0;
    QObject::connect(&window->session(), &BenchSession::tubeChanged, [&recalculations](int tube) {
        if (tube == 0)
            ++recalculations;
    });
    const QVector<double> alone = timeRuns(400, stroke);
    if (recalculations != 400)
        std::fprintf(stderr, "  %d recalculations for 400 keystrokes\n", recalculations);
    const QVector<double> painted = timeRuns(200, [&] {
        stroke();
        QCoreApplication::processEvents();
    });
    const QString name = QStringLiteral("keystroke, %1 cards, %2").arg(tubes).arg(what);
    report(name, median(alone) / 1e6, QStringLiteral("ms"), QStringLiteral("< 1 ms"));
    report(name + QStringLiteral(", with repaint"), median(painted) / 1e6, QStringLiteral("ms"));
}

} // namespace

BENCHMARK_CASE(window_startup)
{
    const ThemeApplied theme;
    // One window first, so one-time costs (catalogues, fonts, style sheet parsing) are not counted.
    timeToFirstPaint([] { return new MainWindow; });

    QVector<double> bench, benchConstructed, bare;
    for (int i = 0; i < 15; ++i) {
        const StartupTimes times = timeToFirstPaint([] { return new MainWindow; });
        bench.append(times.painted);
        benchConstructed.append(times.constructed);
        bare.append(timeToFirstPaint([] {
                        auto* window = new QMainWindow;
                        window->setCentralWidget(new QWidget(window));
                        window->resize(1240, 860);
                        return window;
                    }).painted);
    }
    report(QStringLiteral("start-up to first paint, bench window"), median(bench) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("  of which construction"), median(benchConstructed) / 1e6, QStringLiteral("ms"));
    report(QStringLiteral("start-up to first paint, bare QMainWindow 1240x860"), median(bare) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("ratio bench / bare"), median(bench) / median(bare), QStringLiteral("x"),
           QStringLiteral("<= 1.5x"));
}

int firstPaintChild(const QString& what, const QString& size)
{
    std::unique_ptr<QWidget> window;
    if (what == QLatin1String("bench")) {
        // As main() does: the style sheet, then the window.
        QFile sheet(QStringLiteral(":/style.qss"));
        if (sheet.open(QIODevice::ReadOnly))
            qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
        window = std::make_unique<MainWindow>();
    } else {
        auto* bare = new QMainWindow;
        bare->setCentralWidget(new QWidget(bare));
        const QStringList wh = size.split(QLatin1Char('x'));
        bare->resize(wh.value(0).toInt(), wh.value(1).toInt());
        window.reset(bare);
    }
    PaintWatcher watcher;
    window->installEventFilter(&watcher);
    window->show();
    QElapsedTimer limit;
    limit.start();
    while (!watcher.painted && limit.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("%dx%d\n", window->width(), window->height());
    std::fflush(stdout);
    return watcher.painted ? 0 : 1;
}

namespace {

// Wall time of one child process from its start to its exit after the first paint, in ns; the
// window's size it printed goes to `size`.
double childToFirstPaint(const QStringList& arguments, QString* size = nullptr)
{
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(20000) || child.exitCode() != 0)
        std::fprintf(stderr, "  the start-up child failed: %s\n", child.readAllStandardError().constData());
    const double ns = double(timer.nsecsElapsed());
    if (size)
        *size = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    return ns;
}

} // namespace

BENCHMARK_CASE(window_startup_process)
{
    // Process start included, as a user meets it: the program's window against a bare QMainWindow
    // of the same size, each in a fresh process, alternating, in the same run.
    QString size;
    childToFirstPaint({QStringLiteral("--first-paint"), QStringLiteral("bench")}, &size);
    QVector<double> bench, bare;
    for (int i = 0; i < 11; ++i) {
        bench.append(childToFirstPaint({QStringLiteral("--first-paint"), QStringLiteral("bench")}, &size));
        bare.append(childToFirstPaint({QStringLiteral("--first-paint"), QStringLiteral("bare"), size}));
    }
    report(QStringLiteral("process start to first paint, bench window ") + size, median(bench) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("process start to first paint, bare QMainWindow ") + size, median(bare) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("ratio bench / bare, process start included"), median(bench) / median(bare),
           QStringLiteral("x"), QStringLiteral("<= 1.5x"));
}

BENCHMARK_CASE(window_memory)
{
    const ThemeApplied theme;
    const auto window = shownWindow(2);
    report(QStringLiteral("peak resident memory, window shown"), kibToMib(procStatus("VmHWM:")),
           QStringLiteral("MiB"));
    report(QStringLiteral("resident memory now"), kibToMib(procStatus("VmRSS:")), QStringLiteral("MiB"));
}

BENCHMARK_CASE(window_keystroke)
{
    const ThemeApplied theme;
    // 6V6GT at 350 V: 4 mA is cold and 40 mA warm, so every keystroke also changes the rating;
    // 1 and 11 mA are both cold.
    for (int tubes : {2, 12}) {
        measureKeystrokes(tubes, QStringLiteral("4"), QStringLiteral("0"), QStringLiteral("rating changes"));
        measureKeystrokes(tubes, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("rating kept"));
    }
}

BENCHMARK_CASE(window_shared_value)
{
    const ThemeApplied theme;
    const auto window = shownWindow(12);
    for (TubeCardWidget* card : cards(*window))
        card->setMeasurements(26, 0);
    drainEvents();

    int n = 0;
    const auto change = [&] { plateVSpin(*window)->setValue(n++ % 2 ? 350 : 351); };
    const QVector<double> alone = timeRuns(200, change);
    const QVector<double> painted = timeRuns(100, [&] {
        change();
        QCoreApplication::processEvents();
    });
    report(QStringLiteral("plate voltage change, 12 cards"), median(alone) / 1e6, QStringLiteral("ms"),
           QStringLiteral("< 5 ms"));
    report(QStringLiteral("plate voltage change, 12 cards, with repaint"), median(painted) / 1e6,
           QStringLiteral("ms"));
}

BENCHMARK_CASE(window_tube_count)
{
    const ThemeApplied theme;
    const auto window = shownWindow(2);
    QVector<double> up, down;
    for (int i = 0; i < 20; ++i) {
        // Includes the deferred deletion of the old cards and the repaint of the new ones.
        up += timeRuns(1, [&] {
            tubeCountSpin(*window)->setValue(12);
            drainEvents();
        });
        down += timeRuns(1, [&] {
            tubeCountSpin(*window)->setValue(2);
            drainEvents();
        });
    }
    report(QStringLiteral("tube count 2 -> 12, incl. deletion and repaint"), median(up) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("tube count 12 -> 2, incl. deletion and repaint"), median(down) / 1e6,
           QStringLiteral("ms"));
}

BENCHMARK_CASE(window_presets)
{
    const ThemeApplied theme;
    const auto window = shownWindow(2);
    QComboBox* combo = presetCombo(*window);

    // Every preset in catalogue order, as the list would apply it when picked.
    QVector<double> applied, settled;
    for (int row = 0; row < combo->count(); ++row) {
        if (!combo->itemData(row).isValid())
            continue;
        combo->setCurrentIndex(row);
        applied += timeRuns(1, [&] { emit combo->activated(row); });
        settled += timeRuns(1, drainEvents);
        settled.last() += applied.last();
    }
    report(QStringLiteral("presets applied"), double(applied.size()), QString());
    report(QStringLiteral("preset apply, median"), median(applied) / 1e6, QStringLiteral("ms"),
           QStringLiteral("< 15 ms"));
    report(QStringLiteral("preset apply, worst"), worst(applied) / 1e6, QStringLiteral("ms"),
           QStringLiteral("< 15 ms"));
    report(QStringLiteral("preset apply incl. deletion and repaint, median"), median(settled) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("preset apply incl. deletion and repaint, worst"), worst(settled) / 1e6,
           QStringLiteral("ms"));
}

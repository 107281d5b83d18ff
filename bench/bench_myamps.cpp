// "MY AMPS" at the size of a shop: 10 000 saved profiles in the profiles folder. Start-up to first
// paint against the same start with an empty folder (in the same run, alternating), saving one
// profile and listing again, and a keystroke in the search field.
#include "benchmain.h"
#include "windowbenchsupport.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>
#include <sys/stat.h>
#include <utime.h>

namespace {

constexpr int shopSize = 10000;

QString profilesPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/profiles");
}

double timeToFirstPaint()
{
    QElapsedTimer timer;
    timer.start();
    auto window = std::make_unique<MainWindow>();
    PaintWatcher watcher;
    window->installEventFilter(&watcher);
    window->show();
    while (!watcher.painted && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ns = double(timer.nsecsElapsed());
    window->close(); // as the user quits: the session and the index are written
    window.reset();
    drainEvents();
    return ns;
}

// A shop's profiles: four tubes with readings, a preamp chain, and the amp's record, as a few years
// of jobs leave them; the files are a day old, as the files of earlier days are.
void fillShop(int count)
{
    QDir().mkpath(profilesPath());
    static const char* makes[] = {"Fender", "Marshall", "Vox", "Ampeg", "Hiwatt", "Mesa", "Orange", "Dynaco"};
    static const char* models[] = {"Deluxe Reverb", "JCM800",  "AC30",  "SVT",
                                   "DR103",         "Mark IV", "OR120", "ST-70"};
    static const char* tubes[] = {"6V6GT", "EL34 / 6CA7", "EL84 / 6BQ5", "6550", "KT88", "6L6GC"};
    const time_t dayAgo = time(nullptr) - 86400;
    for (int i = 0; i < count; ++i) {
        AmpProfile p;
        p.name = QStringLiteral("%1 %2 #%3")
                     .arg(QLatin1String(makes[i % 8]), QLatin1String(models[(i / 8) % 8]))
                     .arg(i);
        p.tube = QLatin1String(tubes[i % 6]);
        p.topology = QStringLiteral("Push-Pull Class AB (fixed bias)");
        p.tubeCount = 4;
        p.plateV = 420 + i % 50;
        p.meas1 = {38.5, 39.1, 40.2, 37.9};
        p.meas2 = {0, 0, 0, 0};
        QJsonObject object = profileToJson(p);
        QJsonObject amp;
        amp.insert(QStringLiteral("customer"), QStringLiteral("Customer %1").arg(i * 7919 % 3001));
        amp.insert(QStringLiteral("contact"),
                   QStringLiteral("+44 20 7946 %1").arg(i % 10000, 4, 10, QLatin1Char('0')));
        amp.insert(QStringLiteral("make"), QLatin1String(makes[i % 8]));
        amp.insert(QStringLiteral("model"), QLatin1String(models[(i / 8) % 8]));
        amp.insert(QStringLiteral("serial"), QStringLiteral("SN%1").arg(100000 + i * 37));
        amp.insert(QStringLiteral("notes"), QStringLiteral("Replaced filter caps; new set of power tubes."));
        object.insert(QStringLiteral("amp"), amp);
        const QString path = profilesPath() + QLatin1Char('/') + profileFileName(p.name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
        file.close();
        const utimbuf times{dayAgo, dayAgo};
        ::utime(QFile::encodeName(path).constData(), &times);
    }
}

void key(QWidget* target, int code, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

BENCHMARK_CASE(myamps_shop)
{
    const ThemeApplied theme;
    QDir(profilesPath()).removeRecursively();
    QElapsedTimer filling;
    filling.start();
    fillShop(shopSize);
    report(QStringLiteral("writing %1 profile files (setup)").arg(shopSize), double(filling.elapsed()),
           QStringLiteral("ms"));

    // The first start with a full folder: whatever it builds once (the index) is built here.
    const double first = timeToFirstPaint();
    report(QStringLiteral("first start with %1 profiles, to first paint").arg(shopSize), first / 1e6,
           QStringLiteral("ms"));

    // Empty and full starts alternate, so the machine's state weighs on both alike. The empty folder
    // lies in a home of its own: changing homes, the program finds its profiles folder and index
    // file anew, as a start of a new process does.
    const QByteArray shopHome = qgetenv("HOME");
    QTemporaryDir emptyHome;
    QVector<double> empty, full;
    for (int i = 0; i < 9; ++i) {
        qputenv("HOME", emptyHome.path().toLocal8Bit());
        QDir().mkpath(profilesPath());
        empty.append(timeToFirstPaint());
        qputenv("HOME", shopHome);
        full.append(timeToFirstPaint());
    }
    report(QStringLiteral("start-up to first paint, no profiles"), median(empty) / 1e6, QStringLiteral("ms"));
    report(QStringLiteral("start-up to first paint, %1 profiles").arg(shopSize), median(full) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("ratio %1 profiles / none").arg(shopSize), median(full) / median(empty),
           QStringLiteral("x"), QStringLiteral("<= 2x"));

    auto window = std::make_unique<MainWindow>();
    window->show();
    drainEvents();

    // A new amp each time, so every save adds a file and the list grows, as in a shop.
    int n = 0;
    const QVector<double> saves = timeRuns(20, [&] {
        AmpProfile p = window->captureProfile();
        p.name = QStringLiteral("Walk-in %1").arg(n++);
        saveProfile(p);
        window->refreshMyAmps();
    });
    report(QStringLiteral("save a profile, then list again, median"), median(saves) / 1e6,
           QStringLiteral("ms"), QStringLiteral("< 100 ms"));
    report(QStringLiteral("save a profile, then list again, worst"), worst(saves) / 1e6, QStringLiteral("ms"),
           QStringLiteral("< 100 ms"));
    const QVector<double> lists = timeRuns(20, [&] { window->refreshMyAmps(); });
    report(QStringLiteral("list again, nothing changed"), median(lists) / 1e6, QStringLiteral("ms"));

    auto* search = window->findChild<QLineEdit*>(QStringLiteral("myAmpsSearch"));
    if (!search) {
        std::printf("  (no search field)\n");
        return;
    }
    search->setFocus();
    // Typing narrows and widening again: "m", "ma", "mar", ... then back to "m", each with the repaint
    // of the popup it causes.
    const QString word = QStringLiteral("marshall");
    QVector<double> strokes;
    for (int round = 0; round < 5; ++round) {
        for (const QChar c : word)
            strokes += timeRuns(1, [&] {
                key(search, Qt::Key_A + (c.unicode() - 'a'), QString(c));
                QCoreApplication::processEvents();
            });
        for (int i = 1; i < word.size(); ++i)
            strokes += timeRuns(1, [&] {
                key(search, Qt::Key_Backspace, QString());
                QCoreApplication::processEvents();
            });
        search->clear();
    }
    report(QStringLiteral("search keystroke incl. repaint, median"), median(strokes) / 1e6,
           QStringLiteral("ms"), QStringLiteral("< 16 ms"));
    report(QStringLiteral("search keystroke incl. repaint, worst"), worst(strokes) / 1e6,
           QStringLiteral("ms"), QStringLiteral("< 16 ms"));
}

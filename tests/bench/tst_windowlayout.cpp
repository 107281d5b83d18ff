// The bench window on the screen it runs on (set through the offscreen platform's screen
// description; CTest runs this program once per bench screen): it fits, nothing overlaps, the
// header shows whole, twelve cards need no sideways scrolling, and a warning on one card leaves
// its row-mates alone. The window keeps its size and place between runs.
#include "windowdriver.h"

#include "bench/mainwindow.h"
#include "bench/windowfit.h"
#include "bias/gaugewidget.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

QRect rectIn(const QWidget* widget, const QWidget* ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

// Every pair of the visible widgets that overlap on screen, as "a / b".
QStringList overlaps(const QList<QWidget*>& widgets, const QWidget* window)
{
    QStringList found;
    for (int i = 0; i < widgets.size(); ++i) {
        for (int j = i + 1; j < widgets.size(); ++j) {
            const QWidget* a = widgets[i];
            const QWidget* b = widgets[j];
            if (!a->isVisible() || !b->isVisible())
                continue;
            if (rectIn(a, window).intersects(rectIn(b, window)))
                found << a->objectName() + QStringLiteral(" / ") + b->objectName();
        }
    }
    return found;
}

// The visible widgets that stick out of `area` or got less width than they need to show whole.
QStringList clipped(const QList<QWidget*>& widgets, const QWidget* area, const QWidget* window)
{
    QStringList found;
    const QRect bounds = rectIn(area, window);
    for (const QWidget* w : widgets) {
        if (!w->isVisible())
            continue;
        const QRect r = rectIn(w, window);
        if (!bounds.contains(r))
            found << w->objectName() + QStringLiteral(" outside");
        const int needed = w->minimumSizeHint().width();
        if (needed > 0 && w->width() < needed)
            found << w->objectName() + QStringLiteral(" squeezed to %1 of %2").arg(w->width()).arg(needed);
    }
    return found;
}

// Lets the layouts finish what the last change started.
void settleLayout()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

template <typename T = QWidget> T* child(const QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

} // namespace

class TestWindowLayout : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    QSize logicalScreen;

    QRect available() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        prepareWindowTests(home);
        QFile sheet(QStringLiteral(":/style.qss"));
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));

        // The screen must be the one this run is for, not the platform's default.
        const QByteArray wanted = qgetenv("AMBERTRACE_TEST_SCREEN");
        QVERIFY2(!wanted.isEmpty(), "AMBERTRACE_TEST_SCREEN names the screen this run is for");
        const QList<QByteArray> parts = wanted.split('x');
        QCOMPARE(parts.size(), 2);
        logicalScreen = QSize(parts[0].toInt(), parts[1].toInt());
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), logicalScreen);
    }

    void init() { QSettings().remove(QStringLiteral("benchWindow")); }

    void opensWithinTheScreen()
    {
        const auto window = openWindow();
        const QSize size = window->frameGeometry().size();
        QVERIFY2(size.width() <= available().width() && size.height() <= available().height(),
                 qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(available().width())
                                .arg(available().height())));
        QVERIFY(window->width() <= benchDesignSize.width() && window->height() <= benchDesignSize.height());
        // Where the screen has room, the window takes its design size.
        if (available().width() >= benchDesignSize.width() &&
            available().height() >= benchDesignSize.height())
            QCOMPARE(window->size(), benchDesignSize);
        QVERIFY(available().contains(window->frameGeometry()));
    }

    void nothingOverlapsWithTwelveTubes_data()
    {
        QTest::addColumn<bool>("collapsed");
        QTest::newRow("side panels shown") << false;
        QTest::newRow("side panels collapsed") << true;
    }

    void nothingOverlapsWithTwelveTubes()
    {
        QFETCH(bool, collapsed);
        const auto window = openWindow();
        MainWindow& w = *window;
        tubeCountSpin(w)->setValue(12);
        if (collapsed) {
            child<QToolButton>(&w, "setupToggle")->click();
            child<QToolButton>(&w, "datasheetToggle")->click();
            QVERIFY(!child(&w, "setupScroll")->isVisible());
            QVERIFY(!child(&w, "datasheetScroll")->isVisible());
        }
        settleLayout();

        // The window's own panels, top to bottom and left to right.
        QWidget* faceplate = child(&w, "faceplate");
        QWidget* toolRow = child(&w, "toolRow");
        QWidget* tabs = child(&w, "mainTabs");
        auto* scroll = qobject_cast<QScrollArea*>(cardHost(w)->parentWidget()->parentWidget());
        QVERIFY(scroll);
        const QList<QWidget*> panels = {faceplate, toolRow, tabs};
        for (QWidget* panel : panels)
            QVERIFY2(panel && panel->isVisible(), "a panel of the window is missing");
        QCOMPARE(overlaps(panels, &w), QStringList());
        QCOMPARE(clipped(panels, w.centralWidget(), &w), QStringList());
        const QList<QWidget*> benchPanels = {child(&w, "setupScroll"), scroll, child(&w, "datasheetScroll")};
        QCOMPARE(overlaps(benchPanels, &w), QStringList());
        QCOMPARE(clipped(benchPanels, tabs, &w), QStringList());

        // All of the header shows: each of its controls whole, inside it, none over another.
        QList<QWidget*> header;
        for (QWidget* c : faceplate->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            header << c;
        QVERIFY(header.size() >= 8);
        QCOMPARE(overlaps(header, &w), QStringList());
        QCOMPARE(clipped(header, faceplate, &w), QStringList());
        for (const char* name : {"logo", "byline", "presetCombo", "myAmpsCombo", "donateBtn"})
            QVERIFY2(child(faceplate, name)->isVisible(), name);
        // The tool row the same.
        QList<QWidget*> tools;
        for (QWidget* c : toolRow->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            tools << c;
        QCOMPARE(overlaps(tools, &w), QStringList());
        QCOMPARE(clipped(tools, toolRow, &w), QStringList());

        // Twelve cards in rows that fit the card area: no sideways scrolling, no card over another,
        // none narrower than it needs.
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        const QList<TubeCardWidget*> all = cards(w);
        QCOMPARE(all.size(), 12);
        QList<QWidget*> cardWidgets(all.begin(), all.end());
        for (QWidget* card : cardWidgets)
            card->setObjectName(QStringLiteral("V%1").arg(cardWidgets.indexOf(card) + 1));
        QCOMPARE(overlaps(cardWidgets, &w), QStringList());
        const QRect viewport = rectIn(scroll->viewport(), &w);
        for (QWidget* card : cardWidgets) {
            const QRect r = rectIn(card, &w);
            QVERIFY2(r.left() >= viewport.left() && r.right() <= viewport.right(),
                     qPrintable(card->objectName() + QStringLiteral(" beyond the card area's width")));
            QVERIFY(card->width() >= card->minimumSizeHint().width());
        }
        for (QWidget* card : cardWidgets)
            card->setObjectName(QStringLiteral("tubeCard"));
    }

    void aWarningLeavesItsRowMatesAlone()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        tubeCountSpin(w)->setValue(4);
        settleLayout();
        // Row-mates need two cards in a row; on the narrowest screens the datasheet makes way.
        if (cards(w)[1]->y() != cards(w)[0]->y()) {
            child<QToolButton>(&w, "datasheetToggle")->click();
            settleLayout();
        }
        QList<TubeCardWidget*> row;
        for (TubeCardWidget* card : cards(w)) {
            if (card->y() == cards(w)[0]->y())
                row << card;
        }
        QVERIFY2(row.size() >= 2, "no two cards share a row");

        // 6V6GT at 350 V: 26 mA is ideal, 45 mA past the maximum, with its warning.
        for (TubeCardWidget* card : row)
            card->setMeasurements(26, 0);
        settleLayout();
        const QSize before = row[0]->size();
        GaugeWidget* mateGauge = row[1]->findChild<GaugeWidget*>();
        const QRect gaugeBefore = mateGauge->geometry();
        const QRect fieldBefore = row[1]->readingField(0)->geometry();
        for (TubeCardWidget* card : row)
            QCOMPARE(card->size(), before);

        row[0]->setMeasurements(45, 0);
        settleLayout();
        auto* warning = row[0]->findChild<QLabel*>(QStringLiteral("warnLabel"));
        QVERIFY(warning->isVisible());
        QVERIFY(!warning->text().isEmpty());
        for (TubeCardWidget* card : row)
            QCOMPARE(card->size(), before);
        QCOMPARE(mateGauge->geometry(), gaugeBefore);
        QCOMPARE(row[1]->readingField(0)->geometry(), fieldBefore);
        // The warning reads whole on the card.
        QVERIFY(rectIn(row[0], &w).contains(rectIn(warning, &w)));
    }

    void keepsItsGeometryBetweenRuns()
    {
        const QRect screen = available();
        QRect left;
        {
            const auto window = openWindow();
            // Small enough to lie wholly on the screen where it is put, so nothing needs fitting.
            const QSize smaller =
                (window->minimumSizeHint() + QSize(40, 30)).boundedTo(screen.size() - QSize(20, 40));
            window->resize(smaller);
            window->move(screen.topLeft() + QPoint(10, 20));
            QCoreApplication::processEvents();
            left = window->geometry();
            window->close();
        }
        {
            const auto window = openWindow();
            QCOMPARE(window->geometry(), left);
        }
    }

    void aSavedGeometryLargerThanTheScreenIsFitted()
    {
        // As a window left on a larger monitor comes back on this one.
        const QRect screen = available();
        {
            const auto window = openWindow();
            window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            window->setGeometry(QRect(screen.topLeft() + QPoint(screen.width() / 2, 0),
                                      QSize(screen.width() + 800, screen.height() + 600)));
            QSettings().setValue(QStringLiteral("benchWindow/geometry"), window->saveGeometry());
        }
        const auto window = openWindow();
        QVERIFY2(screen.contains(window->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                          .arg(window->x())
                                                                          .arg(window->y())
                                                                          .arg(window->width())
                                                                          .arg(window->height())));
    }
};

QTEST_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"

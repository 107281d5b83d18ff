// The arithmetic of fitting the bench window to a screen.
#include "bench/windowfit.h"

#include <QtTest>

class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void windowSize_data()
    {
        QTest::addColumn<QSize>("room");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("full HD: the design size") << QSize(1920, 1040) << QSize(900, 600) << benchDesignSize;
        QTest::newRow("laptop: as high as the screen")
            << QSize(1366, 730) << QSize(900, 600) << QSize(1240, 730);
        QTest::newRow("small: the whole screen") << QSize(1024, 668) << QSize(900, 600) << QSize(1024, 668);
        QTest::newRow("smaller than the layout allows")
            << QSize(800, 560) << QSize(900, 600) << QSize(900, 600);
    }

    void windowSize()
    {
        QFETCH(QSize, room);
        QFETCH(QSize, minimum);
        QFETCH(QSize, expected);
        QCOMPARE(benchWindowSize(room, minimum), expected);
    }

    void fitInside_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QRect>("expected");
        // On a 1366 x 768 screen.
        QTest::newRow("inside stays") << QRect(10, 20, 900, 600) << QRect(10, 20, 900, 600);
        QTest::newRow("off the right edge moves in") << QRect(1000, 20, 900, 600) << QRect(466, 20, 900, 600);
        QTest::newRow("above the top moves down") << QRect(10, -50, 900, 600) << QRect(10, 0, 900, 600);
        QTest::newRow("left on a larger monitor shrinks")
            << QRect(1920, 100, 2000, 1200) << QRect(0, 0, 1366, 768);
    }

    void fitInside()
    {
        QFETCH(QRect, saved);
        QFETCH(QRect, expected);
        QCOMPARE(::fitInside(saved, QRect(0, 0, 1366, 768)), expected);
    }

    void columns_data()
    {
        QTest::addColumn<int>("rowWidth");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expected");
        // Cards of at least 230 px, 14 px apart.
        QTest::newRow("too narrow for one still takes one") << 100 << 4 << 1;
        QTest::newRow("exactly one") << 230 << 4 << 1;
        QTest::newRow("one pixel short of two") << 473 << 4 << 1;
        QTest::newRow("exactly two") << 474 << 4 << 2;
        QTest::newRow("no more columns than cards") << 2000 << 3 << 3;
        QTest::newRow("twelve on a wide screen") << 1880 << 12 << 7;
        QTest::newRow("no cards") << 800 << 0 << 1;
    }

    void columns()
    {
        QFETCH(int, rowWidth);
        QFETCH(int, count);
        QFETCH(int, expected);
        QCOMPARE(cardGridColumns(rowWidth, 230, 14, count), expected);
    }
};

QTEST_GUILESS_MAIN(TestWindowFit)
#include "tst_windowfit.moc"

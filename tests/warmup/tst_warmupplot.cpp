// The plot without pixels: ticks, axes, mapping, layout, decimation and the plotted values; and the
// drawing into a PDF, read back as text.
#include "testfiles.h"
#include "warmup/warmupplot.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

class TestWarmupPlot : public QObject
{
    Q_OBJECT

private slots:
    void ticks_data();
    void ticks();
    void axes();
    void mappingAndLayout();
    void decimationKeepsExtremes();
    void decimationOfFewPoints();
    void plottedValues();
    void drawsIntoAPdfAsText();
};

void TestWarmupPlot::ticks_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addRow("an hour in 7") << 0.0 << 60.0 << 7 << QVector<double>{0, 10, 20, 30, 40, 50, 60};
    QTest::addRow("an hour in 4") << 0.0 << 60.0 << 4 << QVector<double>{0, 20, 40, 60};
    QTest::addRow("38 to 47 mA") << 38.0 << 47.0 << 6 << QVector<double>{38, 40, 42, 44, 46};
    QTest::addRow("fractions") << 0.12 << 0.5 << 5 << QVector<double>{0.2, 0.3, 0.4, 0.5};
    QTest::addRow("empty range") << 5.0 << 5.0 << 5 << QVector<double>{};
    QTest::addRow("nan") << qQNaN() << 5.0 << 5 << QVector<double>{};
}

void TestWarmupPlot::ticks()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, maxTicks);
    QFETCH(QVector<double>, expected);
    const QVector<double> ticks = warmupTicks(min, max, maxTicks);
    QCOMPARE(ticks.size(), expected.size());
    for (qsizetype i = 0; i < ticks.size(); ++i)
        QVERIFY2(std::abs(ticks.at(i) - expected.at(i)) < 1e-9, qPrintable(QString::number(ticks.at(i))));
    QVERIFY(ticks.size() <= maxTicks);
}

void TestWarmupPlot::axes()
{
    // Time starts at 0, shows at least five minutes and ends on a tick past the data.
    const WarmupAxis shortJob = warmupTimeAxis(1.5, 6);
    QCOMPARE(shortJob.min, 0.0);
    QCOMPARE(shortJob.max, 5.0);
    const WarmupAxis hour = warmupTimeAxis(61, 7);
    QVERIFY(hour.max >= 61);
    QCOMPARE(hour.ticks.last(), hour.max);
    // Values: ticks at both ends enclosing the data, never below 0.
    const WarmupAxis ma = warmupValueAxis(38.2, 46.9, 6);
    QVERIFY(ma.min <= 38.2 && ma.max >= 46.9);
    QCOMPARE(ma.ticks.first(), ma.min);
    QCOMPARE(ma.ticks.last(), ma.max);
    QVERIFY(warmupValueAxis(0.5, 3, 5).min >= 0);
    const WarmupAxis flat = warmupValueAxis(40, 40, 5);
    QVERIFY(flat.min < 40 && flat.max > 40);
}

void TestWarmupPlot::mappingAndLayout()
{
    const WarmupPlotLayout withMains = warmupPlotLayout(QRectF(0, 0, 800, 400), 16, true);
    const WarmupPlotLayout without = warmupPlotLayout(QRectF(0, 0, 800, 400), 16, false);
    QVERIFY(QRectF(0, 0, 800, 400).contains(withMains.plot));
    QVERIFY(QRectF(0, 0, 800, 400).contains(withMains.mains));
    QVERIFY(withMains.mains.top() > withMains.plot.bottom());
    QVERIFY(without.mains.isEmpty());
    QVERIFY(without.plot.height() > withMains.plot.height());
    // Layouts follow the size.
    const WarmupPlotLayout big = warmupPlotLayout(QRectF(0, 0, 1600, 800), 16, false);
    QVERIFY(big.plot.width() > without.plot.width() * 1.9);

    WarmupAxis x;
    x.min = 0;
    x.max = 60;
    WarmupAxis y;
    y.min = 30;
    y.max = 50;
    const QRectF area(100, 20, 600, 200);
    QCOMPARE(warmupMap(0, 30, x, y, area), QPointF(100, 220));
    QCOMPARE(warmupMap(60, 50, x, y, area), QPointF(700, 20));
    QCOMPARE(warmupMap(15, 45, x, y, area), QPointF(250, 70));
}

// An hour at ten readings a second into 500 columns: at most two points a column, every column's
// lowest and highest reading kept, a one-reading spike and dip among them.
void TestWarmupPlot::decimationKeepsExtremes()
{
    QVector<WarmupPoint> points;
    for (int i = 0; i < 36000; ++i)
        points.append({qint64(i) * 100, 40 + 0.2 * std::sin(i / 50.0)});
    points[12345].value = 90;
    points[23456].value = 2;
    const int columns = 500;
    const QVector<WarmupPoint> out = warmupDecimate(points, 0, 3600000, columns);
    QVERIFY(out.size() <= 2 * columns);
    QVERIFY(out.size() >= columns);
    double low = 1e9;
    double high = -1e9;
    for (qsizetype i = 0; i < out.size(); ++i) {
        low = std::min(low, out.at(i).value);
        high = std::max(high, out.at(i).value);
        if (i > 0)
            QVERIFY(out.at(i - 1).timeMs < out.at(i).timeMs);
    }
    QCOMPARE(high, 90.0);
    QCOMPARE(low, 2.0);
    // Each column's own extremes are there.
    const qint64 perColumn = 3600000 / columns;
    for (int c = 0; c < columns; c += 37) {
        double cl = 1e9;
        double ch = -1e9;
        for (const WarmupPoint& p : points)
            if (p.timeMs / perColumn == c) {
                cl = std::min(cl, p.value);
                ch = std::max(ch, p.value);
            }
        bool hasLow = false;
        bool hasHigh = false;
        for (const WarmupPoint& p : out)
            if (p.timeMs / perColumn == c) {
                hasLow = hasLow || p.value == cl;
                hasHigh = hasHigh || p.value == ch;
            }
        QVERIFY2(hasLow && hasHigh, qPrintable(QStringLiteral("column %1").arg(c)));
    }
}

void TestWarmupPlot::decimationOfFewPoints()
{
    const QVector<WarmupPoint> sparse = {{0, 40}, {120000, 41}, {300000, 42}, {900000, 41.5}};
    QCOMPARE(warmupDecimate(sparse, 0, 3600000, 800).size(), 4);
    // Outside the range, or no columns: nothing.
    QCOMPARE(warmupDecimate(sparse, 200000, 400000, 10).size(), 1);
    QCOMPARE(warmupDecimate(sparse, 0, 3600000, 0).size(), 0);
    QCOMPARE(warmupDecimate({}, 0, 3600000, 10).size(), 0);
}

void TestWarmupPlot::plottedValues()
{
    WarmupEntry e;
    e.currentMa = 40;
    e.pctOfMax = 60;
    QCOMPARE(warmupPlotValue(e, WarmupQuantity::CurrentMa, 0, 120), 40.0);
    QCOMPARE(warmupPlotValue(e, WarmupQuantity::CurrentMa, 132, 0), 40.0);
    QVERIFY(std::abs(warmupPlotValue(e, WarmupQuantity::CurrentMa, 126, 120) - 40 * 120 / 126.0) < 1e-12);
    QVERIFY(std::abs(warmupPlotValue(e, WarmupQuantity::PctOfMax, 240, 230) - 60 * std::pow(230 / 240.0, 2)) <
            1e-12);

    // Each tube its own series, mains in effect at each reading.
    WarmupLog log;
    log.append({1000, 0, 0, 40, 0, 40, 16, 53});
    log.appendMains({1500, 126});
    log.append({2000, 1, 0, 42, 0, 42, 16.8, 56});
    log.append({3000, 0, 0, 41, 0, 41, 16.4, 54});
    const WarmupPlotData data = warmupPlotData(log, {}, WarmupQuantity::CurrentMa, 120, 5000);
    QCOMPARE(data.startMs, 1000);
    QCOMPARE(data.nowMs, 5000);
    QCOMPARE(data.series.size(), 2);
    QCOMPARE(data.series.at(0).points.size(), 2);
    QCOMPARE(data.series.at(0).points.at(0).value, 40.0); // before any mains reading
    QVERIFY(std::abs(data.series.at(0).points.at(1).value - 41 * 120 / 126.0) < 1e-12);
    QCOMPARE(data.series.at(1).tube, 1);
}

void TestWarmupPlot::drawsIntoAPdfAsText()
{
    WarmupPlotData data;
    data.startMs = 0;
    data.nowMs = 20 * 60000;
    data.windowLow = 37;
    data.windowHigh = 44;
    data.target = 40;
    for (int tube = 0; tube < 2; ++tube) {
        WarmupPlotSeries s;
        s.tube = tube;
        for (int i = 0; i <= 120; ++i)
            s.points.append({qint64(i) * 10000, 40.0 + tube + (tube == 1 && i > 60 ? 0.1 * (i - 60) : 0)});
        s.state.readings = 121;
        s.state.settled = tube == 0;
        s.state.settledSinceMs = 180000;
        s.state.runaway = tube == 1;
        s.state.risingSinceMs = 600000;
        data.series.append(s);
    }
    data.mains = {{0, 121}, {600000, 124.5}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plot.pdf"));
    {
        QPdfWriter pdf(path);
        QPainter painter(&pdf);
        paintWarmupPlot(painter, QRectF(0, 0, pdf.width(), pdf.height() / 2), data);
    }
    QString error;
    const QString text = pdfText(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(text.contains(QStringLiteral("V1 settled 3:00")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("V2 RUNAWAY, rising since 10:00")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("minutes since the")) /* "fi" may come out as a ligature */,
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("124.5")));
}

QTEST_MAIN(TestWarmupPlot)
#include "tst_warmupplot.moc"

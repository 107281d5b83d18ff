// The customer report of a four-tube job with an hour's warm-up log (one reading a second per tube):
// laid out, drawn with its vector plot, the job embedded, written to a file.
#include "benchmain.h"

#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "biastools/biasreport.h"

#include <QTemporaryDir>
#include <cmath>

BENCHMARK_CASE(report_customer_job)
{
    BenchSession bench;
    bench.setTube(QStringLiteral("6L6GC"));
    bench.setTubeCount(4);
    bench.setPlateV(470);
    for (int t = 0; t < 4; ++t)
        bench.setMeas1(t, 40 + t);
    const QList<ServiceTube> before = serviceTubesFromBench(bench.snapshot());
    WarmupLog log;
    const qint64 start = QDateTime(QDate(2026, 3, 14), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch();
    for (int s = 0; s < 3600; ++s)
        for (int t = 0; t < 4; ++t) {
            WarmupEntry e;
            e.timeMs = start + qint64(s) * 1000;
            e.tube = t;
            e.meas1 = 40 + t - 6 * std::exp(-s / 400.0) + 0.1 * std::sin(s * 0.3);
            e.currentMa = e.meas1;
            e.dissipationW = e.currentMa * 0.47;
            e.pctOfMax = e.dissipationW / 30 * 100;
            log.append(e);
        }
    log.appendMains({start, 121});
    const ServiceJob job =
        serviceJobFromBench(bench.snapshot(), before, log, QStringLiteral("Tech"), QStringLiteral("JJ"),
                            QStringLiteral("Notes."), QDateTime(QDate(2026, 3, 14), QTime(9, 0), Qt::UTC));
    ShopDetails shop;
    shop.name = QStringLiteral("Bench Shop");
    AmpRecord amp;
    amp.customer = QStringLiteral("Customer");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    const QVector<double> runs = timeRuns(
        10, [&] { writeBiasReport(path, biasReportFromJob(job, QStringLiteral("Amp"), amp, shop)); });
    report(QStringLiteral("customer report, 4 tubes + 1 h log (median)"), median(runs) / 1e6,
           QStringLiteral("ms"), QStringLiteral("< 300 ms"));
    report(QStringLiteral("customer report, 4 tubes + 1 h log (worst)"), worst(runs) / 1e6,
           QStringLiteral("ms"));
}

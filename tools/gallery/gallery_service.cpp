// The service record: Preferences, the amp's record, "Finish Job", the service history, and a
// two-page customer report and a history report, each page also as a PNG (with pdftoppm).
#include "gallery.h"

#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "biastools/biasreport.h"
#include "service/servicedialogs.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>

namespace {

// Eight KT88s on sense resistors, before and after adjustment, with an hour's warm-up log.
ServiceJob galleryJob(const QDateTime& date, int tubes, bool withLog)
{
    BenchSession bench;
    bench.setTube(QStringLiteral("KT88"));
    bench.setMethod(SenseResistor);
    bench.setTubeCount(tubes);
    bench.setPlateV(560);
    for (int t = 0; t < tubes; ++t)
        bench.setMeas1(t, 30 + 3 * (t % 3));
    const QList<ServiceTube> before = serviceTubesFromBench(bench.snapshot());
    for (int t = 0; t < tubes; ++t)
        bench.setMeas1(t, 42 + 0.6 * (t % 4));
    WarmupLog log;
    if (withLog) {
        const qint64 start = date.toMSecsSinceEpoch() - 3600 * 1000;
        for (int s = 0; s < 3600; s += 5)
            for (int t = 0; t < tubes; ++t) {
                WarmupEntry e;
                e.timeMs = start + qint64(s) * 1000;
                e.tube = t;
                e.method = SenseResistor;
                e.meas1 = 42 + 0.6 * (t % 4) - 7 * std::exp(-s / 500.0) + (t == 5 ? s / 900.0 : 0);
                e.currentMa = e.meas1;
                e.dissipationW = e.currentMa * 0.56;
                e.pctOfMax = e.dissipationW / 35 * 100;
                log.append(e);
            }
        log.appendMains({start, 231});
        log.appendMains({start + 2000000, 236});
    }
    return serviceJobFromBench(
        bench.snapshot(), before, log, QStringLiteral("Rita Okafor"), QStringLiteral("Genalex Gold Lion"),
        QStringLiteral("Output tubes replaced as a matched octet.\nV6 creeps up over the "
                       "hour: keep an eye on it at the next service."),
        date);
}

void pdfPages(const QString& pdf, const QDir& out, const QString& stem)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        return;
    QProcess::execute(pdftoppm, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                                 out.filePath(stem)});
}

} // namespace

GALLERY_PAGE(service)
{
    ShopDetails shop;
    shop.name = QStringLiteral("Northside Valve Works");
    shop.address = QStringLiteral("12 Foundry Lane\nLeeds LS9 8AB");
    shop.phone = QStringLiteral("0113 496 0123");
    shop.email = QStringLiteral("bench@northside.example");
    shop.technician = QStringLiteral("Rita Okafor");
    shop.warranty = QStringLiteral("Tubes and labour are covered for 90 days from the date of this report.");
    QImage logo(240, 150, QImage::Format_RGB32);
    logo.fill(QColor(0x2b, 0x2b, 0x2b));
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0xf0, 0xa0, 0x30));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(120, 75), 52, 52);
    }
    shop.logoPath = out.filePath(QStringLiteral("service_logo.png"));
    logo.save(shop.logoPath);

    AmpRecord amp;
    amp.customer = QStringLiteral("Dana Whitcombe");
    amp.contact = QStringLiteral("07700 900123");
    amp.make = QStringLiteral("Ampeg");
    amp.model = QStringLiteral("SVT (1972)");
    amp.serial = QStringLiteral("BK-40719");

    PreferencesDialog preferences;
    preferences.setShop(shop);
    saveWidget(&preferences, out, QStringLiteral("service_preferences.png"));
    AmpRecordDialog record(QStringLiteral("Dana's SVT"));
    record.setRecord(amp);
    saveWidget(&record, out, QStringLiteral("service_amprecord.png"));
    FinishJobDialog finish(QStringLiteral("Dana's SVT"),
                           QStringLiteral("6 × KT88, readings before adjustment taken"), shop.technician);
    saveWidget(&finish, out, QStringLiteral("service_finishjob.png"));

    const ServiceJob job = galleryJob(QDateTime(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC), 6, true);
    QList<ServiceJob> history;
    addToHistory(history, job);
    addToHistory(history, galleryJob(QDateTime(QDate(2024, 9, 2), QTime(16, 10), Qt::UTC), 6, false));
    ServiceHistoryDialog dialog(QStringLiteral("Dana's SVT"), history);
    saveWidget(&dialog, out, QStringLiteral("service_history.png"));

    const QString customer = out.filePath(QStringLiteral("service_customer_report.pdf"));
    BiasReportData data = biasReportFromJob(job, QStringLiteral("Dana's SVT"), amp, shop);
    if (writeBiasReport(customer, data)) {
        std::printf("  %s\n", qPrintable(customer));
        pdfPages(customer, out, QStringLiteral("service_customer_report"));
    }
    const QString historyPdf = out.filePath(QStringLiteral("service_history_report.pdf"));
    if (writeHistoryReport(historyPdf, QStringLiteral("Dana's SVT"), amp, shop, history, QPageSize::Letter)) {
        std::printf("  %s\n", qPrintable(historyPdf));
        pdfPages(historyPdf, out, QStringLiteral("service_history_report"));
    }
}

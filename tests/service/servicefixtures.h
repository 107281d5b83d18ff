#pragma once

// Jobs as the bench makes them, for the tests of the service record and its reports.
#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "service/servicerecord.h"
#include "service/shopdetails.h"

#include <QDateTime>

// Four 6L6GCs on a 1 Ω sense resistor at 470 V, B+ 480 V: before adjustment two run cold, after it
// all are near the target. An hour's warm-up log at one reading a second per tube (when `withLog`).
inline ServiceJob senseJob(bool withLog = true, int tubes = 4)
{
    BenchSession bench;
    bench.setTube(QStringLiteral("6L6GC"));
    bench.setMethod(SenseResistor);
    bench.setTubeCount(tubes);
    bench.setPlateV(470);
    bench.setBPlusV(480);
    bench.setSenseResistorOhms(1);
    for (int t = 0; t < tubes; ++t)
        bench.setMeas1(t, 28 + t % 2);
    const QList<ServiceTube> before = serviceTubesFromBench(bench.snapshot());
    for (int t = 0; t < tubes; ++t)
        bench.setMeas1(t, 41.5 + 0.5 * (t % 4));
    WarmupLog log;
    if (withLog) {
        const qint64 start = QDateTime(QDate(2026, 3, 14), QTime(8, 20), Qt::UTC).toMSecsSinceEpoch();
        for (int s = 0; s < 3600; ++s)
            for (int t = 0; t < tubes; ++t) {
                WarmupEntry e;
                e.timeMs = start + qint64(s) * 1000;
                e.tube = t;
                e.method = SenseResistor;
                e.meas1 = 41.5 + 0.5 * t - 6 * std::exp(-s / 400.0);
                e.currentMa = e.meas1;
                e.dissipationW = e.currentMa * 0.47;
                e.pctOfMax = e.dissipationW / 30 * 100;
                log.append(e);
            }
        log.appendMains({start, 121.5});
        log.appendMains({start + 1800000, 119.8});
    }
    return serviceJobFromBench(bench.snapshot(), before, log, QStringLiteral("Rita Okafor"),
                               QStringLiteral("Tung-Sol"), QStringLiteral("Replaced the screen resistors."),
                               QDateTime(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC));
}

// Two EL34s by the winding-drop method: each plate measured on its own (446.5 V and 445.8 V), the
// shared plate field holding 512 V that the method does not use.
inline ServiceJob windingDropJob()
{
    BenchSession bench;
    bench.setTube(QStringLiteral("EL34"));
    bench.setMethod(OtWindingDrop);
    bench.setPlateV(512);
    bench.setBPlusV(450);
    bench.setMeas1(0, 446.5);
    bench.setMeas2(0, 100);
    bench.setMeas1(1, 445.8);
    bench.setMeas2(1, 104);
    return serviceJobFromBench(bench.snapshot(), {}, {}, QStringLiteral("Sam Lee"), QString(), QString(),
                               QDateTime(QDate(2025, 11, 2), QTime(15, 5), Qt::UTC));
}

inline ShopDetails testShop()
{
    ShopDetails shop;
    shop.name = QStringLiteral("Northside Valve Works");
    shop.address = QStringLiteral("12 Foundry Lane\nLeeds LS9 8AB");
    shop.phone = QStringLiteral("0113 496 0123");
    shop.email = QStringLiteral("bench@northside.example");
    shop.technician = QStringLiteral("Rita Okafor");
    shop.warranty = QStringLiteral("Tubes and labour are covered for 90 days from the date above.");
    return shop;
}

inline AmpRecord testAmp()
{
    AmpRecord amp;
    amp.customer = QStringLiteral("Dana Whitcombe");
    amp.contact = QStringLiteral("07700 900123");
    amp.make = QStringLiteral("Marshall");
    amp.model = QStringLiteral("JTM45 reissue");
    amp.serial = QStringLiteral("SN-4471-B");
    amp.notes = QStringLiteral("Customer plays loud; prefers it a little cool.");
    return amp;
}

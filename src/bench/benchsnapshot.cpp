#include "bench/benchsnapshot.h"

#include "bias/biasstatus.h"

#include <cmath>

AmpProfile profileFromBench(const BenchSnapshot& bench, const QJsonArray& preampStages,
                            const WarmupLog& warmupLog)
{
    const BenchSetup& s = bench.setup;
    AmpProfile p;
    // What the profile named stays what it names, also when the bench could not take it.
    p.tube = s.unknown.tube.value_or(s.tube);
    p.customMaxW = s.customMaxW;
    p.tubeCount = s.tubeCount;
    p.topology = s.unknown.ampClass.value_or(s.ampClass);
    p.biasMethod = s.unknown.method.value_or(s.method);
    p.plateV = s.shared.plateV;
    p.bPlusV = s.shared.bPlusV;
    p.senseResistorOhms = s.shared.senseResistorOhms;
    p.cathodeResistorOhms = s.shared.cathodeResistorOhms;
    p.sharedCathodeR = s.shared.sharedCathodeR;
    p.sharedSenseR = s.shared.sharedSenseR;
    p.sharedTubes = s.shared.sharedTubes;
    p.subtractScreen = s.shared.subtractScreen;
    p.screenPct = s.shared.screenPct;
    p.meterReadsTotal = s.shared.meterReadsTotal;
    p.meterTotalMa = s.shared.meterTotalMa;
    p.otDropDirect = s.shared.otDropDirect;
    p.senseRPerTube = s.shared.senseRPerTube;
    p.screenMeasured = s.shared.screenMeasured;
    p.targetPct = s.targetPct;
    p.idle = s.idle;
    // Both readings of every tube, shown or not, so switching the method back later finds them.
    for (const TubeReading& reading : bench.readings) {
        p.meas1.append(reading.meas1);
        p.meas2.append(reading.meas2);
        p.tubeLabels.append(reading.label);
        p.screenDropV.append(reading.screenDropV);
        p.screenOhms.append(reading.screenOhms);
    }
    p.preampStages = preampStages;
    p.warmupLog = warmupLog;
    return p;
}

BenchStart benchStartFromProfile(const AmpProfile& profile)
{
    BenchStart start;
    start.tube = profile.tube;
    start.customMaxW = profile.customMaxW;
    start.ampClass = profile.topology;
    // A negative method must not mean "keep the current one": a file's outcome would then depend
    // on what was on screen before.
    start.method = profile.biasMethod >= 0 ? profile.biasMethod : AmpProfile().biasMethod;
    start.tubeCount = profile.tubeCount;
    start.plateV = profile.plateV;
    start.bPlusV = profile.bPlusV;
    start.senseResistorOhms = profile.senseResistorOhms;
    start.cathodeResistorOhms = profile.cathodeResistorOhms;
    start.sharedCathodeR = profile.sharedCathodeR;
    start.sharedSenseR = profile.sharedSenseR;
    start.sharedTubes = profile.sharedTubes;
    start.subtractScreen = profile.subtractScreen;
    start.screenPct = profile.screenPct;
    start.meterReadsTotal = profile.meterReadsTotal;
    start.meterTotalMa = profile.meterTotalMa;
    start.otDropDirect = profile.otDropDirect;
    start.senseRPerTube = profile.senseRPerTube;
    start.screenMeasured = profile.screenMeasured;
    if (std::isfinite(profile.targetPct))
        start.targetPct = profile.targetPct;
    start.idle = profile.idle;
    start.meas1 = profile.meas1;
    start.meas2 = profile.meas2;
    start.screenDropV = profile.screenDropV;
    start.screenOhms = profile.screenOhms;
    start.labels = profile.tubeLabels;
    start.keepUnknownNames = true;
    return start;
}

BiasReportData biasReportFromBench(const BenchSnapshot& bench, const QString& profileName)
{
    const BenchSetup& s = bench.setup;
    BiasReportData data;
    data.ampName = biasReportAmpName(profileName, s.tube);
    data.tubeType = s.unknown.tube.value_or(s.tube);
    data.topology = s.unknown.ampClass.value_or(s.ampClass);
    data.biasMethod = biasMethodLabel(s.method);
    // The shared field's value, also under the winding-drop method where it is hidden.
    data.plateV = s.shared.plateV;
    data.targetPct = s.targetPct;
    data.maxPlateW = bench.maxPlateW;
    for (int i = 0; i < bench.results.size(); ++i) {
        BiasReportRow row;
        row.label = QStringLiteral("V%1").arg(i + 1);
        row.result = bench.results.at(i);
        row.status = biasStatusLook(bench.ratings.value(i, BiasStatus::NoReading)).reportText;
        data.rows.append(row);
    }
    return data;
}

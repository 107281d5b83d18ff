#include "bench/benchsnapshot.h"

#include "bias/biasstatus.h"
#include "catalog/ampclasses.h"

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
    // Under the winding-drop method the shared field is hidden and not used: each tube has its own
    // plate voltage, so the row is left out rather than print a value nobody measured.
    const BiasMethodInfo* info = findBiasMethod(s.method);
    data.plateV = info && !info->usesPlateV ? 0 : s.shared.plateV;
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

QList<ServiceTube> serviceTubesFromBench(const BenchSnapshot& bench)
{
    QList<ServiceTube> tubes;
    for (int i = 0; i < bench.setup.tubeCount && i < bench.readings.size(); ++i) {
        ServiceTube tube;
        const TubeReading& reading = bench.readings.at(i);
        tube.label = reading.label;
        tube.meas1 = reading.meas1;
        tube.meas2 = reading.meas2;
        tube.result = bench.results.value(i);
        tube.result.warning.clear();
        tube.status = biasStatusLook(bench.ratings.value(i, BiasStatus::NoReading)).reportText;
        tubes.append(tube);
    }
    return tubes;
}

ServiceJob serviceJobFromBench(const BenchSnapshot& bench, const QList<ServiceTube>& before,
                               const WarmupLog& log, const QString& technician, const QString& tubeBrand,
                               const QString& notes, const QDateTime& date)
{
    const BenchSetup& s = bench.setup;
    ServiceJob job;
    // Whole seconds, so the job read back from a file equals the one written.
    job.date = QDateTime::fromSecsSinceEpoch(date.toSecsSinceEpoch(), Qt::UTC);
    job.technician = technician;
    job.tube = s.tube;
    job.tubeBrand = tubeBrand;
    job.maxPlateW = bench.maxPlateW;
    job.ampClass = s.ampClass;
    job.method = s.method;
    job.shared = s.shared;
    job.targetPct = s.targetPct;
    job.idealLowPct = bench.idealLowPct;
    job.idealHighPct = bench.idealHighPct;
    job.mainsV = log.mains.isEmpty() ? 0 : log.mains.last().volts;
    job.before = before;
    job.after = serviceTubesFromBench(bench);
    job.matchingLevel = bench.matching.level;
    job.matchingText = bench.matching.text;
    job.warmupLog = log;
    job.notes = notes;
    return job;
}

BenchStart benchStartFromJob(const ServiceJob& job)
{
    BenchStart start;
    start.tube = job.tube;
    if (!findAmpClass(job.ampClass))
        start.ampClass = QString();
    start.customMaxW = job.maxPlateW;
    start.ampClass = job.ampClass;
    start.method = job.method;
    start.tubeCount = qMax(1, job.tubeCount());
    start.plateV = job.shared.plateV;
    start.bPlusV = job.shared.bPlusV;
    start.senseResistorOhms = job.shared.senseResistorOhms;
    start.cathodeResistorOhms = job.shared.cathodeResistorOhms;
    start.sharedCathodeR = job.shared.sharedCathodeR;
    start.sharedSenseR = job.shared.sharedSenseR;
    start.sharedTubes = job.shared.sharedTubes;
    start.subtractScreen = job.shared.subtractScreen;
    start.screenPct = job.shared.screenPct;
    start.meterReadsTotal = job.shared.meterReadsTotal;
    if (std::isfinite(job.targetPct))
        start.targetPct = job.targetPct;
    for (const ServiceTube& tube : job.after) {
        start.meas1.append(tube.meas1);
        start.meas2.append(tube.meas2);
        start.labels.append(tube.label);
    }
    return start;
}

#include "service/servicerecord.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <algorithm>

namespace {

const QString jobFormat = QStringLiteral("ambertrace-job");

QString text(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toString();
}

QJsonObject tubeToJson(const ServiceTube& t)
{
    QJsonObject o;
    if (!t.label.isEmpty())
        o.insert(QStringLiteral("label"), t.label);
    o.insert(QStringLiteral("meas1"), t.meas1);
    o.insert(QStringLiteral("meas2"), t.meas2);
    o.insert(QStringLiteral("valid"), t.result.valid);
    o.insert(QStringLiteral("currentMa"), t.result.currentMa);
    o.insert(QStringLiteral("dissipationW"), t.result.dissipationW);
    o.insert(QStringLiteral("pctOfMax"), t.result.pctOfMax);
    o.insert(QStringLiteral("status"), t.status);
    return o;
}

ServiceTube tubeFromJson(const QJsonObject& o)
{
    ServiceTube t;
    t.label = text(o, "label");
    t.meas1 = o.value(QStringLiteral("meas1")).toDouble(0);
    t.meas2 = o.value(QStringLiteral("meas2")).toDouble(0);
    t.result.valid = o.value(QStringLiteral("valid")).toBool(false);
    t.result.currentMa = o.value(QStringLiteral("currentMa")).toDouble(0);
    t.result.dissipationW = o.value(QStringLiteral("dissipationW")).toDouble(0);
    t.result.pctOfMax = o.value(QStringLiteral("pctOfMax")).toDouble(0);
    t.status = text(o, "status");
    return t;
}

QJsonArray tubesToJson(const QList<ServiceTube>& tubes)
{
    QJsonArray array;
    for (const ServiceTube& t : tubes)
        array.append(tubeToJson(t));
    return array;
}

// At most the bench's tube count; anything but an object is skipped.
QList<ServiceTube> tubesFromJson(const QJsonValue& value)
{
    QList<ServiceTube> tubes;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            continue;
        if (tubes.size() >= maxTubeCount)
            break;
        tubes.append(tubeFromJson(element.toObject()));
    }
    return tubes;
}

QJsonObject sharedToJson(const SharedMeasurements& s)
{
    QJsonObject o;
    o.insert(QStringLiteral("plateV"), s.plateV);
    o.insert(QStringLiteral("bPlusV"), s.bPlusV);
    o.insert(QStringLiteral("senseResistorOhms"), s.senseResistorOhms);
    o.insert(QStringLiteral("cathodeResistorOhms"), s.cathodeResistorOhms);
    o.insert(QStringLiteral("sharedCathodeR"), s.sharedCathodeR);
    o.insert(QStringLiteral("sharedSenseR"), s.sharedSenseR);
    o.insert(QStringLiteral("sharedTubes"), s.sharedTubes);
    o.insert(QStringLiteral("subtractScreen"), s.subtractScreen);
    o.insert(QStringLiteral("screenPct"), s.screenPct);
    o.insert(QStringLiteral("meterReadsTotal"), s.meterReadsTotal);
    return o;
}

SharedMeasurements sharedFromJson(const QJsonObject& o)
{
    SharedMeasurements s;
    s.plateV = o.value(QStringLiteral("plateV")).toDouble(s.plateV);
    s.bPlusV = o.value(QStringLiteral("bPlusV")).toDouble(s.bPlusV);
    s.senseResistorOhms = o.value(QStringLiteral("senseResistorOhms")).toDouble(s.senseResistorOhms);
    s.cathodeResistorOhms = o.value(QStringLiteral("cathodeResistorOhms")).toDouble(s.cathodeResistorOhms);
    s.sharedCathodeR = o.value(QStringLiteral("sharedCathodeR")).toBool(s.sharedCathodeR);
    s.sharedSenseR = o.value(QStringLiteral("sharedSenseR")).toBool(s.sharedSenseR);
    s.sharedTubes = o.value(QStringLiteral("sharedTubes")).toInt(s.sharedTubes);
    s.subtractScreen = o.value(QStringLiteral("subtractScreen")).toBool(s.subtractScreen);
    s.screenPct = o.value(QStringLiteral("screenPct")).toDouble(s.screenPct);
    s.meterReadsTotal = o.value(QStringLiteral("meterReadsTotal")).toBool(s.meterReadsTotal);
    return s;
}

bool sameShared(const SharedMeasurements& a, const SharedMeasurements& b)
{
    return a.plateV == b.plateV && a.bPlusV == b.bPlusV && a.senseResistorOhms == b.senseResistorOhms &&
           a.cathodeResistorOhms == b.cathodeResistorOhms && a.sharedCathodeR == b.sharedCathodeR &&
           a.sharedSenseR == b.sharedSenseR && a.sharedTubes == b.sharedTubes &&
           a.subtractScreen == b.subtractScreen && a.screenPct == b.screenPct &&
           a.meterReadsTotal == b.meterReadsTotal;
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

bool AmpRecord::isEmpty() const
{
    return customer.isEmpty() && contact.isEmpty() && make.isEmpty() && model.isEmpty() && serial.isEmpty() &&
           notes.isEmpty();
}

bool AmpRecord::operator==(const AmpRecord& o) const
{
    return customer == o.customer && contact == o.contact && make == o.make && model == o.model &&
           serial == o.serial && notes == o.notes;
}

QJsonObject ampRecordToJson(const AmpRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("customer"), r.customer);
    o.insert(QStringLiteral("contact"), r.contact);
    o.insert(QStringLiteral("make"), r.make);
    o.insert(QStringLiteral("model"), r.model);
    o.insert(QStringLiteral("serial"), r.serial);
    o.insert(QStringLiteral("notes"), r.notes);
    return o;
}

AmpRecord ampRecordFromJson(const QJsonValue& value)
{
    const QJsonObject o = value.toObject();
    AmpRecord r;
    r.customer = text(o, "customer");
    r.contact = text(o, "contact");
    r.make = text(o, "make");
    r.model = text(o, "model");
    r.serial = text(o, "serial");
    r.notes = text(o, "notes");
    return r;
}

bool ServiceTube::operator==(const ServiceTube& o) const
{
    return label == o.label && meas1 == o.meas1 && meas2 == o.meas2 && result.valid == o.result.valid &&
           result.currentMa == o.result.currentMa && result.dissipationW == o.result.dissipationW &&
           result.pctOfMax == o.result.pctOfMax && status == o.status;
}

bool ServiceJob::operator==(const ServiceJob& o) const
{
    return date == o.date && technician == o.technician && tube == o.tube && tubeBrand == o.tubeBrand &&
           maxPlateW == o.maxPlateW && ampClass == o.ampClass && method == o.method &&
           sameShared(shared, o.shared) && targetPct == o.targetPct && idealLowPct == o.idealLowPct &&
           idealHighPct == o.idealHighPct && mainsV == o.mainsV && before == o.before && after == o.after &&
           matchingLevel == o.matchingLevel && matchingText == o.matchingText && warmupLog == o.warmupLog &&
           notes == o.notes;
}

QJsonObject serviceJobToJson(const ServiceJob& job)
{
    QJsonObject o;
    o.insert(QStringLiteral("date"), job.date.toUTC().toString(Qt::ISODate));
    o.insert(QStringLiteral("technician"), job.technician);
    o.insert(QStringLiteral("tube"), job.tube);
    o.insert(QStringLiteral("tubeBrand"), job.tubeBrand);
    o.insert(QStringLiteral("maxPlateW"), job.maxPlateW);
    o.insert(QStringLiteral("ampClass"), job.ampClass);
    o.insert(QStringLiteral("method"), job.method);
    o.insert(QStringLiteral("shared"), sharedToJson(job.shared));
    o.insert(QStringLiteral("targetPct"), job.targetPct);
    o.insert(QStringLiteral("idealLowPct"), job.idealLowPct);
    o.insert(QStringLiteral("idealHighPct"), job.idealHighPct);
    o.insert(QStringLiteral("mainsV"), job.mainsV);
    if (!job.before.isEmpty())
        o.insert(QStringLiteral("before"), tubesToJson(job.before));
    o.insert(QStringLiteral("after"), tubesToJson(job.after));
    QJsonObject matching;
    matching.insert(QStringLiteral("level"), job.matchingLevel);
    matching.insert(QStringLiteral("text"), job.matchingText);
    o.insert(QStringLiteral("matching"), matching);
    if (!job.warmupLog.isEmpty())
        o.insert(QStringLiteral("warmupLog"), warmupLogToJson(warmupLogForFile(job.warmupLog)));
    o.insert(QStringLiteral("notes"), job.notes);
    return o;
}

bool serviceJobFromJson(const QJsonValue& value, ServiceJob& out)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    const QDateTime date = QDateTime::fromString(text(o, "date"), Qt::ISODate);
    if (!date.isValid())
        return false;
    ServiceJob job;
    job.date = date;
    job.technician = text(o, "technician");
    job.tube = text(o, "tube");
    job.tubeBrand = text(o, "tubeBrand");
    job.maxPlateW = o.value(QStringLiteral("maxPlateW")).toDouble(job.maxPlateW);
    job.ampClass = text(o, "ampClass");
    const int method = o.value(QStringLiteral("method")).toInt(job.method);
    job.method = findBiasMethod(method) ? method : int(BiasProbe);
    job.shared = sharedFromJson(o.value(QStringLiteral("shared")).toObject());
    job.targetPct = o.value(QStringLiteral("targetPct")).toDouble(job.targetPct);
    job.idealLowPct = o.value(QStringLiteral("idealLowPct")).toDouble(job.idealLowPct);
    job.idealHighPct = o.value(QStringLiteral("idealHighPct")).toDouble(job.idealHighPct);
    job.mainsV = o.value(QStringLiteral("mainsV")).toDouble(job.mainsV);
    job.before = tubesFromJson(o.value(QStringLiteral("before")));
    job.after = tubesFromJson(o.value(QStringLiteral("after")));
    const QJsonObject matching = o.value(QStringLiteral("matching")).toObject();
    job.matchingLevel = text(matching, "level");
    job.matchingText = text(matching, "text");
    job.warmupLog = warmupLogFromJson(o.value(QStringLiteral("warmupLog")).toObject());
    job.notes = text(o, "notes");
    out = job;
    return true;
}

QJsonArray historyToJson(const QList<ServiceJob>& jobs)
{
    QJsonArray array;
    for (const ServiceJob& job : jobs)
        array.append(serviceJobToJson(job));
    return array;
}

QList<ServiceJob> historyFromJson(const QJsonValue& value)
{
    QList<ServiceJob> jobs;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (jobs.size() >= maxHistoryJobs)
            break;
        ServiceJob job;
        if (serviceJobFromJson(element, job))
            jobs.append(job);
    }
    std::stable_sort(jobs.begin(), jobs.end(),
                     [](const ServiceJob& a, const ServiceJob& b) { return a.date > b.date; });
    return jobs;
}

bool addToHistory(QList<ServiceJob>& history, const ServiceJob& job)
{
    if (history.contains(job))
        return false;
    auto place = std::find_if(history.begin(), history.end(),
                              [&job](const ServiceJob& other) { return other.date <= job.date; });
    history.insert(place, job);
    return true;
}

QByteArray reportAttachment(const QString& ampName, const AmpRecord& amp, const ServiceJob& job)
{
    QJsonObject o;
    o.insert(QStringLiteral("format"), jobFormat);
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("ampName"), ampName);
    o.insert(QStringLiteral("amp"), ampRecordToJson(amp));
    o.insert(QStringLiteral("job"), serviceJobToJson(job));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool jobFromReportAttachment(const QByteArray& bytes, QString& ampName, AmpRecord& amp, ServiceJob& job)
{
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    if (text(o, "format") != jobFormat || o.value(QStringLiteral("version")).toInt(0) != 1)
        return false;
    ServiceJob read;
    if (!serviceJobFromJson(o.value(QStringLiteral("job")), read))
        return false;
    ampName = text(o, "ampName");
    amp = ampRecordFromJson(o.value(QStringLiteral("amp")));
    job = read;
    return true;
}

QString serviceReadingText(int method, double meas1, double meas2)
{
    if (meas1 <= 0)
        return QString();
    const ReadingField first = firstReadingField(method);
    QString reading = number(meas1, first.decimals) + first.suffix;
    const BiasMethodInfo* info = findBiasMethod(method);
    if (info && info->hasSecond) {
        const ReadingField second = secondReadingField(method);
        reading += QStringLiteral(" / ") + number(meas2, second.decimals) + second.suffix;
    }
    return reading;
}

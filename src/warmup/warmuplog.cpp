#include "warmup/warmuplog.h"

#include "bias/biascalc.h"
#include "bias/biasmethods.h"

#include <QDateTime>
#include <QIODevice>
#include <QLocale>
#include <algorithm>
#include <cmath>

bool WarmupEntry::operator==(const WarmupEntry& other) const
{
    return timeMs == other.timeMs && tube == other.tube && method == other.method && meas1 == other.meas1 &&
           meas2 == other.meas2 && currentMa == other.currentMa && dissipationW == other.dissipationW &&
           pctOfMax == other.pctOfMax;
}

bool MainsReading::operator==(const MainsReading& other) const
{
    return timeMs == other.timeMs && volts == other.volts;
}

bool WarmupLog::operator==(const WarmupLog& other) const
{
    return entries == other.entries && mains == other.mains;
}

qint64 WarmupLog::startMs() const
{
    if (entries.isEmpty())
        return mains.isEmpty() ? 0 : mains.first().timeMs;
    if (mains.isEmpty())
        return entries.first().timeMs;
    return std::min(entries.first().timeMs, mains.first().timeMs);
}

void WarmupLog::append(const WarmupEntry& entry)
{
    if (entries.isEmpty() || entries.last().timeMs <= entry.timeMs) {
        entries.append(entry);
        return;
    }
    const auto at = std::upper_bound(entries.begin(), entries.end(), entry.timeMs,
                                     [](qint64 t, const WarmupEntry& e) { return t < e.timeMs; });
    entries.insert(at, entry);
}

void WarmupLog::appendMains(const MainsReading& reading)
{
    const auto at = std::upper_bound(mains.begin(), mains.end(), reading.timeMs,
                                     [](qint64 t, const MainsReading& m) { return t < m.timeMs; });
    mains.insert(at, reading);
}

double WarmupLog::mainsAt(qint64 timeMs) const
{
    const auto after = std::upper_bound(mains.begin(), mains.end(), timeMs,
                                        [](qint64 t, const MainsReading& m) { return t < m.timeMs; });
    return after == mains.begin() ? 0 : std::prev(after)->volts;
}

QList<int> WarmupLog::tubes() const
{
    bool seen[warmupMaxTubes] = {};
    for (const WarmupEntry& e : entries)
        if (e.tube >= 0 && e.tube < warmupMaxTubes)
            seen[e.tube] = true;
    QList<int> out;
    for (int t = 0; t < warmupMaxTubes; ++t)
        if (seen[t])
            out.append(t);
    return out;
}

namespace {

// The shortest text that reads back as the same double.
QString exact(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// Splits one line into numbers; false unless it holds exactly `count` finite numbers.
bool readNumbers(QStringView line, double* out, int count)
{
    int n = 0;
    for (QStringView field : line.split(u' ', Qt::SkipEmptyParts)) {
        if (n == count)
            return false;
        bool ok = false;
        const double v = field.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return false;
        out[n++] = v;
    }
    return n == count;
}

// A whole number that fits the range, or false.
bool wholeIn(double v, double low, double high, qint64& out)
{
    if (v != std::floor(v) || v < low || v > high)
        return false;
    out = qint64(v);
    return true;
}

// Times a file may hold, in ms since the epoch: up to about the year 10000 either way. A time is
// written as an offset from the start (the earliest time), so offsets span twice that. Every sum of
// start and offset stays far inside qint64.
constexpr double maxTimeMs = 2.6e14;
constexpr double maxOffsetMs = 2 * maxTimeMs;

bool timeInRange(qint64 t)
{
    return t >= -maxTimeMs && t <= maxTimeMs;
}

} // namespace

QJsonObject warmupLogToJson(const WarmupLog& log)
{
    const qint64 start = log.startMs();
    QString entries;
    for (const WarmupEntry& e : log.entries) {
        entries += QString::number(e.timeMs - start) + u' ' + QString::number(e.tube) + u' ' +
                   QString::number(e.method) + u' ' + exact(e.meas1) + u' ' + exact(e.meas2) + u' ' +
                   exact(e.currentMa) + u' ' + exact(e.dissipationW) + u' ' + exact(e.pctOfMax) + u'\n';
    }
    QString mains;
    for (const MainsReading& m : log.mains)
        mains += QString::number(m.timeMs - start) + u' ' + exact(m.volts) + u'\n';
    return QJsonObject{{QStringLiteral("start"), double(start)},
                       {QStringLiteral("entries"), entries},
                       {QStringLiteral("mains"), mains}};
}

WarmupLog warmupLogFromJson(const QJsonObject& object)
{
    WarmupLog log;
    const QJsonValue startValue = object.value(QStringLiteral("start"));
    qint64 start = 0;
    // Epoch milliseconds up to the year 9999 are exact in a double.
    if (!startValue.isDouble() || !wholeIn(startValue.toDouble(), -maxTimeMs, maxTimeMs, start))
        return log;

    const QString entries = object.value(QStringLiteral("entries")).toString();
    for (QStringView line : QStringView(entries).split(u'\n', Qt::SkipEmptyParts)) {
        if (log.entries.size() >= warmupMaxFileEntries)
            break;
        double n[8];
        qint64 offset = 0;
        qint64 tube = 0;
        qint64 method = 0;
        if (!readNumbers(line, n, 8) || !wholeIn(n[0], -maxOffsetMs, maxOffsetMs, offset) ||
            !wholeIn(n[1], 0, warmupMaxTubes - 1, tube) || !wholeIn(n[2], 0, 4, method) ||
            !timeInRange(start + offset))
            continue;
        WarmupEntry e;
        e.timeMs = start + offset;
        e.tube = int(tube);
        e.method = int(method);
        e.meas1 = n[3];
        e.meas2 = n[4];
        e.currentMa = n[5];
        e.dissipationW = n[6];
        e.pctOfMax = n[7];
        log.entries.append(e);
    }
    const QString mains = object.value(QStringLiteral("mains")).toString();
    for (QStringView line : QStringView(mains).split(u'\n', Qt::SkipEmptyParts)) {
        if (log.mains.size() >= warmupMaxFileMains)
            break;
        double n[2];
        qint64 offset = 0;
        if (!readNumbers(line, n, 2) || !wholeIn(n[0], -maxOffsetMs, maxOffsetMs, offset) ||
            !timeInRange(start + offset))
            continue;
        log.mains.append(MainsReading{start + offset, n[1]});
    }
    // A hand-edited file may be out of order; stable, so equal times keep their order.
    const auto byTime = [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; };
    std::stable_sort(log.entries.begin(), log.entries.end(), byTime);
    std::stable_sort(log.mains.begin(), log.mains.end(), byTime);
    return log;
}

WarmupLog warmupLogForFile(const WarmupLog& log, int maxEntries)
{
    if (log.entries.size() <= maxEntries || maxEntries < 2)
        return log;
    const QList<int> tubes = log.tubes();
    const qint64 first = log.entries.first().timeMs;
    const qint64 span = std::max<qint64>(1, log.entries.last().timeMs - first + 1);
    const qint64 buckets = std::max<qint64>(1, maxEntries / (2 * std::max<qsizetype>(1, tubes.size())));
    // Per tube and span: indexes of the lowest and the highest reading.
    struct Extremes {
        qsizetype low = -1;
        qsizetype high = -1;
    };
    QVector<Extremes> kept(warmupMaxTubes * buckets);
    for (qsizetype i = 0; i < log.entries.size(); ++i) {
        const WarmupEntry& e = log.entries.at(i);
        if (e.tube < 0 || e.tube >= warmupMaxTubes)
            continue;
        const qint64 bucket = std::min(buckets - 1, (e.timeMs - first) * buckets / span);
        Extremes& x = kept[e.tube * buckets + bucket];
        if (x.low < 0 || e.currentMa < log.entries.at(x.low).currentMa)
            x.low = i;
        if (x.high < 0 || e.currentMa > log.entries.at(x.high).currentMa)
            x.high = i;
    }
    QVector<bool> keep(log.entries.size(), false);
    for (const Extremes& x : kept) {
        if (x.low >= 0)
            keep[x.low] = true;
        if (x.high >= 0)
            keep[x.high] = true;
    }
    WarmupLog out;
    out.mains = log.mains;
    for (qsizetype i = 0; i < log.entries.size(); ++i)
        if (keep.at(i))
            out.entries.append(log.entries.at(i));
    return out;
}

QString warmupReadingUnit(int method)
{
    // The units the card's fields show, from the method table.
    const BiasMethodInfo* info = findBiasMethod(method);
    if (!info)
        return QString();
    QString unit = info->first.suffix.trimmed();
    if (info->hasSecond)
        unit += QStringLiteral(" / ") + info->second.suffix.trimmed();
    return unit;
}

namespace {

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray warmupCsv(const WarmupLog& log)
{
    QString out =
        QStringLiteral("time,tube,method,reading,unit,current_mA,dissipation_W,pct_of_max,mains_V\r\n");
    for (const WarmupEntry& e : log.entries) {
        const QString time =
            QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QString reading = exact(e.meas1);
        if (e.method == OtWindingDrop)
            reading += QStringLiteral(" / ") + exact(e.meas2);
        const double mains = log.mainsAt(e.timeMs);
        const QStringList fields = {time,
                                    QString::number(e.tube + 1),
                                    csvField(biasMethodLabel(e.method)),
                                    reading,
                                    warmupReadingUnit(e.method),
                                    QString::number(e.currentMa, 'f', 2),
                                    QString::number(e.dissipationW, 'f', 2),
                                    QString::number(e.pctOfMax, 'f', 1),
                                    mains > 0 ? QString::number(mains, 'f', 1) : QString()};
        out += fields.join(u',') + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

bool writeWarmupCsv(const WarmupLog& log, QIODevice& device, QString* errorString)
{
    const QByteArray bytes = warmupCsv(log);
    if (device.write(bytes) != bytes.size()) {
        if (errorString)
            *errorString = device.errorString();
        return false;
    }
    return true;
}

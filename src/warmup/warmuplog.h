#pragma once

// The warm-up log of a bias job: every committed reading of every tube with its time, and the mains
// voltage as the technician entered it. A plain value; the profile and the session carry it under
// the key "warmupLog", and it is exported as CSV. Reading it from a file never fails loudly: what
// cannot be read is left out.
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVector>

class QIODevice;

// One committed reading of one tube.
struct WarmupEntry {
    qint64 timeMs = 0; // ms since the epoch (Clock::currentMSecsSinceEpoch)
    int tube = 0;      // 0-based
    int method = 0;    // a BiasMethod value
    double meas1 = 0;  // the tube's raw readings, as its card holds them
    double meas2 = 0;
    double currentMa = 0;    // mA
    double dissipationW = 0; // W
    double pctOfMax = 0;     // % of max plate dissipation

    bool operator==(const WarmupEntry& other) const;
};

// A mains voltage with the time it was read.
struct MainsReading {
    qint64 timeMs = 0; // ms since the epoch
    double volts = 0;  // V RMS

    bool operator==(const MainsReading& other) const;
};

// The most tubes a bench has; entries of other tubes are not read from a file.
inline constexpr int warmupMaxTubes = 12;
// The most entries a file holds: an hour of twelve tubes read once a second fits. Written, that is
// about 2 MB, well inside the size a profile file may have.
inline constexpr int warmupMaxFileEntries = 50000;
inline constexpr int warmupMaxFileMains = 10000;

struct WarmupLog {
    QVector<WarmupEntry> entries; // in time order
    QVector<MainsReading> mains;  // in time order

    bool isEmpty() const { return entries.isEmpty() && mains.isEmpty(); }
    // The job started with its first reading or mains entry; 0 for an empty log.
    qint64 startMs() const;
    // Adds an entry in time order (an entry older than the last goes to its place).
    void append(const WarmupEntry& entry);
    void appendMains(const MainsReading& reading);
    // The mains voltage in effect at `timeMs`: the last one entered at or before it; 0 for none.
    double mainsAt(qint64 timeMs) const;
    // Tubes that have at least one entry, in order.
    QList<int> tubes() const;

    bool operator==(const WarmupLog& other) const;
};

// The log as the value of "warmupLog": {"start": ms, "entries": text, "mains": text}, one line of
// numbers per entry ("ms-from-start tube method meas1 meas2 current dissipation pct") and per mains
// reading ("ms-from-start volts"). Text lines keep an hour of readings at ten a second small
// enough for a profile file. Numbers are written so that they read back exactly.
QJsonObject warmupLogToJson(const WarmupLog& log);

// The log as a file keeps it: unchanged up to `maxEntries` entries; a longer one keeps, for each
// tube and each of maxEntries / (2 x tubes) equal spans of time, the lowest and the highest
// reading (in time order), so every extreme survives. The mains readings are kept as they are.
WarmupLog warmupLogForFile(const WarmupLog& log, int maxEntries = warmupMaxFileEntries);

// Reads what warmupLogToJson writes. Lines that do not hold the right count of finite numbers, with
// a tube outside 0..warmupMaxTubes-1 or a method outside 0-4, are skipped; entries are put in time
// order; at most warmupMaxFileEntries entries and warmupMaxFileMains mains readings are read. A
// missing or malformed object gives an empty log.
WarmupLog warmupLogFromJson(const QJsonObject& object);

// Unit of a method's reading as the CSV names it: the unit of the card's reading field in the method
// table, both units for a method with a second reading ("V / Ω" for the plate voltage and the
// winding's resistance); empty for a value outside 0-4.
QString warmupReadingUnit(int method);

// The CSV export: a header line "time,tube,method,reading,unit,current_mA,dissipation_W,pct_of_max,
// mains_V", then one line per entry: local time "yyyy-MM-dd HH:mm:ss.zzz", the tube counted from 1,
// the method's label, the reading (both readings "440 / 100" under the winding method), its unit,
// current and dissipation with two decimals, % of max with one, and the mains in effect with one
// (empty when none was entered). Lines end in "\r\n" (RFC 4180); fields with a comma or a quote are
// quoted.
QByteArray warmupCsv(const WarmupLog& log);

// Writes warmupCsv to the device; false with `errorString` set to the device's error when the
// write fails.
bool writeWarmupCsv(const WarmupLog& log, QIODevice& device, QString* errorString = nullptr);

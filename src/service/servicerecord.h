#pragma once

// The amp's record and its service history, as a profile keeps them: who owns the amp and what it
// is ("amp"), and every bias job finished on it ("history", newest first). Plain values with their
// JSON; reading never fails loudly: a missing key or one of the wrong type reads as empty, so a
// profile written before these existed loads with no record and no history.
#include "bias/biascalc.h"
#include "bias/biasmethods.h"
#include "warmup/warmuplog.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// "amp": {"customer", "contact", "make", "model", "serial", "notes"}, each a string.
struct AmpRecord {
    QString customer;
    QString contact; // phone, e-mail, whatever the shop keeps
    QString make;
    QString model;
    QString serial;
    QString notes;

    bool isEmpty() const;
    bool operator==(const AmpRecord& other) const;
    bool operator!=(const AmpRecord& other) const { return !(*this == other); }
};

QJsonObject ampRecordToJson(const AmpRecord& record);
AmpRecord ampRecordFromJson(const QJsonValue& value);

// One tube of a job at one moment: its readings as the card held them and what they gave.
struct ServiceTube {
    QString label; // what the tube is marked with; empty for none
    double meas1 = 0;
    double meas2 = 0;
    BiasResult result; // the warning text is not kept
    QString status;    // "NO READING", "COLD", "IDEAL", "WARM" or "OVER MAX"

    bool operator==(const ServiceTube& other) const;
};

// One finished bias job.
struct ServiceJob {
    QDateTime date; // whole seconds; kept in the file as UTC
    QString technician;
    QString tube;      // type, a catalogue name
    QString tubeBrand; // brand of the tubes fitted; empty when not given
    double maxPlateW = 0;
    QString ampClass;
    int method = BiasProbe;
    SharedMeasurements shared;
    double targetPct = 65;
    double idealLowPct = 60;
    double idealHighPct = 70;
    double mainsV = 0;         // V, the last mains reading of the job; 0 when none was entered
    QList<ServiceTube> before; // before adjustment; empty when not taken
    QList<ServiceTube> after;  // as the job was finished, one per tube
    QString matchingLevel;     // "good", "bad", "unknown" or empty
    QString matchingText;
    WarmupLog warmupLog;
    QString notes;

    int tubeCount() const { return int(after.size()); }
    bool operator==(const ServiceJob& other) const;
    bool operator!=(const ServiceJob& other) const { return !(*this == other); }
};

QJsonObject serviceJobToJson(const ServiceJob& job);
// A job object as serviceJobToJson writes it; false, leaving `out` untouched, for anything that is
// not an object with a valid date.
bool serviceJobFromJson(const QJsonValue& value, ServiceJob& out);

// The most jobs a profile's history holds when read; a shop doing an amp every day for years stays
// far below it.
inline constexpr int maxHistoryJobs = 1000;

// "history": the jobs newest first. Reading skips what is not a job and sorts newest first.
QJsonArray historyToJson(const QList<ServiceJob>& jobs);
QList<ServiceJob> historyFromJson(const QJsonValue& value);
// Puts `job` into `history` at its place by date (newest first); false, changing nothing, when an
// equal job is there already.
bool addToHistory(QList<ServiceJob>& history, const ServiceJob& job);

// The file a report carries the job in, and the object around the job in it:
// {"format": "ambertrace-job", "version": 1, "ampName": ..., "amp": {...}, "job": {...}}.
inline const QString reportAttachmentName = QStringLiteral("ambertrace-job.json");
QByteArray reportAttachment(const QString& ampName, const AmpRecord& amp, const ServiceJob& job);
// What reportAttachment wrote; false for anything else (another program's attachment, a damaged one).
bool jobFromReportAttachment(const QByteArray& bytes, QString& ampName, AmpRecord& amp, ServiceJob& job);

// "23.0 mA", "440.0 V / 100.0 Ω": the tube's raw reading with its unit, as the method's fields show
// it; empty without a reading.
QString serviceReadingText(int method, double meas1, double meas2);

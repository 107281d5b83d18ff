#pragma once

// A batch of tubes to match: the test condition noted once, the measured tubes and the choices of
// the search. Saved as a JSON file of its own ("format", "version" and the values below), read back
// by a reader that refuses anything but a regular file of at most maxProfileFileBytes; exported as
// CSV and printed as a one-page PDF of set labels.
#include "matching/matching.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class QIODevice;

// Where every tube of the batch was measured.
struct MatchCondition {
    QString tube;       // tube type, a catalogue name when it has one
    double plateV = 0;  // V
    double screenV = 0; // V
    double gridV = 0;   // V, the grid voltage of the idle current
    double grid2V = 0;  // V, the second grid voltage; equal to gridV: none
};

struct MatchBatch {
    MatchCondition condition;
    QList<MatchTube> tubes;
    int setSize = 4;
    int setCount = 0; // 0: as many as possible
    double tolerancePct = 5;
    double gmTolerancePct = 10;
};

inline constexpr int matchBatchVersion = 1;
inline constexpr int maxMatchTubes = 1000; // tubes a file may hold; the rest is not read

// The sizes the set-size list offers.
QList<int> matchSetSizes();

MatchRequest matchRequest(const MatchBatch& batch);
// Transconductance by which each tube is matched (effectiveGm under the batch's grid voltages).
QList<double> matchGm(const MatchBatch& batch);
// The search on the batch.
MatchOutcome matchBatch(const MatchBatch& batch);

QJsonObject matchBatchToJson(const MatchBatch& batch);
// False, with `error` set, for an object that is not a batch or comes from a newer version. Values of
// the wrong type or out of range take their defaults or nearest allowed value.
bool matchBatchFromJson(const QJsonObject& object, MatchBatch& out, QString* error = nullptr);

// The file: a regular file only, not larger than maxProfileFileBytes; written whole or not at all.
bool readMatchBatchFile(const QString& path, MatchBatch& out, QString* error = nullptr);
bool writeMatchBatchFile(const QString& path, const MatchBatch& batch, QString* error = nullptr);

// One line per tube in a set (set number, the tube's values, the set's spread and verdict), then
// one per leftover tube ("leftover" as the set). Fields with a comma, quote or line break quoted.
QByteArray matchCsv(const MatchBatch& batch, const MatchOutcome& outcome);
bool writeMatchCsv(QIODevice& device, const MatchBatch& batch, const MatchOutcome& outcome,
                   QString* error = nullptr);
bool writeMatchCsvFile(const QString& path, const MatchBatch& batch, const MatchOutcome& outcome,
                       QString* error = nullptr);

// The label sheet as HTML, and printed as a one-page A4 PDF (scaled down to fit when many sets).
QString matchLabelsHtml(const MatchBatch& batch, const MatchOutcome& outcome);
bool writeMatchLabels(const QString& path, const MatchBatch& batch, const MatchOutcome& outcome,
                      QString* error = nullptr);

// "12.3 %": a spread as the tab, the CSV and the labels show it.
QString matchSpreadText(double pct);

#pragma once

// The PDF bias report: a snapshot of the bench (amp, setup, one row per tube) rendered as HTML and
// printed onto an A4 PDF. The bench window gathers the snapshot; the helpers below take plain values
// so that gathering is a few lines.
#include "bias/biascalc.h"

#include <QList>
#include <QString>

class QDateTime;

struct BiasReportRow {
    QString label; // "V1", "V2", ...
    BiasResult result;
    QString status; // "NO READING", "COLD", "IDEAL", "WARM" or "OVER MAX"
};

struct BiasReportData {
    QString ampName;
    QString tubeType;
    QString topology;   // amplifier class name
    QString biasMethod; // method label
    double plateV = 0;  // V; 0 leaves the plate voltage row out
    double targetPct = 65;
    double maxPlateW = 0; // W
    QList<BiasReportRow> rows;
};

// The whole report document; `generated` is the date and time printed under the title.
QString biasReportHtml(const BiasReportData& data, const QDateTime& generated);

// Renders the report to a PDF at `path`. True only when the file was completely written; on failure
// whatever was at `path` before is left as it was.
bool writeBiasReport(const QString& path, const BiasReportData& data);

// The status column's text for a rating.
QString biasReportStatusText(BiasStatus status);

// The amp's name in the title: the chosen profile's name, or "<tube type> amp" without one.
QString biasReportAmpName(const QString& profileName, const QString& tubeType);

// The row of the card with the given 0-based index, rated against the ideal window of the class
// named `className` (60-70 % when no class has that name).
BiasReportRow biasReportRow(int cardIndex, const BiasResult& result, const QString& className);

// Suggested file: `documentsDir`/<amp name with white space simplified, spaces as "_">_bias_report.pdf.
QString biasReportDefaultPath(const QString& documentsDir, const QString& ampName);

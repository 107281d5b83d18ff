#pragma once

// The PDF bias report: a snapshot of the bench (amp, setup, one row per tube) rendered as HTML and
// laid out at true sizes on A4 or US Letter pages. The bench window gathers the snapshot; the helpers
// below take plain values so that gathering is a few lines. Filled with the shop, the amp's record
// and a job, the same report is the document a shop hands its customer: shop header, customer and
// amp, every value the job used, the readings before and after, the drift plot, notes, warranty,
// signature lines and page numbers, with the job's data embedded for reading it back.
#include "bias/biascalc.h"
#include "service/servicerecord.h"
#include "service/shopdetails.h"
#include "warmup/warmupplot.h"

#include <QDateTime>
#include <QList>
#include <QPageSize>
#include <QPair>
#include <QString>

struct BiasReportRow {
    QString label; // "V1", "V2", ...
    BiasResult result;
    QString status; // "NO READING", "COLD", "IDEAL", "WARM" or "OVER MAX"
    // The raw reading with its unit ("23.0 mA", "440.0 V / 100.0 Ω"); the table has a "Reading"
    // column only when some row has one.
    QString reading;
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

    // The customer document. Left empty, the report is the bench summary it always was.
    ShopDetails shop;                       // the header; the logo is read from shop.logoPath
    AmpRecord amp;                          // the customer and amp block; left out when empty
    QDateTime jobDate;                      // invalid: no job rows, no signature lines
    QList<QPair<QString, QString>> jobRows; // after the target: date, technician, tubes, shared values
    QList<BiasReportRow> beforeRows;        // readings before adjustment; empty: not taken
    QString matchingText;                   // the matching verdict; empty for none
    QString notes;
    WarmupPlotData plot; // drawn as vectors when it has a series
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QByteArray attachment; // the job's data, embedded as reportAttachmentName; empty for none
    QString subject;       // the PDF's subject
};

// The customer document of a finished (or current) job on the amp `ampName`.
BiasReportData biasReportFromJob(const ServiceJob& job, const QString& ampName, const AmpRecord& amp,
                                 const ShopDetails& shop);

// One section per job, newest first, under the shop header and the customer and amp block.
QString historyReportHtml(const QString& ampName, const AmpRecord& amp, const ShopDetails& shop,
                          const QList<ServiceJob>& jobs, const QDateTime& generated);
bool writeHistoryReport(const QString& path, const QString& ampName, const AmpRecord& amp,
                        const ShopDetails& shop, const QList<ServiceJob>& jobs,
                        QPageSize::PageSizeId pageSize);

// The plot of a job's warm-up log, each tube's current against minutes, with the class's window and
// the target at the job's plate voltage; no series for an empty log.
WarmupPlotData reportPlotData(const ServiceJob& job);

// The page margins of the report, in millimetres: left and right, top, bottom (the footer line
// with the page number sits inside the bottom margin).
inline constexpr double reportSideMarginMm = 18;
inline constexpr double reportTopMarginMm = 16;
inline constexpr double reportBottomMarginMm = 20;

// The whole report document; `generated` is the date and time printed under the title.
QString biasReportHtml(const BiasReportData& data, const QDateTime& generated);

// Renders the report to a PDF at `path`: its pages at true sizes, the footer with "Page n of N",
// title, author (the shop) and subject set, and `data.attachment` embedded. True only when the file was
// completely written; on failure whatever was at `path` before is left as it was.
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

#pragma once

// The rich text of a datasheet panel: the description line and the table of ratings. Shared by the
// power-tube datasheet and the preamp designer's tube-data panel, which use the same row layout.
#include <QList>
#include <QString>

struct TubeSpec;

struct DatasheetRow {
    QString label;
    QString value; // number with its unit, e.g. "30.0 W"
};

// `family`, followed by "  ·  " and `base` when the base is known.
QString datasheetDescription(const QString& family, const QString& base);

// A full-width two-column HTML table: muted labels on the left, bold values on the right.
QString datasheetTableHtml(const QList<DatasheetRow>& rows);

// The ratings a power tube has, in display order. Ratings of 0 (not given) are left out, except
// the plate dissipation, which every tube has; screen ratings never appear for triodes.
QList<DatasheetRow> tubeDatasheetRows(const TubeSpec& tube);

QString tubeDatasheetHtml(const TubeSpec& tube);

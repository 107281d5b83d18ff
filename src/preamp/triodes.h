#pragma once

// The built-in, read-only table of small-signal twin triodes offered by the preamp stage designer.
// A row's index is also its position in every stage editor's "Tube" list; rows are identified by
// their full display name.
#include <QList>
#include <QString>
#include <QStringList>

// One triode section's constants and ratings. The defaults are the numbers of the first row.
struct TriodeSpec {
    QString name;
    QString family;
    double mu = 100;                // amplification factor
    double plateResistance = 62500; // Ω
    double transconductance = 1.6;  // mA/V, shown only
    double maxPlateW = 1.2;         // W, one section
    double maxPlateV = 330;         // V
    double heaterA = 0.3;           // A, shown only
    double typicalPlateV = 250;     // V
    double typicalGridV = -2;       // V
    double typicalPlateMa = 1.2;    // mA
    QString base;                   // "Noval (9-pin)" or "Octal"
    QStringList pins;               // element 0 is pin 1
};

// All rows in list order. Built on first use; lives until exit, so references and pointers into it
// stay valid.
const QList<TriodeSpec>& triodeCatalogue();

// Whole-name, case-sensitive lookups: null or -1 when nothing matches; the first match wins.
const TriodeSpec* findTriode(const QString& name);
int triodeIndex(const QString& name);

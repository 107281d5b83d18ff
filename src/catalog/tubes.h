#pragma once

// The built-in, read-only table of power tubes. A row's index is also its position in the bench
// window's tube-type list; rows are identified everywhere by their full display name.
#include <QList>
#include <QString>
#include <QStringList>

struct TubeSpec {
    QString name;
    QString family;
    double maxPlateW = 0;    // W
    double maxPlateV = 0;    // V
    double maxScreenV = 0;   // V, 0 for triodes
    double maxScreenW = 0;   // W, 0 for triodes
    double maxCathodeMa = 0; // mA
    double heaterA = 0;      // A
    QString base;
    double typicalPlateV = 0; // V
    bool triode = false;
    bool custom = false; // only the "Custom..." row
    QStringList pins;    // element 0 is pin 1; empty when the pinout is not given
    QString topCap;      // "PLATE", or empty
    // %, the share of the cathode current that is screen current at a typical idle point; 0 for a
    // triode, which has no screen.
    double screenPct = 0;
};

// All rows in list order, the "Custom..." row last. Built on first use; lives until exit, so
// references and pointers into it stay valid.
const QList<TubeSpec>& tubeCatalogue();

// Whole-name, case-sensitive lookups: null or -1 when nothing matches.
const TubeSpec* findTube(const QString& name);
int tubeIndex(const QString& name);

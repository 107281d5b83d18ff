#pragma once

// The built-in list of output-stage topologies: how hot a tube of each kind of stage should idle
// and which bias measurement methods make sense for it.
#include <QList>
#include <QString>

struct AmpClass {
    QString name;
    double targetPct = 65;    // % of max plate dissipation
    double idealLowPct = 60;  // %
    double idealHighPct = 70; // %
    QString description;
    QList<int> methods; // BiasMethod values, in the order the method list shows them
};

// All classes in list order. Built on first use; lives until exit, so pointers stay valid.
const QList<AmpClass>& ampClasses();

// Whole-name, case-sensitive lookups: null or -1 when nothing matches.
const AmpClass* findAmpClass(const QString& name);
int ampClassIndex(const QString& name);

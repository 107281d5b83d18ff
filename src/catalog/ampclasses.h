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

// True for the class of amateur-radio linears and transceiver finals, whose high voltage sags under
// load: their idle is judged at the no-load voltage.
bool isRfLinearClass(const QString& name);
// What plate voltage to enter for such an amplifier, as the setup panel and the guide say it.
QString rfPlateVoltageHint();
// True for a single-ended or push-pull class A stage, where a cold tube means lost headroom rather
// than crossover distortion.
bool isClassAStage(const QString& name);

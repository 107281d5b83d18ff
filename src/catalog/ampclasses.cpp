#include "catalog/ampclasses.h"

#include "bias/biascalc.h"

static QList<AmpClass> buildAmpClasses()
{
    auto row = [](const char* name, double targetPct, double idealLowPct, double idealHighPct,
                  const QList<int>& methods, const char* description) {
        AmpClass c;
        c.name = QString::fromUtf8(name);
        c.targetPct = targetPct;
        c.idealLowPct = idealLowPct;
        c.idealHighPct = idealHighPct;
        c.description = QString::fromUtf8(description);
        c.methods = methods;
        return c;
    };

    const QList<int> allButMeter = {BiasProbe, SenseResistor, OtWindingDrop, CathodeBias};
    const QList<int> fixedBias = {BiasProbe, SenseResistor, OtWindingDrop};
    // A ham linear has no output transformer and grounded cathodes: its own meter comes first.
    const QList<int> rfLinear = {PanelMeter, SenseResistor};

    // clang-format off
    //      name                                  target low  high methods
    return {
        row("Single-Ended Class A",               90,    85,  100, allButMeter,
            "Single tube runs at full dissipation. Idle current barely changes with signal; bias near max dissipation for lowest distortion."),
        row("Parallel Single-Ended Class A",      90,    85,  100, allButMeter,
            "Two or more tubes in parallel, each biased like a single-ended tube (~90% of max)."),
        row("Push-Pull Class A",                  90,    85,  100, allButMeter,
            "Both tubes conduct through the full cycle (e.g. Vox AC15/AC30). Runs hot by design; 85-100% of max dissipation is normal."),
        row("Push-Pull Class AB (fixed bias)",    65,    60,  70,  fixedBias,
            "The most common guitar amp topology. The classic rule: idle at 60-70% of max plate dissipation. Cooler = longer tube life, hotter = warmer feel."),
        row("Push-Pull Class AB (cathode bias)",  85,    80,  95,  allButMeter,
            "Self-biasing via shared or per-tube cathode resistor. Runs hotter at idle than fixed bias; up to ~95% is acceptable because dissipation drops under drive."),
        // True class B idles near cutoff: a few percent up to about a fifth of the rating.
        row("Push-Pull Class B",                  12,    5,   20,  fixedBias,
            "Rare in audio (some PA and vintage designs). Very cold idle, near cutoff; crossover distortion is managed by the circuit design."),
        // Grounded-grid triodes idle from about 20 %; the tetrode finals of transceivers and the 572B
        // pair of an SB-200 at their makers' figures sit near 70 % at the no-load high voltage.
        row("RF Linear (Class AB/B)",             45,    20,  75,  rfLinear,
            "Grounded-grid or grid-driven ham linear. No output transformer and grounded cathodes - read idle (zero-signal) plate current from the panel meter, or across an added cathode shunt. Idle runs from about 20% of max dissipation per tube (grounded-grid triodes) to about 70% (tetrode finals); where the manual gives an idle current, set that."),
    };
    // clang-format on
}

const QList<AmpClass>& ampClasses()
{
    static const QList<AmpClass> rows = buildAmpClasses();
    return rows;
}

const AmpClass* findAmpClass(const QString& name)
{
    const int i = ampClassIndex(name);
    return i < 0 ? nullptr : &ampClasses().at(i);
}

bool isRfLinearClass(const QString& name)
{
    return name == QLatin1String("RF Linear (Class AB/B)");
}

QString rfPlateVoltageHint()
{
    return QStringLiteral("Enter the idle (no-load) high voltage, read on the HV meter with the amp keyed "
                          "and no drive - not the schematic's value under load, which is lower and "
                          "understates the idle dissipation by about 15%.");
}

bool isClassAStage(const QString& name)
{
    return name == QLatin1String("Single-Ended Class A") ||
           name == QLatin1String("Parallel Single-Ended Class A") ||
           name == QLatin1String("Push-Pull Class A");
}

int ampClassIndex(const QString& name)
{
    const QList<AmpClass>& rows = ampClasses();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).name == name)
            return i;
    }
    return -1;
}

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
        row("Push-Pull Class B",                  50,    40,  55,  fixedBias,
            "Rare in audio (some PA and vintage designs). Very cold idle, near cutoff; crossover distortion is managed by the circuit design."),
        row("RF Linear (Class AB/B)",             30,    20,  40,  rfLinear,
            "Grounded-grid or grid-driven ham linear. No output transformer and grounded cathodes - read idle (zero-signal) plate current from the panel meter, or across an added cathode shunt. Aim for 20-40% of max dissipation per tube."),
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

int ampClassIndex(const QString& name)
{
    const QList<AmpClass>& rows = ampClasses();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).name == name)
            return i;
    }
    return -1;
}

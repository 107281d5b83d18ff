#include "catalog/tubes.h"

static QList<TubeSpec> buildTubeCatalogue()
{
    QList<TubeSpec> rows;
    rows.reserve(38);

    auto add = [&rows](const char* name, const char* family, const char* base, double maxPlateW,
                       double maxPlateV, double maxScreenV, double maxScreenW, double maxCathodeMa,
                       double heaterA, double typicalPlateV, const QStringList& pins, const char* topCap,
                       bool triode = false) {
        TubeSpec t;
        t.name = QString::fromUtf8(name);
        t.family = QString::fromUtf8(family);
        t.maxPlateW = maxPlateW;
        t.maxPlateV = maxPlateV;
        t.maxScreenV = maxScreenV;
        t.maxScreenW = maxScreenW;
        t.maxCathodeMa = maxCathodeMa;
        t.heaterA = heaterA;
        t.base = QString::fromUtf8(base);
        t.typicalPlateV = typicalPlateV;
        t.triode = triode;
        t.pins = pins;
        t.topCap = QString::fromUtf8(topCap);
        rows.append(t);
    };
    auto addTriode = [&add](const char* name, const char* family, const char* base, double maxPlateW,
                            double maxPlateV, double maxCathodeMa, double heaterA, double typicalPlateV,
                            const QStringList& pins, const char* topCap) {
        add(name, family, base, maxPlateW, maxPlateV, 0, 0, maxCathodeMa, heaterA, typicalPlateV, pins,
            topCap, true);
    };

    // clang-format off
    // Base pinouts, pin 1 first.
    const QStringList octalBeam   = {"NC",   "H",    "P",    "G2",   "G1",   "NC",   "H",    "K,BP"};
    const QStringList octalBeamIc = {"IC",   "H",    "P",    "G2",   "G1",   "NC",   "H",    "K,BP"};
    const QStringList el34        = {"G3",   "H",    "P",    "G2",   "G1",   "NC",   "H",    "K"};
    const QStringList p7027a      = {"G2",   "H",    "P",    "G2",   "G1",   "G1",   "H",    "K,G3"};
    const QStringList p7591       = {"IC",   "H",    "P",    "G2",   "K,BP", "G1",   "H",    "G2"};
    const QStringList p7868       = {"G2",   "G1",   "K,BP", "H",    "H",    "IC",   "G2",   "IC",   "P"};
    const QStringList el84        = {"IC",   "G1",   "K",    "H",    "H",    "IC",   "P",    "IC",   "G2"};
    const QStringList p6973       = {"G2",   "NC",   "G1",   "H",    "H",    "G1",   "K,G3", "G2",   "P"};
    const QStringList ecl86       = {"G(T)", "K(T)", "G2",   "H",    "H",    "P",    "K,G3", "G1",   "P(T)"};
    const QStringList p50c5       = {"K,BP", "G1",   "H",    "H",    "G1",   "G2",   "P"};
    const QStringList p811        = {"F",    "NC",   "G",    "F"};
    const QStringList p3500z      = {"F",    "G",    "G",    "G",    "F"};
    // Basing 7CK: four cathode pins, each also carrying the beam plates; the plate is the top cap.
    const QStringList p6146       = {"K,BP", "H",    "G2",   "K,BP", "G1",   "K,BP", "H",    "K,BP"};
    // UX5 base of the 807 (a 6L6 on five pins); the plate is the top cap.
    const QStringList p807        = {"H",    "G2",   "G1",   "K,BP", "H"};
    const QStringList p6js6c      = {"H",    "K",    "G2",   "BP",   "G1",   "NC",   "IC",   "NC",   "IC",   "BP",   "G2",   "H"};
    const QStringList dht         = {"F",    "P",    "G",    "F"};
    const QStringList none;

    //  name            family                                               base                 Pd    Vp    Vg2   Pg2   Ik   heater typ.Vp pins         top cap
    add("6L6GC",        "Beam tetrode, octal",                               "Octal",             30,   500,  450,  5,    130, 0.9,   450,   octalBeam,   "");
    add("6L6GB",        "Beam tetrode, octal",                               "Octal",             19,   400,  300,  2.5,  110, 0.9,   380,   octalBeam,   "");
    add("5881",         "Beam tetrode, octal (rugged 6L6)",                  "Octal",             23,   400,  400,  3,    110, 0.9,   420,   octalBeam,   "");
    // Design-maximum ratings throughout (the 315 V / 285 V / 12 W / 2 W design-centre set is older).
    add("6V6GT",        "Beam tetrode, octal",                               "Octal",             14,   350,  315,  2.2,  100, 0.45,  350,   octalBeam,   "");
    add("6550",         "Beam tetrode, octal",                               "Octal",             35,   600,  400,  6,    190, 1.6,   500,   octalBeamIc, "");
    add("KT66",         "Beam tetrode, octal",                               "Octal",             25,   500,  400,  3.5,  130, 1.27,  425,   octalBeam,   "");
    add("KT77",         "Beam tetrode, octal",                               "Octal",             25,   800,  600,  6,    140, 1.4,   450,   octalBeamIc, "");
    add("KT88",         "Beam tetrode, octal",                               "Octal",             35,   800,  600,  6,    230, 1.6,   500,   octalBeamIc, "");
    add("KT90",         "Beam tetrode, octal",                               "Octal",             50,   750,  650,  8,    230, 1.6,   550,   octalBeamIc, "");
    add("KT120",        "Beam tetrode, octal",                               "Octal",             60,   850,  650,  8,    250, 1.75,  550,   octalBeamIc, "");
    add("KT150",        "Beam tetrode, octal",                               "Octal",             70,   850,  650,  9,    275, 1.75,  600,   octalBeamIc, "");
    add("EL34",         "Power pentode, octal",                              "Octal",             25,   800,  425,  8,    150, 1.5,   450,   el34,        "");
    add("6CA7",         "Beam tetrode (EL34 variant), octal",                "Octal",             25,   800,  425,  8,    150, 1.5,   450,   el34,        "");
    add("7027A",        "Beam tetrode, octal",                               "Octal",             35,   600,  500,  5.5,  185, 0.9,   480,   p7027a,      "");
    add("7591",         "Beam tetrode, octal",                               "Octal",             19,   550,  440,  3.3,  85,  0.8,   440,   p7591,       "");
    add("7591A",        "Beam tetrode, octal",                               "Octal",             19,   550,  440,  3.3,  85,  0.8,   440,   p7591,       "");
    add("7868",         "Beam tetrode, novar (7591 equivalent)",             "Novar",             19,   550,  440,  3.3,  85,  0.8,   440,   p7868,       "");
    add("EL84 / 6BQ5",  "Power pentode, 9-pin",                              "Noval (9-pin)",     12,   300,  300,  2,    65,  0.76,  320,   el84,        "");
    add("7189",         "Power pentode, 9-pin (rugged EL84)",                "Noval (9-pin)",     13.2, 400,  300,  2.2,  65,  0.76,  350,   el84,        "");
    add("7189A",        "Power pentode, 9-pin (rugged EL84)",                "Noval (9-pin)",     13.2, 440,  400,  2.2,  65,  0.76,  380,   el84,        "");
    add("6973",         "Beam pentode, 9-pin",                               "Noval (9-pin)",     12,   440,  330,  1.7,  60,  0.45,  400,   p6973,       "");
    add("EL86 / 6CW5",  "Power pentode, 9-pin",                              "Noval (9-pin)",     12,   275,  200,  1.75, 100, 0.76,  250,   el84,        "");
    add("6GW8 / ECL86", "Triode-pentode, 9-pin (pentode = output section)",  "Noval (9-pin)",     9,    300,  300,  1.8,  55,  0.66,  250,   ecl86,       "");
    add("50C5",         "Beam tetrode, 7-pin (50V series heater)",           "Miniature 7-pin",   7,    150,  130,  1.4,  60,  0.15,  110,   p50c5,       "");
    addTriode("811A",   "Transmitting triode, RF linear",                    "4-pin",             65,   1500,             175, 4,     1500,  p811,        "PLATE");
    addTriode("572B",   "Transmitting triode, RF linear",                    "4-pin",             160,  2750,             275, 4,     2400,  p811,        "PLATE");
    addTriode("3-500Z", "Transmitting triode, RF linear",                    "5-pin (5V fil.)",   500,  4000,             400, 14.5,  3000,  p3500z,      "PLATE");
    add("6146 / 6146A", "Beam tetrode, RF final",                            "Octal",             25,   750,  250,  3,    250, 1.25,  700,   p6146,       "PLATE");
    add("6146B",        "Beam tetrode, RF final",                            "Octal",             35,   750,  250,  3,    250, 1.25,  700,   p6146,       "PLATE");
    add("807",          "Beam tetrode, RF/audio",                            "5-pin (UY5)",       30,   750,  300,  3.5,  120, 0.9,   600,   p807,        "PLATE");
    add("813",          "Beam pentode, RF transmitting",                     "7-pin (10V fil.)",  125,  2250, 1100, 22,   225, 5,     2000,  none,        "PLATE");
    add("6JS6C",        "Beam tetrode (sweep), RF final",                    "12-pin compactron", 30,   990,  220,  5,    350, 2.25,  600,   p6js6c,      "PLATE");
    add("4-400A",       "Transmitting tetrode, RF",                          "5-pin (5V fil.)",   400,  4000, 600,  35,   350, 14.5,  3000,  none,        "PLATE");
    addTriode("300B",   "Directly heated triode",                            "4-pin UX4",         40,   480,              100, 1.2,   400,   dht,         "");
    addTriode("2A3",    "Directly heated triode",                            "4-pin UX4",         15,   300,              60,  2.5,   250,   dht,         "");
    addTriode("845",    "Directly heated triode",                            "4-pin jumbo",       100,  1250,             120, 3.25,  900,   dht,         "");
    addTriode("211",    "Directly heated triode",                            "4-pin jumbo",       100,  1250,             80,  3.25,  1000,  dht,         "");

    // clang-format on

    // Screen current as a share of the cathode current at idle, Ig2 / (Ia + Ig2) at the published
    // push-pull zero-signal or class-A operating point: beam tetrodes draw little screen current,
    // true pentodes more.
    struct ScreenShare {
        const char* name;
        double pct;
    };
    const ScreenShare screenShares[] = {
        {"KT66", 7},         {"EL34", 13}, // class A 250 V: 100 mA plate, 14.9 mA screen
        {"6CA7", 13},                      // sold as the EL34
        {"EL84 / 6BQ5", 10},               // class A 250 V: 48 mA plate, 5.5 mA screen
        {"7189", 10},                      // the EL84's operating points
        {"7189A", 10},       {"EL86 / 6CW5", 7}, {"6GW8 / ECL86", 10}, // pentode section, taken as EL84-like
    };
    for (TubeSpec& row : rows) {
        if (row.triode)
            continue;
        row.screenPct = 5; // beam tetrodes: 6L6GC, 6V6GT and 6550 all sit near 4.5-5.5 %
        for (const ScreenShare& share : screenShares) {
            if (row.name == QLatin1String(share.name))
                row.screenPct = share.pct;
        }
    }

    // A tube that is not in the table: the user types its maximum dissipation.
    TubeSpec custom;
    custom.name = QStringLiteral("Custom...");
    custom.family = QStringLiteral("User-defined tube");
    custom.maxPlateW = 25;
    custom.typicalPlateV = 450;
    custom.custom = true;
    custom.screenPct = 5; // nothing known about it: the figure the bench always used
    rows.append(custom);

    return rows;
}

const QList<TubeSpec>& tubeCatalogue()
{
    static const QList<TubeSpec> rows = buildTubeCatalogue();
    return rows;
}

const TubeSpec* findTube(const QString& name)
{
    const int i = tubeIndex(name);
    return i < 0 ? nullptr : &tubeCatalogue().at(i);
}

int tubeIndex(const QString& name)
{
    const QList<TubeSpec>& rows = tubeCatalogue();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).name == name)
            return i;
    }
    return -1;
}

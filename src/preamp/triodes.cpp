#include "preamp/triodes.h"

static QList<TriodeSpec> buildTriodeCatalogue()
{
    QList<TriodeSpec> rows;
    rows.reserve(9);

    auto add = [&rows](const char* name, const char* family, double mu, double plateResistance,
                       double transconductance, double maxPlateW, double maxPlateV, double heaterA,
                       double typicalPlateV, double typicalGridV, double typicalPlateMa, const char* base,
                       const QStringList& pins) {
        TriodeSpec t;
        t.name = QString::fromUtf8(name);
        t.family = QString::fromUtf8(family);
        t.mu = mu;
        t.plateResistance = plateResistance;
        t.transconductance = transconductance;
        t.maxPlateW = maxPlateW;
        t.maxPlateV = maxPlateV;
        t.heaterA = heaterA;
        t.typicalPlateV = typicalPlateV;
        t.typicalGridV = typicalGridV;
        t.typicalPlateMa = typicalPlateMa;
        t.base = QString::fromUtf8(base);
        t.pins = pins;
        rows.append(t);
    };

    // clang-format off
    // Base pinouts, pin 1 first.
    const QStringList noval   = {"Pb", "Gb", "Kb", "H",  "H",  "Pa", "Ga", "Ka", "H CT"};
    const QStringList p6eu7   = {"H",  "H",  "NC", "Kb", "Gb", "Pb", "Pa", "Ga", "Ka"};
    const QStringList octal   = {"Gb", "Pb", "Kb", "Ga", "Pa", "Ka", "H",  "H"};
    const char* const novalBase = "Noval (9-pin)";
    const char* const octalBase = "Octal";

    //  name                    family                                                       µ    rp     gm    Pd    Vp   heater typ.Vp typ.Vg typ.Ip base       pins
    add("12AX7 / ECC83 / 7025", "High-mu twin triode, noval",                                100, 62500, 1.6,  1.2,  330, 0.3,  250,   -2,    1.2,   novalBase, noval);
    add("5751",                 "High-mu twin triode (rugged, ~70% of 12AX7 gain)",          70,  58000, 1.2,  0.8,  330, 0.35, 250,   -3,    1.0,   novalBase, noval);
    add("12AT7 / ECC81",        "Medium-high-mu twin triode, noval",                         60,  10900, 5.5,  2.5,  300, 0.3,  250,   -2,    10,    novalBase, noval);
    add("12AY7 / 6072",         "Medium-mu low-noise twin triode (tweed Fender V1)",         40,  22800, 1.75, 1.5,  300, 0.3,  250,   -4,    3,     novalBase, noval);
    add("12AV7",                "Medium-mu high-gm twin triode",                             41,  4800,  8.5,  2.7,  300, 0.45, 150,   -1,    18,    novalBase, noval);
    add("12AU7 / ECC82",        "Low-mu twin triode, noval",                                 17,  7700,  2.2,  2.75, 300, 0.3,  250,   -8.5,  10.5,  novalBase, noval);
    add("6EU7",                 "High-mu twin triode (12AX7 electrically, different base)",  100, 62500, 1.6,  1.2,  330, 0.3,  250,   -2,    1.2,   novalBase, p6eu7);
    add("6SL7",                 "High-mu twin triode, octal",                                70,  44000, 1.6,  1.0,  300, 0.3,  250,   -2,    2.3,   octalBase, octal);
    add("6SN7",                 "Medium-mu twin triode, octal",                              20,  7700,  2.6,  5.0,  450, 0.6,  250,   -8,    9,     octalBase, octal);
    // clang-format on
    return rows;
}

const QList<TriodeSpec>& triodeCatalogue()
{
    static const QList<TriodeSpec> rows = buildTriodeCatalogue();
    return rows;
}

const TriodeSpec* findTriode(const QString& name)
{
    const int i = triodeIndex(name);
    return i >= 0 ? &triodeCatalogue().at(i) : nullptr;
}

int triodeIndex(const QString& name)
{
    const QList<TriodeSpec>& rows = triodeCatalogue();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).name == name)
            return i;
    }
    return -1;
}

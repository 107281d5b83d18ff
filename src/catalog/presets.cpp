#include "catalog/presets.h"

#include <QStringList>

void addRow(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
            int tubeCount, const QString& topology, int biasMethod, double plateV, const QString& note)
{
    AmpPreset p;
    p.group = group;
    p.name = name;
    p.tube = tube;
    p.tubeCount = tubeCount;
    p.topology = topology;
    p.biasMethod = biasMethod;
    p.plateV = plateV;
    p.note = note;
    list.append(p);
}

void addPair(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
             const QString& topology, int biasMethod, double plateV, const QString& note)
{
    addRow(list, group, name, tube, 2, topology, biasMethod, plateV, note);
}

void addQuad(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
             const QString& topology, int biasMethod, double plateV, const QString& note)
{
    addRow(list, group, name, tube, 4, topology, biasMethod, plateV, note);
}

namespace {

// Which default preamp chain a preset gets. The rules are tried in order and the first whose group
// list holds the preset's group and whose name fragments (any of them; none means any name) occur
// in its name decides. Order matters within a group: "Champion 600" must be tested before "Champ",
// "5F11" before "Tweed", "Kalamazoo Bass 30" before "Kalamazoo".
struct StageRule {
    QStringList groups;
    QStringList nameContains;
    QList<PreampStagePreset> stages; // empty: no default chain
};

PreampStagePreset stage(const QString& tube, double bPlus, double plateRK, double cathodeR, double bypassUF,
                        double nextGridRK)
{
    PreampStagePreset s;
    s.tube = tube;
    s.bPlus = bPlus;
    s.plateRK = plateRK;
    s.cathodeR = cathodeR;
    s.bypassUF = bypassUF;
    s.nextGridRK = nextGridRK;
    return s;
}

const QList<StageRule>& stageRules()
{
    static const QList<StageRule> rules = [] {
        const QString ax7 = QStringLiteral("12AX7 / ECC83 / 7025");
        const QString ay7 = QStringLiteral("12AY7 / 6072");
        const QString sn7 = QStringLiteral("6SN7");
        const QString eu7 = QStringLiteral("6EU7");

        // clang-format off
        //                                     tube  B+ V  Rp kΩ  Rk Ω  Ck µF  Rg next kΩ
        const QList<PreampStagePreset> none;
        const QList<PreampStagePreset> s1  = {stage(ax7, 300, 100, 1500, 25,  1000), stage(ax7, 300, 100, 1500, 25, 1000)};
        const QList<PreampStagePreset> s2  = {stage(ay7, 300, 100, 820,  25,  1000), stage(ax7, 300, 100, 820,  25, 1000)};
        const QList<PreampStagePreset> s3  = {stage(ax7, 310, 100, 1500, 25,  1000), stage(ax7, 310, 100, 1500, 25, 1000)};
        const QList<PreampStagePreset> s4  = {stage(ax7, 325, 100, 820,  330, 1000), stage(ax7, 325, 100, 820,  0,  470)};
        const QList<PreampStagePreset> s5  = {stage(ax7, 300, 100, 1500, 25,  500),  stage(ax7, 300, 100, 1500, 25, 1000)};
        const QList<PreampStagePreset> s6  = {stage(ax7, 300, 100, 1500, 22,  1000), stage(ax7, 300, 100, 1500, 22, 470),
                                              stage(ax7, 300, 100, 1500, 0,   470)};
        const QList<PreampStagePreset> s7  = {stage(ax7, 300, 100, 1500, 25,  1000), stage(ax7, 300, 100, 1500, 0,  470)};
        const QList<PreampStagePreset> s8  = {stage(ax7, 250, 220, 2200, 0,   500)};
        const QList<PreampStagePreset> s9  = {stage(sn7, 300, 47,  1200, 47,  500)};
        const QList<PreampStagePreset> s10 = {stage(ax7, 250, 100, 1500, 0,   1000)};
        const QList<PreampStagePreset> s11 = {stage(ax7, 262, 330, 2200, 0,   1000), stage(ax7, 262, 330, 2200, 0,  1000)};
        const QList<PreampStagePreset> s12 = {stage(ax7, 300, 220, 2200, 0,   1000), stage(ax7, 300, 220, 2200, 0,  1000)};
        const QList<PreampStagePreset> s13 = {stage(ax7, 290, 270, 1500, 25,  1000), stage(ax7, 290, 270, 1500, 25, 1000)};
        const QList<PreampStagePreset> s14 = {stage(ax7, 300, 270, 2700, 0,   1000), stage(ax7, 300, 270, 2700, 0,  1000)};
        const QList<PreampStagePreset> s15 = {stage(eu7, 250, 220, 2200, 10,  1000), stage(eu7, 250, 220, 2200, 10, 1000)};
        const QList<PreampStagePreset> s16 = {stage(ax7, 200, 100, 2200, 0,   330),  stage(ax7, 200, 100, 2200, 0,  330)};
        const QList<PreampStagePreset> s17 = {stage(ax7, 265, 220, 1500, 25,  1000), stage(ax7, 265, 220, 1500, 25, 1000)};

        const QStringList integrated = {"Vintage Integrated Amps", "Vintage Receivers"};
        return QList<StageRule>{
            // groups                  name contains (any)                                      chain
            {{"Fender"},               {"Champion 600"},                                        none},
            {{"Fender"},               {"Champ", "5F2-A", "5F11"},                              s3},
            {{"Fender"},               {"Tweed", "5F6-A", "Harvard"},                           s2},
            {{"Fender"},               {},                                                      s1},
            {{"Marshall", "Orange"},   {},                                                      s4},
            {{"Vox"},                  {},                                                      s5},
            {{"Mesa/Boogie"},          {},                                                      s6},
            {{"Ampeg"},                {},                                                      s7},
            {{"Other Guitar"},         {"Peavey", "EVH", "Soldano", "Bogner", "Friedman"},      s6},
            {{"Other Guitar"},         {"Supro"},                                               s10},
            {{"Other Guitar"},         {"Gibson"},                                              none},
            {{"Other Guitar"},         {},                                                      s4},
            {{"Vintage Guitar Amps"},  {"Silvertone 1448", "Silvertone 1482"},                  s11},
            {{"Vintage Guitar Amps"},  {"Silvertone"},                                          s12},
            {{"Vintage Guitar Amps"},  {"Supro"},                                               s13},
            {{"Vintage Guitar Amps"},  {"Magnatone"},                                           s14},
            {{"Vintage Guitar Amps"},  {"Kalamazoo Bass 30"},                                   s15},
            {{"Vintage Guitar Amps"},  {"Kalamazoo"},                                           s16},
            {{"Vintage Guitar Amps"},  {"Danelectro"},                                          s17},
            {{"Vintage Guitar Amps"},  {"Gretsch 6160", "Guild", "Premier"},                    s1},
            {{"Vintage Guitar Amps"},  {},                                                      none},
            {integrated,               {"SCA-35"},                                              none},
            {integrated,               {},                                                      s8},
            {{"Hi-Fi"},                {"300B"},                                                s9},
            {{"Hi-Fi"},                {},                                                      none},
            // Any other group (the RF amplifiers) matches no rule and gets no chain.
        };
        // clang-format on
    }();
    return rules;
}

bool ruleMatches(const StageRule& rule, const AmpPreset& preset)
{
    if (!rule.groups.contains(preset.group, Qt::CaseSensitive))
        return false;
    if (rule.nameContains.isEmpty())
        return true;
    for (const QString& fragment : rule.nameContains) {
        if (preset.name.contains(fragment, Qt::CaseSensitive))
            return true;
    }
    return false;
}

} // namespace

void assignDefaultPreampStages(QList<AmpPreset>& list)
{
    for (AmpPreset& preset : list) {
        if (!preset.preampStages.isEmpty())
            continue;
        for (const StageRule& rule : stageRules()) {
            if (ruleMatches(rule, preset)) {
                preset.preampStages = rule.stages;
                break;
            }
        }
    }
}

static QList<AmpPreset> buildAmpPresets()
{
    const QString seA = QStringLiteral("Single-Ended Class A");
    const QString ppA = QStringLiteral("Push-Pull Class A");
    const QString ppAbF = QStringLiteral("Push-Pull Class AB (fixed bias)");
    const QString ppAbK = QStringLiteral("Push-Pull Class AB (cathode bias)");
    const QString rf = QStringLiteral("RF Linear (Class AB/B)");

    QList<AmpPreset> list;
    list.reserve(152);

    // clang-format off
    // n: tube count (addPair 2, addQuad 4); M: bias method (0 bias probe, 1 cathode sense resistor,
    // 2 OT winding drop, 3 cathode bias, 4 panel meter); Vp: plate voltage in V.
    //            group                      name                                       tube            n  class  M  Vp    note
    addRow( list, "Fender",                  "Champion 600 (5C1)",                      "6V6GT",        1, seA,   3, 305,  "Early single-ended champ with 6SJ7 pentode preamp. Cathode biased.");
    addRow( list, "Fender",                  "Champ / Vibro Champ",                     "6V6GT",        1, seA,   3, 360,  "Cathode biased single 6V6 - read the voltage across the cathode resistor. A dried-out cathode bypass cap costs gain and lets the idle drift.");
    addRow( list, "Fender",                  "Tweed Princeton 5F2-A",                   "6V6GT",        1, seA,   3, 345,  "Single 6V6 on its own cathode resistor; nothing to set when you change the tube, but check the new one does not idle past its rating.");
    addPair(list, "Fender",                  "Tweed Deluxe 5E3",                        "6V6GT",           ppAbK, 3, 360,  "Both 6V6s share one cathode resistor, so tick the shared box. Runs its 6V6s hard; a slightly larger cathode resistor is a common fix for modern tubes.");
    addPair(list, "Fender",                  "Tweed Tremolux 5E9-A",                    "6V6GT",           ppAbK, 3, 370,  "Cathode-biased 6V6 pair: read the cathode voltage, ticking the shared box if both tubes use one resistor. An open bypass cap makes it thin and weak.");
    addPair(list, "Fender",                  "Tweed Vibrolux 5F11",                     "6V6GT",           ppAbF, 0, 340,  "Fixed bias (-31V on the schematic) so the tremolo can wiggle it. No bias pot from the factory.");
    addPair(list, "Fender",                  "Harvard 5F10",                            "6V6GT",           ppAbF, 0, 410,  "Fixed-bias 6V6 pair; measure each tube with a bias probe. If the pair idles hot, check the bias supply resistors and filter cap first.");
    addPair(list, "Fender",                  "Tweed Super 5F4",                         "6L6GB",           ppAbF, 0, 415,  "Fixed-bias 6L6 pair; measure with a bias probe. A tired filter cap in the bias supply is the usual cause of a pair that creeps hot.");
    addPair(list, "Fender",                  "Tweed Pro 5E5-A",                         "6L6GB",           ppAbF, 0, 390,  "Fixed-bias 6L6 pair. Compare both probe readings - a large spread usually means an unmatched pair rather than a bias fault.");
    addPair(list, "Fender",                  "Tweed Bandmaster 5E7",                    "6L6GB",           ppAbF, 0, 415,  "Fixed-bias 6L6 pair; recap the bias supply before judging the readings, as a weak cap lets the idle current creep up.");
    addPair(list, "Fender",                  "Tweed Bassman 5E6-A",                     "6L6GB",           ppAbF, 0, 420,  "Early tweed Bassman in fixed bias; check the bias supply voltage against the schematic, then each tube with a bias probe.");
    addPair(list, "Fender",                  "Bassman 5F6-A",                           "5881",            ppAbF, 0, 430,  "");
    addPair(list, "Fender",                  "Tweed Twin 5E8-A (low power)",            "6L6GB",           ppAbF, 0, 415,  "Low-power tweed Twin with a fixed-bias 6L6 pair; measure each tube with a bias probe.");
    addQuad(list, "Fender",                  "Tweed Twin 5F8-A",                        "5881",            ppAbF, 0, 400,  "Four 5881s on one fixed-bias supply - fit a matched quad and check every tube with a bias probe.");
    addPair(list, "Fender",                  "Princeton 6G2 (brown)",                   "6V6GT",           ppAbF, 0, 360,  "Switch the tremolo off while measuring - on this amp it works on the output-tube bias.");
    addPair(list, "Fender",                  "Deluxe 6G3 (brown)",                      "6V6GT",           ppAbF, 0, 365,  "Brown Deluxe: turn the tremolo off before measuring, the effect modulates the 6V6 bias.");
    addPair(list, "Fender",                  "Vibrolux 6G11 (brown)",                   "6L6GC",           ppAbF, 0, 365,  "Fixed-bias 6L6 pair; switch the vibrato off and measure each tube with a bias probe.");
    addPair(list, "Fender",                  "Super 6G4 (brown)",                       "6L6GC",           ppAbF, 0, 455,  "Fixed-bias 6L6 pair at a high plate voltage; keep the idle inside the window, a hot setting shortens tube life quickly here.");
    addPair(list, "Fender",                  "Pro 6G5 (brown)",                         "6L6GC",           ppAbF, 0, 455,  "");
    addPair(list, "Fender",                  "Concert 6G12 (brown)",                    "6L6GC",           ppAbF, 0, 440,  "Fixed-bias 6L6 pair. The brown-era bias supply is simple, so a drifted resistor or dried cap shows up as a pair that idles hot.");
    addPair(list, "Fender",                  "Vibrasonic 5G13 (brown)",                 "6L6GC",           ppAbF, 0, 440,  "Fixed-bias 6L6 pair; if one tube reads much hotter than the other, look for a leaky coupling cap before blaming the tube.");
    addPair(list, "Fender",                  "Vibroverb 6G16 (brown)",                  "6L6GC",           ppAbF, 0, 410,  "Fixed-bias 6L6 pair; switch the vibrato off and measure with a bias probe.");
    addPair(list, "Fender",                  "Tremolux 6G9-B (blonde)",                 "6L6GC",           ppAbF, 0, 365,  "Blonde Tremolux with a fixed-bias 6L6 pair; switch the tremolo off before measuring.");
    addPair(list, "Fender",                  "Bandmaster 6G7 (blonde)",                 "6L6GC",           ppAbF, 0, 455,  "Fixed-bias 6L6 pair at a high plate voltage; measure each tube with a bias probe after a few minutes of warm-up.");
    addPair(list, "Fender",                  "Bassman 6G6-B (blonde)",                  "5881",            ppAbF, 0, 430,  "Blonde Bassman with 5881s in fixed bias; measure both with a bias probe and fit a matched pair.");
    addQuad(list, "Fender",                  "Twin 6G8 (blonde)",                       "6L6GC",           ppAbF, 0, 430,  "Four 6L6s on one bias supply - fit a matched quad and check every tube with a bias probe.");
    addQuad(list, "Fender",                  "Showman 6G14 (blonde)",                   "6L6GC",           ppAbF, 0, 450,  "Four 6L6s at a high plate voltage in fixed bias; use a matched quad and measure each tube with a bias probe.");
    addPair(list, "Fender",                  "Princeton AA964 (blackface)",             "6V6GT",           ppAbF, 0, 420,  "Blackface Princeton with a fixed-bias 6V6 pair; switch the vibrato off while measuring, it works on the bias.");
    addPair(list, "Fender",                  "Princeton Reverb",                        "6V6GT",           ppAbF, 0, 410,  "");
    addPair(list, "Fender",                  "Deluxe AB763 (blackface, non-reverb)",    "6V6GT",           ppAbF, 0, 410,  "Fixed-bias 6V6 pair at a fairly high plate voltage; check the bias supply voltage against the schematic before fitting new tubes.");
    addPair(list, "Fender",                  "Deluxe Reverb",                           "6V6GT",           ppAbF, 0, 420,  "Runs 6V6s hot from the factory - many techs bias to 70%.");
    addPair(list, "Fender",                  "Tremolux AB763 (blackface)",              "6L6GC",           ppAbF, 0, 410,  "Blackface Tremolux with a fixed-bias 6L6 pair; switch the tremolo off while measuring.");
    addPair(list, "Fender",                  "Vibrolux AB763 (blackface, non-reverb)",  "6L6GC",           ppAbF, 0, 410,  "");
    addPair(list, "Fender",                  "Vibrolux Reverb",                         "6L6GC",           ppAbF, 0, 415,  "");
    addPair(list, "Fender",                  "Vibroverb (AB763)",                       "6L6GC",           ppAbF, 0, 440,  "");
    addPair(list, "Fender",                  "Pro AA763/AB763 (blackface, non-reverb)", "6L6GC",           ppAbF, 0, 440,  "On many blackface units the pot in the bias circuit is a balance control, not an adjustment; converting it to a bias adjust pot is a common mod.");
    addPair(list, "Fender",                  "Pro Reverb",                              "6L6GC",           ppAbF, 0, 440,  "");
    addPair(list, "Fender",                  "Concert AB763 (blackface)",               "6L6GC",           ppAbF, 0, 440,  "Fixed-bias 6L6 pair. The blackface pot is often a balance control, so read each tube with a bias probe before turning anything.");
    addPair(list, "Fender",                  "Bandmaster",                              "6L6GC",           ppAbF, 0, 440,  "");
    addPair(list, "Fender",                  "Bassman AA864/AB165 (blackface)",         "6L6GC",           ppAbF, 0, 430,  "Fixed-bias 6L6 pair; check whether you have the AA864 or the AB165 circuit before comparing voltages with a schematic.");
    addPair(list, "Fender",                  "Super Reverb",                            "6L6GC",           ppAbF, 0, 460,  "");
    addQuad(list, "Fender",                  "Twin Reverb",                             "6L6GC",           ppAbF, 0, 460,  "");
    addQuad(list, "Fender",                  "Super Six Reverb",                        "6L6GC",           ppAbF, 0, 460,  "Four 6L6s share one bias supply; fit a matched quad and check each tube with a bias probe.");
    addQuad(list, "Fender",                  "Dual Showman",                            "6L6GC",           ppAbF, 0, 460,  "");
    addPair(list, "Fender",                  "Bassman 50 (silverface)",                 "6L6GC",           ppAbF, 0, 450,  "");
    addQuad(list, "Fender",                  "Bassman 100",                             "6L6GC",           ppAbF, 0, 480,  "");
    addPair(list, "Fender",                  "Blues Deluxe / Hot Rod Deluxe",           "6L6GC",           ppAbF, 0, 410,  "Fixed bias with no adjustment pot on earlier units, often on the cold side; adding a bias pot is a common mod.");
    addPair(list, "Fender",                  "Hot Rod DeVille",                         "6L6GC",           ppAbF, 0, 430,  "");
    addPair(list, "Fender",                  "Blues Junior",                            "EL84 / 6BQ5",     ppAbF, 0, 315,  "Fixed bias with NO adjustment pot (~-10.7V grid); known to run hot. Adding a bias trimmer is a common mod.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "Marshall",                "JTM45",                                   "KT66",            ppAbF, 0, 430,  "");
    addPair(list, "Marshall",                "Bluesbreaker 1962",                       "KT66",            ppAbF, 0, 430,  "");
    addPair(list, "Marshall",                "18-Watt (1974)",                          "EL84 / 6BQ5",     ppAbK, 3, 320,  "Cathode-biased EL84 pair; read the cathode voltage and tick the shared box if both tubes use one resistor.");
    addPair(list, "Marshall",                "1987 Lead 50 (Plexi)",                    "EL34",            ppAbF, 0, 460,  "");
    addPair(list, "Marshall",                "JCM800 2204 (50W)",                       "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "JCM800 2203 (100W)",                      "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "1959 Super Lead (Plexi)",                 "EL34",            ppAbF, 0, 470,  "");
    addQuad(list, "Marshall",                "1992 Super Bass",                         "EL34",            ppAbF, 0, 470,  "");
    addPair(list, "Marshall",                "Silver Jubilee 2550 (50W)",               "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "Silver Jubilee 2555",                     "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "JCM900 4100",                             "EL34",            ppAbF, 0, 460,  "Fit a matched quad of EL34s and check each tube with a bias probe; a large spread means a mismatched set, not a bias fault.");
    addPair(list, "Marshall",                "JCM2000 DSL50",                           "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "JCM2000 DSL100",                          "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Marshall",                "JVM410H",                                 "EL34",            ppAbF, 0, 460,  "Bias test points and adjustment are provided; set the tubes at the test points and confirm each one with a bias probe.");
    addQuad(list, "Marshall",                "Major",                                   "KT88",            ppAbF, 0, 550,  "");
    addRow( list, "Marshall",                "Class 5",                                 "EL84 / 6BQ5",  1, seA,   3, 300,  "Single EL84 in cathode-biased Class A; it idles hot by design, so expect a reading near the top of the window.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addRow( list, "Vox",                     "AC4",                                     "EL84 / 6BQ5",  1, seA,   3, 270,  "Single EL84 on a cathode resistor; a drifted resistor or an old bypass cap is the usual cause of a wrong idle reading.");
    addPair(list, "Vox",                     "AC10",                                    "EL84 / 6BQ5",     ppA,   3, 310,  "Cathode-biased Class A EL84 pair; expect it to idle close to full dissipation.");
    addPair(list, "Vox",                     "AC15",                                    "EL84 / 6BQ5",     ppA,   3, 320,  "Cathode-biased Class A, run hot by design - check the cathode resistor and its bypass cap whenever you fit new EL84s.");
    addQuad(list, "Vox",                     "AC30",                                    "EL84 / 6BQ5",     ppA,   3, 320,  "Cathode biased Class A - famously runs its EL84s past their 12 W rating, about 130% of max at idle, so expect OVER MAX here.");
    addPair(list, "Vox",                     "AC50",                                    "EL34",            ppAbF, 0, 440,  "");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "Mesa/Boogie",             "Single Rectifier",                        "6L6GC",           ppAbF, 0, 480,  "Fixed (non-adjustable) bias from factory - runs cold by design.");
    addQuad(list, "Mesa/Boogie",             "Dual Rectifier",                          "6L6GC",           ppAbF, 0, 480,  "Fixed, non-adjustable bias like the other Rectifiers; set the rear bias switch to match the tubes fitted.");
    addRow( list, "Mesa/Boogie",             "Triple Rectifier",                        "6L6GC",        6, ppAbF, 0, 480,  "Six 6L6s on a fixed, non-adjustable bias; fit a matched set and check every tube with a bias probe.");
    addQuad(list, "Mesa/Boogie",             "Mark IV",                                 "6L6GC",           ppAbF, 0, 460,  "");
    addQuad(list, "Mesa/Boogie",             "Mark V",                                  "6L6GC",           ppAbF, 0, 460,  "");
    addQuad(list, "Mesa/Boogie",             "Lone Star",                               "6L6GC",           ppAbF, 0, 450,  "Fixed, non-adjustable bias; measure all four 6L6s with the amp set to full power.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "Orange",                  "Tiny Terror",                             "EL84 / 6BQ5",     ppAbK, 3, 320,  "Cathode-biased EL84 pair; nothing to set when you change tubes, but fit a matched pair.");
    addQuad(list, "Orange",                  "AD30",                                    "EL84 / 6BQ5",     ppAbK, 3, 330,  "Four cathode-biased EL84s that run hot; keep the vents clear and read the cathode voltage of every tube.");
    addPair(list, "Orange",                  "Rockerverb 50",                           "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Orange",                  "Rockerverb 100",                          "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Orange",                  "OR120 (vintage)",                         "EL34",            ppAbF, 0, 460,  "");
    addQuad(list, "Orange",                  "AD200B Bass",                             "6550",            ppAbF, 0, 560,  "");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "Other Guitar",            "Hiwatt DR504",                            "EL34",            ppAbF, 0, 500,  "");
    addQuad(list, "Other Guitar",            "Hiwatt DR103",                            "EL34",            ppAbF, 0, 500,  "");
    addQuad(list, "Other Guitar",            "Peavey 5150 / 6505",                      "6L6GC",           ppAbF, 0, 490,  "Fixed bias set by resistors on most units, with no adjustment; adding a bias pot is a common mod.");
    addQuad(list, "Other Guitar",            "EVH 5150III 100W",                        "6L6GC",           ppAbF, 0, 480,  "Internal bias trimmer with test points across a SHARED 1-ohm cathode resistor (1 mV = 1 mA total). Factory setting is ~20 mA/tube, cold by design for tube life.");
    addPair(list, "Other Guitar",            "EVH 5150III 50W",                         "6L6GC",           ppAbF, 0, 460,  "Has its own bias test points and control, like the 100 W model; confirm each tube with a bias probe after setting it.");
    addQuad(list, "Other Guitar",            "Peavey Classic 30",                       "EL84 / 6BQ5",     ppAbF, 0, 330,  "Fixed bias with no adjustment on most versions. Check the board around the EL84 sockets for heat damage while the chassis is out.");
    addQuad(list, "Other Guitar",            "Peavey Classic 50",                       "EL84 / 6BQ5",     ppAbF, 0, 350,  "Four fixed-bias EL84s on one bias supply - fit a matched quad and check each tube with a bias probe.");
    addQuad(list, "Other Guitar",            "Soldano SLO-100",                         "5881",            ppAbF, 0, 480,  "");
    addQuad(list, "Other Guitar",            "Matchless DC30",                          "EL84 / 6BQ5",     ppA,   3, 330,  "Cathode-biased Class A EL84 quad without negative feedback; it runs hot by design, so give it good ventilation.");
    addQuad(list, "Other Guitar",            "Bogner Ecstasy 100",                      "EL34",            ppAbF, 0, 470,  "");
    addPair(list, "Other Guitar",            "Bogner Shiva",                            "EL34",            ppAbF, 0, 450,  "");
    addQuad(list, "Other Guitar",            "Friedman BE-100",                         "EL34",            ppAbF, 0, 470,  "");
    addPair(list, "Other Guitar",            "Supro Thunderbolt S6420",                 "6L6GC",           ppAbK, 3, 380,  "Cathode-biased 6L6 pair that idles hot by design; read the cathode voltage across the resistor.");
    addPair(list, "Other Guitar",            "Traynor YBA-1 Bass Master",               "EL34",            ppAbF, 0, 470,  "Fixed-bias EL34 pair. Many have been modified over the years, so check the bias supply against the schematic first.");
    addPair(list, "Other Guitar",            "Gibson GA-40 Les Paul",                   "6V6GT",           ppAbK, 3, 350,  "Cathode-biased 6V6 pair; replace the old cathode bypass and filter caps before judging the idle current.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addRow( list, "Ampeg",                   "SVT",                                     "6550",         6, ppAbF, 0, 660,  "Six 6550s in fixed bias - buy a matched set; a large spread between the six probe readings shows a mismatched tube.");
    addQuad(list, "Ampeg",                   "V-4",                                     "7027A",           ppAbF, 0, 530,  "");

    //            group                      name                                       tube            n  class  M  Vp    note
    addRow( list, "Vintage Guitar Amps",     "Silvertone 1448 / 1449 / 1457",           "6V6GT",        1, seA,   3, 370,  "Amp-in-case single 6V6 on a cathode resistor; recap the power supply before judging the idle reading.");
    addPair(list, "Vintage Guitar Amps",     "Silvertone 1482",                         "6V6GT",           ppAbK, 3, 350,  "Cathode-biased 6V6 pair; the original electrolytics are long past their life, so recap before measuring.");
    addPair(list, "Vintage Guitar Amps",     "Silvertone 1483 Bass",                    "6L6GC",           ppAbK, 3, 350,  "Cathode-biased 6L6 pair; read the cathode voltage, and replace the dried-out bypass cap if the reading wanders.");
    addPair(list, "Vintage Guitar Amps",     "Silvertone 1484 Twin Twelve",             "6L6GC",           ppAbF, 0, 475,  "Fixed-bias 6L6 pair; if it idles hot, check the bias supply's filter cap and divider resistors first.");
    addQuad(list, "Vintage Guitar Amps",     "Silvertone 1485",                         "6L6GC",           ppAbF, 0, 475,  "Four 6L6s on one fixed-bias supply; fit a matched quad and measure each tube with a bias probe.");
    addPair(list, "Vintage Guitar Amps",     "Supro Dual-Tone S6424",                   "6973",            ppAbK, 3, 350,  "Cathode-biased 6973 pair. 6973s are scarce, so keep a matched pair and check the cathode voltage after a change.");
    addPair(list, "Vintage Guitar Amps",     "Gretsch 6156 Playboy",                    "6V6GT",           ppAbK, 3, 340,  "Cathode-biased 6V6 pair; recap the power supply and the cathode bypass cap before judging the tubes.");
    addPair(list, "Vintage Guitar Amps",     "Gretsch 6160 Chet Atkins",                "7027A",           ppAbK, 3, 420,  "Cathode-biased 7027A pair. The 7027A pinout differs from a 6L6's, so check the socket wiring before fitting substitutes.");
    addPair(list, "Vintage Guitar Amps",     "Magnatone 260-A",                         "6L6GB",           ppAbK, 3, 425,  "Cathode-biased 6L6 pair; switch the vibrato off and read the cathode voltage.");
    addPair(list, "Vintage Guitar Amps",     "Magnatone 440",                           "6V6GT",           ppAbK, 3, 345,  "Cathode-biased 6V6 pair; switch the vibrato off while measuring and recap before judging the tubes.");
    addRow( list, "Vintage Guitar Amps",     "Kalamazoo Model One / Two",               "EL84 / 6BQ5",  1, seA,   3, 250,  "Single EL84 on a cathode resistor; these small Gibson-built amps want a full recap before any bias judgement.");
    addPair(list, "Vintage Guitar Amps",     "Kalamazoo Bass 30",                       "7591",            ppAbF, 0, 400,  "Fixed-bias 7591 pair; new-production 7591A tubes are the usual replacement. Measure each with a bias probe.");
    addPair(list, "Vintage Guitar Amps",     "Danelectro DM-25",                        "7189",            ppAbK, 3, 310,  "Cathode-biased 7189 pair. EL84s are a common replacement; make sure the plate voltage stays within their rating.");
    addRow( list, "Vintage Guitar Amps",     "Premier Twin 8",                          "6V6GT",        1, seA,   3, 300,  "Single 6V6 on a cathode resistor; recap the power supply before measuring.");
    addRow( list, "Vintage Guitar Amps",     "Harmony H400",                            "50C5",         1, seA,   2, 110,  "Series-heater 'widowmaker' - NO power transformer, chassis can sit at line potential. Use an isolation transformer! Grid-leak biased, so there is no cathode resistor: use the OT voltage-drop method.");
    addPair(list, "Vintage Guitar Amps",     "Guild Thunder 1 (T1-RVT)",                "6GW8 / ECL86",    ppAbK, 3, 325,  "Cathode-biased 6GW8/ECL86 pair; good replacements are getting scarce, so test the old pair before discarding it.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addQuad(list, "Hi-Fi",                   "Dynaco ST-70",                            "EL34",            ppAbF, 1, 435,  "Factory method: 1.56V across the 15.6 ohm bias resistor network.");
    addPair(list, "Hi-Fi",                   "Dynaco Mark III (each mono)",             "KT88",            ppAbF, 1, 480,  "Fixed-bias KT88 pair read across the cathode resistors; set the bias with the amp fully warmed up and fit a matched pair.");
    addQuad(list, "Hi-Fi",                   "McIntosh MC275",                          "KT88",            ppAbF, 0, 460,  "");
    addQuad(list, "Hi-Fi",                   "McIntosh MC240",                          "6L6GC",           ppAbF, 0, 440,  "Unity-coupled output: the cathodes go to transformer windings, so measure with a bias probe rather than across a cathode resistor.");
    addQuad(list, "Hi-Fi",                   "Marantz 8B",                              "EL34",            ppAbF, 0, 440,  "Let the amp warm up before measuring each EL34 with a bias probe; replace leaky coupling caps first, as they pull the bias off.");
    addQuad(list, "Hi-Fi",                   "Eico HF-87",                              "EL34",            ppAbF, 1, 420,  "");
    addPair(list, "Hi-Fi",                   "Quad II (each mono)",                     "KT66",            ppAbK, 3, 340,  "Cathode-biased KT66 pair; read the cathode voltage of each tube. Original KT66s are valuable, so test them before replacing.");
    addQuad(list, "Hi-Fi",                   "Leak Stereo 20",                          "EL84 / 6BQ5",     ppAbK, 3, 340,  "Cathode-biased EL84s; read each cathode voltage and replace the cathode bypass caps, which often dry out.");
    addQuad(list, "Hi-Fi",                   "Harman Kardon Citation II",               "KT88",            ppAbF, 1, 460,  "Read the millivolts across each tube's cathode resistor; let the amp warm up fully before comparing the four readings.");
    addRow( list, "Hi-Fi",                   "SE 300B Monoblock",                       "300B",         1, seA,   3, 400,  "Self-biased single 300B: read the voltage across the filament-return resistor after several minutes of warm-up.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addQuad(list, "Vintage Integrated Amps", "Sherwood S-5000 II (7591)",               "7591",            ppAbF, 1, 440,  "Fixed bias, no per-tube adjustment. Common mod: 10-ohm cathode sense resistors. Target ~30 mA/tube.");
    addQuad(list, "Vintage Integrated Amps", "Sherwood S-5000 II (7868)",               "7868",            ppAbF, 1, 445,  "Novar 7868 version of the S-5000 II; the same 10-ohm cathode sense resistor mod applies, so read millivolts per tube.");
    addQuad(list, "Vintage Integrated Amps", "Sherwood S-5500",                         "7591",            ppAbF, 1, 440,  "");
    addQuad(list, "Vintage Integrated Amps", "Fisher X-101",                            "7591",            ppAbF, 1, 410,  "");
    addQuad(list, "Vintage Integrated Amps", "H.H. Scott 299 / 222",                    "7189",            ppAbK, 1, 350,  "Cathode-biased 7189s; read the millivolts across the cathode resistors. If EL84s are fitted, keep the plate voltage within their rating.");
    addQuad(list, "Vintage Integrated Amps", "Eico HF-81",                              "EL84 / 6BQ5",     ppAbK, 1, 320,  "");
    addQuad(list, "Vintage Integrated Amps", "Dynaco SCA-35",                           "EL84 / 6BQ5",     ppAbK, 1, 335,  "Cathode-biased EL84s that run hot at idle; read the voltage across the cathode resistors and replace any that have drifted.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addQuad(list, "Vintage Receivers",       "Fisher 500-C",                            "7591",            ppAbF, 1, 420,  "Fixed-bias 7591s; add 10-ohm cathode sense resistors so each tube can be read in millivolts. Recap the bias supply first.");
    addQuad(list, "Vintage Receivers",       "Fisher 800-C",                            "7591",            ppAbF, 1, 420,  "Same output stage as the 500-C; fit cathode sense resistors and read all four tubes in millivolts.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "Heathkit",                "SB-200 / SB-201",                         "572B",            rf,    4, 2400, "Grounded grid, ~2400V. Typical idle ~90-100 mA total (45-50 mA/tube).");
    addPair(list, "Heathkit",                "SB-220 / SB-221",                         "3-500Z",          rf,    4, 2900, "Grounded-grid 3-500Z pair; key the amp with no drive and read the idle plate current on the meter.");
    addRow( list, "Heathkit",                "SB-1000",                                 "3-500Z",       1, rf,    4, 3000, "Single 3-500Z; key it without drive and read the idle plate current on the meter after the filament has warmed up.");

    //            group                      name                                       tube            n  class  M  Vp    note
    addRow( list, "RF Linears",              "AEA LA-30",                               "3-500Z",       1, rf,    4, 3000, "Single 3-500Z; key it without drive and read the idle plate current on the meter.");
    addRow( list, "RF Linears",              "Ameritron AL-811",                        "811A",         3, rf,    4, 1700, "Three 811As in grounded grid; key with no drive, read the idle plate current on the meter, and replace all three at once.");
    addQuad(list, "RF Linears",              "Ameritron AL-811H",                       "811A",            rf,    4, 1700, "Four 811As; read the idle plate current on the meter with the amp keyed and no drive, and fit a matched set.");
    addQuad(list, "RF Linears",              "Collins 30L-1",                           "811A",            rf,    4, 1600, "Four 811As in grounded grid; check the idle plate current on the meter, keyed without drive, against the manual.");
    addPair(list, "RF Linears",              "Drake L-4B",                              "3-500Z",          rf,    4, 2800, "");
    addPair(list, "RF Linears",              "Kenwood TL-922",                          "3-500Z",          rf,    4, 2900, "");
    addPair(list, "RF Linears",              "Yaesu FL-2100B",                          "572B",            rf,    4, 2400, "");
    addRow( list, "RF Linears",              "Ameritron AL-80B",                        "3-500Z",       1, rf,    4, 2700, "Single 3-500Z in grounded grid; read the idle plate current on the meter with the amp keyed and no drive.");
    addQuad(list, "RF Linears",              "Ameritron AL-572",                        "572B",            rf,    4, 2400, "");

    //            group                      name                                       tube            n  class  M  Vp    note
    addPair(list, "RF Transceivers",         "Heathkit HW-101 / SB-102",                "6146 / 6146A",    rf,    4, 800,  "Key the rig with no drive and set the idle plate current on the meter with the bias control; re-neutralize after fitting new 6146s.");
    addPair(list, "RF Transceivers",         "Collins KWM-2",                           "6146 / 6146A",    rf,    4, 800,  "");
    addPair(list, "RF Transceivers",         "Kenwood TS-520",                          "6146B",           rf,    4, 800,  "Set the idle plate current on the meter to 60 mA total in CW with no carrier, using the bias control; fit the 6146Bs as a matched pair.");
    addPair(list, "RF Transceivers",         "Kenwood TS-830S",                         "6146B",           rf,    4, 800,  "Set the idle plate current on the meter with the mic gain at zero; fit the 6146Bs as a matched pair.");
    addPair(list, "RF Transceivers",         "Yaesu FT-101",                            "6JS6C",           rf,    4, 600,  "Read the idle plate current on the meter with the mic gain at zero; 6JS6C finals are scarce, so match a new pair carefully.");
    addRow( list, "RF Transceivers",         "Yaesu FT-102",                            "6146B",        3, rf,    4, 800,  "Unusual THREE-tube final for 100W+ output; re-neutralize after tube replacement.");
    // clang-format on

    // Amplifiers whose output tubes sit on one cathode or sense resistor: the tubes on each resistor
    // and its value where the schematic gives it (0: a fresh job's value).
    struct SharedResistor {
        const char* name;
        int tubes;
        double senseOhms;
        double cathodeOhms;
    };
    const SharedResistor shared[] = {
        {"Tweed Deluxe 5E3", 2, 0, 250}, // one 250 Ω resistor for both 6V6s
        {"AC15", 2, 0, 0},               // one resistor and bypass cap for the EL84 pair
        {"AC30", 4, 0, 50},              // all four EL84s on one 50 Ω resistor
        {"Dynaco ST-70", 2, 15.6, 0},    // one 15.6 Ω resistor per channel, two EL34s each
    };
    for (const SharedResistor& row : shared) {
        for (AmpPreset& preset : list) {
            if (preset.name == QLatin1String(row.name)) {
                preset.sharedTubes = row.tubes;
                preset.senseResistorOhms = row.senseOhms;
                preset.cathodeResistorOhms = row.cathodeOhms;
            }
        }
    }

    // The idle figures the notes state, as data: the target and the ideal window of that amplifier.
    struct NotedIdle {
        const char* name;
        IdleFigure idle;
    };
    // clang-format off
    const NotedIdle noted[] = {
        {"Deluxe Reverb",             {IdleUnit::PctOfMax,  70,  70,  false}}, // "many techs bias to 70%"
        {"AC30",                      {IdleUnit::PctOfMax,  130, 130, true}},  // past the rating by design
        {"EVH 5150III 100W",          {IdleUnit::MaPerTube, 20,  20,  false}}, // the factory setting
        {"Dynaco ST-70",              {IdleUnit::MaPerTube, 50,  50,  false}}, // 1.56 V / 15.6 ohm = 100 mA a pair
        {"Sherwood S-5000 II (7591)", {IdleUnit::MaPerTube, 30,  30,  false}},
        {"SB-200 / SB-201",           {IdleUnit::MaPerTube, 45,  50,  false}},
        {"Kenwood TS-520",            {IdleUnit::MaTotal,   60,  60,  false}},
    };
    // clang-format on
    for (const NotedIdle& row : noted) {
        for (AmpPreset& preset : list) {
            if (preset.name == QLatin1String(row.name))
                preset.idle = row.idle;
        }
    }

    assignDefaultPreampStages(list);
    return list;
}

bool operator==(const IdleFigure& a, const IdleFigure& b)
{
    return a.unit == b.unit && a.low == b.low && a.high == b.high && a.pastRating == b.pastRating;
}

const QList<AmpPreset>& ampPresets()
{
    static const QList<AmpPreset> presets = buildAmpPresets();
    return presets;
}

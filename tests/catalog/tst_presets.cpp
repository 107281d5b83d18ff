#include "bias/biascalc.h"
#include "catalog/ampclasses.h"
#include "catalog/presets.h"
#include "catalog/tubes.h"
#include "preamp/triodes.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

// The preset catalogue is 152 hand-typed rows plus a rule table for the default preamp chains.
// These checks look for a mistyped or misplaced row, a note that contradicts its own row, and a
// rule that fires in the wrong order.
class TestPresets : public QObject
{
    Q_OBJECT

private:
    static QString context(const AmpPreset& p) { return QStringLiteral("preset \"%1\"").arg(p.name); }

    static const AmpPreset* findPreset(const QString& name)
    {
        for (const AmpPreset& p : ampPresets()) {
            if (p.name == name)
                return &p;
        }
        return nullptr;
    }

    static bool sameStage(const PreampStagePreset& a, const PreampStagePreset& b)
    {
        auto eq = [](double x, double y) { return qAbs(x - y) < 1e-9; };
        return a.tube == b.tube && eq(a.bPlus, b.bPlus) && eq(a.plateRK, b.plateRK) &&
               eq(a.cathodeR, b.cathodeR) && eq(a.bypassUF, b.bypassUF) && eq(a.nextGridRK, b.nextGridRK);
    }

    static bool sameChain(const QList<PreampStagePreset>& a, const QList<PreampStagePreset>& b)
    {
        if (a.size() != b.size())
            return false;
        for (int i = 0; i < a.size(); ++i) {
            if (!sameStage(a.at(i), b.at(i)))
                return false;
        }
        return true;
    }

    // The default chain each row should end up with, by set name ("-" for none), group by group in
    // list order. Rows sharing a set name must carry identical chains and different names different
    // chains, so a rule that fires for the wrong row shows up without restating every set.
    struct GroupExpectation {
        const char* group;
        int count;
        const char* stageSets;
    };
    static QList<GroupExpectation> expectedGroups()
    {
        // clang-format off
        return {
            {"Fender",                  49, "- S3 S3 S2 S2 S3 S2 S2 S2 S2 S2 S2 S2 S2 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 "
                                            "S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1 S1"},
            {"Marshall",                16, "S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4 S4"},
            {"Vox",                      5, "S5 S5 S5 S5 S5"},
            {"Mesa/Boogie",              6, "S6 S6 S6 S6 S6 S6"},
            {"Orange",                   6, "S4 S4 S4 S4 S4 S4"},
            {"Other Guitar",            15, "S4 S4 S6 S6 S6 S6 S6 S6 S4 S6 S6 S6 S10 S4 -"},
            {"Ampeg",                    2, "S7 S7"},
            {"Vintage Guitar Amps",     16, "S11 S11 S12 S12 S12 S13 - S1 S14 S14 S16 S15 S17 S1 - S1"},
            {"Hi-Fi",                   10, "- - - - - - - - - S9"},
            {"Vintage Integrated Amps",  7, "S8 S8 S8 S8 S8 S8 -"},
            {"Vintage Receivers",        2, "S8 S8"},
            {"Heathkit",                 3, "- - -"},
            {"RF Linears",               9, "- - - - - - - - -"},
            {"RF Transceivers",          6, "- - - - - -"},
        };
        // clang-format on
    }

    // Set name of every catalogue row, in list order.
    static QStringList expectedStageSets()
    {
        QStringList sets;
        for (const GroupExpectation& g : expectedGroups())
            sets += QString::fromLatin1(g.stageSets).split(QLatin1Char(' '));
        return sets;
    }

    // The chain of each set as the catalogue carries it (first row with that set name).
    static QMap<QString, QList<PreampStagePreset>> chainsBySetName()
    {
        QMap<QString, QList<PreampStagePreset>> chains;
        const QStringList sets = expectedStageSets();
        const QList<AmpPreset>& presets = ampPresets();
        for (int i = 0; i < sets.size() && i < presets.size(); ++i) {
            if (!chains.contains(sets.at(i)))
                chains.insert(sets.at(i), presets.at(i).preampStages);
        }
        return chains;
    }

    // Notes that are quoted from service literature word for word.
    static QMap<QString, QString> quotedNotes()
    {
        return {
            {"Champion 600 (5C1)", "Early single-ended champ with 6SJ7 pentode preamp. Cathode biased."},
            {"Tweed Vibrolux 5F11", "Fixed bias (-31V on the schematic) so the tremolo can wiggle it. No "
                                    "bias pot from the factory."},
            {"Deluxe Reverb", "Runs 6V6s hot from the factory - many techs bias to 70%."},
            {"Blues Junior",
             "Fixed bias with NO adjustment pot (~-10.7V grid); known to run hot. Adding a bias "
             "trimmer is a common mod."},
            {"AC30", "Cathode biased Class A - famously runs its EL84s past their 12 W rating, about 130% of "
                     "max at idle, so expect OVER MAX here."},
            {"Single Rectifier", "Fixed (non-adjustable) bias from factory - runs cold by design."},
            {"EVH 5150III 100W",
             "Internal bias trimmer with test points across a SHARED 1-ohm cathode resistor "
             "(1 mV = 1 mA total). Factory setting is ~20 mA/tube, cold by design for tube life."},
            {"Harmony H400",
             "Series-heater 'widowmaker' - NO power transformer, chassis can sit at line potential. Use an "
             "isolation transformer! Grid-leak biased, so there is no cathode resistor: use the OT "
             "voltage-drop "
             "method."},
            {"Dynaco ST-70", "Factory method: 1.56V across the 15.6 ohm bias resistor network."},
            {"Sherwood S-5000 II (7591)", "Fixed bias, no per-tube adjustment. Common mod: 10-ohm cathode "
                                          "sense resistors. Target ~30 mA/tube."},
            {"SB-200 / SB-201", "Grounded grid, ~2400V. Typical idle ~90-100 mA total (45-50 mA/tube)."},
            {"Yaesu FT-102",
             "Unusual THREE-tube final for 100W+ output; re-neutralize after tube replacement."},
        };
    }

private slots:
    void catalogueIsBuiltOnce()
    {
        const QList<AmpPreset>* first = &ampPresets();
        QCOMPARE(&ampPresets(), first);
        QCOMPARE(ampPresets().size(), 152);
    }

    void groupsAreContiguousAndInOrder()
    {
        // Walk the list run by run: each group must form exactly one run of the expected length, in
        // the expected order, because the selector inserts a heading wherever the group changes.
        QList<QPair<QString, int>> runs;
        for (const AmpPreset& p : ampPresets()) {
            if (runs.isEmpty() || runs.last().first != p.group)
                runs.append({p.group, 0});
            ++runs.last().second;
        }
        QList<QPair<QString, int>> expected;
        for (const GroupExpectation& g : expectedGroups())
            expected.append({QString::fromLatin1(g.group), g.count});
        QCOMPARE(runs, expected);
    }

    void namesAreUnique()
    {
        QSet<QString> seen;
        for (const AmpPreset& p : ampPresets()) {
            QVERIFY2(!p.name.isEmpty(), "every preset needs a name");
            QVERIFY2(p.name.trimmed() == p.name, qPrintable(context(p) + " has stray spaces in its name"));
            QVERIFY2(!seen.contains(p.name), qPrintable(context(p) + " appears twice"));
            seen.insert(p.name);
        }
    }

    void rowsResolveAgainstTheOtherCatalogues()
    {
        for (const AmpPreset& p : ampPresets()) {
            const TubeSpec* tube = findTube(p.tube);
            QVERIFY2(tube, qPrintable(context(p) + " names unknown tube \"" + p.tube + "\""));
            QVERIFY2(!tube->custom, qPrintable(context(p) + " must name a real tube, not the custom row"));
            const AmpClass* cls = findAmpClass(p.topology);
            QVERIFY2(cls, qPrintable(context(p) + " names unknown class \"" + p.topology + "\""));
            QVERIFY2(cls->methods.contains(p.biasMethod),
                     qPrintable(context(p) + QStringLiteral(": method %1 is not offered by \"%2\"")
                                                 .arg(p.biasMethod)
                                                 .arg(p.topology)));
            QVERIFY2(p.tubeCount >= 1 && p.tubeCount <= 6,
                     qPrintable(context(p) + QStringLiteral(": tube count %1 outside 1-6").arg(p.tubeCount)));
            QVERIFY2(p.plateV > 0, qPrintable(context(p) + " needs a plate voltage"));
        }
    }

    void tubeCountsMatchTheBuildingSteps()
    {
        // addPair and addQuad carry the bulk; addRow is only for the odd counts.
        int pairs = 0, quads = 0, others = 0;
        for (const AmpPreset& p : ampPresets()) {
            if (p.tubeCount == 2)
                ++pairs;
            else if (p.tubeCount == 4)
                ++quads;
            else
                ++others;
        }
        QCOMPARE(pairs, 81);
        QCOMPARE(quads, 54);
        QCOMPARE(others, 17);
    }

    void methodsFitTheKindOfAmplifier()
    {
        const QString rf = QStringLiteral("RF Linear (Class AB/B)");
        QStringList otDropRows, lowVoltageRows;
        for (const AmpPreset& p : ampPresets()) {
            // RF linears have no cathode resistor to read; their presets all use the panel meter and
            // no audio amplifier does.
            QVERIFY2((p.topology == rf) == (p.biasMethod == PanelMeter),
                     qPrintable(context(p) + ": RF class and panel-meter method must go together"));
            if (p.biasMethod == OtWindingDrop)
                otDropRows << p.name;
            if (p.plateV < 200)
                lowVoltageRows << p.name;
        }
        QCOMPARE(otDropRows, QStringList{QStringLiteral("Harmony H400")});
        QCOMPARE(lowVoltageRows, QStringList{QStringLiteral("Harmony H400")});
        const AmpPreset* h400 = findPreset(QStringLiteral("Harmony H400"));
        QVERIFY(h400);
        QCOMPARE(h400->plateV, 110.0);
    }

    void emptyNotes()
    {
        int empty = 0;
        for (const AmpPreset& p : ampPresets()) {
            if (p.note.isEmpty())
                ++empty;
        }
        QCOMPARE(empty, 50);
    }

    void quotedNotesAreExact_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("note");
        const QMap<QString, QString> notes = quotedNotes();
        for (auto it = notes.cbegin(); it != notes.cend(); ++it)
            QTest::addRow("%s", qPrintable(it.key())) << it.key() << it.value();
    }
    void quotedNotesAreExact()
    {
        QFETCH(QString, name);
        QFETCH(QString, note);
        const AmpPreset* p = findPreset(name);
        QVERIFY2(p, qPrintable("no preset named \"" + name + "\""));
        QCOMPARE(p->note, note);
    }

    void notesAgreeWithTheirRow()
    {
        // A cathode-biased stage has nothing to turn, so its note may not send the user to a bias pot
        // or claim fixed bias; a fixed-bias note may not call the stage cathode biased.
        const QRegularExpression adjuster(QStringLiteral("\\bpots?\\b|trim|fixed[ -]bias"),
                                          QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression selfBiased(QStringLiteral("cathode[ -]biased|self[ -]biased"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression idle(QStringLiteral("\\bidle\\b"),
                                      QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression idleOnMeter(QStringLiteral("idle plate current on the meter"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QString cathodeClass = QStringLiteral("Push-Pull Class AB (cathode bias)");
        const QString fixedClass = QStringLiteral("Push-Pull Class AB (fixed bias)");
        const QString rf = QStringLiteral("RF Linear (Class AB/B)");
        const QMap<QString, QString> quoted = quotedNotes();

        for (const AmpPreset& p : ampPresets()) {
            if (p.note.isEmpty())
                continue;
            const QString what = context(p) + ": \"" + p.note + "\"";
            QVERIFY2(p.note.trimmed() == p.note, qPrintable(what + " has stray spaces"));
            QVERIFY2(p.note.endsWith(QLatin1Char('.')) || p.note.endsWith(QLatin1Char('!')),
                     qPrintable(what + " should end as a sentence"));
            if (p.biasMethod == CathodeBias || p.topology == cathodeClass)
                QVERIFY2(!adjuster.match(p.note).hasMatch(),
                         qPrintable(what + " speaks of a bias adjustment"));
            if (p.topology == fixedClass)
                QVERIFY2(!selfBiased.match(p.note).hasMatch(),
                         qPrintable(what + " calls a fixed-bias amp cathode biased"));
            if (p.topology == rf) {
                // The FT-102's quoted text is about neutralising; every other RF note tells what idle
                // current to expect, and our own ones say where to read it.
                if (p.name != QLatin1String("Yaesu FT-102"))
                    QVERIFY2(idle.match(p.note).hasMatch(),
                             qPrintable(what + " does not mention the idle current"));
                if (!quoted.contains(p.name))
                    QVERIFY2(idleOnMeter.match(p.note).hasMatch(),
                             qPrintable(what + " should point to the idle plate current on the meter"));
            }
        }
    }

    void notesNameTheRowsOwnTubes()
    {
        // A note copied to the wrong row usually gives itself away by naming another tube type or
        // another number of tubes.
        const QStringList powerTubes = {"6V6",   "6L6",  "5881", "6550",   "KT66", "KT88",  "EL34",
                                        "7027A", "7591", "7868", "EL84",   "7189", "6973",  "6GW8",
                                        "50C5",  "811A", "572B", "3-500Z", "6146", "6JS6C", "300B"};
        // Notes may name the usual substitute of an uncommon tube.
        const QMap<QString, QString> substitute = {{"7027A", "6L6"}, {"7189", "EL84"}};
        const QList<QPair<QRegularExpression, int>> countWords = {
            {QRegularExpression("\\bsingle\\b", QRegularExpression::CaseInsensitiveOption), 1},
            {QRegularExpression("\\b(pair|both)\\b", QRegularExpression::CaseInsensitiveOption), 2},
            {QRegularExpression("\\bthree\\b", QRegularExpression::CaseInsensitiveOption), 3},
            {QRegularExpression("\\b(quad|four)\\b", QRegularExpression::CaseInsensitiveOption), 4},
            {QRegularExpression("\\bsix\\b", QRegularExpression::CaseInsensitiveOption), 6},
        };
        for (const AmpPreset& p : ampPresets()) {
            const QString what = context(p) + ": \"" + p.note + "\"";
            for (const QString& type : powerTubes) {
                if (p.note.contains(type) && !p.tube.contains(type))
                    QVERIFY2(substitute.value(p.tube) == type,
                             qPrintable(what + " names " + type + " but the row has " + p.tube));
            }
            for (const auto& [word, count] : countWords) {
                if (word.match(p.note).hasMatch())
                    QVERIFY2(p.tubeCount == count,
                             qPrintable(what + QStringLiteral(" speaks of %1 tube(s), the row has %2")
                                                   .arg(count)
                                                   .arg(p.tubeCount)));
            }
        }
    }

    void catalogueChainsFollowTheRules()
    {
        const QStringList sets = expectedStageSets();
        const QList<AmpPreset>& presets = ampPresets();
        QCOMPARE(sets.size(), presets.size());
        const QMap<QString, QList<PreampStagePreset>> chains = chainsBySetName();
        QCOMPARE(chains.size(), 18); // 17 sets and "none"
        for (int i = 0; i < presets.size(); ++i) {
            const AmpPreset& p = presets.at(i);
            const QString& set = sets.at(i);
            if (set == QLatin1String("-")) {
                QVERIFY2(p.preampStages.isEmpty(), qPrintable(context(p) + " should have no preamp stages"));
                continue;
            }
            QVERIFY2(!p.preampStages.isEmpty(), qPrintable(context(p) + " should have set " + set));
            for (auto it = chains.cbegin(); it != chains.cend(); ++it) {
                const bool same = sameChain(p.preampStages, it.value());
                QVERIFY2(same == (it.key() == set),
                         qPrintable(context(p) + (same ? " has the chain of set " : " differs from set ") +
                                    it.key() + ", expected set " + set));
            }
        }
    }

    void particularStages_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("stageCount");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("tube");
        QTest::addColumn<double>("bPlus");
        QTest::addColumn<double>("plateRK");
        QTest::addColumn<double>("cathodeR");
        QTest::addColumn<double>("bypassUF");
        QTest::addColumn<double>("nextGridRK");
        const QString ax7 = QStringLiteral("12AX7 / ECC83 / 7025");
        // clang-format off
        QTest::addRow("S4 first stage has a 330 uF bypass") << "JTM45" << 2 << 0 << ax7 << 325.0 << 100.0 << 820.0 << 330.0 << 1000.0;
        QTest::addRow("S4 second stage unbypassed")         << "JTM45" << 2 << 1 << ax7 << 325.0 << 100.0 << 820.0 << 0.0 << 470.0;
        QTest::addRow("tweed V1 is a 12AY7")                << "Tweed Deluxe 5E3" << 2 << 0 << "12AY7 / 6072" << 300.0 << 100.0 << 820.0 << 25.0 << 1000.0;
        QTest::addRow("5F11 gets the champ chain")          << "Tweed Vibrolux 5F11" << 2 << 1 << ax7 << 310.0 << 100.0 << 1500.0 << 25.0 << 1000.0;
        QTest::addRow("Thunderbolt has one stage")          << "Supro Thunderbolt S6420" << 1 << 0 << ax7 << 250.0 << 100.0 << 1500.0 << 0.0 << 1000.0;
        QTest::addRow("Dual-Tone has two stages")           << "Supro Dual-Tone S6424" << 2 << 1 << ax7 << 290.0 << 270.0 << 1500.0 << 25.0 << 1000.0;
        QTest::addRow("300B driver is a 6SN7")              << "SE 300B Monoblock" << 1 << 0 << "6SN7" << 300.0 << 47.0 << 1200.0 << 47.0 << 500.0;
        QTest::addRow("Kalamazoo Bass 30 uses 6EU7s")       << "Kalamazoo Bass 30" << 2 << 1 << "6EU7" << 250.0 << 220.0 << 2200.0 << 10.0 << 1000.0;
        QTest::addRow("receiver phono stage")               << "Fisher 800-C" << 1 << 0 << ax7 << 250.0 << 220.0 << 2200.0 << 0.0 << 500.0;
        QTest::addRow("Premier gets the Fender chain")      << "Premier Twin 8" << 2 << 1 << ax7 << 300.0 << 100.0 << 1500.0 << 25.0 << 1000.0;
        // clang-format on
    }
    void particularStages()
    {
        QFETCH(QString, preset);
        QFETCH(int, stageCount);
        QFETCH(int, stage);
        QFETCH(QString, tube);
        QFETCH(double, bPlus);
        QFETCH(double, plateRK);
        QFETCH(double, cathodeR);
        QFETCH(double, bypassUF);
        QFETCH(double, nextGridRK);
        const AmpPreset* p = findPreset(preset);
        QVERIFY2(p, qPrintable("no preset named \"" + preset + "\""));
        QCOMPARE(p->preampStages.size(), stageCount);
        const PreampStagePreset& s = p->preampStages.at(stage);
        QCOMPARE(s.tube, tube);
        QCOMPARE(s.bPlus, bPlus);
        QCOMPARE(s.plateRK, plateRK);
        QCOMPARE(s.cathodeR, cathodeR);
        QCOMPARE(s.bypassUF, bypassUF);
        QCOMPARE(s.nextGridRK, nextGridRK);
    }

    void stagesFitTheStageEditor()
    {
        // A preset's chain is loaded into the stage editors as it is: every tube must be in the triode
        // list and every value inside the editor's range and precision, or it would be silently changed.
        auto fits = [](double v, double lo, double hi, double step) {
            return v >= lo && v <= hi && qAbs(v / step - qRound(v / step)) < 1e-9;
        };
        for (const AmpPreset& p : ampPresets()) {
            for (int i = 0; i < p.preampStages.size(); ++i) {
                const PreampStagePreset& s = p.preampStages.at(i);
                const QString what = context(p) + QStringLiteral(" stage %1").arg(i);
                QVERIFY2(findTriode(s.tube), qPrintable(what + ": unknown triode \"" + s.tube + "\""));
                QVERIFY2(fits(s.bPlus, 50, 500, 1), qPrintable(what + ": B+ out of range"));
                QVERIFY2(fits(s.plateRK, 1, 1000, 1), qPrintable(what + ": plate resistor out of range"));
                QVERIFY2(fits(s.cathodeR, 100, 100000, 1),
                         qPrintable(what + ": cathode resistor out of range"));
                QVERIFY2(fits(s.bypassUF, 0, 1000, 0.1),
                         qPrintable(what + ": bypass capacitor out of range"));
                QVERIFY2(fits(s.nextGridRK, 0, 10000, 1),
                         qPrintable(what + ": next grid resistor out of range"));
            }
        }
    }

    void stageRulesOnFixtures_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expectedSet");
        // clang-format off
        QTest::addRow("Champion 600 wins over Champ")          << "Fender" << "Champion 600 Champ" << "-";
        QTest::addRow("Champ wins over Tweed")                 << "Fender" << "Tweed Champ" << "S3";
        QTest::addRow("5F11 wins over Tweed")                  << "Fender" << "Tweed 5F11" << "S3";
        QTest::addRow("5F6-A alone")                           << "Fender" << "Bassman 5F6-A" << "S2";
        QTest::addRow("name fragments are case-sensitive")     << "Fender" << "tweed champ" << "S1";
        QTest::addRow("any other Fender")                      << "Fender" << "Some Fender" << "S1";
        QTest::addRow("group is case-sensitive")               << "fender" << "Tweed Champ" << "-";
        QTest::addRow("group must match whole")                << "Fender Custom" << "Tweed Champ" << "-";
        QTest::addRow("Orange shares the Marshall chain")      << "Orange" << "Anything" << "S4";
        QTest::addRow("Peavey wins over Supro")                << "Other Guitar" << "Supro by Peavey" << "S6";
        QTest::addRow("Supro wins over Gibson")                << "Other Guitar" << "Gibson Supro" << "S10";
        QTest::addRow("Gibson gets none")                      << "Other Guitar" << "Gibson GA-5" << "-";
        QTest::addRow("any other guitar")                      << "Other Guitar" << "Hiwatt" << "S4";
        QTest::addRow("Silvertone 1448 wins over Silvertone")  << "Vintage Guitar Amps" << "Silvertone 1448X" << "S11";
        QTest::addRow("other Silvertone")                      << "Vintage Guitar Amps" << "Silvertone 1481" << "S12";
        QTest::addRow("Supro in the vintage group")            << "Vintage Guitar Amps" << "Supro Comet" << "S13";
        QTest::addRow("Kalamazoo Bass 30 wins over Kalamazoo") << "Vintage Guitar Amps" << "Kalamazoo Bass 30" << "S15";
        QTest::addRow("other Kalamazoo")                       << "Vintage Guitar Amps" << "Kalamazoo Bass 50" << "S16";
        QTest::addRow("Guild")                                 << "Vintage Guitar Amps" << "Guild Maverick" << "S1";
        QTest::addRow("other Gretsch gets none")               << "Vintage Guitar Amps" << "Gretsch 6161" << "-";
        QTest::addRow("SCA-35 in the receiver group")          << "Vintage Receivers" << "SCA-35 clone" << "-";
        QTest::addRow("other receiver")                        << "Vintage Receivers" << "Scott 340" << "S8";
        QTest::addRow("300B")                                  << "Hi-Fi" << "300B amp" << "S9";
        QTest::addRow("300b written in lower case")            << "Hi-Fi" << "300b amp" << "-";
        QTest::addRow("RF group ignores guitar names")         << "RF Linears" << "Fender Champ Tweed" << "-";
        QTest::addRow("empty group and name")                  << "" << "" << "-";
        // clang-format on
    }
    void stageRulesOnFixtures()
    {
        QFETCH(QString, group);
        QFETCH(QString, name);
        QFETCH(QString, expectedSet);
        QList<AmpPreset> list;
        addPair(list, group, name, QStringLiteral("6V6GT"), QStringLiteral("Push-Pull Class AB (fixed bias)"),
                BiasProbe, 400, QString());
        QVERIFY(list.first().preampStages.isEmpty());
        assignDefaultPreampStages(list);
        const QList<PreampStagePreset>& got = list.first().preampStages;
        if (expectedSet == QLatin1String("-")) {
            QVERIFY2(got.isEmpty(), qPrintable(QStringLiteral("expected no stages, got %1").arg(got.size())));
        } else {
            const QMap<QString, QList<PreampStagePreset>> chains = chainsBySetName();
            QVERIFY2(sameChain(got, chains.value(expectedSet)), qPrintable("expected set " + expectedSet));
        }
    }

    void existingChainsAreKept()
    {
        PreampStagePreset own;
        own.tube = QStringLiteral("12AU7 / ECC82");
        own.bPlus = 180;
        QList<AmpPreset> list;
        addQuad(list, QStringLiteral("Fender"), QStringLiteral("Twin Reverb"), QStringLiteral("6L6GC"),
                QStringLiteral("Push-Pull Class AB (fixed bias)"), BiasProbe, 460, QString());
        addRow(list, QStringLiteral("Fender"), QStringLiteral("Champ"), QStringLiteral("6V6GT"), 1,
               QStringLiteral("Single-Ended Class A"), CathodeBias, 360, QString());
        list[0].preampStages = {own};
        assignDefaultPreampStages(list);
        QCOMPARE(list.at(0).tubeCount, 4);
        QCOMPARE(list.at(1).tubeCount, 1);
        QVERIFY2(sameChain(list.at(0).preampStages, {own}),
                 "a preset that already has stages must keep them");
        QVERIFY2(sameChain(list.at(1).preampStages, chainsBySetName().value(QStringLiteral("S3"))),
                 "the preset without stages still gets its default");

        // Running the rules again over the finished catalogue changes nothing.
        QList<AmpPreset> again = ampPresets();
        assignDefaultPreampStages(again);
        for (int i = 0; i < again.size(); ++i)
            QVERIFY2(sameChain(again.at(i).preampStages, ampPresets().at(i).preampStages),
                     qPrintable(context(again.at(i)) + " changed on a second pass"));
    }
};

QTEST_GUILESS_MAIN(TestPresets)
#include "tst_presets.moc"

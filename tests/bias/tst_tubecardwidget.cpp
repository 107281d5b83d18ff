#include "bench/benchsession.h"
#include "bias/biasmethods.h"
#include "bias/biasstatus.h"
#include "bias/gaugewidget.h"
#include "bias/readingedit.h"
#include "bias/readingtext.h"
#include "bias/tubecardwidget.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(BiasStatus)

static const QString overMaxText = QStringLiteral("Over maximum plate dissipation - red-plating risk!");
static const QString smallDropText =
    QStringLiteral("Only 1.0 V between B+ and plate: 1 V off in either reading is 100 % of the current. "
                   "Measure the drop across the half-primary on a low range, to 0.01 V.");

// Counts the style's polish calls per widget, to see when the card asks for its status rules again.
class CountingStyle : public QProxyStyle
{
public:
    CountingStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void polish(QWidget* w) override
    {
        polished[w] += 1;
        QProxyStyle::polish(w);
    }
    using QProxyStyle::polish;
    QHash<const QWidget*, int> polished;
};

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(o, e);
    }
};

// Reads the card as the user sees it: its labels and fields, found by object name and form position.
struct CardView {
    explicit CardView(TubeCardWidget* card) : card(card)
    {
        form = card->findChild<QFormLayout*>();
        gauge = card->findChild<GaugeWidget*>();
        for (QLabel* l : card->findChildren<QLabel*>(QStringLiteral("resultValue"))) {
            if (l->text().endsWith(QStringLiteral("mA")))
                current = l;
            else
                dissipation = l;
        }
    }
    QString text(const char* objectName) const
    {
        const QLabel* l = card->findChild<QLabel*>(QString::fromLatin1(objectName));
        return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(objectName));
    }
    QLabel* label(int row) const
    {
        return qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
    }
    ReadingEdit* spin(int row) const
    {
        return qobject_cast<ReadingEdit*>(form->itemAt(row, QFormLayout::FieldRole)->widget());
    }
    QLabel* warning() const { return card->findChild<QLabel*>(QStringLiteral("warnLabel")); }
    QString status() const { return card->property("status").toString(); }
    void type(int row, const QString& keys) const
    {
        ReadingEdit* s = spin(row);
        s->setFocus();
        QTest::keyClicks(s, keys);
    }

    TubeCardWidget* card;
    QFormLayout* form = nullptr;
    GaugeWidget* gauge = nullptr;
    QLabel* current = nullptr;
    QLabel* dissipation = nullptr;
};

// A bench model with a card on its tube `index`: 6L6GC (30 W) in the fixed-bias class (ideal
// 60-70 %), bias probe, the plate voltage given.
struct CardBench {
    explicit CardBench(double plateV = 400, int index = 0, int tubes = 2)
    {
        session.setTube(QStringLiteral("6L6GC"));
        session.setTubeCount(tubes);
        session.setPlateV(plateV);
        card = std::make_unique<TubeCardWidget>(session, index);
    }
    // The method, through a class that offers it.
    void useMethod(int method)
    {
        if (!session.methods().contains(method))
            session.setAmpClass(method == PanelMeter ? QStringLiteral("RF Linear (Class AB/B)")
                                                     : QStringLiteral("Push-Pull Class AB (cathode bias)"));
        QVERIFY(session.setMethod(method));
    }
    // A custom tube of that rating.
    void useMaxW(double watts)
    {
        QVERIFY(session.setTube(QStringLiteral("Custom...")));
        session.setCustomMaxW(watts);
    }
    BiasResult result() const { return session.result(card->index()); }

    BenchSession session;
    std::unique_ptr<TubeCardWidget> card;
};

class TestTubeCardWidget : public QObject
{
    Q_OBJECT

private slots:
    void statusRules_data()
    {
        QTest::addColumn<BiasStatus>("status");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QColor>("glow");
        QTest::addRow("no reading") << BiasStatus::NoReading << "off"
                                    << "NO READING" << QColor(0x46, 0x42, 0x3c);
        QTest::addRow("cold") << BiasStatus::Cold << "cold"
                              << "COLD" << QColor(0x5f, 0x91, 0xd2);
        QTest::addRow("ideal") << BiasStatus::Ideal << "ideal"
                               << "IDEAL" << QColor(0x78, 0xc8, 0x6e);
        QTest::addRow("warm") << BiasStatus::Warm << "warm"
                              << "WARM" << QColor(0xe1, 0xa5, 0x3c);
        QTest::addRow("over max") << BiasStatus::OverMax << "hot"
                                  << "OVER MAX!" << QColor(0xd2, 0x3c, 0x2d);
    }
    void statusRules()
    {
        QFETCH(BiasStatus, status);
        QFETCH(QString, name);
        QFETCH(QString, badge);
        QFETCH(QColor, glow);
        QCOMPARE(biasStatusLook(status).statusName, name);
        QCOMPARE(biasStatusLook(status).badgeText, badge);
        QCOMPARE(biasStatusLook(status).glowColor, glow);
        // The glow of a card is the colour of the rating its "status" names.
        QCOMPARE(tubeCardGlow(QSizeF(100, 100), name).at(0).color.rgb(), glow.rgb());
    }

    void glowStrokes()
    {
        QCOMPARE(tubeCardGlow(QSizeF(250, 400), QStringLiteral("bogus")).at(0).color.rgb(),
                 QColor(0x46, 0x42, 0x3c).rgb());
        const QList<TubeCardGlowStroke> g = tubeCardGlow(QSizeF(250, 400), QStringLiteral("cold"));
        QCOMPARE(g.size(), 2);
        // Inner edge first, then the wider, fainter halo around it.
        QCOMPARE(g.at(0).rect, QRectF(1.5, 1.5, 247, 397));
        QCOMPARE(g.at(0).radius, 12.0);
        QCOMPARE(g.at(0).width, 2.5);
        QCOMPARE(g.at(0).color, QColor(0x5f, 0x91, 0xd2, 160));
        QCOMPARE(g.at(1).rect, QRectF(0.5, 0.5, 249, 399));
        QCOMPARE(g.at(1).radius, 13.0);
        QCOMPARE(g.at(1).width, 7.0);
        QCOMPARE(g.at(1).color, QColor(0x5f, 0x91, 0xd2, 40));
    }

    void newCard()
    {
        CardBench bench(400, 0, 3);
        TubeCardWidget& card = *bench.card;
        CardView v(&card);
        QCOMPARE(card.objectName(), QStringLiteral("tubeCard"));
        QCOMPARE(card.index(), 0);
        QCOMPARE(v.text("tubeTitle"), QStringLiteral("V1"));
        QCOMPARE(v.text("pctReadout"), QStringLiteral("--"));
        QVERIFY2(v.current && v.dissipation, "two result labels named resultValue");
        QCOMPARE(v.current->text(), QStringLiteral("-- mA"));
        QCOMPARE(v.dissipation->text(), QStringLiteral("-- W"));
        QCOMPARE(v.text("statusBadge"), QStringLiteral("NO READING"));
        QCOMPARE(v.status(), QStringLiteral("off"));
        QVERIFY2(v.warning()->isHidden(), "no warning on a new card");
        QVERIFY(v.warning()->wordWrap());
        QVERIFY(!bench.result().valid);
        QCOMPARE(card.meas1(), 0.0);
        QCOMPARE(card.meas2(), 0.0);
        QVERIFY2(v.gauge && v.gauge->targetValue() == 0.0, "the needle rests at 0");
        QCOMPARE(v.label(0)->text(), QStringLiteral("Cathode current"));
        QVERIFY2(v.label(1)->isHidden() && v.spin(1)->isHidden(),
                 "the second reading is hidden for the probe");
        QCOMPARE(v.spin(0)->field().suffix, QStringLiteral(" mA"));
        // An empty field: its unit and "no reading", nothing to type around.
        QCOMPARE(v.spin(0)->text(), QString());
        QCOMPARE(v.spin(0)->placeholderText(), QStringLiteral("mA · no reading"));

        TubeCardWidget third(bench.session, 2);
        QCOMPARE(CardView(&third).text("tubeTitle"), QStringLiteral("V3"));
        QCOMPARE(third.index(), 2);
    }

    void methodFields_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<bool>("secondRow");
        QTest::addRow("probe") << int(BiasProbe) << "Cathode current"
                               << " mA" << 1 << 0.5 << 999.0 << false;
        QTest::addRow("sense") << int(SenseResistor) << "V across sense R"
                               << " mV" << 1 << 5.0 << 9999.0 << false;
        QTest::addRow("winding") << int(OtWindingDrop) << "Plate voltage"
                                 << " V" << 1 << 1.0 << 5000.0 << true;
        QTest::addRow("cathode") << int(CathodeBias) << "Cathode voltage"
                                 << " V" << 2 << 0.5 << 500.0 << false;
        QTest::addRow("meter") << int(PanelMeter) << "Meter reading"
                               << " mA" << 0 << 5.0 << 2000.0 << false;
    }
    void methodFields()
    {
        QFETCH(int, method);
        QFETCH(QString, label);
        QFETCH(QString, suffix);
        QFETCH(int, decimals);
        QFETCH(double, step);
        QFETCH(double, maximum);
        QFETCH(bool, secondRow);

        // Arrive from another method so the fields really change.
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        bench.useMethod(method == PanelMeter ? OtWindingDrop : PanelMeter);
        bench.useMethod(method);
        // A meter that reads this tube alone has its reading on the card (the total is the setup's).
        if (method == PanelMeter)
            bench.session.setMeterReadsTotal(false);
        CardView v(&card);
        QCOMPARE(card.method(), method);
        QCOMPARE(v.label(0)->text(), label);
        QCOMPARE(v.spin(0)->field().suffix, suffix);
        QCOMPARE(v.spin(0)->field().decimals, decimals);
        QCOMPARE(v.spin(0)->field().step, step);
        QCOMPARE(v.spin(0)->field().maximum, maximum);
        QVERIFY(v.spin(0)->placeholderText().startsWith(suffix.trimmed()));
        QVERIFY2(v.spin(0)->isVisibleTo(&card) && v.label(0)->isVisibleTo(&card),
                 "the first reading is shown");
        QCOMPARE(v.spin(1)->isVisibleTo(&card), secondRow);
        QCOMPARE(v.label(1)->isVisibleTo(&card), secondRow);
        if (secondRow) {
            QCOMPARE(v.label(1)->text(), QStringLiteral("Half-primary DCR"));
            QCOMPARE(v.spin(1)->field().suffix, QStringLiteral(" Ω"));
            QCOMPARE(v.spin(1)->field().decimals, 1);
            QCOMPARE(v.spin(1)->field().step, 1.0);
            QCOMPARE(v.spin(1)->field().maximum, 999.0);
        }
        QCOMPARE(firstReadingField(method).label, label);
    }

    void refusedMethodLeavesTheFields()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        bench.useMethod(OtWindingDrop);
        card.setMeasurements(440, 100);
        CardView v(&card);
        // Neither a value outside the methods nor one the class does not offer reaches the card.
        QVERIFY(!bench.session.setMethod(9));
        QVERIFY(!bench.session.setMethod(PanelMeter));
        QCOMPARE(card.method(), int(OtWindingDrop));
        QCOMPARE(v.label(0)->text(), QStringLiteral("Plate voltage"));
        QVERIFY2(v.spin(1)->isVisibleTo(&card), "the second row is left as it was");
        QCOMPARE(card.meas1(), 440.0);
        QCOMPARE(card.meas2(), 100.0);
    }

    void probeExample_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pct");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("dissipation");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("status");
        QTest::addRow("40 mA is cold") << "40"
                                       << "53.3%"
                                       << "40.0 mA"
                                       << "16.0 W"
                                       << "COLD"
                                       << "cold";
        QTest::addRow("50 mA is ideal") << "50"
                                        << "66.7%"
                                        << "50.0 mA"
                                        << "20.0 W"
                                        << "IDEAL"
                                        << "ideal";
        QTest::addRow("upper window edge is ideal") << "52.5"
                                                    << "70.0%"
                                                    << "52.5 mA"
                                                    << "21.0 W"
                                                    << "IDEAL"
                                                    << "ideal";
        QTest::addRow("just above the window") << "53"
                                               << "70.7%"
                                               << "53.0 mA"
                                               << "21.2 W"
                                               << "WARM"
                                               << "warm";
        QTest::addRow("exactly 100%% is warm") << "75"
                                               << "100.0%"
                                               << "75.0 mA"
                                               << "30.0 W"
                                               << "WARM"
                                               << "warm";
        QTest::addRow("above 100%% is over max") << "75.5"
                                                 << "100.7%"
                                                 << "75.5 mA"
                                                 << "30.2 W"
                                                 << "OVER MAX!"
                                                 << "hot";
        QTest::addRow("zero is no reading") << "0"
                                            << "--"
                                            << "-- mA"
                                            << "-- W"
                                            << "NO READING"
                                            << "off";
    }
    void probeExample()
    {
        QFETCH(QString, typed);
        QFETCH(QString, pct);
        QFETCH(QString, current);
        QFETCH(QString, dissipation);
        QFETCH(QString, badge);
        QFETCH(QString, status);

        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        CardView v(&card);
        v.type(0, typed);
        QCOMPARE(v.text("pctReadout"), pct);
        QCOMPARE(v.current->text(), current);
        QCOMPARE(v.dissipation->text(), dissipation);
        QCOMPARE(v.text("statusBadge"), badge);
        QCOMPARE(v.status(), status);
        QCOMPARE(tubeCardGlow(card.size(), v.status()).at(0).color.rgb(),
                 biasStatusLook(biasStatusFromName(status)).glowColor.rgb());
        const bool over = status == QStringLiteral("hot");
        QCOMPARE(v.warning()->isVisibleTo(&card), over);
        if (over)
            QCOMPARE(v.warning()->text(), overMaxText);
        // The gauge follows the percentage, and rests at 0 without a reading.
        QCOMPARE(v.gauge->targetValue(), bench.result().valid ? bench.result().pctOfMax : 0.0);
    }

    void everyKeystrokeRecalculates()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        CardView v(&card);
        QSignalSpy spy(&bench.session, &BenchSession::tubeChanged);
        v.type(0, QStringLiteral("40"));
        QVERIFY2(spy.count() >= 2,
                 qPrintable(QStringLiteral("%1 recalculations for two keys").arg(spy.count())));
        QCOMPARE(spy.last().at(0).toInt(), 0);
        QCOMPARE(bench.session.reading(0).meas1, 40.0);
        QCOMPARE(bench.result().currentMa, 40.0);
        QCOMPARE(v.current->text(), QStringLiteral("40.0 mA"));
        QCOMPARE(card.meas1(), 40.0);
    }

    void warningClearsWhenTheReadingDrops()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        CardView v(&card);
        card.setMeasurements(80, 0);
        QVERIFY(!v.warning()->isHidden());
        card.setMeasurements(40, 0);
        QVERIFY2(v.warning()->isHidden(), "the over-maximum warning must go once the reading is safe");
        QVERIFY(bench.result().warning.isEmpty());
    }

    void meterTotalShowsTheShare()
    {
        CardBench bench(400, 0, 4);
        TubeCardWidget& card = *bench.card;
        bench.useMethod(PanelMeter);
        bench.useMaxW(100);
        bench.session.setPlateV(400);
        CardView v(&card);
        // The total is entered once in the setup: the card shows its share instead of a field.
        QVERIFY(!v.spin(0)->isVisibleTo(&card));
        QVERIFY(card.shareNote()->isVisibleTo(&card));
        QCOMPARE(card.shareNote()->text(), QStringLiteral("Enter the meter total in the setup"));
        bench.session.setMeterTotalMa(180);
        QCOMPARE(card.shareNote()->text(), QStringLiteral("Share of the 180 mA total"));
        QCOMPARE(v.current->text(), QStringLiteral("45.0 mA"));
        bench.session.setMeterReadsTotal(false);
        QVERIFY(v.spin(0)->isVisibleTo(&card));
        QVERIFY(!card.shareNote()->isVisibleTo(&card));
        QCOMPARE(v.current->text(), QStringLiteral("-- mA"));
    }

    void screenAndOwnSenseFieldsOnTheCard()
    {
        CardBench bench(400, 0, 2);
        TubeCardWidget& card = *bench.card;
        bench.useMethod(SenseResistor);
        bench.useMaxW(100);
        bench.session.setPlateV(400);
        bench.session.setSenseResistorOhms(1);
        CardView v(&card);
        QVERIFY(!v.spin(1)->isVisibleTo(&card));
        QVERIFY(!card.readingField(2)->isVisibleTo(&card));
        // A resistor of the tube's own is its second reading.
        bench.session.setSenseRPerTube(true);
        QVERIFY(v.spin(1)->isVisibleTo(&card));
        QCOMPARE(v.label(1)->text(), QStringLiteral("Own sense R"));
        QCOMPARE(v.spin(1)->field().decimals, 3);
        card.setMeasurements(50.6, 1.012);
        QCOMPARE(v.current->text(), QStringLiteral("50.0 mA"));
        // A measured screen current: two more fields, typed as the readings are.
        bench.session.setSubtractScreen(true);
        bench.session.setScreenMeasured(true);
        QVERIFY(card.readingField(2)->isVisibleTo(&card));
        QVERIFY(card.readingField(3)->isVisibleTo(&card));
        QCOMPARE(v.current->text(), QStringLiteral("-- mA"));
        card.readingField(2)->enter(QStringLiteral("2.35"));
        card.readingField(3)->enter(QStringLiteral("470"));
        QCOMPARE(bench.session.reading(0).screenOhms, 470.0);
        QCOMPARE(v.current->text(), QStringLiteral("45.0 mA"));
    }

    void smallDropWarningOnTheCard()
    {
        CardBench bench(0);
        TubeCardWidget& card = *bench.card;
        bench.session.setBPlusV(450);
        bench.useMethod(OtWindingDrop);
        CardView v(&card);
        QVERIFY2(v.spin(1)->isVisibleTo(&card), "the DCR field appears for the winding method");
        // Without the tube's plate voltage there is no drop to judge yet.
        card.setMeasurements(0, 20);
        QCOMPARE(v.text("statusBadge"), QStringLiteral("NO READING"));
        QCOMPARE(v.status(), QStringLiteral("off"));
        QVERIFY(v.warning()->isHidden());

        // One volt between B+ and plate: the reading is shown, with what its precision allows.
        card.setMeasurements(449, 20);
        QVERIFY(bench.result().valid);
        QCOMPARE(v.current->text(), QStringLiteral("50.0 mA"));
        QVERIFY(!v.warning()->isHidden());
        QCOMPARE(v.warning()->text(), smallDropText);

        // Read directly across the winding, the drop asks for the shared plate voltage instead.
        bench.session.setOtDropDirect(true);
        bench.session.setPlateV(449);
        QCOMPARE(v.label(0)->text(), QStringLiteral("Drop across half-primary"));
        card.setMeasurements(1, 20);
        QCOMPARE(v.current->text(), QStringLiteral("50.0 mA"));
        QVERIFY(v.warning()->isHidden());
    }

    void sharedValuesReachTheCalculation_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<bool>("sharedCathodeR");
        QTest::addColumn<bool>("subtractScreen");
        QTest::addColumn<bool>("meterTotal");
        QTest::addColumn<int>("tubes");
        QTest::addColumn<double>("senseOhms");
        QTest::addColumn<double>("cathodeOhms");
        QTest::addColumn<double>("meas1");
        QTest::addColumn<double>("currentMa");
        QTest::addRow("probe minus screen")
            << int(BiasProbe) << false << true << false << 2 << 1.0 << 250.0 << 40.0 << 38.0;
        QTest::addRow("sense over 10 ohm")
            << int(SenseResistor) << false << false << false << 2 << 10.0 << 250.0 << 400.0 << 40.0;
        QTest::addRow("cathode shared pair")
            << int(CathodeBias) << true << false << false << 2 << 1.0 << 250.0 << 25.0 << 50.0;
        QTest::addRow("cathode own resistor")
            << int(CathodeBias) << false << false << false << 2 << 1.0 << 250.0 << 25.0 << 100.0;
        QTest::addRow("meter total of four")
            << int(PanelMeter) << false << true << true << 4 << 1.0 << 250.0 << 200.0 << 50.0;
        QTest::addRow("meter per tube")
            << int(PanelMeter) << false << false << false << 4 << 1.0 << 250.0 << 200.0 << 200.0;
    }
    void sharedValuesReachTheCalculation()
    {
        QFETCH(int, method);
        QFETCH(bool, sharedCathodeR);
        QFETCH(bool, subtractScreen);
        QFETCH(bool, meterTotal);
        QFETCH(int, tubes);
        QFETCH(double, senseOhms);
        QFETCH(double, cathodeOhms);
        QFETCH(double, meas1);
        QFETCH(double, currentMa);
        CardBench bench(400, 0, tubes);
        bench.useMethod(method);
        bench.useMaxW(100);
        bench.session.setPlateV(400);
        bench.session.setSharedCathodeR(sharedCathodeR);
        bench.session.setSubtractScreen(subtractScreen);
        bench.session.setMeterReadsTotal(meterTotal);
        bench.session.setSenseResistorOhms(senseOhms);
        bench.session.setCathodeResistorOhms(cathodeOhms);
        bench.card->setMeasurements(meas1, 0);
        if (method == PanelMeter && meterTotal)
            bench.session.setMeterTotalMa(meas1); // one entry for the whole amplifier
        const BiasResult r = bench.result();
        QVERIFY(r.valid);
        QVERIFY2(std::abs(r.currentMa - currentMa) < 1e-9,
                 qPrintable(QStringLiteral("%1 mA, expected %2").arg(r.currentMa).arg(currentMa)));
        QCOMPARE(CardView(bench.card.get()).current->text(), QString::number(currentMa, 'f', 1) + " mA");
    }

    void modelChangesReachTheCard()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.setMeasurements(40, 0);
        QSignalSpy spy(&bench.session, &BenchSession::tubeChanged);

        QVERIFY(bench.session.setMethod(BiasProbe)); // unchanged: nothing happens
        QCOMPARE(spy.count(), 0);

        // A new maximum and a new ideal window change the read-outs and the rating at once.
        bench.useMaxW(20); // 16 W of 20 W
        QCOMPARE(CardView(&card).text("pctReadout"), QStringLiteral("80.0%"));
        QCOMPARE(CardView(&card).text("statusBadge"), QStringLiteral("WARM"));
        QVERIFY(bench.session.setAmpClass(QStringLiteral("Push-Pull Class AB (cathode bias)"))); // 80-95 %
        QCOMPARE(CardView(&card).text("statusBadge"), QStringLiteral("IDEAL"));
        QCOMPARE(CardView(&card).gauge->idealLow(), 80.0);
        QCOMPARE(CardView(&card).gauge->idealHigh(), 95.0);

        QVERIFY(bench.session.setMethod(SenseResistor));
        QCOMPARE(card.method(), int(SenseResistor));
        // The sense method has readings of its own.
        QCOMPARE(card.meas1(), 0.0);
        card.setMeasurements(40, 0);
        QCOMPARE(bench.result().currentMa, 40.0); // 40 mV over the default 1 ohm
        QCOMPARE(CardView(&card).current->text(), QStringLiteral("40.0 mA"));

        // The second field is hidden but its value is still the tube's reading.
        spy.clear();
        card.setMeasurements(41, 3);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(bench.session.reading(0).meas1, 41.0);
        QCOMPARE(bench.session.reading(0).meas2, 3.0);
        card.setMeasurements(41, 3);
        QCOMPARE(spy.count(), 2);

        // A reading set on the model shows in the fields; the other tube's card is not touched.
        TubeCardWidget second(bench.session, 1);
        QVERIFY(bench.session.setMeas1(0, 55));
        QCOMPARE(card.meas1(), 55.0);
        QCOMPARE(second.meas1(), 0.0);
    }

    void methodChangeShowsTheMethodsOwnReading_data()
    {
        QTest::addColumn<double>("typed");
        QTest::addColumn<int>("newMethod");
        QTest::addRow("probe to cathode voltage") << 40.5 << int(CathodeBias);
        QTest::addRow("probe to the panel meter") << 12.4 << int(PanelMeter);
    }
    void methodChangeShowsTheMethodsOwnReading()
    {
        QFETCH(double, typed);
        QFETCH(int, newMethod);
        CardBench bench;
        bench.card->setMeasurements(typed, 0);
        CardView v(bench.card.get());
        bench.useMethod(newMethod);
        // The other quantity's number is not shown as this one's: the field is empty, no reading.
        QCOMPARE(v.spin(0)->text(), QString());
        QCOMPARE(bench.card->meas1(), 0.0);
        QVERIFY(!bench.result().valid);
        bench.useMethod(BiasProbe);
        QCOMPARE(bench.card->meas1(), typed);
        QCOMPARE(v.spin(0)->text(), readingDisplayText(typed, firstReadingField(BiasProbe)));
    }

    void repolishOnlyWhenStatusChanges()
    {
        auto style = std::make_unique<CountingStyle>();
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.setStyle(style.get());
        QLabel* badge = card.findChild<QLabel*>(QStringLiteral("statusBadge"));
        style->polished.clear();

        card.setMeasurements(40, 0); // off -> cold
        QCOMPARE(style->polished.value(&card), 1);
        QCOMPARE(style->polished.value(badge), 1);

        card.setMeasurements(41, 0); // still cold
        bench.session.setPlateV(401);
        QCOMPARE(style->polished.value(&card), 1);
        QCOMPARE(style->polished.value(badge), 1);

        card.setMeasurements(50, 0); // cold -> ideal
        QCOMPARE(style->polished.value(&card), 2);
        QCOMPARE(style->polished.value(badge), 2);
        QCOMPARE(card.property("status").toString(), QStringLiteral("ideal"));
    }

    void repaintsOnEveryNewResult()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.resize(260, 420);
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        card.setMeasurements(40, 0);
        // A blinking text cursor would repaint the card too: take the focus away, put the needle at the
        // end of its move and let every paint already asked for happen.
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        auto* gauge = card.findChild<GaugeWidget*>();
        QVERIFY(gauge);
        QVariantAnimation& move = gauge->needleAnimation();
        move.setCurrentTime(move.duration());
        QCOMPARE(move.state(), QAbstractAnimation::Stopped);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        PaintCounter counter;
        card.installEventFilter(&counter);
        QCoreApplication::processEvents();
        QVERIFY2(counter.paints == 0, "the card must be at rest before the recalculation");
        bench.session.setPlateV(401); // a new current, the rating stays: no re-polish, still a repaint
        QCOMPARE(card.property("status").toString(), QStringLiteral("cold"));
        QTRY_VERIFY2(counter.paints > 0, "a new result with the same rating must still repaint the card");
    }

    void glowIsPaintedInTheStatusColour()
    {
        CardBench bench;
        TubeCardWidget& card = *bench.card;
        card.resize(260, 420);
        card.setMeasurements(80, 0); // over maximum: red glow
        QImage img(card.size(), QImage::Format_ARGB32);
        img.fill(Qt::black);
        card.render(&img);
        // Half way down the left edge lies on the inner edge line.
        const QColor edge = img.pixelColor(2, card.height() / 2);
        QVERIFY2(edge.red() > edge.blue() + 60 && edge.red() > edge.green() + 60,
                 qPrintable(QStringLiteral("edge colour %1 is not red").arg(edge.name())));

        card.setMeasurements(40, 0); // cold: blue glow
        img.fill(Qt::black);
        card.render(&img);
        const QColor cold = img.pixelColor(2, card.height() / 2);
        QVERIFY2(cold.blue() > cold.red() + 40,
                 qPrintable(QStringLiteral("edge colour %1 is not blue").arg(cold.name())));
    }
};

QTEST_MAIN(TestTubeCardWidget)
#include "tst_tubecardwidget.moc"

#include "bias/gaugewidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/triodes.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

static const QString firstTube = QStringLiteral("12AX7 / ECC83 / 7025");
static const QString cutOffError =
    QStringLiteral("Stage is effectively cut off - check B+, RL and Rk values");

// Puts the card into the 12AX7 cut-off case: 50 V through 1 MΩ with 100 kΩ of bias.
static void starve(PreampStageWidget& card)
{
    QJsonObject stage;
    stage.insert("tube", firstTube);
    stage.insert("bPlus", 50);
    stage.insert("plateRK", 1000);
    stage.insert("cathodeR", 100000);
    card.fromJson(stage);
}

class TestPreampStageWidget : public QObject
{
    Q_OBJECT

private slots:
    void newCardReadouts();
    void inputRanges_data();
    void inputRanges();
    void titles_data();
    void titles();
    void unbypassedCathode();
    void noNextGrid();
    void changingTheTubeResolves();
    void warningsJoinedAndCleared();
    void failingStage();
    void toJsonOfANewCard();
    void fromJson_data();
    void fromJson();
    void fromJsonIgnoresUnknownTubeAndKeys();
    void fromJsonKeepsSignalBlocking();
    void removeButtonAsksTheChain();
};

void TestPreampStageWidget::newCardReadouts()
{
    PreampStageWidget card(0, nullptr);

    QCOMPARE(card.objectName(), QString("tubeCard"));
    QCOMPARE(card.width(), 280);
    QCOMPARE(card.titleLabel()->text(), QString("V1a"));
    QCOMPARE(card.titleLabel()->objectName(), QString("tubeTitle"));
    QCOMPARE(card.tubeName(), firstTube);
    QCOMPARE(card.tubeBox()->count(), int(triodeCatalogue().size()));
    QVERIFY(!card.tubeBox()->isEditable());
    for (int i = 0; i < card.tubeBox()->count(); ++i)
        QCOMPARE(card.tubeBox()->itemText(i), triodeCatalogue().at(i).name);

    QVERIFY(card.isValid());
    QVERIFY2(qAbs(card.gainDb() - 35.4551) < 5e-4, qPrintable(QString::number(card.gainDb(), 'g', 10)));
    QCOMPARE(card.gainLabel()->text(), QString("×59.3  (35.5 dB)"));
    QCOMPARE(card.operatingPointLabel()->text(), QString("1.02 mA · 197 V plate · Vk 1.52 V"));
    QCOMPARE(card.impedanceLabel()->text(),
             QString("Zout ≈ 38.5 kΩ · headroom ±1.52 V pk · bypass corner 8 Hz"));
    QVERIFY2(card.warningLabel()->isHidden(), "a sound stage shows no warning");
    QCOMPARE(card.property("status").toString(), QString("good"));

    QCOMPARE(card.gainLabel()->objectName(), QString("gainReadout"));
    QCOMPARE(card.operatingPointLabel()->objectName(), QString("opReadout"));
    QCOMPARE(card.impedanceLabel()->objectName(), QString("topologyNote"));
    QCOMPARE(card.warningLabel()->objectName(), QString("warnLabel"));
    QCOMPARE(card.removeButton()->objectName(), QString("headerBtn"));
    QCOMPARE(card.removeButton()->text(), QString("✕"));
    QCOMPARE(card.removeButton()->toolTip(), QString("Remove this stage"));

    // The gauge rates dissipation against a 10-60 % window and heads for 16.7 % of 1.2 W.
    QCOMPARE(card.gaugeWidget()->idealLow(), 10.0);
    QCOMPARE(card.gaugeWidget()->idealHigh(), 60.0);
    QVERIFY2(qAbs(card.gaugeWidget()->targetValue() - 16.661) < 1e-3,
             qPrintable(QString::number(card.gaugeWidget()->targetValue())));
}

void TestPreampStageWidget::inputRanges_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("special");

    QTest::addRow("supply") << "supply" << 50.0 << 500.0 << 300.0 << " V" << 0 << 5.0 << "";
    QTest::addRow("plate") << "plate" << 1.0 << 1000.0 << 100.0 << " kΩ" << 0 << 10.0 << "";
    QTest::addRow("cathode") << "cathode" << 100.0 << 100000.0 << 1500.0 << " Ω" << 0 << 100.0 << "";
    QTest::addRow("bypass") << "bypass" << 0.0 << 1000.0 << 25.0 << " µF" << 1 << 1.0 << "none";
    QTest::addRow("next grid") << "nextGrid" << 0.0 << 10000.0 << 1000.0 << " kΩ" << 0 << 100.0 << "none";
}

void TestPreampStageWidget::inputRanges()
{
    QFETCH(QString, box);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, value);
    QFETCH(QString, suffix);
    QFETCH(int, decimals);
    QFETCH(double, step);
    QFETCH(QString, special);

    PreampStageWidget card(0, nullptr);
    QDoubleSpinBox* spin = box == "supply"    ? card.supplyBox()
                           : box == "plate"   ? card.plateBox()
                           : box == "cathode" ? card.cathodeBox()
                           : box == "bypass"  ? card.bypassBox()
                                              : card.nextGridBox();
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->maximum(), maximum);
    QCOMPARE(spin->value(), value);
    QCOMPARE(spin->suffix(), suffix);
    QCOMPARE(spin->decimals(), decimals);
    QCOMPARE(spin->singleStep(), step);
    QCOMPARE(spin->specialValueText(), special);
}

void TestPreampStageWidget::titles_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");

    QTest::addRow("first") << 0 << "V1a";
    QTest::addRow("second half of the first bottle") << 1 << "V1b";
    QTest::addRow("second bottle") << 2 << "V2a";
    QTest::addRow("eighth stage") << 7 << "V4b";
    QTest::addRow("tenth bottle") << 19 << "V10b";
}

void TestPreampStageWidget::titles()
{
    QFETCH(int, index);
    QFETCH(QString, title);

    PreampStageWidget built(index, nullptr);
    QCOMPARE(built.titleLabel()->text(), title);
    QCOMPARE(built.index(), index);

    PreampStageWidget renumbered(0, nullptr);
    renumbered.setIndex(index);
    QCOMPARE(renumbered.titleLabel()->text(), title);
    QCOMPARE(renumbered.index(), index);
}

void TestPreampStageWidget::unbypassedCathode()
{
    PreampStageWidget card(0, nullptr);
    QSignalSpy changed(&card, &PreampStageWidget::changed);

    card.bypassBox()->setFocus();
    card.bypassBox()->selectAll();
    QTest::keyClicks(card.bypassBox(), "0");
    QTest::keyClick(card.bypassBox(), Qt::Key_Enter);

    QCOMPARE(card.bypassBox()->value(), 0.0);
    QCOMPARE(card.bypassBox()->text(), QString("none"));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(card.gainLabel()->text(), QString("×29.8  (29.5 dB)"));
    QCOMPARE(card.impedanceLabel()->text(), QString("Zout ≈ 68.2 kΩ · headroom ±1.52 V pk"));
    // The operating point does not depend on the bypass capacitor.
    QCOMPARE(card.operatingPointLabel()->text(), QString("1.02 mA · 197 V plate · Vk 1.52 V"));
}

void TestPreampStageWidget::noNextGrid()
{
    PreampStageWidget card(0, nullptr);
    QSignalSpy changed(&card, &PreampStageWidget::changed);
    card.nextGridBox()->setValue(0);

    QCOMPARE(changed.count(), 1);
    QCOMPARE(card.nextGridBox()->text(), QString("none"));
    QCOMPARE(card.gainLabel()->text(), QString("×61.5  (35.8 dB)"));
    QCOMPARE(card.impedanceLabel()->text(),
             QString("Zout ≈ 38.5 kΩ · headroom ±1.52 V pk · bypass corner 8 Hz"));
}

void TestPreampStageWidget::changingTheTubeResolves()
{
    PreampStageWidget card(0, nullptr);
    QSignalSpy changed(&card, &PreampStageWidget::changed);
    card.tubeBox()->setCurrentIndex(triodeIndex("6SN7"));

    QCOMPARE(changed.count(), 1);
    QCOMPARE(card.tubeName(), QString("6SN7"));
    // 6SN7, µ 20, from 300 V through 100 kΩ: 2.03 mA, gain ×18.4 (25.3 dB).
    QCOMPARE(card.gainLabel()->text(), QString("×18.4  (25.3 dB)"));
    QCOMPARE(card.operatingPointLabel()->text(), QString("2.03 mA · 94 V plate · Vk 3.04 V"));
    QVERIFY(qAbs(card.gainDb() - 25.3144) < 5e-4);
}

void TestPreampStageWidget::warningsJoinedAndCleared()
{
    PreampStageWidget card(0, nullptr);
    card.tubeBox()->setCurrentIndex(triodeIndex("12AT7 / ECC81"));
    card.supplyBox()->setValue(500);
    card.plateBox()->setValue(1);
    card.cathodeBox()->setValue(100);

    QVERIFY2(card.isValid(), "warnings do not make the stage invalid");
    QCOMPARE(card.warningLabel()->text(),
             QString("Plate dissipation exceeds the tube's maximum! Plate voltage exceeds 300 V maximum"));
    QVERIFY(!card.warningLabel()->isHidden());
    QCOMPARE(card.property("status").toString(), QString("danger"));
    QVERIFY(card.gainLabel()->text() != "--");

    card.fromJson(QJsonObject());
    QVERIFY2(card.warningLabel()->isHidden(), "the warning goes when the stage is sound again");
    QCOMPARE(card.property("status").toString(), QString("good"));
}

void TestPreampStageWidget::failingStage()
{
    PreampStageWidget card(1, nullptr);
    QSignalSpy changed(&card, &PreampStageWidget::changed);
    starve(card);

    QCOMPARE(changed.count(), 1);
    QVERIFY(!card.isValid());
    QCOMPARE(card.gainDb(), 0.0);
    QCOMPARE(card.gainLabel()->text(), QString("--"));
    QVERIFY(card.operatingPointLabel()->text().isEmpty());
    QVERIFY(card.impedanceLabel()->text().isEmpty());
    QCOMPARE(card.warningLabel()->text(), cutOffError);
    QVERIFY(!card.warningLabel()->isHidden());
    QCOMPARE(card.property("status").toString(), QString("danger"));
    QCOMPARE(card.gaugeWidget()->targetValue(), 0.0);

    card.supplyBox()->setValue(300);
    QVERIFY(card.isValid());
    QVERIFY(card.gainDb() > 0);
    QVERIFY(card.warningLabel()->isHidden());
}

void TestPreampStageWidget::toJsonOfANewCard()
{
    PreampStageWidget card(0, nullptr);
    const QJsonObject o = card.toJson();

    QCOMPARE(o.keys().size(), 6);
    QCOMPARE(o.value("tube").toString(), firstTube);
    QCOMPARE(o.value("bPlus").toDouble(), 300.0);
    QCOMPARE(o.value("plateRK").toDouble(), 100.0);
    QCOMPARE(o.value("cathodeR").toDouble(), 1500.0);
    QCOMPARE(o.value("bypassUF").toDouble(), 25.0);
    QCOMPARE(o.value("nextGridRK").toDouble(), 1000.0);
    for (const QString& key : o.keys())
        QVERIFY2(key == "tube" || o.value(key).isDouble(), qPrintable(key + " should be a JSON number"));
}

void TestPreampStageWidget::fromJson_data()
{
    QTest::addColumn<QJsonObject>("stage");
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("bPlus");
    QTest::addColumn<double>("plateRK");
    QTest::addColumn<double>("cathodeR");
    QTest::addColumn<double>("bypassUF");
    QTest::addColumn<double>("nextGridRK");

    // Every card starts from 12AY7, 250 V, 220 kΩ, 2700 Ω, 0.7 µF, 470 kΩ before fromJson.
    const QString start = "12AY7 / 6072";
    QTest::addRow("empty object keeps the tube, defaults the values")
        << QJsonObject() << start << 300.0 << 100.0 << 1500.0 << 25.0 << 1000.0;
    QTest::addRow("tube by name") << QJsonObject{{"tube", "6SN7"}} << "6SN7" << 300.0 << 100.0 << 1500.0
                                  << 25.0 << 1000.0;
    QTest::addRow("full object") << QJsonObject{{"tube", "12AU7 / ECC82"}, {"bPlus", 250},  {"plateRK", 47},
                                                {"cathodeR", 820},         {"bypassUF", 0}, {"nextGridRK", 0}}
                                 << "12AU7 / ECC82" << 250.0 << 47.0 << 820.0 << 0.0 << 0.0;
    QTest::addRow("above the ranges") << QJsonObject{{"bPlus", 900},
                                                     {"plateRK", 5000},
                                                     {"cathodeR", 1e6},
                                                     {"bypassUF", 4700},
                                                     {"nextGridRK", 22000}}
                                      << start << 500.0 << 1000.0 << 100000.0 << 1000.0 << 10000.0;
    QTest::addRow("below the ranges")
        << QJsonObject{{"bPlus", 10}, {"plateRK", 0}, {"cathodeR", 0}, {"bypassUF", -5}, {"nextGridRK", -1}}
        << start << 50.0 << 1.0 << 100.0 << 0.0 << 0.0;
    QTest::addRow("values that are not numbers") << QJsonObject{{"bPlus", "250"},
                                                                {"plateRK", true},
                                                                {"cathodeR", QJsonValue()},
                                                                {"bypassUF", QJsonArray()},
                                                                {"nextGridRK", QJsonObject()}}
                                                 << start << 300.0 << 100.0 << 1500.0 << 25.0 << 1000.0;
    QTest::addRow("decimals follow the boxes") << QJsonObject{{"bPlus", 299.6}, {"bypassUF", 0.47}} << start
                                               << 300.0 << 100.0 << 1500.0 << 0.5 << 1000.0;
}

void TestPreampStageWidget::fromJson()
{
    QFETCH(QJsonObject, stage);
    QFETCH(QString, tube);
    QFETCH(double, bPlus);
    QFETCH(double, plateRK);
    QFETCH(double, cathodeR);
    QFETCH(double, bypassUF);
    QFETCH(double, nextGridRK);

    PreampStageWidget card(0, nullptr);
    card.tubeBox()->setCurrentIndex(triodeIndex("12AY7 / 6072"));
    card.supplyBox()->setValue(250);
    card.plateBox()->setValue(220);
    card.cathodeBox()->setValue(2700);
    card.bypassBox()->setValue(0.7);
    card.nextGridBox()->setValue(470);

    QSignalSpy changed(&card, &PreampStageWidget::changed);
    card.fromJson(stage);

    QCOMPARE(changed.count(), 1);
    QCOMPARE(card.tubeName(), tube);
    QCOMPARE(card.supplyBox()->value(), bPlus);
    QCOMPARE(card.plateBox()->value(), plateRK);
    QCOMPARE(card.cathodeBox()->value(), cathodeR);
    QCOMPARE(card.bypassBox()->value(), bypassUF);
    QCOMPARE(card.nextGridBox()->value(), nextGridRK);

    // The readouts are those of the restored inputs: a fresh card given the same values agrees.
    PreampStageWidget fresh(0, nullptr);
    fresh.tubeBox()->setCurrentIndex(triodeIndex(tube));
    fresh.supplyBox()->setValue(bPlus);
    fresh.plateBox()->setValue(plateRK);
    fresh.cathodeBox()->setValue(cathodeR);
    fresh.bypassBox()->setValue(bypassUF);
    fresh.nextGridBox()->setValue(nextGridRK);
    QCOMPARE(card.gainLabel()->text(), fresh.gainLabel()->text());
    QCOMPARE(card.impedanceLabel()->text(), fresh.impedanceLabel()->text());
    QCOMPARE(card.isValid(), fresh.isValid());
    QCOMPARE(card.toJson(), fresh.toJson());
}

void TestPreampStageWidget::fromJsonIgnoresUnknownTubeAndKeys()
{
    PreampStageWidget card(0, nullptr);
    card.tubeBox()->setCurrentIndex(triodeIndex("6SL7"));
    card.fromJson(QJsonObject{{"tube", "12AX7"}, {"bPlus", 200}, {"colour", "red"}});
    QCOMPARE(card.tubeName(), QString("6SL7"));
    QCOMPARE(card.supplyBox()->value(), 200.0);
    QCOMPARE(card.toJson().keys().size(), 6);

    card.fromJson(QJsonObject{{"tube", 8}});
    QCOMPARE(card.tubeName(), QString("6SL7"));
}

void TestPreampStageWidget::fromJsonKeepsSignalBlocking()
{
    PreampStageWidget card(0, nullptr);
    card.plateBox()->blockSignals(true);
    card.fromJson(QJsonObject{{"plateRK", 47}});
    QVERIFY2(card.plateBox()->signalsBlocked(), "a box blocked before stays blocked");
    QVERIFY2(!card.supplyBox()->signalsBlocked() && !card.tubeBox()->signalsBlocked(),
             "the other inputs listen again");
    card.plateBox()->blockSignals(false);

    QSignalSpy changed(&card, &PreampStageWidget::changed);
    card.supplyBox()->setValue(250);
    card.tubeBox()->setCurrentIndex(2);
    QCOMPARE(changed.count(), 2);
}

void TestPreampStageWidget::removeButtonAsksTheChain()
{
    auto* card = new PreampStageWidget(3, nullptr);
    QPointer<PreampStageWidget> guard(card);
    QSignalSpy removeRequested(card, &PreampStageWidget::removeRequested);
    QTest::mouseClick(card->removeButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(removeRequested.count(), 1);
    QCOMPARE(removeRequested.at(0).at(0).value<PreampStageWidget*>(), card);
    QVERIFY2(guard, "the card never deletes itself");
    delete card;
}

QTEST_MAIN(TestPreampStageWidget)
#include "tst_preampstagewidget.moc"

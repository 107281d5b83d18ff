#include "preamp/stageobject.h"
#include "preamp/triodes.h"

#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(StageFieldLimits)

// Reading one stored preamp stage without an editor: the values must be exactly those the stage
// editor's spin boxes end up with, so a chain read for checking or solving matches what is shown.
class TestStageObject : public QObject
{
    Q_OBJECT

private slots:
    void fieldValue_data();
    void fieldValue();
    void agreesWithTheSpinBox_data();
    void agreesWithTheSpinBox();
    void wholeObject();
    void tubeRow_data();
    void tubeRow();
    void writtenStageReadsBack();
};

void TestStageObject::fieldValue_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<StageFieldLimits>("limits");
    QTest::addColumn<double>("expected");

    QTest::addRow("missing") << QJsonValue(QJsonValue::Undefined) << stageSupplyLimits << 300.0;
    QTest::addRow("null") << QJsonValue() << stagePlateLimits << 100.0;
    QTest::addRow("string") << QJsonValue("250") << stageSupplyLimits << 300.0;
    QTest::addRow("boolean") << QJsonValue(true) << stageCathodeLimits << 1500.0;
    QTest::addRow("array") << QJsonValue(QJsonArray{250}) << stageBypassLimits << 25.0;
    QTest::addRow("object") << QJsonValue(QJsonObject{{"v", 1}}) << stageNextGridLimits << 1000.0;
    QTest::addRow("infinity takes the default, not the maximum")
        << QJsonValue(std::numeric_limits<double>::infinity()) << stageSupplyLimits << 300.0;
    QTest::addRow("not a number takes the default")
        << QJsonValue(std::numeric_limits<double>::quiet_NaN()) << stageCathodeLimits << 1500.0;
    QTest::addRow("1e308 clamps to the maximum") << QJsonValue(1e308) << stageCathodeLimits << 100000.0;
    QTest::addRow("-1e308 clamps to the minimum") << QJsonValue(-1e308) << stageSupplyLimits << 50.0;
    QTest::addRow("supply above the range") << QJsonValue(900) << stageSupplyLimits << 500.0;
    QTest::addRow("next grid below the range") << QJsonValue(-5) << stageNextGridLimits << 0.0;
    QTest::addRow("whole volts") << QJsonValue(299.6) << stageSupplyLimits << 300.0;
    QTest::addRow("tenths of a microfarad") << QJsonValue(22.46) << stageBypassLimits << 22.5;
    QTest::addRow("tiny bypass rounds to none") << QJsonValue(0.04) << stageBypassLimits << 0.0;
    QTest::addRow("rounded below the minimum, then clamped") << QJsonValue(0.4) << stagePlateLimits << 1.0;
    QTest::addRow("in range, kept") << QJsonValue(470) << stageNextGridLimits << 470.0;
}

void TestStageObject::fieldValue()
{
    QFETCH(QJsonValue, value);
    QFETCH(StageFieldLimits, limits);
    QFETCH(double, expected);
    QCOMPARE(stageFieldValue(value, limits), expected);
}

void TestStageObject::agreesWithTheSpinBox_data()
{
    QTest::addColumn<StageFieldLimits>("limits");
    const QList<QPair<const char*, StageFieldLimits>> fields = {{"supply", stageSupplyLimits},
                                                                {"plate", stagePlateLimits},
                                                                {"cathode", stageCathodeLimits},
                                                                {"bypass", stageBypassLimits},
                                                                {"next grid", stageNextGridLimits}};
    for (const auto& field : fields)
        QTest::addRow("%s", field.first) << field.second;
}

void TestStageObject::agreesWithTheSpinBox()
{
    QFETCH(StageFieldLimits, limits);
    // Set up as the stage editor sets up its boxes: range, value, decimals.
    QDoubleSpinBox spin;
    spin.setRange(limits.minimum, limits.maximum);
    spin.setValue(limits.defaultValue);
    spin.setDecimals(limits.decimals);

    // Halves and near-halves at both precisions, the range ends and far outside them.
    const QList<double> values = {0,      -0.0,    0.05,    0.15,      0.25,   0.45,    0.5,     1.5,
                                  2.5,    22.45,   22.55,   49.5,      50.5,   99.5,    100.5,   299.5,
                                  300.5,  499.5,   500.4,   500.5,     999.95, 1000.04, 1000.05, 1499.5,
                                  9999.5, 10000.4, 99999.5, 1e5 + 0.4, 1e-300, -1e-300, 1e308,   -1e308,
                                  -0.04,  -0.05,   123.456, 0.949999,  1.05,   2.675};
    for (double v : values) {
        spin.setValue(v);
        const double expected = spin.value();
        QVERIFY2(stageFieldValue(QJsonValue(v), limits) == expected,
                 qPrintable(QStringLiteral("%1 should read as the spin box's %2, got %3")
                                .arg(v, 0, 'g', 17)
                                .arg(expected, 0, 'g', 17)
                                .arg(stageFieldValue(QJsonValue(v), limits), 0, 'g', 17)));
    }
}

void TestStageObject::wholeObject()
{
    const PreampStageValues fresh = preampStageFromJson(QJsonObject());
    QCOMPARE(fresh.tubeRow, -1);
    QCOMPARE(fresh.supplyV, 300.0);
    QCOMPARE(fresh.plateK, 100.0);
    QCOMPARE(fresh.cathodeOhm, 1500.0);
    QCOMPARE(fresh.bypassUf, 25.0);
    QCOMPARE(fresh.nextGridK, 1000.0);

    // Each key goes to its own field; unknown keys change nothing.
    const PreampStageValues v = preampStageFromJson(
        QJsonDocument::fromJson(R"({"tube": "12AU7 / ECC82", "bPlus": 250, "plateRK": 47, "cathodeR": 820,
                                    "bypassUF": 0, "nextGridRK": 0, "colour": "red", "plateV": 1})")
            .object());
    QCOMPARE(v.tubeRow, triodeIndex(QStringLiteral("12AU7 / ECC82")));
    QCOMPARE(v.supplyV, 250.0);
    QCOMPARE(v.plateK, 47.0);
    QCOMPARE(v.cathodeOhm, 820.0);
    QCOMPARE(v.bypassUf, 0.0);
    QCOMPARE(v.nextGridK, 0.0);
}

void TestStageObject::tubeRow_data()
{
    QTest::addColumn<QJsonValue>("tube");
    QTest::addColumn<int>("row");
    QTest::addRow("full name") << QJsonValue("6SN7") << 8;
    QTest::addRow("first row") << QJsonValue("12AX7 / ECC83 / 7025") << 0;
    QTest::addRow("part of a name") << QJsonValue("12AX7") << -1;
    QTest::addRow("other case") << QJsonValue("6sn7") << -1;
    QTest::addRow("number") << QJsonValue(8) << -1;
    QTest::addRow("empty") << QJsonValue("") << -1;
    QTest::addRow("10 000 characters") << QJsonValue(QString(10000, QLatin1Char('X'))) << -1;
}

void TestStageObject::tubeRow()
{
    QFETCH(QJsonValue, tube);
    QFETCH(int, row);
    QCOMPARE(preampStageFromJson(QJsonObject{{"tube", tube}}).tubeRow, row);
}

void TestStageObject::writtenStageReadsBack()
{
    PreampStageValues values;
    values.tubeRow = triodeIndex(QStringLiteral("6SL7"));
    values.supplyV = 285;
    values.plateK = 220;
    values.cathodeOhm = 2700;
    values.bypassUf = 0.7;
    values.nextGridK = 470;
    const QJsonObject stage = preampStageToJson(QStringLiteral("6SL7"), values);
    QCOMPARE(stage.keys(), (QStringList{"bPlus", "bypassUF", "cathodeR", "nextGridRK", "plateRK", "tube"}));

    // Through the file text, as a profile stores it.
    const QByteArray text = QJsonDocument(QJsonArray{stage}).toJson();
    const PreampStageValues back =
        preampStageFromJson(QJsonDocument::fromJson(text).array().at(0).toObject());
    QCOMPARE(back.tubeRow, values.tubeRow);
    QCOMPARE(back.supplyV, values.supplyV);
    QCOMPARE(back.plateK, values.plateK);
    QCOMPARE(back.cathodeOhm, values.cathodeOhm);
    QCOMPARE(back.bypassUf, values.bypassUf);
    QCOMPARE(back.nextGridK, values.nextGridK);
}

QTEST_MAIN(TestStageObject)
#include "tst_stageobject.moc"

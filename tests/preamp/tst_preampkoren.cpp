#include "bench/profilestore.h"
#include "preamp/platecurvewidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

static const QString ax7 = QStringLiteral("12AX7 / ECC83 / 7025");

// The texts a card shows, to compare a card before and after a round trip through the other model.
static QStringList readouts(const PreampStageWidget* card)
{
    return {card->gainLabel()->text(), card->operatingPointLabel()->text(), card->impedanceLabel()->text(),
            card->warningLabel()->text(), card->property("status").toString()};
}

static void chooseModel(PreampView& view, const QString& name)
{
    QComboBox* box = view.modelBox();
    const int index = box->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// A chain in the Koren model through the profile store and back, on disk in a temporary home.
class TestPreampKoren : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void initTestCase();
    void korenShowsTheStagesOwnFigures();
    void datasheetReadoutsComeBackUnchanged();
    void tubeWithoutParametersKeepsDatasheetFigures();
    void totalUsesTheKorenGains();
    void cautionNamesTheOverdrivenStage();
    void plateCurvesFollowTheSelectedStage();
    void modelTravelsWithTheStages();
    void profileRoundTripAndOldProfile();
};

void TestPreampKoren::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QCoreApplication::setApplicationName(QStringLiteral("Ambertrace"));
}

void TestPreampKoren::korenShowsTheStagesOwnFigures()
{
    PreampView view;
    QCOMPARE(view.model(), PreampModel::Datasheet);
    QVERIFY(view.modelBox()->currentText() == QStringLiteral("Datasheet"));
    PreampStageWidget* card = view.stageCards().first();
    QVERIFY(card->modelLabel()->isHidden());

    chooseModel(view, QStringLiteral("Koren"));
    QCOMPARE(view.model(), PreampModel::Koren);
    QVERIFY(card->showsKoren());
    QCOMPARE(card->model(), PreampModel::Koren);
    // 12AX7, 300 V, 100 kΩ / 1.5 kΩ bypassed, 1 MΩ next grid.
    QCOMPARE(card->gainLabel()->text(), QStringLiteral("×59.4  (35.5 dB)"));
    QCOMPARE(card->operatingPointLabel()->text(), QStringLiteral("0.97 mA · 201 V plate · Vk 1.46 V"));
    QCOMPARE(card->impedanceLabel()->text(),
             QStringLiteral("Zout ≈ 33.4 kΩ · headroom +0.96 / −2.26 V pk · −3 dB at 5.9 Hz"));
    QVERIFY(!card->modelLabel()->isHidden());
    QVERIFY(card->modelLabel()->text().contains(QStringLiteral("µ 92.2")));

    // A hotter stage shows more gain under Koren, where the datasheet figure would stay at 59.3.
    card->cathodeBox()->setValue(820);
    QCOMPARE(card->gainLabel()->text(), QStringLiteral("×64.2  (36.1 dB)"));
    card->bypassBox()->setValue(0);
    QVERIFY(card->impedanceLabel()->text().startsWith(QStringLiteral("Zout")));
    QVERIFY(!card->impedanceLabel()->text().contains(QStringLiteral("−3 dB")));
}

void TestPreampKoren::datasheetReadoutsComeBackUnchanged()
{
    PreampView view;
    PreampStageWidget* card = view.stageCards().first();
    card->cathodeBox()->setValue(2700);
    const QStringList datasheet = readouts(card);
    const QString total = view.total()->text();

    chooseModel(view, QStringLiteral("Koren"));
    QVERIFY(readouts(card) != datasheet);
    QVERIFY(view.total()->text() != total);
    chooseModel(view, QStringLiteral("Datasheet"));
    QCOMPARE(readouts(card), datasheet);
    QCOMPARE(view.total()->text(), total);
    QVERIFY(card->modelLabel()->isHidden());
    QVERIFY(view.driveLabel()->isHidden());
}

void TestPreampKoren::tubeWithoutParametersKeepsDatasheetFigures()
{
    PreampView datasheetView;
    PreampView korenView;
    chooseModel(korenView, QStringLiteral("Koren"));
    PreampStageWidget* plain = datasheetView.stageCards().first();
    PreampStageWidget* koren = korenView.stageCards().first();
    for (PreampStageWidget* card : {plain, koren})
        card->tubeBox()->setCurrentIndex(triodeIndex(QStringLiteral("5751")));
    QVERIFY(!koren->showsKoren());
    QCOMPARE(readouts(koren), readouts(plain));
    QVERIFY(!koren->modelLabel()->isHidden());
    QVERIFY(koren->modelLabel()->text().contains(QStringLiteral("No Koren parameters")));
    QCOMPARE(koren->gainDb(), plain->gainDb());
    // Its plate-curve view says why it draws no curves.
    QVERIFY(!korenView.plateCurves()->scene().hasCurves);
    QVERIFY(korenView.plateCurves()->scene().message.contains(QStringLiteral("5751")));
}

void TestPreampKoren::totalUsesTheKorenGains()
{
    PreampView view;
    chooseModel(view, QStringLiteral("Koren"));
    const QList<PreampStageWidget*>& cards = view.stageCards();
    cards.at(0)->cathodeBox()->setValue(820);
    cards.at(1)->cathodeBox()->setValue(2700);
    const double sumDb = cards.at(0)->gainDb() + cards.at(1)->gainDb();
    // Koren: 64.2 × 52.9; the datasheet model would give 59.3² = 3512 for any cathode resistor.
    QVERIFY(qAbs(std::pow(10, sumDb / 20) - 64.17 * 52.89) < 0.01 * 64.17 * 52.89);
    const QString expected = QStringLiteral("2 stages — total gain ×%L1  (%2 dB) · Koren model")
                                 .arg(std::pow(10.0, sumDb / 20), 0, 'f', 0)
                                 .arg(QString::number(sumDb, 'f', 1));
    QCOMPARE(view.total()->text(), expected);
}

void TestPreampKoren::cautionNamesTheOverdrivenStage()
{
    PreampView view;
    chooseModel(view, QStringLiteral("Koren"));
    // Two classic stages: V1a's +0.96 / −2.26 V in gives +134 / −56.7 V at V1b's grid.
    QVERIFY(!view.driveLabel()->isHidden());
    const QString text = view.driveLabel()->text();
    QVERIFY2(text.startsWith(QStringLiteral("V1b is driven past its headroom by V1a")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("+134.0 / −56.7 V pk")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("+0.96 / −2.26 V pk")), qPrintable(text));

    // A starved low-gain 12AU7 stage (50 V, 10 kΩ, 1 kΩ unbypassed) into a 6SN7 from 500 V with
    // 22 kΩ unbypassed: the second stage takes everything the first can give.
    const QJsonArray gentle = {
        QJsonObject{
            {"tube", "12AU7 / ECC82"}, {"bPlus", 50}, {"plateRK", 10}, {"cathodeR", 1000}, {"bypassUF", 0}},
        QJsonObject{{"tube", "6SN7"}, {"bPlus", 500}, {"cathodeR", 22000}, {"bypassUF", 0}}};
    view.loadStages(stagesWithModel(gentle, PreampModel::Koren));
    const StageHeadroom first = view.stageCards().at(0)->headroom();
    const StageHeadroom second = view.stageCards().at(1)->headroom();
    QVERIFY2(first.gain * -first.minusV < second.plusV && first.gain * first.plusV < -second.minusV,
             "the fixture must leave the second stage room to spare");
    QVERIFY(view.driveLabel()->isHidden());

    // Back to the datasheet model: no caution, the datasheet's ±Vk is no basis for one.
    view.loadStages(QJsonArray{QJsonObject{}, QJsonObject{}});
    QCOMPARE(view.model(), PreampModel::Datasheet);
    QVERIFY(view.driveLabel()->isHidden());
}

void TestPreampKoren::plateCurvesFollowTheSelectedStage()
{
    PreampView view;
    view.resize(1200, 900);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QList<PreampStageWidget*>& cards = view.stageCards();
    QCOMPARE(view.selectedStage(), cards.at(0));
    QVERIFY(view.plateCurvesTitle()->text().contains(QStringLiteral("V1a")));

    // Editing V1b selects it and redraws its stage live.
    cards.at(1)->tubeBox()->setCurrentIndex(triodeIndex(QStringLiteral("12AT7 / ECC81")));
    QCOMPARE(view.selectedStage(), cards.at(1));
    QVERIFY(view.plateCurvesTitle()->text().contains(QStringLiteral("V1b · 12AT7 / ECC81")));
    const double before = view.plateCurves()->scene().stage.plateMa;
    cards.at(1)->cathodeBox()->setValue(820);
    const PlateCurveScene& scene = view.plateCurves()->scene();
    QVERIFY(scene.hasOperatingPoint);
    QVERIFY(scene.stage.plateMa > before);
    QCOMPARE(
        scene.stage.plateMa,
        solveKorenStage(cards.at(1)->stageInput(), *korenParams(QStringLiteral("12AT7 / ECC81"))).plateMa);

    // A click on V1a's card shows V1a again.
    QTest::mouseClick(cards.at(0), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(view.selectedStage(), cards.at(0));
    QVERIFY(view.plateCurvesTitle()->text().contains(QStringLiteral("V1a · 12AX7")));

    // Removing the selected stage shows the first remaining one.
    view.addStage();
    view.selectStage(cards.at(0));
    view.removeStage(cards.at(0));
    QCOMPARE(view.selectedStage(), view.stageCards().at(0));
    QVERIFY(view.plateCurvesTitle()->text().contains(QStringLiteral("V1a · 12AT7")));
}

void TestPreampKoren::modelTravelsWithTheStages()
{
    PreampView source;
    const QJsonArray datasheet = source.stagesJson();
    for (const QJsonValue& stage : datasheet)
        QVERIFY2(!stage.toObject().contains(QStringLiteral("model")),
                 "a datasheet chain is stored as before");

    chooseModel(source, QStringLiteral("Koren"));
    source.stageCards().at(1)->cathodeBox()->setValue(820);
    const QJsonArray koren = source.stagesJson();
    for (const QJsonValue& stage : koren)
        QCOMPARE(stage.toObject().value(QStringLiteral("model")).toString(), QStringLiteral("Koren"));

    PreampView target;
    QSignalSpy spy(target.stageCards().at(0), &PreampStageWidget::changed);
    target.loadStages(koren);
    QCOMPARE(target.model(), PreampModel::Koren);
    QCOMPARE(target.modelBox()->currentText(), QStringLiteral("Koren"));
    QCOMPARE(target.stagesJson(), koren);
    QCOMPARE(readouts(target.stageCards().at(1)), readouts(source.stageCards().at(1)));

    // An array without the key, as earlier versions and the presets write it: the datasheet model.
    target.loadStages(datasheet);
    QCOMPARE(target.model(), PreampModel::Datasheet);
    QCOMPARE(target.modelBox()->currentText(), QStringLiteral("Datasheet"));
    QCOMPARE(target.stagesJson(), datasheet);
    // An empty array keeps the chain, and its model, as they are.
    chooseModel(target, QStringLiteral("Koren"));
    target.loadStages(QJsonArray());
    QCOMPARE(target.model(), PreampModel::Koren);
}

void TestPreampKoren::profileRoundTripAndOldProfile()
{
    PreampView source;
    chooseModel(source, QStringLiteral("Koren"));
    source.stageCards().at(0)->cathodeBox()->setValue(820);
    AmpProfile saved;
    saved.name = QStringLiteral("Koren chain");
    saved.preampStages = source.stagesJson();
    QVERIFY(saveProfile(saved));

    AmpProfile loaded;
    QVERIFY(loadProfile(saved.name, loaded));
    PreampView restored;
    restored.loadStages(loaded.preampStages);
    QCOMPARE(restored.model(), PreampModel::Koren);
    QCOMPARE(readouts(restored.stageCards().at(0)), readouts(source.stageCards().at(0)));
    QCOMPARE(restored.stageCards().at(0)->gainLabel()->text(), QStringLiteral("×64.2  (36.1 dB)"));

    // A profile as an earlier version wrote it: the same stage, no model key.
    const QByteArray old = R"({
        "name": "Old chain", "tube": "6V6GT", "tubeCount": 2,
        "preampStages": [ { "tube": "12AX7 / ECC83 / 7025", "bPlus": 300, "plateRK": 100,
                            "cathodeR": 820, "bypassUF": 25, "nextGridRK": 1000 } ]
    })";
    QFile file(profilesDirectory().filePath(profileFileName(QStringLiteral("Old chain"))));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(old), qint64(old.size()));
    file.close();
    AmpProfile oldProfile;
    QVERIFY(loadProfile(QStringLiteral("Old chain"), oldProfile));
    restored.loadStages(oldProfile.preampStages);
    QCOMPARE(restored.model(), PreampModel::Datasheet);
    QCOMPARE(restored.stageCards().size(), 1);
    // The datasheet figure, whatever the cathode resistor.
    QCOMPARE(restored.stageCards().at(0)->gainLabel()->text(), QStringLiteral("×59.3  (35.5 dB)"));
}

QTEST_MAIN(TestPreampKoren)
#include "tst_preampkoren.moc"

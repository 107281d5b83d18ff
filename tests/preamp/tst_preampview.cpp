#include "datasheet/pinoutwidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

static const QString firstTube = QStringLiteral("12AX7 / ECC83 / 7025");

// The chain layout read back as a string: "V1a > V1b | " for two cards, an arrow and the stretch.
static QString chainShape(const PreampView& view)
{
    QStringList parts;
    QHBoxLayout* chain = view.chain();
    for (int i = 0; i < chain->count(); ++i) {
        QLayoutItem* item = chain->itemAt(i);
        if (auto* card = qobject_cast<PreampStageWidget*>(item->widget()))
            parts << card->titleLabel()->text();
        else if (item->widget() && item->widget()->objectName() == "chainArrow")
            parts << ">";
        else if (item->spacerItem())
            parts << "|";
        else
            parts << "?";
    }
    return parts.join(' ');
}

static QStringList titles(const PreampView& view)
{
    QStringList result;
    for (const PreampStageWidget* card : view.stageCards())
        result << card->titleLabel()->text();
    return result;
}

static QJsonObject stageObject(const QString& tube, double bPlus, double plateRK, double cathodeR,
                               double bypassUF, double nextGridRK)
{
    return QJsonObject{{"tube", tube},         {"bPlus", bPlus},       {"plateRK", plateRK},
                       {"cathodeR", cathodeR}, {"bypassUF", bypassUF}, {"nextGridRK", nextGridRK}};
}

class TestPreampView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void startState();
    void totalFollowsTheLocale_data();
    void totalFollowsTheLocale();
    void addUpToEight();
    void removeRetitlesAndRelinks();
    void removeButtonOfTheOnlyStage();
    void removeIgnoresForeignCards();
    void remainingCardsStayVisible();
    void invalidStageBreaksTheTotal();
    void failingStagesShowHighlighted();
    void totalPastWhatAChainKeepsWarns();
    void sidePanelFollowsTheLastChangedStage();
    void loadStages_data();
    void loadStages();
    void loadStagesEmptyKeepsTheChain();
    void loadStagesReusesTheFirstStage();
    void roundTrip();
};

void TestPreampView::initTestCase()
{
    // CTest runs under LC_ALL=C.UTF-8; the grouped total needs a real locale.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestPreampView::cleanup()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPreampView::startState()
{
    PreampView view;

    QCOMPARE(chainShape(view), QString("V1a > V1b |"));
    QCOMPARE(view.stageCards().size(), 2);
    for (const PreampStageWidget* card : view.stageCards()) {
        QCOMPARE(card->tubeName(), firstTube);
        QCOMPARE(card->toJson(), stageObject(firstTube, 300, 100, 1500, 25, 1000));
        QCOMPARE(card->parentWidget()->objectName(), QString("cardHost"));
    }
    QCOMPARE(view.total()->text(), QString("2 stages — total gain ×3,512  (70.9 dB)"));
    QCOMPARE(view.total()->objectName(), QString("targetLabel"));
    QVERIFY(view.addStageButton()->isEnabled());
    QCOMPARE(view.addStageButton()->text(), QString("+ Add Stage"));

    QCOMPARE(view.tubeNameLabel()->text(), firstTube);
    QCOMPARE(view.tubeDescriptionLabel()->text(), QString("High-mu twin triode, noval  ·  Noval (9-pin)"));
    const QString row = "<tr><td style='color:#a89a7e; padding-right:12px;'>%1</td>"
                        "<td style='color:#f0e7cd;' align='right'><b>%2</b></td></tr>";
    const QString html = "<table width='100%' cellspacing='0' cellpadding='2'>" +
                         row.arg("Amplification (µ)", "100") + row.arg("Plate resistance", "62.5 kΩ") +
                         row.arg("Transconductance", "1.6 mA/V") + row.arg("Max plate dissipation", "1.2 W") +
                         row.arg("Max plate voltage", "330 V") + row.arg("Heater current", "0.30 A") +
                         "</table>";
    QCOMPARE(view.tubeRowsLabel()->text(), html);
    QCOMPARE(view.tubeRowsLabel()->textFormat(), Qt::RichText);

    const TubeSpec& drawn = view.pinoutWidget()->tube();
    QCOMPARE(drawn.name, firstTube);
    QCOMPARE(drawn.base, QString("Noval (9-pin)"));
    QCOMPARE(drawn.pins, triodeCatalogue().at(0).pins);
    QVERIFY(!drawn.custom);
    QVERIFY(drawn.topCap.isEmpty());
    QCOMPARE(drawn.maxPlateW, 0.0);
}

void TestPreampView::totalFollowsTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("total");

    QTest::addRow("English") << QLocale(QLocale::English, QLocale::UnitedStates)
                             << "2 stages — total gain ×3,512  (70.9 dB)";
    // Only the gain is localised; the decibels keep their point.
    QTest::addRow("German") << QLocale(QLocale::German, QLocale::Germany)
                            << "2 stages — total gain ×3.512  (70.9 dB)";
    QTest::addRow("C") << QLocale::c() << "2 stages — total gain ×3512  (70.9 dB)";
}

void TestPreampView::totalFollowsTheLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, total);

    QLocale::setDefault(locale);
    PreampView view;
    QCOMPARE(view.total()->text(), total);
}

void TestPreampView::addUpToEight()
{
    PreampView view;
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(view.addStageButton(), Qt::LeftButton);

    QCOMPARE(view.stageCards().size(), 8);
    QCOMPARE(chainShape(view), QString("V1a > V1b > V2a > V2b > V3a > V3b > V4a > V4b |"));
    QVERIFY2(!view.addStageButton()->isEnabled(), "a full chain disables the add button");
    // 8 × 35.455 dB = (1600/27)^8 ≈ 1.5207217168269e14; the last digits are beyond a double's say.
    const QRegularExpression full("^8 stages — total gain ×152,072,171,682,\\d{3}  \\(283\\.6 dB\\)$");
    QVERIFY2(full.match(view.total()->text()).hasMatch(), qPrintable(view.total()->text()));

    QVERIFY(view.addStage() == nullptr);
    QTest::mouseClick(view.addStageButton(), Qt::LeftButton);
    QCOMPARE(view.stageCards().size(), 8);

    view.removeStage(view.stageCards().at(3));
    QCOMPARE(view.stageCards().size(), 7);
    QVERIFY2(view.addStageButton()->isEnabled(), "removing a stage frees a place");
    PreampStageWidget* added = view.addStage();
    QVERIFY(added != nullptr);
    QCOMPARE(view.stageCards().last(), added);
    QCOMPARE(added->titleLabel()->text(), QString("V4b"));
    QVERIFY(!view.addStageButton()->isEnabled());
}

void TestPreampView::removeRetitlesAndRelinks()
{
    PreampView view;
    view.addStage();
    PreampStageWidget* first = view.stageCards().at(0);
    QPointer<PreampStageWidget> middle = view.stageCards().at(1);
    PreampStageWidget* last = view.stageCards().at(2);
    last->supplyBox()->setValue(250);

    QTest::mouseClick(middle->removeButton(), Qt::LeftButton);

    QCOMPARE(view.stageCards(), (QList<PreampStageWidget*>{first, last}));
    QCOMPARE(chainShape(view), QString("V1a > V1b |"));
    QCOMPARE(titles(view), (QStringList{"V1a", "V1b"}));
    QCOMPARE(last->index(), 1);
    QCOMPARE(last->supplyBox()->value(), 250.0);
    QCOMPARE(view.total()->text().left(9), QString("2 stages "));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(middle.isNull(), "the removed card is deleted");
    QWidget* host = first->parentWidget();
    QCOMPARE(host->findChildren<QLabel*>("chainArrow", Qt::FindDirectChildrenOnly).size(), 1);
    QCOMPARE(host->findChildren<PreampStageWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 2);
    QCOMPARE(last->parentWidget(), host);
}

void TestPreampView::removeButtonOfTheOnlyStage()
{
    PreampView view;
    view.removeStage(view.stageCards().at(1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(view.stageCards().size(), 1);
    QPointer<PreampStageWidget> only = view.stageCards().at(0);
    const QString total = view.total()->text();
    QCOMPARE(total, QString("1 stages — total gain ×59  (35.5 dB)"));

    QTest::mouseClick(only->removeButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY2(!only.isNull(), "the last stage stays");
    QCOMPARE(view.stageCards().size(), 1);
    QCOMPARE(chainShape(view), QString("V1a |"));
    QCOMPARE(view.total()->text(), total);
}

void TestPreampView::removeIgnoresForeignCards()
{
    PreampView view;
    PreampStageWidget stranger(0, nullptr);
    view.removeStage(&stranger);
    view.removeStage(nullptr);
    QCOMPARE(view.stageCards().size(), 2);
    QCOMPARE(chainShape(view), QString("V1a > V1b |"));
}

void TestPreampView::remainingCardsStayVisible()
{
    PreampView view;
    view.resize(1400, 800);
    view.addStage();
    view.addStage();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.removeStage(view.stageCards().at(1));
    QTRY_VERIFY(view.stageCards().at(1)->geometry().x() < view.stageCards().at(2)->geometry().x());
    int previousRight = -1;
    for (const PreampStageWidget* card : view.stageCards()) {
        QVERIFY2(card->isVisible(), qPrintable(card->titleLabel()->text() + " should stay visible"));
        QVERIFY2(card->geometry().x() > previousRight,
                 qPrintable(card->titleLabel()->text() + " should stand right of the one before"));
        previousRight = card->geometry().right();
    }
}

void TestPreampView::invalidStageBreaksTheTotal()
{
    PreampView view;
    view.addStage();
    // 50 V through 1 MΩ with 100 kΩ of bias leaves a 12AX7 cut off.
    view.stageCards().at(1)->fromJson(stageObject(firstTube, 50, 1000, 100000, 25, 1000));

    QVERIFY(!view.stageCards().at(1)->isValid());
    QCOMPARE(view.total()->text(), QString("3 stage(s) — fix highlighted stages for a total"));

    view.stageCards().at(1)->fromJson(QJsonObject());
    QVERIFY(view.stageCards().at(1)->isValid());
    QCOMPARE(view.total()->text(), QString("3 stages — total gain ×208,098  (106.4 dB)"));
}

// The card's edge as drawn: a strip along its left side, halfway down.
static QImage cardEdge(QWidget* card)
{
    const QImage image = card->grab().toImage();
    return image.copy(0, image.height() / 2 - 20, 6, 40);
}

void TestPreampView::failingStagesShowHighlighted()
{
    QFile sheet(QStringLiteral(":/style.qss"));
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    {
        PreampView view;
        view.resize(1200, 700);
        view.show();
        PreampStageWidget* stage = view.stageCards().at(1);
        QCoreApplication::processEvents();
        const QImage good = cardEdge(stage);

        // Cut off: the stage the header tells to fix.
        stage->fromJson(stageObject(firstTube, 50, 1000, 100000, 25, 1000));
        QCoreApplication::processEvents();
        QVERIFY(view.total()->text().contains(QStringLiteral("fix highlighted stages")));
        const QImage failing = cardEdge(stage);
        QVERIFY2(failing != good, "a failing stage must look apart from a working one");
        // Its neighbour, still working, keeps its look.
        QCOMPARE(cardEdge(view.stageCards().at(0)), good);

        stage->fromJson(QJsonObject());
        QCoreApplication::processEvents();
        QCOMPARE(cardEdge(stage), good);
    }
    qApp->setStyleSheet(QString());
}

void TestPreampView::totalPastWhatAChainKeepsWarns()
{
    PreampView view;
    QLabel* caution = view.gainCautionLabel();
    QVERIFY(caution);
    // Two default stages: 70.9 dB, a working chain.
    QVERIFY(caution->isHidden());

    // Three: 106.4 dB, more than any chain keeps without clipping.
    view.addStage();
    QVERIFY(!caution->isHidden());
    QVERIFY2(caution->text().contains(QStringLiteral("106.4 dB")), qPrintable(caution->text()));
    QVERIFY(caution->text().startsWith(QStringLiteral("Caution:")));

    // Eight: the total the designer once showed without a word.
    while (view.stageCards().size() < 8)
        view.addStage();
    QVERIFY(!caution->isHidden());
    QVERIFY2(caution->text().contains(QStringLiteral("283.6 dB")), qPrintable(caution->text()));

    // A chain with no total has no total to warn of.
    view.stageCards().at(1)->fromJson(stageObject(firstTube, 50, 1000, 100000, 25, 1000));
    QVERIFY(caution->isHidden());

    // Back to two stages, the caution goes.
    view.stageCards().at(1)->fromJson(QJsonObject());
    while (view.stageCards().size() > 2)
        view.removeStage(view.stageCards().last());
    QVERIFY(caution->isHidden());
}

void TestPreampView::sidePanelFollowsTheLastChangedStage()
{
    PreampView view;
    view.stageCards().at(1)->tubeBox()->setCurrentIndex(triodeIndex("6SL7"));
    QCOMPARE(view.tubeNameLabel()->text(), QString("6SL7"));
    QCOMPARE(view.tubeDescriptionLabel()->text(), QString("High-mu twin triode, octal  ·  Octal"));
    QVERIFY(view.tubeRowsLabel()->text().contains("<b>44.0 kΩ</b>"));
    QCOMPARE(view.pinoutWidget()->tube().base, QString("Octal"));
    QCOMPARE(view.pinoutWidget()->tube().pins.size(), 8);

    // A value change of the first stage brings its tube back.
    view.stageCards().at(0)->cathodeBox()->setValue(1800);
    QCOMPARE(view.tubeNameLabel()->text(), firstTube);

    // An unknown name changes nothing.
    view.showTubeData("12AX7");
    QCOMPARE(view.tubeNameLabel()->text(), firstTube);
}

void TestPreampView::loadStages_data()
{
    QTest::addColumn<int>("elements");
    QTest::addColumn<int>("stages");

    QTest::addRow("twelve elements") << 12 << 8;
    QTest::addRow("eight elements") << 8 << 8;
    QTest::addRow("three elements") << 3 << 3;
    QTest::addRow("one element") << 1 << 1;
}

void TestPreampView::loadStages()
{
    QFETCH(int, elements);
    QFETCH(int, stages);

    const QString tubes[] = {"12AT7 / ECC81", "6SN7", "5751", "12AU7 / ECC82"};
    QJsonArray array;
    for (int i = 0; i < elements; ++i)
        array.append(stageObject(tubes[i % 4], 100 + 10 * i, 100 + i, 1000 + 100 * i, i % 3, 470 + i));

    // Start from a chain of four so the load both removes and adds.
    PreampView view;
    view.addStage();
    view.addStage();
    view.loadStages(array);

    QCOMPARE(view.stageCards().size(), stages);
    for (int i = 0; i < stages; ++i) {
        const PreampStageWidget* card = view.stageCards().at(i);
        QCOMPARE(card->index(), i);
        QCOMPARE(card->toJson(), array.at(i).toObject());
    }
    QCOMPARE(view.stagesJson().size(), stages);
    QCOMPARE(view.addStageButton()->isEnabled(), stages < 8);
    QCOMPARE(view.chain()->count(), 2 * stages);
    QVERIFY(view.total()->text().startsWith(QString("%1 stage").arg(stages)));
}

void TestPreampView::loadStagesEmptyKeepsTheChain()
{
    PreampView view;
    view.addStage();
    view.stageCards().at(2)->plateBox()->setValue(220);
    const QJsonArray before = view.stagesJson();
    const QString total = view.total()->text();
    QSignalSpy changed(view.stageCards().at(0), &PreampStageWidget::changed);

    view.loadStages(QJsonArray());

    QCOMPARE(view.stagesJson(), before);
    QCOMPARE(view.stageCards().size(), 3);
    QCOMPARE(view.total()->text(), total);
    QCOMPARE(changed.count(), 0);
}

void TestPreampView::loadStagesReusesTheFirstStage()
{
    PreampView view;
    view.stageCards().at(0)->tubeBox()->setCurrentIndex(triodeIndex("6SN7"));

    // An unknown tube in the first element keeps the reused stage's tube; a non-object element
    // gives a stage with the defaults (on the tube a new card starts with).
    const QJsonArray array = {QJsonObject{{"tube", "ECC99"}, {"bPlus", 350}}, 42,
                              stageObject("6SL7", 250, 100, 1500, 0, 0)};
    view.loadStages(array);

    QCOMPARE(view.stageCards().size(), 3);
    QCOMPARE(view.stageCards().at(0)->tubeName(), QString("6SN7"));
    QCOMPARE(view.stageCards().at(0)->supplyBox()->value(), 350.0);
    QCOMPARE(view.stageCards().at(1)->toJson(), stageObject(firstTube, 300, 100, 1500, 25, 1000));
    QCOMPARE(view.stageCards().at(2)->toJson(), array.at(2).toObject());
}

void TestPreampView::roundTrip()
{
    PreampView source;
    source.addStage();
    source.addStage();
    const QList<PreampStageWidget*>& cards = source.stageCards();
    cards.at(0)->tubeBox()->setCurrentIndex(triodeIndex("12AY7 / 6072"));
    cards.at(0)->supplyBox()->setValue(265);
    cards.at(1)->plateBox()->setValue(220);
    cards.at(1)->bypassBox()->setValue(0.7);
    cards.at(2)->tubeBox()->setCurrentIndex(triodeIndex("6EU7"));
    cards.at(2)->nextGridBox()->setValue(0);
    cards.at(3)->cathodeBox()->setValue(820);
    const QJsonArray saved = source.stagesJson();
    QCOMPARE(saved.size(), 4);

    PreampView target;
    target.loadStages(saved);
    QCOMPARE(target.stagesJson(), saved);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(target.stageCards().at(i)->gainLabel()->text(), cards.at(i)->gainLabel()->text());
        QCOMPARE(target.stageCards().at(i)->isValid(), cards.at(i)->isValid());
    }
    QCOMPARE(target.total()->text(), source.total()->text());
}

QTEST_MAIN(TestPreampView)
#include "tst_preampview.moc"

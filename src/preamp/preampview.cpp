#include "preamp/preampview.h"

#include "catalog/tubes.h"
#include "datasheet/datasheetrows.h"
#include "datasheet/pinoutwidget.h"
#include "preamp/platecurvewidget.h"
#include "preamp/preampchain.h"
#include "preamp/preampstagewidget.h"
#include "preamp/triodes.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

static QLabel* makeLabel(const QString& text, const char* objectName, QWidget* parent, bool wordWrap = false)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(wordWrap);
    return label;
}

static QLabel* makeArrow()
{
    auto* arrow = new QLabel(QStringLiteral("▶"));
    arrow->setObjectName(QStringLiteral("chainArrow"));
    arrow->setAlignment(Qt::AlignVCenter);
    return arrow;
}

PreampView::PreampView(QWidget* parent) : QWidget(parent)
{
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(18, 14, 18, 14);
    page->setSpacing(12);

    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("settingsPanel"));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(16, 10, 16, 10);
    headerRow->addWidget(makeLabel(QStringLiteral("SIGNAL CHAIN"), "panelHeader", header));
    headerRow->addSpacing(20);
    totalLabel = makeLabel(QString(), "targetLabel", header);
    headerRow->addWidget(totalLabel);
    headerRow->addStretch(1);
    headerRow->addWidget(makeLabel(QStringLiteral("Model"), "topologyNote", header));
    modelCombo = new QComboBox(header);
    modelCombo->setObjectName(QStringLiteral("modelBox"));
    modelCombo->addItem(preampModelName(PreampModel::Datasheet));
    modelCombo->addItem(preampModelName(PreampModel::Koren));
    modelCombo->setToolTip(QStringLiteral(
        "Datasheet: µ and rp from the tube's data sheet, the same at every operating point.\n"
        "Koren: Norman Koren's triode model, with µ, gm and rp where the stage really sits, and "
        "headroom to grid current and to cut-off."));
    connect(modelCombo, &QComboBox::activated, this,
            [this](int index) { setModel(index == 1 ? PreampModel::Koren : PreampModel::Datasheet); });
    headerRow->addWidget(modelCombo);
    headerRow->addSpacing(12);
    addButton = new QPushButton(QStringLiteral("+ Add Stage"), header);
    addButton->setObjectName(QStringLiteral("toolBtn"));
    addButton->setCursor(Qt::PointingHandCursor);
    connect(addButton, &QPushButton::clicked, this, [this] { addStage(); });
    headerRow->addWidget(addButton);
    page->addWidget(header);

    page->addWidget(makeLabel(
        QStringLiteral(
            "Common-cathode voltage amplifier stages. Enter each stage's supply node, plate/cathode "
            "resistors and the following stage's grid resistor; Ambertrace solves the DC operating "
            "point and gain. Stages are chained left to right for the total."),
        "topologyNote", this, true));

    gainCaution = makeLabel(QString(), "gainCaution", this, true);
    gainCaution->hide();
    page->addWidget(gainCaution);

    driveText = makeLabel(QString(), "warnLabel", this, true);
    driveText->hide();
    page->addWidget(driveText);

    auto* body = new QHBoxLayout;
    body->setSpacing(14);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("cardScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* cardHost = new QWidget;
    cardHost->setObjectName(QStringLiteral("cardHost"));
    // The plate curves sit under the cards, inside the scrolled area: the bench window keeps its
    // size and the tube-data panel its height, and a taller window shows both without scrolling.
    auto* hostLayout = new QVBoxLayout(cardHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->setSpacing(10);
    chainLayout = new QHBoxLayout;
    chainLayout->setContentsMargins(4, 4, 4, 4);
    chainLayout->setSpacing(6);
    chainLayout->addStretch(1);
    hostLayout->addLayout(chainLayout);
    scroll->setWidget(cardHost);
    body->addWidget(scroll, 1);
    auto* platePanel = new QFrame(cardHost);
    platePanel->setObjectName(QStringLiteral("settingsPanel"));
    auto* plateLayout = new QVBoxLayout(platePanel);
    plateLayout->setContentsMargins(16, 10, 16, 10);
    plateLayout->setSpacing(6);
    plateTitle = makeLabel(QString(), "panelHeader", platePanel);
    plateLayout->addWidget(plateTitle);
    plateView = new PlateCurveWidget(platePanel);
    plateView->setMinimumHeight(260);
    plateLayout->addWidget(plateView, 1);
    hostLayout->addWidget(platePanel);
    hostLayout->addStretch(1);

    auto* side = new QFrame(this);
    side->setObjectName(QStringLiteral("datasheetPanel"));
    side->setFixedWidth(250);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(16, 14, 16, 14);
    sideLayout->setSpacing(8);
    sideLayout->addWidget(makeLabel(QStringLiteral("TUBE DATA"), "panelHeader", side));
    nameLabel = makeLabel(QString(), "datasheetName", side, true);
    sideLayout->addWidget(nameLabel);
    descriptionLabel = makeLabel(QString(), "datasheetDesc", side, true);
    sideLayout->addWidget(descriptionLabel);
    rowsLabel = makeLabel(QString(), "datasheetRows", side, true);
    rowsLabel->setTextFormat(Qt::RichText);
    sideLayout->addWidget(rowsLabel);
    sideLayout->addWidget(makeLabel(QStringLiteral("PINOUT"), "panelHeader", side));
    pinout = new PinoutWidget(side);
    pinout->setMinimumHeight(190);
    sideLayout->addWidget(pinout);
    sideLayout->addWidget(makeLabel(
        QStringLiteral("a/b = triode sections. Both halves are identical; stages V1a/V1b share one bottle."),
        "topologyNote", side, true));
    sideLayout->addStretch(1);
    body->addWidget(side);

    page->addLayout(body, 1);

    addStage();
    addStage();
    showTubeData(triodeCatalogue().at(0).name);
    selectStage(stages.first());
}

PreampStageWidget* PreampView::addStage()
{
    if (stages.size() >= maxStages)
        return nullptr;

    auto* card = new PreampStageWidget(int(stages.size()));
    card->setModel(chainModel);
    card->installEventFilter(this);
    connect(card, &PreampStageWidget::changed, this, &PreampView::updateTotal);
    connect(card, &PreampStageWidget::changed, this, [this, card] {
        if (pinout)
            showTubeData(card->tubeName());
        if (plateView)
            selectStage(card);
    });
    connect(card, &PreampStageWidget::removeRequested, this, &PreampView::removeStage);

    // The trailing stretch stays last.
    if (!stages.isEmpty())
        chainLayout->insertWidget(chainLayout->count() - 1, makeArrow());
    chainLayout->insertWidget(chainLayout->count() - 1, card);

    stages.append(card);
    updateTotal();
    return card;
}

void PreampView::removeStage(PreampStageWidget* card)
{
    if (stages.size() < 2)
        return;
    if (!stages.removeOne(card))
        return;

    // Take the chain apart and lay the remaining cards out again, so exactly one arrow stands
    // between neighbours. The remaining cards keep their parent, and with it their visibility.
    while (QLayoutItem* item = chainLayout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            if (w == card || w->objectName() == QLatin1String("chainArrow")) {
                w->hide();
                w->deleteLater();
            }
        }
        delete item;
    }
    chainLayout->addStretch(1);
    for (int i = 0; i < stages.size(); ++i) {
        if (i > 0)
            chainLayout->insertWidget(chainLayout->count() - 1, makeArrow());
        chainLayout->insertWidget(chainLayout->count() - 1, stages.at(i));
    }

    for (int i = 0; i < stages.size(); ++i)
        stages.at(i)->setIndex(i);
    if (selected == card)
        selectStage(stages.first());
    else
        refreshPlateCurves(); // the selected stage's title may have moved
    updateTotal();
}

void PreampView::updateTotal()
{
    bool complete = !stages.isEmpty();
    double sumDb = 0;
    for (const PreampStageWidget* stage : stages) {
        if (stage->isValid())
            sumDb += stage->gainDb();
        else
            complete = false;
    }

    if (complete) {
        // The one number of the program shown with the locale's digit grouping.
        QString text = QStringLiteral("%1 stages — total gain ×%L2  (%3 dB)")
                           .arg(stages.size())
                           .arg(std::pow(10.0, sumDb / 20), 0, 'f', 0)
                           .arg(QString::number(sumDb, 'f', 1));
        if (chainModel == PreampModel::Koren)
            text += QStringLiteral(" · Koren model");
        totalLabel->setText(text);
    }
    if (complete && sumDb > plausibleChainGainDb) {
        gainCaution->setText(
            QStringLiteral("Caution: %1 dB in all is more than any real chain keeps without clipping "
                           "(about %2 dB at most). As drawn, the later stages would be driven far past "
                           "their headroom: put attenuation (a volume or tone stack) between the stages, "
                           "or use fewer stages.")
                .arg(QString::number(sumDb, 'f', 1), QString::number(plausibleChainGainDb, 'f', 0)));
        gainCaution->show();
    } else {
        gainCaution->hide();
    }
    if (!complete) {
        totalLabel->setText(
            QStringLiteral("%1 stage(s) — fix highlighted stages for a total").arg(stages.size()));
    }
    addButton->setEnabled(stages.size() < maxStages);
    updateDrive();
    emit chainChanged();
}

void PreampView::updateDrive()
{
    // Only the Koren model knows the two real limits; the datasheet's ±Vk is no basis for a caution.
    QStringList cautions;
    if (chainModel == PreampModel::Koren) {
        QList<StageHeadroom> chain;
        for (const PreampStageWidget* stage : stages)
            chain.append(stage->headroom());
        const QList<StageDrive> drive = chainDrive(chain);
        for (int i = 1; i < stages.size(); ++i) {
            if (!drive.at(i).overdriven || !stages.at(i)->isValid() || !stages.at(i - 1)->isValid())
                continue;
            const StageHeadroom& room = chain.at(i);
            cautions << QStringLiteral("%1 is driven past its headroom by %2: up to +%3 / −%4 V pk "
                                       "arrive where +%5 / −%6 V pk stay clean.")
                            .arg(preampStageTitle(i), preampStageTitle(i - 1),
                                 QString::number(drive.at(i).inPlusV, 'f', 1),
                                 QString::number(-drive.at(i).inMinusV, 'f', 1),
                                 QString::number(room.plusV, 'f', 2), QString::number(-room.minusV, 'f', 2));
        }
    }
    driveText->setText(cautions.join(QLatin1Char('\n')));
    driveText->setVisible(!cautions.isEmpty());
}

void PreampView::setModel(PreampModel model)
{
    const QSignalBlocker quiet(modelCombo);
    modelCombo->setCurrentIndex(model == PreampModel::Koren ? 1 : 0);
    if (model == chainModel)
        return;
    chainModel = model;
    for (PreampStageWidget* stage : stages)
        stage->setModel(model);
    refreshPlateCurves();
    updateTotal();
}

void PreampView::selectStage(PreampStageWidget* card)
{
    if (!stages.contains(card))
        return;
    selected = card;
    refreshPlateCurves();
}

void PreampView::refreshPlateCurves()
{
    if (!selected || !plateView)
        return;
    plateTitle->setText(QStringLiteral("PLATE CURVES — %1 · %2 · Koren model")
                            .arg(preampStageTitle(selected->index()), selected->tubeName()));
    plateView->setStage(selected->stageInput());
}

bool PreampView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        for (PreampStageWidget* stage : stages) {
            if (stage == watched)
                selectStage(stage);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PreampView::showTubeData(const QString& name)
{
    const TriodeSpec* tube = findTriode(name);
    if (!tube)
        return;

    nameLabel->setText(tube->name);
    descriptionLabel->setText(datasheetDescription(tube->family, tube->base));

    auto value = [](double number, int decimals, const char* unit) {
        return QString::number(number, 'f', decimals) + QString::fromUtf8(unit);
    };
    const QList<DatasheetRow> rows = {
        {QStringLiteral("Amplification (µ)"), value(tube->mu, 0, "")},
        {QStringLiteral("Plate resistance"), value(tube->plateResistance / 1000, 1, " kΩ")},
        {QStringLiteral("Transconductance"), value(tube->transconductance, 1, " mA/V")},
        {QStringLiteral("Max plate dissipation"), value(tube->maxPlateW, 1, " W")},
        {QStringLiteral("Max plate voltage"), value(tube->maxPlateV, 0, " V")},
        {QStringLiteral("Heater current"), value(tube->heaterA, 2, " A")},
    };
    rowsLabel->setText(datasheetTableHtml(rows));

    TubeSpec drawn;
    drawn.name = tube->name;
    drawn.base = tube->base;
    drawn.pins = tube->pins;
    pinout->setTube(drawn);
}

QJsonArray PreampView::stagesJson() const
{
    QJsonArray array;
    for (const PreampStageWidget* stage : stages)
        array.append(stage->toJson());
    return stagesWithModel(array, chainModel);
}

void PreampView::loadStages(const QJsonArray& array)
{
    if (array.isEmpty())
        return;

    // The first stage is reused, so a tube name in element 0 that is not in the catalogue leaves
    // its previous tube selected.
    setModel(preampModelFromStages(array));
    while (stages.size() > 1)
        removeStage(stages.last());
    while (stages.size() < array.size() && stages.size() < maxStages)
        addStage();
    for (int i = 0; i < array.size() && i < stages.size(); ++i)
        stages.at(i)->fromJson(array.at(i).toObject());
    updateTotal();
}

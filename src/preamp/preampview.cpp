#include "preamp/preampview.h"

#include "catalog/tubes.h"
#include "datasheet/datasheetrows.h"
#include "datasheet/pinoutwidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/triodes.h"

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

    auto* body = new QHBoxLayout;
    body->setSpacing(14);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("cardScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* cardHost = new QWidget;
    cardHost->setObjectName(QStringLiteral("cardHost"));
    chainLayout = new QHBoxLayout(cardHost);
    chainLayout->setContentsMargins(4, 4, 4, 4);
    chainLayout->setSpacing(6);
    chainLayout->addStretch(1);
    scroll->setWidget(cardHost);
    body->addWidget(scroll, 1);

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
}

PreampStageWidget* PreampView::addStage()
{
    if (stages.size() >= maxStages)
        return nullptr;

    auto* card = new PreampStageWidget(int(stages.size()));
    connect(card, &PreampStageWidget::changed, this, &PreampView::updateTotal);
    connect(card, &PreampStageWidget::changed, this, [this, card] {
        if (pinout)
            showTubeData(card->tubeName());
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
        totalLabel->setText(QStringLiteral("%1 stages — total gain ×%L2  (%3 dB)")
                                .arg(stages.size())
                                .arg(std::pow(10.0, sumDb / 20), 0, 'f', 0)
                                .arg(QString::number(sumDb, 'f', 1)));
    } else {
        totalLabel->setText(
            QStringLiteral("%1 stage(s) — fix highlighted stages for a total").arg(stages.size()));
    }
    addButton->setEnabled(stages.size() < maxStages);
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
    return array;
}

void PreampView::loadStages(const QJsonArray& array)
{
    if (array.isEmpty())
        return;

    // The first stage is reused, so a tube name in element 0 that is not in the catalogue leaves
    // its previous tube selected.
    while (stages.size() > 1)
        removeStage(stages.last());
    while (stages.size() < array.size() && stages.size() < maxStages)
        addStage();
    for (int i = 0; i < array.size() && i < stages.size(); ++i)
        stages.at(i)->fromJson(array.at(i).toObject());
    updateTotal();
}

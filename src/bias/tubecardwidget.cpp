#include "bias/tubecardwidget.h"

#include "bias/gaugewidget.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

TubeCardMethodFields tubeCardMethodFields(int method)
{
    TubeCardMethodFields f;
    f.valid = true;
    switch (method) {
    case BiasProbe:
        f.label = QStringLiteral("Cathode current");
        f.suffix = QStringLiteral(" mA");
        f.decimals = 1;
        f.step = 0.5;
        f.maximum = 999;
        break;
    case SenseResistor:
        f.label = QStringLiteral("V across sense R");
        f.suffix = QStringLiteral(" mV");
        f.decimals = 1;
        f.step = 5;
        f.maximum = 9999;
        break;
    case OtWindingDrop:
        f.label = QStringLiteral("Plate voltage");
        f.suffix = QStringLiteral(" V");
        f.decimals = 1;
        f.step = 1;
        f.maximum = 5000;
        f.secondRow = true;
        break;
    case CathodeBias:
        f.label = QStringLiteral("Cathode voltage");
        f.suffix = QStringLiteral(" V");
        f.decimals = 2;
        f.step = 0.5;
        f.maximum = 500;
        break;
    case PanelMeter:
        f.label = QStringLiteral("Meter reading");
        f.suffix = QStringLiteral(" mA");
        f.decimals = 0;
        f.step = 5;
        f.maximum = 2000;
        break;
    default:
        return TubeCardMethodFields();
    }
    return f;
}

QString tubeCardStatusName(BiasStatus status)
{
    switch (status) {
    case BiasStatus::OverMax:
        return QStringLiteral("hot");
    case BiasStatus::Warm:
        return QStringLiteral("warm");
    case BiasStatus::Ideal:
        return QStringLiteral("ideal");
    case BiasStatus::Cold:
        return QStringLiteral("cold");
    case BiasStatus::NoReading:
        break;
    }
    return QStringLiteral("off");
}

QString tubeCardBadgeText(BiasStatus status)
{
    switch (status) {
    case BiasStatus::OverMax:
        return QStringLiteral("OVER MAX!");
    case BiasStatus::Warm:
        return QStringLiteral("WARM");
    case BiasStatus::Ideal:
        return QStringLiteral("IDEAL");
    case BiasStatus::Cold:
        return QStringLiteral("COLD");
    case BiasStatus::NoReading:
        break;
    }
    return QStringLiteral("NO READING");
}

QColor tubeCardStatusColor(const QString& status)
{
    if (status == QLatin1String("hot"))
        return QColor(0xd2, 0x3c, 0x2d);
    if (status == QLatin1String("warm"))
        return QColor(0xe1, 0xa5, 0x3c);
    if (status == QLatin1String("ideal"))
        return QColor(0x78, 0xc8, 0x6e);
    if (status == QLatin1String("cold"))
        return QColor(0x5f, 0x91, 0xd2);
    return QColor(0x46, 0x42, 0x3c);
}

QList<TubeCardGlowStroke> tubeCardGlow(const QSizeF& cardSize, const QString& status)
{
    const double w = cardSize.width();
    const double h = cardSize.height();
    QColor edge = tubeCardStatusColor(status);
    edge.setAlpha(160);
    QColor halo = tubeCardStatusColor(status);
    halo.setAlpha(40);
    return {
        {QRectF(1.5, 1.5, w - 3, h - 3), 12, edge, 2.5},
        {QRectF(0.5, 0.5, w - 1, h - 1), 13, halo, 7},
    };
}

static QDoubleSpinBox* makeReadingBox(QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(1);
    box->setRange(0, 100000);
    // Every keystroke counts as a reading, so the card follows the technician's typing.
    box->setKeyboardTracking(true);
    return box;
}

TubeCardWidget::TubeCardWidget(int index, QWidget* parent) : QFrame(parent), cardIndex(index)
{
    setObjectName(QStringLiteral("tubeCard"));
    setProperty("status", QStringLiteral("off"));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(14, 12, 14, 12);
    box->setSpacing(6);

    title = new QLabel(QStringLiteral("V%1").arg(index + 1), this);
    title->setObjectName(QStringLiteral("tubeTitle"));
    title->setAlignment(Qt::AlignCenter);
    box->addWidget(title);

    gauge = new GaugeWidget(this);
    box->addWidget(gauge, 1);

    pctLabel = new QLabel(QStringLiteral("--"), this);
    pctLabel->setObjectName(QStringLiteral("pctReadout"));
    pctLabel->setAlignment(Qt::AlignCenter);
    box->addWidget(pctLabel);

    auto* values = new QHBoxLayout;
    currentLabel = new QLabel(QStringLiteral("-- mA"), this);
    currentLabel->setObjectName(QStringLiteral("resultValue"));
    currentLabel->setAlignment(Qt::AlignCenter);
    dissipationLabel = new QLabel(QStringLiteral("-- W"), this);
    dissipationLabel->setObjectName(QStringLiteral("resultValue"));
    dissipationLabel->setAlignment(Qt::AlignCenter);
    values->addWidget(currentLabel);
    values->addWidget(dissipationLabel);
    box->addLayout(values);

    badge = new QLabel(QStringLiteral("NO READING"), this);
    badge->setObjectName(QStringLiteral("statusBadge"));
    badge->setAlignment(Qt::AlignCenter);
    box->addWidget(badge);

    form = new QFormLayout;
    form->setContentsMargins(0, 4, 0, 0);
    form->setSpacing(4);
    label1 = new QLabel(this);
    spin1 = makeReadingBox(this);
    label2 = new QLabel(this);
    spin2 = makeReadingBox(this);
    form->addRow(label1, spin1);
    form->addRow(label2, spin2);
    box->addLayout(form);

    warnLabel = new QLabel(this);
    warnLabel->setObjectName(QStringLiteral("warnLabel"));
    warnLabel->setWordWrap(true);
    warnLabel->hide();
    box->addWidget(warnLabel);

    connect(spin1, &QDoubleSpinBox::valueChanged, this, &TubeCardWidget::recalculate);
    connect(spin2, &QDoubleSpinBox::valueChanged, this, &TubeCardWidget::recalculate);

    // A new card shows no reading until something is typed or set.
    applyMethodFields();
}

void TubeCardWidget::setMethod(int method)
{
    if (method == currentMethod)
        return;
    currentMethod = method;
    applyMethodFields();
    recalculate();
}

void TubeCardWidget::setShared(bool sharedCathodeR, int sharedTubes, bool subtractScreen, int meterTubes,
                               double plateV, double bPlusV, double senseResistorOhms,
                               double cathodeResistorOhms, double screenPct)
{
    this->sharedCathodeR = sharedCathodeR;
    this->sharedTubes = sharedTubes;
    this->subtractScreen = subtractScreen;
    this->meterTubes = meterTubes;
    this->plateV = plateV;
    this->bPlusV = bPlusV;
    this->senseResistorOhms = senseResistorOhms;
    this->cathodeResistorOhms = cathodeResistorOhms;
    this->screenPct = screenPct;
    recalculate();
}

void TubeCardWidget::setMaxW(double w)
{
    maxPlateW = w;
    recalculate();
}

void TubeCardWidget::setWindow(double low, double high)
{
    idealLowPct = low;
    idealHighPct = high;
    gauge->setWindow(low, high);
    recalculate();
}

double TubeCardWidget::meas1() const
{
    return spin1->value();
}

double TubeCardWidget::meas2() const
{
    return spin2->value();
}

void TubeCardWidget::setMeasurements(double meas1, double meas2)
{
    spin1->setValue(meas1);
    spin2->setValue(meas2);
}

void TubeCardWidget::applyMethodFields()
{
    const TubeCardMethodFields f = tubeCardMethodFields(currentMethod);
    if (f.valid) {
        // Typed values stay across methods; a value the new range cannot hold is clamped, and that
        // clamp recalculates through valueChanged like any other change.
        label1->setText(f.label);
        spin1->setSuffix(f.suffix);
        spin1->setDecimals(f.decimals);
        spin1->setSingleStep(f.step);
        spin1->setRange(0, f.maximum);
        if (f.secondRow) {
            label2->setText(QStringLiteral("Half-primary DCR"));
            spin2->setSuffix(QStringLiteral(" Ω"));
            spin2->setDecimals(1);
            spin2->setSingleStep(1);
            spin2->setRange(0, 999);
        }
        form->setRowVisible(1, f.secondRow);
    }
    form->setRowVisible(0, true);
}

void TubeCardWidget::recalculate()
{
    BiasInputs in;
    in.method = static_cast<BiasMethod>(currentMethod);
    in.subtractScreen = subtractScreen;
    in.screenPct = screenPct;
    switch (currentMethod) {
    case BiasProbe:
        in.plateV = plateV;
        in.probeMa = spin1->value();
        break;
    case SenseResistor:
        in.plateV = plateV;
        in.senseResistorOhms = senseResistorOhms;
        in.senseMv = spin1->value();
        break;
    case OtWindingDrop:
        in.bPlusV = bPlusV;
        in.plateV = spin1->value(); // this tube's own plate-pin voltage
        in.dcrOhms = spin2->value();
        break;
    case CathodeBias:
        in.plateV = plateV;
        in.cathodeResistorOhms = cathodeResistorOhms;
        in.sharedCathodeR = sharedCathodeR;
        in.sharedTubes = sharedTubes;
        in.cathodeV = spin1->value();
        break;
    case PanelMeter:
        in.plateV = plateV;
        in.meterTubes = meterTubes;
        in.meterMa = spin1->value();
        break;
    default:
        break;
    }
    lastResult = computeBias(in, maxPlateW);

    const BiasStatus status = classifyBias(lastResult, idealLowPct, idealHighPct);
    if (lastResult.valid) {
        pctLabel->setText(QString::number(lastResult.pctOfMax, 'f', 1) + QLatin1Char('%'));
        currentLabel->setText(QString::number(lastResult.currentMa, 'f', 1) + QStringLiteral(" mA"));
        dissipationLabel->setText(QString::number(lastResult.dissipationW, 'f', 1) + QStringLiteral(" W"));
        gauge->setValue(lastResult.pctOfMax);
    } else {
        pctLabel->setText(QStringLiteral("--"));
        currentLabel->setText(QStringLiteral("-- mA"));
        dissipationLabel->setText(QStringLiteral("-- W"));
        gauge->setValue(0);
    }
    badge->setText(tubeCardBadgeText(status));

    // The warning may accompany "NO READING" (a low DCR typed before the plate voltage).
    if (!lastResult.warning.isEmpty()) {
        warnLabel->setText(lastResult.warning);
        warnLabel->show();
    } else {
        warnLabel->hide();
    }

    // The style sheet colours the badge from this property; it only re-reads it after a re-polish,
    // which is costly enough to skip when the rating stays the same.
    const QString statusName = tubeCardStatusName(status);
    if (property("status").toString() != statusName) {
        setProperty("status", statusName);
        style()->unpolish(this);
        style()->polish(this);
        style()->unpolish(badge);
        style()->polish(badge);
    }

    update();
    emit resultChanged();
}

void TubeCardWidget::paintEvent(QPaintEvent* event)
{
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        for (const TubeCardGlowStroke& s : tubeCardGlow(size(), property("status").toString())) {
            p.setPen(QPen(QBrush(s.color), s.width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            p.drawRoundedRect(s.rect, s.radius, s.radius);
        }
    }
    QFrame::paintEvent(event);
}

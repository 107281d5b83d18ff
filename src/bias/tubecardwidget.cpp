#include "bias/tubecardwidget.h"

#include "bench/benchsession.h"
#include "bias/biasmethods.h"
#include "bias/biasstatus.h"
#include "bias/gaugewidget.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

QList<TubeCardGlowStroke> tubeCardGlow(const QSizeF& cardSize, const QString& status)
{
    const double w = cardSize.width();
    const double h = cardSize.height();
    const QColor glow = biasStatusLook(biasStatusFromName(status)).glowColor;
    QColor edge = glow;
    edge.setAlpha(160);
    QColor halo = glow;
    halo.setAlpha(40);
    return {
        {QRectF(1.5, 1.5, w - 3, h - 3), 12, edge, 2.5},
        {QRectF(0.5, 0.5, w - 1, h - 1), 13, halo, 7},
    };
}

namespace {

QDoubleSpinBox* makeReadingBox(QWidget* parent)
{
    const ReadingField initial = hiddenSecondReading();
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(initial.decimals);
    box->setRange(0, initial.maximum);
    // Every keystroke counts as a reading, so the card follows the technician's typing.
    box->setKeyboardTracking(true);
    return box;
}

// Decimals first: they decide how the range is rounded.
void applyField(QDoubleSpinBox* box, const ReadingField& field)
{
    box->setSuffix(field.suffix);
    box->setDecimals(field.decimals);
    box->setSingleStep(field.step);
    box->setRange(0, field.maximum);
}

// Only a value that differs is written: rewriting an equal one would reformat the text under the
// technician's cursor.
void showValue(QDoubleSpinBox* box, double value)
{
    if (box->value() == value)
        return;
    const QSignalBlocker blocker(box);
    box->setValue(value);
}

} // namespace

TubeCardWidget::TubeCardWidget(BenchSession& bench, int index, QWidget* parent)
    : QFrame(parent), bench(&bench), cardIndex(index)
{
    setObjectName(QStringLiteral("tubeCard"));
    setProperty("status", biasStatusLook(BiasStatus::NoReading).statusName);

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

    badge = new QLabel(biasStatusLook(BiasStatus::NoReading).badgeText, this);
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

    showSetup();
    showTube();

    // A typed value is the tube's reading; the model answers with tubeChanged, which redraws.
    connect(spin1, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (this->bench)
            this->bench->setMeas1(cardIndex, value);
    });
    connect(spin2, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (this->bench)
            this->bench->setMeas2(cardIndex, value);
    });
    connect(&bench, &BenchSession::setupChanged, this, &TubeCardWidget::showSetup);
    connect(&bench, &BenchSession::tubeChanged, this, [this](int tube) {
        if (tube == cardIndex)
            showTube();
    });
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

void TubeCardWidget::detach()
{
    if (bench)
        bench->disconnect(this);
    bench = nullptr;
}

void TubeCardWidget::showSetup()
{
    if (!bench)
        return;
    const BenchSnapshot& s = bench->snapshot();
    if (s.idealLowPct != shownLowPct || s.idealHighPct != shownHighPct) {
        shownLowPct = s.idealLowPct;
        shownHighPct = s.idealHighPct;
        gauge->setWindow(shownLowPct, shownHighPct);
    }
    const int method = s.setup.method;
    if (method == shownMethod)
        return;
    shownMethod = method;
    const BiasMethodInfo* info = findBiasMethod(method);
    {
        // The model holds the readings to the new fields itself; the fields only follow.
        const QSignalBlocker block1(spin1);
        const QSignalBlocker block2(spin2);
        applyField(spin1, firstReadingField(method));
        label1->setText(firstReadingField(method).label);
        const bool second = info && info->hasSecond;
        if (second) {
            label2->setText(info->second.label);
            applyField(spin2, info->second);
        } else {
            const ReadingField hidden = secondReadingField(method);
            spin2->setDecimals(hidden.decimals);
            spin2->setRange(0, hidden.maximum);
        }
        form->setRowVisible(1, second);
        form->setRowVisible(0, true);
    }
    showTube();
}

void TubeCardWidget::showTube()
{
    if (!bench)
        return;
    const TubeReading reading = bench->reading(cardIndex);
    showValue(spin1, reading.meas1);
    showValue(spin2, reading.meas2);
    // A tube from a matched set carries the label it is marked with.
    title->setText(reading.label.isEmpty()
                       ? QStringLiteral("V%1").arg(cardIndex + 1)
                       : QStringLiteral("V%1 · %2").arg(cardIndex + 1).arg(reading.label));

    const BiasResult result = bench->result(cardIndex);
    const BiasStatusLook& look = biasStatusLook(bench->rating(cardIndex));
    if (result.valid) {
        pctLabel->setText(QString::number(result.pctOfMax, 'f', 1) + QLatin1Char('%'));
        currentLabel->setText(QString::number(result.currentMa, 'f', 1) + QStringLiteral(" mA"));
        dissipationLabel->setText(QString::number(result.dissipationW, 'f', 1) + QStringLiteral(" W"));
        gauge->setValue(result.pctOfMax);
    } else {
        pctLabel->setText(QStringLiteral("--"));
        currentLabel->setText(QStringLiteral("-- mA"));
        dissipationLabel->setText(QStringLiteral("-- W"));
        gauge->setValue(0);
    }
    badge->setText(look.badgeText);

    // The warning may accompany "NO READING" (a low DCR typed before the plate voltage).
    if (!result.warning.isEmpty()) {
        warnLabel->setText(result.warning);
        warnLabel->show();
    } else {
        warnLabel->hide();
    }

    // The style sheet colours the badge from this property; it only re-reads it after a re-polish,
    // which is costly enough to skip when the rating stays the same.
    if (property("status").toString() != look.statusName) {
        setProperty("status", look.statusName);
        style()->unpolish(this);
        style()->polish(this);
        style()->unpolish(badge);
        style()->polish(badge);
    }

    update();
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

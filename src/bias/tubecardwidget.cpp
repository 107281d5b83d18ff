#include "bias/tubecardwidget.h"

#include "bench/benchsession.h"
#include "bias/biasmethods.h"
#include "bias/biasstatus.h"
#include "bias/gaugewidget.h"
#include "bias/readingedit.h"
#include "warmup/warmupplot.h"
#include "warmup/warmuprecorder.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
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

// A message line of the card that takes the same room whether it shows a text or not, so that a
// warning on one card leaves its row-mates as they are: its height is `lines` lines of its font, a
// longer text is cut there and reads in full in the tool tip.
class ReservedLabel : public QLabel
{
public:
    ReservedLabel(int lines, QWidget* parent) : QLabel(parent), lines(lines)
    {
        setWordWrap(true);
        setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        QSizePolicy kept = sizePolicy();
        kept.setRetainSizeWhenHidden(true);
        setSizePolicy(kept);
    }

    void showMessage(const QString& text)
    {
        setText(text);
        setToolTip(text);
        setVisible(!text.isEmpty());
    }

    QSize sizeHint() const override { return QSize(0, reservedHeight()); }
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return false; }

private:
    int reservedHeight() const
    {
        const QMargins m = contentsMargins();
        return lines * fontMetrics().lineSpacing() + m.top() + m.bottom();
    }

    int lines = 1;
};

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

    warmupLabel = new QLabel(this);
    warmupLabel->setObjectName(QStringLiteral("warmupMark"));
    warmupLabel->setAlignment(Qt::AlignCenter);
    warmupLabel->setProperty("alarm", false);
    {
        QSizePolicy kept = warmupLabel->sizePolicy();
        kept.setRetainSizeWhenHidden(true);
        warmupLabel->setSizePolicy(kept);
    }
    warmupLabel->hide();
    box->addWidget(warmupLabel);

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
    spin1 = new ReadingEdit(this);
    label2 = new QLabel(this);
    spin2 = new ReadingEdit(this);
    form->addRow(label1, spin1);
    form->addRow(label2, spin2);
    screenDropLabel = new QLabel(screenDropField().label, this);
    screenDropSpin = new ReadingEdit(this);
    screenDropSpin->setField(screenDropField());
    screenOhmsLabel = new QLabel(screenResistorField().label, this);
    screenOhmsSpin = new ReadingEdit(this);
    screenOhmsSpin->setField(screenResistorField());
    form->addRow(screenDropLabel, screenDropSpin);
    form->addRow(screenOhmsLabel, screenOhmsSpin);
    box->addLayout(form);

    shareLabel = new QLabel(this);
    shareLabel->setObjectName(QStringLiteral("shareNote"));
    shareLabel->setAlignment(Qt::AlignCenter);
    shareLabel->setWordWrap(true);
    shareLabel->hide();
    box->addWidget(shareLabel);

    problemLabel = new ReservedLabel(2, this);
    problemLabel->setObjectName(QStringLiteral("readingProblem"));
    problemLabel->hide();
    box->addWidget(problemLabel);

    warnLabel = new ReservedLabel(3, this);
    warnLabel->setObjectName(QStringLiteral("warnLabel"));
    warnLabel->hide();
    box->addWidget(warnLabel);

    showSetup();
    showTube();

    // A typed value is the tube's reading; the model answers with tubeChanged, which redraws.
    connect(spin1, &ReadingEdit::readingEdited, this, [this](double value) {
        if (this->bench)
            this->bench->setMeas1(cardIndex, value);
    });
    connect(spin2, &ReadingEdit::readingEdited, this, [this](double value) {
        if (this->bench)
            this->bench->setMeas2(cardIndex, value);
    });
    connect(screenDropSpin, &ReadingEdit::readingEdited, this, [this](double value) {
        if (this->bench)
            this->bench->setScreenDropV(cardIndex, value);
    });
    connect(screenOhmsSpin, &ReadingEdit::readingEdited, this, [this](double value) {
        if (this->bench)
            this->bench->setScreenOhms(cardIndex, value);
    });
    for (int row = 0; row < 4; ++row) {
        ReadingEdit* field = readingField(row);
        connect(field, &ReadingEdit::moveRequested, this,
                [this, row](int step) { emit moveRequested(row, step); });
        connect(field, &ReadingEdit::problemChanged, this, [this] {
            QString problem;
            for (int r = 0; r < 4 && problem.isEmpty(); ++r)
                problem = readingField(r)->problem();
            static_cast<ReservedLabel*>(problemLabel)->showMessage(problem);
        });
    }
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
    // As typed: the text goes through the field's reading of it, then to the model.
    spin1->enter(meas1 == 0 ? QString() : QString::number(meas1, 'g', 12));
    spin2->enter(meas2 == 0 ? QString() : QString::number(meas2, 'g', 12));
}

ReadingEdit* TubeCardWidget::readingField(int row) const
{
    switch (row) {
    case 0:
        return spin1;
    case 1:
        return spin2;
    case 2:
        return screenDropSpin;
    case 3:
        return screenOhmsSpin;
    default:
        return nullptr;
    }
}

void TubeCardWidget::focusReading(int row)
{
    if (ReadingEdit* field = readingField(row); field && field->isVisibleTo(this))
        field->setFocus(Qt::TabFocusReason);
}

void TubeCardWidget::followWarmup(const WarmupRecorder* recorder)
{
    if (warmupRecorder)
        warmupRecorder->disconnect(this);
    warmupRecorder = recorder;
    if (recorder) {
        connect(recorder, &WarmupRecorder::tubeStateChanged, this, [this](int tube) {
            if (tube == cardIndex)
                showWarmup();
        });
        // Clearing or replacing the log changes every tube at once.
        connect(recorder, &WarmupRecorder::logChanged, this, &TubeCardWidget::showWarmup);
    }
    showWarmup();
}

void TubeCardWidget::detach()
{
    if (bench)
        bench->disconnect(this);
    bench = nullptr;
    followWarmup(nullptr);
}

void TubeCardWidget::setPreferredWidth(int width)
{
    if (width == preferredWidth)
        return;
    preferredWidth = width;
    updateGeometry();
}

QSize TubeCardWidget::sizeHint() const
{
    const QSize own = QFrame::sizeHint();
    return preferredWidth > 0 ? QSize(std::max(preferredWidth, minimumSizeHint().width()), own.height())
                              : own;
}

void TubeCardWidget::showWarmup()
{
    const WarmupTubeState state = warmupRecorder ? warmupRecorder->tubeState(cardIndex) : WarmupTubeState();
    QString text;
    if (state.runaway)
        text = QStringLiteral("RUNAWAY since ") +
               warmupElapsedText(state.risingSinceMs - warmupRecorder->log().startMs());
    else if (state.settled)
        text = QStringLiteral("settled");
    else if (state.readings > 0)
        text = QStringLiteral("warming up");
    const bool visible = !text.isEmpty();
    if (warmupLabel->text() != text)
        warmupLabel->setText(text);
    if (warmupLabel->isVisibleTo(this) != visible) {
        warmupLabel->setVisible(visible);
        update(); // the colour mark under the title comes and goes with it
    }
    if (warmupLabel->property("alarm").toBool() != state.runaway) {
        warmupLabel->setProperty("alarm", state.runaway);
        style()->unpolish(warmupLabel);
        style()->polish(warmupLabel);
    }
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
    const SharedMeasurements& shared = s.setup.shared;
    const bool first = showsFirstReading(method, shared);
    const bool second = showsSecondReading(method, shared);
    const bool screen = benchScreenMeasured(s.setup);
    const ReadingField field1 = firstReadingField(method, shared);
    const ReadingField field2 = secondReadingField(method, shared);
    const QString fields = QStringLiteral("%1|%2|%3|%4|%5|%6")
                               .arg(method)
                               .arg(field1.label, field2.label)
                               .arg(first)
                               .arg(second)
                               .arg(screen);
    if (fields != shownFields) {
        shownMethod = method;
        shownFields = fields;
        // Each method has its own readings in the model; the fields only follow.
        spin1->setField(field1);
        label1->setText(field1.label);
        if (second)
            label2->setText(field2.label);
        spin2->setField(field2);
        form->setRowVisible(1, second);
        form->setRowVisible(0, first);
        form->setRowVisible(2, screen);
        form->setRowVisible(3, screen);
        showTube();
    }
    // The panel meter's one total stands in for the reading field.
    shareLabel->setVisible(!first);
    if (!first)
        shareLabel->setText(
            shared.meterTotalMa > 0
                ? QStringLiteral("Share of the %1 mA total").arg(QString::number(shared.meterTotalMa, 'f', 0))
                : QStringLiteral("Enter the meter total in the setup"));
}

void TubeCardWidget::showTube()
{
    if (!bench)
        return;
    const TubeReading reading = bench->reading(cardIndex);
    spin1->showValue(reading.meas1);
    spin2->showValue(reading.meas2);
    screenDropSpin->showValue(reading.screenDropV);
    screenOhmsSpin->showValue(reading.screenOhms);
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
    static_cast<ReservedLabel*>(warnLabel)->showMessage(result.warning);

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
        // The tube's colour in the warm-up plot, as a bar under the title, while the log has it.
        if (warmupLabel->isVisibleTo(this)) {
            const QRect t = title->geometry();
            const double barWidth = t.height() * 2.0;
            const double barHeight = qMax(2.0, t.height() / 6.0);
            p.setPen(Qt::NoPen);
            p.setBrush(warmupTubeColor(cardIndex));
            p.drawRoundedRect(QRectF(t.center().x() - barWidth / 2, t.bottom() + 1, barWidth, barHeight),
                              barHeight / 2, barHeight / 2);
        }
    }
    QFrame::paintEvent(event);
}

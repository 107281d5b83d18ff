#include "preamp/preampstagewidget.h"

#include "bias/gaugewidget.h"
#include "preamp/korentriode.h"
#include "preamp/stageobject.h"
#include "preamp/stagesolver.h"
#include "preamp/triodes.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

QString preampStageTitle(int index)
{
    return QStringLiteral("V%1%2")
        .arg(index / 2 + 1)
        .arg(index % 2 == 0 ? QLatin1Char('a') : QLatin1Char('b'));
}

// The range, default and decimals are those a stored stage is read with (preamp/stageobject.h).
static QDoubleSpinBox* makeSpin(QWidget* parent, const StageFieldLimits& limits, const QString& suffix,
                                double step)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setRange(limits.minimum, limits.maximum);
    spin->setValue(limits.defaultValue);
    spin->setSuffix(suffix);
    spin->setDecimals(limits.decimals);
    spin->setSingleStep(step);
    return spin;
}

namespace {

// A list whose closed box cuts a name too long for it with an ellipsis instead of mid-letter.
class ElidingComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field =
            style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width());
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

} // namespace

PreampStageWidget::PreampStageWidget(int index, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("tubeCard"));
    setProperty("status", QStringLiteral("off"));
    setFixedWidth(280);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(6);

    auto* header = new QHBoxLayout;
    title = new QLabel(this);
    title->setObjectName(QStringLiteral("tubeTitle"));
    removeBtn = new QToolButton(this);
    removeBtn->setText(QStringLiteral("✕"));
    removeBtn->setObjectName(QStringLiteral("headerBtn"));
    removeBtn->setToolTip(QStringLiteral("Remove this stage"));
    connect(removeBtn, &QToolButton::clicked, this, [this] { emit removeRequested(this); });
    header->addStretch(1);
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(removeBtn);
    layout->addLayout(header);

    setIndex(index);

    auto* form = new QFormLayout;
    form->setContentsMargins(0, 4, 0, 0);
    form->setSpacing(4);
    form->setLabelAlignment(Qt::AlignRight);
    // The fields take the card's width, so the tube's name gets all the room there is.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    tubeCombo = new ElidingComboBox(this);
    for (const TriodeSpec& t : triodeCatalogue())
        tubeCombo->addItem(t.name);
    tubeCombo->setEditable(false);
    // The long catalogue names ("12AX7 / ECC83 / 7025") read whole in the list and the tool tip;
    // the closed box shows as much as its field has room for, ending in an ellipsis.
    tubeCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    tubeCombo->setMinimumContentsLength(8);
    tubeCombo->view()->setMinimumWidth(tubeCombo->view()->sizeHintForColumn(0) + 24);
    connect(tubeCombo, &QComboBox::currentTextChanged, tubeCombo, &QComboBox::setToolTip);
    tubeCombo->setToolTip(tubeCombo->currentText());

    supplySpin = makeSpin(this, stageSupplyLimits, QStringLiteral(" V"), 5);
    plateSpin = makeSpin(this, stagePlateLimits, QStringLiteral(" kΩ"), 10);
    cathodeSpin = makeSpin(this, stageCathodeLimits, QStringLiteral(" Ω"), 100);
    bypassSpin = makeSpin(this, stageBypassLimits, QStringLiteral(" µF"), 1);
    bypassSpin->setSpecialValueText(QStringLiteral("none"));
    bypassSpin->setToolTip(
        QStringLiteral("Cathode bypass capacitor. Set to 0 (\"none\") for an unbypassed cathode."));
    nextGridSpin = makeSpin(this, stageNextGridLimits, QStringLiteral(" kΩ"), 100);
    nextGridSpin->setSpecialValueText(QStringLiteral("none"));
    nextGridSpin->setToolTip(
        QStringLiteral("Grid-leak resistor of the following stage (the AC load). 1000 kΩ = 1 MΩ."));

    form->addRow(QStringLiteral("Tube"), tubeCombo);
    form->addRow(QStringLiteral("Supply (B+)"), supplySpin);
    form->addRow(QStringLiteral("Plate R"), plateSpin);
    form->addRow(QStringLiteral("Cathode R"), cathodeSpin);
    form->addRow(QStringLiteral("Bypass cap"), bypassSpin);
    form->addRow(QStringLiteral("Next grid R"), nextGridSpin);
    layout->addLayout(form);

    gauge = new GaugeWidget(this);
    gauge->setWindow(10, 60); // % of the section's maximum dissipation
    layout->addWidget(gauge);

    gainText = new QLabel(QStringLiteral("--"), this);
    gainText->setObjectName(QStringLiteral("gainReadout"));
    gainText->setAlignment(Qt::AlignCenter);
    layout->addWidget(gainText);

    opText = new QLabel(this);
    opText->setObjectName(QStringLiteral("opReadout"));
    opText->setAlignment(Qt::AlignCenter);
    opText->setWordWrap(true);
    layout->addWidget(opText);

    impedanceText = new QLabel(this);
    impedanceText->setObjectName(QStringLiteral("topologyNote"));
    impedanceText->setWordWrap(true);
    impedanceText->setAlignment(Qt::AlignCenter);
    layout->addWidget(impedanceText);

    warnText = new QLabel(this);
    warnText->setObjectName(QStringLiteral("warnLabel"));
    warnText->setWordWrap(true);
    warnText->hide();
    layout->addWidget(warnText);

    modelText = new QLabel(this);
    modelText->setObjectName(QStringLiteral("topologyNote"));
    modelText->setWordWrap(true);
    modelText->setAlignment(Qt::AlignCenter);
    modelText->hide(); // the datasheet model's card is as it always was
    layout->addWidget(modelText);

    layout->addStretch(1);

    connect(tubeCombo, &QComboBox::currentIndexChanged, this, &PreampStageWidget::recompute);
    for (QDoubleSpinBox* spin : {supplySpin, plateSpin, cathodeSpin, bypassSpin, nextGridSpin})
        connect(spin, &QDoubleSpinBox::valueChanged, this, &PreampStageWidget::recompute);

    recompute();
}

void PreampStageWidget::setIndex(int index)
{
    stageIndex = index;
    title->setText(preampStageTitle(index));
}

QString PreampStageWidget::tubeName() const
{
    return tubeCombo->currentText();
}

QJsonObject PreampStageWidget::toJson() const
{
    PreampStageValues values;
    values.supplyV = supplySpin->value();
    values.plateK = plateSpin->value();
    values.cathodeOhm = cathodeSpin->value();
    values.bypassUf = bypassSpin->value();
    values.nextGridK = nextGridSpin->value();
    return preampStageToJson(tubeCombo->currentText(), values);
}

void PreampStageWidget::fromJson(const QJsonObject& stage)
{
    // One solve and one `changed` for the whole object, not one per field.
    const QList<QWidget*> inputs = {tubeCombo, supplySpin, plateSpin, cathodeSpin, bypassSpin, nextGridSpin};
    QList<bool> wasBlocked;
    for (QWidget* input : inputs)
        wasBlocked << input->blockSignals(true);

    // The values arrive already defaulted, rounded and clamped as the spin boxes would.
    const PreampStageValues values = preampStageFromJson(stage);
    if (values.tubeRow >= 0)
        tubeCombo->setCurrentIndex(values.tubeRow);
    supplySpin->setValue(values.supplyV);
    plateSpin->setValue(values.plateK);
    cathodeSpin->setValue(values.cathodeOhm);
    bypassSpin->setValue(values.bypassUf);
    nextGridSpin->setValue(values.nextGridK);

    recompute();

    for (int i = 0; i < inputs.size(); ++i)
        inputs.at(i)->blockSignals(wasBlocked.at(i));
}

TriodeStageInput PreampStageWidget::stageInput() const
{
    TriodeStageInput input;
    if (const TriodeSpec* tube = findTriode(tubeCombo->currentText()))
        input.tube = *tube;
    input.supplyV = supplySpin->value();
    input.plateLoadOhm = plateSpin->value() * 1000;
    input.cathodeOhm = cathodeSpin->value();
    input.bypassUf = bypassSpin->value();
    input.nextGridOhm = nextGridSpin->value() * 1000;
    return input;
}

void PreampStageWidget::setModel(PreampModel model)
{
    if (model == chainModel)
        return;
    chainModel = model;
    recompute();
}

void PreampStageWidget::recompute()
{
    const TriodeSpec* tube = findTriode(tubeCombo->currentText());
    if (!tube)
        return;

    const TriodeStageInput input = stageInput();
    const KorenParams* params = chainModel == PreampModel::Koren ? korenParams(tube->name) : nullptr;
    korenShown = params != nullptr;
    if (params) {
        lastKoren = solveKorenStage(input, *params);
        showKoren(lastKoren);
    } else {
        lastKoren = KorenStageResult();
        showDatasheet(input);
        if (chainModel == PreampModel::Koren) {
            modelText->setText(QStringLiteral("No Koren parameters for this tube: datasheet figures."));
            modelText->show();
        } else {
            modelText->hide();
        }
    }

    style()->unpolish(this);
    style()->polish(this);
    emit changed();
}

void PreampStageWidget::showDatasheet(const TriodeStageInput& input)
{
    const TriodeStageResult r = solveTriodeStage(input);

    valid = r.ok;
    lastHeadroom = r.ok ? StageHeadroom{r.gain, r.headroomV, -r.headroomV} : StageHeadroom();
    if (r.ok) {
        lastGainDb = r.gainDb;
        gainText->setText(QStringLiteral("×%1  (%2 dB)")
                              .arg(QString::number(r.gain, 'f', 1), QString::number(r.gainDb, 'f', 1)));
        opText->setText(QStringLiteral("%1 mA · %2 V plate · Vk %3 V")
                            .arg(QString::number(r.plateMa, 'f', 2), QString::number(r.plateV, 'f', 0),
                                 QString::number(r.cathodeV, 'f', 2)));
        QString impedance =
            QStringLiteral("Zout ≈ %1 kΩ · headroom ±%2 V pk")
                .arg(QString::number(r.zoutOhm / 1000, 'f', 1), QString::number(r.headroomV, 'f', 2));
        if (r.bypassCornerHz > 0)
            impedance +=
                QStringLiteral(" · bypass corner %1 Hz").arg(QString::number(r.bypassCornerHz, 'f', 0));
        impedanceText->setText(impedance);
        gauge->setValue(r.pctOfMax);
        warnText->setText(r.warnings.join(QLatin1Char(' ')));
        warnText->setVisible(!r.warnings.isEmpty());
        setProperty("status", r.warnings.isEmpty() ? QStringLiteral("good") : QStringLiteral("danger"));
    } else {
        lastGainDb = 0;
        gainText->setText(QStringLiteral("--"));
        opText->clear();
        impedanceText->clear();
        gauge->setValue(0);
        warnText->setText(r.error);
        warnText->setVisible(!r.error.isEmpty());
        setProperty("status", QStringLiteral("danger"));
    }
}

void PreampStageWidget::showKoren(const KorenStageResult& r)
{
    valid = r.ok;
    lastHeadroom = r.ok ? StageHeadroom{r.gain, r.headroomPlusV, r.headroomMinusV} : StageHeadroom();
    modelText->show();
    if (r.ok) {
        lastGainDb = r.gainDb;
        gainText->setText(QStringLiteral("×%1  (%2 dB)")
                              .arg(QString::number(r.gain, 'f', 1), QString::number(r.gainDb, 'f', 1)));
        opText->setText(QStringLiteral("%1 mA · %2 V plate · Vk %3 V")
                            .arg(QString::number(r.plateMa, 'f', 2), QString::number(r.plateV, 'f', 0),
                                 QString::number(r.cathodeV, 'f', 2)));
        // The two limits differ, and which one comes first is the stage's character.
        QString impedance =
            QStringLiteral("Zout ≈ %1 kΩ · headroom +%2 / −%3 V pk")
                .arg(QString::number(r.zoutOhm / 1000, 'f', 1), QString::number(r.headroomPlusV, 'f', 2),
                     QString::number(-r.headroomMinusV, 'f', 2));
        if (r.bypassCornerHz > 0)
            impedance += QStringLiteral(" · −3 dB at %1 Hz").arg(QString::number(r.bypassCornerHz, 'f', 1));
        impedanceText->setText(impedance);
        modelText->setText(QStringLiteral("Koren model at this point: µ %1 · gm %2 mA/V · rp %3 kΩ")
                               .arg(QString::number(r.tube.mu, 'f', 1),
                                    QString::number(r.tube.gmMaPerV, 'f', 2),
                                    QString::number(r.tube.rpOhm / 1000, 'f', 1)));
        gauge->setValue(r.pctOfMax);
        warnText->setText(r.warnings.join(QLatin1Char(' ')));
        warnText->setVisible(!r.warnings.isEmpty());
        setProperty("status", r.warnings.isEmpty() ? QStringLiteral("good") : QStringLiteral("danger"));
    } else {
        lastGainDb = 0;
        gainText->setText(QStringLiteral("--"));
        opText->clear();
        impedanceText->clear();
        modelText->setText(QStringLiteral("Koren model"));
        gauge->setValue(0);
        warnText->setText(r.error);
        warnText->setVisible(!r.error.isEmpty());
        setProperty("status", QStringLiteral("danger"));
    }
}

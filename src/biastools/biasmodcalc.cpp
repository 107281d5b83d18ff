#include "biastools/biasmodcalc.h"

#include "biastools/biasmath.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The spin boxes carry object names so that tests and tools can find them; no style rule uses them.
QDoubleSpinBox* makeBox(QWidget* parent, const char* objectName, double minimum, double maximum, double value,
                        int decimals, const QString& suffix)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(objectName));
    box->setRange(minimum, maximum);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

QLabel* makeLabel(QWidget* parent, const QString& text, const char* objectName,
                  Qt::TextFormat format = Qt::AutoText)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(true);
    label->setTextFormat(format);
    return label;
}

// One tab: hint, form, result and a stretch below them. Returns the form to fill.
QFormLayout* buildTab(QWidget* page, QLabel* hint, QLabel* result)
{
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(hint);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    layout->addWidget(result);
    layout->addStretch(1);
    return form;
}

} // namespace

BiasModCalc::BiasModCalc(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Bias Mod Calculator"));
    setMinimumWidth(460);

    auto* tabs = new QTabWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);

    auto* cathodePage = new QWidget(tabs);
    auto* cathodeHint =
        makeLabel(cathodePage,
                  QStringLiteral("Computes the cathode resistor for a self-biased stage: R = Vk / "
                                 "Ik(total), where the cathode current is the plate current plus the "
                                 "screen current. Bias voltage is the grid-to-cathode voltage your tube "
                                 "needs at the target current (from the datasheet load lines)."),
                  "calcHint");
    targetCurrentBox = makeBox(cathodePage, "targetCurrentBox", 1, 500, 40, 2, QStringLiteral(" mA"));
    biasVoltageBox = makeBox(cathodePage, "biasVoltageBox", 1, 200, 15, 2, QStringLiteral(" V"));
    tubeCountBox = makeBox(cathodePage, "tubeCountBox", 1, 12, 2, 0, QString());
    screenShareBox = makeBox(cathodePage, "screenShareBox", 0, 30, 5, 1, QStringLiteral(" %"));
    screenShareBox->setToolTip(QStringLiteral("Screen current as a share of the cathode current at idle; "
                                              "0 for a triode"));
    seriesCombo = new QComboBox(cathodePage);
    seriesCombo->setObjectName(QStringLiteral("seriesCombo"));
    seriesCombo->addItem(QStringLiteral("E24"), int(ResistorSeries::E24));
    seriesCombo->addItem(QStringLiteral("E12"), int(ResistorSeries::E12));
    cathodeResult = makeLabel(cathodePage, QString(), "calcResult", Qt::RichText);
    QFormLayout* cathodeForm = buildTab(cathodePage, cathodeHint, cathodeResult);
    cathodeForm->addRow(QStringLiteral("Target plate current per tube"), targetCurrentBox);
    cathodeForm->addRow(QStringLiteral("Required bias (cathode) voltage"), biasVoltageBox);
    cathodeForm->addRow(QStringLiteral("Tubes sharing the resistor"), tubeCountBox);
    cathodeForm->addRow(QStringLiteral("Screen current share"), screenShareBox);
    cathodeForm->addRow(QStringLiteral("Resistor series"), seriesCombo);
    tabs->addTab(cathodePage, QStringLiteral("Cathode Bias Resistor"));

    auto* modPage = new QWidget(tabs);
    auto* modHint =
        makeLabel(modPage,
                  QStringLiteral("For amps whose bias pot can't reach the target (like a Sherwood "
                                 "S-5000 II or blackface Fender with modern tubes): models the bias "
                                 "divider and suggests the shunt resistor value to shift the "
                                 "adjustment range."),
                  "calcHint");
    rawSupplyBox = makeBox(modPage, "rawSupplyBox", -300, 0, -55, 2, QStringLiteral(" V"));
    currentBiasBox = makeBox(modPage, "currentBiasBox", -200, 0, -45, 2, QStringLiteral(" V"));
    neededBiasBox = makeBox(modPage, "neededBiasBox", -200, 0, -38, 2, QStringLiteral(" V"));
    seriesResistorBox = makeBox(modPage, "seriesResistorBox", 0.1, 1000, 27, 2, QStringLiteral(" kΩ"));
    modResult = makeLabel(modPage, QString(), "calcResult", Qt::RichText);
    QFormLayout* modForm = buildTab(modPage, modHint, modResult);
    modForm->addRow(QStringLiteral("Raw bias supply voltage"), rawSupplyBox);
    modForm->addRow(QStringLiteral("Current grid bias voltage"), currentBiasBox);
    modForm->addRow(QStringLiteral("Needed grid bias voltage"), neededBiasBox);
    modForm->addRow(QStringLiteral("Existing series resistor"), seriesResistorBox);
    tabs->addTab(modPage, QStringLiteral("Fixed-Bias Range Mod"));

    for (QDoubleSpinBox* box : {targetCurrentBox, biasVoltageBox, tubeCountBox, screenShareBox})
        connect(box, &QDoubleSpinBox::valueChanged, this, &BiasModCalc::updateCathode);
    connect(seriesCombo, &QComboBox::currentIndexChanged, this, &BiasModCalc::updateCathode);
    for (QDoubleSpinBox* box : {rawSupplyBox, currentBiasBox, neededBiasBox, seriesResistorBox})
        connect(box, &QDoubleSpinBox::valueChanged, this, &BiasModCalc::updateRangeMod);

    updateCathode();
    updateRangeMod();
}

void BiasModCalc::setScreenPct(double pct)
{
    screenShareBox->setValue(pct);
}

void BiasModCalc::updateCathode()
{
    CathodeResistorJob job;
    job.plateMa = targetCurrentBox->value();
    job.biasV = biasVoltageBox->value();
    job.tubes = tubeCountBox->value();
    job.screenPct = screenShareBox->value();
    job.series = ResistorSeries(seriesCombo->currentData().toInt());
    cathodeResult->setText(cathodeResistorResult(job));
}

void BiasModCalc::updateRangeMod()
{
    modResult->setText(biasRangeModResult(rawSupplyBox->value(), currentBiasBox->value(),
                                          neededBiasBox->value(), seriesResistorBox->value()));
}

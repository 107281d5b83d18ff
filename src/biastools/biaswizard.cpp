#include "biastools/biaswizard.h"

#include "bias/biascalc.h"
#include "catalog/ampclasses.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QList>
#include <QPalette>
#include <QVBoxLayout>
#include <QWizardPage>

namespace {

const char* const safetyCheck = "I understand the risks and accept responsibility for my safety";

const char* const safetyBody =
    "<p><b style='color:#ff8a7a;'>Tube amplifiers contain LETHAL voltages</b> - %1 "
    "that can remain stored in filter capacitors long after the amp is unplugged.</p><ul>%2<li>Keep one "
    "hand in your pocket when probing a live amp.</li><li>Use insulated meter probes with alligator "
    "clips - connect with power off, then power up to read.</li><li>Never work on an amp when tired or "
    "distracted.</li><li>If you are not comfortable around high voltage, take the amp to a "
    "tech.</li></ul>";

// The high voltage of an RF linear kills at once and jumps gaps that would hold off an audio amp's.
const char* const linearSafety =
    "<li><b>RF linears run 1,700 to 3,000 volts DC.</b> Discharge the supply with a grounding stick "
    "before reaching in, and never rely on the bleeder resistors or the interlock alone.</li>";

const char* const preparationCheck = "Caps verified drained / probes connected safely";

const char* const preparationBody =
    "<ul><li>Unplug the amp and let it sit several minutes.</li><li><b>Verify filter caps are "
    "drained:</b> measure B+ to ground on the standby switch or first filter cap - it should read "
    "under a few volts before you touch anything.</li><li>Install fresh tubes if replacing; let the "
    "amp warm up 10-15 minutes before final bias readings so cathode emission stabilizes.</li><li>Set "
    "your meter to <b>DC volts</b>, correct range, before connecting.</li></ul>";

const char* const probeBody =
    "<ol><li>Power off. Pull a power tube and insert the bias probe into the socket, then the tube "
    "into the probe.</li><li>Power on, take the amp off standby, and let it warm up.</li><li>Read "
    "cathode current (mA) from the probe for each tube and enter it on that tube's "
    "card.</li><li>Measure plate voltage (plate pin to ground) and enter it in the shared settings - "
    "use plate-to-cathode voltage for precision.</li></ol><p>Note: probe reads <i>cathode</i> current "
    "= plate + screen current. Enable screen subtraction in settings for a closer plate-current "
    "estimate.</p>";

const char* const senseBody =
    "<ol><li>Confirm each power tube cathode has a sense resistor to ground (1 Ω or 10 Ω are typical; "
    "enter the value in shared settings).</li><li>Power on and warm up.</li><li>Set the meter to <b>mV "
    "DC</b>. Measure across each resistor (cathode pin to ground) and enter the reading on that tube's "
    "card.</li><li>Measure plate voltage and enter it in shared settings.</li></ol><p>With a 1 Ω "
    "resistor, 1 mV = 1 mA. With 10 Ω, divide by 10 - the app does this for you from the resistor "
    "value.</p>";

const char* const windingStep1Body =
    "<ol><li>Power off, <b>drain the caps</b>, and disconnect the amp from mains.</li><li>Set the "
    "meter to ohms. Measure from the OT center tap (B+) to each plate pin.</li><li>Enter each "
    "half-primary's DCR on the matching tube card - the two halves usually differ slightly, which is "
    "why each tube has its own field.</li></ol>";

const char* const windingStep2Body =
    "<ol><li>Power on and warm up. Set the meter to DC volts.</li><li>Measure B+ at the OT center tap; "
    "enter it in shared settings.</li><li>Measure the voltage at each plate pin; enter it on each tube "
    "card.</li></ol><p>The app computes each tube's current as (B+ − V_plate) ÷ winding DCR. This "
    "reads <b>true plate current</b> - no screen current included.</p>";

const char* const cathodeBody =
    "<ol><li>Identify the cathode resistor (per-tube or shared) and enter its value in shared "
    "settings; set whether it is shared.</li><li>Power on and warm up.</li><li>Measure DC voltage at "
    "each tube's cathode (top of the resistor) and enter it on the tube card.</li><li>Measure "
    "plate-to-cathode voltage (not plate-to-ground) and enter it in shared settings - the cathode sits "
    "several volts above ground.</li></ol><p>Cathode-biased amps have no adjustment - you change bias "
    "by changing the resistor. Use the Bias Mod Calculator to pick a new value if needed.</p>";

const char* const panelMeterBody =
    "<ol><li>Connect the amplifier to a dummy load rated for its power.</li><li>Power on and let the "
    "filaments warm up fully (directly-heated tubes like the 3-500Z are ready in seconds; wait longer "
    "after long storage).</li><li>Switch the meter to <b>plate current (Ip)</b>. With <b>zero "
    "drive</b> from the exciter, key the amplifier (PTT/key line only - no RF).</li><li>Read the "
    "resting plate current and enter it on the tube card. If the meter reads the total for all tubes, "
    "leave \"Meter reads TOTAL\" checked and the app divides per tube.</li><li>%1</li></ol><p>Grounded-grid "
    "linears have no bias pot in most cases - idle current is set "
    "by the cathode zener/resistor or bias board. If idle is far off, check those components.</p>";

const char* const evaluateBody =
    "<p>Back in the main window, each tube card now shows idle current, plate dissipation, and % of "
    "maximum with a gauge:</p><ul><li><b>Green window</b> - ideal for the selected amp "
    "class.</li><li><b>Blue</b> - cold: %1</li><li><b>Amber</b> - warm: shorter tube life, watch for "
    "red-plating.</li><li><b>Red</b> "
    "- over max dissipation: back the bias off immediately.</li></ul><p>For fixed-bias amps, adjust "
    "the bias pot a little at a time, re-reading after each change. Re-check after 15 minutes - bias "
    "drifts as the amp heats up. When happy, export a PDF report from the toolbar.</p>";

// What a cold tube costs depends on the stage: a class A stage loses headroom and output, a push-pull
// stage biased towards class B crosses over badly, a linear loses linearity.
QString coldText(const QString& ampClass)
{
    if (isClassAStage(ampClass))
        return QStringLiteral("less clean headroom and output, a thinner sound; safe for tubes.");
    if (isRfLinearClass(ampClass))
        return QStringLiteral("poorer linearity (more splatter on SSB), safe for tubes.");
    return QStringLiteral("crossover distortion possible, safe for tubes.");
}

// Title, body and (for a check page) the acknowledgement go into one column; the page's own title
// property stays empty because the theme styles the title label instead.
QVBoxLayout* buildPage(QWizardPage* page, const char* title, const QString& body)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(22, 18, 22, 14);
    layout->setSpacing(10);
    auto* titleLabel = new QLabel(QString::fromUtf8(title), page);
    titleLabel->setObjectName(QStringLiteral("wizardTitle"));
    layout->addWidget(titleLabel);
    auto* bodyLabel = new QLabel(body, page);
    bodyLabel->setObjectName(QStringLiteral("wizardBody"));
    bodyLabel->setWordWrap(true);
    bodyLabel->setTextFormat(Qt::RichText);
    layout->addWidget(bodyLabel);
    return layout;
}

QWizardPage* informationPage(const char* title, const QString& body, QWidget* parent)
{
    auto* page = new QWizardPage(parent);
    buildPage(page, title, body)->addStretch(1);
    return page;
}

// A safety page: Next stays disabled until the technician ticks the acknowledgement.
class CheckPage : public QWizardPage
{
public:
    CheckPage(const char* title, const QString& body, const char* checkText, QWidget* parent)
        : QWizardPage(parent)
    {
        QVBoxLayout* layout = buildPage(this, title, body);
        check = new QCheckBox(QString::fromUtf8(checkText), this);
        check->setObjectName(QStringLiteral("wizardCheck"));
        layout->addWidget(check);
        layout->addStretch(1);
        connect(check, &QCheckBox::toggled, this, &QWizardPage::completeChanged);
    }

    bool isComplete() const override { return check->isChecked(); }

private:
    QCheckBox* check = nullptr;
};

struct MethodPage {
    const char* title;
    QString body;
};

// The measurement instructions for one bias method; none for a value outside the known methods.
QList<MethodPage> methodPages(const BiasWizardJob& job)
{
    switch (job.method) {
    case BiasProbe:
        return {{"Measure with the Bias Probe", QString::fromUtf8(probeBody)}};
    case SenseResistor:
        return {{"Measure Across the Sense Resistors", QString::fromUtf8(senseBody)}};
    case OtWindingDrop:
        return {{"Step 1 - Winding Resistance (Amp OFF)", QString::fromUtf8(windingStep1Body)},
                {"Step 2 - Voltage Drop (Amp ON)", QString::fromUtf8(windingStep2Body)}};
    case CathodeBias:
        return {{"Measure the Cathode-Biased Stage", QString::fromUtf8(cathodeBody)}};
    case PanelMeter:
        return {{"Read Idle Current from the Panel Meter", biasWizardPanelMeterBody(job)}};
    default:
        return {};
    }
}

} // namespace

QString biasWizardSafetyBody(const BiasWizardJob& job)
{
    const bool linear = isRfLinearClass(job.ampClass);
    QString voltage;
    if (job.plateV > 0)
        voltage =
            QStringLiteral("about %1 volts DC on this amp's plates").arg(QString::number(job.plateV, 'f', 0));
    else if (linear)
        voltage = QStringLiteral("1,700 to 3,000 volts DC in an RF linear");
    else
        voltage = QStringLiteral("400 to 700 volts DC");
    return QString::fromUtf8(safetyBody).arg(voltage, linear ? QString::fromUtf8(linearSafety) : QString());
}

QString biasWizardPanelMeterBody(const BiasWizardJob& job)
{
    const QString plate =
        isRfLinearClass(job.ampClass)
            ? QStringLiteral("Read the plate voltage and enter it in shared settings. ") +
                  rfPlateVoltageHint()
            : QStringLiteral("Read the plate voltage (HV meter position, with the amp idling) and "
                             "enter it in shared settings.");
    return QString::fromUtf8(panelMeterBody).arg(plate);
}

QString biasWizardEvaluateBody(const BiasWizardJob& job)
{
    return QString::fromUtf8(evaluateBody).arg(coldText(job.ampClass));
}

BiasWizard::BiasWizard(int method, QWidget* parent) : BiasWizard(BiasWizardJob{method, QString(), 0}, parent)
{
}

BiasWizard::BiasWizard(const BiasWizardJob& job, QWidget* parent) : QWizard(parent)
{
    setWindowTitle(QStringLiteral("Guided Bias Session"));
    setWizardStyle(QWizard::ClassicStyle);
    setMinimumSize(560, 440);

    QPalette dark = palette();
    const QColor background(0x21, 0x1e, 0x17);
    const QColor text(0xec, 0xe4, 0xcf);
    dark.setColor(QPalette::All, QPalette::Window, background);
    dark.setColor(QPalette::All, QPalette::Base, background);
    dark.setColor(QPalette::All, QPalette::Text, text);
    dark.setColor(QPalette::All, QPalette::WindowText, text);
    setPalette(dark);

    addPage(new CheckPage("Safety First", biasWizardSafetyBody(job), safetyCheck, this));
    addPage(new CheckPage("Preparation", QString::fromUtf8(preparationBody), preparationCheck, this));
    for (const MethodPage& page : methodPages(job))
        addPage(informationPage(page.title, page.body, this));
    addPage(informationPage("Evaluate", biasWizardEvaluateBody(job), this));

    // With a minimum size of its own, QWizard no longer grows itself to fit its pages, and the
    // theme's bold 14px acknowledgement is wider than 560. So open at the size the first (widest)
    // page asks for in the theme's fonts.
    restart();
    ensurePolished();
    resize(sizeHint().expandedTo(minimumSize()));
}

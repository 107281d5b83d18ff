#pragma once

// The guided bias session: two safety pages that must be acknowledged, the measurement steps of
// the chosen bias method, and how to read the results. It only instructs; it changes nothing.
#include <QString>
#include <QWizard>

// The amplifier the session is for: what the pages say depends on it.
struct BiasWizardJob {
    int method = 0;    // BiasMethod value; one outside the known methods adds no measurement page
    QString ampClass;  // AmpClass name; empty or unknown for no class
    double plateV = 0; // V on the bench, 0 when not known
};

// The texts of the pages that follow the amplifier.
QString biasWizardSafetyBody(const BiasWizardJob& job);
QString biasWizardPanelMeterBody(const BiasWizardJob& job);
QString biasWizardEvaluateBody(const BiasWizardJob& job);

class BiasWizard : public QWizard
{
    Q_OBJECT

public:
    // `method` is a BiasMethod value; one outside the known methods adds no measurement page.
    explicit BiasWizard(int method, QWidget* parent = nullptr);
    explicit BiasWizard(const BiasWizardJob& job, QWidget* parent = nullptr);
};

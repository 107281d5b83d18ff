// The bias tools: both calculator tabs, every page of the guided session for the OT winding method
// and for an RF linear, and a four-tube PDF report.
#include "gallery.h"

#include "bias/biascalc.h"
#include "biastools/biasmodcalc.h"
#include "biastools/biasreport.h"
#include "biastools/biaswizard.h"

#include <QCheckBox>
#include <QTabWidget>
#include <cstdio>

GALLERY_PAGE(biastools)
{
    BiasModCalc calc;
    auto* tabs = calc.findChild<QTabWidget*>();
    saveWidget(&calc, out, QStringLiteral("biasmodcalc_cathode.png"));
    tabs->setCurrentIndex(1);
    saveWidget(&calc, out, QStringLiteral("biasmodcalc_rangemod.png"));
    calc.close();

    BiasWizard wizard(OtWindingDrop);
    for (int page = 1; page <= wizard.pageIds().size(); ++page) {
        saveWidget(&wizard, out, QStringLiteral("biaswizard_otdrop_%1.png").arg(page));
        if (auto* check = wizard.currentPage()->findChild<QCheckBox*>(QStringLiteral("wizardCheck"))) {
            check->setChecked(true);
            saveWidget(&wizard, out, QStringLiteral("biaswizard_otdrop_%1_ticked.png").arg(page));
        }
        wizard.next();
    }
    wizard.close();

    // The session for an SB-200 at its 2400 V idle high voltage: its own voltages on the safety page,
    // the no-load voltage on the meter page.
    BiasWizard linear(BiasWizardJob{PanelMeter, QStringLiteral("RF Linear (Class AB/B)"), 2400});
    for (int page = 1; page <= linear.pageIds().size(); ++page) {
        saveWidget(&linear, out, QStringLiteral("biaswizard_sb200_%1.png").arg(page));
        if (auto* check = linear.currentPage()->findChild<QCheckBox*>(QStringLiteral("wizardCheck")))
            check->setChecked(true);
        linear.next();
    }
    linear.close();

    BiasReportData data;
    data.ampName = QStringLiteral("Black Panel Deluxe");
    data.tubeType = QStringLiteral("6L6GC");
    data.topology = QStringLiteral("Push-Pull Class AB (fixed bias)");
    data.biasMethod = biasMethodLabel(BiasProbe);
    data.plateV = 450;
    data.targetPct = 65;
    data.maxPlateW = 30;
    BiasInputs inputs;
    inputs.method = BiasProbe;
    inputs.plateV = data.plateV;
    for (const double probeMa : {36.0, 44.0, 0.0, 70.0}) {
        inputs.probeMa = probeMa;
        data.rows << biasReportRow(data.rows.size(), computeBias(inputs, data.maxPlateW), data.topology);
    }
    const QString pdf = out.filePath(QStringLiteral("bias_report.pdf"));
    if (writeBiasReport(pdf, data))
        std::printf("  %s\n", qPrintable(pdf));
    else
        std::fprintf(stderr, "could not write %s\n", qPrintable(pdf));
}

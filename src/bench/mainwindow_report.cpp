// "Export PDF Report": a snapshot of the bench, one row per tube card, written as a PDF where the
// user chooses.
#include "bench/mainwindow.h"

#include "bias/tubecardwidget.h"
#include "biastools/biasreport.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>

void MainWindow::exportBiasReport()
{
    BiasReportData data;
    data.ampName = biasReportAmpName(myAmpsCombo->currentData().toString(), tubeCombo->currentText());
    data.tubeType = tubeCombo->currentText();
    data.topology = classCombo->currentText();
    data.biasMethod = methodCombo->currentText();
    data.plateV = plateVSpin->value();
    data.targetPct = targetSlider->value();
    data.maxPlateW = effectiveMaxPlateW();
    // Each card is rated against the window of the class on screen, as its own badge is.
    for (TubeCardWidget* card : cards)
        data.rows.append(biasReportRow(card->index(), card->result(), data.topology));

    const QString suggested = biasReportDefaultPath(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), data.ampName);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Bias Report"), suggested,
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;

    if (writeBiasReport(path, data))
        showStatusMessage(QStringLiteral("Report saved to ") + path, 8000);
    else
        QMessageBox::warning(this, QStringLiteral("Export failed"),
                             QStringLiteral("Could not write the PDF."));
}

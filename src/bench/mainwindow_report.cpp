// "Export PDF Report": a snapshot of the bench model, one row per tube, written as a PDF where the
// user chooses.
#include "bench/mainwindow.h"

#include "app/plainmessagebox.h"
#include "bench/benchsnapshot.h"
#include "biastools/biasreport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>

void MainWindow::exportBiasReport()
{
    // Each tube is rated against the window of the class on the bench, as its card's badge is.
    const BiasReportData data = biasReportFromBench(bench.snapshot(), myAmpsCombo->currentData().toString());

    const QString suggested = biasReportDefaultPath(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), data.ampName);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Bias Report"), suggested,
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;

    if (writeBiasReport(path, data))
        showStatusMessage(QStringLiteral("Report saved to ") + path, 8000);
    else
        plainWarning(this, QStringLiteral("Export failed"), QStringLiteral("Could not write the PDF."));
}

// "Export PDF Report": the job on the bench as the customer document (the shop's details, the amp's
// record, the readings before adjustment when taken, the warm-up log), written where the user
// chooses.
#include "bench/mainwindow.h"

#include "app/clock.h"
#include "app/plainmessagebox.h"
#include "bench/benchsnapshot.h"
#include "biastools/biasreport.h"
#include "service/shopdetails.h"
#include "warmup/warmuprecorder.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>

void MainWindow::exportBiasReport()
{
    // Each tube is rated against the window of the class on the bench, as its card's badge is. The
    // job is the bench as it stands, signed by the shop's default technician.
    const ShopDetails shop = loadShopDetails();
    const QString ampName = biasReportAmpName(myAmpsCombo->currentData().toString(), bench.setup().tube);
    const ServiceJob job = serviceJobFromBench(bench.snapshot(), before, recorder->log(), shop.technician,
                                               QString(), QString(), Clock::currentDateTime());
    exportJobReport(ampName, record, job);
}

bool MainWindow::exportJobReport(const QString& ampName, const AmpRecord& amp, const ServiceJob& job)
{
    BiasReportData data = biasReportFromJob(job, ampName, amp, loadShopDetails());
    data.pageSize = reportPageSize();

    const QString suggested = biasReportDefaultPath(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), data.ampName);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Bias Report"), suggested,
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return false;

    if (writeBiasReport(path, data)) {
        showStatusMessage(QStringLiteral("Report saved to ") + path, 8000);
        return true;
    }
    plainWarning(this, QStringLiteral("Export failed"), QStringLiteral("Could not write the PDF."));
    return false;
}

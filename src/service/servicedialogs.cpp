#include "service/servicedialogs.h"

#include "biastools/biasreport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QLineEdit* lineEdit(const char* objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    return edit;
}

QPlainTextEdit* textEdit(const char* objectName, int lines, QWidget* parent)
{
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(edit->fontMetrics().lineSpacing() * lines + 12);
    return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("preferencesDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Your shop, as every report shows it."), this);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    nameEdit = lineEdit("shopNameEdit", this);
    form->addRow(QStringLiteral("Shop name"), nameEdit);
    addressEdit = textEdit("shopAddressEdit", 3, this);
    form->addRow(QStringLiteral("Address"), addressEdit);
    phoneEdit = lineEdit("shopPhoneEdit", this);
    form->addRow(QStringLiteral("Phone"), phoneEdit);
    emailEdit = lineEdit("shopEmailEdit", this);
    form->addRow(QStringLiteral("E-mail"), emailEdit);
    auto* logoRow = new QHBoxLayout;
    logoEdit = lineEdit("shopLogoEdit", this);
    logoEdit->setPlaceholderText(QStringLiteral("none"));
    logoButton = new QPushButton(QStringLiteral("Choose…"), this);
    logoButton->setObjectName(QStringLiteral("shopLogoButton"));
    connect(logoButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Shop Logo"), logoEdit->text(),
                                                          QStringLiteral("Images (*.png *.jpg *.jpeg)"));
        if (!path.isEmpty())
            logoEdit->setText(path);
    });
    logoRow->addWidget(logoEdit, 1);
    logoRow->addWidget(logoButton);
    form->addRow(QStringLiteral("Logo"), logoRow);
    technicianEdit = lineEdit("shopTechnicianEdit", this);
    form->addRow(QStringLiteral("Default technician"), technicianEdit);
    warrantyEdit = textEdit("shopWarrantyEdit", 3, this);
    form->addRow(QStringLiteral("Warranty text"), warrantyEdit);
    paperCombo = new QComboBox(this);
    paperCombo->setObjectName(QStringLiteral("paperCombo"));
    paperCombo->addItem(QStringLiteral("A4"), int(QPageSize::A4));
    paperCombo->addItem(QStringLiteral("US Letter"), int(QPageSize::Letter));
    form->addRow(QStringLiteral("Report paper"), paperCombo);
    layout->addWidget(okCancel(this));
    setMinimumWidth(460);
}

void PreferencesDialog::setShop(const ShopDetails& shop)
{
    nameEdit->setText(shop.name);
    addressEdit->setPlainText(shop.address);
    phoneEdit->setText(shop.phone);
    emailEdit->setText(shop.email);
    logoEdit->setText(shop.logoPath);
    technicianEdit->setText(shop.technician);
    warrantyEdit->setPlainText(shop.warranty);
}

ShopDetails PreferencesDialog::shop() const
{
    ShopDetails shop;
    shop.name = nameEdit->text().trimmed();
    shop.address = addressEdit->toPlainText().trimmed();
    shop.phone = phoneEdit->text().trimmed();
    shop.email = emailEdit->text().trimmed();
    shop.logoPath = logoEdit->text().trimmed();
    shop.technician = technicianEdit->text().trimmed();
    shop.warranty = warrantyEdit->toPlainText().trimmed();
    return shop;
}

void PreferencesDialog::setPageSize(QPageSize::PageSizeId id)
{
    paperCombo->setCurrentIndex(id == QPageSize::Letter ? 1 : 0);
}

QPageSize::PageSizeId PreferencesDialog::pageSize() const
{
    return QPageSize::PageSizeId(paperCombo->currentData().toInt());
}

AmpRecordDialog::AmpRecordDialog(const QString& ampName, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Amp Record"));
    setObjectName(QStringLiteral("ampRecordDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(ampName.isEmpty() ? QStringLiteral("The amp on the bench") : ampName, this);
    title->setObjectName(QStringLiteral("panelHeader"));
    layout->addWidget(title);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    customerEdit = lineEdit("customerEdit", this);
    form->addRow(QStringLiteral("Customer"), customerEdit);
    contactEdit = lineEdit("contactEdit", this);
    form->addRow(QStringLiteral("Contact"), contactEdit);
    makeEdit = lineEdit("makeEdit", this);
    form->addRow(QStringLiteral("Make"), makeEdit);
    modelEdit = lineEdit("modelEdit", this);
    form->addRow(QStringLiteral("Model"), modelEdit);
    serialEdit = lineEdit("serialEdit", this);
    form->addRow(QStringLiteral("Serial number"), serialEdit);
    notesEdit = textEdit("ampNotesEdit", 4, this);
    form->addRow(QStringLiteral("Notes"), notesEdit);
    layout->addWidget(okCancel(this));
    setMinimumWidth(420);
}

void AmpRecordDialog::setRecord(const AmpRecord& r)
{
    customerEdit->setText(r.customer);
    contactEdit->setText(r.contact);
    makeEdit->setText(r.make);
    modelEdit->setText(r.model);
    serialEdit->setText(r.serial);
    notesEdit->setPlainText(r.notes);
}

AmpRecord AmpRecordDialog::record() const
{
    AmpRecord r;
    r.customer = customerEdit->text().trimmed();
    r.contact = contactEdit->text().trimmed();
    r.make = makeEdit->text().trimmed();
    r.model = modelEdit->text().trimmed();
    r.serial = serialEdit->text().trimmed();
    r.notes = notesEdit->toPlainText().trimmed();
    return r;
}

FinishJobDialog::FinishJobDialog(const QString& ampName, const QString& summary, const QString& technician,
                                 QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Finish Job"));
    setObjectName(QStringLiteral("finishJobDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Close the job on \"%1\" into its service history: %2.")
                                .arg(ampName.toHtmlEscaped(), summary.toHtmlEscaped()),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    technicianEdit = lineEdit("technicianEdit", this);
    technicianEdit->setText(technician);
    form->addRow(QStringLiteral("Technician"), technicianEdit);
    brandEdit = lineEdit("tubeBrandEdit", this);
    brandEdit->setPlaceholderText(QStringLiteral("e.g. JJ, Tung-Sol, NOS RCA"));
    form->addRow(QStringLiteral("Tubes fitted (brand)"), brandEdit);
    notesEdit = textEdit("jobNotesEdit", 4, this);
    form->addRow(QStringLiteral("Notes"), notesEdit);
    layout->addWidget(okCancel(this));
    setMinimumWidth(420);
}

QString FinishJobDialog::technician() const
{
    return technicianEdit->text().trimmed();
}

QString FinishJobDialog::tubeBrand() const
{
    return brandEdit->text().trimmed();
}

QString FinishJobDialog::notes() const
{
    return notesEdit->toPlainText().trimmed();
}

QString serviceJobSummary(const ServiceJob& job)
{
    QString text = job.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")) +
                   QStringLiteral(" — %1 × %2").arg(job.tubeCount()).arg(job.tube);
    if (!job.tubeBrand.isEmpty())
        text += QStringLiteral(", ") + job.tubeBrand;
    if (!job.technician.isEmpty())
        text += QStringLiteral(" — ") + job.technician;
    return text;
}

ServiceHistoryDialog::ServiceHistoryDialog(const QString& ampName, const QList<ServiceJob>& jobs,
                                           QWidget* parent)
    : QDialog(parent), amp(ampName), history(jobs)
{
    setWindowTitle(QStringLiteral("Service History — ") + ampName);
    setObjectName(QStringLiteral("serviceHistoryDialog"));
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    layout->addLayout(left, 2);
    jobList = new QListWidget(this);
    jobList->setObjectName(QStringLiteral("jobList"));
    for (const ServiceJob& job : history)
        jobList->addItem(serviceJobSummary(job));
    if (history.isEmpty()) {
        jobList->addItem(QStringLiteral("No jobs yet: \"Finish Job\" adds one."));
        jobList->setEnabled(false);
    }
    left->addWidget(jobList, 1);
    startButton = new QPushButton(QStringLiteral("Start New Job From This"), this);
    startButton->setObjectName(QStringLiteral("startJobButton"));
    exportJobButton = new QPushButton(QStringLiteral("Export Job Report…"), this);
    exportJobButton->setObjectName(QStringLiteral("exportJobButton"));
    exportHistoryButton = new QPushButton(QStringLiteral("Export History Report…"), this);
    exportHistoryButton->setObjectName(QStringLiteral("exportHistoryButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* button : {startButton, exportJobButton, exportHistoryButton, close})
        left->addWidget(button);
    jobView = new QTextBrowser(this);
    jobView->setObjectName(QStringLiteral("jobView"));
    jobView->setReadOnly(true);
    layout->addWidget(jobView, 3);

    connect(jobList, &QListWidget::currentRowChanged, this, &ServiceHistoryDialog::showJob);
    connect(startButton, &QPushButton::clicked, this, [this] {
        chosenStart = currentJob();
        if (chosenStart >= 0)
            accept();
    });
    connect(exportJobButton, &QPushButton::clicked, this, [this] {
        if (exportJob && currentJob() >= 0)
            exportJob(currentJob());
    });
    connect(exportHistoryButton, &QPushButton::clicked, this, [this] {
        if (exportHistory)
            exportHistory();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    const bool any = !history.isEmpty();
    startButton->setEnabled(any);
    exportJobButton->setEnabled(any);
    exportHistoryButton->setEnabled(any);
    if (any)
        jobList->setCurrentRow(0);
    resize(900, 560);
}

int ServiceHistoryDialog::currentJob() const
{
    const int row = jobList->currentRow();
    return row >= 0 && row < history.size() ? row : -1;
}

void ServiceHistoryDialog::showJob(int row)
{
    if (row < 0 || row >= history.size()) {
        jobView->clear();
        return;
    }
    // The report's own text of the job, without the plot: what the customer got, read-only.
    BiasReportData data = biasReportFromJob(history.at(row), amp, AmpRecord(), ShopDetails());
    data.plot = WarmupPlotData();
    jobView->setHtml(biasReportHtml(data, history.at(row).date.toLocalTime()));
}

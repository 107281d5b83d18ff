#pragma once

// The dialogs of the service record: the shop's details ("Preferences"), the amp's record, closing a
// job ("Finish Job") and the amp's service history. Each edits plain values it is given and hands
// them back; the window stores them.
#include "service/servicerecord.h"
#include "service/shopdetails.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTextBrowser;

class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);

    void setShop(const ShopDetails& shop);
    ShopDetails shop() const;
    void setPageSize(QPageSize::PageSizeId id);
    QPageSize::PageSizeId pageSize() const;

    QLineEdit* nameEdit = nullptr;
    QPlainTextEdit* addressEdit = nullptr;
    QLineEdit* phoneEdit = nullptr;
    QLineEdit* emailEdit = nullptr;
    QLineEdit* logoEdit = nullptr;
    QPushButton* logoButton = nullptr;
    QLineEdit* technicianEdit = nullptr;
    QPlainTextEdit* warrantyEdit = nullptr;
    QComboBox* paperCombo = nullptr; // "A4", "US Letter"
};

class AmpRecordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AmpRecordDialog(const QString& ampName, QWidget* parent = nullptr);

    void setRecord(const AmpRecord& record);
    AmpRecord record() const;

    QLineEdit* customerEdit = nullptr;
    QLineEdit* contactEdit = nullptr;
    QLineEdit* makeEdit = nullptr;
    QLineEdit* modelEdit = nullptr;
    QLineEdit* serialEdit = nullptr;
    QPlainTextEdit* notesEdit = nullptr;
};

class FinishJobDialog : public QDialog
{
    Q_OBJECT

public:
    // `summary` says what is being closed ("4 × 6L6GC, readings before adjustment taken").
    FinishJobDialog(const QString& ampName, const QString& summary, const QString& technician,
                    QWidget* parent = nullptr);

    QString technician() const;
    QString tubeBrand() const;
    QString notes() const;

    QLineEdit* technicianEdit = nullptr;
    QLineEdit* brandEdit = nullptr;
    QPlainTextEdit* notesEdit = nullptr;
};

// The jobs of one amp, newest first; the chosen one shown read-only. "Start New Job From This" closes
// the dialog with startJob() set; the two export buttons ask the window through the callbacks.
class ServiceHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    ServiceHistoryDialog(const QString& ampName, const QList<ServiceJob>& jobs, QWidget* parent = nullptr);

    // Index of the job to start from, -1 when the dialog was closed otherwise.
    int startJob() const { return chosenStart; }
    int currentJob() const;

    std::function<void(int job)> exportJob;
    std::function<void()> exportHistory;

    QListWidget* jobList = nullptr;
    QTextBrowser* jobView = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* exportJobButton = nullptr;
    QPushButton* exportHistoryButton = nullptr;

private:
    void showJob(int row);

    QString amp;
    QList<ServiceJob> history;
    int chosenStart = -1;
};

// One line of the history list: "2026-03-14 09:30 — 4 × 6L6GC, JJ — A. Tech".
QString serviceJobSummary(const ServiceJob& job);

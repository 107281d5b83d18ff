#pragma once

// The "MATCHING" tab: the test condition of the batch, the table of measured tubes (Enter moves on
// to the next cell, row by row), the set size, count and tolerances, "Find sets", the sets found
// with their spread and verdict, the tubes left over, and the batch's files. A set chosen in the
// list goes to the bench with "Send to bench".
#include <QWidget>

struct MatchBatch;

class BenchSession;
class MatchingViewModel;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTreeWidget;

class MatchingView : public QWidget
{
    Q_OBJECT

public:
    // `bench` receives the sets sent to it and must outlive the view.
    explicit MatchingView(BenchSession& bench, QWidget* parent = nullptr);

    MatchingViewModel* model() const { return tubes; }
    QTableView* table() const { return tableView; }

    // Shows a batch: its condition and choices in the panel, its tubes in the table.
    void setBatch(const MatchBatch& batch);

    // The buttons' handlers.
    void findSets();
    void sendToBench(); // the set chosen in the list, the first when none is
    void saveBatch();
    void openBatch();
    void exportCsv();
    void printLabels();

private:
    void takeCondition();
    void showBatch();
    void showOutcome();

    BenchSession* bench;
    MatchingViewModel* tubes = nullptr;
    QComboBox* tubeTypeCombo = nullptr;
    QDoubleSpinBox* plateVSpin = nullptr;
    QDoubleSpinBox* screenVSpin = nullptr;
    QDoubleSpinBox* gridVSpin = nullptr;
    QDoubleSpinBox* grid2VSpin = nullptr;
    QComboBox* setSizeCombo = nullptr;
    QSpinBox* setCountSpin = nullptr;
    QDoubleSpinBox* toleranceSpin = nullptr;
    QDoubleSpinBox* gmToleranceSpin = nullptr;
    QTableView* tableView = nullptr;
    QTreeWidget* setsTree = nullptr;
    QLabel* leftoverLabel = nullptr;
    QLabel* summaryLabel = nullptr;
    QPushButton* sendButton = nullptr;
};

#pragma once

// The batch behind the "MATCHING" tab: one row per tube (label, brand, type, current, optional
// transconductance and second current) and an empty row below the last, where typing adds a tube.
// The condition and the search choices live here too, so that saving, exporting and the search all
// read one batch.
//
// A live meter feeds the table through enterCurrent(): it sets the current row's current and moves
// the current row on, as Enter does when typing.
#include "matching/matchbatch.h"

#include <QAbstractTableModel>

class MatchingViewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        LabelColumn,
        BrandColumn,
        TypeColumn,
        CurrentColumn,
        GmColumn,
        Current2Column,
        ColumnCount
    };

    explicit MatchingViewModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Numbers are read with a point or a comma as the decimal sign; an empty or unreadable number,
    // or one below 0, is "not measured" (0). Editing the empty last row adds a tube.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const MatchBatch& batch() const { return held; }
    void setBatch(const MatchBatch& batch); // resets the table and the current row
    void setCondition(const MatchCondition& condition);
    void setChoices(int setSize, int setCount, double tolerancePct, double gmTolerancePct);

    // The row a reading goes to (the empty last row once every tube has one).
    int currentRow() const { return row; }
    void setCurrentRow(int row);
    // The meter's entry: the current row's idle current in mA, then the next row becomes current.
    void enterCurrent(double currentMa);

    // Runs the search on the batch and keeps its outcome.
    const MatchOutcome& findSets();
    const MatchOutcome& outcome() const { return found; }

signals:
    void currentRowChanged(int row);
    void outcomeChanged();

private:
    MatchTube& tubeForEdit(int row);

    MatchBatch held;
    MatchOutcome found;
    int row = 0;
};

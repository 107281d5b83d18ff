#include "matching/matchingview.h"

#include "app/plainmessagebox.h"
#include "bench/benchsession.h"
#include "catalog/tubes.h"
#include "matching/matchingviewmodel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

// Enter in a cell's editor commits it and moves on: along the row, then to the next row's first cell.
class EntryDelegate : public QStyledItemDelegate
{
public:
    EntryDelegate(std::function<void()> onEnter, QObject* parent)
        : QStyledItemDelegate(parent), enter(std::move(onEnter))
    {
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* editor = qobject_cast<QWidget*>(object);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                enter();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::function<void()> enter;
};

QLabel* namedLabel(const QString& text, const char* objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QPushButton* toolButton(const QString& text, const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("toolBtn"));
    button->setProperty("role", QLatin1String(objectName));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QDoubleSpinBox* voltSpin(double minimum, double maximum, int decimals, QWidget* parent)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setDecimals(decimals);
    spin->setRange(minimum, maximum);
    spin->setSuffix(QStringLiteral(" V"));
    return spin;
}

QDoubleSpinBox* percentSpin(double value, QWidget* parent)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setDecimals(1);
    spin->setRange(0.1, 100);
    spin->setValue(value);
    spin->setSuffix(QStringLiteral(" %"));
    return spin;
}

QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

MatchingView::MatchingView(BenchSession& benchSession, QWidget* parent)
    : QWidget(parent), bench(&benchSession)
{
    setObjectName(QStringLiteral("matchingView"));
    tubes = new MatchingViewModel(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(14);

    // Condition, choices and files.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("settingsPanel"));
    panel->setFixedWidth(300);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(16, 14, 16, 14);
    panelLayout->setSpacing(10);
    panelLayout->addWidget(namedLabel(QStringLiteral("TEST CONDITION"), "panelHeader", panel));
    auto* conditionForm = new QFormLayout;
    conditionForm->setSpacing(8);
    conditionForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panelLayout->addLayout(conditionForm);
    tubeTypeCombo = new QComboBox(panel);
    tubeTypeCombo->setObjectName(QStringLiteral("matchTubeCombo"));
    tubeTypeCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const TubeSpec& tube : tubeCatalogue())
        tubeTypeCombo->addItem(tube.name);
    tubeTypeCombo->setCurrentIndex(tubeTypeCombo->findText(QStringLiteral("6L6GC")));
    conditionForm->addRow(QStringLiteral("Tube type"), tubeTypeCombo);
    plateVSpin = voltSpin(0, 5000, 0, panel);
    plateVSpin->setObjectName(QStringLiteral("matchPlateVSpin"));
    conditionForm->addRow(QStringLiteral("Plate voltage"), plateVSpin);
    screenVSpin = voltSpin(0, 5000, 0, panel);
    screenVSpin->setObjectName(QStringLiteral("matchScreenVSpin"));
    conditionForm->addRow(QStringLiteral("Screen voltage"), screenVSpin);
    gridVSpin = voltSpin(-500, 500, 1, panel);
    gridVSpin->setObjectName(QStringLiteral("matchGridVSpin"));
    conditionForm->addRow(QStringLiteral("Grid voltage"), gridVSpin);
    grid2VSpin = voltSpin(-500, 500, 1, panel);
    grid2VSpin->setObjectName(QStringLiteral("matchGrid2VSpin"));
    conditionForm->addRow(QStringLiteral("Second grid voltage"), grid2VSpin);

    panelLayout->addWidget(namedLabel(QStringLiteral("SETS"), "panelHeader", panel));
    auto* setForm = new QFormLayout;
    setForm->setSpacing(8);
    setForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panelLayout->addLayout(setForm);
    setSizeCombo = new QComboBox(panel);
    setSizeCombo->setObjectName(QStringLiteral("setSizeCombo"));
    for (int size : matchSetSizes())
        setSizeCombo->addItem(QString::number(size), size);
    setSizeCombo->setCurrentIndex(setSizeCombo->findData(4));
    setForm->addRow(QStringLiteral("Set size"), setSizeCombo);
    setCountSpin = new QSpinBox(panel);
    setCountSpin->setObjectName(QStringLiteral("setCountSpin"));
    setCountSpin->setRange(0, maxMatchTubes);
    setCountSpin->setSpecialValueText(QStringLiteral("As many as possible"));
    setForm->addRow(QStringLiteral("Sets"), setCountSpin);
    toleranceSpin = percentSpin(5, panel);
    toleranceSpin->setObjectName(QStringLiteral("toleranceSpin"));
    setForm->addRow(QStringLiteral("Tolerance"), toleranceSpin);
    gmToleranceSpin = percentSpin(10, panel);
    gmToleranceSpin->setObjectName(QStringLiteral("gmToleranceSpin"));
    setForm->addRow(QStringLiteral("gm tolerance"), gmToleranceSpin);

    auto* findButton = toolButton(QStringLiteral("Find sets"), "findSets", panel);
    findButton->setObjectName(QStringLiteral("findSetsButton"));
    connect(findButton, &QPushButton::clicked, this, &MatchingView::findSets);
    panelLayout->addWidget(findButton);
    sendButton = toolButton(QStringLiteral("Send to bench"), "sendToBench", panel);
    sendButton->setObjectName(QStringLiteral("sendToBenchButton"));
    sendButton->setEnabled(false);
    connect(sendButton, &QPushButton::clicked, this, &MatchingView::sendToBench);
    panelLayout->addWidget(sendButton);
    panelLayout->addSpacing(6);
    const QList<std::pair<QString, void (MatchingView::*)()>> fileButtons = {
        {QStringLiteral("Open batch"), &MatchingView::openBatch},
        {QStringLiteral("Save batch"), &MatchingView::saveBatch},
        {QStringLiteral("Export CSV"), &MatchingView::exportCsv},
        {QStringLiteral("Print labels"), &MatchingView::printLabels}};
    for (const auto& [text, handler] : fileButtons) {
        auto* button = new QPushButton(text, panel);
        button->setObjectName(QStringLiteral("toolBtn"));
        connect(button, &QPushButton::clicked, this, handler);
        panelLayout->addWidget(button);
    }
    panelLayout->addStretch(1);
    layout->addWidget(panel);

    // The tubes.
    tableView = new QTableView(this);
    tableView->setObjectName(QStringLiteral("matchTable"));
    tableView->setModel(tubes);
    tableView->setItemDelegate(new EntryDelegate(
        [this] {
            const QModelIndex at = tableView->currentIndex();
            const bool lastColumn = at.column() + 1 >= MatchingViewModel::ColumnCount;
            const QModelIndex next =
                tubes->index(at.row() + (lastColumn ? 1 : 0), lastColumn ? 0 : at.column() + 1);
            if (!next.isValid())
                return;
            tableView->setCurrentIndex(next);
            tableView->edit(next);
        },
        tableView));
    tableView->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableView, 3);
    connect(tableView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& at) { tubes->setCurrentRow(at.row()); });
    connect(tubes, &MatchingViewModel::currentRowChanged, this, [this](int row) {
        const QModelIndex at = tableView->currentIndex();
        if (at.row() != row)
            tableView->setCurrentIndex(tubes->index(row, at.isValid() ? at.column() : 0));
    });

    // The sets found.
    auto* results = new QFrame(this);
    results->setObjectName(QStringLiteral("settingsPanel"));
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(16, 14, 16, 14);
    resultsLayout->setSpacing(10);
    resultsLayout->addWidget(namedLabel(QStringLiteral("MATCHED SETS"), "panelHeader", results));
    summaryLabel = namedLabel(QString(), "matchNote", results);
    summaryLabel->setWordWrap(true);
    resultsLayout->addWidget(summaryLabel);
    setsTree = new QTreeWidget(results);
    setsTree->setObjectName(QStringLiteral("matchSets"));
    setsTree->setColumnCount(3);
    setsTree->setHeaderLabels({QStringLiteral("Set"), QStringLiteral("Spread"), QStringLiteral("Verdict")});
    resultsLayout->addWidget(setsTree, 1);
    leftoverLabel = namedLabel(QString(), "matchNote", results);
    leftoverLabel->setWordWrap(true);
    resultsLayout->addWidget(leftoverLabel);
    layout->addWidget(results, 2);

    connect(tubes, &MatchingViewModel::outcomeChanged, this, &MatchingView::showOutcome);
    takeCondition();
    for (QDoubleSpinBox* spin :
         {plateVSpin, screenVSpin, gridVSpin, grid2VSpin, toleranceSpin, gmToleranceSpin})
        connect(spin, &QDoubleSpinBox::valueChanged, this, &MatchingView::takeCondition);
    connect(setCountSpin, &QSpinBox::valueChanged, this, &MatchingView::takeCondition);
    connect(setSizeCombo, &QComboBox::currentIndexChanged, this, &MatchingView::takeCondition);
    connect(tubeTypeCombo, &QComboBox::currentIndexChanged, this, &MatchingView::takeCondition);
    showOutcome();
}

void MatchingView::takeCondition()
{
    MatchCondition c;
    c.tube = tubeTypeCombo->currentText();
    c.plateV = plateVSpin->value();
    c.screenV = screenVSpin->value();
    c.gridV = gridVSpin->value();
    c.grid2V = grid2VSpin->value();
    tubes->setCondition(c);
    tubes->setChoices(setSizeCombo->currentData().toInt(), setCountSpin->value(), toleranceSpin->value(),
                      gmToleranceSpin->value());
}

void MatchingView::showBatch()
{
    const MatchBatch& b = tubes->batch();
    const QSignalBlocker blockers[] = {
        QSignalBlocker(tubeTypeCombo), QSignalBlocker(plateVSpin),    QSignalBlocker(screenVSpin),
        QSignalBlocker(gridVSpin),     QSignalBlocker(grid2VSpin),    QSignalBlocker(setSizeCombo),
        QSignalBlocker(setCountSpin),  QSignalBlocker(toleranceSpin), QSignalBlocker(gmToleranceSpin)};
    if (tubeTypeCombo->findText(b.condition.tube) < 0)
        tubeTypeCombo->addItem(b.condition.tube);
    tubeTypeCombo->setCurrentIndex(tubeTypeCombo->findText(b.condition.tube));
    plateVSpin->setValue(b.condition.plateV);
    screenVSpin->setValue(b.condition.screenV);
    gridVSpin->setValue(b.condition.gridV);
    grid2VSpin->setValue(b.condition.grid2V);
    setSizeCombo->setCurrentIndex(setSizeCombo->findData(b.setSize));
    setCountSpin->setValue(b.setCount);
    toleranceSpin->setValue(b.tolerancePct);
    gmToleranceSpin->setValue(b.gmTolerancePct);
}

void MatchingView::findSets()
{
    takeCondition();
    tubes->findSets();
}

void MatchingView::showOutcome()
{
    const MatchOutcome& outcome = tubes->outcome();
    const MatchBatch& batch = tubes->batch();
    setsTree->clear();
    for (int i = 0; i < outcome.sets.size(); ++i) {
        const MatchSet& set = outcome.sets.at(i);
        auto* item = new QTreeWidgetItem(setsTree, {QStringLiteral("SET %1").arg(i + 1),
                                                    matchSpreadText(set.spreadPct), matchVerdictText(set)});
        item->setData(0, Qt::UserRole, i);
        item->setForeground(2, set.matched ? QColor(0x6f, 0xc2, 0x7c) : QColor(0xe0, 0x6a, 0x5c));
        for (int t : set.tubes) {
            const MatchTube tube = batch.tubes.value(t);
            new QTreeWidgetItem(
                item,
                {tube.label, QStringLiteral("%1 mA").arg(tube.currentMa, 0, 'f', 1),
                 tube.gmMaPerV > 0 ? QStringLiteral("%1 mA/V").arg(tube.gmMaPerV, 0, 'f', 1) : QString()});
        }
        item->setExpanded(true);
    }
    setsTree->resizeColumnToContents(0);
    QStringList left;
    for (int t : outcome.leftovers)
        left.append(batch.tubes.value(t).label);
    leftoverLabel->setText(left.isEmpty() ? QString()
                                          : QStringLiteral("Left over: ") + left.join(QStringLiteral(", ")));
    if (outcome.sets.isEmpty())
        summaryLabel->setText(QStringLiteral("Type the tubes' currents, then Find sets."));
    else
        summaryLabel->setText(QStringLiteral("%1 sets, worst spread %2%3")
                                  .arg(outcome.sets.size())
                                  .arg(matchSpreadText(outcome.worstSpreadPct),
                                       outcome.exact ? QString() : QStringLiteral(" (best found)")));
    sendButton->setEnabled(!outcome.sets.isEmpty());
}

void MatchingView::sendToBench()
{
    const MatchOutcome& outcome = tubes->outcome();
    if (outcome.sets.isEmpty())
        return;
    QTreeWidgetItem* item = setsTree->currentItem();
    if (item && item->parent())
        item = item->parent();
    const int chosen = item ? item->data(0, Qt::UserRole).toInt() : 0;
    const MatchSet& set = outcome.sets.value(chosen);
    QStringList labels;
    for (int t : set.tubes) {
        const QString label = tubes->batch().tubes.value(t).label;
        labels.append(label.isEmpty() ? QStringLiteral("#%1").arg(t + 1) : label);
    }
    bench->takeMatchedSet(tubes->batch().condition.tube, labels);
}

void MatchingView::saveBatch()
{
    takeCondition();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Batch"),
                                                      documents() + QStringLiteral("/batch.json"),
                                                      QStringLiteral("Tube batches (*.json)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!writeMatchBatchFile(path, tubes->batch(), &error))
        plainWarning(this, QStringLiteral("Save failed"), error);
}

void MatchingView::openBatch()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Batch"), documents(),
                                                      QStringLiteral("Tube batches (*.json)"));
    if (path.isEmpty())
        return;
    MatchBatch batch;
    QString error;
    if (!readMatchBatchFile(path, batch, &error)) {
        plainWarning(this, QStringLiteral("Open failed"), error);
        return;
    }
    setBatch(batch);
}

void MatchingView::setBatch(const MatchBatch& batch)
{
    tubes->setBatch(batch);
    showBatch();
}

void MatchingView::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                                      documents() + QStringLiteral("/matched_sets.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!writeMatchCsvFile(path, tubes->batch(), tubes->outcome(), &error))
        plainWarning(this, QStringLiteral("Export failed"), error);
}

void MatchingView::printLabels()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Print Set Labels"),
                                                      documents() + QStringLiteral("/matched_sets.pdf"),
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!writeMatchLabels(path, tubes->batch(), tubes->outcome(), &error))
        plainWarning(this, QStringLiteral("Export failed"), error);
}

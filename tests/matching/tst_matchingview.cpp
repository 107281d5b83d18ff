// The "MATCHING" tab in the bench window: tubes typed row by row, sets found, one sent to the bench,
// the batch saved and opened again through the file dialogs.
#include "bench/mainwindow.h"
#include "matching/matchingview.h"
#include "matching/matchingviewmodel.h"
#include "modalseam.h"
#include "testfiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class TestMatchingView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void typedRowsMatchAndGoToTheBench();
    void meterEntryAdvances();
    void batchSavedAndOpened();

private:
    QTemporaryDir home;
};

void TestMatchingView::init()
{
    useTemporaryProgramHome(home);
}

void TestMatchingView::typedRowsMatchAndGoToTheBench()
{
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("mainTabs"));
    QCOMPARE(tabs->tabText(tabs->count() - 1), QStringLiteral("MATCHING"));
    tabs->setCurrentIndex(tabs->count() - 1);
    auto* view = window.findChild<MatchingView*>(QStringLiteral("matchingView"));
    QVERIFY(view);
    QTableView* table = view->table();
    table->setFocus();
    table->setCurrentIndex(view->model()->index(0, 0));

    // Label, brand, type, current, gm, second current: Enter after each moves on, row by row.
    const QList<QStringList> rows = {{"A1", "JJ", "6L6GC", "40.2"},
                                     {"A2", "JJ", "6L6GC", "45.0"},
                                     {"A3", "JJ", "6L6GC", "40.0"},
                                     {"A4", "JJ", "6L6GC", "45.3"}};
    for (const QStringList& row : rows) {
        for (int column = 0; column < MatchingViewModel::ColumnCount; ++column) {
            // The first key opens the cell's editor; after Enter the next cell's editor is open.
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            if (column < row.size())
                QTest::keyClicks(focused, row.at(column));
            else if (focused == table)
                QTest::keyClick(table, Qt::Key_F2);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
    }
    const MatchBatch& batch = view->model()->batch();
    QCOMPARE(batch.tubes.size(), 4);
    QCOMPARE(batch.tubes.at(2).label, QStringLiteral("A3"));
    QCOMPARE(batch.tubes.at(3).currentMa, 45.3);
    QCOMPARE(view->model()->currentRow(), 4);

    auto* size = window.findChild<QComboBox*>(QStringLiteral("setSizeCombo"));
    size->setCurrentIndex(size->findData(2));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("findSetsButton")), Qt::LeftButton);
    auto* sets = window.findChild<QTreeWidget*>(QStringLiteral("matchSets"));
    QCOMPARE(sets->topLevelItemCount(), 2);
    QCOMPARE(sets->topLevelItem(1)->child(0)->text(0), QStringLiteral("A2"));
    QCOMPARE(sets->topLevelItem(0)->text(2), QStringLiteral("MATCHED"));

    // The second pair goes to the bench with its labels.
    sets->setCurrentItem(sets->topLevelItem(1)->child(1));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("sendToBenchButton")), Qt::LeftButton);
    QCOMPARE(window.session().setup().tube, QStringLiteral("6L6GC"));
    QCOMPARE(window.session().tubeCount(), 2);
    QCOMPARE(window.session().reading(0).label, QStringLiteral("A2"));
    QCOMPARE(window.session().reading(1).label, QStringLiteral("A4"));
}

void TestMatchingView::meterEntryAdvances()
{
    MainWindow window;
    auto* view = window.findChild<MatchingView*>(QStringLiteral("matchingView"));
    MatchingViewModel* model = view->model();
    model->enterCurrent(41.5);
    model->enterCurrent(42.25);
    QCOMPARE(model->batch().tubes.size(), 2);
    QCOMPARE(model->batch().tubes.at(1).currentMa, 42.25);
    QCOMPARE(model->currentRow(), 2);
    QCOMPARE(view->table()->currentIndex().row(), 2);
    // Back to the first row: the next reading replaces its current.
    model->setCurrentRow(0);
    model->enterCurrent(40.0);
    QCOMPARE(model->batch().tubes.at(0).currentMa, 40.0);
    QCOMPARE(model->batch().tubes.size(), 2);
}

void TestMatchingView::batchSavedAndOpened()
{
    const QString path = home.filePath(QStringLiteral("box.json"));
    MatchBatch saved;
    {
        MainWindow window;
        auto* view = window.findChild<MatchingView*>(QStringLiteral("matchingView"));
        view->model()->enterCurrent(40);
        view->model()->setData(view->model()->index(0, MatchingViewModel::LabelColumn), QStringLiteral("Q1"));
        view->model()->enterCurrent(40.4);
        window.findChild<QDoubleSpinBox*>(QStringLiteral("toleranceSpin"))->setValue(3);
        ModalSeam seam({answerFile(path)});
        view->saveBatch();
        QCOMPARE(seam.answered, 1);
        saved = view->model()->batch();
    }
    MainWindow window;
    auto* view = window.findChild<MatchingView*>(QStringLiteral("matchingView"));
    ModalSeam seam({answerFile(path)});
    view->openBatch();
    QCOMPARE(seam.answered, 1);
    QCOMPARE(matchBatchToJson(view->model()->batch()), matchBatchToJson(saved));
    QCOMPARE(window.findChild<QDoubleSpinBox*>(QStringLiteral("toleranceSpin"))->value(), 3.0);
    QCOMPARE(view->model()->batch().tubes.at(0).label, QStringLiteral("Q1"));

    // A file that is no batch: a warning that says why, and the batch stays.
    QVERIFY(writeFile(home.filePath(QStringLiteral("junk.json")), "[1, 2]"));
    BoxSeen box;
    ModalSeam refused(
        {answerFile(home.filePath(QStringLiteral("junk.json"))), answerBox(QMessageBox::Ok, &box)});
    view->openBatch();
    QVERIFY(box.seen);
    QCOMPARE(box.title, QStringLiteral("Open failed"));
    QCOMPARE(view->model()->batch().tubes.size(), 2);
}

QTEST_MAIN(TestMatchingView)
#include "tst_matchingview.moc"

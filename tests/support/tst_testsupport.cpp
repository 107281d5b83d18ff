// The seams every other test relies on: the mock clock runs what is due in order and nothing early,
// and the modal seam answers expected dialogs, closes every other one and fails the test for it.
#include "mockclock.h"
#include "modalseam.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <memory>

class TestTestSupport : public QObject
{
    Q_OBJECT

private slots:
    void mockClockStandsStillUntilAdvanced()
    {
        const QDateTime start(QDate(2025, 1, 2), QTime(3, 4, 5));
        MockClock clock(start);
        QCOMPARE(Clock::currentDateTime(), start);
        clock.advance(1500);
        QCOMPARE(Clock::currentDateTime(), start.addMSecs(1500));
        QCOMPARE(Clock::currentMSecsSinceEpoch(), start.toMSecsSinceEpoch() + 1500);
    }

    void mockClockRunsWhatIsDueInOrderAtItsMoment()
    {
        MockClock clock;
        const qint64 t0 = Clock::currentMSecsSinceEpoch();
        QObject context;
        QStringList ran;
        Clock::singleShot(300, &context,
                          [&] { ran << QStringLiteral("c@%1").arg(Clock::currentMSecsSinceEpoch() - t0); });
        Clock::singleShot(100, &context, [&] {
            ran << QStringLiteral("a@%1").arg(Clock::currentMSecsSinceEpoch() - t0);
            // Scheduled while running: due within the same advance.
            Clock::singleShot(50, &context, [&] {
                ran << QStringLiteral("b@%1").arg(Clock::currentMSecsSinceEpoch() - t0);
            });
        });
        Clock::singleShot(300, &context,
                          [&] { ran << QStringLiteral("d@%1").arg(Clock::currentMSecsSinceEpoch() - t0); });

        clock.advance(99);
        QCOMPARE(ran, QStringList());
        clock.advance(201);
        QCOMPARE(ran, (QStringList{"a@100", "b@150", "c@300", "d@300"}));
        QCOMPARE(Clock::currentMSecsSinceEpoch() - t0, qint64(300));
        QCOMPARE(clock.pending(), 0);
    }

    void mockClockSkipsWhatLostItsContext()
    {
        MockClock clock;
        bool ran = false;
        auto context = std::make_unique<QObject>();
        Clock::singleShot(10, context.get(), [&] { ran = true; });
        QCOMPARE(clock.pending(), 1);
        context.reset();
        QCOMPARE(clock.pending(), 0);
        clock.advance(1000);
        QVERIFY(!ran);
    }

    void systemClockIsBackOnceTheMockGoes()
    {
        {
            MockClock clock(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
            QCOMPARE(Clock::currentDateTime().date(), QDate(2000, 1, 1));
        }
        QVERIFY(qAbs(Clock::currentDateTime().secsTo(QDateTime::currentDateTime())) < 60);
        bool ran = false;
        Clock::singleShot(0, this, [&] { ran = true; });
        QTRY_VERIFY(ran);
    }

    void seamAnswersExpectedDialogsInOrder()
    {
        QWidget parent;
        InputSeen input;
        BoxSeen box;
        ModalSeam seam({answerText(QStringLiteral("Deluxe"), &input), answerBox(QMessageBox::No, &box)});

        bool ok = false;
        const QString typed = QInputDialog::getText(&parent, QStringLiteral("Name"), QStringLiteral("Amp:"),
                                                    QLineEdit::Normal, QStringLiteral("Champ"), &ok);
        const auto answer =
            QMessageBox::question(&parent, QStringLiteral("Replace?"), QStringLiteral("Sure?"));

        QCOMPARE(seam.answered, 2);
        QCOMPARE(seam.classNames,
                 (QStringList{QStringLiteral("QInputDialog"), QStringLiteral("QMessageBox")}));
        QVERIFY(ok);
        QCOMPARE(typed, QStringLiteral("Deluxe"));
        QCOMPARE(input.initialText, QStringLiteral("Champ"));
        QCOMPARE(input.label, QStringLiteral("Amp:"));
        QCOMPARE(answer, QMessageBox::No);
        QCOMPARE(box.title, QStringLiteral("Replace?"));
        QCOMPARE(box.text, QStringLiteral("Sure?"));
    }

    void seamClosesAnUnexpectedDialogAndFails()
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Export failed"),
                        QStringLiteral("Could not write."), QMessageBox::Ok);
        // The seam's failure is the one expected here; should it not fail, the check below passes
        // unexpectedly and fails the test instead.
        QEXPECT_FAIL("", "the seam fails the test on a dialog nobody expected", Continue);
        const int result = box.exec();
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY2(!box.isVisible(), "the dialog is closed, so the test goes on");
    }

    void seamClosesADialogItsHandlerLeftOpen()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Delete Profile"), QStringLiteral("Delete?"),
                        QMessageBox::Yes | QMessageBox::No);
        bool handled = false;
        ModalSeam seam({[&](QWidget*) { handled = true; }}); // reads, but answers nothing
        QEXPECT_FAIL("", "the seam fails the test when a handler leaves its dialog open", Continue);
        box.exec();
        QCOMPARE(seam.answered, 1);
        QVERIFY(handled);
        QVERIFY2(!box.isVisible(), "the seam closed it");
    }

    void describeNamesTitleClassAndText()
    {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Schematic not available"),
                        QStringLiteral("No schematic image."), QMessageBox::Ok);
        box.setInformativeText(QStringLiteral("Add your own."));
        QCOMPARE(
            describeDialog(&box),
            QStringLiteral("\"Schematic not available\" (QMessageBox): No schematic image. Add your own."));
    }
};

QTEST_MAIN(TestTestSupport)
#include "tst_testsupport.moc"

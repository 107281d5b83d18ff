// A stand-in for the program that a test runs as a child process: the bench window as the program
// sets it up, with a reading typed into tube 1, so that the test can end it in ways a user's session
// ends (a kill, a lost display) and look at what reached the disk. It prints "typed" once the
// reading is in. With "--clock-stands-still" the program's clock never moves, so nothing is written
// on the way unless the ending itself writes it.
#include "app/lostdisplay.h"
#include "bench/mainwindow.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"

#include "mockclock.h"

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    std::unique_ptr<MockClock> clock;
    if (app.arguments().contains(QStringLiteral("--clock-stands-still")))
        clock = std::make_unique<MockClock>();

    MainWindow window;
    LostDisplayGuard lostDisplay([&window] { window.saveSessionNow(); });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    ReadingEdit* field = window.tubeCards().value(0)->readingField(0);
    field->setFocus();
    QTest::keyClicks(field, app.arguments().last());
    std::fputs("typed\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

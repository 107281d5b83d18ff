// The welcome dialog of a first start, and the bench brought back from a saved profile.
#include "gallery.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <cstdio>

GALLERY_PAGE(profiles_welcome)
{
    MainWindow window;
    window.show();
    settle(400);
    // The dialog runs modally: it is grabbed from inside its own event loop, then dismissed.
    QTimer::singleShot(300, &window, [&window, &out] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            std::fprintf(stderr, "the welcome dialog did not open\n");
            return;
        }
        saveWidget(dialog, out, QStringLiteral("profiles_welcome_dialog.png"));
        const QRect area = window.frameGeometry().united(dialog->frameGeometry());
        const QPixmap shot =
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = out.filePath(QStringLiteral("profiles_welcome_over_window.png"));
        if (shot.isNull() || !shot.save(path, "PNG"))
            std::fprintf(stderr, "could not grab the window with the welcome dialog\n");
        else
            std::printf("  %s\n", qPrintable(path));
        dialog->close();
    });
    window.showDonatePrompt();
}

GALLERY_PAGE(profiles_restored)
{
    // 6L6GC (30 W) at 450 V in fixed bias: 39 mA is cold (58.5 %), the others ideal; the set is
    // matched within 12 %.
    const QString name = QStringLiteral("Twin Reverb '65");
    {
        MainWindow source;
        tubeCombo(source)->setCurrentIndex(tubeCombo(source)->findText(QStringLiteral("6L6GC")));
        plateVSpin(source)->setValue(450);
        tubeCountSpin(source)->setValue(4);
        const double currents[] = {41, 43.5, 44.5, 39};
        for (int i = 0; i < 4; ++i)
            cards(source)[i]->setMeasurements(currents[i], 0);
        AmpProfile profile = source.captureProfile();
        profile.name = name;
        if (!saveProfile(profile))
            std::fprintf(stderr, "could not save the profile\n");
    }

    // A fresh window on the defaults, then the profile picked from "MY AMPS".
    MainWindow window;
    const int row = myAmpsCombo(window)->findData(name);
    myAmpsCombo(window)->setCurrentIndex(row);
    emit myAmpsCombo(window)->activated(row);
    saveWidget(&window, out, QStringLiteral("profiles_restored.png"), 800);
}

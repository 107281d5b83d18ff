// The bench window at the sizes of real bench screens, with twelve tubes, a field holding the
// keyboard focus and the "Schematic" button still disabled (no preset chosen).
#include "gallery.h"

#include "bench/mainwindow.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>

GALLERY_PAGE(window_screens)
{
    const struct {
        QSize size;
        const char* file;
    } screens[] = {{QSize(1024, 700), "window_1024x700.png"},
                   {QSize(1366, 768), "window_1366x768.png"},
                   {QSize(1920, 1080), "window_1920x1080.png"}};
    for (const auto& screen : screens) {
        MainWindow window;
        window.resize(screen.size);
        tubeCountSpin(window)->setValue(12);
        // 6V6GT at 350 V: cold, ideal, warm and over the maximum, with its warning.
        const double currents[] = {20, 26, 33, 45};
        const QList<TubeCardWidget*> all = cards(window);
        for (int i = 0; i < all.size(); ++i)
            all[i]->setMeasurements(currents[i % 4], 0);
        window.show();
        QApplication::setActiveWindow(&window);
        tubeCombo(window)->setFocus(Qt::TabFocusReason);
        saveWidget(&window, out, QString::fromLatin1(screen.file), 800);
    }
}

// The bench window's preamp tab after a preset has loaded its default chain.
#include "gallery.h"

#include "bench/mainwindow.h"

#include <QComboBox>
#include <QTabWidget>

GALLERY_PAGE(window_tools)
{
    const struct {
        const char* preset;
        const char* file;
    } chosen[] = {{"Deluxe Reverb", "window_preamp_deluxe_reverb.png"},
                  {"Mark IV", "window_preamp_mark_iv.png"}};
    for (const auto& entry : chosen) {
        MainWindow window;
        const int row = presetCombo(window)->findText(QString::fromUtf8(entry.preset));
        presetCombo(window)->setCurrentIndex(row);
        emit presetCombo(window)->activated(row);
        if (auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("mainTabs")))
            tabs->setCurrentIndex(1);
        saveWidget(&window, out, QString::fromLatin1(entry.file), 800);
    }
}

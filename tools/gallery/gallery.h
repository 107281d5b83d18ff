#pragma once

// A small registry of gallery pages. A page is a function that renders one or more PNG pictures
// into the output directory, usually with `saveWidget`.
#include <QDir>
#include <QList>
#include <QString>
#include <functional>

class MainWindow;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;
class QWidget;
class TubeCardWidget;

using GalleryPageFn = std::function<void(const QDir& out)>;

struct GalleryPageRegistrar {
    GalleryPageRegistrar(const char* name, GalleryPageFn fn);
};

#define GALLERY_PAGE(id)                                                                                     \
    static void galleryPage_##id(const QDir& out);                                                           \
    static const GalleryPageRegistrar galleryRegistrar_##id(#id, galleryPage_##id);                          \
    static void galleryPage_##id(const QDir& out)

// Lays out and shows `widget` offscreen, lets pending events, timers and animations settle for
// `settleMs`, then grabs it into out/<fileName>. Returns false (and prints why) when saving failed.
bool saveWidget(QWidget* widget, const QDir& out, const QString& fileName, int settleMs = 400);

// Processes events for `ms` milliseconds (animations, single-shot timers).
void settle(int ms);

// The bench window's controls, found by object name as a user's tools would find them.
QComboBox* presetCombo(const MainWindow& window);
QComboBox* myAmpsCombo(const MainWindow& window);
QComboBox* tubeCombo(const MainWindow& window);
QDoubleSpinBox* plateVSpin(const MainWindow& window);
QSpinBox* tubeCountSpin(const MainWindow& window);
// The cards on the bench, tube 1 first.
QList<TubeCardWidget*> cards(const MainWindow& window);

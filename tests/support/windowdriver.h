#pragma once

// Driving the bench window as a user does: its lists, header buttons, Save, and what it shows.
#include "modalseam.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class DatasheetPanel;
class MainWindow;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTemporaryDir;
class QToolButton;
class QWidget;
class TubeCardWidget;

// What every bench-window test sets first: a temporary home, the program's identity (which decides
// where files live), the welcome dialog marked as shown (tests of that dialog remove the flag) and
// Qt's own file dialog, which a test can answer, on every platform.
void prepareWindowTests(const QTemporaryDir& home);

std::unique_ptr<MainWindow> openWindow();

// Sets the entry as a program would; false when the list has no such entry.
bool choose(QComboBox* combo, const QString& text);
bool chooseMethod(MainWindow& window, int method);

// Opens the drop-down list and clicks the entry, as the user does; false when it cannot be clicked.
bool pickFromList(QComboBox* combo, const QString& text);
bool clickPreset(MainWindow& window, const QString& text);

QToolButton* headerButton(MainWindow& window, const QString& text);
// The push button below `parent` that shows `text`, null when there is none.
QPushButton* buttonNamed(QWidget* parent, const QString& text);

// The bench's controls, found by their object names as anything outside the window finds them. A
// missing control fails the calling test at its first use instead of crashing it.
QComboBox* presetCombo(const MainWindow& window);
QComboBox* myAmpsCombo(const MainWindow& window);
QComboBox* tubeCombo(const MainWindow& window);
QComboBox* classCombo(const MainWindow& window); // "Configuration"
QComboBox* methodCombo(const MainWindow& window);
QSpinBox* tubeCountSpin(const MainWindow& window);
QDoubleSpinBox* maxWSpin(const MainWindow& window);
QLabel* maxWLabel(const MainWindow& window);
QDoubleSpinBox* plateVSpin(const MainWindow& window);
QLabel* plateVLabel(const MainWindow& window);
QDoubleSpinBox* bPlusSpin(const MainWindow& window);
QLabel* bPlusLabel(const MainWindow& window);
QDoubleSpinBox* senseSpin(const MainWindow& window);
QLabel* senseLabel(const MainWindow& window);
QDoubleSpinBox* cathodeRSpin(const MainWindow& window);
QLabel* cathodeRLabel(const MainWindow& window);
QCheckBox* sharedPairCheck(const MainWindow& window);
QSpinBox* sharedTubesSpin(const MainWindow& window); // beside the share box
QCheckBox* subtractScreenCheck(const MainWindow& window);
QCheckBox* meterTotalCheck(const MainWindow& window);
QSlider* targetSlider(const MainWindow& window);
QLabel* targetLabel(const MainWindow& window);
QLabel* targetCurrentLabel(const MainWindow& window);
QLabel* topologyNote(const MainWindow& window);
QLabel* matchLabel(const MainWindow& window);
QPushButton* schematicButton(const MainWindow& window); // the tool button "Schematic"
QWidget* cardHost(const MainWindow& window);
QGridLayout* cardGrid(const MainWindow& window);
DatasheetPanel* datasheetPanel(const MainWindow& window);
// The cards in the grid, tube 1 first (cards taken off the grid and waiting for deletion left out).
QList<TubeCardWidget*> cards(const MainWindow& window);

QStringList itemTexts(const QComboBox* combo);
QList<double> firstReadings(const MainWindow& window);
QList<double> secondReadings(const MainWindow& window);

// The whole setup on screen, in the form it is saved in, without the name and the warm-up log.
QJsonObject setupOf(const MainWindow& window);

// A preamp stage object with every key set.
QJsonObject stage(const QString& tube, double bPlus, double plateRK, double cathodeR, double bypassUF,
                  double nextGridRK);

// Clicks "Save" and answers the name dialog with `name`; a message box that follows is recorded in
// `box` and dismissed. Returns how many dialogs opened.
int saveThroughWindow(MainWindow& window, const QString& name, BoxSeen* box = nullptr,
                      InputSeen* input = nullptr);

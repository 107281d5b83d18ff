#pragma once

// The bench: header with the preset and saved-amp lists, tool row with the matching verdict, the
// amplifier setup panel, one card per power tube and the tube datasheet, and the preamp designer
// on a second tab. The bias job itself lives in the window's bench model; every control shows the
// model and turns an edit into one call of it, and the cards are views of its tubes. The controls
// carry object names, which is how the style sheet and anything outside find them.
#include "bench/benchsession.h"
#include "service/servicerecord.h"

#include <QList>
#include <QMainWindow>

struct AmpProfile;
class DatasheetPanel;
class AmpSearchModel;
class MeterPanel;
class MyAmpsListModel;
class PreampView;
class QCheckBox;
class QComboBox;
class QCompleter;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QShortcut;
class QSlider;
class QSpinBox;
class SessionAutosave;
class QToolButton;
class TubeCardWidget;
class WarmupRecorder;
class WarmupView;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The bias job on the bench.
    BenchSession& session() { return bench; }
    const BenchSession& session() const { return bench; }

    // The designer of the "PREAMP STAGES" tab.
    PreampView* preampView() const { return preamp; }

    // The job's warm-up log and the "WARM-UP" tab that shows it (mainwindow_warmup.cpp).
    WarmupRecorder& warmupRecorder() const { return *recorder; }
    WarmupView* warmupView() const { return warmup; }

    // The tube cards on the bench, tube 1 first.
    const QList<TubeCardWidget*>& tubeCards() const { return cards; }

    // Index in ampPresets() of the preset chosen last, -1 before the first.
    int selectedPreset() const { return lastPreset; }

    // The bench and the preamp chain as a profile (name left empty), and a profile brought back.
    AmpProfile captureProfile() const;
    void applyProfile(const AmpProfile& profile);

    // Writes the last session now, as closing the window does (mainwindow_profiles.cpp). Between
    // those moments the window writes it a second or two after each change (SessionAutosave).
    void saveSessionNow();
    SessionAutosave& sessionAutosave() const { return *autosave; }

    // Refills "MY AMPS" from the profile folder.
    void refreshMyAmps();

    // Shows `text` in the status bar for `timeoutMs` on the program's clock; an empty text clears it.
    // An alarm shows in the alarm colour (the status bar's "alarm" property) until the text goes.
    void showStatusMessage(const QString& text, int timeoutMs, bool alarm = false);
    // `text` followed by the news that the typed readings were put away and Ctrl+Z brings them back.
    static QString withUndoHint(const QString& text);

    // The welcome dialog of the first start and the donation page (mainwindow_firstrun.cpp).
    void showDonatePrompt();
    void openDonationPage();

    // Tool buttons (mainwindow_report.cpp, mainwindow_schematic.cpp).
    void exportBiasReport();
    void showSchematicForPreset();

    // The service record (mainwindow_service.cpp), all in the tool row's "Service" menu: the shop's
    // details, the record of the amp on the bench, the readings before adjustment, closing the job
    // into the amp's history, the history itself and reading a job back from a report.
    void openPreferences();
    void editAmpRecord();
    void takeBeforeReadings();
    void finishJob();
    void showServiceHistory();
    void importFromReport();
    const AmpRecord& ampRecord() const { return record; }
    const QList<ServiceTube>& beforeReadings() const { return before; }
    QPushButton* serviceButton() const { return serviceBtn; }

    // The non-modal Meter panel (mainwindow_meter.cpp), made at its first opening; null before.
    void openMeterPanel();
    MeterPanel* meterPanel() const { return meter; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void populateLists();
    void fillPresetList();
    void connectControls();
    bool restoreLastSession();
    void connectAutosave();
    void scheduleFirstRunPrompt();

    // Fitting the screen (mainwindow_layout.cpp): the window's size and place, remembered in the
    // settings; the header without its tagline where the row is too narrow for it; as many tube
    // cards in a row as the card area has room for.
    void placeOnScreen();
    void rememberGeometry() const;
    void reflowHeader();
    void placeCards();
    // The notes panel under the tool row: the chosen preset's service note, kept while the preset is.
    void showPresetNote(const QString& note);
    // Tab walks the screen: the header, the setup panel, the cards in order, the datasheet, the
    // tool row, then the tabs, the notes and the panel switches.
    void orderTabs();

    // Views of the model (mainwindow_setup.cpp, mainwindow_target.cpp).
    void showSetup();
    void rebuildCards();
    void showTarget();
    void showMatching();
    void connectWarmup();
    void showWarmupGuides();

    // Header lists (mainwindow_presets.cpp, mainwindow_profiles.cpp).
    void onPresetActivated();
    void saveProfileClicked();
    void deleteProfileClicked();
    void onMyAmpActivated();
    // "MY AMPS" search field: the results follow the text; a chosen one loads like the list's entry.
    void buildMyAmpsSearch(QWidget* parent);
    void onAmpSearchEdited(const QString& text);
    void onAmpSearchChosen(const QString& fileName);

    // The service menu, and what changes with the amp on the bench: its record, and no readings
    // before adjustment yet.
    void buildServiceMenu(QPushButton* button);
    void startNewAmp(const AmpRecord& amp);
    // The saved profile of the amp on the bench; false when it has none.
    bool loadSavedAmp(AmpProfile& out) const;
    bool exportJobReport(const QString& ampName, const AmpRecord& amp, const ServiceJob& job);
    bool exportHistoryReport(const AmpProfile& profile);

    // The card the meter reads carries the property meterTarget = true (mainwindow_meter.cpp).
    void markCardBeingRead();

    BenchSession bench;

    QComboBox* presetCombo = nullptr;
    QComboBox* myAmpsCombo = nullptr;
    MyAmpsListModel* myAmpsModel = nullptr; // behind myAmpsCombo
    QLineEdit* myAmpsSearch = nullptr;      // beside myAmpsCombo
    AmpSearchModel* ampSearchModel = nullptr;
    QCompleter* ampSearchCompleter = nullptr;
    QComboBox* tubeCombo = nullptr;
    QComboBox* classCombo = nullptr; // "Configuration"
    QComboBox* methodCombo = nullptr;
    QSpinBox* tubeCountSpin = nullptr;
    QDoubleSpinBox* maxWSpin = nullptr; // W, only for the custom tube
    QLabel* maxWLabel = nullptr;
    QComboBox* otDropCombo = nullptr; // how the winding method takes the drop: directly or from B+
    QLabel* otDropLabel = nullptr;
    QDoubleSpinBox* plateVSpin = nullptr; // V
    QLabel* plateVLabel = nullptr;
    QDoubleSpinBox* bPlusSpin = nullptr; // V at the output transformer centre tap
    QLabel* bPlusLabel = nullptr;
    QDoubleSpinBox* senseSpin = nullptr; // Ω
    QLabel* senseLabel = nullptr;
    QDoubleSpinBox* cathodeRSpin = nullptr; // Ω
    QLabel* cathodeRLabel = nullptr;
    QDoubleSpinBox* meterTotalSpin = nullptr; // mA, the panel meter's total
    QLabel* meterTotalLabel = nullptr;
    QCheckBox* senseRPerTubeCheck = nullptr;
    QCheckBox* sharedPairCheck = nullptr;
    QSpinBox* sharedTubesSpin = nullptr; // tubes on the shared resistor, beside the share box
    QCheckBox* subtractScreenCheck = nullptr;
    QCheckBox* screenMeasuredCheck = nullptr; // each tube's screen current measured, not the share
    QCheckBox* meterTotalCheck = nullptr;
    QSlider* targetSlider = nullptr; // % of max plate dissipation
    QLabel* targetLabel = nullptr;
    QLabel* targetCurrentLabel = nullptr;
    QLabel* topologyNote = nullptr;
    QLabel* matchLabel = nullptr;
    QPushButton* schematicButton = nullptr;
    QGridLayout* cardGrid = nullptr;
    QWidget* cardHost = nullptr;
    QScrollArea* cardScroll = nullptr;
    int placedColumns = 0; // cards per row of the grid as placed last, 0 before the first
    int placedCardWidth = 0;
    QWidget* faceplate = nullptr;
    QLabel* tagline = nullptr;
    QScrollArea* setupScroll = nullptr;     // the setup panel, scrolling when the window is low
    QScrollArea* datasheetScroll = nullptr; // the datasheet panel, likewise
    QToolButton* setupToggle = nullptr;     // shows or collapses the setup panel
    QToolButton* datasheetToggle = nullptr; // shows or collapses the datasheet
    QWidget* notesPanel = nullptr;          // hidden while there is no note
    QToolButton* notesToggle = nullptr;     // collapses the note to its heading
    QLabel* presetNote = nullptr;
    QList<QWidget*> headerControls; // in screen order, for the Tab order
    QList<QWidget*> toolControls;   // the tool row's buttons, likewise
    QList<QWidget*> tailControls;   // the tab bar, the notes panel and the panel switches
    QList<TubeCardWidget*> cards;   // tube 1 first
    DatasheetPanel* datasheetPanel = nullptr;
    PreampView* preamp = nullptr;
    WarmupRecorder* recorder = nullptr; // fed from the bench by a WarmupBenchHook
    WarmupView* warmup = nullptr;
    MeterPanel* meter = nullptr;
    SessionAutosave* autosave = nullptr;
    QShortcut* meterCommitKey = nullptr; // Space, while the panel is open

    QPushButton* serviceBtn = nullptr;
    AmpRecord record;          // of the amp on the bench
    QList<ServiceTube> before; // the readings taken before adjustment; empty for none

    int lastPreset = -1;
    QString shownTube;        // the tube whose datasheet is on screen
    quint64 statusSerial = 0; // counts status-bar messages; a time-out clears only its own message
};

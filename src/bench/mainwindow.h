#pragma once

// The bench: header with the preset and saved-amp lists, tool row with the matching verdict, the
// amplifier setup panel, one card per power tube and the tube datasheet, and the preamp designer
// on a second tab. The members are public on purpose: the report, the schematic lookup and the
// profile code read the window's controls directly, and so do the tests.
#include <QList>
#include <QMainWindow>

struct AmpProfile;
class DatasheetPanel;
class PreampView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class TubeCardWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    QComboBox* presetCombo = nullptr;
    QComboBox* myAmpsCombo = nullptr;
    QComboBox* tubeCombo = nullptr;
    QComboBox* classCombo = nullptr; // "Configuration"
    QComboBox* methodCombo = nullptr;
    QSpinBox* tubeCountSpin = nullptr;
    QDoubleSpinBox* maxWSpin = nullptr; // W, only for the custom tube
    QLabel* maxWLabel = nullptr;
    QDoubleSpinBox* plateVSpin = nullptr; // V
    QLabel* plateVLabel = nullptr;
    QDoubleSpinBox* bPlusSpin = nullptr; // V at the output transformer centre tap
    QLabel* bPlusLabel = nullptr;
    QDoubleSpinBox* senseSpin = nullptr; // Ω
    QLabel* senseLabel = nullptr;
    QDoubleSpinBox* cathodeRSpin = nullptr; // Ω
    QLabel* cathodeRLabel = nullptr;
    QCheckBox* sharedPairCheck = nullptr;
    QCheckBox* subtractScreenCheck = nullptr;
    QCheckBox* meterTotalCheck = nullptr;
    QSlider* targetSlider = nullptr; // % of max plate dissipation
    QLabel* targetLabel = nullptr;
    QLabel* targetCurrentLabel = nullptr;
    QLabel* topologyNote = nullptr;
    QLabel* matchLabel = nullptr;
    QPushButton* schematicButton = nullptr;
    QGridLayout* cardGrid = nullptr;
    QWidget* cardHost = nullptr;
    QList<TubeCardWidget*> cards; // tube 1 first
    DatasheetPanel* datasheetPanel = nullptr;
    PreampView* preampView = nullptr;
    // Set while lists are filled or a preset or profile is applied; the change handlers then skip
    // the steps that would overwrite what is being applied.
    bool applying = false;
    int selectedPreset = -1; // index in ampPresets() of the preset chosen last, -1 before the first

    // Item data of the current method entry (a BiasMethod value); 0 when the list is empty.
    int currentMethod() const;
    // W: the typed value for the custom tube, the catalogue rating otherwise, 25 for an unknown name.
    double effectiveMaxPlateW() const;

    // Amplifier setup (mainwindow_setup.cpp).
    void rebuildMethodList(int select);
    void onTubeTypeChanged();
    void onClassChanged();
    void onMethodChanged();
    void rebuildCards(int count);
    void recomputeCards();

    // Target and matching read-outs (mainwindow_target.cpp).
    void updateTarget();
    void updateMatching();

    // Amplifier presets (mainwindow_presets.cpp).
    void onPresetActivated();

    // Saved profiles and the last session (mainwindow_profiles.cpp).
    AmpProfile captureProfile() const;
    void applyProfile(const AmpProfile& profile);
    void refreshMyAmps();
    void saveProfileClicked();
    void deleteProfileClicked();
    void onMyAmpActivated();

    // The welcome dialog of the first start and the donation page (mainwindow_firstrun.cpp).
    void showDonatePrompt();
    void openDonationPage();

    // Shows `text` in the status bar for `timeoutMs` on the program's clock; an empty text clears it.
    void showStatusMessage(const QString& text, int timeoutMs);

    // Tool buttons (mainwindow_report.cpp, mainwindow_schematic.cpp).
    void exportBiasReport();
    void showSchematicForPreset();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void populateLists();
    void fillPresetList();
    bool restoreLastSession();
    void scheduleFirstRunPrompt();

    quint64 statusSerial = 0; // counts status-bar messages; a time-out clears only its own message
};

#include "bench/mainwindow.h"

#include "app/buildconfig.h"
#include "app/clock.h"
#include "bias/biasmethods.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "biastools/biasmodcalc.h"
#include "biastools/biaswizard.h"
#include "catalog/ampclasses.h"
#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"
#include "matching/matchingview.h"
#include "preamp/preampview.h"
#include "warmup/warmupbenchhook.h"
#include "warmup/warmuprecorder.h"
#include "warmup/warmupview.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

// Every widget is created with its final parent: moving a finished subtree under a styled parent
// later makes Qt re-resolve the style sheet for each widget in it, which costs start-up time.

QLabel* namedLabel(const QString& text, const char* objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

// A button of the tool row; `text` carries its mnemonic (Alt + the letter after the "&").
QPushButton* toolButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("toolBtn"));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QToolButton* headerButton(const QString& text, const QString& toolTip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("headerBtn"));
    button->setText(text);
    button->setToolTip(toolTip);
    // Tool buttons take no keyboard focus of their own; these are reached by Tab like any button.
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// A wheel turned over a field changes it only while the field has keyboard focus; otherwise the
// event goes on to the page.
template <class Spin> class FocusedWheelSpin : public Spin
{
public:
    using Spin::Spin;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (this->hasFocus())
            Spin::wheelEvent(event);
        else
            event->ignore();
    }
};

// The setup panel's number fields show a decimal point, as every number on the bench does, and read
// a typed decimal comma as the same separator, whatever the locale; digit grouping is never shown.
class DecimalSpinBox : public FocusedWheelSpin<QDoubleSpinBox>
{
public:
    explicit DecimalSpinBox(QWidget* parent) : FocusedWheelSpin<QDoubleSpinBox>(parent)
    {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        setLocale(c);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    QValidator::State validate(QString& input, int& pos) const override
    {
        input.replace(QLatin1Char(','), QLatin1Char('.'));
        return QDoubleSpinBox::validate(input, pos);
    }
    double valueFromText(const QString& text) const override
    {
        QString t = text;
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        return QDoubleSpinBox::valueFromText(t);
    }
};

QDoubleSpinBox* doubleSpin(double minimum, double maximum, double value, const QString& suffix, int decimals,
                           QWidget* parent)
{
    auto* spin = new DecimalSpinBox(parent);
    // Decimals first: they decide how the range and the value are rounded.
    spin->setDecimals(decimals);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

// Room beside a side panel for its vertical scroll bar (the style sheet's 12 px and a gap).
constexpr int sidePanelScrollBarRoom = 14;

QScrollArea* sidePanelScroll(const char* objectName, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(QLatin1String(objectName));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return scroll;
}

// A tab page that scrolls where the window is smaller than the page needs, so that no page sets a
// minimum size on the whole window.
QScrollArea* pageScroll(const char* objectName, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(QLatin1String(objectName));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

// Puts `page` into its scroll area; the page keeps the window's background instead of the plain one
// a scroll area gives its widget.
void setPage(QScrollArea* scroll, QWidget* page)
{
    scroll->setWidget(page);
    page->setAutoFillBackground(false);
}

// A checkable switch that shows `panel` while checked.
QToolButton* panelSwitch(const QString& text, const char* objectName, const QString& toolTip, QWidget* panel,
                         QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setText(text);
    button->setToolTip(toolTip);
    button->setCheckable(true);
    button->setChecked(true);
    button->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(button, &QToolButton::toggled, panel, &QWidget::setVisible);
    return button;
}

// A header list takes the room the row leaves, down to a fixed minimum, whatever its entries.
void headerList(QComboBox* combo)
{
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(12);
    combo->setMinimumWidth(170);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QFormLayout* settingsForm()
{
    auto* form = new QFormLayout;
    form->setSpacing(8);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return form;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Ambertrace — By Quorlen"));
    // The warm-up log follows the bench from the start, so a restored job's readings are not
    // logged again.
    recorder = new WarmupRecorder(this);
    new WarmupBenchHook(bench, *recorder, this);
    buildUi();
    populateLists();

    // The window comes back as it was left; without a last session the model holds the built-in
    // defaults. Either way the views are filled once, after it, and follow the model from then on.
    restoreLastSession();
    // Reopening the last session is where the job starts, not a step to undo.
    bench.undoStack()->clear();
    showSetup();
    rebuildCards();
    showTarget();
    showMatching();
    showWarmupGuides();
    connectControls();
    // Only what follows the restore is news to the session file.
    connectAutosave();

    placeOnScreen();
    scheduleFirstRunPrompt();
}

void MainWindow::buildUi()
{
    auto* central = new QWidget(this);
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    // Header faceplate.
    faceplate = new QFrame(central);
    faceplate->setObjectName(QStringLiteral("faceplate"));
    auto* faceLayout = new QHBoxLayout(faceplate);
    faceLayout->setContentsMargins(16, 14, 16, 14);

    auto* brand = new QVBoxLayout;
    faceLayout->addLayout(brand);
    brand->setSpacing(0);
    brand->addWidget(namedLabel(QStringLiteral("Ambertrace"), "logo", faceplate));
    brand->addWidget(namedLabel(QStringLiteral("BY QUORLEN  ·  v") + QStringLiteral(AMBERTRACE_VERSION),
                                "byline", faceplate));
    // The tagline is the one part of the header that gives way: where the row is too narrow for it,
    // it goes (reflowHeader) rather than squeezing the lists.
    tagline = namedLabel(QStringLiteral("POWER TUBE BIAS CALCULATOR"), "tagline", faceplate);
    tagline->setMinimumWidth(1);
    faceLayout->addWidget(tagline);
    faceLayout->addStretch(1);

    auto* presetBox = new QVBoxLayout;
    faceLayout->addLayout(presetBox);
    presetBox->addWidget(namedLabel(QStringLiteral("AMP PRESET"), "headerComboLabel", faceplate));
    presetCombo = new QComboBox(faceplate);
    presetCombo->setObjectName(QStringLiteral("presetCombo"));
    headerList(presetCombo);
    presetBox->addWidget(presetCombo);
    faceLayout->addSpacing(10);

    auto* myAmpsBox = new QVBoxLayout;
    faceLayout->addLayout(myAmpsBox);
    myAmpsBox->addWidget(namedLabel(QStringLiteral("MY AMPS"), "headerComboLabel", faceplate));
    auto* myAmpsRow = new QHBoxLayout;
    myAmpsRow->setSpacing(6);
    myAmpsBox->addLayout(myAmpsRow);
    myAmpsCombo = new QComboBox(faceplate);
    myAmpsCombo->setObjectName(QStringLiteral("myAmpsCombo"));
    headerList(myAmpsCombo);
    myAmpsRow->addWidget(myAmpsCombo);
    buildMyAmpsSearch(faceplate);
    myAmpsRow->addWidget(myAmpsSearch);
    faceLayout->addSpacing(10);

    auto* profileButtons = new QVBoxLayout;
    faceLayout->addLayout(profileButtons);
    auto* saveButton =
        headerButton(QStringLiteral("Save"), QStringLiteral("Save current setup as a profile"), faceplate);
    connect(saveButton, &QToolButton::clicked, this, &MainWindow::saveProfileClicked);
    profileButtons->addWidget(saveButton);
    auto* deleteButton =
        headerButton(QStringLiteral("Delete"), QStringLiteral("Delete selected profile"), faceplate);
    connect(deleteButton, &QToolButton::clicked, this, &MainWindow::deleteProfileClicked);
    profileButtons->addWidget(deleteButton);
    faceLayout->addSpacing(10);

    auto* donateButton = new QPushButton(QStringLiteral("Donate/Support"), faceplate);
    donateButton->setObjectName(QStringLiteral("donateBtn"));
    donateButton->setCursor(Qt::PointingHandCursor);
    donateButton->setToolTip(QStringLiteral("Support continued development of Ambertrace"));
    connect(donateButton, &QPushButton::clicked, this, &MainWindow::openDonationPage);
    faceLayout->addWidget(donateButton);
    headerControls = {presetCombo, myAmpsCombo, myAmpsSearch, saveButton, deleteButton, donateButton};
    centralLayout->addWidget(faceplate);

    // Tool row.
    auto* toolRow = new QFrame(central);
    toolRow->setObjectName(QStringLiteral("toolRow"));
    auto* toolLayout = new QHBoxLayout(toolRow);
    toolLayout->setContentsMargins(24, 8, 24, 8);
    // The tools only read the bench; each dialog lives for one modal run on the handler's stack.
    auto* wizardButton = toolButton(QStringLiteral("&Guided Bias Session"), toolRow);
    connect(wizardButton, &QPushButton::clicked, this, [this] {
        BiasWizard wizard(BiasWizardJob{bench.setup().method, bench.setup().ampClass, bench.target().plateV},
                          this);
        wizard.exec();
    });
    toolLayout->addWidget(wizardButton);
    auto* calculatorButton = toolButton(QStringLiteral("Bias &Mod Calculator"), toolRow);
    connect(calculatorButton, &QPushButton::clicked, this, [this] {
        BiasModCalc calculator(this);
        calculator.setScreenPct(bench.setup().shared.screenPct);
        calculator.exec();
    });
    toolLayout->addWidget(calculatorButton);
    auto* reportButton = toolButton(QStringLiteral("&Export PDF Report"), toolRow);
    connect(reportButton, &QPushButton::clicked, this, &MainWindow::exportBiasReport);
    toolLayout->addWidget(reportButton);
    serviceBtn = toolButton(QStringLiteral("Ser&vice"), toolRow);
    serviceBtn->setObjectName(QStringLiteral("serviceBtn"));
    buildServiceMenu(serviceBtn);
    toolLayout->addWidget(serviceBtn);
    schematicButton = toolButton(QStringLiteral("S&chematic"), toolRow);
    schematicButton->setEnabled(false);
    schematicButton->setToolTip(QStringLiteral("Choose an amp preset first"));
    connect(schematicButton, &QPushButton::clicked, this, &MainWindow::showSchematicForPreset);
    toolLayout->addWidget(schematicButton);
    auto* meterButton = toolButton(QStringLiteral("Me&ter"), toolRow);
    meterButton->setToolTip(QStringLiteral("Read the tubes from your multimeter"));
    connect(meterButton, &QPushButton::clicked, this, &MainWindow::openMeterPanel);
    toolLayout->addWidget(meterButton);
    toolControls = {wizardButton, calculatorButton, reportButton, serviceBtn, schematicButton, meterButton};
    // The verdict takes the rest of the row and wraps there rather than widening the window.
    matchLabel = namedLabel(QString(), "matchLabel", toolRow);
    matchLabel->setWordWrap(true);
    matchLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    toolLayout->addWidget(matchLabel, 1);
    centralLayout->addWidget(toolRow);

    // Notes panel: the service note of the preset in use, there to read and copy for as long as the
    // preset is, and collapsible to its heading.
    notesPanel = new QFrame(central);
    notesPanel->setObjectName(QStringLiteral("notesPanel"));
    auto* notesLayout = new QHBoxLayout(notesPanel);
    notesLayout->setContentsMargins(24, 6, 24, 6);
    notesLayout->setSpacing(10);
    notesToggle = new QToolButton(notesPanel);
    notesToggle->setObjectName(QStringLiteral("notesToggle"));
    notesToggle->setText(QStringLiteral("SERVICE NOTE"));
    notesToggle->setToolTip(QStringLiteral("Show or collapse the preset's service note"));
    notesToggle->setCheckable(true);
    notesToggle->setChecked(true);
    notesToggle->setArrowType(Qt::DownArrow);
    notesToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    notesToggle->setFocusPolicy(Qt::StrongFocus);
    notesLayout->addWidget(notesToggle, 0, Qt::AlignTop);
    presetNote = namedLabel(QString(), "presetNote", notesPanel);
    presetNote->setWordWrap(true);
    presetNote->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    presetNote->setFocusPolicy(Qt::StrongFocus);
    notesLayout->addWidget(presetNote, 1);
    auto* copyNote = new QToolButton(notesPanel);
    copyNote->setObjectName(QStringLiteral("copyNoteBtn"));
    copyNote->setText(QStringLiteral("Cop&y"));
    copyNote->setToolTip(QStringLiteral("Copy the service note"));
    copyNote->setFocusPolicy(Qt::StrongFocus);
    connect(copyNote, &QToolButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(presetNote->text()); });
    notesLayout->addWidget(copyNote, 0, Qt::AlignTop);
    connect(notesToggle, &QToolButton::toggled, this, [this, copyNote](bool open) {
        notesToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        presetNote->setVisible(open);
        copyNote->setVisible(open);
    });
    notesPanel->hide();
    centralLayout->addWidget(notesPanel);

    // Main tabs. The pages go in while still empty, so nothing is moved under the tabs later.
    auto* tabs = new QTabWidget(central);
    tabs->setObjectName(QStringLiteral("mainTabs"));
    tabs->setDocumentMode(true);
    // No light base line under the tabs: the selected tab's gradient marks the page.
    tabs->tabBar()->setDrawBase(false);
    centralLayout->addWidget(tabs, 1);
    auto* benchPage = new QWidget;
    tabs->addTab(benchPage, QStringLiteral("POWER TUBES"));
    QScrollArea* preampPage = pageScroll("preampScroll", tabs);
    tabs->addTab(preampPage, QStringLiteral("PREAMP STAGES"));
    preamp = new PreampView(preampPage->viewport());
    setPage(preampPage, preamp);

    auto* benchLayout = new QHBoxLayout(benchPage);
    benchLayout->setContentsMargins(18, 14, 18, 14);
    benchLayout->setSpacing(14);

    // Settings panel.
    // The setup panel and the datasheet scroll on a low screen, and either can be collapsed to give
    // the cards their room.
    setupScroll = sidePanelScroll("setupScroll", benchPage);
    auto* settings = new QFrame(setupScroll->viewport());
    settings->setObjectName(QStringLiteral("settingsPanel"));
    settings->setFixedWidth(365);
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->setContentsMargins(16, 14, 16, 14);
    settingsLayout->setSpacing(10);
    settingsLayout->addWidget(namedLabel(QStringLiteral("AMP SETUP"), "panelHeader", settings));

    auto* setupForm = settingsForm();
    settingsLayout->addLayout(setupForm);
    tubeCombo = new QComboBox(settings);
    tubeCombo->setObjectName(QStringLiteral("tubeCombo"));
    setupForm->addRow(QStringLiteral("Tube type"), tubeCombo);
    maxWLabel = new QLabel(QStringLiteral("Max dissipation"), settings);
    maxWLabel->setObjectName(QStringLiteral("maxWLabel"));
    maxWSpin = doubleSpin(1, 300, 25, QStringLiteral(" W"), 2, settings);
    maxWSpin->setObjectName(QStringLiteral("maxWSpin"));
    setupForm->addRow(maxWLabel, maxWSpin);
    classCombo = new QComboBox(settings);
    classCombo->setObjectName(QStringLiteral("classCombo"));
    setupForm->addRow(QStringLiteral("Configuration"), classCombo);
    methodCombo = new QComboBox(settings);
    methodCombo->setObjectName(QStringLiteral("methodCombo"));
    setupForm->addRow(QStringLiteral("Bias method"), methodCombo);
    // The panel has a fixed width: the lists take the room the labels leave instead of claiming
    // the width of their longest entry, which would squeeze the labels.
    for (QComboBox* combo : {tubeCombo, classCombo, methodCombo})
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    tubeCountSpin = new FocusedWheelSpin<QSpinBox>(settings);
    tubeCountSpin->setFocusPolicy(Qt::StrongFocus);
    tubeCountSpin->setObjectName(QStringLiteral("tubeCountSpin"));
    tubeCountSpin->setRange(1, 12);
    tubeCountSpin->setValue(2);
    setupForm->addRow(QStringLiteral("Power tubes"), tubeCountSpin);

    topologyNote = namedLabel(QString(), "topologyNote", settings);
    topologyNote->setWordWrap(true);
    settingsLayout->addWidget(topologyNote);

    settingsLayout->addWidget(namedLabel(QStringLiteral("SHARED MEASUREMENTS"), "panelHeader", settings));
    auto* measureForm = settingsForm();
    settingsLayout->addLayout(measureForm);
    otDropLabel = new QLabel(QStringLiteral("OT drop"), settings);
    otDropLabel->setObjectName(QStringLiteral("otDropLabel"));
    otDropCombo = new QComboBox(settings);
    otDropCombo->setObjectName(QStringLiteral("otDropCombo"));
    otDropCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The accurate way first: a drop of a few volts read on a low range, not the difference of two
    // readings of hundreds of volts.
    otDropCombo->addItem(otDropEntryText(true), true);
    otDropCombo->addItem(otDropEntryText(false), false);
    otDropCombo->setToolTip(QStringLiteral(
        "Read each tube's drop across its half-primary on a low range (to 0.01 V); the plate voltage "
        "entered below is used for the dissipation."));
    measureForm->addRow(otDropLabel, otDropCombo);
    plateVLabel = new QLabel(QStringLiteral("Plate voltage"), settings);
    plateVLabel->setObjectName(QStringLiteral("plateVLabel"));
    plateVSpin = doubleSpin(0, 5000, 0, QStringLiteral(" V"), 0, settings);
    plateVSpin->setObjectName(QStringLiteral("plateVSpin"));
    measureForm->addRow(plateVLabel, plateVSpin);
    bPlusLabel = new QLabel(QStringLiteral("B+ (center tap)"), settings);
    bPlusLabel->setObjectName(QStringLiteral("bPlusLabel"));
    bPlusSpin = doubleSpin(0, 5000, 0, QStringLiteral(" V"), 0, settings);
    bPlusSpin->setObjectName(QStringLiteral("bPlusSpin"));
    measureForm->addRow(bPlusLabel, bPlusSpin);
    senseLabel = new QLabel(QStringLiteral("Sense resistor"), settings);
    senseLabel->setObjectName(QStringLiteral("senseLabel"));
    senseSpin = doubleSpin(0.001, 1000, 1, QStringLiteral(" Ω"), 3, settings);
    senseSpin->setObjectName(QStringLiteral("senseSpin"));
    measureForm->addRow(senseLabel, senseSpin);
    cathodeRLabel = new QLabel(QStringLiteral("Cathode resistor"), settings);
    cathodeRLabel->setObjectName(QStringLiteral("cathodeRLabel"));
    cathodeRSpin = doubleSpin(1, 5000, 250, QStringLiteral(" Ω"), 0, settings);
    cathodeRSpin->setObjectName(QStringLiteral("cathodeRSpin"));
    measureForm->addRow(cathodeRLabel, cathodeRSpin);
    meterTotalLabel = new QLabel(meterTotalField().label, settings);
    meterTotalLabel->setObjectName(QStringLiteral("meterTotalLabel"));
    meterTotalSpin = doubleSpin(0, meterTotalField().maximum, 0, meterTotalField().suffix,
                                meterTotalField().decimals, settings);
    meterTotalSpin->setObjectName(QStringLiteral("meterTotalSpin"));
    meterTotalSpin->setToolTip(QStringLiteral("The panel meter's reading; each tube gets an equal share."));
    measureForm->addRow(meterTotalLabel, meterTotalSpin);
    senseRPerTubeCheck = new QCheckBox(senseRPerTubeText(), settings);
    senseRPerTubeCheck->setObjectName(QStringLiteral("senseRPerTubeCheck"));
    senseRPerTubeCheck->setToolTip(QStringLiteral(
        "Type each tube's measured resistor on its card; a card left empty uses the value above."));
    settingsLayout->addWidget(senseRPerTubeCheck);

    sharedPairCheck = new QCheckBox(sharedResistorText(tubesOnSharedResistor), settings);
    sharedPairCheck->setObjectName(QStringLiteral("sharedPairCheck"));
    sharedTubesSpin = new QSpinBox(settings);
    sharedTubesSpin->setObjectName(QStringLiteral("sharedTubesSpin"));
    sharedTubesSpin->setRange(tubesOnSharedResistor, maxTubeCount);
    sharedTubesSpin->setToolTip(
        QStringLiteral("How many tubes carry their current through the one resistor."));
    auto* sharedRow = new QHBoxLayout;
    sharedRow->addWidget(sharedPairCheck, 1);
    sharedRow->addWidget(sharedTubesSpin);
    settingsLayout->addLayout(sharedRow);
    subtractScreenCheck = new QCheckBox(subtractScreenText(defaultScreenPct), settings);
    subtractScreenCheck->setObjectName(QStringLiteral("subtractScreenCheck"));
    subtractScreenCheck->setToolTip(subtractScreenToolTip(defaultScreenPct));
    screenMeasuredCheck = new QCheckBox(screenMeasuredText(), settings);
    screenMeasuredCheck->setObjectName(QStringLiteral("screenMeasuredCheck"));
    screenMeasuredCheck->setToolTip(QStringLiteral(
        "Subtract each tube's own screen current: type the drop across its screen resistor and the "
        "resistor's value on its card."));
    settingsLayout->addWidget(subtractScreenCheck);
    // Under the box it refines, indented.
    auto* screenRow = new QHBoxLayout;
    screenRow->setContentsMargins(22, 0, 0, 0);
    screenRow->addWidget(screenMeasuredCheck);
    settingsLayout->addLayout(screenRow);
    meterTotalCheck = new QCheckBox(QStringLiteral("Meter reads TOTAL (all tubes)"), settings);
    meterTotalCheck->setObjectName(QStringLiteral("meterTotalCheck"));
    meterTotalCheck->setChecked(true);
    meterTotalCheck->setToolTip(QStringLiteral(
        "Most linear amp panel meters read the combined plate current of all tubes. Enable to divide the "
        "reading by the tube count."));
    settingsLayout->addWidget(meterTotalCheck);

    settingsLayout->addWidget(namedLabel(QStringLiteral("TARGET BIAS"), "panelHeader", settings));
    targetSlider = new QSlider(Qt::Horizontal, settings);
    targetSlider->setObjectName(QStringLiteral("targetSlider"));
    targetSlider->setRange(minTargetPct, maxTargetPct);
    targetSlider->setValue(65);
    settingsLayout->addWidget(targetSlider);
    targetLabel = namedLabel(QString(), "targetLabel", settings);
    targetLabel->setAlignment(Qt::AlignCenter);
    settingsLayout->addWidget(targetLabel);
    targetCurrentLabel = namedLabel(QString(), "targetCurrent", settings);
    targetCurrentLabel->setAlignment(Qt::AlignCenter);
    targetCurrentLabel->setWordWrap(true);
    settingsLayout->addWidget(targetCurrentLabel);
    settingsLayout->addStretch(1);
    setupScroll->setWidget(settings);
    setupScroll->setFixedWidth(settings->width() + sidePanelScrollBarRoom);
    benchLayout->addWidget(setupScroll);

    // Card area.
    cardScroll = new QScrollArea(benchPage);
    cardScroll->setObjectName(QStringLiteral("cardScroll"));
    cardScroll->setWidgetResizable(true);
    cardScroll->setFrameShape(QFrame::NoFrame);
    // The grid takes as many cards in a row as fit (placeCards), so it never scrolls sideways.
    cardScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cardScroll->viewport()->installEventFilter(this);
    cardHost = new QWidget;
    cardHost->setObjectName(QStringLiteral("cardHost"));
    cardScroll->setWidget(cardHost);
    cardGrid = new QGridLayout(cardHost);
    cardGrid->setContentsMargins(4, 4, 4, 4);
    cardGrid->setSpacing(14);
    benchLayout->addWidget(cardScroll, 1);

    datasheetScroll = sidePanelScroll("datasheetScroll", benchPage);
    datasheetPanel = new DatasheetPanel(datasheetScroll->viewport());
    datasheetPanel->setFixedWidth(250);
    datasheetScroll->setWidget(datasheetPanel);
    datasheetScroll->setFixedWidth(datasheetPanel->width() + sidePanelScrollBarRoom);
    benchLayout->addWidget(datasheetScroll);

    // The switches that collapse the side panels sit at the right end of the tab bar, shown with
    // the bench page.
    auto* panelSwitches = new QWidget(tabs);
    panelSwitches->setObjectName(QStringLiteral("panelSwitches"));
    auto* switchLayout = new QHBoxLayout(panelSwitches);
    switchLayout->setContentsMargins(0, 0, 14, 0);
    switchLayout->setSpacing(6);
    setupToggle =
        panelSwitch(QStringLiteral("Set&up"), "setupToggle",
                    QStringLiteral("Show or collapse the amp setup panel"), setupScroll, panelSwitches);
    datasheetToggle =
        panelSwitch(QStringLiteral("Data&sheet"), "datasheetToggle",
                    QStringLiteral("Show or collapse the tube datasheet"), datasheetScroll, panelSwitches);
    switchLayout->addWidget(setupToggle);
    switchLayout->addWidget(datasheetToggle);
    tabs->setCornerWidget(panelSwitches, Qt::TopRightCorner);
    tailControls = {tabs->tabBar(), notesToggle,
                    presetNote,     notesPanel->findChild<QToolButton*>(QStringLiteral("copyNoteBtn")),
                    setupToggle,    datasheetToggle};
    connect(tabs, &QTabWidget::currentChanged, panelSwitches,
            [panelSwitches](int index) { panelSwitches->setVisible(index == 0); });
    faceplate->installEventFilter(this);

    // The job's warm-up log, after the bench page so that the bench's panels come first.
    QScrollArea* warmupPage = pageScroll("warmupScroll", tabs);
    tabs->addTab(warmupPage, QStringLiteral("WARM-UP"));
    warmup = new WarmupView(*recorder, warmupPage->viewport());
    setPage(warmupPage, warmup);

    QScrollArea* matchingPage = pageScroll("matchingScroll", tabs);
    tabs->addTab(matchingPage, QStringLiteral("MATCHING"));
    setPage(matchingPage, new MatchingView(bench, matchingPage->viewport()));
    setCentralWidget(central);

    // The header lists act on activation only, so filling them by code starts nothing.
    connect(presetCombo, &QComboBox::activated, this, &MainWindow::onPresetActivated);
    connect(myAmpsCombo, &QComboBox::activated, this, &MainWindow::onMyAmpActivated);
}

void MainWindow::populateLists()
{
    // Filled before any value signal is connected: the entries are lists, the model picks from them.
    fillPresetList();
    for (const TubeSpec& tube : tubeCatalogue())
        tubeCombo->addItem(tube.name);
    for (const AmpClass& ampClass : ampClasses())
        classCombo->addItem(ampClass.name);
    refreshMyAmps();
}

void MainWindow::connectControls()
{
    // Every edit is one call of the model; its signals then redraw what depends on it.
    connect(tubeCombo, &QComboBox::currentIndexChanged, this,
            [this] { bench.setTube(tubeCombo->currentText()); });
    connect(classCombo, &QComboBox::currentIndexChanged, this,
            [this] { bench.setAmpClass(classCombo->currentText()); });
    connect(methodCombo, &QComboBox::currentIndexChanged, this,
            [this] { bench.setMethod(methodCombo->currentData().toInt()); });
    // Choosing the entry already shown takes it too: what a profile named that the bench could not
    // take is replaced by it, and the readings are rated again.
    connect(tubeCombo, &QComboBox::activated, this, [this] { bench.setTube(tubeCombo->currentText()); });
    connect(classCombo, &QComboBox::activated, this,
            [this] { bench.setAmpClass(classCombo->currentText()); });
    connect(methodCombo, &QComboBox::activated, this,
            [this] { bench.setMethod(methodCombo->currentData().toInt()); });
    connect(tubeCountSpin, &QSpinBox::valueChanged, &bench, &BenchSession::setTubeCount);
    connect(maxWSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setCustomMaxW);
    connect(plateVSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setPlateV);
    connect(bPlusSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setBPlusV);
    connect(senseSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setSenseResistorOhms);
    connect(cathodeRSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setCathodeResistorOhms);
    connect(meterTotalSpin, &QDoubleSpinBox::valueChanged, &bench, &BenchSession::setMeterTotalMa);
    connect(otDropCombo, &QComboBox::currentIndexChanged, this,
            [this] { bench.setOtDropDirect(otDropCombo->currentData().toBool()); });
    connect(senseRPerTubeCheck, &QCheckBox::toggled, &bench, &BenchSession::setSenseRPerTube);
    connect(screenMeasuredCheck, &QCheckBox::toggled, &bench, &BenchSession::setScreenMeasured);
    // The share box stands for the resistor of the method in use.
    connect(sharedPairCheck, &QCheckBox::toggled, this, [this](bool shared) {
        if (bench.setup().method == SenseResistor)
            bench.setSharedSenseR(shared);
        else
            bench.setSharedCathodeR(shared);
    });
    connect(sharedTubesSpin, &QSpinBox::valueChanged, &bench, &BenchSession::setSharedTubes);
    connect(subtractScreenCheck, &QCheckBox::toggled, &bench, &BenchSession::setSubtractScreen);
    connect(meterTotalCheck, &QCheckBox::toggled, &bench, &BenchSession::setMeterReadsTotal);
    connect(targetSlider, &QSlider::valueChanged, &bench, &BenchSession::setTargetPct);

    connect(&bench, &BenchSession::setupChanged, this, &MainWindow::showSetup);
    connect(&bench, &BenchSession::cardsRebuilt, this, &MainWindow::rebuildCards);
    connect(&bench, &BenchSession::targetChanged, this, &MainWindow::showTarget);
    connect(&bench, &BenchSession::matchingChanged, this, &MainWindow::showMatching);

    // Undo and redo of the structural steps: what they would put away needs no question first.
    QAction* undoAction = bench.undoStack()->createUndoAction(this, QStringLiteral("Undo"));
    undoAction->setObjectName(QStringLiteral("undoAction"));
    undoAction->setShortcut(QKeySequence::Undo);
    addAction(undoAction);
    QAction* redoAction = bench.undoStack()->createRedoAction(this, QStringLiteral("Redo"));
    redoAction->setObjectName(QStringLiteral("redoAction"));
    redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    addAction(redoAction);
    connectWarmup();
}

void MainWindow::showStatusMessage(const QString& text, int timeoutMs, bool alarm)
{
    const quint64 serial = ++statusSerial;
    QStatusBar* bar = statusBar();
    const bool shownAlarm = alarm && !text.isEmpty();
    if (bar->property("alarm").toBool() != shownAlarm) {
        bar->setProperty("alarm", shownAlarm);
        bar->style()->unpolish(bar);
        bar->style()->polish(bar);
    }
    if (text.isEmpty()) {
        bar->clearMessage();
        return;
    }
    bar->showMessage(text);
    Clock::singleShot(timeoutMs, this, [this, serial] {
        if (serial == statusSerial)
            showStatusMessage(QString(), 0);
    });
}

void MainWindow::orderTabs()
{
    QList<QWidget*> order = headerControls;
    order << tubeCombo << maxWSpin << classCombo << methodCombo << tubeCountSpin << otDropCombo << plateVSpin
          << bPlusSpin << senseSpin << cathodeRSpin << meterTotalSpin << senseRPerTubeCheck << sharedPairCheck
          << sharedTubesSpin << subtractScreenCheck << screenMeasuredCheck << meterTotalCheck << targetSlider;
    // Every tube's first reading, then every tube's second (and its screen readings), as Enter walks them.
    for (int row = 0; row < 4; ++row) {
        for (TubeCardWidget* card : std::as_const(cards))
            order << card->readingField(row);
    }
    for (QWidget* w : datasheetPanel->findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
    }
    order << toolControls << tailControls;
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::showPresetNote(const QString& note)
{
    presetNote->setText(note);
    notesPanel->setVisible(!note.isEmpty());
}

QString MainWindow::withUndoHint(const QString& text)
{
    const QString hint = QStringLiteral("The readings you typed were put away: Ctrl+Z brings them back.");
    return text.isEmpty() ? hint : text + QStringLiteral("  ·  ") + hint;
}

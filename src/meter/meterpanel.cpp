#include "meter/meterpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const char* const safetyDismissedKey = "meter/safetyNoteDismissed";

MeterQuantity quantityForSuffix(const QString& suffix)
{
    return suffix.trimmed().endsWith(QLatin1Char('V')) ? MeterQuantity::DcVoltage : MeterQuantity::DcCurrent;
}

} // namespace

MeterPanel::MeterPanel(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("Meter"));
    setObjectName(QStringLiteral("meterPanel"));
    setAttribute(Qt::WA_StyledBackground); // the theme's background, as the window's dialogs have

    protocolBox = new QComboBox(this);
    protocolBox->setObjectName(QStringLiteral("meterProtocol"));
    // The panel stays narrow: the lists show what fits and open as wide as their entries.
    protocolBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    protocolBox->setMinimumContentsLength(14);
    for (const MeterProtocol& p : meterProtocols())
        protocolBox->addItem(p.name, p.id);
    linkBox = new QComboBox(this);
    linkBox->setObjectName(QStringLiteral("meterLink"));
    linkBox->addItem(QStringLiteral("Serial port"));
    linkBox->addItem(QStringLiteral("Network"));
    portBox = new QComboBox(this);
    portBox->setObjectName(QStringLiteral("meterPort"));
    portBox->setEditable(true);
    portBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portBox->setMinimumContentsLength(14);
    portBox->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    hostEdit = new QLineEdit(this);
    hostEdit->setObjectName(QStringLiteral("meterHost"));
    hostEdit->setPlaceholderText(QStringLiteral("192.168.1.50"));
    tcpPortSpin = new QSpinBox(this);
    tcpPortSpin->setObjectName(QStringLiteral("meterTcpPort"));
    tcpPortSpin->setRange(1, 65535);
    tcpPortSpin->setValue(defaultMeterTcpPort);
    connectButton = new QPushButton(QStringLiteral("Connect"), this);
    connectButton->setObjectName(QStringLiteral("meterConnect"));

    valueLabel = new QLabel(QStringLiteral("—"), this);
    valueLabel->setObjectName(QStringLiteral("meterValue"));
    QFont big = valueLabel->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    valueLabel->setFont(big);
    functionLabel = new QLabel(this);
    functionLabel->setObjectName(QStringLiteral("meterFunction"));
    stateLabel = new QLabel(this);
    stateLabel->setObjectName(QStringLiteral("meterState"));
    stateLabel->setWordWrap(true);
    targetLabel = new QLabel(this);
    targetLabel->setObjectName(QStringLiteral("meterTarget"));
    targetLabel->setWordWrap(true); // a long line would widen the panel over the cards
    fitLabel = new QLabel(this);
    fitLabel->setObjectName(QStringLiteral("meterFit"));
    fitLabel->setWordWrap(true);

    toleranceSpin = new QDoubleSpinBox(this);
    toleranceSpin->setObjectName(QStringLiteral("meterTolerance"));
    toleranceSpin->setRange(0.1, 10);
    toleranceSpin->setDecimals(1);
    toleranceSpin->setSingleStep(0.5);
    toleranceSpin->setSuffix(QStringLiteral(" %"));
    toleranceSpin->setValue(MeterSequence::defaultTolerancePct);
    autoAdvanceBox = new QCheckBox(QStringLiteral("Commit, then next tube"), this);
    autoAdvanceBox->setToolTip(
        QStringLiteral("Commit the value once it holds still and go on to the next tube"));
    autoAdvanceBox->setObjectName(QStringLiteral("meterAutoAdvance"));
    autoAdvanceBox->setChecked(true);

    safetyNote = new QFrame(this);
    safetyNote->setObjectName(QStringLiteral("meterSafetyNote"));
    safetyNote->setFrameShape(QFrame::StyledPanel);
    auto* noteText =
        new QLabel(QStringLiteral("Use an isolated cable or a battery-powered meter: a mains-referenced "
                                  "USB meter on a live amp can make a ground loop."),
                   safetyNote);
    noteText->setWordWrap(true);
    dismissSafetyButton = new QPushButton(QStringLiteral("Don't show again"), safetyNote);
    dismissSafetyButton->setObjectName(QStringLiteral("meterSafetyDismiss"));
    // The text takes the panel's width; the button goes below it.
    auto* noteLayout = new QVBoxLayout(safetyNote);
    noteLayout->addWidget(noteText);
    noteLayout->addWidget(dismissSafetyButton, 0, Qt::AlignRight);
    safetyNote->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Protocol"), protocolBox);
    form->addRow(QStringLiteral("Connection"), linkBox);
    form->addRow(QStringLiteral("Port"), portBox);
    form->addRow(QStringLiteral("Host"), hostEdit);
    form->addRow(QStringLiteral("TCP port"), tcpPortSpin);
    form->addRow(QStringLiteral("Stable within"), toleranceSpin);
    form->addRow(QStringLiteral("When stable"), autoAdvanceBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(connectButton);
    layout->addWidget(safetyNote);
    layout->addWidget(valueLabel);
    layout->addWidget(functionLabel);
    layout->addWidget(stateLabel);
    layout->addWidget(targetLabel);
    layout->addWidget(fitLabel);
    layout->addStretch(1);

    connect(protocolBox, &QComboBox::currentIndexChanged, this, &MeterPanel::protocolChosen);
    connect(linkBox, &QComboBox::currentIndexChanged, this, &MeterPanel::protocolChosen);
    connect(connectButton, &QPushButton::clicked, this, &MeterPanel::toggleConnection);
    connect(dismissSafetyButton, &QPushButton::clicked, this, [this] {
        QSettings().setValue(safetyDismissedKey, true);
        safetyNote->hide();
    });
    connect(toleranceSpin, &QDoubleSpinBox::valueChanged, this,
            [this](double pct) { sequence.setTolerancePct(pct); });
    connect(autoAdvanceBox, &QCheckBox::toggled, this, [this](bool on) { sequence.setAutoAdvance(on); });
    connect(&meter, &MeterConnection::stateChanged, this, &MeterPanel::showState);
    connect(&meter, &MeterConnection::readingArrived, this, &MeterPanel::readingArrived);
    // Space commits, wherever the focus is in the panel; so no control of the panel takes Space
    // for itself (a focused button would be pressed by it).
    for (QWidget* control : {static_cast<QWidget*>(connectButton), static_cast<QWidget*>(dismissSafetyButton),
                             static_cast<QWidget*>(autoAdvanceBox)})
        control->setFocusPolicy(Qt::NoFocus);
    // Nor do its fields: a port path, a host and numbers have no spaces, so Space in them commits
    // instead of being typed.
    for (QWidget* field : {static_cast<QWidget*>(portBox), static_cast<QWidget*>(hostEdit),
                           static_cast<QWidget*>(tcpPortSpin), static_cast<QWidget*>(toleranceSpin)})
        field->installEventFilter(this);
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, &MeterPanel::commitNow);

    refreshPorts();
    protocolChosen();
    showState();
    showTarget();
}

bool MeterPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            event->ignore(); // not the field's: the shortcut takes it
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QSize MeterPanel::sizeHint() const
{
    // Narrow enough to sit over the window's datasheet column while the cards stay in view.
    const int line = fontMetrics().height();
    return QSize(line * 16, line * 24);
}

void MeterPanel::growToFit()
{
    // The note adds height; the panel grows rather than squeezing its fields.
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    if (height() < needed)
        resize(width(), needed);
}

void MeterPanel::refreshPorts()
{
    const QString typed = portBox->currentText();
    portBox->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        portBox->addItem(info.systemLocation());
    portBox->setEditText(typed);
}

void MeterPanel::protocolChosen()
{
    const MeterProtocol* p = findMeterProtocol(protocolBox->currentData().toString());
    const bool simulated = p && p->simulated;
    const bool serialOnly = p && p->overSerial && !p->overNetwork;
    const bool networkOnly = p && p->overNetwork && !p->overSerial;
    if (serialOnly)
        linkBox->setCurrentIndex(0);
    else if (networkOnly)
        linkBox->setCurrentIndex(1);
    linkBox->setEnabled(!simulated && !serialOnly && !networkOnly);
    const bool network = linkBox->currentIndex() == 1;
    portBox->setEnabled(!simulated && !network);
    hostEdit->setEnabled(!simulated && network);
    tcpPortSpin->setEnabled(!simulated && network);
}

void MeterPanel::toggleConnection()
{
    if (meter.state() != MeterConnection::State::Disconnected &&
        meter.state() != MeterConnection::State::Failed) {
        meter.close();
        return;
    }
    if (!QSettings().value(safetyDismissedKey).toBool()) {
        safetyNote->show();
        growToFit();
    }
    const QString id = protocolBox->currentData().toString();
    const MeterProtocol* p = findMeterProtocol(id);
    sequence.interrupt();
    if (p && p->simulated) {
        meter.openSimulated();
        meter.setSimulatedQuantity(quantityForSuffix(fieldSuffix));
        followTube();
    } else if (linkBox->currentIndex() == 1) {
        meter.openNetwork(hostEdit->text(), quint16(tcpPortSpin->value()), id);
    } else {
        meter.openSerial(portBox->currentText(), id);
    }
}

void MeterPanel::showState()
{
    const MeterConnection::State state = meter.state();
    QString text = meter.stateText();
    if (state == MeterConnection::State::Connected && !meter.identity().isEmpty())
        text += QStringLiteral(" (%1)").arg(meter.identity());
    if (!meter.warnings().isEmpty() && state != MeterConnection::State::Disconnected)
        text += QStringLiteral("\n") + meter.warnings().join(QStringLiteral("\n"));
    stateLabel->setText(text);
    const bool open =
        state != MeterConnection::State::Disconnected && state != MeterConnection::State::Failed;
    connectButton->setText(open ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    protocolBox->setEnabled(!open);
    if (state != MeterConnection::State::Connected) {
        sequence.interrupt(); // a gap in the data: nothing seen before it counts towards stability
        if (!meter.hasReading() || state != MeterConnection::State::NoData)
            valueLabel->setText(QStringLiteral("—"));
    }
    if (state == MeterConnection::State::Disconnected || state == MeterConnection::State::Failed) {
        functionLabel->clear();
        fitLabel->clear();
    }
}

void MeterPanel::setReadingField(const QString& label, const QString& suffix, double maximum)
{
    fieldLabel = label;
    fieldSuffix = suffix;
    fieldMaximum = maximum;
    sequence.interrupt();
    meter.setSimulatedQuantity(quantityForSuffix(suffix));
    showTarget();
}

void MeterPanel::setTubeCount(int count)
{
    sequence.setTubeCount(count);
    followTube();
}

void MeterPanel::selectTube(int tube)
{
    sequence.selectTube(tube);
    followTube();
}

void MeterPanel::followTube()
{
    meter.setSimulatedProbe(sequence.tube());
    showTarget();
    emit tubeBeingReadChanged(sequence.tube());
}

void MeterPanel::showTarget()
{
    if (sequence.tubeCount() == 0)
        targetLabel->setText(QStringLiteral("No tube to read"));
    else if (sequence.tube() < 0)
        targetLabel->setText(QStringLiteral("Every tube is read; click a card to read it again"));
    else
        targetLabel->setText(QStringLiteral("Reading tube %1: %2").arg(sequence.tube() + 1).arg(fieldLabel));
}

void MeterPanel::readingArrived(const MeterReading& reading)
{
    valueLabel->setText(meterValueText(reading));
    functionLabel->setText(meterFunctionText(reading));
    const MeterFit fit = fitMeterReading(reading, fieldSuffix, fieldMaximum);
    const MeterStep step = sequence.feed(fit, reading.timeMs);
    if (!fit.fits)
        fitLabel->setText(fit.reason + QStringLiteral(": nothing is written"));
    else if (sequence.tube() >= 0 && autoAdvanceBox->isChecked())
        fitLabel->setText(QStringLiteral("Steady for %1 of %2 s")
                              // tenths cut, not rounded: 2.96 s is not yet "3.0 of 3 s"
                              .arg(QString::number(double(step.heldMs / 100) / 10.0, 'f', 1))
                              .arg(QString::number(double(sequence.windowMs()) / 1000.0, 'f', 0)));
    else
        fitLabel->clear();
    applyStep(step);
}

void MeterPanel::commitNow()
{
    applyStep(sequence.commitNow());
}

void MeterPanel::applyStep(const MeterStep& step)
{
    if (step.committedTube < 0)
        return;
    emit commitReading(step.committedTube, step.committedValue);
    followTube();
}

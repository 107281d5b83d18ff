#include "windowdriver.h"

#include "testfiles.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"

#include "datasheet/datasheetpanel.h"
#include "preamp/preampview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <algorithm>

void prepareWindowTests(const QTemporaryDir& home)
{
    useTemporaryProgramHome(home);
    QSettings().setValue(QStringLiteral("firstRunDonatePromptShown"), true);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

std::unique_ptr<MainWindow> openWindow()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the bench window was not exposed");
    return window;
}

bool choose(QComboBox* combo, const QString& text)
{
    const int row = combo->findText(text);
    if (row < 0)
        return false;
    combo->setCurrentIndex(row);
    return true;
}

bool chooseMethod(MainWindow& window, int method)
{
    const int row = methodCombo(window)->findData(method);
    if (row < 0)
        return false;
    methodCombo(window)->setCurrentIndex(row);
    return true;
}

bool pickFromList(QComboBox* combo, const QString& text)
{
    const int row = combo->findText(text);
    if (row < 0)
        return false;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return false;
    const QModelIndex index = combo->model()->index(row, 0);
    view->scrollTo(index);
    // Near the start of the entry: the middle of a very long one lies beyond the popup's edge.
    const QRect rect = view->visualRect(index);
    const QPoint point(qMin(rect.center().x(), rect.left() + 20), rect.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
    const bool closed = QTest::qWaitFor([view] { return !view->window()->isVisible(); });
    return closed && combo->currentIndex() == row;
}

bool clickPreset(MainWindow& window, const QString& text)
{
    return pickFromList(presetCombo(window), text);
}

QToolButton* headerButton(MainWindow& window, const QString& text)
{
    const QList<QToolButton*> buttons = window.findChildren<QToolButton*>(QStringLiteral("headerBtn"));
    for (QToolButton* button : buttons) {
        if (QString(button->text()).remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

QPushButton* buttonNamed(QWidget* parent, const QString& text)
{
    const QList<QPushButton*> buttons = parent->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (QString(button->text()).remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

namespace {

// The preamp designer on the second tab reuses some names (its own "cardHost", "topologyNote"):
// the bench's controls are the ones outside it.
template <typename T> T* named(const MainWindow& window, const char* name)
{
    const QList<T*> found = window.findChildren<T*>(QLatin1String(name));
    for (T* control : found) {
        if (!window.preampView()->isAncestorOf(control))
            return control;
    }
    qWarning("the bench window has no %s", name);
    return nullptr;
}

} // namespace

QComboBox* presetCombo(const MainWindow& window)
{
    return named<QComboBox>(window, "presetCombo");
}

QComboBox* myAmpsCombo(const MainWindow& window)
{
    return named<QComboBox>(window, "myAmpsCombo");
}

QComboBox* tubeCombo(const MainWindow& window)
{
    return named<QComboBox>(window, "tubeCombo");
}

QComboBox* classCombo(const MainWindow& window)
{
    return named<QComboBox>(window, "classCombo");
}

QComboBox* methodCombo(const MainWindow& window)
{
    return named<QComboBox>(window, "methodCombo");
}

QSpinBox* tubeCountSpin(const MainWindow& window)
{
    return named<QSpinBox>(window, "tubeCountSpin");
}

QDoubleSpinBox* maxWSpin(const MainWindow& window)
{
    return named<QDoubleSpinBox>(window, "maxWSpin");
}

QLabel* maxWLabel(const MainWindow& window)
{
    return named<QLabel>(window, "maxWLabel");
}

QDoubleSpinBox* plateVSpin(const MainWindow& window)
{
    return named<QDoubleSpinBox>(window, "plateVSpin");
}

QLabel* plateVLabel(const MainWindow& window)
{
    return named<QLabel>(window, "plateVLabel");
}

QDoubleSpinBox* bPlusSpin(const MainWindow& window)
{
    return named<QDoubleSpinBox>(window, "bPlusSpin");
}

QLabel* bPlusLabel(const MainWindow& window)
{
    return named<QLabel>(window, "bPlusLabel");
}

QDoubleSpinBox* senseSpin(const MainWindow& window)
{
    return named<QDoubleSpinBox>(window, "senseSpin");
}

QLabel* senseLabel(const MainWindow& window)
{
    return named<QLabel>(window, "senseLabel");
}

QDoubleSpinBox* cathodeRSpin(const MainWindow& window)
{
    return named<QDoubleSpinBox>(window, "cathodeRSpin");
}

QLabel* cathodeRLabel(const MainWindow& window)
{
    return named<QLabel>(window, "cathodeRLabel");
}

QCheckBox* sharedPairCheck(const MainWindow& window)
{
    return named<QCheckBox>(window, "sharedPairCheck");
}

QSpinBox* sharedTubesSpin(const MainWindow& window)
{
    return named<QSpinBox>(window, "sharedTubesSpin");
}

QCheckBox* subtractScreenCheck(const MainWindow& window)
{
    return named<QCheckBox>(window, "subtractScreenCheck");
}

QCheckBox* meterTotalCheck(const MainWindow& window)
{
    return named<QCheckBox>(window, "meterTotalCheck");
}

QSlider* targetSlider(const MainWindow& window)
{
    return named<QSlider>(window, "targetSlider");
}

QLabel* targetLabel(const MainWindow& window)
{
    return named<QLabel>(window, "targetLabel");
}

QLabel* targetCurrentLabel(const MainWindow& window)
{
    return named<QLabel>(window, "targetCurrent");
}

QLabel* topologyNote(const MainWindow& window)
{
    return named<QLabel>(window, "topologyNote");
}

QLabel* matchLabel(const MainWindow& window)
{
    return named<QLabel>(window, "matchLabel");
}

QWidget* cardHost(const MainWindow& window)
{
    return named<QWidget>(window, "cardHost");
}

DatasheetPanel* datasheetPanel(const MainWindow& window)
{
    return named<DatasheetPanel>(window, "datasheetPanel");
}

QPushButton* schematicButton(const MainWindow& window)
{
    return buttonNamed(const_cast<MainWindow*>(&window), QStringLiteral("Schematic"));
}

QGridLayout* cardGrid(const MainWindow& window)
{
    QWidget* host = cardHost(window);
    return host ? qobject_cast<QGridLayout*>(host->layout()) : nullptr;
}

QList<TubeCardWidget*> cards(const MainWindow& window)
{
    return window.tubeCards();
}

QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QList<double> firstReadings(const MainWindow& window)
{
    QList<double> values;
    for (const TubeCardWidget* card : cards(window))
        values << card->meas1();
    return values;
}

QList<double> secondReadings(const MainWindow& window)
{
    QList<double> values;
    for (const TubeCardWidget* card : cards(window))
        values << card->meas2();
    return values;
}

QJsonObject setupOf(const MainWindow& window)
{
    QJsonObject setup = profileToJson(window.captureProfile());
    setup.remove(QStringLiteral("name"));
    // The warm-up log grows by itself as typed readings stand (on the program's clock, which is the
    // real one unless a test installs its own); it is the job's history, not its setup.
    setup.remove(QStringLiteral("warmupLog"));
    return setup;
}

QJsonObject stage(const QString& tube, double bPlus, double plateRK, double cathodeR, double bypassUF,
                  double nextGridRK)
{
    return QJsonObject{{QStringLiteral("tube"), tube},         {QStringLiteral("bPlus"), bPlus},
                       {QStringLiteral("plateRK"), plateRK},   {QStringLiteral("cathodeR"), cathodeR},
                       {QStringLiteral("bypassUF"), bypassUF}, {QStringLiteral("nextGridRK"), nextGridRK}};
}

int saveThroughWindow(MainWindow& window, const QString& name, BoxSeen* box, InputSeen* input)
{
    ModalSeam seam({answerText(name, input), answerBox(QMessageBox::Ok, box)});
    QTest::mouseClick(headerButton(window, QStringLiteral("Save")), Qt::LeftButton);
    return seam.answered;
}

#include "windowdriver.h"

#include "testfiles.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

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
    const int row = window.methodCombo->findData(method);
    if (row < 0)
        return false;
    window.methodCombo->setCurrentIndex(row);
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
    return pickFromList(window.presetCombo, text);
}

QToolButton* headerButton(MainWindow& window, const QString& text)
{
    const QList<QToolButton*> buttons = window.findChildren<QToolButton*>(QStringLiteral("headerBtn"));
    for (QToolButton* button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QPushButton* buttonNamed(QWidget* parent, const QString& text)
{
    const QList<QPushButton*> buttons = parent->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
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
    for (const TubeCardWidget* card : window.cards)
        values << card->meas1();
    return values;
}

QList<double> secondReadings(const MainWindow& window)
{
    QList<double> values;
    for (const TubeCardWidget* card : window.cards)
        values << card->meas2();
    return values;
}

QJsonObject setupOf(const MainWindow& window)
{
    QJsonObject setup = profileToJson(window.captureProfile());
    setup.remove(QStringLiteral("name"));
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

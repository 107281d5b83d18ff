#include "windowtesthelpers.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

void useTemporaryHome(const QTemporaryDir& home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
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

bool clickPreset(MainWindow& window, const QString& text)
{
    QComboBox* combo = window.presetCombo;
    const int row = combo->findText(text);
    if (row < 0)
        return false;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return false;
    const QModelIndex index = combo->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    const bool closed = QTest::qWaitFor([view] { return !view->window()->isVisible(); });
    return closed && combo->currentIndex() == row;
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

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray jsonBytes(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QList<double> firstReadings(const MainWindow& window)
{
    QList<double> values;
    for (const TubeCardWidget* card : window.cards)
        values << card->meas1();
    return values;
}

QJsonObject setupOf(const MainWindow& window)
{
    QJsonObject setup = profileToJson(window.captureProfile());
    setup.remove(QStringLiteral("name"));
    return setup;
}

QString describe(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject stage(const QString& tube, double bPlus, double plateRK, double cathodeR, double bypassUF,
                  double nextGridRK)
{
    return QJsonObject{{QStringLiteral("tube"), tube},         {QStringLiteral("bPlus"), bPlus},
                       {QStringLiteral("plateRK"), plateRK},   {QStringLiteral("cathodeR"), cathodeR},
                       {QStringLiteral("bypassUF"), bypassUF}, {QStringLiteral("nextGridRK"), nextGridRK}};
}

ModalResponder::ModalResponder(QList<Handler> handlers) : handlers(std::move(handlers))
{
    poller.setInterval(10);
    connect(&poller, &QTimer::timeout, this, &ModalResponder::poll);
    poller.start();
}

void ModalResponder::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == last)
        return;
    last = modal;
    const int n = answered++;
    if (n < handlers.size()) {
        handlers[n](modal);
    } else {
        unexpected << QString::fromLatin1(modal->metaObject()->className());
        modal->close();
    }
}

#pragma once
// What the window benchmarks share: the program's style sheet applied for the length of a
// measurement, and a watcher that notices a widget's first paint.
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QString>

// The program runs with its style sheet applied; so do these measurements.
class ThemeApplied
{
public:
    ThemeApplied()
    {
        QFile sheet(QStringLiteral(":/style.qss"));
        if (sheet.open(QIODevice::ReadOnly))
            qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
    ~ThemeApplied() { qApp->setStyleSheet(QString()); }
};

class PaintWatcher : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

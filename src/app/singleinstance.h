#pragma once

// One running program per user: a lock file in the data directory says who runs, and a local socket
// lets a second start ask the first to bring its window forward.
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

class SingleInstance : public QObject
{
public:
    // For the program whose data directory is `dataDir`.
    explicit SingleInstance(const QString& dataDir, QObject* parent = nullptr);

    // True when this process now holds the lock; the lock of a process that no longer runs is taken
    // over. Creates the data directory when it is missing and nothing else.
    bool acquire();

    // For a second start: asks the running one to show its window, waiting at most `waitMs`; true
    // when it answered.
    bool askRunningInstanceToShow(int waitMs = 3000);

    // For the running program: answers every later start by calling `show`.
    bool listen(std::function<void()> show);

    // The local socket's name for a data directory: the same for every start of one user's program.
    static QString serverNameFor(const QString& dataDir);

private:
    QString dataDirectory;
    QLockFile lock;
    QLocalServer* server = nullptr;
};

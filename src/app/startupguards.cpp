#include "app/startupguards.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True, with `out` set, when the path is a regular file (links followed) of sane size; false when
// it is missing too.
bool readSettingsFile(const QString& path, QByteArray& out)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxSettingsFileBytes;
    if (ok) {
        QFile file;
        ok = file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
        if (ok)
            out = file.read(maxSettingsFileBytes + 1);
        ok = ok && out.size() <= maxSettingsFileBytes;
    }
    ::close(fd);
    return ok;
}

bool pathExists(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

void ignoreRelativeXdgDirectories()
{
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty() && QDir::isRelativePath(QFile::decodeName(value)))
            qunsetenv(name);
    }
}

QString userSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QCoreApplication::organizationName() + QLatin1Char('/') + QCoreApplication::applicationName() +
           QStringLiteral(".conf");
}

std::unique_ptr<QTemporaryDir> guardSettingsFile()
{
    const QString path = userSettingsPath();
    QByteArray content;
    const bool exists = pathExists(path);
    const bool readable = exists && readSettingsFile(path, content);
    bool usable = !exists || readable;
    if (usable) {
        // Taken and given back at once; QSettings takes it again when it writes.
        QLockFile lock(path + QStringLiteral(".lock"));
        usable = lock.tryLock(settingsLockWaitMs);
    }
    if (usable)
        return nullptr;

    auto standIn = std::make_unique<QTemporaryDir>();
    if (!standIn->isValid())
        return standIn;
    const QString standInPath = standIn->filePath(QCoreApplication::organizationName());
    QDir().mkpath(standInPath);
    if (readable) {
        QFile copy(standInPath + QLatin1Char('/') + QCoreApplication::applicationName() +
                   QStringLiteral(".conf"));
        if (copy.open(QIODevice::WriteOnly))
            copy.write(content);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, standIn->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, standIn->path());
    return standIn;
}

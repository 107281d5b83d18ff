#include "app/legacymigration.h"

#include "bench/profilestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes of a regular file (links followed) of at most maxProfileFileBytes, read without ever
// blocking: a named pipe, a device or a directory, also behind a link, gives false at once.
bool readProfileSizedFile(const QString& path, QByteArray& out)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxProfileFileBytes;
    if (ok) {
        QFile file;
        ok = file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
        if (ok) {
            out = file.read(maxProfileFileBytes + 1);
            ok = out.size() <= maxProfileFileBytes && file.error() == QFileDevice::NoError;
        }
    }
    ::close(fd);
    return ok;
}

bool writeCopy(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

QString legacyDataDir(const QString& dataDir)
{
    QString legacy = dataDir;
    legacy.replace(QStringLiteral("Ambertrace"), QStringLiteral("Tallisk"), Qt::CaseSensitive);
    return legacy;
}

void migrateLegacyProfiles(const QString& dataDir)
{
    const QString profilesDir = dataDir + QStringLiteral("/profiles");
    if (QFileInfo::exists(profilesDir) || QFileInfo(profilesDir).isSymLink())
        return;

    const QDir legacyProfiles(legacyDataDir(dataDir) + QStringLiteral("/profiles"));
    if (!legacyProfiles.exists())
        return;

    // The copies collect in a folder of their own that becomes the profiles folder only once every
    // file is in: a start that ends half-way (a crash, a kill) leaves no profiles folder behind, so
    // the next start copies again instead of believing the work done.
    const QString staging = dataDir + QStringLiteral("/profiles.migrating");
    QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging))
        return;

    const QStringList names =
        legacyProfiles.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        QByteArray bytes;
        // Anything that is not a profile-sized regular file is skipped: reading a pipe would
        // block the start for good, and a huge file is no profile.
        if (!readProfileSizedFile(legacyProfiles.filePath(name), bytes))
            continue;
        writeCopy(staging + QLatin1Char('/') + name, bytes);
    }
    if (!QDir().rename(staging, profilesDir))
        QDir(staging).removeRecursively();
}

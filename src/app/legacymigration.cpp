#include "app/legacymigration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString legacyDataDir(const QString& dataDir)
{
    QString legacy = dataDir;
    legacy.replace(QStringLiteral("Ambertrace"), QStringLiteral("Tallisk"), Qt::CaseSensitive);
    return legacy;
}

void migrateLegacyProfiles(const QString& dataDir)
{
    const QString profilesDir = dataDir + QStringLiteral("/profiles");
    if (QFileInfo::exists(profilesDir))
        return;

    const QDir legacyProfiles(legacyDataDir(dataDir) + QStringLiteral("/profiles"));
    if (!legacyProfiles.exists())
        return;

    if (!QDir().mkpath(profilesDir))
        return;

    const QStringList names = legacyProfiles.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        const QString target = profilesDir + QLatin1Char('/') + name;
        if (QFileInfo::exists(target))
            continue;
        // QFile::copy never overwrites; a file that cannot be copied is simply skipped.
        QFile::copy(legacyProfiles.filePath(name), target);
    }
}

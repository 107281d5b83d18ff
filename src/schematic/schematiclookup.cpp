#include "schematic/schematiclookup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString schematicSlug(const QString& group, const QString& name)
{
    static const QRegularExpression outsideSlug(QStringLiteral("[^a-z0-9]+"));
    QString slug = (group + QLatin1Char('-') + name).toLower();
    slug.replace(outsideSlug, QStringLiteral("-"));
    while (slug.startsWith(QLatin1Char('-')))
        slug.remove(0, 1);
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    return slug;
}

const QStringList& schematicImageExtensions()
{
    static const QStringList extensions{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                        QStringLiteral("gif"), QStringLiteral("webp")};
    return extensions;
}

QStringList schematicSearchDirs()
{
    // Joined as plain strings on purpose: the paths are shown to the user as they are built.
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString appDir = QCoreApplication::applicationDirPath();
    return {userDir + QStringLiteral("/schematics"), appDir + QStringLiteral("/schematics"),
            appDir + QStringLiteral("/../share/ambertrace/schematics")};
}

QString findSchematicImage(const QString& stem)
{
    return findSchematicImage(stem, schematicSearchDirs());
}

QString findSchematicImage(const QString& stem, const QStringList& dirs)
{
    // An empty stem would match hidden files such as ".png".
    if (stem.isEmpty())
        return {};
    for (const QString& dir : dirs) {
        for (const QString& extension : schematicImageExtensions()) {
            const QString path = dir + QLatin1Char('/') + stem + QLatin1Char('.') + extension;
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return {};
}

QString schematicMissingText(const QString& presetName, const QString& slug, const QString& userDir)
{
    return QStringLiteral("No schematic image is bundled for \"") + presetName +
           QStringLiteral("\".\n\nYou can add your own: save an image named\n    ") + slug +
           QStringLiteral(".png\ninto\n    ") + userDir;
}

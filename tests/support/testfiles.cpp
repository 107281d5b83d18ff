#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

void useTemporaryHome(const QTemporaryDir& home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
}

void useTemporaryProgramHome(const QTemporaryDir& home)
{
    useTemporaryHome(home);
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QCoreApplication::setApplicationName(QStringLiteral("Ambertrace"));
}

QString appDataPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString profilesPath()
{
    return appDataPath() + QStringLiteral("/profiles");
}

QString profilePath(const QString& fileName)
{
    return profilesPath() + QLatin1Char('/') + fileName;
}

QString sessionPath()
{
    return profilePath(QStringLiteral("_last_session.json_"));
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

QJsonObject readJsonObject(const QString& path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

QString describe(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString pdfText(const QString& path, QString* error)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) {
        *error = QStringLiteral("pdftotext (Debian package poppler-utils) is needed to read the report back");
        return QString();
    }
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    // The bound only keeps a broken pdftotext from holding the test until CTest's time-out.
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        *error = QStringLiteral("pdftotext failed on %1: %2")
                     .arg(path, QString::fromLocal8Bit(process.readAllStandardError()));
        return QString();
    }
    error->clear();
    return QString::fromUtf8(process.readAllStandardOutput());
}

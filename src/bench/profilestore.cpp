#include "bench/profilestore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString lastSessionFileName = QStringLiteral("_last_session.json_");

struct FileDescriptorCloser {
    int fd;
    ~FileDescriptorCloser() { ::close(fd); }
};

QJsonArray numbersToJson(const QList<double>& values)
{
    QJsonArray array;
    for (double v : values)
        array.append(v);
    return array;
}

// Anything that is not a number reads as 0, so the readings keep their positions.
QList<double> numbersFromJson(const QJsonValue& value)
{
    QList<double> values;
    const QJsonArray array = value.toArray();
    values.reserve(array.size());
    for (const QJsonValue& element : array)
        values.append(element.toDouble(0));
    return values;
}

// Only a regular file, or nothing yet, may be replaced by a profile. QSaveFile follows symbolic links
// and renames its temporary file over whatever the link ends in: a link placed where a profile belongs
// would have a named pipe or even a device node (for a user with the rights) replaced by a file. A
// loop of links, a directory or a path that cannot be examined is refused as well.
bool mayBeReplacedByProfile(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return S_ISREG(info.st_mode);
    return errno == ENOENT;
}

bool loadProfileFile(const QString& fileName, AmpProfile& out)
{
    QJsonObject object;
    if (!readJsonObjectFile(profilesDirectory().filePath(fileName), object))
        return false;
    out = profileFromJson(object);
    return true;
}

} // namespace

QDir profilesDirectory()
{
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/profiles");
    QDir().mkpath(path);
    return QDir(path);
}

QString profileFileName(const QString& name)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9 _.-]"));
    QString fileName = name;
    fileName.replace(unsafe, QStringLiteral("_"));
    return fileName + QStringLiteral(".json");
}

QJsonObject profileToJson(const AmpProfile& profile)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), profile.name);
    o.insert(QStringLiteral("tube"), profile.tube);
    o.insert(QStringLiteral("customMaxW"), profile.customMaxW);
    o.insert(QStringLiteral("tubeCount"), profile.tubeCount);
    o.insert(QStringLiteral("topology"), profile.topology);
    o.insert(QStringLiteral("biasMethod"), profile.biasMethod);
    o.insert(QStringLiteral("plateV"), profile.plateV);
    o.insert(QStringLiteral("bPlusV"), profile.bPlusV);
    o.insert(QStringLiteral("senseResistorOhms"), profile.senseResistorOhms);
    o.insert(QStringLiteral("cathodeResistorOhms"), profile.cathodeResistorOhms);
    o.insert(QStringLiteral("sharedCathodeR"), profile.sharedCathodeR);
    o.insert(QStringLiteral("subtractScreen"), profile.subtractScreen);
    o.insert(QStringLiteral("meterReadsTotal"), profile.meterReadsTotal);
    o.insert(QStringLiteral("targetPct"), profile.targetPct);
    o.insert(QStringLiteral("meas1"), numbersToJson(profile.meas1));
    o.insert(QStringLiteral("meas2"), numbersToJson(profile.meas2));
    if (!profile.preampStages.isEmpty())
        o.insert(QStringLiteral("preampStages"), profile.preampStages);
    // Left out without labels, so a profile of unlabelled tubes is written as before.
    bool anyLabel = false;
    for (const QString& label : profile.tubeLabels)
        anyLabel = anyLabel || !label.isEmpty();
    if (anyLabel)
        o.insert(QStringLiteral("tubeLabels"), QJsonArray::fromStringList(profile.tubeLabels));
    return o;
}

AmpProfile profileFromJson(const QJsonObject& o)
{
    // Every value falls back to the fresh record's default when it is missing or of another type;
    // toInt() also falls back for a number that is not a whole 32-bit value.
    AmpProfile p;
    p.name = o.value(QStringLiteral("name")).toString();
    p.tube = o.value(QStringLiteral("tube")).toString();
    p.customMaxW = o.value(QStringLiteral("customMaxW")).toDouble(p.customMaxW);
    p.tubeCount = o.value(QStringLiteral("tubeCount")).toInt(p.tubeCount);
    p.topology = o.value(QStringLiteral("topology")).toString();
    p.biasMethod = o.value(QStringLiteral("biasMethod")).toInt(p.biasMethod);
    p.plateV = o.value(QStringLiteral("plateV")).toDouble(p.plateV);
    p.bPlusV = o.value(QStringLiteral("bPlusV")).toDouble(p.bPlusV);
    p.senseResistorOhms = o.value(QStringLiteral("senseResistorOhms")).toDouble(p.senseResistorOhms);
    p.cathodeResistorOhms = o.value(QStringLiteral("cathodeResistorOhms")).toDouble(p.cathodeResistorOhms);
    p.sharedCathodeR = o.value(QStringLiteral("sharedCathodeR")).toBool(p.sharedCathodeR);
    p.subtractScreen = o.value(QStringLiteral("subtractScreen")).toBool(p.subtractScreen);
    p.meterReadsTotal = o.value(QStringLiteral("meterReadsTotal")).toBool(p.meterReadsTotal);
    p.targetPct = o.value(QStringLiteral("targetPct")).toDouble(p.targetPct);
    p.meas1 = numbersFromJson(o.value(QStringLiteral("meas1")));
    p.meas2 = numbersFromJson(o.value(QStringLiteral("meas2")));
    // The stages are kept as they are; the preamp chain makes sense of each element.
    p.preampStages = o.value(QStringLiteral("preampStages")).toArray();
    // Anything but a string reads as no label, so the labels keep their positions.
    const QJsonArray labels = o.value(QStringLiteral("tubeLabels")).toArray();
    for (const QJsonValue& label : labels)
        p.tubeLabels.append(label.toString());
    return p;
}

bool jsonObjectFromBytes(const QByteArray& bytes, QJsonObject& out)
{
    if (bytes.size() > maxProfileFileBytes)
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject())
        return false;
    out = doc.object();
    return true;
}

bool readJsonObjectFile(const QString& path, QJsonObject& out)
{
    // Opened without blocking and checked before anything is read: a named pipe placed where a
    // profile belongs would otherwise wait for a writer forever, and a device or a directory is no
    // profile at all.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const FileDescriptorCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxProfileFileBytes)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    // The file may have grown since fstat(); one byte past the limit is enough to refuse it.
    return jsonObjectFromBytes(file.read(maxProfileFileBytes + 1), out);
}

bool writeJsonObjectFile(const QString& path, const QJsonObject& object)
{
    if (!mayBeReplacedByProfile(path))
        return false;
    // QSaveFile writes beside the target and renames over it only on commit, so a full disk or an
    // I/O error leaves the previous profile in place. commit() alone is not enough: it can report
    // success after a buffered write that stopped short, so the write and the flush are checked first.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        file.commit(); // discards the partial temporary file
        return false;
    }
    return file.commit();
}

QStringList listProfiles()
{
    const QDir dir = profilesDirectory();
    // Hidden files are listed too: a profile whose name starts with a full stop is saved as a dot
    // file and would otherwise vanish from the list while it still exists.
    const QStringList files =
        dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Hidden, QDir::Name);
    QStringList names;
    for (const QString& fileName : files) {
        QJsonObject object;
        if (!readJsonObjectFile(dir.filePath(fileName), object))
            continue;
        const QString name = object.value(QStringLiteral("name")).toString();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

bool loadProfile(const QString& name, AmpProfile& out)
{
    return loadProfileFile(profileFileName(name), out);
}

bool saveProfile(const AmpProfile& profile)
{
    if (profile.name.isEmpty())
        return false;
    return writeJsonObjectFile(profilesDirectory().filePath(profileFileName(profile.name)),
                               profileToJson(profile));
}

bool deleteProfile(const QString& name)
{
    return profilesDirectory().remove(profileFileName(name));
}

bool loadLastSession(AmpProfile& out)
{
    return loadProfileFile(lastSessionFileName, out);
}

void saveLastSession(const AmpProfile& profile)
{
    // Closing goes on whatever happens here; an unwritten session simply is not restored.
    writeJsonObjectFile(profilesDirectory().filePath(lastSessionFileName), profileToJson(profile));
}

#include "bench/profilestore.h"

#include "bias/biascalc.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <memory>
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

// The stored name of a profile file; a null string when it holds no readable profile.
QString storedProfileName(const QDir& dir, const QString& fileName)
{
    QJsonObject object;
    if (!readJsonObjectFile(dir.filePath(fileName), object))
        return QString();
    return object.value(QStringLiteral("name")).toString(QStringLiteral(""));
}

QStringList allEntries(const QDir& dir)
{
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString profileFileNameInDirectory(const QDir& dir, const QString& name)
{
    return profileFileNameInStore(
        name, allEntries(dir), [&dir](const QString& fileName) { return storedProfileName(dir, fileName); });
}

// The file that holds the profile `name`, empty when there is none.
QString fileHoldingProfile(const QDir& dir, const QString& name)
{
    if (name.isEmpty())
        return QString();
    const QString saved = profileFileNameInDirectory(dir, name);
    if (storedProfileName(dir, saved) == name)
        return saved;
    const QList<ProfileEntry> entries = listProfileEntries();
    for (const ProfileEntry& entry : entries)
        if (entry.name == name)
            return entry.fileName;
    return QString();
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

QString profileFileNameInStore(const QString& name, const QStringList& existing,
                               const std::function<QString(const QString&)>& storedNameOf)
{
    // The file that is there under this name in any letter case: the exact spelling first.
    auto occupant = [&existing](const QString& fileName) {
        if (existing.contains(fileName))
            return fileName;
        for (const QString& other : existing)
            if (other.compare(fileName, Qt::CaseInsensitive) == 0)
                return other;
        return QString();
    };
    // Only another profile makes a file name unusable. Whatever else is in the way (a directory, a
    // pipe, a broken file) is the writer's to refuse or replace, as it always was.
    auto usable = [&](const QString& fileName) {
        const QString there = occupant(fileName);
        if (there.isEmpty())
            return true;
        const QString stored = storedNameOf(there);
        return stored.isNull() || stored == name;
    };

    const QString plain = profileFileName(name);
    if (usable(plain))
        return plain;
    QString stem = plain;
    stem.chop(5); // ".json"
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex();
    for (int digits : {8, 16}) {
        const QString candidate =
            stem + QLatin1Char('-') + QString::fromLatin1(hash.left(digits)) + QStringLiteral(".json");
        if (usable(candidate))
            return candidate;
    }
    return stem + QLatin1Char('-') + QString::fromLatin1(hash) + QStringLiteral(".json");
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
    o.insert(QStringLiteral("sharedSenseR"), profile.sharedSenseR);
    o.insert(QStringLiteral("sharedTubes"), profile.sharedTubes);
    o.insert(QStringLiteral("subtractScreen"), profile.subtractScreen);
    o.insert(QStringLiteral("screenPct"), profile.screenPct);
    o.insert(QStringLiteral("meterReadsTotal"), profile.meterReadsTotal);
    o.insert(QStringLiteral("meterTotalMa"), profile.meterTotalMa);
    o.insert(QStringLiteral("otDropDirect"), profile.otDropDirect);
    o.insert(QStringLiteral("senseRPerTube"), profile.senseRPerTube);
    o.insert(QStringLiteral("screenMeasured"), profile.screenMeasured);
    o.insert(QStringLiteral("targetPct"), profile.targetPct);
    if (profile.idle.unit == IdleUnit::MaPerTube || profile.idle.unit == IdleUnit::PctOfMax) {
        QJsonObject idle;
        idle.insert(QStringLiteral("unit"), profile.idle.unit == IdleUnit::MaPerTube
                                                ? QStringLiteral("mA per tube")
                                                : QStringLiteral("% of max"));
        idle.insert(QStringLiteral("low"), profile.idle.low);
        idle.insert(QStringLiteral("high"), profile.idle.high);
        idle.insert(QStringLiteral("pastRating"), profile.idle.pastRating);
        o.insert(QStringLiteral("ampIdle"), idle);
    }
    o.insert(QStringLiteral("meas1"), numbersToJson(profile.meas1));
    o.insert(QStringLiteral("meas2"), numbersToJson(profile.meas2));
    // Left out while no tube has a measured screen current, so such a file is written as before.
    auto anyNonZero = [](const QList<double>& values) {
        return std::any_of(values.cbegin(), values.cend(), [](double v) { return v != 0; });
    };
    if (anyNonZero(profile.screenDropV) || anyNonZero(profile.screenOhms)) {
        o.insert(QStringLiteral("screenDropV"), numbersToJson(profile.screenDropV));
        o.insert(QStringLiteral("screenOhms"), numbersToJson(profile.screenOhms));
    }
    if (!profile.preampStages.isEmpty())
        o.insert(QStringLiteral("preampStages"), profile.preampStages);
    // Written only when there is a log, so a file without one reads as it always did.
    if (!profile.warmupLog.isEmpty())
        o.insert(QStringLiteral("warmupLog"), warmupLogToJson(warmupLogForFile(profile.warmupLog)));
    // Both written only when there is something, so a profile without them is written as before.
    if (!profile.amp.isEmpty())
        o.insert(QStringLiteral("amp"), ampRecordToJson(profile.amp));
    if (!profile.history.isEmpty())
        o.insert(QStringLiteral("history"), historyToJson(profile.history));
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
    p.sharedSenseR = o.value(QStringLiteral("sharedSenseR")).toBool(p.sharedSenseR);
    p.sharedTubes = o.value(QStringLiteral("sharedTubes")).toInt(p.sharedTubes);
    p.subtractScreen = o.value(QStringLiteral("subtractScreen")).toBool(p.subtractScreen);
    p.screenPct = o.value(QStringLiteral("screenPct")).toDouble(p.screenPct);
    p.meterReadsTotal = o.value(QStringLiteral("meterReadsTotal")).toBool(p.meterReadsTotal);
    p.targetPct = o.value(QStringLiteral("targetPct")).toDouble(p.targetPct);
    // Anything but a known unit reads as no figure; the bench checks the numbers.
    const QJsonObject idle = o.value(QStringLiteral("ampIdle")).toObject();
    const QString idleUnit = idle.value(QStringLiteral("unit")).toString();
    if (idleUnit == QLatin1String("mA per tube") || idleUnit == QLatin1String("% of max")) {
        p.idle.unit = idleUnit == QLatin1String("mA per tube") ? IdleUnit::MaPerTube : IdleUnit::PctOfMax;
        p.idle.low = idle.value(QStringLiteral("low")).toDouble();
        p.idle.high = idle.value(QStringLiteral("high")).toDouble();
        p.idle.pastRating = idle.value(QStringLiteral("pastRating")).toBool();
    }
    p.meas1 = numbersFromJson(o.value(QStringLiteral("meas1")));
    p.meas2 = numbersFromJson(o.value(QStringLiteral("meas2")));
    p.screenDropV = numbersFromJson(o.value(QStringLiteral("screenDropV")));
    p.screenOhms = numbersFromJson(o.value(QStringLiteral("screenOhms")));
    p.otDropDirect = o.value(QStringLiteral("otDropDirect")).toBool(p.otDropDirect);
    p.senseRPerTube = o.value(QStringLiteral("senseRPerTube")).toBool(p.senseRPerTube);
    p.screenMeasured = o.value(QStringLiteral("screenMeasured")).toBool(p.screenMeasured);
    const QJsonValue total = o.value(QStringLiteral("meterTotalMa"));
    if (total.isDouble()) {
        p.meterTotalMa = total.toDouble();
    } else if (p.biasMethod == PanelMeter && p.meterReadsTotal) {
        // Earlier versions divided each card's own reading by the tube count, and had the total
        // typed into every card. The largest of those is the one total: equal readings keep their
        // shares, and where they differ the bench errs to the hotter side.
        for (double ma : std::as_const(p.meas1)) {
            if (std::isfinite(ma))
                p.meterTotalMa = std::max(p.meterTotalMa, ma);
        }
    }
    // The stages are kept as they are; the preamp chain makes sense of each element.
    p.preampStages = o.value(QStringLiteral("preampStages")).toArray();
    p.warmupLog = warmupLogFromJson(o.value(QStringLiteral("warmupLog")).toObject());
    p.amp = ampRecordFromJson(o.value(QStringLiteral("amp")));
    p.history = historyFromJson(o.value(QStringLiteral("history")));
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

ProfileIndex& profileIndex()
{
    static std::unique_ptr<ProfileIndex> index;
    const QString directory = profilesDirectory().path();
    const QString indexPath = profileIndexPath();
    if (!index || index->directory() != directory || index->indexPath() != indexPath)
        index = std::make_unique<ProfileIndex>(directory, indexPath);
    return *index;
}

namespace {
QList<ProfileListing> listingsOf(const ProfileIndex& index);
} // namespace

QList<ProfileListing> listProfileListings()
{
    ProfileIndex& index = profileIndex();
    index.refresh();
    // The listing of an unchanged index is the one made last time.
    static quint64 listedGeneration = 0;
    static QList<ProfileListing> listed;
    if (listedGeneration != 0 && listedGeneration == index.generation())
        return listed;
    listed = listingsOf(index);
    listedGeneration = index.generation();
    return listed;
}

namespace {

QList<ProfileListing> listingsOf(const ProfileIndex& index)
{
    const QList<ProfileIndexEntry>& files = index.entries();
    QList<ProfileListing> entries;
    entries.reserve(files.size());
    QHash<QString, int> filesPerName;
    for (const ProfileIndexEntry& file : files) {
        if (!file.isProfile || file.name.isEmpty())
            continue;
        ProfileListing entry;
        entry.entry.fileName = file.fileName;
        entry.entry.name = file.name;
        entry.entry.label = file.name;
        entry.customer = file.customer;
        entry.make = file.make;
        entry.model = file.model;
        entry.serial = file.serial;
        entries.append(entry);
        ++filesPerName[file.name];
    }
    if (filesPerName.size() == entries.size())
        return entries;
    // Several files hold one name: all but the file that name is saved in say which file they are.
    // The index knows what every profile file holds; anything else in the folder holds no profile.
    QStringList existing;
    existing.reserve(files.size());
    for (const ProfileIndexEntry& file : files)
        existing.append(file.fileName);
    const auto storedNameOf = [&index](const QString& fileName) {
        const ProfileIndexEntry* file = index.find(fileName);
        if (!file || !file->isProfile)
            return QString();
        return file->name.isNull() ? QStringLiteral("") : file->name;
    };
    for (ProfileListing& listing : entries) {
        ProfileEntry& entry = listing.entry;
        if (filesPerName.value(entry.name) < 2)
            continue;
        if (entry.fileName != profileFileNameInStore(entry.name, existing, storedNameOf))
            entry.label = entry.name + QStringLiteral(" (") + entry.fileName + QLatin1Char(')');
    }
    return entries;
}

} // namespace

QList<ProfileEntry> listProfileEntries()
{
    const QList<ProfileListing> listings = listProfileListings();
    QList<ProfileEntry> entries;
    entries.reserve(listings.size());
    for (const ProfileListing& listing : listings)
        entries.append(listing.entry);
    return entries;
}

bool loadProfileEntry(const ProfileEntry& entry, AmpProfile& out)
{
    if (entry.fileName.isEmpty() || entry.fileName.contains(QLatin1Char('/')))
        return false;
    return loadProfileFile(entry.fileName, out);
}

bool deleteProfileEntry(const ProfileEntry& entry)
{
    if (entry.fileName.isEmpty() || entry.fileName.contains(QLatin1Char('/')))
        return false;
    QDir dir = profilesDirectory();
    if (!QFileInfo(dir.filePath(entry.fileName)).isFile())
        return false;
    return dir.remove(entry.fileName);
}

QStringList listProfiles()
{
    QStringList names;
    const QList<ProfileEntry> entries = listProfileEntries();
    for (const ProfileEntry& entry : entries)
        names.append(entry.name);
    return names;
}

bool loadProfile(const QString& name, AmpProfile& out)
{
    // As before, a name no file holds reads the file that name maps to, whatever it says.
    QString fileName = fileHoldingProfile(profilesDirectory(), name);
    if (fileName.isEmpty())
        fileName = profileFileName(name);
    return loadProfileFile(fileName, out);
}

QString profileSavePath(const QString& name)
{
    const QDir dir = profilesDirectory();
    return dir.filePath(profileFileNameInDirectory(dir, name));
}

bool saveProfile(const AmpProfile& profile)
{
    if (profile.name.isEmpty())
        return false;
    const QDir dir = profilesDirectory();
    return writeJsonObjectFile(dir.filePath(profileFileNameInDirectory(dir, profile.name)),
                               profileToJson(profile));
}

bool deleteProfile(const QString& name)
{
    const QDir dir = profilesDirectory();
    const QString fileName = fileHoldingProfile(dir, name);
    return !fileName.isEmpty() && deleteProfileEntry({fileName, name, name});
}

bool loadLastSession(AmpProfile& out)
{
    return loadProfileFile(lastSessionFileName, out);
}

namespace {

QString recentProfilesPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recent-amps.json");
}

} // namespace

QStringList recentProfileFilesFromJson(const QJsonObject& object)
{
    QStringList files;
    const QJsonArray array = object.value(QStringLiteral("files")).toArray();
    for (const QJsonValue& value : array) {
        const QString fileName = value.toString();
        if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)) ||
            files.contains(fileName))
            continue;
        files.append(fileName);
        if (files.size() == maxRecentProfiles)
            break;
    }
    return files;
}

QStringList recentProfileFiles()
{
    QJsonObject object;
    if (!readJsonObjectFile(recentProfilesPath(), object))
        return {};
    return recentProfileFilesFromJson(object);
}

void noteProfileUsed(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    QStringList files = recentProfileFiles();
    files.removeAll(fileName);
    files.prepend(fileName);
    while (files.size() > maxRecentProfiles)
        files.removeLast();
    QJsonObject object;
    object.insert(QStringLiteral("files"), QJsonArray::fromStringList(files));
    // Only an order of the list: a failure to keep it loses nothing.
    QDir().mkpath(QFileInfo(recentProfilesPath()).absolutePath());
    writeJsonObjectFile(recentProfilesPath(), object);
}

void saveLastSession(const AmpProfile& profile)
{
    // Closing goes on whatever happens here; an unwritten session simply is not restored.
    writeJsonObjectFile(profilesDirectory().filePath(lastSessionFileName), profileToJson(profile));
}

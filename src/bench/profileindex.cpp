#include "bench/profileindex.h"

#include "bench/profilestore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonValue>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

const QByteArray formatTag = QByteArrayLiteral("ambertrace-profile-index\t1\t");
const QByteArray endTag = QByteArrayLiteral("end\t");
constexpr int entryFields = 12;

// How coarse a file system may keep file times: FAT keeps modification times in steps of 2 s.
constexpr qint64 fileTimeStepNs = 2'000'000'000;

qint64 nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

ProfileFileStamp stampOf(const struct stat& info)
{
    ProfileFileStamp stamp;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = nanoseconds(info.st_mtim);
    stamp.changedNs = nanoseconds(info.st_ctim);
    stamp.inode = quint64(info.st_ino);
    return stamp;
}

// File times come from the system's clock, so a file's age is measured against that clock, not
// against the program's (which a test may hold on a fixed day).
qint64 fileSystemNowNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

// Generations are unique across every index of the process, so one never passes for another's.
quint64 nextGeneration()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

struct FileDescriptorCloser {
    int fd;
    ~FileDescriptorCloser() { ::close(fd); }
};

enum class ReadResult {
    Unreadable,  // could not be opened or read now: tried again at the next look
    NotAProfile, // read whole, and holds no JSON object (or is too large to be one)
    Profile,
};

// Read as the store reads every profile (never blocking on a pipe, never more than the size
// limit), with the stamp of the very file that was read.
ReadResult readProfileFile(const QString& path, QJsonObject& out, ProfileFileStamp& stamp)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::Unreadable;
    const FileDescriptorCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::Unreadable;
    stamp = stampOf(info);
    if (info.st_size > maxProfileFileBytes)
        return ReadResult::NotAProfile;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return ReadResult::Unreadable;
    const QByteArray bytes = file.read(maxProfileFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return ReadResult::Unreadable;
    return jsonObjectFromBytes(bytes, out) ? ReadResult::Profile : ReadResult::NotAProfile;
}

QByteArray escaped(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescaped(const QByteArray& field, QString& out)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field.at(i)) {
        case '\\':
            bytes += '\\';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        default:
            return false;
        }
    }
    out = QString::fromUtf8(bytes);
    return true;
}

bool number(const QByteArray& field, qint64& out)
{
    bool ok = false;
    out = field.toLongLong(&ok);
    return ok;
}

// A name the folder can hold: what an index names otherwise is no file of the folder.
bool plainFileName(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool entryFromLine(const QByteArray& line, ProfileIndexEntry& entry)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != entryFields)
        return false;
    qint64 inode = 0;
    if (!unescaped(fields[0], entry.fileName) || !plainFileName(entry.fileName))
        return false;
    if ((fields[1] != "0" && fields[1] != "1") || (fields[2] != "0" && fields[2] != "1"))
        return false;
    entry.isProfile = fields[1] == "1";
    entry.settled = fields[2] == "1";
    if (!number(fields[3], entry.stamp.size) || entry.stamp.size < 0 ||
        !number(fields[4], entry.stamp.modifiedNs) || !number(fields[5], entry.stamp.changedNs) ||
        !number(fields[6], inode))
        return false;
    entry.stamp.inode = quint64(inode);
    return unescaped(fields[7], entry.name) && unescaped(fields[8], entry.customer) &&
           unescaped(fields[9], entry.make) && unescaped(fields[10], entry.model) &&
           unescaped(fields[11], entry.serial);
}

} // namespace

void fillIndexEntry(ProfileIndexEntry& entry, const QJsonObject& profile)
{
    entry.isProfile = true;
    entry.name = profile.value(QStringLiteral("name")).toString();
    const QJsonObject amp = profile.value(QStringLiteral("amp")).toObject();
    entry.customer = amp.value(QStringLiteral("customer")).toString();
    entry.make = amp.value(QStringLiteral("make")).toString();
    entry.model = amp.value(QStringLiteral("model")).toString();
    entry.serial = amp.value(QStringLiteral("serial")).toString();
}

QByteArray profileIndexToBytes(const QString& directory, const QList<ProfileIndexEntry>& entries)
{
    QByteArray out = formatTag + escaped(directory) + '\n';
    for (const ProfileIndexEntry& e : entries) {
        out += escaped(e.fileName) + '\t' + (e.isProfile ? '1' : '0') + '\t' + (e.settled ? '1' : '0') +
               '\t' + QByteArray::number(e.stamp.size) + '\t' + QByteArray::number(e.stamp.modifiedNs) +
               '\t' + QByteArray::number(e.stamp.changedNs) + '\t' +
               QByteArray::number(qint64(e.stamp.inode)) + '\t' + escaped(e.name) + '\t' +
               escaped(e.customer) + '\t' + escaped(e.make) + '\t' + escaped(e.model) + '\t' +
               escaped(e.serial) + '\n';
    }
    const QByteArray hash = QCryptographicHash::hash(out, QCryptographicHash::Sha1).toHex();
    out += endTag + QByteArray::number(entries.size()) + '\t' + hash + '\n';
    return out;
}

bool profileIndexFromBytes(const QByteArray& bytes, const QString& directory, QList<ProfileIndexEntry>& out)
{
    if (bytes.size() > maxProfileIndexBytes || !bytes.endsWith('\n'))
        return false;
    // The last line seals everything before it; a file cut short or changed anywhere fails here.
    const qsizetype endLine = bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
    if (endLine <= 0)
        return false;
    const QByteArray body = bytes.left(endLine);
    const QList<QByteArray> seal = bytes.mid(endLine, bytes.size() - endLine - 1).split('\t');
    if (seal.size() != 3 || seal[0] + '\t' != endTag ||
        seal[2] != QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex())
        return false;
    qint64 count = 0;
    if (!number(seal[1], count))
        return false;

    const QList<QByteArray> lines = body.left(body.size() - 1).split('\n');
    QString indexed;
    if (!lines.first().startsWith(formatTag) || !unescaped(lines.first().mid(formatTag.size()), indexed) ||
        indexed != directory || count != lines.size() - 1)
        return false;
    QList<ProfileIndexEntry> entries;
    QHash<QString, int> seen;
    entries.reserve(lines.size() - 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        ProfileIndexEntry entry;
        if (!entryFromLine(lines[i], entry) || seen.contains(entry.fileName))
            continue;
        seen.insert(entry.fileName, int(entries.size()));
        entries.append(entry);
    }
    out = entries;
    return true;
}

ProfileIndex::ProfileIndex(const QString& directory, const QString& indexPath)
    : dir(directory), path(indexPath)
{
}

const ProfileIndexEntry* ProfileIndex::find(const QString& fileName) const
{
    const auto it = rowOf.constFind(fileName);
    return it == rowOf.constEnd() ? nullptr : &list.at(*it);
}

void ProfileIndex::rebuildLookup()
{
    rowOf.clear();
    rowOf.reserve(list.size());
    for (int i = 0; i < int(list.size()); ++i)
        rowOf.insert(list.at(i).fileName, i);
}

void ProfileIndex::loadIndexFile()
{
    loaded = true;
    // Read as carefully as a profile: a pipe or a device in its place never blocks the start.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    const FileDescriptorCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxProfileIndexBytes)
        return;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return;
    QList<ProfileIndexEntry> entries;
    if (profileIndexFromBytes(file.read(maxProfileIndexBytes + 1), dir, entries)) {
        list = entries;
        rebuildLookup();
        changes = nextGeneration();
    }
}

QList<QPair<QString, ProfileFileStamp>> ProfileIndex::listFolder() const
{
    // The files QDir::entryList({"*.json"}, QDir::Files | QDir::Hidden, QDir::Name) lists (hidden
    // ones too, as a name starting with a full stop is saved as a dot file; links followed; pipes,
    // devices and broken links left out), with their stamps, in one pass over the folder.
    QList<QPair<QString, ProfileFileStamp>> files;
    DIR* folder = ::opendir(QFile::encodeName(dir).constData());
    if (!folder)
        return files;
    const int fd = ::dirfd(folder);
    while (const dirent* item = ::readdir(folder)) {
        const QString fileName = QFile::decodeName(item->d_name);
        if (!fileName.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
            continue;
        struct stat info;
        if (::fstatat(fd, item->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode))
            continue;
        files.append({fileName, stampOf(info)});
    }
    ::closedir(folder);
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    return files;
}

bool ProfileIndex::refresh()
{
    if (!loaded)
        loadIndexFile();
    readCount = 0;
    const QDir folder(dir);
    QList<ProfileIndexEntry> fresh;
    fresh.reserve(list.size());
    for (const auto& [fileName, stamp] : listFolder()) {
        const ProfileIndexEntry* known = find(fileName);
        if (known && known->settled && known->stamp == stamp) {
            fresh.append(*known);
            continue;
        }
        ++readCount;
        const qint64 now = fileSystemNowNs();
        ProfileIndexEntry entry;
        entry.fileName = fileName;
        entry.stamp = stamp;
        QJsonObject object;
        const ReadResult result = readProfileFile(folder.filePath(fileName), object, entry.stamp);
        if (result == ReadResult::Profile)
            fillIndexEntry(entry, object);
        // A later change moves a file time that is older than the file system's step past it.
        entry.settled = result != ReadResult::Unreadable &&
                        now - qMin(entry.stamp.modifiedNs, entry.stamp.changedNs) > fileTimeStepNs;
        fresh.append(entry);
    }
    if (fresh == list)
        return false;
    list = fresh;
    rebuildLookup();
    changes = nextGeneration();
    dirty = true;
    return true;
}

void ProfileIndex::save()
{
    if (!dirty)
        return;
    dirty = false;
    // Only a cache: a failure to write it costs the next start a reading of every file. Anything but
    // a regular file in its place (a link, a pipe, a directory) is left alone: the save would follow
    // a link and replace whatever it ends in.
    QDir().mkpath(QFileInfo(path).absolutePath());
    struct stat there;
    if (::lstat(QFile::encodeName(path).constData(), &there) == 0 && !S_ISREG(there.st_mode))
        return;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = profileIndexToBytes(dir, list);
    if (out.write(bytes) == bytes.size() && out.flush())
        out.commit();
    else
        out.cancelWriting();
}

QString profileIndexPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/profile-index");
}

#pragma once

// What the profiles folder holds, without reading every file each time it is listed: for each file
// "*.json" its profile name and the amp's record (customer, make, model, serial), with the file's
// stamp (size, modification and change time, inode) at the moment it was read. A file whose stamp
// is unchanged is not read again; a new or changed one is, and a vanished one is dropped. The
// profile files stay what counts: the index is a cache, kept in a small file of its own in the cache
// location, and anything wrong with that file (missing, truncated, corrupt, for another folder)
// only means every profile is read once more.
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// A file's stamp: a change by any program alters at least one part of it.
struct ProfileFileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0; // modification time, ns since the epoch
    qint64 changedNs = 0;  // status change time, ns since the epoch
    quint64 inode = 0;

    bool operator==(const ProfileFileStamp& other) const
    {
        return size == other.size && modifiedNs == other.modifiedNs && changedNs == other.changedNs &&
               inode == other.inode;
    }
    bool operator!=(const ProfileFileStamp& other) const { return !(*this == other); }
};

// One file of the profiles folder as the index knows it.
struct ProfileIndexEntry {
    QString fileName;
    bool isProfile = false; // the file held a JSON object when it was read
    QString name;           // its "name"; empty when missing
    // The raw keys of its "amp" object, empty when missing or not strings.
    QString customer;
    QString make;
    QString model;
    QString serial;
    ProfileFileStamp stamp;
    // Read long enough after its last change that a later change must alter the stamp. A file read
    // within moments of being written (file times are only as fine as the file system keeps them)
    // is read again at the next look.
    bool settled = false;

    bool operator==(const ProfileIndexEntry& other) const
    {
        return fileName == other.fileName && isProfile == other.isProfile && name == other.name &&
               customer == other.customer && make == other.make && model == other.model &&
               serial == other.serial && stamp == other.stamp && settled == other.settled;
    }
};

// The name and the amp's record of a profile object, as the index keeps them.
void fillIndexEntry(ProfileIndexEntry& entry, const QJsonObject& profile);

// The index file: a line naming its format and folder, one line per entry (tab-separated, with
// tabs, line breaks and backslashes escaped) and a last line with the count and the SHA-1 of
// everything before it.
QByteArray profileIndexToBytes(const QString& directory, const QList<ProfileIndexEntry>& entries);
// True, with `out` set, only for a complete, intact index of `directory`; `out` is untouched
// otherwise. Entries with a file name that is no plain file name, or named twice, are left out.
bool profileIndexFromBytes(const QByteArray& bytes, const QString& directory, QList<ProfileIndexEntry>& out);

// The largest index file that is read: far more than 10 000 profiles need.
inline constexpr qint64 maxProfileIndexBytes = 64 * 1024 * 1024;

class ProfileIndex
{
public:
    // The index of the profiles folder `directory`, kept in the file `indexPath`.
    ProfileIndex(const QString& directory, const QString& indexPath);

    // Brings the entries up to date with the folder (read from the index file at the first call):
    // new and changed files are read, vanished ones dropped. True when the entries changed.
    bool refresh();
    // Writes the index file when the entries changed since it was read or written (a failure is
    // ignored: the next start reads the files again). Left to the caller, as writing ten thousand
    // entries costs more than the refresh that changed one.
    void save();

    // Every regular file "*.json" of the folder (links followed, hidden ones too) at the last
    // refresh, in the case-sensitive order of their names; those that hold no profile included.
    const QList<ProfileIndexEntry>& entries() const { return list; }
    // The entry of this file, null when the folder had no such file at the last refresh.
    const ProfileIndexEntry* find(const QString& fileName) const;

    // Names the entries as they are: the same number, the same entries (0 before any were known);
    // no two indexes of the process ever give the same number.
    quint64 generation() const { return changes; }

    // How many profile files the last refresh read.
    int filesRead() const { return readCount; }

    QString directory() const { return dir; }
    QString indexPath() const { return path; }

private:
    void loadIndexFile();
    QList<QPair<QString, ProfileFileStamp>> listFolder() const;
    void rebuildLookup();

    QString dir;
    QString path;
    bool loaded = false;
    QList<ProfileIndexEntry> list;
    QHash<QString, int> rowOf;
    int readCount = 0;
    quint64 changes = 0;
    bool dirty = false; // entries not in the index file yet
};

// The index file for the profiles folder: the cache location + "/profile-index".
QString profileIndexPath();

// The profile index file and the list of recently used amps as raw bytes: whatever an index file
// holds, reading it either fails or gives entries that write back to an index reading the same
// entries again; the recent-amps list never names anything but plain file names.
#include "bench/profileindex.h"
#include "bench/profilestore.h"
#include "fuzzcheck.h"

namespace {

const QString directory = QStringLiteral("/home/tech/.local/share/Quorlen/Ambertrace/profiles");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    QList<ProfileIndexEntry> entries;
    if (profileIndexFromBytes(bytes, directory, entries)) {
        for (const ProfileIndexEntry& entry : entries)
            FUZZ_EXPECT(!entry.fileName.isEmpty() && !entry.fileName.contains(QLatin1Char('/')),
                        "an index names only plain file names");
        const QByteArray written = profileIndexToBytes(directory, entries);
        QList<ProfileIndexEntry> reread;
        FUZZ_EXPECT(profileIndexFromBytes(written, directory, reread), "a written index must read back");
        FUZZ_EXPECT(reread == entries, "an index read back must hold the entries written");
        QList<ProfileIndexEntry> elsewhere;
        FUZZ_EXPECT(!profileIndexFromBytes(written, directory + QStringLiteral("2"), elsewhere),
                    "an index is of its own folder only");
    }

    QJsonObject object;
    if (jsonObjectFromBytes(bytes, object)) {
        const QStringList files = recentProfileFilesFromJson(object);
        FUZZ_EXPECT(files.size() <= maxRecentProfiles, "the recent amps are at most maxRecentProfiles");
        for (const QString& file : files)
            FUZZ_EXPECT(!file.isEmpty() && !file.contains(QLatin1Char('/')) && files.count(file) == 1,
                        "recent amps are plain file names, each once");
    }
    return 0;
}

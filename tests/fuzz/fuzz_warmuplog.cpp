// The warm-up log of a profile file as raw bytes: read as the store reads every file, written back
// as a profile writes it and read again. The second reading must give the same log, and the CSV of
// anything read must be made without a fault.
#include "bench/profilestore.h"
#include "fuzzcheck.h"
#include "warmup/warmuplog.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QJsonObject object;
    if (!jsonObjectFromBytes(fuzzBytes(data, size), object))
        return 0;
    // Either a whole profile or the log's own object.
    const QJsonValue inner = object.value(QStringLiteral("warmupLog"));
    const WarmupLog read = warmupLogFromJson(inner.isObject() ? inner.toObject() : object);
    FUZZ_EXPECT(read.entries.size() <= warmupMaxFileEntries, "no more entries than a file may hold");
    for (qsizetype i = 1; i < read.entries.size(); ++i)
        FUZZ_EXPECT(read.entries.at(i - 1).timeMs <= read.entries.at(i).timeMs, "entries in time order");
    for (const WarmupEntry& e : read.entries)
        FUZZ_EXPECT(e.tube >= 0 && e.tube < warmupMaxTubes && e.method >= 0 && e.method <= 4,
                    "only tubes and methods the bench has");

    const QByteArray written = QJsonDocument(warmupLogToJson(warmupLogForFile(read))).toJson();
    const WarmupLog reread = warmupLogFromJson(QJsonDocument::fromJson(written).object());
    FUZZ_EXPECT(reread == read, "a log read back after writing must equal the log that was written");
    (void)warmupCsv(read);
    return 0;
}

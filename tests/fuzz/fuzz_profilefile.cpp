// A profile or last-session file as raw bytes: read as the store reads every file, turned into a
// record, written back as the store writes it and read again. The second reading must give the same
// record, or a profile would change each time it is saved and loaded.
#include "bench/profilestore.h"
#include "fuzzcheck.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// JSON keeps no difference between 1.1e18 and 1100000000000000000, but QJsonValue does (a double
// against a whole number); numbers are compared by value, as every reader takes them.
bool sameJson(const QJsonValue& a, const QJsonValue& b)
{
    if (a.isDouble() && b.isDouble())
        return a.toDouble() == b.toDouble();
    if (a.isArray() && b.isArray()) {
        const QJsonArray x = a.toArray();
        const QJsonArray y = b.toArray();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!sameJson(x.at(i), y.at(i)))
                return false;
        return true;
    }
    if (a.isObject() && b.isObject()) {
        const QJsonObject x = a.toObject();
        const QJsonObject y = b.toObject();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.begin(); it != x.end(); ++it)
            if (!sameJson(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    return a == b;
}

bool sameRecord(const AmpProfile& a, const AmpProfile& b)
{
    return a.name == b.name && a.tube == b.tube && a.customMaxW == b.customMaxW &&
           a.tubeCount == b.tubeCount && a.topology == b.topology && a.biasMethod == b.biasMethod &&
           a.plateV == b.plateV && a.bPlusV == b.bPlusV && a.senseResistorOhms == b.senseResistorOhms &&
           a.cathodeResistorOhms == b.cathodeResistorOhms && a.sharedCathodeR == b.sharedCathodeR &&
           a.subtractScreen == b.subtractScreen && a.meterReadsTotal == b.meterReadsTotal &&
           a.targetPct == b.targetPct && a.meas1 == b.meas1 && a.meas2 == b.meas2 &&
           sameJson(a.preampStages, b.preampStages) && a.warmupLog == b.warmupLog &&
           a.tubeLabels == b.tubeLabels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QJsonObject object;
    if (!jsonObjectFromBytes(fuzzBytes(data, size), object))
        return 0;
    const AmpProfile read = profileFromJson(object);

    const QByteArray written = QJsonDocument(profileToJson(read)).toJson(QJsonDocument::Indented);
    QJsonObject rereadObject;
    if (written.size() <= maxProfileFileBytes) {
        FUZZ_EXPECT(jsonObjectFromBytes(written, rereadObject),
                    "a written profile must read back as an object");
    } else {
        // Indentation can make a file of deeply nested stages many times longer than its compact
        // input, past the size limit. The window never saves such a file (it writes the stages of its
        // own chain), so here only the content is checked, read without the limit.
        const QJsonDocument doc = QJsonDocument::fromJson(written);
        FUZZ_EXPECT(doc.isObject(), "a written profile must read back as an object");
        rereadObject = doc.object();
    }
    FUZZ_EXPECT(sameRecord(read, profileFromJson(rereadObject)),
                "a profile read back after writing must equal the record that was written");
    FUZZ_EXPECT(sameJson(profileToJson(read), rereadObject), "writing must keep every key and value");
    return 0;
}

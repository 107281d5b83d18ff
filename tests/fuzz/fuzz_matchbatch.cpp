// A batch file as raw bytes: read as the tab reads it, written back and read again. The second
// reading must give the same batch, and the search must accept whatever was read.
#include "bench/profilestore.h"
#include "fuzzcheck.h"
#include "matching/matchbatch.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QJsonObject object;
    if (!jsonObjectFromBytes(fuzzBytes(data, size), object))
        return 0;
    MatchBatch read;
    if (!matchBatchFromJson(object, read))
        return 0;
    const QJsonObject written = matchBatchToJson(read);
    QJsonObject reread;
    FUZZ_EXPECT(jsonObjectFromBytes(QJsonDocument(written).toJson(), reread),
                "a written batch must read back as an object");
    MatchBatch again;
    FUZZ_EXPECT(matchBatchFromJson(reread, again), "a written batch must be accepted");
    FUZZ_EXPECT(matchBatchToJson(again) == written, "a batch read back must equal the one written");
    // A small budget keeps each input quick; the result must still be a grouping of the batch.
    MatchRequest request = matchRequest(read);
    request.searchBudget = 2000;
    const MatchOutcome outcome = findMatchedSets(read.tubes, request, matchGm(read));
    qsizetype placed = outcome.leftovers.size() + outcome.unmeasured.size();
    for (const MatchSet& set : outcome.sets) {
        FUZZ_EXPECT(set.tubes.size() == read.setSize, "every set has the asked size");
        placed += set.tubes.size();
    }
    FUZZ_EXPECT(placed == read.tubes.size(), "every tube is in one set, left over or unmeasured");
    return 0;
}

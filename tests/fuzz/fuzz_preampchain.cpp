// A stored preamp chain: the JSON array that profiles, the last session and presets keep. Each of
// the first eight elements is read as the chain reads it (anything but an object gives the
// defaults); every value must land finite inside the editor's range, survive being written and read
// again unchanged, and solve to finite figures.
#include "fuzzcheck.h"
#include "preamp/stageobject.h"
#include "preamp/stagesolver.h"
#include "preamp/triodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

constexpr int maxChainStages = 8; // the chain view's limit

void expectInRange(double value, const StageFieldLimits& limits)
{
    FUZZ_EXPECT(std::isfinite(value), "a stage value must be finite");
    FUZZ_EXPECT(value >= limits.minimum && value <= limits.maximum, "a stage value must lie in its range");
    FUZZ_EXPECT(stageFieldValue(QJsonValue(value), limits) == value,
                "reading a read value must not change it");
}

bool sameValues(const PreampStageValues& a, const PreampStageValues& b)
{
    return a.tubeRow == b.tubeRow && a.supplyV == b.supplyV && a.plateK == b.plateK &&
           a.cathodeOhm == b.cathodeOhm && a.bypassUf == b.bypassUf && a.nextGridK == b.nextGridK;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument doc = QJsonDocument::fromJson(fuzzBytes(data, size));
    if (!doc.isArray())
        return 0;
    const QJsonArray chain = doc.array();
    const QList<TriodeSpec>& catalogue = triodeCatalogue();

    for (qsizetype i = 0; i < chain.size() && i < maxChainStages; ++i) {
        const PreampStageValues values = preampStageFromJson(chain.at(i).toObject());
        FUZZ_EXPECT(values.tubeRow >= -1 && values.tubeRow < catalogue.size(),
                    "tube row out of the catalogue");
        expectInRange(values.supplyV, stageSupplyLimits);
        expectInRange(values.plateK, stagePlateLimits);
        expectInRange(values.cathodeOhm, stageCathodeLimits);
        expectInRange(values.bypassUf, stageBypassLimits);
        expectInRange(values.nextGridK, stageNextGridLimits);

        // A stage whose tube is kept is written with the first row, as a new editor holds it.
        const int row = values.tubeRow >= 0 ? values.tubeRow : 0;
        const QByteArray written =
            QJsonDocument(QJsonArray{preampStageToJson(catalogue.at(row).name, values)}).toJson();
        PreampStageValues expected = values;
        expected.tubeRow = row;
        const PreampStageValues reread =
            preampStageFromJson(QJsonDocument::fromJson(written).array().at(0).toObject());
        FUZZ_EXPECT(sameValues(reread, expected), "a written stage must read back unchanged");

        TriodeStageInput input;
        input.tube = catalogue.at(row);
        input.supplyV = values.supplyV;
        input.plateLoadOhm = values.plateK * 1000;
        input.cathodeOhm = values.cathodeOhm;
        input.bypassUf = values.bypassUf;
        input.nextGridOhm = values.nextGridK * 1000;
        const TriodeStageResult r = solveTriodeStage(input);
        if (r.ok) {
            for (double figure : {r.plateMa, r.plateV, r.cathodeV, r.plateW, r.pctOfMax, r.gain, r.gainDb,
                                  r.zoutOhm, r.headroomV, r.bypassCornerHz})
                FUZZ_EXPECT(std::isfinite(figure), "a solved stage must show finite figures");
            FUZZ_EXPECT(r.gain > 0, "a solved stage must amplify");
        } else {
            FUZZ_EXPECT(!r.error.isEmpty(), "a failed solve must say why");
        }
    }
    return 0;
}

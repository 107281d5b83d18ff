#include "preamp/stageobject.h"

#include "preamp/triodes.h"

#include <QtGlobal>
#include <cmath>

double stageFieldValue(const QJsonValue& value, const StageFieldLimits& limits)
{
    // A stored value that is not a finite number would otherwise be clamped to the range's end.
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return limits.defaultValue;
    // The spin box rounds through its decimal text before it clamps; doing the same keeps a value
    // read here identical to the one the editor shows and writes back.
    const double rounded = QString::number(value.toDouble(), 'f', limits.decimals).toDouble();
    return qBound(limits.minimum, rounded, limits.maximum);
}

PreampStageValues preampStageFromJson(const QJsonObject& stage)
{
    PreampStageValues v;
    v.tubeRow = triodeIndex(stage.value(QLatin1String("tube")).toString());
    v.supplyV = stageFieldValue(stage.value(QLatin1String("bPlus")), stageSupplyLimits);
    v.plateK = stageFieldValue(stage.value(QLatin1String("plateRK")), stagePlateLimits);
    v.cathodeOhm = stageFieldValue(stage.value(QLatin1String("cathodeR")), stageCathodeLimits);
    v.bypassUf = stageFieldValue(stage.value(QLatin1String("bypassUF")), stageBypassLimits);
    v.nextGridK = stageFieldValue(stage.value(QLatin1String("nextGridRK")), stageNextGridLimits);
    return v;
}

QJsonObject preampStageToJson(const QString& tube, const PreampStageValues& values)
{
    QJsonObject stage;
    stage.insert(QLatin1String("tube"), tube);
    stage.insert(QLatin1String("bPlus"), values.supplyV);
    stage.insert(QLatin1String("plateRK"), values.plateK);
    stage.insert(QLatin1String("cathodeR"), values.cathodeOhm);
    stage.insert(QLatin1String("bypassUF"), values.bypassUf);
    stage.insert(QLatin1String("nextGridRK"), values.nextGridK);
    return stage;
}

QString preampModelName(PreampModel model)
{
    return model == PreampModel::Koren ? QStringLiteral("Koren") : QStringLiteral("Datasheet");
}

PreampModel preampModelFromStages(const QJsonArray& stages)
{
    if (stages.isEmpty())
        return PreampModel::Datasheet;
    const QJsonValue value = stages.at(0).toObject().value(QLatin1String(preampModelKey));
    return value.toString() == preampModelName(PreampModel::Koren) ? PreampModel::Koren
                                                                   : PreampModel::Datasheet;
}

QJsonArray stagesWithModel(const QJsonArray& stages, PreampModel model)
{
    if (model == PreampModel::Datasheet)
        return stages;
    QJsonArray out;
    for (const QJsonValue& stage : stages) {
        QJsonObject object = stage.toObject();
        object.insert(QLatin1String(preampModelKey), preampModelName(model));
        out.append(object);
    }
    return out;
}

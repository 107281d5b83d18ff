// The "AMP PRESET" list: every amplifier of the preset catalogue under its maker or category
// heading, and applying a chosen preset to the whole bench in one step.
#include "bench/mainwindow.h"

#include "catalog/presets.h"
#include "preamp/preampview.h"
#include "warmup/warmuprecorder.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>

void MainWindow::fillPresetList()
{
    presetCombo->addItem(QStringLiteral("— choose a preset —"));

    auto* model = qobject_cast<QStandardItemModel*>(presetCombo->model());
    QString group;
    const QList<AmpPreset>& presets = ampPresets();
    for (int k = 0; k < presets.size(); ++k) {
        const AmpPreset& preset = presets[k];
        if (k == 0 || preset.group != group) {
            presetCombo->insertSeparator(presetCombo->count());
            presetCombo->addItem(QStringLiteral("· ") + preset.group.toUpper() + QStringLiteral(" ·"));
            // Headings only structure the list; they can be neither chosen nor focused.
            if (QStandardItem* heading = model ? model->item(presetCombo->count() - 1) : nullptr)
                heading->setFlags(heading->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
            group = preset.group;
        }
        presetCombo->addItem(preset.name, k);
    }
}

void MainWindow::onPresetActivated()
{
    const QVariant data = presetCombo->currentData();
    if (!data.isValid())
        return;
    const int k = data.toInt();
    const QList<AmpPreset>& presets = ampPresets();
    if (k < 0 || k >= presets.size())
        return;
    const AmpPreset& preset = presets[k];
    lastPreset = k;

    schematicButton->setEnabled(true);
    schematicButton->setToolTip(QStringLiteral("Look up the ") + preset.name +
                                QStringLiteral(" schematic online"));

    const bool putAway = bench.hasUnsavedReadings();
    bench.applyPreset(k);
    // A preset is a new job: its tubes start empty, and so does the log (the last job's log goes
    // with its readings and cannot be brought back by the log's undo).
    recorder->setLog(WarmupLog());
    // Nor is it any saved amp: no customer, no readings before adjustment.
    startNewAmp(AmpRecord());

    // A preset without a chain of its own leaves whatever the designer holds.
    if (!preset.preampStages.isEmpty()) {
        QJsonArray stages;
        for (const PreampStagePreset& stage : preset.preampStages) {
            QJsonObject object;
            object.insert(QStringLiteral("tube"), stage.tube);
            object.insert(QStringLiteral("bPlus"), stage.bPlus);
            object.insert(QStringLiteral("plateRK"), stage.plateRK);
            object.insert(QStringLiteral("cathodeR"), stage.cathodeR);
            object.insert(QStringLiteral("bypassUF"), stage.bypassUF);
            object.insert(QStringLiteral("nextGridRK"), stage.nextGridRK);
            stages.append(object);
        }
        preamp->loadStages(stages);
    }

    const QString note = preset.note.isEmpty() ? QString() : preset.name + QStringLiteral(": ") + preset.note;
    showPresetNote(note);
    showStatusMessage(putAway ? withUndoHint(note) : note, 12000);
}

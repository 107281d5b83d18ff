// "Schematic": the image of the preset chosen last, or a note saying where to put one.
#include "bench/mainwindow.h"

#include "catalog/presets.h"
#include "schematic/schematicviewer.h"

void MainWindow::showSchematicForPreset()
{
    const QList<AmpPreset>& presets = ampPresets();
    if (lastPreset < 0 || lastPreset >= presets.size())
        return;
    const AmpPreset& preset = presets[lastPreset];
    showPresetSchematic(this, preset.group, preset.name);
}

// "Schematic": the image of the preset chosen last, or a note saying where to put one.
#include "bench/mainwindow.h"

#include "catalog/presets.h"
#include "schematic/schematicviewer.h"

void MainWindow::showSchematicForPreset()
{
    const QList<AmpPreset>& presets = ampPresets();
    if (selectedPreset < 0 || selectedPreset >= presets.size())
        return;
    const AmpPreset& preset = presets[selectedPreset];
    showPresetSchematic(this, preset.group, preset.name);
}

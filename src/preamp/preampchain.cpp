#include "preamp/preampchain.h"

#include <algorithm>

QList<StageDrive> chainDrive(const QList<StageHeadroom>& stages)
{
    QList<StageDrive> drive;
    drive.reserve(stages.size());
    for (int i = 0; i < stages.size(); ++i) {
        StageDrive d;
        if (i == 0) {
            d.inPlusV = stages.at(0).plusV;
            d.inMinusV = stages.at(0).minusV;
        } else {
            const StageHeadroom& before = stages.at(i - 1);
            const StageDrive& into = drive.at(i - 1);
            const double cleanPlus = std::min(into.inPlusV, before.plusV);
            const double cleanMinus = std::max(into.inMinusV, before.minusV);
            d.inPlusV = -before.gain * cleanMinus;
            d.inMinusV = -before.gain * cleanPlus;
            d.overdriven = d.inPlusV > stages.at(i).plusV || d.inMinusV < stages.at(i).minusV;
        }
        drive.append(d);
    }
    return drive;
}

#pragma once

// How hard each stage of a chain is driven by the one before it. The chain is taken as driven up to
// the first stage's own headroom; every stage passes on the clean part of what it receives,
// amplified and inverted (a common-cathode stage turns a positive input swing into a negative output
// swing). A stage whose input reaches past its headroom on either side is overdriven: it clips
// before the stage before it does.
#include <QList>

struct StageHeadroom {
    double gain = 0;   // ratio
    double plusV = 0;  // V peak input, positive limit
    double minusV = 0; // V peak input, negative limit (a negative number)
};

struct StageDrive {
    double inPlusV = 0;  // V peak, the largest positive swing arriving at the grid
    double inMinusV = 0; // V peak, the largest negative swing arriving at the grid (negative)
    bool overdriven = false;
};

QList<StageDrive> chainDrive(const QList<StageHeadroom>& stages);

// Past this total gain (dB) no real chain of preamp stages keeps its signal clean: the later stages
// would be driven far past what they can swing, so the total only shows the chain cannot work as
// drawn.
inline constexpr double plausibleChainGainDb = 100;

// The two read-outs that summarise the bench: the recommended idle current for the target slider
// and the matching verdict over the tubes that have a reading, both as the model works them out.
#include "bench/mainwindow.h"

#include <QLabel>
#include <QStyle>
#include <QVariant>

void MainWindow::showTarget()
{
    targetLabel->setText(benchTargetPctText(bench.target()));
    targetCurrentLabel->setText(benchTargetCurrentText(bench.target()));
}

void MainWindow::showMatching()
{
    const MatchingVerdict& verdict = bench.matching();
    if (verdict.level.isEmpty()) {
        // Without a verdict there is no text to colour: the level goes without a re-polish.
        matchLabel->clear();
        matchLabel->setProperty("level", QString());
        return;
    }
    matchLabel->setText(verdict.text);
    // Re-polishing is what makes the style sheet's [level=...] rules see the new value; it is not
    // free, so only a change of level pays for it.
    if (matchLabel->property("level").toString() != verdict.level) {
        matchLabel->setProperty("level", verdict.level);
        matchLabel->style()->unpolish(matchLabel);
        matchLabel->style()->polish(matchLabel);
    }
}

#pragma once

// How a rating is shown, in one place: the tube card's badge, its "status" property and glow, the
// gauge's zone colour and the report's status text and class all come from the row of the rating.
#include "bias/biascalc.h"

#include <QColor>
#include <QString>

struct BiasStatusLook {
    QString badgeText;   // on the card, e.g. "OVER MAX!"
    QString statusName;  // the card's "status" property the style sheet selects on: "hot", ...
    QColor glowColor;    // opaque colour of the card's glow
    QString reportText;  // the report's status column, e.g. "OVER MAX"
    QString reportClass; // the report's CSS class of that cell
    QColor reportColor;  // colour the report's style sheet gives that class
    QColor gaugeColor;   // the gauge's zone for the rating; invalid for NoReading, which has none
};

const BiasStatusLook& biasStatusLook(BiasStatus status);

// The rating a card's "status" property names; NoReading for "off" and anything unknown.
BiasStatus biasStatusFromName(const QString& statusName);

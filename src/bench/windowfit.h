#pragma once

// How the bench window fits the screen it opens on: its size, and how many tube cards stand in a
// row of the card grid. Pure arithmetic on sizes in device-independent pixels.
#include <QRect>
#include <QSize>

// The size the window is designed for; smaller screens get less, larger ones no more.
inline constexpr QSize benchDesignSize{1240, 860};

// The window's size where `room` is what the screen leaves it (without panels, docks and the
// window's own frame): the design size bounded by that room. The layout's `minimum` wins only where
// the screen is smaller still.
QSize benchWindowSize(const QSize& room, const QSize& minimum);

// A saved window rectangle moved and shrunk so that it lies inside `available`.
QRect fitInside(const QRect& saved, const QRect& available);

// Cards per row for `count` cards of at least `cardWidth` pixels with `spacing` between them in a
// row `rowWidth` pixels wide: as many as fit, at least one, never more than there are cards.
int cardGridColumns(int rowWidth, int cardWidth, int spacing, int count);

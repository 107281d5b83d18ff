#pragma once

// Resistor arithmetic behind the bias modification calculator: resistor values as text, the
// nearest E24 value, and the two calculators' answers as the rich text the dialog shows.
#include <QString>

// A resistance in ohms as "188 Ω", "60.4 kΩ" or "2.3 MΩ": three significant digits, 'g' notation.
QString resistorText(double ohms);

// The nearest value of the E24 series to `ohms`, searched in its own decade and the next one;
// on a tie the lower value wins. 0 for a value of 0 or below (or not finite).
double nearestE24(double ohms);

// Cathode resistor of a self-biased stage: `tubes` tubes each drawing `currentMa` mA share one
// resistor that must drop `biasV` volts. Inputs are expected positive, as the dialog's ranges keep them.
QString cathodeResistorResult(double currentMa, double biasV, double tubes);

// Shunt change that moves a fixed-bias divider (raw supply -> series resistor -> shunt to ground)
// from the current grid bias to the needed one. Voltages in V (negative), series resistor in kΩ (> 0).
// Answers a validation message when the voltages do not describe such a divider.
QString biasRangeModResult(double rawSupplyV, double currentBiasV, double neededBiasV, double seriesKOhm);

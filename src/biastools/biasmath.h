#pragma once

// Resistor arithmetic behind the bias modification calculator: resistor values as text, the
// nearest E24 value, and the two calculators' answers as the rich text the dialog shows.
#include <QString>

// A resistance in ohms as "188 Ω", "60.4 kΩ" or "2.3 MΩ": three significant digits, 'g' notation.
QString resistorText(double ohms);

// The nearest value of the E24 series to `ohms`, searched in its own decade and the next one;
// on a tie the lower value wins. 0 for a value of 0 or below (or not finite).
double nearestE24(double ohms);

enum class ResistorSeries { E12, E24 };
QString resistorSeriesName(ResistorSeries series); // "E12", "E24"

// The smallest value of the series that is not below `ohms` (a value of the series stays as it is):
// the resistor that rounds a cathode bias towards the colder side. 0 for a value of 0 or below (or
// not finite).
double nextLargerInSeries(double ohms, ResistorSeries series);

// What the cathode resistor calculator is given. The resistor carries the cathode current, plate
// plus screen: a screen share of s % of the cathode current makes Ik = Ip / (1 - s/100).
struct CathodeResistorJob {
    double plateMa = 40;  // target plate current per tube
    double biasV = 15;    // V across the resistor
    double tubes = 2;     // on the one resistor
    double screenPct = 0; // % of the cathode current; 0 for a triode
    ResistorSeries series = ResistorSeries::E24;
};
struct CathodeResistorAnswer {
    double cathodeMa = 0; // per tube
    double exactOhms = 0;
    double chosenOhms = 0; // the next larger value of the series
    double watts = 0;      // in the resistor at the target
};
// Inputs are expected positive, as the dialog's ranges keep them.
CathodeResistorAnswer cathodeResistor(const CathodeResistorJob& job);
QString cathodeResistorResult(const CathodeResistorJob& job);

// Shunt change that moves a fixed-bias divider (raw supply -> series resistor -> shunt to ground)
// from the current grid bias to the needed one. Voltages in V (negative), series resistor in kΩ (> 0).
// Answers a validation message when the voltages do not describe such a divider.
QString biasRangeModResult(double rawSupplyV, double currentBiasV, double neededBiasV, double seriesKOhm);

#pragma once

// What a technician types into a reading field, read the same way in every locale: a decimal comma
// and a decimal point both separate the decimals, digit grouping is never read (so "1,234.5" is
// refused instead of becoming 1234.5 or 1.2345), the field's unit may follow the number, and what is
// not a plain non-negative number, or lies past the field's bench range, is refused with the reason.
// Numbers are shown back with a point, the same separator as every read-out of the bench.
#include "bias/biasmethods.h"

#include <QString>

struct ReadingText {
    enum State {
        Empty,      // nothing typed: no reading
        Number,     // a reading
        NotANumber, // refused
        Negative,   // refused
        TooLarge,   // refused: past the field's bench range
    };
    State state = Empty;
    double value = 0; // the reading, rounded to the field's decimals; 0 unless state is Number
    QString problem;  // why the text is refused; empty when it is not

    bool refused() const { return state != Empty && state != Number; }
};

ReadingText parseReadingText(const QString& text, const ReadingField& field);

// A reading as its field shows it: "24.5 mA"; empty for 0, which is no reading.
QString readingDisplayText(double value, const ReadingField& field);

// What an empty field shows in grey: its unit and "no reading".
QString readingPlaceholder(const ReadingField& field);

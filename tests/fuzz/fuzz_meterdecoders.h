#pragma once

// What holds for every meter decoder, whatever bytes it is fed: readings have a known quantity
// and a finite value, an overload carries no number, and a decoder fed the same bytes in two
// pieces gives the same readings as fed them at once.
#include "fuzzcheck.h"
#include "meter/meterdecoder.h"

#include <cmath>
#include <functional>
#include <memory>

inline void checkMeterDecoder(const uint8_t* data, size_t size,
                              const std::function<std::unique_ptr<MeterDecoder>()>& make)
{
    const QByteArray bytes = fuzzBytes(data, size);
    auto whole = make();
    whole->start();
    whole->poll();
    const MeterDecoded all = whole->feed(bytes);
    for (const MeterReading& r : all.readings) {
        FUZZ_EXPECT(r.quantity != MeterQuantity::Unknown, "a reading must say what it measures");
        FUZZ_EXPECT(std::isfinite(r.value), "a reading's value must be finite");
        FUZZ_EXPECT(!r.overload || r.value == 0, "an overload carries no number");
        FUZZ_EXPECT(!meterValueText(r).isEmpty(), "every reading can be shown");
    }
    FUZZ_EXPECT(all.discardedBytes <= bytes.size(), "a decoder cannot drop more than it was fed");

    auto split = make();
    split->start();
    split->poll();
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(data[0]) % (bytes.size() + 1);
    QList<MeterReading> pieces = split->feed(bytes.left(cut)).readings;
    pieces += split->feed(bytes.mid(cut)).readings;
    FUZZ_EXPECT(pieces.size() == all.readings.size(), "a split read must give the same readings");
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        FUZZ_EXPECT(pieces.at(i).quantity == all.readings.at(i).quantity, "the same quantity");
        FUZZ_EXPECT(pieces.at(i).value == all.readings.at(i).value, "the same value");
        FUZZ_EXPECT(pieces.at(i).overload == all.readings.at(i).overload, "the same overload");
    }
}

#include "meter/ut61edecoder.h"

#include <bitset>
#include <cmath>

namespace {

struct RangeRow {
    int function;
    int range;
    MeterQuantity quantity; // DC or AC is taken from option 3
    int decimals;           // digits after the point on the display
    int displayExponent;    // prefix of the display's unit
};

// clang-format off
//  function range quantity                  dec exp   display
constexpr RangeRow rangeRows[] = {
    {0xB, 0, MeterQuantity::DcVoltage,  4,  0}, // 2.2000 V
    {0xB, 1, MeterQuantity::DcVoltage,  3,  0}, // 22.000 V
    {0xB, 2, MeterQuantity::DcVoltage,  2,  0}, // 220.00 V
    {0xB, 3, MeterQuantity::DcVoltage,  1,  0}, // 2200.0 V
    {0xB, 4, MeterQuantity::DcVoltage,  2, -3}, // 220.00 mV
    {0xD, 0, MeterQuantity::DcCurrent,  2, -6}, // 220.00 µA
    {0xD, 1, MeterQuantity::DcCurrent,  1, -6}, // 2200.0 µA
    {0xF, 0, MeterQuantity::DcCurrent,  3, -3}, // 22.000 mA
    {0xF, 1, MeterQuantity::DcCurrent,  2, -3}, // 220.00 mA
    {0x0, 0, MeterQuantity::DcCurrent,  3,  0}, // 22.000 A
    {0x9, 0, MeterQuantity::DcCurrent,  4,  0}, // 2.2000 A
    {0x9, 1, MeterQuantity::DcCurrent,  3,  0}, // 22.000 A
    {0x9, 2, MeterQuantity::DcCurrent,  2,  0}, // 220.00 A
    {0x9, 3, MeterQuantity::DcCurrent,  1,  0}, // 2200.0 A
    {0x9, 4, MeterQuantity::DcCurrent,  0,  0}, // 22000 A
    {0x3, 0, MeterQuantity::Resistance, 2,  0}, // 220.00 Ω
    {0x3, 1, MeterQuantity::Resistance, 4,  3}, // 2.2000 kΩ
    {0x3, 2, MeterQuantity::Resistance, 3,  3}, // 22.000 kΩ
    {0x3, 3, MeterQuantity::Resistance, 2,  3}, // 220.00 kΩ
    {0x3, 4, MeterQuantity::Resistance, 4,  6}, // 2.2000 MΩ
    {0x3, 5, MeterQuantity::Resistance, 3,  6}, // 22.000 MΩ
    {0x3, 6, MeterQuantity::Resistance, 2,  6}, // 220.00 MΩ
};
// clang-format on

const char* otherFunctionName(int function)
{
    switch (function) {
    case 0x1:
        return "diode";
    case 0x2:
        return "Hz";
    case 0x4:
        return "°C";
    case 0x5:
        return "continuity";
    case 0x6:
        return "F";
    case 0xE:
        return "ADP";
    default:
        return nullptr;
    }
}

bool oddParity(unsigned char byte)
{
    return std::bitset<8>(byte).count() % 2 == 1;
}

} // namespace

bool Ut61eDecoder::decodeFrame(QByteArrayView frame, MeterReading* reading, QString* problem)
{
    if (frame.size() != frameSize) {
        *problem = QStringLiteral("A frame of the wrong length");
        return false;
    }
    bool carriesParity = false;
    for (const char c : frame)
        carriesParity = carriesParity || (static_cast<unsigned char>(c) & 0x80);
    unsigned char b[frameSize];
    for (int i = 0; i < frameSize; ++i) {
        const auto raw = static_cast<unsigned char>(frame[i]);
        if (carriesParity && !oddParity(raw)) {
            *problem = QStringLiteral("A frame with a parity error");
            return false;
        }
        b[i] = raw & 0x7F;
    }
    if (b[12] != '\r' || b[13] != '\n') {
        *problem = QStringLiteral("A frame without its line end");
        return false;
    }
    for (int i = 0; i < 12; ++i) {
        if ((b[i] & 0x70) != 0x30) {
            *problem = QStringLiteral("A frame with a malformed byte");
            return false;
        }
    }
    const int range = b[0] & 0x07;
    const int function = b[6] & 0x0F;
    const bool minus = b[7] & 0x04;
    const bool overload = b[7] & 0x01;
    const bool ac = b[10] & 0x04;
    const bool vahz = b[10] & 0x01;

    MeterReading r;
    r.overload = overload;
    if (vahz &&
        (function == 0xB || function == 0xD || function == 0xF || function == 0x0 || function == 0x9)) {
        r.quantity = MeterQuantity::Other;
        r.otherFunction = QStringLiteral("Hz");
    } else if (const char* other = otherFunctionName(function)) {
        r.quantity = MeterQuantity::Other;
        r.otherFunction = QString::fromUtf8(other);
    } else {
        const RangeRow* row = nullptr;
        for (const RangeRow& candidate : rangeRows) {
            if (candidate.function == function && candidate.range == range)
                row = &candidate;
        }
        if (!row) {
            *problem = QStringLiteral("A frame with a function or range the meter does not have");
            return false;
        }
        r.quantity = row->quantity;
        if (ac && r.quantity == MeterQuantity::DcVoltage)
            r.quantity = MeterQuantity::AcVoltage;
        else if (ac && r.quantity == MeterQuantity::DcCurrent)
            r.quantity = MeterQuantity::AcCurrent;
        r.displayExponent = row->displayExponent;
        if (!overload) {
            int digits = 0;
            for (int i = 1; i <= 5; ++i) {
                const int d = b[i] & 0x0F;
                if (d > 9) {
                    *problem = QStringLiteral("A frame with a digit that is no digit");
                    return false;
                }
                digits = digits * 10 + d;
            }
            const double shown = digits / std::pow(10.0, row->decimals);
            r.value = (minus ? -shown : shown) * std::pow(10.0, row->displayExponent);
        }
    }
    *reading = r;
    return true;
}

MeterDecoded Ut61eDecoder::feed(QByteArrayView bytes)
{
    MeterDecoded out;
    pending.append(bytes.data(), bytes.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if ((pending.at(i) & 0x7F) != '\n')
            continue;
        const qsizetype frameStart = i + 1 - frameSize;
        if (frameStart < start) { // a line end too early: bytes of a broken frame
            out.discardedBytes += int(i + 1 - start);
            start = i + 1;
            continue;
        }
        out.discardedBytes += int(frameStart - start); // garbage before the frame
        MeterReading reading;
        QString problem;
        if (decodeFrame(QByteArrayView(pending.constData() + frameStart, frameSize), &reading, &problem)) {
            out.readings.append(reading);
        } else {
            out.discardedBytes += frameSize;
            out.problem = problem;
        }
        start = i + 1;
    }
    pending.remove(0, start);
    // Without a line end the last frameSize - 1 bytes may still start a frame; older ones cannot.
    if (pending.size() >= frameSize) {
        out.discardedBytes += int(pending.size() - (frameSize - 1));
        pending.remove(0, pending.size() - (frameSize - 1));
    }
    if (out.discardedBytes > 0 && out.problem.isEmpty())
        out.problem = QStringLiteral("Bytes that belong to no frame were dropped");
    return out;
}

#pragma once

// The UNI-T UT61E's serial stream: the meter's Cyrustek ES51922 sends about two 14-byte frames a
// second at 19200 baud (19230 in the datasheet), 7 data bits, odd parity, 1 stop bit; the
// optically isolated cable takes its power from DTR. Frame:
//   0 range, 1-5 digits (most significant first), 6 function, 7 status, 8-11 option 1-4, 12 CR, 13 LF
// Every byte but CR and LF has 011 in bits 6-4; the low nibble carries the field:
//   status:  bit 3 judge, bit 2 sign (minus), bit 1 low battery, bit 0 OL (overload)
//   option3: bit 3 DC, bit 2 AC, bit 1 AUTO, bit 0 VAHZ (the Hz reading of the V/A functions)
//   option4: bit 2 VBAR, bit 1 HOLD, bit 0 LPF
//   function: 0x0 22 A, 0x1 diode, 0x2 frequency, 0x3 Ω, 0x4 temperature, 0x5 continuity,
//             0x6 capacitance, 0x9 manual A, 0xB voltage, 0xD auto µA, 0xE ADP, 0xF auto mA
// and the range code picks the decimal point per function (voltage: 0 2.2000 V, 1 22.000 V,
// 2 220.00 V, 3 2200.0 V, 4 220.00 mV; auto µA: 0 220.00 µA, 1 2200.0 µA; auto mA: 0 22.000 mA,
// 1 220.00 mA; Ω: 220.00 Ω … 220.00 MΩ).
// Sources: Cyrustek ES51922 datasheet (cyrustek.com.tw/spec/ES51922.pdf), as tabulated in
// "Cyrustek ES51922 serial protocol" (git.worn.eu/guru/wifidmm, docs/ut61e/serial-protocol.md) and
// sigrok's "Multimeter ICs/Cyrustek ES519xx" wiki page; "UT61E Protocol Description" (gushh.net).
//
// A serial port set to 7O1 hands over 7-bit bytes. When the port could not be set to 7 bits (a
// USB adapter or a pseudo-terminal that refuses it) the eighth bit is the parity bit: a frame
// with any eighth bit set is then checked for odd parity byte by byte and dropped if one fails.
#include "meter/meterdecoder.h"

class Ut61eDecoder : public MeterDecoder
{
public:
    static constexpr int frameSize = 14;

    MeterDecoded feed(QByteArrayView bytes) override;

    // One frame (exactly frameSize bytes) decoded; false, with the reason, for a frame that is
    // malformed or has a parity error.
    static bool decodeFrame(QByteArrayView frame, MeterReading* reading, QString* problem);

private:
    QByteArray pending;
};

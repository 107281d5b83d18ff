#pragma once

// SCPI bench meters, line-based over a serial line or a TCP socket (port 5025). After `*IDN?` the
// decoder polls the measurement in one of four dialects:
// - Owon XDM family (XDM1041/1241/2041), a flat command set: `FUNC?` answers the main display's
//   function in quotes ("VOLT", "CURR", "VOLT AC", "RES", …), `MEAS?` its value in NR3
//   ("-2.758856E-05"). Source: OWON XDM2041 Digital Multimeter Programming Manual (owon.com.cn),
//   SENSe:FUNCtion and MEASure; and the XDM1241 command reference at
//   kenosinc.github.io/sigrok-mcp-server/devices/owon-xdm1241 (no subsystem hierarchy there:
//   `MEAS:VOLT:DC?` gets no answer).
// - Generic SCPI with the function read back: `FUNC?` ("VOLT:DC", "CURR:DC", …) then `READ?`
//   (Rigol DM3000, Siglent SDM, Keysight 34400 series).
// - Generic SCPI with the function set by the query: `MEAS:VOLT:DC?` or `MEAS:CURR:DC?`.
// An answer of 9.9E37 (SCPI's overflow value) or "OL" is an overload. An answer may carry a unit
// after the number ("+1.2345E+0 VDC", the Fluke 45 format 2), which then names the function.
// One query is outstanding at a time; one left unanswered for three poll ticks is asked again.
#include "meter/meterdecoder.h"

enum class ScpiDialect {
    OwonMeas,   // FUNC? then MEAS?
    ReadBack,   // FUNC? then READ?
    MeasVoltDc, // MEAS:VOLT:DC?
    MeasCurrDc, // MEAS:CURR:DC?
};

class ScpiDecoder : public MeterDecoder
{
public:
    explicit ScpiDecoder(ScpiDialect dialect);

    QByteArray start() override;
    QByteArray poll() override;
    MeterDecoded feed(QByteArrayView bytes) override;

    // The quantity a FUNC? answer names; Other (with its text in `other`) for what is no voltage,
    // current or resistance, Unknown for an empty answer.
    static MeterQuantity functionFromAnswer(const QByteArray& answer, QString* other);

private:
    enum class Asked { Nothing, Identity, Function, Value };

    QByteArray ask(Asked what);
    void answer(const QByteArray& line, MeterDecoded& out);

    ScpiDialect dialect;
    MeterLineBuffer lines;
    Asked outstanding = Asked::Nothing;
    int ticksWaiting = 0;
    MeterQuantity function = MeterQuantity::Unknown;
    QString otherFunction;
};

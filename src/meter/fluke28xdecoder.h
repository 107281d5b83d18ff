#pragma once

// The Fluke 287 and 289 over their infrared serial cable, 115200 baud, 8N1, no control lines.
// A command is letters and a CR; the meter answers an acknowledge line first: 0 done, 1 syntax
// error, 2 execution error, 5 no data available. `QM` (query primary measurement) then answers
// one line "<value>,<unit>,<state>,<attribute>", e.g. "-0.0003E-3,VDC,NORMAL,NONE", with the
// value in base units (VDC, VAC, ADC, AAC, OHM, …) and the state NORMAL, OL, OL_MINUS, INVALID,
// BLANK, DISCHARGE or OPEN_TC. The older 187/189 prefixed the answer with the command ("QM,…");
// that prefix is accepted too.
// Source: "Fluke 289/287 Remote Interface Specification" (Fluke technical note for FlukeView
// Forms; copies at vdocuments.net/fluke-289-remote-spec28x.html and scribd 435912311) and the
// "Fluke 189/187/89-IV/87-IV Remote Interface Specification" (photonicsguy.ca/reference/flukemeter).
#include "meter/meterdecoder.h"

class Fluke28xDecoder : public MeterDecoder
{
public:
    QByteArray start() override { return QByteArrayLiteral("ID\r"); }
    QByteArray poll() override;
    MeterDecoded feed(QByteArrayView bytes) override;

private:
    enum class Waiting { Nothing, Ack, Identity, Measurement };

    void line(const QByteArray& text, MeterDecoded& out);

    MeterLineBuffer lines;
    Waiting waiting = Waiting::Ack;
    bool askedIdentity = true; // start() asks ID
    int ticksWaiting = 0;
};

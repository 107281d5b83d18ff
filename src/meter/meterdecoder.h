#pragma once

// The shape every meter protocol has: a pure decoder fed the bytes read from the meter, giving the
// readings they complete, and, for meters that answer queries, the bytes to send. It knows nothing
// of ports, sockets or time; the connection (meterconnection.h) moves bytes and calls poll() on
// its timer, so a test feeds a decoder byte fixtures and a fuzzer feeds it random bytes.
#include "meter/meterreading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct MeterDecoded {
    QList<MeterReading> readings;
    QByteArray send;  // a follow-up query to send now
    QString identity; // the meter's answer to an identification query
    QString problem;  // why bytes were dropped or the meter refused a query; empty when all was well
    int discardedBytes = 0;
};

class MeterDecoder
{
public:
    virtual ~MeterDecoder() = default;

    // Bytes to send right after the connection opens (an identification query, say).
    virtual QByteArray start() { return {}; }
    // Called on every poll tick: the query to send now, or nothing when the meter streams on its
    // own or an answer is still awaited. A query left unanswered for a few ticks is asked again.
    virtual QByteArray poll() { return {}; }
    virtual MeterDecoded feed(QByteArrayView bytes) = 0;
};

// The bytes of one line-based exchange (SCPI, Fluke): splits at CR or LF and drops lines longer
// than `maxLine`, so a meter that floods bytes without a line end cannot grow the buffer.
class MeterLineBuffer
{
public:
    explicit MeterLineBuffer(int maxLine = 256) : maxLine(maxLine) {}

    // The complete lines in `bytes` (empty lines skipped); counts what it had to drop.
    QList<QByteArray> feed(QByteArrayView bytes, int* discarded);

private:
    int maxLine;
    QByteArray pending;
    bool skipping = false; // inside an overlong line, dropping until its end
};

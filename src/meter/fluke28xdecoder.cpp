#include "meter/fluke28xdecoder.h"

#include <cmath>

namespace {

constexpr int retryTicks = 3;

MeterQuantity quantityFromUnit(const QByteArray& unit, QString* other)
{
    if (unit == "VDC")
        return MeterQuantity::DcVoltage;
    if (unit == "VAC")
        return MeterQuantity::AcVoltage;
    if (unit == "ADC")
        return MeterQuantity::DcCurrent;
    if (unit == "AAC")
        return MeterQuantity::AcCurrent;
    if (unit == "OHM")
        return MeterQuantity::Resistance;
    if (unit == "HZ")
        *other = QStringLiteral("Hz");
    else if (unit == "F")
        *other = QStringLiteral("F");
    else if (unit == "CEL")
        *other = QStringLiteral("°C");
    else if (unit == "FAR")
        *other = QStringLiteral("°F");
    else
        *other = QString::fromLatin1(unit.left(16));
    return MeterQuantity::Other;
}

} // namespace

QByteArray Fluke28xDecoder::poll()
{
    if (waiting != Waiting::Nothing && ++ticksWaiting < retryTicks)
        return QByteArray();
    waiting = Waiting::Ack;
    askedIdentity = false;
    ticksWaiting = 0;
    return QByteArrayLiteral("QM\r");
}

MeterDecoded Fluke28xDecoder::feed(QByteArrayView bytes)
{
    MeterDecoded out;
    for (const QByteArray& text : lines.feed(bytes, &out.discardedBytes))
        line(text.trimmed(), out);
    if (out.discardedBytes > 0 && out.problem.isEmpty())
        out.problem = QStringLiteral("An answer longer than any measurement was dropped");
    return out;
}

void Fluke28xDecoder::line(const QByteArray& text, MeterDecoded& out)
{
    if (waiting == Waiting::Ack) {
        if (text == "0") {
            waiting = askedIdentity ? Waiting::Identity : Waiting::Measurement;
            return;
        }
        waiting = Waiting::Nothing;
        if (text == "1")
            out.problem = QStringLiteral("The meter did not understand the query (syntax error)");
        else if (text == "2")
            out.problem = QStringLiteral("The meter could not carry out the query (execution error)");
        else if (text == "5")
            out.problem = QStringLiteral("The meter has no measurement to give");
        else {
            out.discardedBytes += int(text.size());
            out.problem = QStringLiteral("The meter's answer is not an acknowledge");
        }
        return;
    }
    if (waiting == Waiting::Identity) {
        waiting = Waiting::Nothing;
        out.identity = QString::fromLatin1(text.left(120));
        return;
    }
    if (waiting != Waiting::Measurement) {
        out.discardedBytes += int(text.size());
        out.problem = QStringLiteral("The meter sent an answer nobody asked for");
        return;
    }
    waiting = Waiting::Nothing;

    QByteArray body = text;
    if (body.startsWith("QM,"))
        body = body.mid(3);
    const QList<QByteArray> fields = body.split(',');
    if (fields.size() < 3) {
        out.discardedBytes += int(text.size());
        out.problem = QStringLiteral("The meter's measurement has too few fields");
        return;
    }
    MeterReading reading;
    reading.quantity = quantityFromUnit(fields.at(1).trimmed().toUpper(), &reading.otherFunction);
    const QByteArray state = fields.at(2).trimmed().toUpper();
    if (state == "OL" || state == "OL_MINUS") {
        reading.overload = true;
    } else if (state == "NORMAL") {
        bool ok = false;
        reading.value = fields.at(0).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(reading.value)) {
            out.discardedBytes += int(text.size());
            out.problem = QStringLiteral("The meter's measurement is not a number");
            return;
        }
    } else {
        // INVALID, BLANK, DISCHARGE, OPEN_TC: the display shows no number.
        out.problem =
            QStringLiteral("The meter shows no value (%1)").arg(QString::fromLatin1(state.left(16)));
        return;
    }
    reading.displayExponent = naturalDisplayExponent(reading.quantity, reading.value);
    out.readings.append(reading);
}

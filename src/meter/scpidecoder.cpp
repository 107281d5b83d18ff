#include "meter/scpidecoder.h"

#include <cmath>

namespace {

constexpr int retryTicks = 3;
constexpr double scpiOverflow = 9.0e37; // SCPI reports overflow as 9.9E37

bool isOverloadText(const QByteArray& token)
{
    const QByteArray t = token.toUpper();
    return t == "OL" || t == "+OL" || t == "-OL" || t == "OVLD" || t == "OVERLOAD";
}

bool isErrorAnswer(const QByteArray& line)
{
    const QByteArray t = line.trimmed().toUpper();
    return t == "NOK" || t.startsWith("ERR");
}

MeterQuantity quantityFromUnit(const QByteArray& unit)
{
    const QByteArray u = unit.toUpper();
    if (u == "VDC")
        return MeterQuantity::DcVoltage;
    if (u == "VAC")
        return MeterQuantity::AcVoltage;
    if (u == "ADC")
        return MeterQuantity::DcCurrent;
    if (u == "AAC")
        return MeterQuantity::AcCurrent;
    if (u == "OHMS" || u == "OHM")
        return MeterQuantity::Resistance;
    return MeterQuantity::Unknown;
}

} // namespace

ScpiDecoder::ScpiDecoder(ScpiDialect dialect) : dialect(dialect)
{
    if (dialect == ScpiDialect::MeasVoltDc)
        function = MeterQuantity::DcVoltage;
    else if (dialect == ScpiDialect::MeasCurrDc)
        function = MeterQuantity::DcCurrent;
}

MeterQuantity ScpiDecoder::functionFromAnswer(const QByteArray& answer, QString* other)
{
    QByteArray f = answer.trimmed().toUpper();
    f.replace('"', QByteArray());
    f.replace(' ', ':');
    if (f.startsWith("SENS:") || f.startsWith("SENSE:"))
        f = f.mid(f.indexOf(':') + 1);
    if (f.isEmpty())
        return MeterQuantity::Unknown;
    if (f == "VOLT" || f == "VOLT:DC" || f == "DCV")
        return MeterQuantity::DcVoltage;
    if (f == "VOLT:AC" || f == "ACV")
        return MeterQuantity::AcVoltage;
    if (f == "CURR" || f == "CURR:DC" || f == "DCA" || f == "DCI")
        return MeterQuantity::DcCurrent;
    if (f == "CURR:AC" || f == "ACA" || f == "ACI")
        return MeterQuantity::AcCurrent;
    if (f == "RES" || f == "FRES" || f == "OHM" || f == "OHMS")
        return MeterQuantity::Resistance;
    if (f.startsWith("FREQ"))
        *other = QStringLiteral("Hz");
    else if (f.startsWith("CAP"))
        *other = QStringLiteral("F");
    else if (f.startsWith("TEMP"))
        *other = QStringLiteral("°C");
    else if (f.startsWith("DIOD"))
        *other = QStringLiteral("diode");
    else if (f.startsWith("CONT") || f == "BEEP")
        *other = QStringLiteral("continuity");
    else
        *other = QString::fromLatin1(f.left(16));
    return MeterQuantity::Other;
}

QByteArray ScpiDecoder::ask(Asked what)
{
    outstanding = what;
    ticksWaiting = 0;
    switch (what) {
    case Asked::Identity:
        return QByteArrayLiteral("*IDN?\n");
    case Asked::Function:
        return QByteArrayLiteral("FUNC?\n");
    case Asked::Value:
        switch (dialect) {
        case ScpiDialect::OwonMeas:
            return QByteArrayLiteral("MEAS?\n");
        case ScpiDialect::ReadBack:
            return QByteArrayLiteral("READ?\n");
        case ScpiDialect::MeasVoltDc:
            return QByteArrayLiteral("MEAS:VOLT:DC?\n");
        case ScpiDialect::MeasCurrDc:
            return QByteArrayLiteral("MEAS:CURR:DC?\n");
        }
        break;
    case Asked::Nothing:
        break;
    }
    return QByteArray();
}

QByteArray ScpiDecoder::start()
{
    return ask(Asked::Identity);
}

QByteArray ScpiDecoder::poll()
{
    if (outstanding != Asked::Nothing && ++ticksWaiting < retryTicks)
        return QByteArray();
    if (outstanding == Asked::Identity)
        outstanding = Asked::Nothing; // a meter that does not identify itself may still measure
    if (outstanding != Asked::Nothing)
        return ask(outstanding); // asked again: the answer was lost
    const bool readsFunction = dialect == ScpiDialect::OwonMeas || dialect == ScpiDialect::ReadBack;
    return ask(readsFunction ? Asked::Function : Asked::Value);
}

MeterDecoded ScpiDecoder::feed(QByteArrayView bytes)
{
    MeterDecoded out;
    for (const QByteArray& line : lines.feed(bytes, &out.discardedBytes))
        answer(line, out);
    if (out.discardedBytes > 0 && out.problem.isEmpty())
        out.problem = QStringLiteral("An answer longer than any measurement was dropped");
    return out;
}

void ScpiDecoder::answer(const QByteArray& line, MeterDecoded& out)
{
    const Asked asked = outstanding;
    outstanding = Asked::Nothing;
    if (asked == Asked::Nothing) {
        out.discardedBytes += int(line.size());
        out.problem = QStringLiteral("The meter sent an answer nobody asked for");
        return;
    }
    if (isErrorAnswer(line)) {
        out.problem = QStringLiteral("The meter refused the query (it answered \"%1\")")
                          .arg(QString::fromLatin1(line.trimmed().left(40)));
        return;
    }
    switch (asked) {
    case Asked::Identity:
        out.identity = QString::fromLatin1(line.trimmed().left(120));
        return;
    case Asked::Function:
        otherFunction.clear();
        function = functionFromAnswer(line, &otherFunction);
        out.send = ask(Asked::Value);
        return;
    case Asked::Value:
        break;
    case Asked::Nothing:
        return;
    }

    const QList<QByteArray> tokens = line.simplified().split(' ');
    MeterReading reading;
    reading.quantity = function;
    reading.otherFunction = otherFunction;
    if (tokens.size() >= 2) {
        const MeterQuantity fromUnit = quantityFromUnit(tokens.at(1));
        if (fromUnit != MeterQuantity::Unknown)
            reading.quantity = fromUnit;
    }
    if (isOverloadText(tokens.value(0))) {
        reading.overload = true;
    } else {
        bool ok = false;
        const double value = tokens.value(0).toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            out.discardedBytes += int(line.size());
            out.problem = QStringLiteral("The meter's answer is not a number");
            return;
        }
        reading.overload = std::fabs(value) >= scpiOverflow;
        reading.value = reading.overload ? 0 : value;
    }
    if (reading.quantity == MeterQuantity::Unknown) {
        out.problem = QStringLiteral("The meter did not say what it measures");
        return;
    }
    reading.displayExponent = naturalDisplayExponent(reading.quantity, reading.value);
    out.readings.append(reading);
}

// The meter protocols' decoders against byte fixtures written from the published descriptions
// (sources in each decoder's header): every function and range a bias job meets, sign, overload,
// frames split across reads, garbage, parity errors, refused and lost queries.
#include "meter/fluke28xdecoder.h"
#include "meter/scpidecoder.h"
#include "meter/ut61edecoder.h"

#include <QtTest>
#include <bitset>

Q_DECLARE_METATYPE(MeterQuantity)

namespace {

// A 7O1 frame as a port left at 8 data bits receives it: the parity bit in bit 7.
QByteArray withOddParity(QByteArray frame)
{
    for (char& c : frame) {
        const auto b = static_cast<unsigned char>(c);
        if (std::bitset<8>(b).count() % 2 == 0)
            c = char(b | 0x80);
    }
    return frame;
}

MeterDecoded feedAll(MeterDecoder& decoder, const QList<QByteArray>& chunks)
{
    MeterDecoded all;
    for (const QByteArray& chunk : chunks) {
        const MeterDecoded d = decoder.feed(chunk);
        all.readings += d.readings;
        all.discardedBytes += d.discardedBytes;
        if (!d.problem.isEmpty())
            all.problem = d.problem;
        if (!d.identity.isEmpty())
            all.identity = d.identity;
        all.send += d.send;
    }
    return all;
}

} // namespace

class TestMeterDecoders : public QObject
{
    Q_OBJECT

private slots:
    void ut61eFrames_data();
    void ut61eFrames();
    void ut61eStream_data();
    void ut61eStream();
    void scpiExchange_data();
    void scpiExchange();
    void scpiFunctionAnswers_data();
    void scpiFunctionAnswers();
    void scpiTroubles();
    void flukeExchange_data();
    void flukeExchange();
    void flukeTroubles_data();
    void flukeTroubles();
};

void TestMeterDecoders::ut61eFrames_data()
{
    QTest::addColumn<QByteArray>("frame"); // range, 5 digits, function, status, option 1-4, CR LF
    QTest::addColumn<MeterQuantity>("quantity");
    QTest::addColumn<double>("value"); // base units
    QTest::addColumn<bool>("overload");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("shown");

    using Q = MeterQuantity;
    // Option 3 ':' = DC + AUTO, '6' = AC + AUTO, '9' = DC + VAHZ; status '4' = sign, '1' = OL.
    QTest::addRow("2.2000 V range") << QByteArray("012345;000:0\r\n") << Q::DcVoltage << 1.2345 << false
                                    << "DC V"
                                    << "1.2345 V";
    QTest::addRow("22.000 V range") << QByteArray("112345;000:0\r\n") << Q::DcVoltage << 12.345 << false
                                    << "DC V"
                                    << "12.345 V";
    QTest::addRow("220.00 V range") << QByteArray("212345;000:0\r\n") << Q::DcVoltage << 123.45 << false
                                    << "DC V"
                                    << "123.45 V";
    QTest::addRow("2200.0 V range") << QByteArray("304123;000:0\r\n") << Q::DcVoltage << 412.3 << false
                                    << "DC V"
                                    << "412.30 V";
    QTest::addRow("220.00 mV range") << QByteArray("403127;000:0\r\n") << Q::DcVoltage << 0.03127 << false
                                     << "DC mV"
                                     << "31.270 mV";
    QTest::addRow("negative volts") << QByteArray("012345;400:0\r\n") << Q::DcVoltage << -1.2345 << false
                                    << "DC V"
                                    << "-1.2345 V";
    QTest::addRow("overload") << QByteArray("000000;100:0\r\n") << Q::DcVoltage << 0.0 << true << "DC V"
                              << "OL";
    QTest::addRow("220.00 µA range") << QByteArray("012345=000:0\r\n") << Q::DcCurrent << 123.45e-6 << false
                                     << "DC µA"
                                     << "123.45 µA";
    QTest::addRow("2200.0 µA range") << QByteArray("112345=000:0\r\n") << Q::DcCurrent << 1234.5e-6 << false
                                     << "DC µA"
                                     << "1234.5 µA";
    QTest::addRow("22.000 mA range") << QByteArray("031270?000:0\r\n") << Q::DcCurrent << 0.03127 << false
                                     << "DC mA"
                                     << "31.270 mA";
    QTest::addRow("220.00 mA range") << QByteArray("103560?000:0\r\n") << Q::DcCurrent << 0.0356 << false
                                     << "DC mA"
                                     << "35.600 mA";
    QTest::addRow("22 A function") << QByteArray("0015000000:0\r\n") << Q::DcCurrent << 1.5 << false << "DC A"
                                   << "1.5000 A";
    QTest::addRow("AC volts") << QByteArray("202300;00060\r\n") << Q::AcVoltage << 23.0 << false << "AC V"
                              << "23.000 V";
    QTest::addRow("AC mA") << QByteArray("003127?00060\r\n") << Q::AcCurrent << 0.003127 << false << "AC mA"
                           << "3.1270 mA";
    QTest::addRow("kilohms") << QByteArray("110000300000\r\n") << Q::Resistance << 1000.0 << false << "kΩ"
                             << "1.0000 kΩ";
    QTest::addRow("ohms") << QByteArray("002470300000\r\n") << Q::Resistance << 24.7 << false << "Ω"
                          << "24.700 Ω";
    QTest::addRow("frequency") << QByteArray("012345200000\r\n") << Q::Other << 0.0 << false << "Hz"
                               << "0.0000 Hz";
    QTest::addRow("Hz of the volts") << QByteArray("112345;00090\r\n") << Q::Other << 0.0 << false << "Hz"
                                     << "0.0000 Hz";
    QTest::addRow("capacitance") << QByteArray("012345600000\r\n") << Q::Other << 0.0 << false << "F"
                                 << "0.0000 F";
}

void TestMeterDecoders::ut61eFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(MeterQuantity, quantity);
    QFETCH(double, value);
    QFETCH(bool, overload);
    QFETCH(QString, function);
    QFETCH(QString, shown);
    QCOMPARE(frame.size(), Ut61eDecoder::frameSize);

    // As a 7O1 port hands it over, and as an 8N1 port does with the parity bit in bit 7.
    for (const QByteArray& bytes : {frame, withOddParity(frame)}) {
        Ut61eDecoder decoder;
        const MeterDecoded d = decoder.feed(bytes);
        QCOMPARE(d.readings.size(), 1);
        QCOMPARE(d.discardedBytes, 0);
        const MeterReading& r = d.readings.first();
        QCOMPARE(r.quantity, quantity);
        QCOMPARE(r.overload, overload);
        if (quantity != MeterQuantity::Other)
            QVERIFY2(qAbs(r.value - value) <= 1e-9 * qMax(1.0, qAbs(value)),
                     qPrintable(QStringLiteral("value %1, expected %2").arg(r.value).arg(value)));
        QCOMPARE(meterFunctionText(r), function);
        if (quantity != MeterQuantity::Other)
            QCOMPARE(meterValueText(r), shown);
    }
}

void TestMeterDecoders::ut61eStream_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<double>>("values"); // V
    QTest::addColumn<bool>("discards");

    const QByteArray a("012345;000:0\r\n"); // 1.2345 V
    const QByteArray b("023456;000:0\r\n"); // 2.3456 V
    QTest::addRow("two frames in one read")
        << QList<QByteArray>{a + b} << QList<double>{1.2345, 2.3456} << false;
    QTest::addRow("a frame split across two reads")
        << QList<QByteArray>{a.left(5), a.mid(5)} << QList<double>{1.2345} << false;
    QTest::addRow("split at the CR") << QList<QByteArray>{a.left(13), a.mid(13) + b}
                                     << QList<double>{1.2345, 2.3456} << false;
    QTest::addRow("garbage before a frame")
        << QList<QByteArray>{QByteArray("\x01\xff xyz", 6) + a} << QList<double>{1.2345} << true;
    QTest::addRow("the tail of a frame, then a whole one")
        << QList<QByteArray>{a.mid(4) + b} << QList<double>{2.3456} << true;
    QTest::addRow("a frame with a parity error")
        << QList<QByteArray>{withOddParity(a).replace(3, 1, "\x33"), b} << QList<double>{2.3456} << true;
    QTest::addRow("a byte that belongs to no field")
        << QList<QByteArray>{QByteArray(a).replace(2, 1, "A"), b} << QList<double>{2.3456} << true;
    QTest::addRow("a digit above 9") << QList<QByteArray>{QByteArray(a).replace(2, 1, ":"), b}
                                     << QList<double>{2.3456} << true;
    QTest::addRow("a range the function does not have")
        << QList<QByteArray>{QByteArray(a).replace(0, 1, "7"), b} << QList<double>{2.3456} << true;
    QTest::addRow("a line end inside a frame")
        << QList<QByteArray>{QByteArray("01\r\n") + a} << QList<double>{1.2345} << true;
    QTest::addRow("megabytes without a line end, then a frame")
        << QList<QByteArray>{QByteArray(1 << 20, '5'), a} << QList<double>{1.2345} << true;
}

void TestMeterDecoders::ut61eStream()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<double>, values);
    QFETCH(bool, discards);

    Ut61eDecoder decoder;
    const MeterDecoded d = feedAll(decoder, chunks);
    QCOMPARE(d.readings.size(), values.size());
    for (int i = 0; i < values.size(); ++i)
        QVERIFY(qAbs(d.readings.at(i).value - values.at(i)) < 1e-9);
    QCOMPARE(d.discardedBytes > 0, discards);
    QCOMPARE(d.problem.isEmpty(), !discards);
}

void TestMeterDecoders::scpiExchange_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QByteArray>("functionQuery"); // empty: the dialect asks no function
    QTest::addColumn<QByteArray>("functionAnswer");
    QTest::addColumn<QByteArray>("valueQuery");
    QTest::addColumn<QByteArray>("valueAnswer");
    QTest::addColumn<MeterQuantity>("quantity");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("overload");

    using Q = MeterQuantity;
    const int owon = int(ScpiDialect::OwonMeas);
    const int read = int(ScpiDialect::ReadBack);
    QTest::addRow("Owon DC volts") << owon << QByteArray("FUNC?\n") << QByteArray("\"VOLT\"\n")
                                   << QByteArray("MEAS?\n") << QByteArray("4.123456E-01\n") << Q::DcVoltage
                                   << 0.4123456 << false;
    QTest::addRow("Owon DC current, CRLF")
        << owon << QByteArray("FUNC?\n") << QByteArray("\"CURR\"\r\n") << QByteArray("MEAS?\n")
        << QByteArray("3.127E-02\r\n") << Q::DcCurrent << 0.03127 << false;
    QTest::addRow("Owon AC volts") << owon << QByteArray("FUNC?\n") << QByteArray("\"VOLT AC\"\n")
                                   << QByteArray("MEAS?\n") << QByteArray("2.3E+01\n") << Q::AcVoltage << 23.0
                                   << false;
    QTest::addRow("Owon overload") << owon << QByteArray("FUNC?\n") << QByteArray("\"VOLT\"\n")
                                   << QByteArray("MEAS?\n") << QByteArray("9.9E+37\n") << Q::DcVoltage << 0.0
                                   << true;
    QTest::addRow("read-back DC volts")
        << read << QByteArray("FUNC?\n") << QByteArray("\"VOLT:DC\"\n") << QByteArray("READ?\n")
        << QByteArray("+4.12345678E-01\n") << Q::DcVoltage << 0.412345678 << false;
    QTest::addRow("read-back resistance")
        << read << QByteArray("FUNC?\n") << QByteArray("\"RES\"\n") << QByteArray("READ?\n")
        << QByteArray("+1.00000000E+03\n") << Q::Resistance << 1000.0 << false;
    QTest::addRow("read-back negative overflow")
        << read << QByteArray("FUNC?\n") << QByteArray("\"CURR:DC\"\n") << QByteArray("READ?\n")
        << QByteArray("-9.90000000E+37\n") << Q::DcCurrent << 0.0 << true;
    QTest::addRow("unit in the answer wins")
        << read << QByteArray("FUNC?\n") << QByteArray("\"CURR\"\n") << QByteArray("READ?\n")
        << QByteArray("+1.2345E+0 VDC\n") << Q::DcVoltage << 1.2345 << false;
    QTest::addRow("OL as text") << read << QByteArray("FUNC?\n") << QByteArray("\"VOLT\"\n")
                                << QByteArray("READ?\n") << QByteArray("-OL\n") << Q::DcVoltage << 0.0
                                << true;
    QTest::addRow("MEAS:VOLT:DC?") << int(ScpiDialect::MeasVoltDc) << QByteArray() << QByteArray()
                                   << QByteArray("MEAS:VOLT:DC?\n") << QByteArray("+4.10E+02\n")
                                   << Q::DcVoltage << 410.0 << false;
    QTest::addRow("MEAS:CURR:DC?") << int(ScpiDialect::MeasCurrDc) << QByteArray() << QByteArray()
                                   << QByteArray("MEAS:CURR:DC?\n") << QByteArray("3.56E-02\n")
                                   << Q::DcCurrent << 0.0356 << false;
}

void TestMeterDecoders::scpiExchange()
{
    QFETCH(int, dialect);
    QFETCH(QByteArray, functionQuery);
    QFETCH(QByteArray, functionAnswer);
    QFETCH(QByteArray, valueQuery);
    QFETCH(QByteArray, valueAnswer);
    QFETCH(MeterQuantity, quantity);
    QFETCH(double, value);
    QFETCH(bool, overload);

    ScpiDecoder decoder{ScpiDialect(dialect)};
    QCOMPARE(decoder.start(), QByteArray("*IDN?\n"));
    QCOMPARE(decoder.poll(), QByteArray()); // still waiting for the identity
    MeterDecoded d = decoder.feed("OWON,XDM1041,2133112,V3.7.2,2\n");
    QCOMPARE(d.identity, QStringLiteral("OWON,XDM1041,2133112,V3.7.2,2"));

    for (int round = 0; round < 2; ++round) {
        if (functionQuery.isEmpty()) {
            QCOMPARE(decoder.poll(), valueQuery);
        } else {
            QCOMPARE(decoder.poll(), functionQuery);
            d = decoder.feed(functionAnswer);
            QCOMPARE(d.send, valueQuery); // asked at once, not a tick later
            QVERIFY(d.readings.isEmpty());
        }
        // The answer in two pieces.
        const qsizetype half = valueAnswer.size() / 2;
        d = feedAll(decoder, {valueAnswer.left(half), valueAnswer.mid(half)});
        QCOMPARE(d.readings.size(), 1);
        QVERIFY2(d.problem.isEmpty(), qPrintable(d.problem));
        const MeterReading& r = d.readings.first();
        QCOMPARE(r.quantity, quantity);
        QCOMPARE(r.overload, overload);
        if (!overload)
            QVERIFY(qAbs(r.value - value) <= 1e-12 * qMax(1.0, qAbs(value)));
    }
}

void TestMeterDecoders::scpiFunctionAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<MeterQuantity>("quantity");
    QTest::addColumn<QString>("other");

    using Q = MeterQuantity;
    QTest::addRow("VOLT") << QByteArray("\"VOLT\"") << Q::DcVoltage << QString();
    QTest::addRow("VOLT:DC") << QByteArray("\"VOLT:DC\"") << Q::DcVoltage << QString();
    QTest::addRow("VOLT AC") << QByteArray("\"VOLT AC\"") << Q::AcVoltage << QString();
    QTest::addRow("SENS:VOLT:AC") << QByteArray("\"SENS:VOLT:AC\"") << Q::AcVoltage << QString();
    QTest::addRow("CURR") << QByteArray("\"CURR\"") << Q::DcCurrent << QString();
    QTest::addRow("curr:ac lower case") << QByteArray("\"curr:ac\"") << Q::AcCurrent << QString();
    QTest::addRow("RES") << QByteArray("\"RES\"") << Q::Resistance << QString();
    QTest::addRow("FRES") << QByteArray("FRES") << Q::Resistance << QString();
    QTest::addRow("FREQ") << QByteArray("\"FREQ\"") << Q::Other << QStringLiteral("Hz");
    QTest::addRow("CAP") << QByteArray("\"CAP\"") << Q::Other << QStringLiteral("F");
    QTest::addRow("DIOD") << QByteArray("\"DIOD\"") << Q::Other << QStringLiteral("diode");
    QTest::addRow("empty") << QByteArray("\"\"") << Q::Unknown << QString();
}

void TestMeterDecoders::scpiFunctionAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(MeterQuantity, quantity);
    QFETCH(QString, other);
    QString seen;
    QCOMPARE(ScpiDecoder::functionFromAnswer(answer, &seen), quantity);
    QCOMPARE(seen, other);
}

void TestMeterDecoders::scpiTroubles()
{
    // A slow meter: nothing is asked twice at once, and a lost answer is asked again.
    ScpiDecoder decoder{ScpiDialect::MeasVoltDc};
    decoder.start();
    QCOMPARE(decoder.poll(), QByteArray());
    QCOMPARE(decoder.poll(), QByteArray());
    QCOMPARE(decoder.poll(), QByteArray("MEAS:VOLT:DC?\n")); // gave up on the identity
    QCOMPARE(decoder.poll(), QByteArray());
    QCOMPARE(decoder.poll(), QByteArray());
    QCOMPARE(decoder.poll(), QByteArray("MEAS:VOLT:DC?\n"));

    // Not a number: no reading, a reason.
    MeterDecoded d = decoder.feed("hello\n");
    QVERIFY(d.readings.isEmpty());
    QVERIFY(!d.problem.isEmpty());

    // A refusal names what the meter said; the next tick asks again at once.
    QCOMPARE(decoder.poll(), QByteArray("MEAS:VOLT:DC?\n"));
    d = decoder.feed("nOK\n");
    QVERIFY(d.readings.isEmpty());
    QVERIFY2(d.problem.contains(QLatin1String("nOK")), qPrintable(d.problem));

    // An answer nobody asked for is dropped.
    d = decoder.feed("1.0\n");
    QVERIFY(d.readings.isEmpty());
    QVERIFY(d.discardedBytes > 0);

    // A flood without a line end is dropped whole, and the answer after it is still the one awaited.
    QCOMPARE(decoder.poll(), QByteArray("MEAS:VOLT:DC?\n"));
    d = feedAll(decoder, {QByteArray(100000, '7'), QByteArray("\n2.5E+00\n")});
    QVERIFY(d.discardedBytes >= 100000);
    QCOMPARE(d.readings.size(), 1);
    QCOMPARE(d.readings.first().value, 2.5);
}

void TestMeterDecoders::flukeExchange_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<MeterQuantity>("quantity");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("overload");

    using Q = MeterQuantity;
    QTest::addRow("DC mV") << QByteArray("0\r3.1270E-2,VDC,NORMAL,NONE\r") << Q::DcVoltage << 0.03127
                           << false;
    QTest::addRow("DC volts") << QByteArray("0\r412.3,VDC,NORMAL,NONE\r") << Q::DcVoltage << 412.3 << false;
    QTest::addRow("negative") << QByteArray("0\r-0.0003E-3,VDC,NORMAL,NONE\r") << Q::DcVoltage << -0.0003e-3
                              << false;
    QTest::addRow("DC current") << QByteArray("0\r+35.60E-3,ADC,NORMAL,NONE\r") << Q::DcCurrent << 0.0356
                                << false;
    QTest::addRow("AC volts") << QByteArray("0\r2.301E+1,VAC,NORMAL,NONE\r") << Q::AcVoltage << 23.01
                              << false;
    QTest::addRow("ohms") << QByteArray("0\r1.0E3,OHM,NORMAL,NONE\r") << Q::Resistance << 1000.0 << false;
    QTest::addRow("overload") << QByteArray("0\r9.99999999E+37,VDC,OL,NONE\r") << Q::DcVoltage << 0.0 << true;
    QTest::addRow("negative overload")
        << QByteArray("0\r-9.99999999E+37,ADC,OL_MINUS,NONE\r") << Q::DcCurrent << 0.0 << true;
    QTest::addRow("189-style prefix")
        << QByteArray("0\rQM,+1.2345E+0,VDC,NORMAL,NONE\r") << Q::DcVoltage << 1.2345 << false;
    QTest::addRow("CRLF line ends") << QByteArray("0\r\n4.5E-1,VDC,NORMAL,NONE\r\n") << Q::DcVoltage << 0.45
                                    << false;
}

void TestMeterDecoders::flukeExchange()
{
    QFETCH(QByteArray, answer);
    QFETCH(MeterQuantity, quantity);
    QFETCH(double, value);
    QFETCH(bool, overload);

    Fluke28xDecoder decoder;
    QCOMPARE(decoder.start(), QByteArray("ID\r"));
    MeterDecoded d = decoder.feed("0\rFLUKE 289,V1.01,78080001\r");
    QCOMPARE(d.identity, QStringLiteral("FLUKE 289,V1.01,78080001"));
    QCOMPARE(decoder.poll(), QByteArray("QM\r"));
    QCOMPARE(decoder.poll(), QByteArray()); // one query at a time
    // Byte by byte, as a slow cable may hand it over.
    QList<QByteArray> bytes;
    for (const char c : answer)
        bytes << QByteArray(1, c);
    d = feedAll(decoder, bytes);
    QCOMPARE(d.readings.size(), 1);
    const MeterReading& r = d.readings.first();
    QCOMPARE(r.quantity, quantity);
    QCOMPARE(r.overload, overload);
    if (!overload)
        QVERIFY(qAbs(r.value - value) <= 1e-12 * qMax(1.0, qAbs(value)));
    QCOMPARE(decoder.poll(), QByteArray("QM\r")); // answered: the next tick asks again
}

void TestMeterDecoders::flukeTroubles_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("problem");

    QTest::addRow("syntax error") << QByteArray("1\r") << QStringLiteral("syntax error");
    QTest::addRow("execution error") << QByteArray("2\r") << QStringLiteral("execution error");
    QTest::addRow("no data") << QByteArray("5\r") << QStringLiteral("no measurement");
    QTest::addRow("blank display") << QByteArray("0\r0,VDC,BLANK,NONE\r") << QStringLiteral("BLANK");
    QTest::addRow("invalid") << QByteArray("0\r0,VDC,INVALID,NONE\r") << QStringLiteral("INVALID");
    QTest::addRow("not a number") << QByteArray("0\rabc,VDC,NORMAL,NONE\r") << QStringLiteral("not a number");
    QTest::addRow("too few fields") << QByteArray("0\r1.0,VDC\r") << QStringLiteral("too few");
    QTest::addRow("no acknowledge") << QByteArray("X\r") << QStringLiteral("acknowledge");
}

void TestMeterDecoders::flukeTroubles()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, problem);

    Fluke28xDecoder decoder;
    decoder.feed("0\rFLUKE 287,V1.16,12345678\r");
    QCOMPARE(decoder.poll(), QByteArray("QM\r"));
    const MeterDecoded d = decoder.feed(answer);
    QVERIFY(d.readings.isEmpty());
    QVERIFY2(d.problem.contains(problem), qPrintable(d.problem));
    // The exchange goes on: the next answer is read.
    QCOMPARE(decoder.poll(), QByteArray("QM\r"));
    QCOMPARE(decoder.feed("0\r1.5,VDC,NORMAL,NONE\r").readings.size(), 1);
}

QTEST_GUILESS_MAIN(TestMeterDecoders)
#include "tst_meterdecoders.moc"

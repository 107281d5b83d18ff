// How typed reading text is read: the same in every locale, never scaled, refused with a reason.
#include "bias/biasmethods.h"
#include "bias/readingtext.h"

#include <QLocale>
#include <QtTest>

class TestReadingText : public QObject
{
    Q_OBJECT

private slots:
    void readsTheSameInEveryLocale_data();
    void readsTheSameInEveryLocale();
    void showsOneSeparator_data();
    void showsOneSeparator();
};

void TestReadingText::readsTheSameInEveryLocale_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::addColumn<double>("value");
    const int number = ReadingText::Number;
    const int empty = ReadingText::Empty;
    const int nan = ReadingText::NotANumber;
    const int negative = ReadingText::Negative;
    const int large = ReadingText::TooLarge;
    const QStringList locales = {QStringLiteral("C"), QStringLiteral("en_US"), QStringLiteral("de_DE")};
    for (const QString& locale : locales) {
        const QByteArray l = locale.toLatin1();
        auto row = [&](const char* name) { return &QTest::addRow("%s %s", l.constData(), name); };
        *row("point") << int(BiasProbe) << "24.5" << number << 24.5;
        *row("comma") << int(BiasProbe) << "24,5" << number << 24.5;
        *row("with the unit") << int(BiasProbe) << " 24,5 mA " << number << 24.5;
        *row("unit without space") << int(BiasProbe) << "24.5mA" << number << 24.5;
        *row("leading separator") << int(BiasProbe) << ",5" << number << 0.5;
        *row("trailing separator") << int(BiasProbe) << "24." << number << 24.0;
        *row("rounded to the field") << int(BiasProbe) << "24.56" << number << 24.6;
        *row("whole mA for the meter") << int(PanelMeter) << "120" << number << 120.0;
        *row("two decimals for cathode V") << int(CathodeBias) << "11,25" << number << 11.25;
        *row("empty") << int(BiasProbe) << "" << empty << 0.0;
        *row("unit only") << int(BiasProbe) << "mA" << empty << 0.0;
        *row("grouping is not read") << int(SenseResistor) << "1,234.5" << nan << 0.0;
        *row("German grouping is not read") << int(SenseResistor) << "1.234,5" << nan << 0.0;
        *row("letters") << int(BiasProbe) << "24x" << nan << 0.0;
        *row("inner space") << int(BiasProbe) << "24 5" << nan << 0.0;
        *row("separator alone") << int(BiasProbe) << "." << nan << 0.0;
        *row("another unit") << int(BiasProbe) << "24 V" << nan << 0.0;
        *row("minus") << int(BiasProbe) << "-3" << negative << 0.0;
        *row("minus zero") << int(BiasProbe) << "-0" << negative << 0.0;
        *row("minus sign") << int(BiasProbe) << "\u22123" << negative << 0.0;
        *row("past the probe range") << int(BiasProbe) << "500.1" << large << 0.0;
        *row("probe range edge") << int(BiasProbe) << "500" << number << 500.0;
        *row("rounds past the edge") << int(BiasProbe) << "500.06" << large << 0.0;
        *row("past the cathode range") << int(CathodeBias) << "245" << large << 0.0;
        *row("winding plate volts") << int(OtWindingDrop) << "4400" << number << 4400.0;
    }
}

void TestReadingText::readsTheSameInEveryLocale()
{
    QFETCH(int, method);
    QFETCH(QString, text);
    QFETCH(int, state);
    QFETCH(double, value);
    const QString name = QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(' '), 0, 0);
    const QLocale previous;
    QLocale::setDefault(QLocale(name));
    const ReadingText read = parseReadingText(text, firstReadingField(method));
    QLocale::setDefault(previous);
    QCOMPARE(int(read.state), state);
    QCOMPARE(read.value, value);
    // A refused text always says why; an accepted one never does.
    QCOMPARE(read.refused(), !read.problem.isEmpty());
    if (state == ReadingText::TooLarge)
        QVERIFY2(read.problem.contains(QString::number(firstReadingField(method).benchMaximum, 'f', 0)),
                 qPrintable(read.problem));
}

void TestReadingText::showsOneSeparator_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << "C";
    QTest::newRow("en_US") << "en_US";
    QTest::newRow("de_DE") << "de_DE";
}

void TestReadingText::showsOneSeparator()
{
    QFETCH(QString, locale);
    const QLocale previous;
    QLocale::setDefault(QLocale(locale));
    const QString probe = readingDisplayText(24.5, firstReadingField(BiasProbe));
    const QString sense = readingDisplayText(1234.5, firstReadingField(SenseResistor));
    const QString none = readingDisplayText(0, firstReadingField(BiasProbe));
    const QString placeholder = readingPlaceholder(firstReadingField(BiasProbe));
    QLocale::setDefault(previous);
    QCOMPARE(probe, QStringLiteral("24.5 mA"));
    QCOMPARE(sense, QStringLiteral("1234.5 mV"));
    QCOMPARE(none, QString());
    QCOMPARE(placeholder, QStringLiteral("mA · no reading"));
    // What is shown reads back as the same reading.
    QCOMPARE(parseReadingText(probe, firstReadingField(BiasProbe)).value, 24.5);
}

QTEST_GUILESS_MAIN(TestReadingText)
#include "tst_readingtext.moc"

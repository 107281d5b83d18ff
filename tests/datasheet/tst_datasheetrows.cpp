#include "catalog/tubes.h"
#include "datasheet/datasheetrows.h"

#include <QtTest>

Q_DECLARE_METATYPE(TubeSpec)

// The text of the datasheet panel: description line and the ratings table.
class TestDatasheetRows : public QObject
{
    Q_OBJECT

private:
    static QString rowsToText(const QList<DatasheetRow>& rows)
    {
        QStringList parts;
        for (const DatasheetRow& row : rows)
            parts << row.label + QStringLiteral(" = ") + row.value;
        return parts.join(QStringLiteral("; "));
    }

    static TubeSpec catalogueTube(const QString& name)
    {
        const TubeSpec* tube = findTube(name);
        return tube ? *tube : TubeSpec{};
    }

private slots:
    void description_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addColumn<QString>("expected");
        QTest::addRow("octal beam tetrode")
            << "6L6GC" << QStringLiteral("Beam tetrode, octal  \u00b7  Octal");
        QTest::addRow("transmitting triode")
            << "811A" << QStringLiteral("Transmitting triode, RF linear  \u00b7  4-pin");
        QTest::addRow("custom row has no base, so no separator") << "Custom..."
                                                                 << "User-defined tube";
    }

    void description()
    {
        QFETCH(QString, tube);
        QFETCH(QString, expected);
        const TubeSpec* spec = findTube(tube);
        QVERIFY2(spec, qPrintable(tube + " should be in the catalogue"));
        QCOMPARE(datasheetDescription(spec->family, spec->base), expected);
    }

    void catalogueRows_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addColumn<QString>("expected");
        QTest::addRow("6L6GC: all seven rows")
            << "6L6GC"
            << "Max plate dissipation = 30.0 W; Max plate voltage = 500 V; Max screen voltage = 450 V; "
               "Max screen dissipation = 5.0 W; Max cathode current = 130 mA; Heater current = 0.90 A; "
               "Typical plate voltage = 450 V";
        QTest::addRow("811A: triode, no screen rows")
            << "811A"
            << "Max plate dissipation = 65.0 W; Max plate voltage = 1500 V; Max cathode current = 175 mA; "
               "Heater current = 4.00 A; Typical plate voltage = 1500 V";
        QTest::addRow("Custom...: only dissipation and typical plate voltage")
            << "Custom..."
            << "Max plate dissipation = 25.0 W; Typical plate voltage = 450 V";
    }

    void catalogueRows()
    {
        QFETCH(QString, tube);
        QFETCH(QString, expected);
        QVERIFY2(findTube(tube), qPrintable(tube + " should be in the catalogue"));
        QCOMPARE(rowsToText(tubeDatasheetRows(catalogueTube(tube))), expected);
    }

    // Conditions are strict "> 0" tests, except the plate dissipation which is always shown.
    void rowConditions_data()
    {
        QTest::addColumn<TubeSpec>("tube");
        QTest::addColumn<QString>("expected");

        TubeSpec zero;
        QTest::addRow("all zero still shows the dissipation") << zero << "Max plate dissipation = 0.0 W";

        TubeSpec negative;
        negative.maxPlateW = -3;
        negative.maxPlateV = -1;
        negative.maxScreenV = -1;
        negative.maxScreenW = 2;
        negative.maxCathodeMa = -0.5;
        negative.heaterA = -0.01;
        negative.typicalPlateV = -100;
        QTest::addRow("negative ratings hide their rows") << negative << "Max plate dissipation = -3.0 W";

        TubeSpec triodeWithScreen;
        triodeWithScreen.triode = true;
        triodeWithScreen.maxPlateW = 10;
        triodeWithScreen.maxScreenV = 300;
        triodeWithScreen.maxScreenW = 2;
        QTest::addRow("triode flag hides screen ratings even when set")
            << triodeWithScreen << "Max plate dissipation = 10.0 W";

        TubeSpec screenWithoutWatts;
        screenWithoutWatts.maxPlateW = 12;
        screenWithoutWatts.maxScreenV = 300;
        QTest::addRow("screen dissipation follows the screen voltage row")
            << screenWithoutWatts
            << "Max plate dissipation = 12.0 W; Max screen voltage = 300 V; Max screen dissipation = 0.0 W";

        TubeSpec rounding;
        rounding.maxPlateW = 13.26;
        rounding.maxPlateV = 299.6;
        rounding.heaterA = 0.456;
        rounding.maxCathodeMa = 0.4;
        QTest::addRow("fixed decimals round, tiny current rounds to 0 mA")
            << rounding
            << "Max plate dissipation = 13.3 W; Max plate voltage = 300 V; Max cathode current = 0 mA; "
               "Heater current = 0.46 A";
    }

    void rowConditions()
    {
        QFETCH(TubeSpec, tube);
        QFETCH(QString, expected);
        QCOMPARE(rowsToText(tubeDatasheetRows(tube)), expected);
    }

    void tableHtmlIsTheTwoColumnTemplate()
    {
        const TubeSpec* tube = findTube(QStringLiteral("Custom..."));
        QVERIFY(tube);
        const QString row = QStringLiteral("<tr><td style='color:#a89a7e; padding-right:12px;'>%1</td>"
                                           "<td style='color:#f0e7cd;' align='right'><b>%2</b></td></tr>");
        const QString expected = QStringLiteral("<table width='100%' cellspacing='0' cellpadding='2'>") +
                                 row.arg(QStringLiteral("Max plate dissipation"), QStringLiteral("25.0 W")) +
                                 row.arg(QStringLiteral("Typical plate voltage"), QStringLiteral("450 V")) +
                                 QStringLiteral("</table>");
        QCOMPARE(tubeDatasheetHtml(*tube), expected);
    }

    void tableHtmlSubstitutesOnce()
    {
        // A label that itself contains "%2" must not receive the value, and the value appears once.
        const QString html = datasheetTableHtml({{QStringLiteral("Load %2"), QStringLiteral("50 %1")}});
        QVERIFY2(html.contains(QStringLiteral(">Load %2</td>")), qPrintable(html));
        QVERIFY2(html.contains(QStringLiteral("<b>50 %1</b>")), qPrintable(html));
    }

    void tableHtmlEscapesMarkup()
    {
        const QString html = datasheetTableHtml({{QStringLiteral("R < 1 k"), QStringLiteral("a & b")}});
        QVERIFY2(html.contains(QStringLiteral(">R &lt; 1 k</td>")), qPrintable(html));
        QVERIFY2(html.contains(QStringLiteral("<b>a &amp; b</b>")), qPrintable(html));
    }

    void emptyTableIsJustTheFrame()
    {
        QCOMPARE(datasheetTableHtml({}),
                 QStringLiteral("<table width='100%' cellspacing='0' cellpadding='2'></table>"));
    }
};

QTEST_GUILESS_MAIN(TestDatasheetRows)
#include "tst_datasheetrows.moc"

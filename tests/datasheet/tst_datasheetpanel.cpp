#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"
#include "datasheet/datasheetrows.h"
#include "datasheet/pinoutwidget.h"

#include <QLabel>
#include <QLayout>
#include <QtTest>

// The side panel: its parts carry the theme's object names, and setTube refills all of them.
class TestDatasheetPanel : public QObject
{
    Q_OBJECT

private:
    static QLabel* label(const DatasheetPanel& panel, const char* objectName)
    {
        return panel.findChild<QLabel*>(QLatin1String(objectName));
    }

private slots:
    void buildsTheThemedPartsInOrder()
    {
        DatasheetPanel panel;
        QCOMPARE(panel.objectName(), QStringLiteral("datasheetPanel"));

        // Header, name, description, rows, header, pinout, then the stretch that keeps them at the top.
        QLayout* layout = panel.layout();
        QVERIFY(layout);
        QStringList seen;
        for (int i = 0; i < layout->count(); ++i) {
            QWidget* w = layout->itemAt(i)->widget();
            if (!w)
                seen << QStringLiteral("(stretch)");
            else if (qobject_cast<PinoutWidget*>(w))
                seen << QStringLiteral("(pinout)");
            else if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty())
                seen << l->objectName() + QLatin1Char(':') + l->text();
            else
                seen << w->objectName();
        }
        QCOMPARE(seen,
                 QStringList({"panelHeader:TUBE DATA", "datasheetName", "datasheetDesc", "datasheetNote",
                              "datasheetRows", "panelHeader:PINOUT", "(pinout)", "(stretch)"}));

        // The note is there only while it has something to say, and says it as text.
        QLabel* note = label(panel, "datasheetNote");
        QVERIFY(note->isHidden());
        QCOMPARE(note->textFormat(), Qt::PlainText);
        QVERIFY(note->wordWrap());
        panel.setNote(QStringLiteral("Unknown tube \"<b>EL84</b>\""));
        QVERIFY(!note->isHidden());
        panel.setNote(QString());
        QVERIFY(note->isHidden());

        QVERIFY(label(panel, "datasheetDesc")->wordWrap());
        QVERIFY(label(panel, "datasheetRows")->wordWrap());
        QCOMPARE(label(panel, "datasheetRows")->textFormat(), Qt::RichText);
    }

    void startsEmpty()
    {
        DatasheetPanel panel;
        QVERIFY(label(panel, "datasheetName")->text().isEmpty());
        QVERIFY(label(panel, "datasheetDesc")->text().isEmpty());
        QVERIFY(label(panel, "datasheetRows")->text().isEmpty());
        auto* pinout = panel.findChild<PinoutWidget*>();
        QVERIFY(pinout);
        QVERIFY2(pinout->tube().pins.isEmpty() && !pinout->tube().custom,
                 "before the first tube the pinout should show its no-pinout note");
    }

    void showsTheTube_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("values");
        QTest::addRow("6L6GC") << "6L6GC" << QStringLiteral("Beam tetrode, octal  \u00b7  Octal")
                               << QStringList{"30.0 W", "500 V",  "450 V", "5.0 W",
                                              "130 mA", "0.90 A", "450 V"};
        QTest::addRow("811A") << "811A" << QStringLiteral("Transmitting triode, RF linear  \u00b7  4-pin")
                              << QStringList{"65.0 W", "1500 V", "175 mA", "4.00 A", "1500 V"};
        QTest::addRow("Custom...") << "Custom..."
                                   << "User-defined tube" << QStringList{"25.0 W", "450 V"};
    }

    void showsTheTube()
    {
        QFETCH(QString, tube);
        QFETCH(QString, description);
        QFETCH(QStringList, values);
        const TubeSpec* spec = findTube(tube);
        QVERIFY2(spec, qPrintable(tube + " should be in the catalogue"));

        DatasheetPanel panel;
        // A tube shown before must leave nothing behind.
        panel.setTube(*findTube(QStringLiteral("6146 / 6146A")));
        panel.setTube(*spec);

        QCOMPARE(label(panel, "datasheetName")->text(), tube);
        QCOMPARE(label(panel, "datasheetDesc")->text(), description);

        const QString rows = label(panel, "datasheetRows")->text();
        QCOMPARE(rows, tubeDatasheetHtml(*spec));
        QStringList shown;
        static const QRegularExpression bold(QStringLiteral("<b>([^<]*)</b>"));
        for (auto it = bold.globalMatch(rows); it.hasNext();)
            shown << it.next().captured(1);
        QCOMPARE(shown, values);

        auto* pinout = panel.findChild<PinoutWidget*>();
        QVERIFY(pinout);
        QCOMPARE(pinout->tube().name, spec->name);
        QCOMPARE(pinout->tube().pins, spec->pins);
        QCOMPARE(pinout->tube().custom, spec->custom);
        QCOMPARE(pinout->tube().topCap, spec->topCap);
    }

    void namesAreNotMarkup()
    {
        DatasheetPanel panel;
        TubeSpec odd;
        odd.name = QStringLiteral("<b>X</b>");
        odd.family = QStringLiteral("<i>family</i>");
        panel.setTube(odd);
        QCOMPARE(label(panel, "datasheetName")->textFormat(), Qt::PlainText);
        QCOMPARE(label(panel, "datasheetDesc")->textFormat(), Qt::PlainText);
        QCOMPARE(label(panel, "datasheetName")->text(), odd.name);
    }
};

QTEST_MAIN(TestDatasheetPanel)
#include "tst_datasheetpanel.moc"

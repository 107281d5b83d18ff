#include "catalog/presets.h"
#include "schematic/schematiclookup.h"
#include "schematicimages.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QImageReader>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestSchematicLookup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void slug_data();
    void slug();
    void everyPresetHasAUsableSlug();
    void imageFilesAreReal_data();
    void imageFilesAreReal();
    void searchDirs();
    void searchOrder_data();
    void searchOrder();
    void searchesTheUserDirectory();
    void missingText();

private:
    QTemporaryDir home;
};

void TestSchematicLookup::initTestCase()
{
    QVERIFY(home.isValid());
    // Before anything asks for the per-user data directory.
    useTemporaryProgramHome(home);
}

void TestSchematicLookup::slug_data()
{
    // clang-format off
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::addRow("slash between names") << "Fender" << "Champ / Vibro Champ" << "fender-champ-vibro-champ";
    QTest::addRow("slash in the group") << "Mesa/Boogie" << "Mark IV" << "mesa-boogie-mark-iv";
    QTest::addRow("name all punctuation") << "Fender" << " / ()!" << "fender";
    QTest::addRow("empty name") << "Vox" << "" << "vox";
    QTest::addRow("punctuation at both ends") << "(Hi-Fi)" << "McIntosh MC275 ..." << "hi-fi-mcintosh-mc275";
    QTest::addRow("runs collapse to one hyphen") << "Other Guitar" << "Twin -- '65 & Co." << "other-guitar-twin-65-co";
    QTest::addRow("digits kept") << "RF Linears" << "Heathkit SB-220 (2x 3-500Z)" << "rf-linears-heathkit-sb-220-2x-3-500z";
    QTest::addRow("letters outside a-z become hyphens") << "Vintage" << "Röhren Verstärker" << "vintage-r-hren-verst-rker";
    QTest::addRow("upper case folded") << "MARSHALL" << "JCM800 2203" << "marshall-jcm800-2203";
    // clang-format on
}

void TestSchematicLookup::slug()
{
    QFETCH(QString, group);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(schematicSlug(group, name), expected);
}

void TestSchematicLookup::everyPresetHasAUsableSlug()
{
    static const QRegularExpression wellFormed(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    QHash<QString, QString> owner; // slug -> preset name
    QVERIFY(!ampPresets().isEmpty());
    for (const AmpPreset& preset : ampPresets()) {
        const QString slug = schematicSlug(preset.group, preset.name);
        QVERIFY2(wellFormed.match(slug).hasMatch(),
                 qPrintable(
                     QString("\"%1\" / \"%2\" gives the slug \"%3\"").arg(preset.group, preset.name, slug)));
        // Two presets sharing a slug would show each other's schematic.
        QVERIFY2(
            !owner.contains(slug),
            qPrintable(
                QString("\"%1\" and \"%2\" share the slug %3").arg(owner.value(slug), preset.name, slug)));
        owner.insert(slug, preset.name);
    }
}

void TestSchematicLookup::imageFilesAreReal_data()
{
    // clang-format off
    QTest::addColumn<QString>("extension");
    for (const QString& extension : schematicImageExtensions())
        QTest::addRow("%s", qPrintable(extension)) << extension;
    // clang-format on
}

// The search tests below use real files of every format; make sure the fixtures decode as what they
// claim to be, so a missing image plug-in shows up here rather than as a puzzling lookup failure.
void TestSchematicLookup::imageFilesAreReal()
{
    QFETCH(QString, extension);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("probe.") + extension);
    QVERIFY2(writeImageFile(path, extension), qPrintable(QStringLiteral("could not write ") + path));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(),
             qPrintable(QStringLiteral("%1 does not decode: %2").arg(path, reader.errorString())));
    const QByteArray expectedFormat =
        extension == QLatin1String("jpg") ? QByteArray("jpeg") : extension.toLatin1();
    QCOMPARE(QImageReader::imageFormat(path), expectedFormat);
}

void TestSchematicLookup::searchDirs()
{
    const QStringList dirs = schematicSearchDirs();
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(dirs.size(), 3);
    QCOMPARE(dirs.at(0), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/schematics");
    QVERIFY2(dirs.at(0).endsWith("/Quorlen/Ambertrace/schematics"), qPrintable(dirs.at(0)));
    QVERIFY2(dirs.at(0).startsWith(home.path()),
             qPrintable("per-user directory outside the test home: " + dirs.at(0)));
    QCOMPARE(dirs.at(1), appDir + "/schematics");
    QCOMPARE(dirs.at(2), appDir + "/../share/ambertrace/schematics");
    QVERIFY2(!QFileInfo::exists(dirs.at(0)), "asking for the directories must not create them");
}

void TestSchematicLookup::searchOrder_data()
{
    // clang-format off
    // Files are "<directory index>/<file name>"; a trailing "/" makes a directory of that name.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("expected"); // "<directory index>/<file name>" or empty

    const QString champ = QStringLiteral("fender-champ-vibro-champ");
    QTest::addRow("jpg in second dir, none in first")
        << QStringList{"1/" + champ + ".jpg"} << champ << "1/" + champ + ".jpg";
    QTest::addRow("webp in first dir beats png in second")
        << QStringList{"1/" + champ + ".png", "0/" + champ + ".webp"} << champ << "0/" + champ + ".webp";
    QTest::addRow("second dir beats third")
        << QStringList{"2/" + champ + ".png", "1/" + champ + ".gif"} << champ << "1/" + champ + ".gif";
    QTest::addRow("only the third dir") << QStringList{"2/" + champ + ".webp"} << champ << "2/" + champ + ".webp";
    QTest::addRow("png before jpg") << QStringList{"0/a.jpg", "0/a.png"} << "a" << "0/a.png";
    QTest::addRow("jpg before jpeg") << QStringList{"0/a.jpeg", "0/a.jpg"} << "a" << "0/a.jpg";
    QTest::addRow("jpeg before gif") << QStringList{"0/a.gif", "0/a.jpeg"} << "a" << "0/a.jpeg";
    QTest::addRow("gif before webp") << QStringList{"0/a.webp", "0/a.gif"} << "a" << "0/a.gif";
    QTest::addRow("all five formats")
        << QStringList{"0/a.webp", "0/a.gif", "0/a.jpeg", "0/a.jpg", "0/a.png"} << "a" << "0/a.png";
    QTest::addRow("nothing anywhere") << QStringList{} << champ << QString();
    QTest::addRow("other stem only") << QStringList{"0/fender-champ.png"} << champ << QString();
    QTest::addRow("upper-case names are not matched")
        << QStringList{"0/Fender-Champ.PNG", "1/fender-champ.PNG"} << "fender-champ" << QString();
    QTest::addRow("unsupported extension ignored") << QStringList{"0/a.bmp", "2/a.gif"} << "a" << "2/a.gif";
    QTest::addRow("a directory named like the file is skipped")
        << QStringList{"0/a.png/", "1/a.jpg"} << "a" << "1/a.jpg";
    QTest::addRow("empty stem never matches hidden files") << QStringList{"0/.png"} << "" << QString();
    // clang-format on
}

void TestSchematicLookup::searchOrder()
{
    QFETCH(QStringList, files);
    QFETCH(QString, stem);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    // The third directory does not exist unless a file is placed there: a missing directory must
    // simply yield nothing.
    const QStringList dirs{root.filePath("user/schematics"), root.filePath("bin/schematics"),
                           root.filePath("bin/../share/ambertrace/schematics")};
    for (const QString& entry : files) {
        const int dirIndex = entry.section('/', 0, 0).toInt();
        const QString name = entry.section('/', 1, 1);
        QVERIFY(QDir().mkpath(dirs.at(dirIndex)));
        const QString path = dirs.at(dirIndex) + '/' + name;
        if (entry.endsWith('/')) {
            QVERIFY(QDir().mkpath(path));
            continue;
        }
        QVERIFY2(writeImageFile(path, QFileInfo(name).suffix().toLower()),
                 qPrintable("could not write " + path));
    }

    const QString found = findSchematicImage(stem, dirs);
    const QString expectedPath =
        expected.isEmpty() ? QString()
                           : dirs.at(expected.section('/', 0, 0).toInt()) + '/' + expected.section('/', 1);
    QVERIFY2(found == expectedPath,
             qPrintable(QString("expected \"%1\", found \"%2\"").arg(expectedPath, found)));
}

void TestSchematicLookup::searchesTheUserDirectory()
{
    const QString stem = schematicSlug(QStringLiteral("Mesa/Boogie"), QStringLiteral("Mark IV"));
    QCOMPARE(findSchematicImage(stem), QString());

    const QString userDir = schematicSearchDirs().constFirst();
    QVERIFY(QDir().mkpath(userDir));
    const QString path = userDir + "/" + stem + ".jpeg";
    QVERIFY(writeImageFile(path, QStringLiteral("jpeg")));
    QCOMPARE(findSchematicImage(stem), path);
    QVERIFY(QFile::remove(path));
}

void TestSchematicLookup::missingText()
{
    const QString text = schematicMissingText(
        QStringLiteral("Champ / Vibro Champ"), QStringLiteral("fender-champ-vibro-champ"),
        QStringLiteral("/home/tech/.local/share/Quorlen/Ambertrace/schematics"));
    QCOMPARE(text, QStringLiteral("No schematic image is bundled for \"Champ / Vibro Champ\".\n"
                                  "\n"
                                  "You can add your own: save an image named\n"
                                  "    fender-champ-vibro-champ.png\n"
                                  "into\n"
                                  "    /home/tech/.local/share/Quorlen/Ambertrace/schematics"));
}

QTEST_GUILESS_MAIN(TestSchematicLookup)
#include "tst_schematiclookup.moc"

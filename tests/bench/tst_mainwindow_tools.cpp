// The bench window's tools, driven through the real window: the preamp designer on its tab and the
// chains that presets load into it, the calculator and the guided session, the PDF report and the
// schematic button.
#include "bench/mainwindow.h"

#include "bias/tubecardwidget.h"
#include "biastools/biasmodcalc.h"
#include "biastools/biaswizard.h"
#include "catalog/presets.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "schematic/schematicviewer.h"

#include "mockclock.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWizard>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

QPushButton* toolButton(const MainWindow& window, const QString& text)
{
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (QString(button->text()).remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

// The status bar's message; empty while the window has no status bar (it is made on first use).
QString statusMessage(const MainWindow& window)
{
    const auto* bar = window.findChild<QStatusBar*>();
    return bar ? bar->currentMessage() : QString();
}

QString json(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QStringList stageTitles(const PreampView& view)
{
    QStringList titles;
    for (PreampStageWidget* card : view.stageCards())
        titles << card->titleLabel()->text();
    return titles;
}

const QString ax7 = QStringLiteral("12AX7 / ECC83 / 7025");

} // namespace

class TestMainWindowTools : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    QString documents;

    QString userSchematicDir() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
               QStringLiteral("/schematics");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        // Nothing the window reads or writes may come from or reach the real home directory.
        prepareWindowTests(home);

        documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY2(documents.startsWith(home.path()),
                 qPrintable(QStringLiteral("documents directory outside the test home: ") + documents));
        QVERIFY(QDir().mkpath(documents));
    }

    void init()
    {
        // Each test starts from a first start: no last session, no profiles, no schematics.
        const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY2(appData.startsWith(home.path()), qPrintable(appData));
        QDir(appData).removeRecursively();
        QDir(documents).removeRecursively();
        QVERIFY(QDir().mkpath(documents));
    }

    void preampTabHoldsTheDesignerWithItsStartChain()
    {
        const auto window = openWindow();
        MainWindow& w = *window;

        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("mainTabs"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(1), QStringLiteral("PREAMP STAGES"));
        QVERIFY2(w.preampView(), "the preamp designer member is set");
        QVERIFY(tabs->widget(1)->isAncestorOf(w.preampView()));

        tabs->setCurrentIndex(1);
        QVERIFY(w.preampView()->isVisible());
        QCOMPARE(stageTitles(*w.preampView()), (QStringList{QStringLiteral("V1a"), QStringLiteral("V1b")}));
        const QJsonObject defaults = stage(ax7, 300, 100, 1500, 25, 1000);
        QCOMPARE(json(w.preampView()->stagesJson()), json(QJsonArray{defaults, defaults}));
        const QString total = w.preampView()->total()->text();
        QVERIFY2(total.startsWith(QStringLiteral("2 stages — total gain ×")) &&
                     total.endsWith(QStringLiteral("(70.9 dB)")),
                 qPrintable(QStringLiteral("a complete two-stage chain of 70.9 dB, got: ") + total));
    }

    void choosingAPresetLoadsItsPreampChain_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QJsonArray>("expected");

        QTest::addRow("Marshall, bypassed then unbypassed 12AX7")
            << QStringLiteral("JCM800 2203 (100W)")
            << QJsonArray{stage(ax7, 325, 100, 820, 330, 1000), stage(ax7, 325, 100, 820, 0, 470)};
        QTest::addRow("Mesa/Boogie, three stages")
            << QStringLiteral("Mark IV")
            << QJsonArray{stage(ax7, 300, 100, 1500, 22, 1000), stage(ax7, 300, 100, 1500, 22, 470),
                          stage(ax7, 300, 100, 1500, 0, 470)};
        QTest::addRow("Hi-Fi 300B, one 6SN7 stage")
            << QStringLiteral("SE 300B Monoblock")
            << QJsonArray{stage(QStringLiteral("6SN7"), 300, 47, 1200, 47, 500)};
        QTest::addRow("Tweed Fender, 12AY7 first")
            << QStringLiteral("Tweed Deluxe 5E3")
            << QJsonArray{stage(QStringLiteral("12AY7 / 6072"), 300, 100, 820, 25, 1000),
                          stage(ax7, 300, 100, 820, 25, 1000)};
        QTest::addRow("Kalamazoo Bass 30, 6EU7")
            << QStringLiteral("Kalamazoo Bass 30")
            << QJsonArray{stage(QStringLiteral("6EU7"), 250, 220, 2200, 10, 1000),
                          stage(QStringLiteral("6EU7"), 250, 220, 2200, 10, 1000)};
    }

    void choosingAPresetLoadsItsPreampChain()
    {
        QFETCH(QString, preset);
        QFETCH(QJsonArray, expected);
        const auto window = openWindow();
        MainWindow& w = *window;

        // A chain the user has worked on: four stages, the first one changed.
        PreampView& view = *w.preampView();
        view.addStage();
        view.addStage();
        view.stageCards().first()->supplyBox()->setValue(450);
        view.stageCards().first()->tubeBox()->setCurrentIndex(3);

        QVERIFY2(clickPreset(w, preset), qPrintable(QStringLiteral("could not pick ") + preset));

        QCOMPARE(json(view.stagesJson()), json(expected));
        QCOMPARE(view.stageCards().size(), expected.size());
        QCOMPARE(view.stageCards().first()->titleLabel()->text(), QStringLiteral("V1a"));
        QVERIFY2(view.total()->text().startsWith(QString::number(expected.size()) + QStringLiteral(" stage")),
                 qPrintable(QStringLiteral("the total counts the loaded stages: ") + view.total()->text()));

        // Picking the same preset again puts its chain back after the user changed it.
        view.stageCards().first()->plateBox()->setValue(470);
        QVERIFY(clickPreset(w, preset));
        QCOMPARE(json(view.stagesJson()), json(expected));
    }

    void presetWithoutChainLeavesTheDesigner_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addRow("RF linear") << QStringLiteral("SB-200 / SB-201");
        QTest::addRow("Fender Champion 600") << QStringLiteral("Champion 600 (5C1)");
    }

    void presetWithoutChainLeavesTheDesigner()
    {
        QFETCH(QString, preset);
        const auto window = openWindow();
        MainWindow& w = *window;

        QVERIFY(clickPreset(w, QStringLiteral("JCM800 2203 (100W)")));
        w.preampView()->addStage();
        w.preampView()->stageCards().at(1)->cathodeBox()->setValue(2700);
        const QString before = json(w.preampView()->stagesJson());

        QVERIFY(clickPreset(w, preset));
        QCOMPARE(w.selectedPreset(), presetCombo(w)->currentData().toInt());
        QCOMPARE(json(w.preampView()->stagesJson()), before);
        QCOMPARE(w.preampView()->stageCards().size(), 3);
    }

    void toolButtonsOpenTheirDialogsModally_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("ampClass");
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("dialogClass");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("pageTitles"); // of the wizard

        const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");
        const QString safety = QStringLiteral("Safety First");
        const QString preparation = QStringLiteral("Preparation");
        const QString evaluate = QStringLiteral("Evaluate");
        QTest::addRow("calculator") << QStringLiteral("Bias Mod Calculator") << fixedBias << 0
                                    << QStringLiteral("BiasModCalc") << QStringLiteral("Bias Mod Calculator")
                                    << QStringList();
        QTest::addRow("guided session, bias probe")
            << QStringLiteral("Guided Bias Session") << fixedBias << 0 << QStringLiteral("BiasWizard")
            << QStringLiteral("Guided Bias Session")
            << QStringList{safety, preparation, QStringLiteral("Measure with the Bias Probe"), evaluate};
        QTest::addRow("guided session, OT winding drop")
            << QStringLiteral("Guided Bias Session") << fixedBias << 2 << QStringLiteral("BiasWizard")
            << QStringLiteral("Guided Bias Session")
            << QStringList{safety, preparation, QStringLiteral("Step 1 - Winding Resistance (Amp OFF)"),
                           QStringLiteral("Step 2 - Voltage Drop (Amp ON)"), evaluate};
        QTest::addRow("guided session, panel meter")
            << QStringLiteral("Guided Bias Session") << QStringLiteral("RF Linear (Class AB/B)") << 4
            << QStringLiteral("BiasWizard") << QStringLiteral("Guided Bias Session")
            << QStringList{safety, preparation, QStringLiteral("Read Idle Current from the Panel Meter"),
                           evaluate};
    }

    void toolButtonsOpenTheirDialogsModally()
    {
        QFETCH(QString, button);
        QFETCH(QString, ampClass);
        QFETCH(int, method);
        QFETCH(QString, dialogClass);
        QFETCH(QString, title);
        QFETCH(QStringList, pageTitles);
        const auto window = openWindow();
        MainWindow& w = *window;

        classCombo(w)->setCurrentIndex(classCombo(w)->findText(ampClass));
        const int methodRow = methodCombo(w)->findData(method);
        QVERIFY2(methodRow >= 0, "the class offers the method");
        methodCombo(w)->setCurrentIndex(methodRow);
        const QString tubeBefore = tubeCombo(w)->currentText();
        const int cardsBefore = cards(w).size();

        QPointer<QWidget> dialog;
        QWidget* parent = nullptr;
        bool modal = false;
        QString shownTitle;
        QStringList shownPages;
        ModalSeam catcher({[&](QWidget* widget) {
            dialog = widget;
            parent = widget->parentWidget();
            modal = widget->isModal();
            shownTitle = widget->windowTitle();
            if (auto* wizard = qobject_cast<QWizard*>(widget)) {
                for (int id : wizard->pageIds()) {
                    auto* label = wizard->page(id)->findChild<QLabel*>(QStringLiteral("wizardTitle"));
                    shownPages << (label ? label->text() : QString());
                }
            }
            closeDialog(widget);
        }});

        QPushButton* tool = toolButton(w, button);
        QVERIFY(tool);
        QTest::mouseClick(tool, Qt::LeftButton);

        QCOMPARE(catcher.answered, 1);
        QCOMPARE(catcher.classNames.first(), dialogClass);
        QVERIFY2(modal, "the dialog runs modally");
        QCOMPARE(parent, static_cast<QWidget*>(&w));
        QCOMPARE(shownTitle, title);
        QCOMPARE(shownPages, pageTitles);
        QVERIFY2(dialog.isNull(), "the dialog is destroyed when it closes");
        // The tools only read the bench.
        QCOMPARE(tubeCombo(w)->currentText(), tubeBefore);
        QCOMPARE(w.session().setup().method, method);
        QCOMPARE(cards(w).size(), cardsBefore);
    }

    void exportSuggestsAFileInTheDocumentsDirectory_data()
    {
        QTest::addColumn<QString>("profile"); // empty: the "MY AMPS" placeholder stays current
        QTest::addColumn<QString>("fileName");
        QTest::addRow("no profile: the tube type")
            << QString() << QStringLiteral("6L6GC_amp_bias_report.pdf");
        QTest::addRow("profile name simplified")
            << QStringLiteral(" My  Deluxe ") << QStringLiteral("My_Deluxe_bias_report.pdf");
    }

    void exportSuggestsAFileInTheDocumentsDirectory()
    {
        QFETCH(QString, profile);
        QFETCH(QString, fileName);
        const auto window = openWindow();
        MainWindow& w = *window;
        tubeCombo(w)->setCurrentIndex(tubeCombo(w)->findText(QStringLiteral("6L6GC")));
        if (!profile.isEmpty()) {
            // A saved profile of that name, selected in the list (not loaded).
            QVERIFY(writeFile(profilePath(QStringLiteral("My Deluxe.json")),
                              jsonBytes(QJsonObject{{QStringLiteral("name"), profile}})));
            w.refreshMyAmps();
            QVERIFY(choose(myAmpsCombo(w), profile));
        }

        QString caption, directory, selected;
        QStringList filters;
        ModalSeam catcher({[&](QWidget* widget) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget)) {
                caption = dialog->windowTitle();
                directory = dialog->directory().absolutePath();
                selected = dialog->selectedFiles().value(0);
                filters = dialog->nameFilters();
            }
            closeDialog(widget); // cancel
        }});
        QTest::mouseClick(toolButton(w, QStringLiteral("Export PDF Report")), Qt::LeftButton);

        QCOMPARE(catcher.classNames, QStringList{QStringLiteral("QFileDialog")});
        QCOMPARE(caption, QStringLiteral("Export Bias Report"));
        QCOMPARE(filters, QStringList{QStringLiteral("PDF files (*.pdf)")});
        QCOMPARE(directory, documents);
        QCOMPARE(selected, documents + QLatin1Char('/') + fileName);
        // Cancelling writes nothing and says nothing.
        QVERIFY2(QDir(documents).isEmpty(), "no file after cancelling");
        QCOMPARE(statusMessage(w), QString());
    }

    void exportWritesThePdfWhereChosen_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addRow("pdf in another directory") << QStringLiteral("elsewhere/bench report.pdf");
        QTest::addRow("name without extension, used as typed") << QStringLiteral("elsewhere/report");
    }

    void exportWritesThePdfWhereChosen()
    {
        QFETCH(QString, relativePath);
        const auto window = openWindow();
        MainWindow& w = *window;
        // 6V6GT at 350 V, push-pull class AB: 26 mA is 9.1 W, 65 % of 14 W, inside the ideal window.
        plateVSpin(w)->setValue(350);
        cards(w).at(0)->setMeasurements(26, 0);

        const QString path = home.filePath(relativePath);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        ModalSeam catcher({answerFile(path)});
        QTest::mouseClick(toolButton(w, QStringLiteral("Export PDF Report")), Qt::LeftButton);

        QCOMPARE(catcher.classNames, QStringList{QStringLiteral("QFileDialog")});
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(QStringLiteral("no report at ") + path));
        QVERIFY2(file.read(5) == "%PDF-", "the file is a PDF");
        file.close();
        QVERIFY2(QDir(documents).isEmpty(), "nothing is written to the suggested place");
        QCOMPARE(statusMessage(w), QStringLiteral("Report saved to ") + path);

        QString error;
        const QString text = pdfText(path, &error).simplified();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const QString& expected :
             {QStringLiteral("Bias Report — 6V6GT amp"), QStringLiteral("6V6GT (max 14 W plate)"),
              QStringLiteral("Push-Pull Class AB (fixed bias)"),
              QStringLiteral("Bias probe (cathode current)"), QStringLiteral("350 V"),
              QStringLiteral("65% of max dissipation"),
              QStringLiteral("V1 26.0 mA 26.0 mA 9.1 W 65.0% IDEAL"), QStringLiteral("V2 — no reading")}) {
            QVERIFY2(text.contains(expected),
                     qPrintable(QStringLiteral("the report shows \"%1\"; it reads: %2").arg(expected, text)));
        }
    }

    void exportFailureWarnsAndLeavesNoFile_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addRow("directory does not exist") << QStringLiteral("missing/dir/report.pdf");
        QTest::addRow("parent is a file") << QStringLiteral("plain-file/report.pdf");
    }

    void exportFailureWarnsAndLeavesNoFile()
    {
        QFETCH(QString, relativePath);
        const auto window = openWindow();
        MainWindow& w = *window;
        QFile plain(home.filePath(QStringLiteral("plain-file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        const QString path = home.filePath(relativePath);
        BoxSeen warning;
        // Typed as a full path: the dialog cannot browse into a folder that does not exist.
        ModalSeam catcher({answerFile(path), answerBox(QMessageBox::Ok, &warning)});
        QTest::mouseClick(toolButton(w, QStringLiteral("Export PDF Report")), Qt::LeftButton);

        QCOMPARE(catcher.classNames,
                 (QStringList{QStringLiteral("QFileDialog"), QStringLiteral("QMessageBox")}));
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.title, QStringLiteral("Export failed"));
        QCOMPARE(warning.text, QStringLiteral("Could not write the PDF."));
        QCOMPARE(warning.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY2(!QFileInfo::exists(path), "no file is left behind");
        QCOMPARE(statusMessage(w), QString());
        QVERIFY2(QDir(documents).isEmpty(), "nothing is written to the suggested place instead");
    }

    void schematicButtonWithoutPresetDoesNothing()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY2(!schematicButton(w)->isEnabled(), "disabled until a preset is chosen");

        // The handler itself guards the index: before the first preset there is none to show.
        ModalSeam catcher({closeDialog});
        QCOMPARE(w.selectedPreset(), -1);
        w.showSchematicForPreset();
        // Neither does an entry that is no preset (the list's prompt) choose one.
        QVERIFY(pickFromList(presetCombo(w), QStringLiteral("— choose a preset —")));
        QCOMPARE(w.selectedPreset(), -1);
        w.showSchematicForPreset();
        // A dialog would have been shown, and answered, inside the call.
        QCOMPARE(catcher.answered, 0);
    }

    void schematicButtonShowsTheImage()
    {
        QVERIFY(QDir().mkpath(userSchematicDir()));
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(userSchematicDir() + QStringLiteral("/fender-deluxe-reverb.png")));
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(clickPreset(w, QStringLiteral("Deluxe Reverb")));
        QVERIFY(schematicButton(w)->isEnabled());

        ModalSeam catcher; // the viewer opens beside the bench, not as a dialog over it
        QTest::mouseClick(schematicButton(w), Qt::LeftButton);

        QTRY_VERIFY(w.findChild<SchematicViewer*>());
        QPointer<SchematicViewer> viewer = w.findChild<SchematicViewer*>();
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->isWindow());
        QVERIFY(!viewer->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Deluxe Reverb — Schematic"));
        QCOMPARE(viewer->parentWidget(), static_cast<QWidget*>(&w));
        QCOMPARE(viewer->view()->scene()->sceneRect().size(), QSizeF(400, 300));
        QVERIFY(w.screen()->availableGeometry().contains(viewer->frameGeometry()));
        QCOMPARE(catcher.answered, 0);

        // The bench goes on working beside it.
        plateVSpin(w)->setFocus();
        plateVSpin(w)->selectAll();
        QTest::keyClicks(plateVSpin(w), QStringLiteral("400"));
        QCOMPARE(w.session().setup().shared.plateV, 400.0);
        viewer->close();
        QTRY_VERIFY2(viewer.isNull(), "the viewer is destroyed when it closes");
    }

    void schematicButtonWithoutImageSaysWhereToPutOne()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(clickPreset(w, QStringLiteral("JCM800 2203 (100W)")));

        QString boxTitle, boxText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        ModalSeam catcher({[&](QWidget* widget) {
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                boxTitle = box->windowTitle();
                boxText = box->text();
                icon = box->icon();
                buttons = box->standardButtons();
            }
            closeDialog(widget);
        }});
        QTest::mouseClick(schematicButton(w), Qt::LeftButton);

        QCOMPARE(catcher.classNames, QStringList{QStringLiteral("QMessageBox")});
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(boxTitle, QStringLiteral("Schematic not available"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(boxText, QStringLiteral("No schematic image is bundled for \"JCM800 2203 (100W)\".\n\n"
                                         "You can add your own: save an image named\n"
                                         "    marshall-jcm800-2203-100w.png\n"
                                         "into\n"
                                         "    ") +
                              userSchematicDir());
    }
};

QTEST_MAIN(TestMainWindowTools)
#include "tst_mainwindow_tools.moc"

// The bench window as it opens, and with readings across every rating.
#include "gallery.h"

#include "bench/mainwindow.h"
#include "bias/biasmethods.h"
#include "bias/tubecardwidget.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSpinBox>
#include <cstdio>

GALLERY_PAGE(window)
{
    MainWindow first;
    saveWidget(&first, out, QStringLiteral("window_first_start.png"));

    // 6V6GT at 350 V, 14 W maximum: 20 mA is cold (50 %), 26 mA ideal (65 %), 33 mA warm (82.5 %)
    // and 45 mA over the maximum (112.5 %).
    MainWindow readings;
    tubeCountSpin(readings)->setValue(4);
    const double currents[] = {20, 26, 33, 45};
    for (int i = 0; i < 4; ++i)
        cards(readings)[i]->setMeasurements(currents[i], 0);
    saveWidget(&readings, out, QStringLiteral("window_four_ratings.png"), 800);
}

GALLERY_PAGE(window_presets)
{
    // The open list: the popup is a window of its own, so the screen is grabbed with both on it.
    {
        MainWindow window;
        saveWidget(&window, out, QStringLiteral("window_preset_list_closed.png"));
        presetCombo(window)->showPopup();
        settle(400);
        QWidget* popup = presetCombo(window)->view()->window();
        const QRect area = window.frameGeometry().united(popup->frameGeometry());
        QPixmap shot =
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        if (shot.isNull() || !shot.save(out.filePath(QStringLiteral("window_preset_list.png")), "PNG"))
            std::fprintf(stderr, "could not grab the open preset list\n");
        else
            std::printf("  %s\n", qPrintable(out.filePath(QStringLiteral("window_preset_list.png"))));
        saveWidget(popup, out, QStringLiteral("window_preset_list_popup.png"));
        presetCombo(window)->hidePopup();
    }

    const struct {
        const char* preset;
        const char* file;
    } chosen[] = {{"Deluxe Reverb", "window_preset_deluxe_reverb.png"},
                  {"SB-200 / SB-201", "window_preset_sb200.png"}};
    for (const auto& entry : chosen) {
        MainWindow window;
        const int row = presetCombo(window)->findText(QString::fromUtf8(entry.preset));
        presetCombo(window)->setCurrentIndex(row);
        emit presetCombo(window)->activated(row);
        saveWidget(&window, out, QString::fromLatin1(entry.file), 800);
    }
}

GALLERY_PAGE(window_jobs)
{
    // Three jobs with the figures of their notes typed in: the AC30's four EL84s on one 50 Ω
    // resistor at about 130 % of their rating (9.75 V is 48.75 mA a tube, 15.6 W at 320 V: OVER MAX,
    // as its note says), the ST-70's factory 1.56 V across the 15.6 Ω resistor of each channel (50 mA
    // a tube, ideal for it), and the SB-200's idle of about 95 mA total on its panel meter (47.5 mA a
    // tube, ideal against its own 45-50 mA).
    const struct {
        const char* preset;
        double plateV; // 0 keeps the preset's
        double reading;
        const char* file;
    } jobs[] = {{"AC30", 0, 9.75, "window_job_ac30.png"},
                {"Dynaco ST-70", 0, 1560, "window_job_st70.png"},
                {"SB-200 / SB-201", 0, 95, "window_job_sb200.png"}};
    for (const auto& job : jobs) {
        MainWindow window;
        const int row = presetCombo(window)->findText(QString::fromUtf8(job.preset));
        presetCombo(window)->setCurrentIndex(row);
        emit presetCombo(window)->activated(row);
        if (job.plateV > 0)
            plateVSpin(window)->setValue(job.plateV);
        // A panel meter reading the total takes it once, in the setup.
        const SharedMeasurements& shared = window.session().setup().shared;
        if (window.session().setup().method == PanelMeter && shared.meterReadsTotal)
            window.session().setMeterTotalMa(job.reading);
        else
            for (TubeCardWidget* card : cards(window))
                card->setMeasurements(job.reading, 0);
        saveWidget(&window, out, QString::fromLatin1(job.file), 800);
    }
}

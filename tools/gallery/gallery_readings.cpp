// The setup panel's ways of taking a whole amplifier's readings: the panel meter's one total, the
// transformer drop read directly, and a sense resistor and a screen current of each tube's own.
#include "gallery.h"

#include "bench/mainwindow.h"
#include "bias/biasmethods.h"
#include "bias/tubecardwidget.h"

GALLERY_PAGE(window_readings)
{
    // Four 811As on one panel meter reading 180 mA: 45 mA each, and no matching verdict.
    {
        MainWindow window;
        BenchSession& bench = window.session();
        bench.setAmpClass(QStringLiteral("RF Linear (Class AB/B)"));
        bench.setMethod(PanelMeter);
        bench.setTube(QStringLiteral("811A"));
        bench.setTubeCount(4);
        bench.setPlateV(1700);
        bench.setMeterTotalMa(180);
        saveWidget(&window, out, QStringLiteral("window_meter_total.png"), 800);
    }
    // Two EL34s with the drop read across each half-primary: 2.05 V and 1.98 V over 60 Ω at 450 V.
    {
        MainWindow window;
        BenchSession& bench = window.session();
        bench.setTube(QStringLiteral("EL34"));
        bench.setMethod(OtWindingDrop);
        bench.setOtDropDirect(true);
        bench.setPlateV(450);
        const double drops[] = {2.05, 1.98};
        for (int i = 0; i < 2; ++i)
            cards(window)[i]->setMeasurements(drops[i], 60);
        saveWidget(&window, out, QStringLiteral("window_ot_drop_direct.png"), 800);
    }
    // Two 6L6GCs on measured 1 Ω resistors of their own, with their screen currents subtracted.
    {
        MainWindow window;
        BenchSession& bench = window.session();
        bench.setTube(QStringLiteral("6L6GC"));
        bench.setMethod(SenseResistor);
        bench.setPlateV(400);
        bench.setSenseRPerTube(true);
        bench.setSubtractScreen(true);
        bench.setScreenMeasured(true);
        const double mv[] = {50.6, 47.2};
        const double ohms[] = {1.012, 0.988};
        const double screenV[] = {2.35, 2.1};
        for (int i = 0; i < 2; ++i) {
            cards(window)[i]->setMeasurements(mv[i], ohms[i]);
            bench.setScreenDropV(i, screenV[i]);
            bench.setScreenOhms(i, 470);
        }
        saveWidget(&window, out, QStringLiteral("window_own_sense_and_screen.png"), 800);
    }
}

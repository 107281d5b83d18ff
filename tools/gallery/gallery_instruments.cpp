// The bias instruments: the gauge at several readings and windows, and a tube card in every status.
#include "gallery.h"

#include "bench/benchsession.h"
#include "bias/gaugewidget.h"
#include "bias/tubecardwidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>
#include <iterator>

// A dark host like the bench window's card area, so the pictures show the theme's real contrast.
static QWidget* makeHost()
{
    auto* host = new QWidget;
    host->setObjectName(QStringLiteral("galleryHost"));
    host->setStyleSheet(QStringLiteral("#galleryHost { background-color: #191713; }"));
    host->setAttribute(Qt::WA_StyledBackground);
    return host;
}

GALLERY_PAGE(gauges)
{
    struct Reading {
        double pct;
        double low;
        double high;
    };
    const Reading readings[] = {{0, 60, 70},   {40, 60, 70},  {65, 60, 70},  {85, 60, 70},
                                {115, 60, 70}, {150, 60, 70}, {92, 85, 100}, {45, 20, 75}};

    QWidget* host = makeHost();
    auto* grid = new QGridLayout(host);
    grid->setSpacing(12);
    int i = 0;
    for (const Reading& r : readings) {
        auto* gauge = new GaugeWidget(host);
        gauge->setFixedSize(gauge->sizeHint());
        gauge->setWindow(r.low, r.high);
        gauge->setValue(r.pct);
        auto* caption =
            new QLabel(QStringLiteral("%1 %  ·  window %2-%3").arg(r.pct).arg(r.low).arg(r.high), host);
        caption->setAlignment(Qt::AlignCenter);
        grid->addWidget(gauge, (i / 4) * 2, i % 4);
        grid->addWidget(caption, (i / 4) * 2 + 1, i % 4);
        ++i;
    }
    host->show();
    settle(100);
    host->resize(host->sizeHint());
    saveWidget(host, out, QStringLiteral("gauges.png"), 600);
    delete host;

    // Proportions hold when the widget is wide and short, small, or large.
    QWidget* sizes = makeHost();
    auto* row = new QHBoxLayout(sizes);
    for (const QSize& s : {QSize(150, 105), QSize(360, 120), QSize(300, 260)}) {
        auto* gauge = new GaugeWidget(sizes);
        gauge->setFixedSize(s);
        gauge->setValue(66);
        row->addWidget(gauge);
    }
    saveWidget(sizes, out, QStringLiteral("gauge_sizes.png"), 600);
    delete sizes;
}

GALLERY_PAGE(tubecards)
{
    QWidget* host = makeHost();
    auto* row = new QHBoxLayout(host);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);

    // 6L6GC at 400 V in the fixed-bias window: 40 mA cold, 50 ideal, 60 warm, 80 over maximum.
    const double readings[] = {0, 40, 50, 60, 80};
    const int tubes = int(std::size(readings)) + 1;
    BenchSession probed;
    probed.setTube(QStringLiteral("6L6GC"));
    probed.setTubeCount(tubes);
    probed.setPlateV(400);
    for (int index = 0; index < int(std::size(readings)); ++index) {
        auto* card = new TubeCardWidget(probed, index, host);
        card->setMeasurements(readings[index], 0);
        row->addWidget(card);
    }

    // Transformer-drop method from B+ and plate: a drop of 1 V, whose precision the warning names.
    BenchSession dropped;
    dropped.setTube(QStringLiteral("6L6GC"));
    dropped.setMethod(OtWindingDrop);
    dropped.setTubeCount(tubes);
    dropped.setBPlusV(450);
    auto* warned = new TubeCardWidget(dropped, tubes - 1, host);
    warned->setMeasurements(449, 20);
    row->addWidget(warned);

    // Size the row by the styled fonts, which apply only once it is shown.
    host->show();
    settle(100);
    host->resize(host->sizeHint());
    saveWidget(host, out, QStringLiteral("tubecards.png"), 700);

    delete host;
}

// The preamp designer with the Koren model and the plate-curve view: the classic 12AX7 stage
// bypassed and unbypassed, and a 12AT7 stage; each also drawn alone, as a report would print it.
#include "gallery.h"

#include "preamp/platecurvepainter.h"
#include "preamp/platecurvewidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QMainWindow>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <memory>

static void savePicture(const PreampView& view, const QDir& out, const QString& name)
{
    const TriodeStageInput input = view.selectedStage()->stageInput();
    const PlateCurveScene scene = plateCurveScene(input);
    QImage image(1200, 560, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        paintPlateCurves(painter, QRectF(image.rect()), scene);
    }
    const QString png = out.filePath(name + QStringLiteral(".png"));
    if (image.save(png, "PNG"))
        std::printf("  %s\n", qPrintable(png));

    const QString pdf = out.filePath(name + QStringLiteral(".pdf"));
    QPdfWriter writer(pdf);
    writer.setResolution(150);
    writer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter(&writer);
    paintPlateCurves(painter, QRectF(0, 0, writer.width(), writer.height()), scene);
    std::printf("  %s\n", qPrintable(pdf));
}

GALLERY_PAGE(platecurves)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    struct Shot {
        const char* file;
        QJsonArray chain;
        int selected;
    };
    const QJsonObject classic{{"tube", "12AX7 / ECC83 / 7025"}, {"model", "Koren"}};
    const QJsonObject unbypassed{{"tube", "12AX7 / ECC83 / 7025"}, {"bypassUF", 0}, {"model", "Koren"}};
    const QJsonObject at7{{"tube", "12AT7 / ECC81"}, {"plateRK", 47}, {"cathodeR", 820}, {"model", "Koren"}};
    const Shot shots[] = {
        {"preamp_koren_12ax7_bypassed", QJsonArray{classic, classic}, 0},
        {"preamp_koren_12ax7_unbypassed", QJsonArray{unbypassed, classic}, 0},
        {"preamp_koren_12at7", QJsonArray{classic, at7}, 1},
    };
    for (const Shot& shot : shots) {
        auto host = std::make_unique<QMainWindow>();
        auto* view = new PreampView(host.get());
        host->setCentralWidget(view);
        host->resize(1180, 1180);
        view->loadStages(shot.chain);
        view->selectStage(view->stageCards().at(shot.selected));
        saveWidget(host.get(), out, QString::fromLatin1(shot.file) + QStringLiteral(".png"), 500);
        savePicture(*view, out, QString::fromLatin1(shot.file) + QStringLiteral("_curves"));
    }
}

// The preamp stage designer: at start, with a full chain of eight stages, and with a stage that
// cannot be solved next to one that carries warnings.
#include "gallery.h"

#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QMainWindow>
#include <memory>

// A themed window around the designer, as on the bench window's "PREAMP STAGES" tab.
static std::unique_ptr<QMainWindow> preampHost(PreampView** view, const QSize& size)
{
    auto host = std::make_unique<QMainWindow>();
    *view = new PreampView(host.get());
    host->setCentralWidget(*view);
    host->resize(size);
    return host;
}

GALLERY_PAGE(preamp)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    {
        PreampView* view = nullptr;
        auto host = preampHost(&view, QSize(1180, 760));
        saveWidget(host.get(), out, "preamp_start.png");
    }
    {
        PreampView* view = nullptr;
        auto host = preampHost(&view, QSize(1600, 760));
        QJsonArray chain;
        for (int i = 0; i < 8; ++i) {
            chain.append(QJsonObject{{"tube", triodeCatalogue().at(i).name},
                                     {"bPlus", 250 + 20 * (i % 3)},
                                     {"plateRK", i % 2 ? 220 : 100},
                                     {"cathodeR", 1500 + 300 * i},
                                     {"bypassUF", i % 3 == 2 ? 0 : 25},
                                     {"nextGridRK", i == 7 ? 0 : 1000}});
        }
        view->loadStages(chain);
        saveWidget(host.get(), out, "preamp_eight_stages.png", 600);
    }
    {
        PreampView* view = nullptr;
        auto host = preampHost(&view, QSize(1180, 760));
        // V1b starves at 50 V through 1 MΩ with 100 kΩ of bias; V2a runs a 12AT7 far past its ratings.
        const QJsonArray chain = {
            QJsonObject{{"tube", "12AX7 / ECC83 / 7025"}},
            QJsonObject{
                {"tube", "12AX7 / ECC83 / 7025"}, {"bPlus", 50}, {"plateRK", 1000}, {"cathodeR", 100000}},
            QJsonObject{{"tube", "12AT7 / ECC81"}, {"bPlus", 500}, {"plateRK", 1}, {"cathodeR", 100}},
        };
        view->loadStages(chain);
        saveWidget(host.get(), out, "preamp_failing_stage.png", 600);
    }
}

// The "MATCHING" tab with a box of 16 tubes matched into quads, and the label sheet it prints,
// rendered to PNG with pdftoppm.
#include "gallery.h"

#include "bench/mainwindow.h"
#include "matching/matchingview.h"
#include "matching/matchingviewmodel.h"

#include <QProcess>
#include <QTabWidget>

#include <cstdio>

GALLERY_PAGE(matching)
{
    MainWindow window;
    window.resize(1240, 860);
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("mainTabs"));
    auto* view = window.findChild<MatchingView*>(QStringLiteral("matchingView"));
    // The page is the scroll area that holds the view.
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(view))
            tabs->setCurrentIndex(i);
    }

    MatchBatch batch;
    batch.condition = {QStringLiteral("6L6GC"), 400, 400, -45, -43};
    const double currents[] = {40.1, 44.8, 40.6, 45.2, 39.9, 44.9, 52.3, 40.3,
                               45.6, 48.0, 48.4, 47.7, 42.1, 42.6, 41.8, 43.0};
    const double gm[] = {5.52, 5.61, 5.49, 5.70, 5.45, 5.66, 6.10, 5.50,
                         5.72, 5.90, 5.95, 5.88, 5.58, 5.60, 5.55, 5.63};
    for (int i = 0; i < 16; ++i) {
        MatchTube tube;
        tube.label = QStringLiteral("B%1").arg(i + 1);
        tube.brand = i % 3 ? QStringLiteral("JJ") : QStringLiteral("Tung-Sol");
        tube.type = QStringLiteral("6L6GC");
        tube.currentMa = currents[i];
        tube.gmMaPerV = gm[i];
        batch.tubes.append(tube);
    }
    view->setBatch(batch);
    view->findSets();
    saveWidget(&window, out, QStringLiteral("matching_16_quads.png"));

    const QString pdf = out.filePath(QStringLiteral("matching_labels.pdf"));
    if (!writeMatchLabels(pdf, view->model()->batch(), view->model()->outcome())) {
        std::fprintf(stderr, "matching: could not write %s\n", qPrintable(pdf));
        return;
    }
    const int rc =
        QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"),
                                                       QStringLiteral("60"), QStringLiteral("-singlefile"),
                                                       pdf, out.filePath(QStringLiteral("matching_labels"))});
    if (rc != 0)
        std::fprintf(stderr, "matching: pdftoppm failed (%d)\n", rc);
}

// The Meter panel in the window: the tool row opens it, the card it reads is marked, a click on a
// card reads that card, and Space commits the value at once. The panel hands what it commits to
// the bench model (benchmeterlink); the cards show it because they show the model.
#include "bench/mainwindow.h"
#include "bias/tubecardwidget.h"
#include "meter/benchmeterlink.h"
#include "meter/meterpanel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>

void MainWindow::openMeterPanel()
{
    if (!meter) {
        meter = new MeterPanel(this); // a tool window of its own, kept while the window lives
        linkMeterToBench(*meter, bench);
        connect(meter, &MeterPanel::tubeBeingReadChanged, this, &MainWindow::markCardBeingRead);
        meter->installEventFilter(this);
        // Space in the window commits too; a text field or spin box with the focus keeps Space
        // for typing (it takes the key before any shortcut does).
        meterCommitKey = new QShortcut(QKeySequence(Qt::Key_Space), this);
        meterCommitKey->setContext(Qt::WindowShortcut);
        meterCommitKey->setEnabled(false);
        connect(meterCommitKey, &QShortcut::activated, meter, &MeterPanel::commitNow);
        // Beside the window when the screen has room, else inside its right edge, over the
        // datasheet rather than the cards; on the screen either way.
        meter->resize(meter->sizeHint().expandedTo(meter->minimumSizeHint()));
        const QRect frame = frameGeometry();
        const QRect room = screen()->availableGeometry();
        QPoint at(frame.right() + 8, frame.top() + 120);
        if (at.x() + meter->width() > room.right())
            at.setX(frame.right() - meter->width() - 8);
        at.setX(qBound(room.left(), at.x(), room.right() - meter->width()));
        at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() - meter->height())));
        meter->move(at);
    }
    meter->show();
    meter->raise();
    meter->activateWindow();
    markCardBeingRead();
}

void MainWindow::markCardBeingRead()
{
    const int tube = meter && meter->isVisible() ? meter->tubeBeingRead() : -1;
    for (TubeCardWidget* card : std::as_const(cards)) {
        const bool read = card->index() == tube;
        if (card->property("meterTarget").toBool() == read)
            continue;
        // The style sheet's [meterTarget="true"] rules only see the new value after a re-polish,
        // of the card and of the title they colour.
        card->setProperty("meterTarget", read);
        style()->unpolish(card);
        style()->polish(card);
        if (auto* title = card->findChild<QWidget*>(QStringLiteral("tubeTitle"))) {
            style()->unpolish(title);
            style()->polish(title);
        }
        card->update();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == faceplate)
            reflowHeader();
        else if (cardScroll && watched == cardScroll->viewport())
            placeCards();
    }
    if (watched == meter && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        meterCommitKey->setEnabled(event->type() == QEvent::Show);
        markCardBeingRead(); // a closed panel reads no card
    } else if (event->type() == QEvent::MouseButtonPress && meter && meter->isVisible()) {
        auto* card = qobject_cast<TubeCardWidget*>(watched);
        if (card && cards.contains(card) && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            meter->selectTube(card->index());
    }
    return QMainWindow::eventFilter(watched, event);
}

// The bench window on the screen it opens on: its size and place, remembered between runs; the
// header giving up its tagline where the row is narrow; the card grid taking as many cards in a row
// as its area has room for.
#include "bench/mainwindow.h"

#include "bench/windowfit.h"
#include "bias/tubecardwidget.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QWindow>

namespace {

const QString geometryKey = QStringLiteral("benchWindow/geometry");
const QString maximizedKey = QStringLiteral("benchWindow/maximized");

// What the window manager puts around the window: measured where the platform knows it before the
// window is shown, otherwise a title bar and thin borders as desktops draw them.
QMargins expectedFrame(const QWindow* handle)
{
    const QMargins measured = handle ? handle->frameMargins() : QMargins();
    if (!measured.isNull())
        return measured;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return QMargins();
    return QMargins(4, 32, 4, 4);
}

} // namespace

void MainWindow::placeOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        resize(benchDesignSize);
        return;
    }
    // A native window of its own tells the frame the platform gives it.
    create();
    const QMargins frame = expectedFrame(windowHandle());
    const QRect available = screen->availableGeometry();
    // The room the window itself has once the window manager has framed it.
    const QRect room = available.marginsRemoved(frame);
    const QSize minimum = minimumSizeHint().expandedTo(minimumSize());

    // Where the window was left, but never past the screen it opens on now (a laptop after a
    // monitor).
    QSettings settings;
    const QRect saved = settings.value(geometryKey).toRect();
    if (saved.isValid()) {
        setGeometry(fitInside(QRect(saved.topLeft(), saved.size().expandedTo(minimum)), room));
        if (settings.value(maximizedKey).toBool())
            setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    resize(benchWindowSize(room.size(), minimum));
}

void MainWindow::rememberGeometry() const
{
    QSettings settings;
    // A maximized window comes back maximized over the size it had before.
    settings.setValue(geometryKey, isMaximized() ? normalGeometry() : geometry());
    settings.setValue(maximizedKey, isMaximized());
}

void MainWindow::reflowHeader()
{
    if (!faceplate || !tagline)
        return;
    QLayout* row = faceplate->layout();
    // The width the row needs with the tagline at its full length.
    const int taglineRoom = tagline->sizeHint().width() + row->spacing();
    const int wide = row->sizeHint().width() + (tagline->isHidden() ? taglineRoom : 0);
    const bool fits = faceplate->width() >= wide;
    if (tagline->isHidden() == fits)
        tagline->setVisible(fits);
}

void MainWindow::placeCards()
{
    if (cards.isEmpty() || !cardScroll)
        return;
    const QMargins margins = cardGrid->contentsMargins();
    const int spacing = cardGrid->horizontalSpacing();
    const int rowWidth = cardScroll->viewport()->width() - margins.left() - margins.right();
    // The narrowest a card may be: what its contents need and the style's minimum, as a new card
    // has them before the grid gives it a width of its own.
    const int cardMinWidth = std::max(cards.first()->minimumSizeHint().width(), tubeCardMinimumWidth);
    const int columns = cardGridColumns(rowWidth, cardMinWidth, spacing, int(cards.size()));
    // Every card of the grid gets the same width, so that the cards of a row line up exactly.
    const int width = std::max(cardMinWidth, (rowWidth - spacing * (columns - 1)) / columns);
    if (width != placedCardWidth || columns != placedColumns) {
        placedCardWidth = width;
        for (TubeCardWidget* card : std::as_const(cards))
            card->setPreferredWidth(width);
    }
    if (columns == placedColumns && cardGrid->count() == cards.size())
        return;
    placedColumns = columns;

    for (TubeCardWidget* card : std::as_const(cards))
        cardGrid->removeWidget(card);
    for (int i = 0; i < cards.size(); ++i)
        cardGrid->addWidget(cards[i], i / columns, i % columns, Qt::AlignLeft | Qt::AlignTop);
    // The cards keep their height and gather at the top, the row below the last one taking the slack.
    const int cardRows = int(cards.size() - 1) / columns + 1;
    for (int row = 0; row < cardGrid->rowCount(); ++row)
        cardGrid->setRowStretch(row, 0);
    cardGrid->setRowStretch(cardRows, 1);
    for (int column = 0; column < cardGrid->columnCount(); ++column)
        cardGrid->setColumnStretch(column, 0);
    cardGrid->setColumnStretch(columns, 1);
}

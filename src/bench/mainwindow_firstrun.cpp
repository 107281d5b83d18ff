// The one-time welcome dialog after a user's very first start, and the donation page that it and
// the header's "Donate/Support" button open.
#include "bench/mainwindow.h"

#include "app/buildconfig.h"
#include "app/clock.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString promptShownKey = QStringLiteral("firstRunDonatePromptShown");

} // namespace

void MainWindow::scheduleFirstRunPrompt()
{
    QSettings settings;
    if (settings.value(promptShownKey, false).toBool())
        return;
    // Written, and flushed to disk, before anything shows: quitting within the delay, or a crash
    // while the dialog is open, must not bring the dialog back at the next start.
    settings.setValue(promptShownKey, true);
    settings.sync();
    // The window is the timer's context: a window closed and destroyed early takes the prompt along.
    Clock::singleShot(600, this, [this] { showDonatePrompt(); });
}

void MainWindow::showDonatePrompt()
{
    // On the heap and deleted when it closes: should the window go away while the dialog runs, the
    // dialog goes with it instead of being destroyed a second time by a stack frame.
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Welcome to Ambertrace"));
    dialog->setObjectName(QStringLiteral("donateDialog"));
    dialog->setMinimumWidth(430);

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(26, 22, 26, 20);
    layout->setSpacing(12);

    auto* title = new QLabel(QStringLiteral("Thanks for using Ambertrace!"), dialog);
    title->setObjectName(QStringLiteral("donateTitle"));
    layout->addWidget(title);

    auto* body = new QLabel(
        QStringLiteral(
            "Ambertrace is free software from Quorlen, built to make biasing power tubes safer and "
            "easier.\n\nIf it saves you time on the bench (or saves a set of output tubes), please "
            "consider supporting continued development with a small donation. It keeps updates, new "
            "tube data, and amp presets coming."),
        dialog);
    body->setObjectName(QStringLiteral("donateBody"));
    body->setWordWrap(true);
    layout->addWidget(body);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    buttons->addStretch(1);
    // Enter only closes the dialog: opening a web page takes a deliberate click.
    auto* later = new QPushButton(QStringLiteral("Maybe Later"), dialog);
    later->setDefault(true);
    connect(later, &QPushButton::clicked, dialog, &QDialog::reject);
    buttons->addWidget(later);
    auto* donate = new QPushButton(QStringLiteral("Donate/Support"), dialog);
    donate->setObjectName(QStringLiteral("donateBtn"));
    donate->setCursor(Qt::PointingHandCursor);
    donate->setAutoDefault(false);
    connect(donate, &QPushButton::clicked, dialog, [this, dialog] {
        openDonationPage();
        dialog->accept();
    });
    buttons->addWidget(donate);

    // Qt sizes a new window for its size hint and then narrows it to fit a small screen, which leaves
    // the wrapped text less height than it needs at the narrower width; ask again at the final width.
    dialog->ensurePolished();
    dialog->adjustSize();
    dialog->resize(dialog->width(), std::max(dialog->height(), dialog->heightForWidth(dialog->width())));

    dialog->exec();
}

void MainWindow::openDonationPage()
{
    // Without a browser nothing happens, and nothing needs to be said.
    QDesktopServices::openUrl(QUrl(QStringLiteral(AMBERTRACE_DONATION_URL)));
}

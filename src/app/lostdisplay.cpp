#include "app/lostdisplay.h"

#include <QCoreApplication>
#include <QThread>

namespace {
LostDisplayGuard* activeGuard = nullptr;
} // namespace

LostDisplayGuard::LostDisplayGuard(std::function<void()> action) : lostDisplayAction(std::move(action))
{
    activeGuard = this;
    previousHandler = qInstallMessageHandler(&LostDisplayGuard::watchMessages);
}

LostDisplayGuard::~LostDisplayGuard()
{
    qInstallMessageHandler(previousHandler);
    activeGuard = nullptr;
}

void LostDisplayGuard::watchMessages(QtMsgType type, const QMessageLogContext& context,
                                     const QString& message)
{
    LostDisplayGuard* guard = activeGuard;
    if (!guard)
        return;
    // Passed on first, so the reason is on the terminal even if the action fails.
    if (guard->previousHandler)
        guard->previousHandler(type, context, message);
    if (guard->acted || !guard->lostDisplayAction || !isLostDisplayMessage(message))
        return;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    // Set before the action: a message it prints must not start it again.
    guard->acted = true;
    guard->lostDisplayAction();
}

bool LostDisplayGuard::isLostDisplayMessage(const QString& message)
{
    // The texts of Qt 6's xcb and Wayland plugins.
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

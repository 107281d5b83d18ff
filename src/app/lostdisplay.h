#pragma once

// When the connection to the display dies (the X server or the Wayland compositor went away, an ssh
// tunnel closed), Qt's platform plugin says so and ends the process on the spot: the X11 plugin with
// exit(), the Wayland one with qFatal(). No close event comes and exec() never returns. This watches
// Qt's messages for that news and runs an action first, on the GUI thread, in the plugin's ordinary
// call (not in a signal handler), while every object is still alive. Every message still goes on to
// the handler that was installed before.
#include <QString>
#include <QtGlobal>
#include <functional>

class LostDisplayGuard
{
public:
    // `action` runs at most once, for the first such message.
    explicit LostDisplayGuard(std::function<void()> action);
    ~LostDisplayGuard();
    LostDisplayGuard(const LostDisplayGuard&) = delete;
    LostDisplayGuard& operator=(const LostDisplayGuard&) = delete;

    // True for the messages with which Qt's platform plugins give up on a lost display.
    static bool isLostDisplayMessage(const QString& message);

private:
    static void watchMessages(QtMsgType type, const QMessageLogContext& context, const QString& message);

    std::function<void()> lostDisplayAction;
    QtMessageHandler previousHandler = nullptr;
    bool acted = false;
};

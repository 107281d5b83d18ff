#pragma once

// The anonymous usage heartbeat: one small POST per program start, unless the user opted out by
// setting AMBERTRACE_NO_TELEMETRY to "1". Fire and forget; the answer is never
// looked at.
#include <QByteArray>
#include <QUrl>

// The most of the heartbeat's answer that is read (and dropped), in bytes; a longer answer ends
// the request.
inline constexpr qint64 maxHeartbeatReplyBytes = 4 * 1024;

// True exactly when AMBERTRACE_NO_TELEMETRY is the one-character string "1".
bool heartbeatOptedOut();

// The compact JSON body: {"app":"Ambertrace","app_version":<application version>,"os":"Linux"}.
QByteArray heartbeatBody();

// Posts the heartbeat to the configured service. The network access manager is owned by the
// application object and deleted, with the reply, once the reply finishes.
void sendUsageHeartbeat();

// Same, against another service base address and with another transfer timeout (tests).
void sendUsageHeartbeat(const QUrl& serviceBase, int transferTimeoutMs);

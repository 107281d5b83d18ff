#pragma once

// Keeps one reply of the web service within bounds while it runs: what arrives is read at once, up to
// a size limit (counted after decompression, which Qt does on the fly); a larger answer, announced or
// not, ends the request. The whole request has one deadline from its start on the program's clock,
// so an answer dripped slowly ends as surely as a silent one. Redirects are followed only to the same
// host, over https (or http when the request itself went over http).
#include <QByteArray>
#include <QObject>
#include <QUrl>

class QNetworkReply;

class BoundedReply : public QObject
{
    Q_OBJECT

public:
    // Watches `reply` (and becomes its child). With `keepBody` false what arrives is counted and
    // dropped: the heartbeat never looks at its answer.
    static BoundedReply* watch(QNetworkReply* reply, qint64 maxBodyBytes, int deadlineMs, bool keepBody);
    // The watcher of `reply`, null when there is none.
    static BoundedReply* of(const QNetworkReply* reply);

    // What was read, at most maxBodyBytes; empty when the body was not kept.
    const QByteArray& body() const { return received; }
    // True once the answer went past its limit and the request was ended for it.
    bool overflowed() const { return tooLarge; }

private:
    BoundedReply(QNetworkReply* reply, qint64 maxBodyBytes, bool keepBody);
    void readArrived();
    void checkAnnouncedLength();
    void checkRedirect(const QUrl& target);
    void cutOff();

    QNetworkReply* reply;
    QUrl requestUrl;
    qint64 maxBytes;
    bool keep;
    qint64 count = 0;
    bool tooLarge = false;
    QByteArray received;
};

// The most that is taken from the reply at once, in bytes.
inline constexpr qint64 serviceReadBufferBytes = 64 * 1024;

// True when a redirect from `from` to `target` may be followed: same host (letter case aside), and
// https, or http when `from` is http.
bool isAllowedServiceRedirect(const QUrl& from, const QUrl& target);

// The body of an answer of the update service. Whatever it holds, an offer is made only for a
// numerically newer version, exactly as announced, with a web link.
#include "fuzzcheck.h"
#include "online/updatecheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = fuzzBytes(data, size);
    const QString ownVersion = QStringLiteral("1.0.0");
    const UpdateOffer offer = evaluateUpdateReply(body, ownVersion);
    if (offer.isEmpty())
        return 0;

    FUZZ_EXPECT(body.size() <= maxUpdateReplyBytes, "an oversized answer must not offer anything");
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    const QJsonObject platform = root.value(QStringLiteral("linux")).toObject();
    FUZZ_EXPECT(offer.version == platform.value(QStringLiteral("version")).toString(),
                "the version must be shown exactly as announced");
    const QVersionNumber announced = QVersionNumber::fromString(offer.version);
    FUZZ_EXPECT(!announced.isNull(), "an offered version must start with a number");
    FUZZ_EXPECT(QVersionNumber::compare(announced, QVersionNumber::fromString(ownVersion)) > 0,
                "only a newer version may be offered");
    const QString scheme = offer.url.scheme();
    FUZZ_EXPECT(offer.url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http")),
                "only a web page may be opened");
    FUZZ_EXPECT(!offer.url.host().isEmpty(), "an offered link must name a host");
    FUZZ_EXPECT(offer.url.userInfo().isEmpty(), "an offered link must carry no user name or password");
    FUZZ_EXPECT(isVettedDownloadUrl(offer.url), "only a vetted link may be offered");
    FUZZ_EXPECT(offer.version.size() <= maxAnnouncedVersionLength, "an offered version must be short");
    return 0;
}

#include "bias/biasstatus.h"

namespace {

BiasStatusLook look(const char* badge, const char* name, QRgb glow, const char* reportText,
                    const char* reportClass, QRgb reportColor, QColor gauge)
{
    BiasStatusLook l;
    l.badgeText = QString::fromUtf8(badge);
    l.statusName = QString::fromUtf8(name);
    l.glowColor = QColor(glow);
    l.reportText = QString::fromUtf8(reportText);
    l.reportClass = QString::fromUtf8(reportClass);
    l.reportColor = QColor(reportColor);
    l.gaugeColor = gauge;
    return l;
}

struct Looks {
    BiasStatusLook noReading, cold, ideal, warm, overMax;
};

const Looks& looks()
{
    // clang-format off
    // A row without a reading never reaches the report's status cell; its class is the report's
    // fallback for any text it does not know.
    static const Looks rows = {
        //     badge         status   glow      report        class    report    gauge zone
        look("NO READING", "off",   0x46423c, "NO READING", "cold",  0x2b5fa8, QColor()),
        look("COLD",       "cold",  0x5f91d2, "COLD",       "cold",  0x2b5fa8, QColor(0x5a8cc8)),
        look("IDEAL",      "ideal", 0x78c86e, "IDEAL",      "ideal", 0x1d7a2c, QColor(0x50a55a)),
        look("WARM",       "warm",  0xe1a53c, "WARM",       "warm",  0xb07514, QColor(0xe1a53c)),
        look("OVER MAX!",  "hot",   0xd23c2d, "OVER MAX",   "hot",   0xb02318, QColor(0xc8372d)),
    };
    // clang-format on
    return rows;
}

} // namespace

const BiasStatusLook& biasStatusLook(BiasStatus status)
{
    const Looks& rows = looks();
    switch (status) {
    case BiasStatus::Cold:
        return rows.cold;
    case BiasStatus::Ideal:
        return rows.ideal;
    case BiasStatus::Warm:
        return rows.warm;
    case BiasStatus::OverMax:
        return rows.overMax;
    case BiasStatus::NoReading:
        break;
    }
    return rows.noReading;
}

BiasStatus biasStatusFromName(const QString& statusName)
{
    for (BiasStatus status : {BiasStatus::Cold, BiasStatus::Ideal, BiasStatus::Warm, BiasStatus::OverMax}) {
        if (biasStatusLook(status).statusName == statusName)
            return status;
    }
    return BiasStatus::NoReading;
}

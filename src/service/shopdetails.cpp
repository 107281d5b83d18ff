#include "service/shopdetails.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QSettings>

namespace {

const char* const keys[] = {"shop/name",     "shop/address",    "shop/phone",   "shop/email",
                            "shop/logoPath", "shop/technician", "shop/warranty"};

QString* fields(ShopDetails& shop, int i)
{
    QString* all[] = {&shop.name,     &shop.address,    &shop.phone,   &shop.email,
                      &shop.logoPath, &shop.technician, &shop.warranty};
    return all[i];
}

constexpr int fieldCount = int(sizeof(keys) / sizeof(keys[0]));

} // namespace

bool ShopDetails::isEmpty() const
{
    return *this == ShopDetails();
}

bool ShopDetails::operator==(const ShopDetails& o) const
{
    return name == o.name && address == o.address && phone == o.phone && email == o.email &&
           logoPath == o.logoPath && technician == o.technician && warranty == o.warranty;
}

ShopDetails loadShopDetails()
{
    QSettings settings;
    ShopDetails shop;
    for (int i = 0; i < fieldCount; ++i)
        *fields(shop, i) = settings.value(QLatin1String(keys[i])).toString();
    return shop;
}

void saveShopDetails(const ShopDetails& shop)
{
    QSettings settings;
    ShopDetails copy = shop;
    for (int i = 0; i < fieldCount; ++i) {
        if (fields(copy, i)->isEmpty())
            settings.remove(QLatin1String(keys[i]));
        else
            settings.setValue(QLatin1String(keys[i]), *fields(copy, i));
    }
}

QPageSize::PageSizeId localePageSize(const QLocale& locale)
{
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4;
}

QPageSize::PageSizeId reportPageSize()
{
    const QString value = QSettings().value(QStringLiteral("report/pageSize")).toString();
    if (value == QLatin1String("A4"))
        return QPageSize::A4;
    if (value == QLatin1String("Letter"))
        return QPageSize::Letter;
    return localePageSize(QLocale::system());
}

void setReportPageSize(QPageSize::PageSizeId id)
{
    QSettings().setValue(QStringLiteral("report/pageSize"),
                         id == QPageSize::Letter ? QStringLiteral("Letter") : QStringLiteral("A4"));
}

QImage loadShopLogo(const QString& path, int maxSide)
{
    if (path.isEmpty())
        return QImage();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > 8 * 1024 * 1024)
        return QImage();
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 4000 || size.height() > 4000)
        return QImage();
    QImage image = reader.read();
    if (image.isNull())
        return QImage();
    if (image.width() > maxSide || image.height() > maxSide)
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

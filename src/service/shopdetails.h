#pragma once

// The shop's details, given once in Preferences and printed at the head of every report, and the
// report's paper size. Kept in the per-user settings under "shop/" and "report/"; nothing set reads
// as empty details and the locale's paper.
#include <QPageSize>
#include <QString>

class QImage;
class QLocale;

struct ShopDetails {
    QString name;
    QString address; // may run over several lines
    QString phone;
    QString email;
    QString logoPath;   // an image file; empty for none
    QString technician; // who a new job is signed by unless the finish dialog says otherwise
    QString warranty;   // the warranty line under the readings

    bool isEmpty() const;
    bool operator==(const ShopDetails& other) const;
};

ShopDetails loadShopDetails();
void saveShopDetails(const ShopDetails& shop);

// The paper of a locale: US Letter where the locale measures in US units, A4 elsewhere.
QPageSize::PageSizeId localePageSize(const QLocale& locale);
// A4 or Letter as the settings say ("report/pageSize": "A4" or "Letter"); the system locale's paper
// when nothing, or anything else, is set.
QPageSize::PageSizeId reportPageSize();
void setReportPageSize(QPageSize::PageSizeId id);

// The logo as the report prints it: the image file read when it is a picture of sensible size (at
// most 4000 x 4000 pixels and 8 MB), scaled down to at most `maxSide` pixels; a null image otherwise.
QImage loadShopLogo(const QString& path, int maxSide = 600);

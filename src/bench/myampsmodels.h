#pragma once

// The models behind "MY AMPS": the list of the header's combo box and the results of its search
// field. Both hold the listing as it was last read (one implicitly shared copy), so a shop's ten
// thousand amps cost no widget item each, and a view paints only the rows it shows.
#include "bench/profilestore.h"

#include <QAbstractListModel>
#include <QList>
#include <QStringList>
#include <QVector>

// Item data roles of both models: Qt::UserRole is the profile's name (the combo box's item data,
// as it always was), profileFileRole the file the entry loads and deletes.
inline constexpr int profileFileRole = Qt::UserRole + 1;

// The placeholder "— my saved amps —" (no item data), then one row per saved profile in list order,
// showing its label.
class MyAmpsListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void setListings(const QList<ProfileListing>& listings);
    const QList<ProfileListing>& listings() const { return rows; }
    // The row of the entry of this file, -1 when none.
    int rowOfFile(const QString& fileName) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<ProfileListing> rows;
};

// The amps whose name, customer, make, model or serial number hold every word of the query, without
// regard to letter case: the recently used ones first (newest first), then the others in list order.
// An empty query gives the recently used amps alone.
class AmpSearchModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void setListings(const QList<ProfileListing>& listings);
    // Files of the recently used amps, newest first (recentProfileFiles()).
    void setRecent(const QStringList& fileNames);
    void setQuery(const QString& text);
    QString query() const { return typed; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The label, then customer, make and model, and serial where there are any, for display.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void search();
    void fold();

    QList<ProfileListing> listings;
    QList<ProfileListing> foldedListings; // what `haystacks` was made from
    QVector<QString> haystacks;           // each listing's searched texts, case-folded, one per line
    QStringList recent;
    QString typed;
    QVector<int> found; // rows of `listings`
};

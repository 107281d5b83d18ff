#include "bench/myampsmodels.h"

#include <QHash>

namespace {

const QString placeholderText = QStringLiteral("— my saved amps —");

} // namespace

void MyAmpsListModel::setListings(const QList<ProfileListing>& listings)
{
    // An unchanged folder gives the very same listing: nothing to redo.
    if (listings.isSharedWith(rows) && !rows.isEmpty())
        return;
    beginResetModel();
    rows = listings;
    endResetModel();
}

int MyAmpsListModel::rowOfFile(const QString& fileName) const
{
    for (int i = 0; i < int(rows.size()); ++i)
        if (rows.at(i).entry.fileName == fileName)
            return i + 1;
    return -1;
}

int MyAmpsListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows.size()) + 1;
}

QVariant MyAmpsListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() > int(rows.size()))
        return {};
    if (index.row() == 0)
        return role == Qt::DisplayRole || role == Qt::EditRole ? QVariant(placeholderText) : QVariant();
    const ProfileEntry& entry = rows.at(index.row() - 1).entry;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.label;
    case Qt::UserRole:
        return entry.name;
    case profileFileRole:
        return entry.fileName;
    default:
        return {};
    }
}

void AmpSearchModel::setListings(const QList<ProfileListing>& newListings)
{
    if (newListings.isSharedWith(listings) && !listings.isEmpty())
        return;
    listings = newListings;
    search();
}

void AmpSearchModel::fold()
{
    // Left until the first search after a change, so a start or a save does not wait for it; only
    // the texts of entries that are new or changed since the last search are folded again.
    if (listings.isSharedWith(foldedListings) && haystacks.size() == listings.size())
        return;
    QHash<QString, int> previous;
    previous.reserve(foldedListings.size());
    for (int i = 0; i < int(foldedListings.size()); ++i)
        previous.insert(foldedListings.at(i).entry.fileName, i);
    QVector<QString> folded;
    folded.reserve(listings.size());
    for (const ProfileListing& l : std::as_const(listings)) {
        const auto it = previous.constFind(l.entry.fileName);
        if (it != previous.constEnd()) {
            const ProfileListing& old = foldedListings.at(*it);
            if (old.entry.label == l.entry.label && old.customer == l.customer && old.make == l.make &&
                old.model == l.model && old.serial == l.serial) {
                folded.append(haystacks.at(*it));
                continue;
            }
        }
        folded.append((l.entry.label + QLatin1Char('\n') + l.customer + QLatin1Char('\n') + l.make +
                       QLatin1Char('\n') + l.model + QLatin1Char('\n') + l.serial)
                          .toCaseFolded());
    }
    foldedListings = listings;
    haystacks = folded;
}

void AmpSearchModel::setRecent(const QStringList& fileNames)
{
    recent = fileNames;
    search();
}

void AmpSearchModel::setQuery(const QString& text)
{
    typed = text;
    search();
}

void AmpSearchModel::search()
{
    beginResetModel();
    found.clear();
    QHash<QString, int> rowOfFile;
    if (!recent.isEmpty()) {
        rowOfFile.reserve(listings.size());
        for (int i = 0; i < int(listings.size()); ++i)
            rowOfFile.insert(listings.at(i).entry.fileName, i);
    }
    const QStringList words = typed.simplified().toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty())
        fold();
    const auto matches = [&](int row) {
        for (const QString& word : words)
            if (!haystacks.at(row).contains(word))
                return false;
        return true;
    };
    QVector<bool> taken;
    for (const QString& fileName : recent) {
        const auto it = rowOfFile.constFind(fileName);
        if (it == rowOfFile.constEnd() || !matches(*it))
            continue;
        if (taken.isEmpty())
            taken.resize(listings.size());
        taken[*it] = true;
        found.append(*it);
    }
    if (!words.isEmpty()) {
        for (int row = 0; row < int(listings.size()); ++row)
            if ((taken.isEmpty() || !taken.at(row)) && matches(row))
                found.append(row);
    }
    endResetModel();
}

int AmpSearchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(found.size());
}

QVariant AmpSearchModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(found.size()))
        return {};
    const ProfileListing& l = listings.at(found.at(index.row()));
    switch (role) {
    case Qt::DisplayRole: {
        QStringList parts{l.entry.label};
        const QString makeModel = (l.make + QLatin1Char(' ') + l.model).trimmed();
        for (const QString& part : {l.customer, makeModel, l.serial})
            if (!part.isEmpty())
                parts.append(part);
        return parts.join(QStringLiteral("  ·  "));
    }
    case Qt::EditRole:
        return l.entry.label;
    case Qt::UserRole:
        return l.entry.name;
    case profileFileRole:
        return l.entry.fileName;
    default:
        return {};
    }
}

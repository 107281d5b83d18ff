#include "matching/matchingviewmodel.h"

#include <cmath>

namespace {

double readNumber(const QVariant& value)
{
    QString text = value.toString().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) && v > 0 && v <= 10000 ? v : 0;
}

QVariant shownNumber(double value, int decimals)
{
    return value > 0 ? QVariant(QString::number(value, 'f', decimals)) : QVariant(QString());
}

} // namespace

MatchingViewModel::MatchingViewModel(QObject* parent) : QAbstractTableModel(parent) {}

int MatchingViewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(held.tubes.size()) + 1;
}

int MatchingViewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MatchingViewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= held.tubes.size())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const MatchTube& tube = held.tubes.at(index.row());
    switch (index.column()) {
    case LabelColumn:
        return tube.label;
    case BrandColumn:
        return tube.brand;
    case TypeColumn:
        return tube.type;
    case CurrentColumn:
        return shownNumber(tube.currentMa, 2);
    case GmColumn:
        return shownNumber(tube.gmMaPerV, 2);
    case Current2Column:
        return shownNumber(tube.current2Ma, 2);
    }
    return QVariant();
}

QVariant MatchingViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section < held.tubes.size() ? QVariant(section + 1) : QVariant(QStringLiteral("+"));
    static const QStringList titles = {QStringLiteral("Label"),     QStringLiteral("Brand"),
                                       QStringLiteral("Type"),      QStringLiteral("Current (mA)"),
                                       QStringLiteral("gm (mA/V)"), QStringLiteral("Current 2 (mA)")};
    return titles.value(section);
}

Qt::ItemFlags MatchingViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

MatchTube& MatchingViewModel::tubeForEdit(int at)
{
    if (at >= held.tubes.size()) {
        const int first = int(held.tubes.size());
        beginInsertRows(QModelIndex(), first + 1, first + 1);
        MatchTube tube;
        tube.type = held.condition.tube;
        held.tubes.append(tube);
        endInsertRows();
        emit dataChanged(index(first, 0), index(first, ColumnCount - 1));
        emit headerDataChanged(Qt::Vertical, first, first + 1);
    }
    return held.tubes[at];
}

bool MatchingViewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.row() > held.tubes.size())
        return false;
    // Nothing typed into the empty row adds no tube.
    if (index.row() == held.tubes.size() && value.toString().trimmed().isEmpty())
        return false;
    MatchTube& tube = tubeForEdit(index.row());
    switch (index.column()) {
    case LabelColumn:
        tube.label = value.toString().trimmed();
        break;
    case BrandColumn:
        tube.brand = value.toString().trimmed();
        break;
    case TypeColumn:
        tube.type = value.toString().trimmed();
        break;
    case CurrentColumn:
        tube.currentMa = readNumber(value);
        break;
    case GmColumn:
        tube.gmMaPerV = readNumber(value);
        break;
    case Current2Column:
        tube.current2Ma = readNumber(value);
        break;
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

void MatchingViewModel::setBatch(const MatchBatch& batch)
{
    beginResetModel();
    held = batch;
    found = MatchOutcome();
    endResetModel();
    emit outcomeChanged();
    setCurrentRow(0);
}

void MatchingViewModel::setCondition(const MatchCondition& condition)
{
    held.condition = condition;
}

void MatchingViewModel::setChoices(int setSize, int setCount, double tolerancePct, double gmTolerancePct)
{
    held.setSize = setSize;
    held.setCount = setCount;
    held.tolerancePct = tolerancePct;
    held.gmTolerancePct = gmTolerancePct;
}

void MatchingViewModel::setCurrentRow(int at)
{
    at = std::clamp(at, 0, int(held.tubes.size()));
    if (at == row)
        return;
    row = at;
    emit currentRowChanged(row);
}

void MatchingViewModel::enterCurrent(double currentMa)
{
    setData(index(row, CurrentColumn), QString::number(currentMa, 'g', 10));
    setCurrentRow(row + 1);
}

const MatchOutcome& MatchingViewModel::findSets()
{
    found = matchBatch(held);
    emit outcomeChanged();
    return found;
}

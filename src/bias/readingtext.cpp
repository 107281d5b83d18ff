#include "bias/readingtext.h"

#include <QRegularExpression>

namespace {

QString unitOf(const ReadingField& field)
{
    return field.suffix.trimmed();
}

QString rangeText(const ReadingField& field)
{
    return QString::number(field.benchMaximum, 'f', 0) + field.suffix;
}

} // namespace

ReadingText parseReadingText(const QString& text, const ReadingField& field)
{
    ReadingText out;
    QString t = text.trimmed();
    const QString unit = unitOf(field);
    if (!unit.isEmpty() && t.endsWith(unit, Qt::CaseInsensitive))
        t = t.chopped(unit.size()).trimmed();
    if (t.isEmpty())
        return out;

    // Digits with at most one separator, either kind; a sign only to say that it is not allowed.
    static const QRegularExpression number(QStringLiteral("^([-\u2212+]?)([0-9]*)(?:[.,]([0-9]*))?$"));
    const QRegularExpressionMatch m = number.match(t);
    const QString whole = m.captured(2);
    const QString fraction = m.captured(3);
    if (!m.hasMatch() || (whole.isEmpty() && fraction.isEmpty())) {
        out.state = ReadingText::NotANumber;
        static const QRegularExpression separators(QStringLiteral("[.,]"));
        const bool grouped = t.count(separators) > 1;
        out.problem = grouped ? QStringLiteral("Not a number: use one decimal separator and no thousands "
                                               "separator")
                              : QStringLiteral("Not a number");
        return out;
    }
    if (!m.captured(1).isEmpty() && m.captured(1) != QStringLiteral("+")) {
        out.state = ReadingText::Negative;
        out.problem = QStringLiteral("A reading cannot be negative");
        return out;
    }
    const double value =
        (QStringLiteral("0") + whole + QLatin1Char('.') + fraction + QLatin1Char('0')).toDouble();
    const double held = conformToField(value, 0, field.maximum, field.decimals);
    if (value > field.benchMaximum || held > field.benchMaximum) {
        out.state = ReadingText::TooLarge;
        out.problem = QStringLiteral("Above %1: check the meter's range").arg(rangeText(field));
        return out;
    }
    out.state = ReadingText::Number;
    out.value = held;
    return out;
}

QString readingDisplayText(double value, const ReadingField& field)
{
    if (!(value > 0))
        return QString();
    return QString::number(value, 'f', field.decimals) + field.suffix;
}

QString readingPlaceholder(const ReadingField& field)
{
    const QString unit = unitOf(field);
    return unit.isEmpty() ? QStringLiteral("no reading") : unit + QStringLiteral(" · no reading");
}

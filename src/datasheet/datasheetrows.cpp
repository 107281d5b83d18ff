#include "datasheet/datasheetrows.h"

#include "catalog/tubes.h"

QString datasheetDescription(const QString& family, const QString& base)
{
    if (base.isEmpty())
        return family;
    return family + QStringLiteral("  \u00b7  ") + base;
}

QString datasheetTableHtml(const QList<DatasheetRow>& rows)
{
    QString html = QStringLiteral("<table width='100%' cellspacing='0' cellpadding='2'>");
    for (const DatasheetRow& row : rows) {
        // One multi-argument arg(): a '%' inside the label cannot be taken for the value's marker.
        html += QStringLiteral("<tr><td style='color:#a89a7e; padding-right:12px;'>%1</td>"
                               "<td style='color:#f0e7cd;' align='right'><b>%2</b></td></tr>")
                    .arg(row.label.toHtmlEscaped(), row.value.toHtmlEscaped());
    }
    html += QStringLiteral("</table>");
    return html;
}

QList<DatasheetRow> tubeDatasheetRows(const TubeSpec& tube)
{
    auto value = [](double number, int decimals, const char* unit) {
        return QString::number(number, 'f', decimals) + QLatin1String(unit);
    };

    QList<DatasheetRow> rows;
    rows.append({QStringLiteral("Max plate dissipation"), value(tube.maxPlateW, 1, " W")});
    if (tube.maxPlateV > 0.0)
        rows.append({QStringLiteral("Max plate voltage"), value(tube.maxPlateV, 0, " V")});
    if (!tube.triode && tube.maxScreenV > 0.0) {
        rows.append({QStringLiteral("Max screen voltage"), value(tube.maxScreenV, 0, " V")});
        rows.append({QStringLiteral("Max screen dissipation"), value(tube.maxScreenW, 1, " W")});
    }
    if (tube.maxCathodeMa > 0.0)
        rows.append({QStringLiteral("Max cathode current"), value(tube.maxCathodeMa, 0, " mA")});
    if (tube.heaterA > 0.0)
        rows.append({QStringLiteral("Heater current"), value(tube.heaterA, 2, " A")});
    if (tube.typicalPlateV > 0.0)
        rows.append({QStringLiteral("Typical plate voltage"), value(tube.typicalPlateV, 0, " V")});
    return rows;
}

QString tubeDatasheetHtml(const TubeSpec& tube)
{
    return datasheetTableHtml(tubeDatasheetRows(tube));
}

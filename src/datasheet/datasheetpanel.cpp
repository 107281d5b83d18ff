#include "datasheet/datasheetpanel.h"

#include "catalog/tubes.h"
#include "datasheet/datasheetrows.h"
#include "datasheet/pinoutwidget.h"

#include <QLabel>
#include <QVBoxLayout>

DatasheetPanel::DatasheetPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("datasheetPanel"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(8);

    auto* header = new QLabel(QStringLiteral("TUBE DATA"), this);
    header->setObjectName(QStringLiteral("panelHeader"));
    layout->addWidget(header);

    // Names and families are catalogue text, never markup.
    nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("datasheetName"));
    nameLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(nameLabel);

    descLabel = new QLabel(this);
    descLabel->setObjectName(QStringLiteral("datasheetDesc"));
    descLabel->setTextFormat(Qt::PlainText);
    descLabel->setWordWrap(true);
    layout->addWidget(descLabel);

    // Names from a profile file: text, never markup.
    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("datasheetNote"));
    noteLabel->setTextFormat(Qt::PlainText);
    noteLabel->setWordWrap(true);
    noteLabel->hide();
    layout->addWidget(noteLabel);

    rowsLabel = new QLabel(this);
    rowsLabel->setObjectName(QStringLiteral("datasheetRows"));
    rowsLabel->setTextFormat(Qt::RichText);
    rowsLabel->setWordWrap(true);
    layout->addWidget(rowsLabel);

    auto* pinoutHeader = new QLabel(QStringLiteral("PINOUT"), this);
    pinoutHeader->setObjectName(QStringLiteral("panelHeader"));
    layout->addWidget(pinoutHeader);

    pinout = new PinoutWidget(this);
    layout->addWidget(pinout);

    layout->addStretch(1);
}

void DatasheetPanel::setTube(const TubeSpec& tube)
{
    nameLabel->setText(tube.name);
    descLabel->setText(datasheetDescription(tube.family, tube.base));
    rowsLabel->setText(tubeDatasheetHtml(tube));
    pinout->setTube(tube);
}

void DatasheetPanel::setNote(const QString& text)
{
    noteLabel->setText(text);
    noteLabel->setVisible(!text.isEmpty());
}

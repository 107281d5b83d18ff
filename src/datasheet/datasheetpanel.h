#pragma once

// The bench window's side panel: name, family and base, ratings and the drawn base of the chosen
// power tube. It only displays; the window refills it whenever the tube type changes.
#include <QFrame>

class QLabel;
class QString;
class PinoutWidget;
struct TubeSpec;

class DatasheetPanel : public QFrame
{
    Q_OBJECT

public:
    explicit DatasheetPanel(QWidget* parent = nullptr);

    void setTube(const TubeSpec& tube);
    // A line above the ratings, for what the panel cannot show (a profile's tube the catalogue does
    // not have); an empty text hides it.
    void setNote(const QString& text);

private:
    QLabel* noteLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* descLabel = nullptr;
    QLabel* rowsLabel = nullptr;
    PinoutWidget* pinout = nullptr;
};

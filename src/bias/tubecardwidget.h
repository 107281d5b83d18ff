#pragma once

// The panel that stands for one power tube on the bench: a view of that tube in the bench model.
// What is typed into its reading fields goes to the model as that tube's readings; its idle
// current, dissipation and rating, the gauge, the status badge and the coloured glow show what the
// model worked out. The card keeps no readings or results of its own. Following a warm-up recorder,
// it also shows the tube's warm-up state under its title - "settled", or a runaway with the time the
// current started rising - marked in the tube's plot colour.
#include "bias/biascalc.h"

#include <QColor>
#include <QFrame>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

class BenchSession;
class GaugeWidget;
class QFormLayout;
class QLabel;
class ReadingEdit;
class WarmupRecorder;

// The glow around the card's edge: an inner edge, then a soft halo, both rounded rectangles. The
// colour is the glow colour of the rating the "status" value names.
struct TubeCardGlowStroke {
    QRectF rect;
    double radius = 0;
    QColor color; // with its alpha
    double width = 0;
};
QList<TubeCardGlowStroke> tubeCardGlow(const QSizeF& cardSize, const QString& status);

// The narrowest a tube card is drawn, in pixels (the style sheet's min-width of "tubeCard").
inline constexpr int tubeCardMinimumWidth = 230;

class TubeCardWidget : public QFrame
{
    Q_OBJECT

public:
    // The card of tube `index` (0-based) of `bench`, which must outlive it.
    TubeCardWidget(BenchSession& bench, int index, QWidget* parent = nullptr);

    int index() const { return cardIndex; }
    int method() const { return shownMethod; } // the method whose reading fields the card shows

    // What the two reading fields stand for (0 for an empty or a refused text).
    double meas1() const;
    double meas2() const;
    // Enters both readings into the fields, as typing them would.
    void setMeasurements(double meas1, double meas2);

    // The first (row 0) or second (row 1) reading field, then the screen drop (row 2) and the screen
    // resistor (row 3) of a measured screen current; and giving one keyboard focus as Tab does.
    ReadingEdit* readingField(int row) const;
    void focusReading(int row);
    // Shows the tube's state in the recorder's log, which must outlive the card (or be detached).
    void followWarmup(const WarmupRecorder* recorder);
    // The warm-up line under the title (hidden while the log has no reading of the tube).
    QLabel* warmupMark() const { return warmupLabel; }
    // The tube's share of the panel meter's total, in place of the reading field; hidden otherwise.
    QLabel* shareNote() const { return shareLabel; }

    // Stops following the model: a card taken off the bench waits for deletion without redrawing.
    void detach();

    // The width the card asks of its layout (0: what its contents want); the grid gives all its
    // cards one width so that the cards of a row line up.
    void setPreferredWidth(int width);
    QSize sizeHint() const override;

signals:
    // Enter (+1) or Shift+Enter (-1) in reading `row`: the same reading of the next or previous tube.
    void moveRequested(int row, int step);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showSetup();
    void showTube();
    void showWarmup();

    BenchSession* bench = nullptr;
    const WarmupRecorder* warmupRecorder = nullptr;
    int cardIndex = 0;
    int preferredWidth = 0; // px, 0 for the contents' own
    // What is on screen, so that an unchanged setup costs no relayout.
    int shownMethod = -1;
    QString shownFields; // the fields the options make the method ask for, as a key
    double shownLowPct = -1;
    double shownHighPct = -1;

    QLabel* title = nullptr;
    QFormLayout* form = nullptr;
    QLabel* label1 = nullptr;
    ReadingEdit* spin1 = nullptr;
    QLabel* label2 = nullptr;
    ReadingEdit* spin2 = nullptr;
    QLabel* screenDropLabel = nullptr;
    ReadingEdit* screenDropSpin = nullptr;
    QLabel* screenOhmsLabel = nullptr;
    ReadingEdit* screenOhmsSpin = nullptr;
    QLabel* shareLabel = nullptr;
    QLabel* problemLabel = nullptr; // why a typed reading was refused
    GaugeWidget* gauge = nullptr;
    QLabel* currentLabel = nullptr;
    QLabel* dissipationLabel = nullptr;
    QLabel* pctLabel = nullptr;
    QLabel* badge = nullptr;
    QLabel* warnLabel = nullptr;
    QLabel* warmupLabel = nullptr;
};

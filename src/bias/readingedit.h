#pragma once

// The field a tube's reading is typed into. It starts empty (its unit and "no reading" in grey) and
// selects all its text when it takes focus, by click or by key, so what is typed replaces what was
// there. Text is read by parseReadingText: the same in every locale, never scaled, refused with the
// reason when it is not a reading (the field is marked and its tool tip says why; the reading it
// stands for is then none). The wheel steps the value only while the field has keyboard focus;
// over another field it scrolls the page. Enter and Shift+Enter ask to move to the same reading of
// the next or previous tube.
#include "bias/biasmethods.h"
#include "bias/readingtext.h"

#include <QLineEdit>

class ReadingEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ReadingEdit(QWidget* parent = nullptr);

    // The unit, decimals, step and ranges. Whatever the field showed is dropped.
    void setField(const ReadingField& field);
    const ReadingField& field() const { return readingField; }

    // The reading the text stands for: 0 for an empty or a refused text.
    double value() const { return parsed.value; }
    bool isRefused() const { return parsed.refused(); }
    QString problem() const { return parsed.problem; }

    // Shows a reading held elsewhere. A text that already stands for it stays as typed, and so does a
    // refused text while the reading is none, so the technician still sees what was wrong.
    void showValue(double value);

    // Replaces the text as typing it would, readingEdited included.
    void enter(const QString& text);

signals:
    // The technician changed the text (typing or the wheel): the reading it now stands for.
    void readingEdited(double value);
    void problemChanged(const QString& problem); // empty once the text is a reading again
    void moveRequested(int step);                // +1: the next tube, -1: the previous one

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void reread(const QString& text);
    void setShownText(const QString& text);
    void showInBenchForm();

    ReadingField readingField;
    ReadingText parsed;
    bool selectOnPress = false; // focus came with a click: the press would place the cursor
};

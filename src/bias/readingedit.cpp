#include "bias/readingedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

ReadingEdit::ReadingEdit(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("readingEdit"));
    setProperty("refused", false);
    // Tab and Enter reach the field; a wheel turned over it without focus goes to the page.
    setFocusPolicy(Qt::StrongFocus);
    setField(hiddenSecondReading());
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        reread(text);
        emit readingEdited(parsed.value);
    });
}

void ReadingEdit::setField(const ReadingField& field)
{
    readingField = field;
    setPlaceholderText(readingPlaceholder(field));
    setShownText(QString());
}

void ReadingEdit::showValue(double value)
{
    if (parsed.state == ReadingText::Number && parsed.value == value)
        return;
    if (value == 0 && parsed.state != ReadingText::Number)
        return;
    // A value held elsewhere (one read from a file may lie past the bench range) is shown as it is.
    setShownText(readingDisplayText(value, readingField));
    if (value > 0 && parsed.value != value) {
        parsed = ReadingText();
        parsed.state = ReadingText::Number;
        parsed.value = value;
        setToolTip(QString());
        setProperty("refused", false);
        style()->unpolish(this);
        style()->polish(this);
        emit problemChanged(QString());
    }
}

void ReadingEdit::enter(const QString& text)
{
    setShownText(text);
    emit readingEdited(parsed.value);
}

void ReadingEdit::setShownText(const QString& text)
{
    setText(text);
    reread(text);
}

void ReadingEdit::reread(const QString& text)
{
    const bool wasRefused = parsed.refused();
    const QString before = parsed.problem;
    parsed = parseReadingText(text, readingField);
    setToolTip(parsed.problem);
    if (wasRefused != parsed.refused()) {
        // The style sheet marks a refused field; it re-reads the property only after a re-polish.
        setProperty("refused", parsed.refused());
        style()->unpolish(this);
        style()->polish(this);
    }
    if (before != parsed.problem)
        emit problemChanged(parsed.problem);
}

bool ReadingEdit::event(QEvent* event)
{
    // Tab and Shift+Tab take the same way as Enter while there is a tube to go to; past the last
    // one they go on to the next control as usual.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            showInBenchForm();
            emit moveRequested(key->key() == Qt::Key_Tab ? 1 : -1);
            if (!hasFocus())
                return true;
        }
    }
    return QLineEdit::event(event);
}

void ReadingEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::MouseFocusReason)
        selectOnPress = true;
    else
        selectAll();
}

void ReadingEdit::focusOutEvent(QFocusEvent* event)
{
    selectOnPress = false;
    QLineEdit::focusOutEvent(event);
    showInBenchForm();
}

void ReadingEdit::showInBenchForm()
{
    // A typed reading is shown the way the bench shows numbers once the field is left.
    if (parsed.state == ReadingText::Number)
        setShownText(readingDisplayText(parsed.value, readingField));
}

void ReadingEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (selectOnPress) {
        selectOnPress = false;
        selectAll();
    }
}

void ReadingEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        showInBenchForm();
        emit moveRequested(event->modifiers() & Qt::ShiftModifier ? -1 : 1);
        // With no tube to go to the field keeps the focus; what is typed next replaces its text.
        if (hasFocus())
            selectAll();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ReadingEdit::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus() || isReadOnly()) {
        event->ignore(); // the scroll area behind the cards takes it
        return;
    }
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        event->accept();
        return;
    }
    const double next =
        std::clamp(parsed.value + notches * readingField.step, 0.0, readingField.benchMaximum);
    const double held = conformToField(next, 0, readingField.benchMaximum, readingField.decimals);
    enter(readingDisplayText(held, readingField));
    selectAll();
    event->accept();
}

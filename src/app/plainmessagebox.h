#pragma once

// Message boxes whose text is shown as plain text, whatever it holds. A profile name, a file path,
// a preset name or an error string may contain "<" and "&"; QMessageBox's own functions would take
// such text for markup (a link, an image) and render it.
#include <QMessageBox>

QMessageBox::StandardButton plainWarning(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton plainInformation(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton plainQuestion(QWidget* parent, const QString& title, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton);

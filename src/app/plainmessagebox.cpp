#include "app/plainmessagebox.h"

namespace {

QMessageBox::StandardButton runPlain(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                     const QString& text, QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

QMessageBox::StandardButton plainWarning(QWidget* parent, const QString& title, const QString& text)
{
    return runPlain(QMessageBox::Warning, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton plainInformation(QWidget* parent, const QString& title, const QString& text)
{
    return runPlain(QMessageBox::Information, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton plainQuestion(QWidget* parent, const QString& title, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton)
{
    return runPlain(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

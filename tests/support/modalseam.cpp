#include "modalseam.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

QList<ModalSeam*>& seams()
{
    static QList<ModalSeam*> list;
    return list;
}

// Installed on the application before the first test runs; sees every window that is shown.
class ModalWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            if (widget->isWindow() && widget->isModal()) {
                // Handled from the dialog's own event loop, once it runs.
                QTimer::singleShot(0, this, [this, dialog = QPointer<QWidget>(widget)] { handle(dialog); });
            }
        }
        return QObject::eventFilter(object, event);
    }

private:
    void handle(const QPointer<QWidget>& dialog)
    {
        if (!dialog || !dialog->isVisible())
            return;
        ModalSeam* seam = seams().isEmpty() ? nullptr : seams().constLast();
        if (!seam || seam->answered >= seam->handlers.size()) {
            const QString what = describeDialog(dialog);
            closeDialog(dialog);
            QTest::qFail(qPrintable(QStringLiteral("a dialog opened that the test did not expect: ") + what),
                         __FILE__, __LINE__);
            return;
        }
        const ModalSeam::Handler handler = seam->handlers.at(seam->answered++);
        seam->classNames << QString::fromLatin1(dialog->metaObject()->className());
        handler(dialog);
        if (dialog && dialog->isVisible()) {
            const QString what = describeDialog(dialog);
            closeDialog(dialog);
            QTest::qFail(qPrintable(QStringLiteral("the test left a dialog open: ") + what), __FILE__,
                         __LINE__);
        }
    }
};

void installModalWatcher()
{
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new ModalWatcher(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installModalWatcher)

ModalSeam::ModalSeam(QList<Handler> handlers) : handlers(std::move(handlers))
{
    seams().append(this);
}

ModalSeam::~ModalSeam()
{
    seams().removeOne(this);
}

QString describeDialog(QWidget* dialog)
{
    QString text;
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        text = box->text();
        if (!box->informativeText().isEmpty())
            text += QLatin1Char(' ') + box->informativeText();
    } else if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
        text = input->labelText();
    } else {
        QStringList labels;
        const QList<QLabel*> found = dialog->findChildren<QLabel*>();
        for (const QLabel* label : found) {
            if (!label->text().isEmpty())
                labels << label->text();
        }
        text = labels.join(QLatin1Char(' '));
    }
    return QStringLiteral("\"%1\" (%2): %3")
        .arg(dialog->windowTitle(), QString::fromLatin1(dialog->metaObject()->className()),
             text.simplified());
}

void closeDialog(QWidget* dialog)
{
    if (auto* asDialog = qobject_cast<QDialog*>(dialog))
        asDialog->reject();
    else
        dialog->close();
}

ModalSeam::Handler answerBox(QMessageBox::StandardButton button, BoxSeen* seen)
{
    return [button, seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            closeDialog(modal);
            return;
        }
        if (seen) {
            seen->seen = true;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->informativeText = box->informativeText();
            seen->icon = box->icon();
            seen->buttons = box->standardButtons();
            seen->defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            seen->format = box->textFormat();
        }
        if (QAbstractButton* target = box->button(button))
            target->click();
        else
            closeDialog(box);
    };
}

ModalSeam::Handler answerText(const QString& text, InputSeen* seen, bool cancel)
{
    return [text, seen, cancel](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        if (!dialog) {
            closeDialog(modal);
            return;
        }
        if (seen) {
            seen->seen = true;
            seen->title = dialog->windowTitle();
            seen->label = dialog->labelText();
            seen->initialText = dialog->textValue();
            seen->echo = dialog->textEchoMode();
        }
        if (cancel) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(text);
        dialog->accept();
    };
}

ModalSeam::Handler answerFile(const QString& path)
{
    return [path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* nameEdit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!dialog || !nameEdit) {
            closeDialog(modal);
            return;
        }
        // A full path typed into the name field is taken as it stands, whatever folder the dialog
        // shows (its folder view fills in the background and must not be waited for).
        nameEdit->setText(path);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() checks the typed name
    };
}

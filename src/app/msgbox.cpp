#include "app/msgbox.h"

#include <QApplication>
#include <QInputDialog>
#include <QQueue>

namespace {

bool testModeOn = false;
QQueue<Msg::Button> answers;
QQueue<QString> inputs;
QList<Msg::Shown> record;

QWidget* owner() {
    return QApplication::activeWindow();
}

QString titleOrApp(const QString& title) {
    return title.isEmpty() ? QStringLiteral("Zelvo云记账") : title;
}

} // namespace

namespace Msg {

Button box(const QString& text, QMessageBox::Icon icon, const QString& title,
           QMessageBox::StandardButtons buttons, Button defaultButton) {
    record.append({text, title, icon, buttons, defaultButton, false});
    if (testModeOn) {
        if (!answers.isEmpty())
            return answers.dequeue();
        if (defaultButton != QMessageBox::NoButton)
            return defaultButton;
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
    }
    QMessageBox mb(icon, titleOrApp(title), text, buttons, owner());
    if (defaultButton != QMessageBox::NoButton)
        mb.setDefaultButton(defaultButton);
    return static_cast<Button>(mb.exec());
}

void info(const QString& text, const QString& title) {
    box(text, QMessageBox::Information, title);
}

bool askYesNo(const QString& text, QMessageBox::Icon icon, const QString& title) {
    return box(text, icon, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

bool input(const QString& prompt, const QString& title, QString& value, bool secret) {
    record.append({prompt, title, QMessageBox::NoIcon, {}, QMessageBox::NoButton, true, secret});
    if (testModeOn) {
        if (inputs.isEmpty() || inputs.head().isNull()) {
            if (!inputs.isEmpty())
                inputs.dequeue();
            return false;
        }
        value = inputs.dequeue();
        return true;
    }
    QInputDialog dialog(owner());
    dialog.setWindowTitle(titleOrApp(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    if (secret) {
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

void setTestMode(bool on) {
    testModeOn = on;
}
bool testMode() {
    return testModeOn;
}
void queueAnswer(Button answer) {
    answers.enqueue(answer);
}
void queueInput(const QString& value) {
    inputs.enqueue(value);
}
QList<Shown> shown() {
    return record;
}
Shown last() {
    return record.isEmpty() ? Shown() : record.last();
}

void clearShown() {
    record.clear();
    answers.clear();
    inputs.clear();
}

} // namespace Msg

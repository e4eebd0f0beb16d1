#include "app/msgbox.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
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
    // Messages carry names, notices and server texts: a "<b>" in them is text, not markup.
    mb.setTextFormat(Qt::PlainText);
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

void starEcho(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
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
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (secret) {
        dialog.setTextEchoMode(QLineEdit::Password);
        if (auto* edit = dialog.findChild<QLineEdit*>())
            starEcho(edit);
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

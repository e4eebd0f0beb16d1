#pragma once
// Every message box, question and input box of the program goes through here. People get real
// QMessageBox / QInputDialog boxes; tests switch on test mode, queue answers in advance and
// read back what was shown.

#include <QList>
#include <QMessageBox>
#include <QString>

class QLineEdit;

namespace Msg {

using Button = QMessageBox::StandardButton;

struct Shown {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Button defaultButton = QMessageBox::NoButton;
    bool isInput = false;
    bool secret = false; // an input box that echoes "*"
};

Button box(const QString& text, QMessageBox::Icon icon = QMessageBox::Information,
           const QString& title = QString(), QMessageBox::StandardButtons buttons = QMessageBox::Ok,
           Button defaultButton = QMessageBox::NoButton);

// Information icon, OK.
void info(const QString& text, const QString& title = QString());

// Yes and No with No as the default; true for Yes.
bool askYesNo(const QString& text, QMessageBox::Icon icon, const QString& title = QString());

// A one-line input box; false when cancelled. A `secret` box shows "*" for every character.
bool input(const QString& prompt, const QString& title, QString& value, bool secret = false);

// A password box that shows "*" for every typed character, whatever the style draws.
void starEcho(QLineEdit* edit);

// Test seam.
void setTestMode(bool on);
bool testMode();
void queueAnswer(Button answer);
void queueInput(const QString& value); // a null QString answers Cancel
QList<Shown> shown();
Shown last();
void clearShown();

} // namespace Msg

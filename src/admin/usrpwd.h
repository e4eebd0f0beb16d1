#pragma once
// Password change of the logged-in operator. The opener clears DlgRet, puts the operator's name
// into Txt_0 (lockName) and runs the window; DlgRet is "OK" after a change. Made afresh for
// every showing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class UsrPwd : public QDialog {
    Q_OBJECT
public:
    explicit UsrPwd(QWidget* parent = nullptr);
    // Txt_0 := name, locked and in the window's colour.
    void lockName(const QString& name);
    void Cmd_Click(int index);

    QLabel* LabZB;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Txt[3];
    QPushButton* Cmd[2];

private:
    void Form_Load();
    void confirm();
    void finish(const QString& password); // a change made: remembered, and the window closed
};

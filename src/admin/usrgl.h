#pragma once
// Operator management: the operators of the open ledger, the rights of the selected one as
// sixteen boxes, and adding, modifying and deleting operators. Made afresh for every showing.

#include <QDialog>

class LedgerSession;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class UsrGL : public QDialog {
    Q_OBJECT
public:
    explicit UsrGL(LedgerSession& session, QWidget* parent = nullptr);

    enum class Mode { Viewing, Modifying, Adding };
    Mode mode() const { return mode_; }
    void Cmd_Click(int index);

    // Controls, named as the design names them.
    QListWidget* Lst;
    QListWidget* LstQx; // hidden: each operator's rights word once read, by line of Lst
    QLabel* LabZB;
    QLabel* Lab;
    QLineEdit* Txt;
    QCheckBox* Chk[16];
    QPushButton* Cmd[4];

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void placeControls();
    void Form_Load();
    void Lst_Click();
    void Chk_Click(int index, bool checked);
    void SaveUsr();
    void DeleteUsr();
    void startEditing(Mode mode);
    void backToViewing();
    void showWord(const QString& word);
    void removeOperator(int row);
    // A statement with the buttons disabled; `firstValue` for a function's answer.
    QString run(const QString& statement, bool firstValue = false);

    Mode mode_ = Mode::Viewing;

private:
    LedgerSession& session_;
};

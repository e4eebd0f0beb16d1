#pragma once
// The ledger dialog: add a ledger by contact (Frm_0), name it (Frm_1), choose its type (Frm_2).
// The opener takes instance(), fills TxtZbID / TxtZbNm and EdZbNm as it needs, calls
// showFrame() and exec(), and then reads MainBas::DlgRet and the ledger's program-wide values.
// Only a contact the server does not know creates a ledger; opened on the type frame it changes
// the open ledger's words, whatever they are.

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class ZbTyp : public QDialog {
    Q_OBJECT
public:
    // Loads the window afresh when it was closed since the last call.
    static ZbTyp* instance();
    static void destroyInstance();
    int EdZbNm = 0;
    bool NewZb = false;
    // Makes frame `index` the visible one.
    void showFrame(int index);
    int shownFrame() const { return shownFrame_; }

    void Cmd_Click(int index);

signals:
    // The ledger to list and select: `joined` one the server held, else one just created.
    void ledgerChosen(const QString& id, const QString& name, bool joined);

public:
    // Controls, named as the design names them.
    QFrame* Frm[3];
    QLabel* LabCpt[3];
    QLabel* LabInfo[2];
    QLabel* LabID;
    QComboBox* CmbLX;
    QLineEdit* TxtZbID;
    QLineEdit* TxtZbNm;
    QRadioButton* Opt[5];
    QLineEdit* Txt[2];
    QPushButton* Cmd[6];

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    ZbTyp();
    void createControls();
    void placeControls();
    void placeCustomWords();
    void Form_Load();

    void contactStep();
    void nameStep();
    void typeStep();
    void joinLedger(const QString& zbid, const QString& name);
    static QString ledgerLookup(const QString& zbid);

    QButtonGroup* optGroup_ = nullptr;
    bool loaded_ = false;
    int shownFrame_ = 0;
};

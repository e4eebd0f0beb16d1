#pragma once
// The record editor MxEd: a late record (EdStu 1) or the journal's selected record (EdStu 2),
// saved, replaced or retired. Created afresh for every opening by the journal.

#include "reports/mxedrules.h"
#include "reports/reportwidgets.h"

#include <QDialog>

#include <functional>

class LedgerSession;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// What the editor needs of the journal that opens it.
struct MxEdJournal {
    QString selectedId;                            // the selected record's id, "" for none
    std::function<void()> requery;                 // the journal lists again
    std::function<void()> editEnded;               // its edit button back after a cancel
    std::function<void(const QString&)> itemAdded; // a new item for its item box
};

class MxEd : public QDialog {
    Q_OBJECT
public:
    // `journal` is the parent window; its caption names the journal in messages.
    MxEd(LedgerSession& session, QWidget* journal, MxEdJournal links, int edStu,
         const QString& caption);

    // Shows the window, loads the record once, and runs it modally unless loading closed it.
    int showModal();

    int EdStu;
    QString EditId;

    QLabel* Lab1;
    QComboBox* CmbItm;
    QLabel* Lab2;
    QLineEdit* TxtSL;
    QLabel* Lab3;
    QLineEdit* TxtBZ;
    Report::DatePickers* Cmb;
    QComboBox* Cmb5;
    QComboBox* Cmb6;
    QPushButton* Cmd[3];
    QCheckBox* Chk;
    QLabel* Lab5;
    QLabel* LabTm;
    QFrame* FrmWait;
    QLabel* LabWait;

    void Cmd_Click(int index);
    QString NewRecIDAt();
    // Loads the journal's selected record; false when the window closed itself.
    bool Form_Activate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Every way out without a save (cancel, Esc, the title bar, a record found gone) gives the
    // journal its edit button back.
    void reject() override;

private:
    void Form_Load();
    void SaveNewRecord();
    void SaveEditedRecord();
    void DeleteRecord();
    void AddItemToLists();
    // After a save: the saved notice, the boxes emptied, a new item added to the lists.
    void showSaved();
    void TxtSL_Change();
    // The checks, with the cleaned texts written back; false after a message.
    bool checked(MxEdRules::Checked* out);
    void closeGone();

    LedgerSession& session_;
    MxEdJournal links_;
    bool shaping_ = false;
};

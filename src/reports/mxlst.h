#pragma once
// The detail journal MxLst: filters, the text table of the matching rows, and the commands that
// export, add, edit and delete records. Created afresh for every opening.

#include "reports/journal.h"
#include "reports/reportprint.h"
#include "reports/reportwidgets.h"

#include <QDialog>

#include <memory>

class LedgerSession;
class MxEd;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class MxLst : public QDialog {
    Q_OBJECT
public:
    explicit MxLst(LedgerSession& session, QWidget* parent = nullptr);

    // Builds and runs the journal query and redraws the table.
    void QueryAll();
    // Puts an item as the server holds it into CmbItm (a drill-down from another report).
    void setExactItem(const QString& item);
    void Cmd_Click(int index);

    bool ShowBalance = true;

    QLabel* Lab1;
    QComboBox* CmbItm;
    QComboBox* CmbGX1;
    QComboBox* CmbSL;
    QLabel* Lab2;
    QLineEdit* TxtBZ;
    QLabel* Label3;
    QComboBox* CmbUsr;
    QLabel* Label4;
    QComboBox* CmbSort;
    QLabel* Label2;
    Report::DatePickers* Cmb;
    Report::DatePickers* Cmb2;
    Report::ReportList* Lst;
    QPushButton* CmdWait;
    QPushButton* Cmd[7];
    QPushButton* CmdPrint;
    QPushButton* CmdPdf;
    QPushButton* CmdChart;

    // The filters as the statement builder takes them.
    Journal::Filter filter() const;
    // The ids of the record lines, top to bottom.
    QStringList listedIds() const;
    // The record editor over this journal: a late record (1) or the selected record (2).
    std::unique_ptr<MxEd> editor(int edStu, const QString& caption);

private:
    void Form_Load();
    void AddJournalHeader();
    void AddRuleLine(int kind);
    void RestoreSelection();
    void Lst_DblClick(int row);
    void ExportJournal();
    void DeleteSelectedRow();
    void DeleteAllListed();
    // The operator's password asked before a batch delete; false when he gave it up or erred.
    bool confirmWithStoredPassword();
    bool confirmOnSecureServer();
    void lateRecord();
    void editRecord();
    void busy(bool on);
    // Ends a query that listed nothing with `message`.
    void endEmpty(const QString& message, const QString& title);

    // The listing shown on paper, and the chart of its one item.
    Print::Printable printable() const;
    void showChart();
    void enableChart();

private:
    QString exactItem_;
    ReportPrint::Buttons print_;
    // What the shown list was built from, kept for printing and the chart.
    Journal::Listing shown_;
    Journal::Filter shownFilter_;

private:
    LedgerSession& session_;
};

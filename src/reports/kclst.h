#pragma once
// The balance list window: every item's current quantity, filtered by item and by value, with
// a total; export, and a double click into the journal over a period that reaches the item's
// latest entry. Created afresh for every opening.

#include "reports/drilldown.h"
#include "reports/reportprint.h"

#include <QDialog>

#include <optional>

class LedgerSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Report {
class ReportList;
} // namespace Report

class KcLst : public QDialog {
    Q_OBJECT
public:
    explicit KcLst(LedgerSession& session, QWidget* parent = nullptr);

    void RunBalanceList();
    void ExportBalanceList();
    void AddBalanceHeader();
    void Lst_DblClick(int row);
    // The journal a double click on `row` opens; nothing for the header, rules and totals.
    std::optional<DrillDown::JournalRequest> journalFor(int row);

    // Controls, named as the design names them.
    QLabel* Lab1;
    QLabel* Lab2;
    QComboBox* Cmb;
    QComboBox* CmbGX1;
    QComboBox* CmbGX2;
    QLineEdit* Txt;
    QPushButton* Cmd[3];
    QPushButton* CmdPrint;
    QPushButton* CmdPdf;
    Report::ReportList* Lst;
    QPushButton* CmdWait;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void placeControls();

    ReportPrint::Buttons print_;
    Print::Printable shown_; // the list last shown, for paper
private:
    LedgerSession& session_;
};

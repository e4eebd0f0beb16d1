#pragma once
// The summary table window: every item's opening quantity, increases, decreases and closing
// quantity over a period, with a totals row; export, and a double click into the journal.
// Created afresh for every opening, so its load defaults always apply.

#include "reports/drilldown.h"
#include "reports/reportprint.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class LedgerSession;
class QComboBox;
class QLabel;
class QPushButton;

namespace Report {
class DatePickers;
class ReportList;
} // namespace Report

class HzLst : public QDialog {
    Q_OBJECT
public:
    explicit HzLst(LedgerSession& session, QWidget* parent = nullptr);

    void RunSummary();
    void ExportSummary();
    void AddSummaryHeader();
    void Lst_DblClick(int row);
    // The journal a double click on `row` opens; nothing for the header, rules and totals.
    std::optional<DrillDown::JournalRequest> journalFor(int row);

    // Controls, named as the design names them.
    QLabel* Lab1;
    QComboBox* CmbItm;
    QComboBox* CmbGX1;
    Report::DatePickers* Cmb;
    Report::DatePickers* Cmb2;
    QLabel* Label2;
    QLabel* Label1[1];
    QCheckBox* Chk;
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
    Print::Printable shown_; // the table last listed, for paper
private:
    LedgerSession& session_;
};

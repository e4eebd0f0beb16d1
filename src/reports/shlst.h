#pragma once
// The record audit ShLst: the open ledger's retired records with who retired them, when, and
// what replaced an edited one; export, and restoring a deleted record. Created afresh for every
// opening.

#include "reports/audit.h"
#include "reports/reportprint.h"

#include <QDialog>
#include <QVector>

class LedgerSession;
class QComboBox;
class QLabel;
class QPushButton;

namespace Report {
class DatePickers;
class ReportList;
} // namespace Report

class ShLst : public QDialog {
    Q_OBJECT
public:
    ShLst(LedgerSession& session, QWidget* parent);

    // Lists the retired records the filters ask for and redraws the table.
    void QueryAll();
    // The filters as the statement takes them.
    Audit::Filter filter() const;
    // The record behind `row`; nothing for the header, rules and totals.
    const Audit::Entry* entryAt(int row) const;

    QLabel* Label2;
    Report::DatePickers* Cmb;
    Report::DatePickers* Cmb2;
    QLabel* Lab1;
    QComboBox* CmbItm;
    QLabel* Label3;
    QComboBox* CmbUsr;
    Report::ReportList* Lst;
    QPushButton* CmdWait;
    QPushButton* Cmd[4];
    QPushButton* CmdPrint;
    QPushButton* CmdPdf;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void placeControls();
    void AddHeader();
    void ExportAudit();
    void RestoreRecord();
    void endEmpty(const QString& message, const QString& title);

    LedgerSession& session_;
    QVector<Audit::Entry> entries_;
    ReportPrint::Buttons print_;
    Print::Printable shown_; // the listing last shown, for paper
};

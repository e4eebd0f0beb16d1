#pragma once
// The batch import DrLst: a file or a pasted range read, its columns mapped, every line
// previewed with its errors, then all lines written in one transaction. Created afresh for
// every opening.

#include "reports/importlines.h"

#include <QDialog>
#include <QVector>

class LedgerSession;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class PreviewModel;

class DrLst : public QDialog {
    Q_OBJECT
public:
    DrLst(LedgerSession& session, QWidget* parent = nullptr);

    // 0 choose a file, 1 paste, 2 import, 3 back.
    void Cmd_Click(int index);
    const QVector<Import::Line>& lines() const { return lines_; }

    QPushButton* Cmd[4];
    QVector<QComboBox*> CmbCol;
    QTableView* Grid;
    QLabel* LabInfo;
    QProgressBar* Bar;

    void reject() override;

private:
    void chooseFile();
    void paste();
    void load(Import::Reader& reader);
    void clearSheet();
    void buildColumns();
    void reparse();
    void importLines();
    void setBusy(bool on);

    LedgerSession& session_;
    Import::Words words_;
    Import::Limits limits_;
    Import::Sheet sheet_;
    QVector<Import::Line> lines_;
    PreviewModel* model_;
    QHBoxLayout* columns_;
    bool ready_ = false; // lines without errors, mapped: Cmd_2 may import
    bool closed_ = false;
};

#include "reports/drilldown.h"

#include "app/csv.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "main_window/kuangtexts.h"
#include "reports/mxlst.h"

#include <QComboBox>

namespace DrillDown {

namespace {

void selectParts(Report::DatePickers* pickers, const QStringList& parts) {
    // A year outside the picker's range goes into it rather than moving the period.
    pickers->selectYear(parts.value(0).toInt());
    for (int i = 1; i < 5; ++i)
        pickers->select(i, parts.value(i));
}

} // namespace

void openJournal(LedgerSession& session, QWidget* parent, const JournalRequest& request) {
    MxLst journal(session, parent);
    journal.setWindowTitle(KuangTexts::journalCaption(MainBas::ItemName));
    journal.setExactItem(request.item);
    selectParts(journal.Cmb, request.from);
    selectParts(journal.Cmb2, request.to);
    DoEvents();
    journal.QueryAll();
    journal.exec();
}

void exportLines(const QString& caption, const QStringList& lines) {
    const QString path = SaveCsvDialog(caption);
    if (path.isEmpty())
        return;
    QString error;
    if (!appendCsvLines(path, lines, &error)) {
        Msg::info(error, QStringLiteral("导出失败"));
        return;
    }
    if (Msg::box(QStringLiteral("数据导出完成！\n\n是否需要打开这个Excel文件？"),
                 QMessageBox::Information, QString(),
                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::No)
        OpenExportedFile(path);
}

} // namespace DrillDown

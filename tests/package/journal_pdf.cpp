// Writes the journal of a small ledger as a PDF through the journal window's 导出PDF, with
// whatever fonts the environment lets the program see. test_package.sh runs it with only the
// package's fonts and reads the text back.
//   journal_pdf OUT.pdf
#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "main_window/kuang.h"
#include "reports/mxlst.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QStandardPaths>

#include <cstdio>

using namespace MainBas;

int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    Msg::setTestMode(true);
    TestSupport::Sandbox sb;
    Clock::set(QDateTime(QDate(2026, 11, 20), QTime(10, 0)));
    Kuang* k = Kuang::instance();
    CurZbID = QStringLiteral("L1");
    CurZbNm = QStringLiteral("五金仓库");
    ItemName = QStringLiteral("物品");
    SlName = QStringLiteral("存量");
    CurUsr = QStringLiteral("管理员");
    CurQx = QString(16, QLatin1Char('1'));
    SrvDate = QStringLiteral("2026-11-20");
    SrvDay = 20;
    SrvReadOn = Clock::now().date();
    // Ideographs that share their glyph with a Kangxi radical in some CJK fonts: 金 ⾦, 页 ⾴.
    const char* items[] = {"金属板", "黄金", "页岩砖", "铝合金门"};
    for (int i = 0; i < 4; ++i)
        if (RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                  "('L1','管理员','2026-11-0%1 09:00','P%1','%2',%3,'第%1页')")
                       .arg(i + 1)
                       .arg(QString::fromUtf8(items[i]))
                       .arg(10 - 3 * i)) != QLatin1String("OK"))
            return 3;
    MxLst w(*k->session());
    w.Cmd[0]->click();
    Shell::setNextSaveFileName(QString::fromLocal8Bit(argv[1]));
    Msg::queueAnswer(QMessageBox::No); // do not open the file
    w.CmdPdf->click();
    const bool written = Msg::last().text.startsWith(QStringLiteral("数据导出完成"));
    if (!written)
        std::fprintf(stderr, "%s\n", qPrintable(Msg::last().text));
    Kuang::destroyInstance();
    return written ? 0 : 1;
}

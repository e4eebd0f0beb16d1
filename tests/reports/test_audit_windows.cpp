// The record audit opened from the report menu and driven through its controls, after entries
// were deleted and edited through the journal and the editor, on a real database.
#include "app/clock.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "reports/hzlst.h"
#include "reports/mxed.h"
#include "reports/mxlst.h"
#include "reports/reportwidgets.h"
#include "reports/shlst.h"
#include "reports/texttable.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("13800138000");

using TestSupport::shownTexts;

int rowOf(Report::ReportList* list, const QString& id) {
    for (int i = 0; i < list->lines()->count(); ++i)
        if (list->lines()->id(i) == id)
            return i;
    return -1;
}

// Each record line as who|when|action|item|replacement.
QStringList records(const ShLst& w) {
    QStringList out;
    for (const ReportLine& l : w.Lst->lines()->lines()) {
        if (l.id.isEmpty())
            continue;
        QStringList cells = l.text.split(TextTable::kBar);
        for (QString& c : cells)
            c = c.trimmed();
        out << QStringList{cells[0], cells[1], cells[2], cells[5], cells[9]}.join('|');
    }
    return out;
}

class AuditWindows : public ::testing::Test {
protected:
    TestSupport::Sandbox sb;
    Kuang* k = nullptr;

    void SetUp() override {
        Msg::clearShown();
        at(10, 0);
        ItemName = QStringLiteral("物品");
        SlName = QStringLiteral("存量");
        ASSERT_EQ(RunSql("insert into UsrLst (ZBID,Usr,Pwd) values ('" + kZb + "','张三','')"),
                  "OK");
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                            "('%1','管理员','2026-12-02 09:00','N1202000000%2',"
                                            "'%3',%4,'')")
                                 .arg(kZb)
                                 .arg(i)
                                 .arg(i < 3 ? "钢管" : "螺丝")
                                 .arg(i + 1)),
                      "OK");
        k = Kuang::instance();
        CurZbID = kZb;
        CurUsr = QStringLiteral("管理员");
        CurQx = QString(16, QLatin1Char('1'));
        k->session()->setOperators({QStringLiteral("管理员"), QStringLiteral("张三")});
        k->session()->setItems({QStringLiteral("钢管"), QStringLiteral("螺丝")});
        k->ShowPanel(2);
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Msg::clearShown();
    }

    static void at(int hour, int minute) {
        Clock::set(QDateTime(QDate(2026, 12, 6), QTime(hour, minute)));
    }

    // Deletes one 钢管 record as 管理员 at 10:00, edits another as 张三 at 10:05, and deletes
    // both 螺丝 records by batch as 张三 at 10:10.
    void retireThroughTheJournal() {
        MxLst j(*Kuang::instance()->session());
        j.QueryAll();
        j.Lst->selectRow(rowOf(j.Lst, QStringLiteral("N12020000000")));
        Msg::queueAnswer(QMessageBox::Yes);
        j.Cmd_Click(5);
        at(10, 5);
        CurUsr = QStringLiteral("张三");
        j.Lst->selectRow(rowOf(j.Lst, QStringLiteral("N12020000001")));
        const auto ed = j.editor(2, QStringLiteral("修改账目"));
        ASSERT_TRUE(ed->Form_Activate());
        ed->TxtSL->setText(QStringLiteral("+7"));
        ed->Cmd_Click(0);
        at(10, 10);
        j.CmbItm->setEditText(QStringLiteral("螺丝"));
        j.QueryAll();
        Msg::queueAnswer(QMessageBox::Ok);
        j.Cmd_Click(6);
        ASSERT_EQ(shownTexts().last(), QStringLiteral("批量删除完成！"));
        Msg::clearShown();
    }

    // The summary's increase of 钢管 over the default period.
    static QString summaryIncrease() {
        HzLst h(*Kuang::instance()->session());
        h.RunSummary();
        for (const ReportLine& l : h.Lst->lines()->lines())
            if (l.item == QStringLiteral("钢管"))
                return l.text.split(TextTable::kBar).value(2).trimmed();
        return {};
    }
};

TEST_F(AuditWindows, ReportMenuOpensTheAuditBehindRightNine) {
    const QList<QAction*> entries = k->Menu_Rpt->actions();
    ASSERT_EQ(entries.indexOf(k->Menu_ShLst), entries.indexOf(k->Menu_JxcHZ) + 1);
    EXPECT_EQ(k->Menu_ShLst->text(), QStringLiteral("帐目审核"));
    QString opened;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = w->objectName() + ":" + w->windowTitle();
            w->reject();
        }
    });
    poll.start(10);
    CurQx[8] = QLatin1Char('0');
    k->Menu_ShLst->trigger();
    EXPECT_EQ(opened, QString());
    EXPECT_EQ(Msg::last().text + Msg::last().title, QStringLiteral("对不起，您无此权限！"));
    EXPECT_EQ(Msg::last().icon, QMessageBox::Information);
    CurQx[8] = QLatin1Char('1');
    k->Menu_ShLst->trigger();
    EXPECT_EQ(opened, QStringLiteral("ShLst:帐目审核"));
}

TEST_F(AuditWindows, ListsWhoDeletedAndEditedAndRestoresADeletedRecord) {
    retireThroughTheJournal();
    const QString retiredIncrease = summaryIncrease();
    ShLst w(*k->session(), nullptr);
    EXPECT_EQ(w.Cmb->stamp(), QStringLiteral("2026-12-01 00:00"));
    EXPECT_EQ(w.Cmb2->stamp(), QStringLiteral("2026-12-06 23:59"));
    EXPECT_FALSE(w.Cmd[3]->isEnabled());
    w.Cmd[0]->click();
    EXPECT_EQ(records(w),
              (QStringList{"张三|2026-12-06 10:10|删除|螺丝|", "张三|2026-12-06 10:10|删除|螺丝|",
                           "张三|2026-12-06 10:05|修改|钢管|2026-12-02 09:00 钢管 +7",
                           "管理员|2026-12-06 10:00|删除|钢管|"}));
    w.CmbUsr->setCurrentText(QStringLiteral("管理员"));
    w.Cmd[0]->click();
    EXPECT_EQ(records(w).size(), 1);
    w.CmbUsr->setCurrentIndex(0);
    w.Cmd[0]->click();

    // Nothing selected, then the edited record: refused, naming its replacement, unasked.
    w.Cmd[3]->click();
    w.Lst->selectRow(rowOf(w.Lst, QStringLiteral("N12020000001")));
    w.Cmd[3]->click();
    EXPECT_EQ(shownTexts().value(0), QStringLiteral("请首先选择您要恢复的记录行！"));
    EXPECT_EQ(shownTexts().size(), 2);
    EXPECT_TRUE(shownTexts().value(1).contains(QStringLiteral("2026-12-02 09:00 钢管 +7")));

    // Restore needs right 1 and a Yes; then the record is back in the journal and the summary.
    Msg::clearShown();
    CurQx[0] = QLatin1Char('0');
    w.Lst->selectRow(rowOf(w.Lst, QStringLiteral("N12020000000")));
    w.Cmd[3]->click();
    CurQx[0] = QLatin1Char('1');
    Msg::queueAnswer(QMessageBox::No);
    w.Cmd[3]->click();
    Msg::queueAnswer(QMessageBox::Yes);
    w.Cmd[3]->click();
    EXPECT_EQ(shownTexts(), (QStringList{"对不起，您无此权限！", "真的要恢复这条记录吗？",
                                         "真的要恢复这条记录吗？", "恢复成功！"}));
    EXPECT_EQ(Msg::shown().at(1).defaultButton, QMessageBox::No);
    EXPECT_EQ(records(w).size(), 3);
    MxLst journal(*Kuang::instance()->session());
    journal.QueryAll();
    EXPECT_GE(rowOf(journal.Lst, QStringLiteral("N12020000000")), 0);
    EXPECT_EQ(summaryIncrease().toDouble(), retiredIncrease.toDouble() + 1);

    // A record someone else restored meanwhile.
    Msg::clearShown();
    ASSERT_EQ(RunSql("update Zhang set ZBID='" + kZb + "' where ID='N12020000003'"), "OK");
    w.Lst->selectRow(rowOf(w.Lst, QStringLiteral("N12020000003")));
    Msg::queueAnswer(QMessageBox::Yes);
    w.Cmd[3]->click();
    EXPECT_EQ(shownTexts().last(), QStringLiteral("这条记录已经被恢复！"));

    // Export needs right 8 and appends; a failed listing is never shown as "no data".
    Msg::clearShown();
    CurQx[7] = QLatin1Char('0');
    w.Cmd[1]->click();
    CurQx[7] = QLatin1Char('1');
    const QString path = sb.path(QStringLiteral("审核"));
    for (int i = 0; i < 2; ++i) {
        Shell::setNextSaveFileName(path);
        Msg::queueAnswer(QMessageBox::No);
        w.Cmd[1]->click();
    }
    QFile file(path + QStringLiteral(".csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 2 * (1 + 3 + 1)); // titles, records, totals, twice
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    Db::Connection nowhere = TestSupport::postgres();
    nowhere.engine = Db::Engine::Postgres;
    nowhere.server = QStringLiteral("127.0.0.1,1");
    Db::setConnection(nowhere);
    w.Cmd[0]->click();
    const QString done = QStringLiteral("数据导出完成！\n\n是否需要打开这个Excel文件？");
    EXPECT_EQ(shownTexts(),
              (QStringList{"对不起，您无此权限！", done, done, "连接服务器失败，请重试！"}));
    EXPECT_FALSE(w.Lst->lines()->hasRecords());
    EXPECT_FALSE(w.Cmd[3]->isEnabled());
}

} // namespace

// The report menu, the detail journal and the record editor driven through their controls on
// a real database, message boxes answered through the message module.
#include "app/clock.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/textwidth.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "reports/mxed.h"
#include "reports/mxlst.h"
#include "reports/reportwidgets.h"
#include "reports/shlst.h"
#include "reports/texttable.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace MainBas;

namespace {

using TestSupport::whenModal;

const QString kZb = QStringLiteral("13800138000");
const QString kOK = QStringLiteral("OK");

using TestSupport::shownTexts;

int count(const QString& where) {
    return TestSupport::ownerSql(QStringLiteral("select count(*) from Zhang where ") + where, true)
        .toInt();
}

class ReportWindows : public ::testing::Test {
protected:
    TestSupport::Sandbox sb;
    Kuang* k = nullptr;

    void SetUp() override {
        Msg::clearShown();
        Shell::clearOpened();
        Clock::set(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        ItemName = QStringLiteral("物品");
        SlName = QStringLiteral("存量");
        ASSERT_EQ(RunSql("insert into UsrLst (ZBID,Usr,Pwd) values ('" + kZb + "','管理员','abc')"),
                  kOK);
        ASSERT_EQ(RunSql("insert into UsrLst (ZBID,Usr,Pwd) values ('" + kZb + "','张三','')"),
                  kOK);
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Msg::clearShown();
    }

    void seed(int n, const QString& item = QStringLiteral("钢管"), int day = 2) {
        QStringList rows;
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(TestSupport::ownerSql(
                          QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                         "('%1','管理员','2026-12-%2 09:00','%3','%4',%5,'')")
                              .arg(kZb)
                              .arg(day, 2, 10, QLatin1Char('0'))
                              .arg(QStringLiteral("N12%1%2")
                                       .arg(day, 2, 10, QLatin1Char('0'))
                                       .arg(i, 7, 10, QLatin1Char('0')))
                              .arg(item)
                              .arg(i + 1)),
                      kOK);
    }

    // The main window in its entry panel, as after a login.
    void enter() {
        k = Kuang::instance(); // starts on its ledger panel, with no ledger open
        CurZbID = kZb;
        CurZbNm = QStringLiteral("库房");
        CurUsr = QStringLiteral("管理员");
        CurQx = QString(16, QLatin1Char('1'));
        k->session()->setOperators({QStringLiteral("管理员"), QStringLiteral("张三")});
        k->ShowPanel(2);
    }

    // A statement of the embedded database the client cannot send: a trigger that fails.
    void sqliteExec(const QString& statement) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "side");
            db.setDatabaseName(sb.sqlite().database);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("side"));
    }

    // The row of record `id` in the list.
    static int rowOf(MxLst& w, const QString& id) {
        for (int i = 0; i < w.Lst->lines()->count(); ++i)
            if (w.Lst->lines()->id(i) == id)
                return i;
        return -1;
    }
};

TEST_F(ReportWindows, MenuCaptionsRightsAndAFreshJournalEachTime) {
    enter();
    ItemName = QStringLiteral("客户");
    SlName = QStringLiteral("应收款");
    k->CmdRpt_Click();
    EXPECT_EQ(k->Menu_SumSL->text(), QStringLiteral("客户应收款表"));
    EXPECT_EQ(k->Menu_JxcMx->text(), QStringLiteral("客户流水账"));
    EXPECT_EQ(k->Menu_JxcHZ->text(), QStringLiteral("客户汇总表"));
    EXPECT_TRUE(k->Menu_LLL->isSeparator());
    k->Menu_Rpt->close();

    CurQx = QStringLiteral("1111000111111111");
    for (QAction* a : {k->Menu_SumSL, k->Menu_JxcMx, k->Menu_JxcHZ})
        a->trigger();
    EXPECT_EQ(shownTexts(), QStringList(3, QStringLiteral("对不起，您无此权限！")));

    CurQx = QString(16, QLatin1Char('1'));
    QStringList seen;
    for (int round = 0; round < 2; ++round) {
        whenModal([&](QWidget* w) {
            seen << w->objectName() + w->windowTitle() + w->findChild<QLineEdit*>("TxtBZ")->text();
            w->findChild<QLineEdit*>("TxtBZ")->setText(QStringLiteral("旧的"));
            QTest::mouseClick(w->findChild<QPushButton*>("Cmd_2"), Qt::LeftButton);
        });
        k->Menu_JxcMx->trigger();
    }
    EXPECT_EQ(seen, QStringList(2, QStringLiteral("MxLst客户流水账")));
}

TEST_F(ReportWindows, JournalListsWithDefaultsAndTellsAFailureFromNoData) {
    seed(3);
    enter();
    MxLst w(*k->session());
    EXPECT_EQ(w.Cmb->stamp(), QStringLiteral("2026-12-01 00:00"));
    EXPECT_EQ(w.Cmb2->stamp(), QStringLiteral("2026-12-06 23:59"));
    EXPECT_EQ(w.CmbItm->itemText(0), QStringLiteral("全部物品"));
    EXPECT_EQ(w.CmbItm->itemText(1), QString());
    EXPECT_EQ(w.CmbItm->itemText(2), QStringLiteral("钢管"));
    EXPECT_EQ(w.CmbUsr->count(), 3);
    EXPECT_EQ(w.Lst->lines()->count(), 2 + 3);
    for (int i : {1, 4, 5, 6})
        EXPECT_FALSE(w.Cmd[i]->isEnabled()) << i;

    // The day picker keeps inside the month it is under.
    w.Cmb->select(1, QStringLiteral("02"));
    w.Cmb->select(2, QStringLiteral("31"));
    EXPECT_EQ(w.Cmb->part(2)->currentText(), QStringLiteral("28"));
    w.Cmb->select(1, QStringLiteral("12"));
    w.Cmb->select(2, QStringLiteral("01"));

    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    EXPECT_TRUE(Msg::shown().isEmpty());
    EXPECT_EQ(w.Lst->lines()->count(), 2 + 1 + 2 * 3 + 4);
    EXPECT_EQ(w.findChild<QListView*>("Lst2")->model()->rowCount(), w.Lst->lines()->count());
    for (int i : {1, 4, 5, 6})
        EXPECT_TRUE(w.Cmd[i]->isEnabled()) << i;
    EXPECT_TRUE(w.isEnabled());
    EXPECT_FALSE(w.CmdWait->isVisible());

    // Down onto a rule line: the record below it is selected.
    w.Lst->selectRow(3);
    w.Lst->selectRow(4);
    EXPECT_EQ(w.Lst->selected(), 5);

    Db::Connection nowhere = TestSupport::postgres();
    nowhere.server = QStringLiteral("127.0.0.1,1");
    Db::setConnection(nowhere);
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("连接服务器失败，请重试！")});
    EXPECT_FALSE(w.Cmd[1]->isEnabled());
    sb.useSqlite();
    Msg::clearShown();
    w.TxtBZ->setText(QStringLiteral("没有这个"));
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("没有符合条件的数据！")});
}

TEST_F(ReportWindows, ItemBoxesFindAnItemByItsInitials) {
    seed(1, QStringLiteral("钢管"));
    seed(1, QStringLiteral("不锈钢管φ32"), 3);
    enter();
    MxLst journal(*k->session());
    ShLst audit(*k->session(), nullptr);
    for (QDialog* w : {static_cast<QDialog*>(&journal), static_cast<QDialog*>(&audit)}) {
        SCOPED_TRACE(w->objectName().toStdString());
        auto* box = w->findChild<QComboBox*>(QStringLiteral("CmbItm"));
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        box->setFocus();
        box->clearEditText();
        for (char c : {'b', 'x', 'g'})
            QTest::keyClick(w->windowHandle(), c);
        auto* list = qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget());
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->model()->rowCount(), 1);
        QTest::keyClick(w->windowHandle(), Qt::Key_Down);
        QTest::keyClick(w->windowHandle(), Qt::Key_Return);
        EXPECT_EQ(box->currentText(), QStringLiteral("不锈钢管φ32"));
        EXPECT_EQ(box->currentIndex(), box->findText(QStringLiteral("不锈钢管φ32")));

        // A text that matches nothing stays as typed under Up and Down.
        box->clearEditText();
        for (char c : {'q', 'q', 'q'})
            QTest::keyClick(w->windowHandle(), c);
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(w->windowHandle(), key);
        EXPECT_EQ(box->currentText(), QStringLiteral("qqq"));
        w->hide();
    }
}

TEST_F(ReportWindows, BatchDeleteIsAllOrNothing) {
    seed(700);
    seed(2, QStringLiteral("螺丝"), 3);
    enter();
    MxLst w(*k->session());
    w.CmbItm->setEditText(QStringLiteral("钢管"));
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    ASSERT_EQ(w.listedIds().size(), 700);

    Msg::queueInput(QStringLiteral("ABC"));
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    Msg::queueInput(QString());
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(shownTexts().size(), 3);
    EXPECT_EQ(Msg::shown().at(1).text, QStringLiteral("密码输入错误，删除操作取消！"));
    EXPECT_TRUE(Msg::shown().at(0).secret);
    EXPECT_EQ(Msg::shown().at(0).title, QStringLiteral("警告"));
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 702);

    // One row of the second chunk refuses: nothing is retired and every row stays listed.
    sqliteExec(QStringLiteral("create trigger refuse before update on Zhang when old.ID='N1202"
                              "0000450' begin select raise(abort,'refused'); end"));
    Msg::clearShown();
    Msg::queueInput(QStringLiteral("abc"));
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(shownTexts().last(), QStringLiteral("连接服务器失败，请重试！"));
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 702);
    EXPECT_EQ(w.listedIds().size(), 700);
    EXPECT_TRUE(w.Cmd[6]->isEnabled());

    sqliteExec(QStringLiteral("drop trigger refuse"));
    Msg::clearShown();
    Msg::queueInput(QStringLiteral("abc"));
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(shownTexts().last(), QStringLiteral("批量删除完成！"));
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 2);
    EXPECT_EQ(count("ZBID='管理员#" + kZb + "#2026-12-06 10:00' and ITEM='钢管'"), 700);
    EXPECT_FALSE(w.Lst->lines()->hasRecords());
    EXPECT_FALSE(w.Cmd[6]->isEnabled());

    // An operator without a password confirms with OK; Cancel keeps everything.
    CurUsr = QStringLiteral("张三");
    w.CmbItm->setEditText(QStringLiteral("全部物品"));
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    Msg::queueAnswer(QMessageBox::Cancel);
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 2);
    Msg::queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(count("ZBID='张三#" + kZb + "#2026-12-06 10:00'"), 2);
}

TEST_F(ReportWindows, ASecureServerChecksTheBatchDeletePasswordByALoginOfItsOwn) {
    if (!TestSupport::secure())
        GTEST_SKIP() << "ZELVO_TEST_SECURE not set";
    sb.usePostgres();
    ASSERT_TRUE(TestSupport::addOperator(kZb, QStringLiteral("管理员"), QStringLiteral("abc")));
    ASSERT_TRUE(TestSupport::addOperator(kZb, QStringLiteral("张三")));
    seed(3);
    enter();
    TestSupport::actAs(kZb, CurUsr, QStringLiteral("abc"));
    MxLst w(*k->session());
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    ASSERT_EQ(w.listedIds().size(), 3) << Msg::last().text.toStdString();
    Msg::clearShown();
    Msg::queueInput(QStringLiteral("ABC"));
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(shownTexts().last(), QStringLiteral("密码输入错误，删除操作取消！"));
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 3);
    Msg::queueInput(QStringLiteral("abc"));
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(shownTexts().last(), QStringLiteral("批量删除完成！"));
    EXPECT_EQ(count("ZBID='管理员#" + kZb + "#" + GetSrvDate() + " 10:00'"), 3);

    // Without a password: OK or Cancel, as on any server.
    seed(2, QStringLiteral("螺丝"), 3);
    CurUsr = QStringLiteral("张三");
    TestSupport::actAs(kZb, CurUsr);
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    Msg::queueAnswer(QMessageBox::Cancel);
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(count("ZBID='" + kZb + "'"), 2);
    Msg::queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(w.Cmd[6], Qt::LeftButton);
    EXPECT_EQ(count("ZBID='张三#" + kZb + "#" + GetSrvDate() + " 10:00'"), 2);
    TestSupport::emptyTables();
}

TEST_F(ReportWindows, ExportAndSingleDeleteFromTheJournal) {
    seed(2);
    enter();
    MxLst w(*k->session());
    w.setWindowTitle(QStringLiteral("物品流水账"));
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    const QString path = sb.path(QStringLiteral("out"));
    Shell::setNextSaveFileName(path);
    Msg::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(w.Cmd[1], Qt::LeftButton);
    EXPECT_EQ(shownTexts(),
              QStringList{QStringLiteral("数据导出完成！\n\n是否需要打开这个Excel文件？")});
    EXPECT_TRUE(QFileInfo(path + ".csv").size() > 0);
    EXPECT_EQ(Shell::openedAddresses().size(), 1);

    Msg::clearShown();
    w.Lst->selectRow(rowOf(w, QStringLiteral("N12020000001")));
    Msg::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(w.Cmd[5], Qt::LeftButton);
    EXPECT_EQ(count("ZBID='管理员#" + kZb + "#2026-12-06 10:00' and ID='N12020000001'"), 1);
    EXPECT_EQ(w.listedIds(), QStringList{QStringLiteral("N12020000000")});
    EXPECT_EQ(w.Lst->selected(), 5); // the remembered place again

    CurQx[7] = QLatin1Char('0');
    Msg::clearShown();
    QTest::mouseClick(w.Cmd[1], Qt::LeftButton);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("对不起，您无此权限！")});
}

TEST_F(ReportWindows, MouseOnARuleLineHighlightsTheRecordItActsOn) {
    seed(2);
    seed(2, QStringLiteral("角铁"), 3);
    enter();
    MxLst w(*k->session());
    w.show();
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    ReportLines* lines = w.Lst->lines();
    int rule = -1;
    for (int i = 3; i + 1 < lines->count() && rule < 0; ++i)
        if (TextTable::isRuleLine(lines->text(i)) && !lines->id(i - 1).isEmpty() &&
            !lines->id(i + 1).isEmpty())
            rule = i;
    ASSERT_GT(rule, 0);
    QWidget* vp = w.Lst->viewport();
    auto at = [&](int row) {
        return w.Lst->visualRect(lines->index(row, ReportLines::TextColumn)).center();
    };
    // The highlighted line, which must be the one the commands act on.
    auto shown = [&] {
        const QModelIndexList sel = w.Lst->selectionModel()->selectedIndexes();
        const int row = sel.size() == 1 ? sel.first().row() : -1;
        return row == w.Lst->selected() ? row : -2;
    };
    QTest::mouseClick(vp, Qt::LeftButton, {}, at(rule - 1));
    QTest::mouseClick(vp, Qt::LeftButton, {}, at(rule));
    EXPECT_EQ(shown(), rule + 1);
    QTest::mouseClick(vp, Qt::LeftButton, {}, at(rule)); // from below: the record above
    EXPECT_EQ(shown(), rule - 1);
    QTest::mouseClick(vp, Qt::LeftButton, {}, at(rule + 1));
    QTest::mousePress(vp, Qt::LeftButton, {}, at(rule));
    for (int dx : {2, 4, 6}) {
        const QPoint p = at(rule) + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
    }
    QTest::mouseRelease(vp, Qt::LeftButton, {}, at(rule) + QPoint(6, 0));
    EXPECT_EQ(shown(), rule - 1);

    const QString picked = lines->id(rule - 1);
    Msg::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(w.Cmd[5], Qt::LeftButton);
    EXPECT_EQ(count("ZBID<>'" + kZb + "'"), 1);
    EXPECT_EQ(count("ZBID<>'" + kZb + "' and ID='" + picked + "'"), 1);
}

TEST_F(ReportWindows, LateRecordsKeepTheirMinuteAndTakeTheNextHundredth) {
    seed(1);
    enter();
    MxLst w(*k->session());
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    whenModal([&](QWidget* modal) {
        auto* ed = qobject_cast<MxEd*>(modal);
        ASSERT_NE(ed, nullptr);
        EXPECT_EQ(ed->windowTitle(), QStringLiteral("漏账补录"));
        EXPECT_FALSE(ed->Cmd[2]->isVisible());
        ed->Chk->setChecked(true);
        ed->CmbItm->setEditText(QStringLiteral("螺丝 - 大"));
        for (const QString& bad :
             {QStringLiteral("1,000"), QStringLiteral("5abc"), QStringLiteral("+0")}) {
            ed->TxtSL->setText(bad);
            ed->Cmd_Click(0);
        }
        ed->TxtSL->clear();
        ed->Cmb->select(3, QStringLiteral("08"));
        ed->Cmb->select(4, QStringLiteral("30"));
        for (int i = 0; i < 2; ++i) {
            QTest::keyClicks(ed->TxtSL, QStringLiteral("5"));
            EXPECT_EQ(ed->TxtSL->text(), QStringLiteral("+5"));
            ed->Cmd_Click(0);
            EXPECT_EQ(ed->Lab5->text(), QStringLiteral("+5 已保存！"));
        }
        ed->Cmd_Click(1);
    });
    QTest::mouseClick(w.Cmd[3], Qt::LeftButton);
    EXPECT_EQ(shownTexts(), QStringList(3, QStringLiteral("请输入存量增减的数值！")));
    ASSERT_EQ(RunSql("select ID,TM,ITEM,SL from Zhang where ITEM='螺丝-大' order by ID"), "2");
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("N1206") + QString::number(8 * 3600 + 30 * 60) + "00");
    EXPECT_EQ(SqlRows(2, 0), QStringLiteral("N1206") + QString::number(8 * 3600 + 30 * 60) + "01");
    EXPECT_EQ(SqlRows(1, 1), SqlRows(2, 1));
    EXPECT_EQ(SqlRows(1, 3), QStringLiteral("5"));
    // The journal now lists the item just recorded.
    EXPECT_EQ(w.CmbItm->currentText(), QStringLiteral("螺丝-大"));
    EXPECT_EQ(w.listedIds().size(), 2);
    EXPECT_GE(k->Cmb->findText(QStringLiteral("螺丝-大")), 0);
}

TEST_F(ReportWindows, EditsReplaceOnceAndNeverLoseTheRecord) {
    seed(1);
    ASSERT_EQ(RunSql("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ('" + kZb +
                     "','张三','2012-03-04 05:06','A0304000001','旧货',-2,'老')"),
              kOK);
    enter();
    MxLst w(*k->session());
    w.Cmb->selectYear(2012);
    w.Cmb->select(1, QStringLiteral("01"));
    QTest::mouseClick(w.Cmd[0], Qt::LeftButton);
    const auto open = [&](const QString& id) {
        w.Lst->selectRow(rowOf(w, id));
        return w.editor(2, QStringLiteral("修改账目"));
    };

    // A record older than the year list keeps its year.
    auto old = open(QStringLiteral("A0304000001"));
    ASSERT_TRUE(old->Form_Activate());
    EXPECT_EQ(old->Cmb->stamp(), QStringLiteral("2012-03-04 05:06"));
    EXPECT_EQ(old->TxtSL->text(), QStringLiteral("-2"));
    EXPECT_EQ(old->TxtBZ->text(), QStringLiteral("老"));

    // Two editors on one record: the second finds it gone.
    auto first = open(QStringLiteral("N12020000000"));
    auto second = open(QStringLiteral("N12020000000"));
    ASSERT_TRUE(first->Form_Activate());
    ASSERT_TRUE(second->Form_Activate());
    first->TxtSL->setText(QStringLiteral("+7"));
    first->Cmd_Click(0);
    second->Cmd_Click(0);
    EXPECT_EQ(shownTexts(),
              QStringList{QStringLiteral(
                  "您要修改的记录已经被删除！\n\n请返回流水明细账重新【统计】再进行修改！")});
    ASSERT_EQ(RunSql("select ID,SL,USR from Zhang where ZBID='" + kZb + "' and ITEM='钢管'"), "1");
    const QString newId = SqlRows(1, 0);
    EXPECT_EQ(newId, QStringLiteral("N1202") + QString::number(9 * 3600) + "00");
    EXPECT_EQ(SqlRows(1, 1), QStringLiteral("7"));
    EXPECT_EQ(count("ZBID='" + newId + "#" + kZb + "#2026-12-06 10:00' and ID='N12020000000'"), 1);

    // A record retired behind the list is not opened at all.
    Msg::clearShown();
    ASSERT_EQ(RunSql("update Zhang set ZBID='x' where ID='" + newId + "'"), kOK);
    EXPECT_FALSE(open(newId)->Form_Activate());
    ASSERT_EQ(RunSql("update Zhang set ZBID='" + kZb + "' where ID='" + newId + "'"), kOK);
    EXPECT_EQ(shownTexts().size(), 1);
    EXPECT_TRUE(shownTexts().value(0).startsWith(QStringLiteral("您要修改的记录已经被删除！")));

    // An insert that fails leaves the record where it was.
    Msg::clearShown();
    sqliteExec(QStringLiteral("create trigger refuse before insert on Zhang begin select "
                              "raise(abort,'refused'); end"));
    auto failing = open(newId);
    ASSERT_TRUE(failing->Form_Activate());
    failing->TxtSL->setText(QStringLiteral("+8"));
    failing->Cmd_Click(0);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("连接服务器失败，请重试！")});
    EXPECT_EQ(count("ZBID='" + kZb + "' and ID='" + newId + "' and SL=7"), 1);

    // Deleting from the editor needs right 12, and retires under the operator's name.
    CurQx[11] = QLatin1Char('0');
    Msg::clearShown();
    failing->Cmd_Click(2);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("对不起，您无此权限！")});
    CurQx[11] = QLatin1Char('1');
    Msg::queueAnswer(QMessageBox::Yes);
    failing->Cmd_Click(2);
    EXPECT_EQ(count("ZBID='管理员#" + kZb + "#2026-12-06 10:00' and ID='" + newId + "'"), 1);

    // A time that cannot be read: opened with a warning in the window, and deleted as any other.
    ASSERT_EQ(RunSql("update Zhang set TM='昨天' where ID='A0304000001'"), kOK);
    Msg::clearShown();
    auto unreadable = open(QStringLiteral("A0304000001"));
    EXPECT_TRUE(unreadable->Form_Activate());
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_TRUE(unreadable->LabTm->isVisibleTo(unreadable.get()));
    EXPECT_EQ(unreadable->LabTm->text(),
              QStringLiteral("这条记录保存的时间“昨天”无法识别，保存时将使用上面选择的时间。"));
    Msg::queueAnswer(QMessageBox::Yes);
    unreadable->Cmd_Click(2);
    EXPECT_EQ(count("ZBID<>'" + kZb + "' and ID='A0304000001'"), 1);
}

} // namespace

// Whatever the font makes of a character (Greek and accented Latin are proportional even in the
// monospaced CJK font), the "│" after a cell of one width stands at the same place on screen.
TEST(ReportListDrawing, BarsAfterCellsOfOneWidthLineUp) {
    QWidget window;
    window.resize(600, 400);
    Report::ReportList list(&window);
    list.setGeometry(0, 0, 600, 400);
    const QStringList samples = {"中", "ab", "φ", "é", "Ж", "°", "²", "Ω", "ü", "，", "Aé中"};
    for (const QString& s : samples) {
        QString line = s;
        while (TextTwips(line) < 720)
            line += QLatin1Char(' ');
        list.lines()->append(line + QStringLiteral("│"));
    }
    window.show();
    QApplication::processEvents();
    const QImage image = list.viewport()->grab().toImage();
    const auto lastDarkColumn = [&](int row) {
        const QRect r = list.visualRect(list.model()->index(row, 0));
        for (int x = r.right(); x >= r.left(); --x)
            for (int y = r.top(); y <= r.bottom(); ++y)
                if (qGray(image.pixel(x, y)) < 128)
                    return x;
        return -1;
    };
    const int first = lastDarkColumn(0);
    ASSERT_GT(first, 0);
    for (int row = 1; row < samples.size(); ++row)
        EXPECT_EQ(lastDarkColumn(row), first) << samples[row].toStdString();
}

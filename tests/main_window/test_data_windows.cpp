// 备份数据, 恢复数据, the check at start and 迁移到服务器, driven through the main window.
#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/startup.h"
#include "db/backup.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("13900139000");

class DataWindows : public ::testing::Test {
protected:
    void SetUp() override {
        Backup::setFolder(sb.path("备份"));
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        ASSERT_EQ(RunSql("insert into Zblst (ZBid,ZbNm,Item,SL) values ('" + kZb +
                         "','门店','物品','存量')"),
                  "OK");
        addEntries(2);
        LedgerList::save({{kZb, "门店"}});
        LedgerList::setLastOpened(kZb);
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Backup::setFolder(QString());
    }
    void addEntries(int n) {
        for (int i = 0; i < n; ++i)
            RunSql("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL) values ('" + kZb +
                   "','管理员','2026-12-06 09:00','X" + QString::number(entries()) + "','钉子',3)");
    }
    int entries() {
        return RunSqlOne("select count(*) from Zhang where ZBID='" + kZb + "'").toInt();
    }
    // The ledger opened and `qx`'s holder logged in: the entry panel.
    void loggedIn(const QString& qx) {
        RunSql("insert into UsrLst (ZBID,Usr,Pwd,QX) values ('" + kZb + "','管理员','','" + qx +
               "')");
        k = Kuang::instance();
        k->show();
        k->OpenLedger();
        ASSERT_EQ(k->PanelNo, 1);
        k->LoginUsr();
        ASSERT_EQ(k->PanelNo, 2);
    }
    QAction* menu(const char* name) { return k->findChild<QAction*>(name); }

    TestSupport::Sandbox sb;
    Kuang* k = nullptr;
};

TEST_F(DataWindows, entriesNeedRightOneAndTheirKindOfDatabase) {
    loggedIn("0111111111111111");
    for (const char* name : {"Menu_BackUp", "Menu_Restore", "Menu_MoveZb"}) {
        ASSERT_NE(menu(name), nullptr) << name;
        EXPECT_TRUE(menu(name)->isEnabled()) << name;
        Msg::clearShown();
        menu(name)->trigger();
        EXPECT_EQ(TestSupport::shownTexts(), QStringList{"对不起，您无此权限！"}) << name;
    }
    EXPECT_FALSE(menu("Menu_CopyZb")->isEnabled());
    EXPECT_EQ(menu("Menu_CopyZb")->toolTip(), "这个账本就在本机的内置数据库里，不需要复制到本机。");
    EXPECT_EQ(menu("Menu_BackUp")->text(), "备份数据");
    EXPECT_EQ(menu("Menu_Restore")->text(), "恢复数据");
    EXPECT_EQ(menu("Menu_MoveZb")->text(), "迁移到服务器");
    EXPECT_EQ(menu("Menu_CopyZb")->text(), "复制到本机");

    if (!TestSupport::havePostgres())
        return;
    sb.usePostgres();
    k->ShowPanel(2);
    for (const char* name : {"Menu_BackUp", "Menu_Restore", "Menu_MoveZb"}) {
        EXPECT_FALSE(menu(name)->isEnabled()) << name;
        EXPECT_FALSE(menu(name)->toolTip().isEmpty()) << name;
    }
    EXPECT_EQ(menu("Menu_BackUp")->toolTip(), Backup::notEmbedded());
    EXPECT_TRUE(menu("Menu_CopyZb")->isEnabled());
}

TEST_F(DataWindows, backUpThenRestoreAfterMoreEntries) {
    loggedIn(QString(16, '1'));
    const QString chosen = sb.path("我的备份.db");
    Shell::setNextSaveFileName(chosen);
    menu("Menu_BackUp")->trigger();
    EXPECT_EQ(Msg::last().text, "数据已经备份到：\r\r" + chosen);
    {
        QFile made(chosen); // a copy chosen by hand is dated by its file
        ASSERT_TRUE(made.open(QIODevice::ReadWrite));
        made.setFileTime(QDateTime(QDate(2026, 12, 6), QTime(10, 0)),
                         QFileDevice::FileModificationTime);
    }
    addEntries(3);

    // Not a database: refused before any question.
    QFile text(sb.path("账.csv"));
    text.open(QIODevice::WriteOnly);
    text.write("物品,增减\r\n");
    text.close();
    const auto restoreFrom = [&](const QString& path, QMessageBox::StandardButton answer) {
        Msg::clearShown();
        Msg::queueAnswer(answer);
        Shell::setNextOpenFileName(path);
        TestSupport::whenModal([](QWidget* pick) {
            EXPECT_EQ(pick->objectName(), "RestorePick");
            QTest::mouseClick(pick->findChild<QPushButton*>("Cmd_1"), Qt::LeftButton);
        });
        menu("Menu_Restore")->trigger();
    };
    restoreFrom(sb.path("账.csv"), QMessageBox::Yes);
    EXPECT_EQ(TestSupport::shownTexts(),
              QStringList{"“账.csv”不是云记账的数据文件，不能用来恢复数据！"});

    restoreFrom(chosen, QMessageBox::No);
    EXPECT_TRUE(Msg::last().text.startsWith(
        "要用2026-12-06的备份恢复数据吗？备份里有：\r    《门店》（ID：" + kZb + "）记录2条"));
    EXPECT_EQ(Msg::last().defaultButton, QMessageBox::No);
    EXPECT_EQ(entries(), 5);

    restoreFrom(chosen, QMessageBox::Yes);
    EXPECT_TRUE(Msg::last().text.startsWith("数据已经恢复到2026-12-06的备份。"));
    EXPECT_EQ(entries(), 2);
    EXPECT_EQ(k->PanelNo, 0);
}

TEST_F(DataWindows, damagedFileAtStartOffersTheNewestCopy) {
    const QString live = sb.sqlite().database;
    ASSERT_TRUE(Backup::daily(live, QDate(2026, 12, 3)).made);
    addEntries(1);
    ASSERT_TRUE(Backup::daily(live, QDate(2026, 12, 5)).made);
    Db::switchServer(Db::connection());
    QFile::resize(live, QFileInfo(live).size() / 2);
    QFile f(live);
    f.open(QIODevice::ReadOnly);
    const QByteArray damaged = f.readAll();
    f.close();

    Msg::queueAnswer(QMessageBox::No);
    checkEmbeddedDatabase();
    EXPECT_TRUE(Msg::last().text.contains("2026-12-05的备份")) << Msg::last().text.toStdString();
    EXPECT_EQ(Msg::last().defaultButton, QMessageBox::No);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), damaged);
    f.close();
    EXPECT_EQ(Backup::dailyCopies().size(), 2); // no copy of the damage

    Msg::queueAnswer(QMessageBox::Yes);
    checkEmbeddedDatabase();
    EXPECT_EQ(entries(), 3);
    QFile aside(sb.path("云记账-损坏-2026-12-06.db"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), damaged);
    EXPECT_EQ(Backup::dailyCopies().size(), 3); // today's, of the restored file
}

TEST_F(DataWindows, moveToServerOpensItThereAndMarksTheLedgerLeftBehind) {
    REQUIRE_POSTGRES();
    const Db::Connection local = sb.sqlite();
    Db::setConnection(TestSupport::postgres());
    TestSupport::emptyTables();
    Db::setConnection(local);
    loggedIn(QString(16, '1'));
    const Db::Connection pg = TestSupport::postgres();
    TestSupport::whenModal([&](QWidget* w) {
        w->findChild<QComboBox*>("CmbLX")->setCurrentIndex(1);
        w->findChild<QLineEdit*>("TxtSrv")->setText(pg.server);
        w->findChild<QLineEdit*>("TxtUid")->setText(pg.login);
        w->findChild<QLineEdit*>("TxtPwd")->setText(pg.password);
        w->findChild<QLineEdit*>("TxtDb")->setText(pg.database);
        QTest::mouseClick(w->findChild<QPushButton*>("Cmd_1"), Qt::LeftButton);
    });
    menu("Menu_MoveZb")->trigger();
    ASSERT_TRUE(TestSupport::shownTexts().join('\n').contains("个物品的合计两边全部一致。"))
        << TestSupport::shownTexts().join('\n').toStdString();
    EXPECT_EQ(Db::currentEngine(), Db::Engine::Postgres);
    EXPECT_EQ(k->PanelNo, 1);
    EXPECT_EQ(entries(), 2);

    Db::switchServer(local);
    k->BackToZbList();
    EXPECT_EQ(k->findChild<QComboBox*>("CmbZbNm")->currentText(), "门店（已迁移）");
    Msg::clearShown();
    Msg::queueAnswer(QMessageBox::No);
    k->OpenLedger();
    EXPECT_TRUE(Msg::shown().value(0).text.startsWith("账本《门店》已经迁移到服务器 "));
    EXPECT_EQ(Db::currentEngine(), Db::Engine::Sqlite);
    EXPECT_EQ(CurZbNm, "门店");
    k->BackToZbList();
    Msg::queueAnswer(QMessageBox::Yes);
    k->OpenLedger();
    EXPECT_EQ(Db::currentEngine(), Db::Engine::Postgres);
    EXPECT_EQ(LedgerList::load().value(0).name, "门店");

    // And a copy kept offline, in a file of its own.
    k->LoginUsr();
    ASSERT_EQ(k->PanelNo, 2);
    TestSupport::whenModal([&](QWidget* w) {
        EXPECT_FALSE(w->findChild<QComboBox*>("CmbLX")->isEnabled());
        w->findChild<QLineEdit*>("TxtDb")->setText(sb.path("离线.db"));
        QTest::mouseClick(w->findChild<QPushButton*>("Cmd_1"), Qt::LeftButton);
    });
    menu("Menu_CopyZb")->trigger();
    EXPECT_EQ(Db::connection().database, sb.path("离线.db"));
    EXPECT_EQ(k->PanelNo, 1);
    EXPECT_EQ(entries(), 2);
}

} // namespace

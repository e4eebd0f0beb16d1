// 服务器设置 through the windows: a fresh computer pointed at a new, empty server makes its tables
// when the first ledger is added, records into it, and comes back to it after a restart.
#include "admin/zbtyp.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/settings.h"
#include "app/startup.h"
#include "db/serverprobe.h"
#include "db/serversettings.h"
#include "db/srvset.h"
#include "main_window/kuang.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace MainBas;

namespace {

using TestSupport::whenModal;

int healthChecks(const QStringList& statements) {
    return static_cast<int>(statements.count(QStringLiteral("select 1")));
}

TEST(SrvSetFlow, ANewServerGetsItsTablesAndKeepsTheEntries) {
    if (!TestSupport::havePostgres())
        GTEST_SKIP() << "no test server: run scripts/test.sh";
    TestSupport::Sandbox sb;
    ServerSettings::setSystemFilePath(sb.path(QStringLiteral("none.ini")));
    Db::Connection target = TestSupport::postgres();
    target.database = qEnvironmentVariable("ZELVO_TEST_PG_EMPTY_DB");
    ASSERT_TRUE(TestSupport::dropTablesIn(target.database));
    Msg::clearShown();
    Kuang* k = Kuang::instance();
    k->show();

    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<SrvSet*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_FALSE(d->TxtSrv->isEnabled()); // the embedded database needs no server
        d->CmbLX->setCurrentIndex(1);
        EXPECT_TRUE(d->TxtSrv->isEnabled());
        EXPECT_FALSE(d->TxtCa->isEnabled());
        d->TxtSrv->setText(target.server);
        d->TxtUid->setText(target.login);
        d->TxtPwd->setText(target.password);
        d->TxtDb->setText(target.database);
        EXPECT_EQ(d->TxtPwd->displayText(), QString(target.password.size(), QLatin1Char('*')));
        d->CmbSsl->setCurrentIndex(3);
        EXPECT_TRUE(d->TxtCa->isEnabled());
        d->CmbSsl->setCurrentIndex(0);
        QTest::mouseClick(d->Cmd[0], Qt::LeftButton);
        QTest::mouseClick(d->Cmd[1], Qt::LeftButton);
    });
    QTest::mouseClick(k->CmdSrv, Qt::LeftButton);
    ASSERT_EQ(Msg::shown().size(), 1);
    EXPECT_EQ(Msg::last().title, QStringLiteral("测试连接"));
    EXPECT_TRUE(Msg::last().text.contains(QStringLiteral("还没有云记账的数据表")));
    EXPECT_EQ(Db::connection().database, target.database);
    EXPECT_EQ(ServerSettings::load().source, ServerSettings::Source::User);

    // The first ledger: the tables are made on request, then the ledger is created and opened.
    Msg::clearShown();
    Msg::queueAnswer(QMessageBox::Yes); // make the tables
    Msg::queueAnswer(QMessageBox::Ok);  // this computer now logs in as the guest
    Msg::queueAnswer(QMessageBox::Yes); // open the ledger just added
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<ZbTyp*>(w);
        ASSERT_NE(d, nullptr);
        d->TxtZbID->setText(QStringLiteral("13900000001"));
        d->Cmd_Click(3);
        d->Cmd_Click(5);
        d->Opt[1]->click();
        d->Cmd_Click(0);
    });
    k->AddZbToList();
    ASSERT_GE(Msg::shown().size(), 1);
    EXPECT_EQ(Msg::shown().first().text,
              QStringLiteral("服务器上还没有云记账的数据表，现在建立吗？"));
    EXPECT_EQ(Msg::shown().first().defaultButton, QMessageBox::No);
    ASSERT_EQ(k->PanelNo, 1) << Msg::last().text.toStdString();
    // The server is a secure one: the owner's login is kept nowhere, the guest's in its place.
    ASSERT_GE(Msg::shown().size(), 2);
    EXPECT_TRUE(Msg::shown().at(1).text.contains(QStringLiteral("登录名 zelvo_guest")));
    EXPECT_TRUE(Msg::shown().at(1).text.contains(ServerSettings::systemFilePath()));
    const Db::Connection kept = ServerSettings::load().connection;
    EXPECT_EQ(kept.login, QStringLiteral("zelvo_guest"));
    EXPECT_EQ(kept.password.size(), 24);
    EXPECT_EQ(Db::connection().login, QStringLiteral("zelvo_guest"));
    QFile ini(Settings::filePath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains(target.login.toUtf8()));

    // A person pauses before each action: none pays a round trip to check the connection.
    QThread::msleep(2200);
    TestSupport::ServerLog log;
    QTest::keyClick(k->TxtPwd, Qt::Key_Return);
    ASSERT_EQ(k->PanelNo, 2) << Msg::last().text.toStdString();
    QThread::msleep(2200);
    k->Cmb->setEditText(QStringLiteral("钢管"));
    k->Txt->setText(QStringLiteral("+5"));
    QTest::keyClick(k->Txt, Qt::Key_Return);
    EXPECT_EQ(healthChecks(log.statements()), 0) << log.statements().join('\n').toStdString();
    EXPECT_EQ(RunSqlOne(QStringLiteral("select SL from Zhang where ITEM='钢管'")),
              QStringLiteral("5"));

    // A restart comes back to the same server.
    Kuang::destroyInstance();
    Db::switchServer(Db::builtInConnection());
    Main();
    EXPECT_EQ(Db::connection().database, target.database);
    EXPECT_EQ(Db::connection().login, QStringLiteral("zelvo_guest"));
    EXPECT_EQ(RunSqlOne(QStringLiteral("select zelvo_ledger_name('13900000001')")),
              QStringLiteral("我的云账本"));
    EXPECT_EQ(RunSql(QStringLiteral("select ZbNm from Zblst")), QString());
    Kuang::destroyInstance();
    ServerSettings::setSystemFilePath(QString());
    TestSupport::dropTablesIn(target.database);
}

// 恢复默认 fills in what the computer uses without a choice of the user's own: the
// administrator's file, else the values built in. Saved unchanged, the user's section goes and
// the computer follows that file again, its later changes included; one box changed is the
// user's own choice.
TEST(SrvSetDefaults, SavingTheDefaultsGivesTheComputerBackToTheSystemFile) {
    TestSupport::Sandbox sb;
    const QString systemFile = sb.path(QStringLiteral("system.ini"));
    // The administrator's file holding `c`, written as this program writes its own.
    const auto deploy = [&](const Db::Connection& c) {
        ServerSettings::setSystemFilePath(sb.path(QStringLiteral("none.ini")));
        sb.useSettings(QStringLiteral("admin.ini"));
        ServerSettings::save(c);
        QFile::remove(systemFile);
        ASSERT_TRUE(QFile::rename(sb.path(QStringLiteral("admin.ini")), systemFile));
        ServerSettings::setSystemFilePath(systemFile);
        sb.useSettings(QStringLiteral("zelvo.ini"));
    };
    Db::Connection team{Db::Engine::Postgres,    "db.team.lan,5433", "仓管", "p'w", "云记账",
                        Db::Encryption::Require, QString()};
    Db::Connection mine = Db::builtInConnection();
    mine.database = sb.path(QStringLiteral("本机.db"));
    ServerSettings::setSystemFilePath(sb.path(QStringLiteral("none.ini")));

    for (const bool administered : {false, true}) {
        if (administered)
            deploy(team);
        const Db::Connection want = administered ? team : Db::builtInConnection();
        const auto wantSource =
            administered ? ServerSettings::Source::System : ServerSettings::Source::BuiltIn;
        ServerSettings::save(mine);
        ASSERT_EQ(ServerSettings::load().source, ServerSettings::Source::User);
        SrvSet d;
        d.Cmd_Click(3);
        EXPECT_EQ(d.CmbLX->currentIndex(), administered ? 1 : 0);
        EXPECT_EQ(d.TxtSrv->text(), want.server);
        EXPECT_EQ(d.TxtPwd->text(), want.password);
        EXPECT_EQ(d.TxtDb->text(), want.database);
        d.Cmd_Click(1);
        EXPECT_EQ(ServerSettings::load().source, wantSource) << administered;
        EXPECT_EQ(Db::connection().server, want.server);

        SrvSet again;
        EXPECT_EQ(again.TxtDb->text(), want.database);
        again.TxtPwd->setText(want.password + QStringLiteral("x"));
        again.Cmd_Click(1);
        EXPECT_EQ(ServerSettings::load().source, ServerSettings::Source::User);
        EXPECT_EQ(ServerSettings::load().connection.password, want.password + QStringLiteral("x"));
        ServerSettings::save(want);
        EXPECT_EQ(ServerSettings::load().source, wantSource);
    }
    team.server = QStringLiteral("db2.team.lan");
    deploy(team);
    EXPECT_EQ(ServerSettings::load().connection.server, team.server);
    ServerSettings::setSystemFilePath(QString());
    Db::switchServer(sb.sqlite());
}

} // namespace

namespace {

// A new server whose tables the person declines to make, or whose login may not make them: the
// question (and the reason they were not made) is all that is said, when opening a ledger and
// when adding one.
TEST(SrvSetFlow, TablesNotMadeTakeOneMessage) {
    if (!TestSupport::havePostgres())
        GTEST_SKIP() << "no test server: run scripts/test.sh";
    TestSupport::Sandbox sb;
    Db::Connection owner = TestSupport::postgres();
    owner.database = qEnvironmentVariable("ZELVO_TEST_PG_EMPTY_DB");
    ASSERT_TRUE(TestSupport::dropTablesIn(owner.database));
    // A login that may read and write the database but not create in its schema.
    Db::Connection guest = owner;
    guest.login = qEnvironmentVariable("ZELVO_TEST_PG_SSL_USER");
    guest.encryption = Db::Encryption::Require;
    const QString noRight = QStringLiteral("当前登录名没有建立数据表的权限。");
    struct Case {
        Db::Connection c;
        QMessageBox::StandardButton answer;
        QString second; // what follows the question; empty: nothing
    };
    const QList<Case> cases = {{owner, QMessageBox::No, {}}, {guest, QMessageBox::Yes, noRight}};
    const QList<std::function<void()>> actions = {
        [] {
            LedgerList::save({{QStringLiteral("L1"), QStringLiteral("仓库")}});
            LedgerList::setLastOpened(QStringLiteral("L1"));
            Kuang* k = Kuang::instance();
            k->show();
            k->OpenLedger();
            EXPECT_EQ(k->PanelNo, 0);
        },
        [] {
            ZbTyp* d = ZbTyp::instance();
            d->showFrame(0);
            d->TxtZbID->setText(QStringLiteral("13900000001"));
            d->Cmd_Click(3);
        }};
    for (const Case& c : cases) {
        for (const auto& act : actions) {
            Db::switchServer(c.c);
            Msg::clearShown();
            Msg::queueAnswer(c.answer);
            act();
            const QStringList shown = TestSupport::shownTexts();
            ASSERT_EQ(shown.size(), c.second.isEmpty() ? 1 : 2) << shown.join('|').toStdString();
            EXPECT_EQ(shown[0], ServerProbe::askCreateTables());
            if (!c.second.isEmpty()) {
                EXPECT_TRUE(shown[1].startsWith(c.second)) << shown[1].toStdString();
            }
            Kuang::destroyInstance();
            ZbTyp::destroyInstance();
        }
    }
    Db::switchServer(owner);
    EXPECT_FALSE(Db::missingTables().isEmpty()); // nothing was made
}

} // namespace

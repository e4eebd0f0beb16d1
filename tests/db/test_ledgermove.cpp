// A ledger carried from the embedded database to the test PostgreSQL server and back: whole, in
// a few statements, nothing written when the target refuses half-way or holds the id already,
// and one winner when two computers move the same ledger at once.
#include "db/ledgermove.h"
#include "db/secure.h"
#include "reports/audit.h"
#include "reports/balance.h"
#include "reports/journal.h"
#include "reports/summary.h"
#include "testsupport.h"

#include "app/format.h"
#include "app/mainbas.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("shop_a@x.cn");

// A ledger with a notice, three operators, `n` entries of which a tenth were edited (their old
// row retired under the new row's id) and a tenth deleted; beside it two ledgers whose rows must
// stay behind, one differing only in letter case, one matching "_" literally.
void makeLedger(const Db::Connection& c, const QString& zbid, int n) {
    Db::setConnection(c);
    const QString id = zbid;
    ASSERT_EQ(RunSql("insert into Zblst (ZBid,ZbNm,Item,SL,Bz,BgDate,Msg,GongGao) values ('" + id +
                     "','五金仓库','物品','存量','自已注册','2026-01-02','您好！','255│盘点周五')"),
              "OK");
    ASSERT_EQ(RunSql("insert into UsrLst (ZBID,Usr,Pwd,QX) values ('" + id +
                     "','管理员','p1','1111111111111111'),('" + id +
                     "','小王','','0110000000000001'),"
                     "('" +
                     id + "','a#b','x''y',NULL)"),
              "OK");
    for (int start = 0; start < n; start += 500) {
        QStringList rows;
        for (int i = start; i < std::min(n, start + 500); ++i)
            rows << QStringLiteral("('%1','管理员','2026-12-%2 %3:%4','E%5','货品%6',%7,'%8')")
                        .arg(id)
                        .arg(1 + i % 5, 2, 10, QChar('0'))
                        .arg(8 + i % 10, 2, 10, QChar('0'))
                        .arg(i % 60, 2, 10, QChar('0'))
                        .arg(i, 11, 10, QChar('0'))
                        .arg(i % 37)
                        .arg(shortestDecimal((i % 2 ? -1 : 1) * (i % 97) / 8.0))
                        .arg(i % 3 ? QString() : QStringLiteral("备注，第%1条").arg(i));
        ASSERT_EQ(RunSql("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values " + rows.join(',')),
                  "OK");
    }
    ASSERT_EQ(RunSql("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) select ZBID,'小王',TM,"
                     "'N'||substr(ID,2),ITEM,SL+1,BZ from Zhang where ZBID='" +
                     id + "' and ID like 'E%3'"),
              "OK");
    ASSERT_EQ(RunSql("update Zhang set ZBID='N'||substr(ID,2)||'#" + id +
                     "#2026-12-05 10:00' where ZBID='" + id + "' and ID like 'E%3'"),
              "OK");
    ASSERT_EQ(RunSql("update Zhang set ZBID='a#b#" + id + "#2026-12-05 11:30' where ZBID='" + id +
                     "' and ID like 'E%7'"),
              "OK");
    for (const QString& other : {zbid.toUpper(), QString(zbid).replace('_', 'X')})
        ASSERT_EQ(RunSql("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ('" + other +
                         "','管理员','2026-12-01 09:00','E1','别的',5,''),('管理员#" + other +
                         "#2026-12-02 09:00','管理员','2026-12-01 09:00','E2','别的',1,'')"),
                  "OK");
}

// Journal, summary, balance list and audit of the ledger on the connection `c`.
QStringList views(const Db::Connection& c, const QString& zbid) {
    Db::setConnection(c);
    QStringList out;
    Journal::Filter j;
    j.from = {"2026", "12", "01", "00", "00"};
    j.to = {"2026", "12", "06", "23", "59"};
    j.item = QStringLiteral("全部物品");
    for (const ReportLine& l : Journal::list(zbid, "物品", j).body)
        out << l.text;
    RunSql(Summary::statement(zbid, "2026-12-02 00:00", "2026-12-04 23:59"));
    for (const Summary::Row& r : Summary::rowsOf(SqlRows, SqlRowMax))
        out << r.item + NumStr(r.opening) + NumStr(r.increase) + NumStr(r.decrease);
    RunSql(Balance::statement(zbid, QString(), Balance::ItemRelation::Contains));
    for (const Balance::Row& r : Balance::keptRows(SqlRows, SqlRowMax, {}, {}))
        out << r.item + NumStr(r.balance);
    for (const ReportLine& l : Audit::list(zbid, {j.from, j.to, {}, {}}).body)
        out << l.text;
    RunSql("select Usr,Pwd,QX from UsrLst where ZBID='" + zbid + "' order by Usr");
    for (int i = 1; i < SqlRowMax; ++i)
        out << SqlRows(i, 0) + "|" + SqlRows(i, 1) + "|" + SqlRows(i, 2);
    out << RunSqlOne("select GongGao from Zblst where ZBid='" + zbid + "'");
    return out;
}

int rowsOf(const QString& zbid) {
    return RunSqlOne("select (select count(*) from Zblst where ZBid='" + zbid +
                     "')+(select count(*) from UsrLst where ZBID='" + zbid +
                     "')+(select count(*) from Zhang where ZBID like '%" + zbid + "%')")
        .toInt();
}

// Statements on a connection of the test's own, kept open for the test's length.
class Side {
public:
    Side() {
        const Db::Connection c = TestSupport::postgres();
        db_ = Db::configuredDatabase(c, "move-side");
        db_.open();
    }
    ~Side() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase("move-side");
    }
    bool exec(const QString& s) { return QSqlQuery(db_).exec(s); }
    QSqlDatabase db_;
};

class Move : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_POSTGRES();
        sb.usePostgres();
        pg = TestSupport::postgres();
        local = sb.sqlite();
    }
    TestSupport::Sandbox sb;
    Db::Connection pg, local;
};

TEST_F(Move, wholeLedgerArrivesInFewStatementsAndEveryViewAgrees) {
    makeLedger(local, kZb, 10000);
    const QStringList before = views(local, kZb);
    ASSERT_GT(before.size(), 10000);
    qint64 lastDone = 0;
    TestSupport::ServerLog log;
    const LedgerMove::Outcome o = LedgerMove::copy(local, pg, kZb, [&](qint64 done, qint64 total) {
        EXPECT_GT(done, lastDone);
        EXPECT_EQ(total, 10000 + 1000);
        lastDone = done;
    });
    ASSERT_EQ(o.status, LedgerMove::Outcome::Moved) << o.error.toStdString();
    EXPECT_LE(log.statements().size(), 12);
    EXPECT_EQ(lastDone, 11000);
    EXPECT_TRUE(LedgerMove::agree(o.source, o.target));
    EXPECT_EQ(o.target.retired, 2000);
    EXPECT_EQ(o.target.operators, 3);
    EXPECT_EQ(views(pg, kZb), before);
    EXPECT_EQ(views(local, kZb), before); // the source as it was

    // And back, into a file that has no tables yet.
    Db::Connection copyHere = local;
    copyHere.database = sb.path("copy.db");
    const LedgerMove::Outcome back = LedgerMove::copy(pg, copyHere, kZb);
    ASSERT_EQ(back.status, LedgerMove::Outcome::Moved) << back.error.toStdString();
    EXPECT_EQ(views(copyHere, kZb), before);
    EXPECT_NE(LedgerMove::result(back, kZb, copyHere, "物品").indexOf("全部一致"), -1);
}

TEST_F(Move, refusalHalfWayOrAnIdTakenLeavesNothingWritten) {
    makeLedger(local, kZb, 6000);
    const QStringList source = views(local, kZb);
    Side side;
    const auto failsCleanly = [&](LedgerMove::Outcome::Status want, const char* what) {
        const LedgerMove::Outcome o = LedgerMove::copy(local, pg, kZb);
        EXPECT_EQ(o.status, want) << what;
        Db::setConnection(pg);
        EXPECT_EQ(rowsOf(kZb), what == std::string("taken") ? 1 : 0) << what;
        EXPECT_EQ(views(local, kZb), source) << what;
    };
    // A constraint of the server's own that the last rows break.
    ASSERT_TRUE(
        side.exec("alter table Zhang add constraint no_e5999 check (ID <> 'E00000005999')"));
    failsCleanly(LedgerMove::Outcome::Failed, "constraint");
    side.exec("alter table Zhang drop constraint no_e5999");
    // The connection killed under the first insert of entries.
    ASSERT_TRUE(TestSupport::dropConnectionAtNextInsert("Zhang"));
    failsCleanly(LedgerMove::Outcome::Failed, "killed");
    TestSupport::keepConnectionsAtInsert("Zhang");
    // The id is there already.
    ASSERT_TRUE(side.exec("insert into Zblst (ZBid,ZbNm) values ('" + kZb + "','别人的')"));
    failsCleanly(LedgerMove::Outcome::Exists, "taken");
}

TEST_F(Move, twoComputersMovingTheSameLedgerAtOnceOneWins) {
    Db::Connection a = local, b = local;
    a.database = sb.path("a.db");
    b.database = sb.path("b.db");
    makeLedger(a, kZb, 300);
    makeLedger(b, kZb, 200);
    Db::setConnection(pg);
    Side side;
    // Both pass their check for the id, then wait for the table until the lock goes.
    ASSERT_TRUE(side.db_.transaction());
    ASSERT_TRUE(side.exec("lock table Zblst in share mode"));
    LedgerMove::Outcome oa, ob;
    std::thread ta([&] { oa = LedgerMove::copy(a, pg, kZb); });
    std::thread tb([&] { ob = LedgerMove::copy(b, pg, kZb); });
    QThread::msleep(1500);
    side.db_.commit();
    ta.join();
    tb.join();
    const QList<int> statuses{oa.status, ob.status};
    EXPECT_EQ(statuses.count(LedgerMove::Outcome::Moved), 1);
    EXPECT_EQ(statuses.count(LedgerMove::Outcome::Exists), 1);
    const qint64 winner = oa.status == LedgerMove::Outcome::Moved ? 300 : 200;
    EXPECT_EQ(RunSqlOne("select count(*) from Zhang where ZBID like '%" + kZb + "%'").toInt(),
              winner + winner / 10);
}

} // namespace

TEST_F(Move, ontoAServerThatEnforcesRightsEachOperatorLogsInWithHisPassword) {
    Db::Connection secure = pg;
    secure.database = qEnvironmentVariable("ZELVO_TEST_PG_SECURE_DB");
    if (secure.database.isEmpty())
        GTEST_SKIP() << "no secure database on the test server";
    const QString zb = QStringLiteral("mv%1").arg(QDateTime::currentMSecsSinceEpoch());
    makeLedger(local, zb, 10);
    const LedgerMove::Outcome o = LedgerMove::copy(local, secure, zb);
    ASSERT_EQ(o.status, LedgerMove::Outcome::Moved) << o.error.toStdString();
    Db::setConnection(secure);
    EXPECT_EQ(RunSqlOne("select count(*) from UsrLst where ZBID='" + zb + "' and Pwd<>''"), "0");
    const struct {
        const char* usr;
        QString pwd;
        Db::LoginCheck want;
    } cases[] = {{"管理员", "p1", Db::LoginCheck::Accepted},
                 {"管理员", "p2", Db::LoginCheck::Refused},
                 {"a#b", "x'y", Db::LoginCheck::Accepted},
                 {"小王", Db::noPasswordText(zb, "小王"), Db::LoginCheck::Accepted}};
    for (const auto& c : cases)
        EXPECT_EQ(Db::checkLogin(Db::operatorRole(zb, c.usr), c.pwd), c.want) << c.usr;
    for (const char* usr : {"管理员", "小王", "a#b"})
        RunSqlOne("select zelvo_private.drop_role('" + Db::operatorRole(zb, usr) + "')");
}

// The access layer on each engine: classification, results and their text forms, failures, the
// busy handler and the cached server date.
#include "app/clock.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace MainBas;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

const char* engineName(Db::Engine engine) {
    switch (engine) {
    case Db::Engine::Sqlite:
        return "Sqlite";
    case Db::Engine::Postgres:
        return "Postgres";
    case Db::Engine::Odbc:
        return "Odbc";
    }
    return "?";
}

// Counts the busy calls and checks that every "on" is followed by its "off".
struct BusyCounter {
    int on = 0;
    int off = 0;
    int depth = 0;
    bool unbalanced = false;

    void install() {
        Db::setBusyHandler([this](bool busy) {
            if (busy) {
                ++on;
                if (++depth != 1)
                    unbalanced = true;
            } else {
                ++off;
                if (--depth != 0)
                    unbalanced = true;
            }
        });
    }
    void reset() { *this = BusyCounter(); }
    bool balancedOnce() const { return on == 1 && off == 1 && depth == 0 && !unbalanced; }
};

class RunSqlTest : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!box_.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        good_ = connection();
    }
    void TearDown() override { Db::setBusyHandler({}); }

    Db::Connection connection() const {
        switch (GetParam()) {
        case Db::Engine::Sqlite:
            return box_.sqlite();
        case Db::Engine::Postgres:
            return TestSupport::postgres();
        case Db::Engine::Odbc:
            return TestSupport::odbc();
        }
        return {};
    }

    // The same engine, but nobody answers: no file can be made there, or nothing listens.
    Db::Connection unreachable() const {
        Db::Connection c = connection();
        switch (c.engine) {
        case Db::Engine::Sqlite:
            c.database = QStringLiteral("/proc/zelvo-none/云记账.db");
            break;
        case Db::Engine::Postgres:
            c.server = QStringLiteral("127.0.0.1,1");
            break;
        case Db::Engine::Odbc:
            c.server = QStringLiteral("127.0.0.1;Port=1");
            break;
        }
        return c;
    }

    void insertEntry(const QString& zbid, const QString& id, const QString& item, const QString& sl,
                     const QString& tm = QStringLiteral("2014-03-05 10:20")) {
        ASSERT_EQ(str(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) "
                                            "values ('%1','管理员','%2','%3','%4',%5,'')")
                                 .arg(zbid, tm, id, item, sl))),
                  "OK");
    }

    TestSupport::Sandbox box_;
    Db::Connection good_;
};

TEST_P(RunSqlTest, StatementsAreClassifiedByTheirFirstWord) {
    EXPECT_EQ(str(RunSql(QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('L1','家')"))),
              "OK");
    EXPECT_EQ(str(RunSql(QStringLiteral("   select ZbNm from Zblst where ZBid='L1'  "))), "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "家");
    EXPECT_EQ(str(RunSql(QStringLiteral("SeLeCt ZbNm from Zblst"))), "1");
    EXPECT_EQ(str(RunSql(QStringLiteral("UPDATE Zblst set Msg='您好！' where ZBid='L1'"))), "OK");
    // A command that touches no row has still been done.
    EXPECT_EQ(str(RunSql(QStringLiteral("update Zblst set Msg='x' where ZBid='none'"))), "OK");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("   delete from Zblst where ZBid='none'"))), "OK");

    // Other words and texts of six characters or fewer are not sent at all; only blanks count
    // as surrounding, so a tab in front hides the keyword.
    EXPECT_EQ(str(RunSql(QStringLiteral("\tselect ZbNm from Zblst"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("create table Extra (a int)"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select * from Extra"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("with t as (select 1 as a) select a from t"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("  delete  "))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("update"))), "");
    EXPECT_EQ(str(RunSql(QString())), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select"))), "");
    // The keyword must be followed by a blank, not any other white space.
    EXPECT_EQ(str(RunSql(QStringLiteral("delete\tfrom Zblst"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZbNm from Zblst where ZBid='L1'"))), "1");
    EXPECT_EQ(str(RunSql(QStringLiteral("select 1"))), "1");
}

TEST_P(RunSqlTest, QueryFillsTheTableWithOneSpareRow) {
    insertEntry(QStringLiteral("L1"), QStringLiteral("A1"), QStringLiteral("苹果"),
                QStringLiteral("10"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A2"), QStringLiteral("梨"),
                QStringLiteral("-5"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A3"), QStringLiteral("桃"),
                QStringLiteral("2"));
    insertEntry(QStringLiteral("L2"), QStringLiteral("A1"), QStringLiteral("瓜"),
                QStringLiteral("1"));

    EXPECT_EQ(
        str(RunSql(QStringLiteral("select ID,ITEM,SL from Zhang where ZBID='L1' order by ID"))),
        "3");
    EXPECT_EQ(SqlCols, 3);
    EXPECT_EQ(SqlRowMax, 4);
    EXPECT_EQ(str(SqlRows(0, 0).toUpper()), "ID");
    EXPECT_EQ(str(SqlRows(0, 1).toUpper()), "ITEM");
    EXPECT_EQ(str(SqlRows(0, 2).toUpper()), "SL");
    EXPECT_EQ(str(SqlRows(1, 0)), "A1");
    EXPECT_EQ(str(SqlRows(2, 1)), "梨");
    EXPECT_EQ(str(SqlRows(2, 2)), "-5");
    EXPECT_EQ(str(SqlRows(3, 1)), "桃");
    // The spare row and the column past the last are there and empty.
    for (int col = 0; col <= SqlCols; ++col) {
        EXPECT_EQ(str(SqlRows(4, col)), "") << col;
        EXPECT_EQ(str(SqlRows(5, col)), "") << col;
    }
    EXPECT_EQ(str(SqlRows(1, 3)), "");
    EXPECT_EQ(SqlRows.rowCount(), SqlRowMax + 2);

    // RunSqlOne gives the first value and leaves the table of the last query alone.
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ITEM from Zhang where ZBID='L2'"))), "瓜");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ITEM from Zhang where ZBID='none'"))), "");
    EXPECT_EQ(SqlRowMax, 4);
    EXPECT_EQ(str(SqlRows(3, 1)), "桃");

    // No record: "0", one row of names and an empty row 1, as for a ledger without operators.
    EXPECT_EQ(str(RunSql(QStringLiteral("select Usr from UsrLst where ZBID='L1'"))), "0");
    EXPECT_EQ(SqlCols, 1);
    EXPECT_EQ(SqlRowMax, 1);
    EXPECT_EQ(str(SqlRows(0, 0).toUpper()), "USR");
    EXPECT_EQ(str(SqlRows(1, 0)), "");
    EXPECT_EQ(str(SqlRows(2, 0)), "");
    // The previous rows are gone.
    EXPECT_EQ(str(SqlRows(3, 1)), "");
}

TEST_P(RunSqlTest, NullReadsAsEmptyText) {
    ASSERT_EQ(
        str(RunSql(QStringLiteral("insert into Zblst (ZBid,ZbNm,Msg) values ('L1','家','')"))),
        "OK");
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZbNm,GongGao,Cmd,Msg from Zblst where ZBid='L1'"))),
              "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "家");
    EXPECT_EQ(str(SqlRows(1, 1)), "");
    EXPECT_EQ(str(SqlRows(1, 2)), "");
    EXPECT_EQ(str(SqlRows(1, 3)), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select GongGao from Zblst where ZBid='L1'"))), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ZbNm from Zblst where ZBid='L1'"))), "家");

    // A sum over no rows is NULL too.
    EXPECT_EQ(str(RunSql(QStringLiteral("select sum(SL) from Zhang where ZBID='L1'"))), "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select sum(SL) from Zhang where ZBID='L1'"))), "");
}

TEST_P(RunSqlTest, NumbersAndTimesHaveTheSameTextOnEveryEngine) {
    insertEntry(QStringLiteral("L1"), QStringLiteral("A1"), QStringLiteral("甲"),
                QStringLiteral("10"), QStringLiteral("2014-03-05 09:05"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A2"), QStringLiteral("甲"),
                QStringLiteral("0.5"), QStringLiteral("2014-03-05 09:05:07"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A3"), QStringLiteral("甲"),
                QStringLiteral("-0.25"), QStringLiteral("2014-12-31 23:59"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A4"), QStringLiteral("乙"),
                QStringLiteral("1234567.125"), QStringLiteral("2014-01-01 00:00"));
    insertEntry(QStringLiteral("L1"), QStringLiteral("A5"), QStringLiteral("乙"),
                QStringLiteral("0.5"), QStringLiteral("2014-01-02 00:00"));

    ASSERT_EQ(str(RunSql(QStringLiteral("select SL,TM from Zhang where ZBID='L1' order by ID"))),
              "5");
    EXPECT_EQ(str(SqlRows(1, 0)), "10");
    EXPECT_EQ(str(SqlRows(2, 0)), "0.5");
    EXPECT_EQ(str(SqlRows(3, 0)), "-0.25");
    EXPECT_EQ(str(SqlRows(4, 0)), "1234567.125");
    EXPECT_EQ(str(SqlRows(5, 0)), "0.5");
    EXPECT_EQ(str(SqlRows(1, 1)), "2014-03-05 09:05");
    EXPECT_EQ(str(SqlRows(2, 1)), "2014-03-05 09:05:07");
    EXPECT_EQ(str(SqlRows(3, 1)), "2014-12-31 23:59");
    EXPECT_EQ(str(SqlRows(4, 1)), "2014-01-01 00:00");

    EXPECT_EQ(str(RunSql(QStringLiteral("select Item,sum(SL),count(*) from Zhang where ZBID='L1' "
                                        "group by Zbid,Item order by Item"))),
              "2");
    // Sorted by the server; pick each item's row by name.
    const int jia = SqlRows(1, 0) == QStringLiteral("甲") ? 1 : 2;
    EXPECT_EQ(str(SqlRows(jia, 1)), "10.25");
    EXPECT_EQ(str(SqlRows(jia, 2)), "3");
    EXPECT_EQ(str(SqlRows(3 - jia, 1)), "1234567.625");

    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select sum(SL) from Zhang where ZBID='L1' and SL<0"))),
              "-0.25");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select max(TM) from Zhang where ZBID='L1'"))),
              "2014-12-31 23:59");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select count(*) from Zhang"))), "5");

    // The server's clock comes back as a date and a time.
    const QString now = RunSqlOne(QStringLiteral("select Getdate()"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d(:\d\d)?$)"))
                    .match(now)
                    .hasMatch())
        << str(now);
}

TEST_P(RunSqlTest, FailuresGiveEmptyTextAndTheNextCallWorks) {
    EXPECT_EQ(str(RunSql(QStringLiteral("select from where"))), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select from where"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("update Zblst set = 1"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("insert into NoSuchTable (a) values (1)"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select NoSuchColumn from Zblst"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select 1 from Zblst where ZBid='unclosed"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select 1"))), "1");

    Db::setConnection(unreachable());
    EXPECT_EQ(str(RunSql(QStringLiteral("select 1"))), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select 1"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("insert into Zblst (ZBid) values ('L9')"))), "");
    EXPECT_EQ(str(RunSql(QStringLiteral("create table x (a int)"))), "");

    Db::Connection refused = good_;
    refused.password = QStringLiteral("wrong");
    if (refused.engine != Db::Engine::Sqlite) {
        Db::setConnection(refused);
        EXPECT_EQ(str(RunSql(QStringLiteral("select 1"))), "");
    }

    Db::setConnection(good_);
    EXPECT_EQ(str(RunSql(QStringLiteral("select count(*) from Zblst where ZBid='L9'"))), "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "0");
}

TEST_P(RunSqlTest, BusyHandlerIsCalledOnceOnOffOnEveryPath) {
    BusyCounter busy;
    busy.install();
    const auto check = [&](const char* what, const std::function<void()>& call) {
        busy.reset();
        call();
        EXPECT_TRUE(busy.balancedOnce())
            << what << ": on " << busy.on << " off " << busy.off << " depth " << busy.depth;
    };
    check("query", [] { RunSql(QStringLiteral("select ZBid from Zblst")); });
    check("command", [] { RunSql(QStringLiteral("insert into Zblst (ZBid) values ('L1')")); });
    check("first value", [] { RunSqlOne(QStringLiteral("select ZBid from Zblst")); });
    check("not sent", [] { RunSql(QStringLiteral("drop table Zblst")); });
    check("too short", [] { RunSqlOne(QStringLiteral("select")); });
    check("syntax error", [] { RunSql(QStringLiteral("select from where")); });
    check("syntax error, first value", [] { RunSqlOne(QStringLiteral("select from where")); });
    check("server date", [] { GetSrvDate(); });
    Db::setConnection(unreachable());
    check("unreachable", [] { RunSql(QStringLiteral("select 1")); });
    check("unreachable, first value", [] { RunSqlOne(QStringLiteral("select 1")); });
}

TEST_P(RunSqlTest, ServerDateIsAskedOncePerLocalDay) {
    BusyCounter busy;
    busy.install();
    Clock::set(QDateTime(QDate(2014, 3, 5), QTime(10, 20, 30)));
    // What the server itself says today is; on SQLite its clock is the program's.
    const QString today = RunSqlOne(QStringLiteral("select Getdate()")).left(10);
    ASSERT_EQ(today.size(), 10);
    if (GetParam() == Db::Engine::Sqlite) {
        EXPECT_EQ(str(today), "2014-03-05");
    }

    busy.reset();
    EXPECT_EQ(GetSrvDate(), today);
    EXPECT_EQ(busy.on, 1);
    EXPECT_EQ(SrvDate, today);
    EXPECT_EQ(SrvDay, today.right(2).toInt());

    // Later calls of the same local day do not reach the server, even when it is gone.
    Db::setConnection(unreachable());
    Clock::set(QDateTime(QDate(2014, 3, 5), QTime(23, 59, 59)));
    busy.reset();
    EXPECT_EQ(GetSrvDate(), today);
    EXPECT_EQ(GetSrvDate(), today);
    EXPECT_EQ(busy.on, 0);

    // Past local midnight the server is asked again; unreachable, the local date stands in
    // and is kept for the rest of that day.
    Clock::set(QDateTime(QDate(2014, 3, 6), QTime(0, 5)));
    busy.reset();
    EXPECT_EQ(str(GetSrvDate()), "2014-03-06");
    EXPECT_EQ(GetSrvDate(), QStringLiteral("2014-03-06"));
    EXPECT_EQ(busy.on, 1);
    EXPECT_EQ(SrvDay, 6);

    // Back on the server the next day: its date, not the local one (SQLite's clock is ours).
    Db::setConnection(good_);
    Clock::set(QDateTime(QDate(2014, 3, 7), QTime(0, 0, 1)));
    busy.reset();
    const QString serverNow = GetSrvDate();
    EXPECT_EQ(busy.on, 1);
    if (GetParam() == Db::Engine::Sqlite) {
        EXPECT_EQ(str(serverNow), "2014-03-07");
    }

    // Asking for the date replaces the last query's table; nothing else does.
    MainBas::resetSessionState();
    RunSql(QStringLiteral("select ZBid,ZbNm from Zblst"));
    EXPECT_EQ(SqlCols, 2);
    EXPECT_EQ(GetSrvDate().size(), 10);
    EXPECT_EQ(SqlCols, 1);
    Clock::clear();
}

TEST_P(RunSqlTest, BatchIsAllOrNothingAndQuotedTextsSurvive) {
    // Quotes, backslashes, box drawing, CR LF and Chinese stored exactly through SqlStr.
    const QString tricky = QStringLiteral("x'); delete from Zhang; -- \\ \\' │ 甲\r\n乙''");
    QList<int> rows;
    EXPECT_EQ(str(RunSqlBatch({QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('L1','") +
                                   SqlStr(tricky) + QStringLiteral("')"),
                               QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('L2','b')"),
                               QStringLiteral("update Zblst set Msg='m' where ZBid like 'L%'")},
                              {1, 1, 2}, &rows)),
              "OK");
    EXPECT_EQ(rows, (QList<int>{1, 1, 2}));
    EXPECT_EQ(RunSqlOne(QStringLiteral("select ZbNm from Zblst where ZBid='L1'")), tricky);

    // A count other than asked, a failing statement, or a query in the batch: nothing stays.
    const QString rename = QStringLiteral("update Zblst set ZbNm='new' where ZBid='L2'");
    EXPECT_EQ(str(RunSqlBatch({rename, QStringLiteral("update Zblst set Msg='x' where ZBid='no'")},
                              {1, 1}, &rows)),
              "ROWS");
    EXPECT_EQ(rows, (QList<int>{1, 0}));
    EXPECT_EQ(str(RunSqlBatch({rename, QStringLiteral("insert into NoSuchTable (a) values (1)")})),
              "");
    EXPECT_EQ(str(RunSqlBatch({rename, QStringLiteral("select 1 from Zblst")})), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ZbNm from Zblst where ZBid='L2'"))), "b");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select Msg from Zblst where ZBid='L1'"))), "m");

    Db::setConnection(unreachable());
    EXPECT_EQ(str(RunSqlBatch({rename})), "");
    Db::setConnection(good_);
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZBid from Zblst"))), "2");
}

// The pooled connection is dropped by the server: a query goes again on a fresh connection, a
// command is never sent twice, and after a pause the connection is checked before use.
TEST_P(RunSqlTest, PooledConnectionComesBackAfterTheServerDropsIt) {
    if (GetParam() == Db::Engine::Sqlite)
        GTEST_SKIP() << "an embedded file has no server to drop it";
    const auto killPooled = [] { ASSERT_TRUE(TestSupport::terminatePooledBackend()); };
    const QString before = RunSqlOne(QStringLiteral("select pg_backend_pid()"));
    EXPECT_EQ(RunSqlOne(QStringLiteral("select pg_backend_pid()")), before); // reused

    killPooled();
    EXPECT_EQ(str(RunSql(QStringLiteral("select 1"))), "1");
    EXPECT_NE(RunSqlOne(QStringLiteral("select pg_backend_pid()")), before);

    ASSERT_TRUE(TestSupport::dropConnectionAtNextInsert(QStringLiteral("Zblst")));
    const QString insert = QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('L1','a')");
    EXPECT_EQ(str(RunSql(insert)), ""); // its reply may be what was lost: not sent again
    EXPECT_TRUE(Db::lastCommandLostConnection());
    EXPECT_EQ(str(RunSql(insert)), "OK");
    TestSupport::keepConnectionsAtInsert(QStringLiteral("Zblst"));

    killPooled();
    QThread::msleep(2100); // idle long enough to be checked first
    EXPECT_EQ(str(RunSql(QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('L2','b')"))), "OK");
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZBid from Zblst"))), "2");
}

// PostgreSQL's connection is asked of its socket: a backend gone during a pause is replaced
// before the next statement, which alone reaches the server, and no pause costs a round trip.
TEST_P(RunSqlTest, NoRoundTripToCheckThePooledConnection) {
    if (GetParam() != Db::Engine::Postgres)
        GTEST_SKIP() << "only PostgreSQL's socket can be asked";
    const QString before = RunSqlOne(QStringLiteral("select pg_backend_pid()"));
    ASSERT_TRUE(TestSupport::terminatePooledBackend());
    QThread::msleep(300);
    TestSupport::ServerLog log;
    EXPECT_EQ(str(RunSql(QStringLiteral("select 'after the kill'"))), "1");
    EXPECT_EQ(log.statements(), QStringList{QStringLiteral("select 'after the kill'")});
    EXPECT_NE(RunSqlOne(QStringLiteral("select pg_backend_pid()")), before);

    TestSupport::ServerLog paused;
    QThread::msleep(2500);
    EXPECT_EQ(str(RunSql(QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('P1','a')"))), "OK");
    QThread::msleep(2500);
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZbNm from Zblst where ZBid='P1'"))), "1");
    EXPECT_EQ(paused.statements(),
              QStringList({QStringLiteral("insert into Zblst (ZBid,ZbNm) values ('P1','a')"),
                           QStringLiteral("select ZbNm from Zblst where ZBid='P1'")}));
}

TEST_P(RunSqlTest, TopNWorksOnEveryEngine) {
    for (int i = 1; i <= 4; ++i)
        insertEntry(QStringLiteral("L1"), QStringLiteral("A%1").arg(i),
                    i == 3 ? QStringLiteral("top 2 x") : QStringLiteral("物%1").arg(i),
                    QString::number(i), QStringLiteral("2014-03-0%1 10:00").arg(i));
    // The test's ODBC source is PostgreSQL, and speaks its dialect.
    EXPECT_EQ(Db::currentDialect(),
              GetParam() == Db::Engine::Sqlite ? Db::Engine::Sqlite : Db::Engine::Postgres);

    EXPECT_EQ(
        str(RunSql(QStringLiteral("select top 2 ID,SL from Zhang where ZBID='L1' order by ID"))),
        "2");
    EXPECT_EQ(str(SqlRows(1, 0)), "A1");
    EXPECT_EQ(str(SqlRows(2, 0)), "A2");
    EXPECT_EQ(str(SqlRows(3, 0)), "");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("  SELECT TOP 1 tm from zhang where zbid='L1' and "
                                           "item='物4' order by tm desc"))),
              "2014-03-04 10:00");
    EXPECT_EQ(str(RunSql(QStringLiteral("Select Top 10 ID from Zhang where ZBID='L1'"))), "4");
    // "top" inside a value is left alone.
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ID from Zhang where ITEM='top 2 x'"))), "A3");
}

INSTANTIATE_TEST_SUITE_P(Engines, RunSqlTest,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres,
                                           Db::Engine::Odbc),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace

TEST(OdbcConnectionString, NamesTheDriverAndValuesInOrder) {
    Db::Connection c;
    c.engine = Db::Engine::Odbc;
    c.server = QStringLiteral("10.0.0.5");
    c.login = QStringLiteral("tsryun");
    c.password = QStringLiteral("MobKtz!5720");
    c.database = QStringLiteral("云记账");
    EXPECT_EQ(str(Db::odbcConnectionString(c)),
              "DRIVER=SQL Server;SERVER=10.0.0.5;UID=tsryun;PWD=MobKtz!5720;DATABASE=云记账");
}

// Calls run on the connection's own thread while the caller's event loop goes on; a wait given
// up stops the statement on the server and leaves nothing half-written.
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "reports/importwrite.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

#include <sched.h>

namespace {

// The longest gap between two ticks of a 10 ms timer while it runs.
class StallMeter {
public:
    StallMeter() {
        clock_.start();
        beat_.setInterval(10);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.elapsed() - last_);
            last_ = clock_.elapsed();
        });
        beat_.start();
    }
    qint64 longest() const { return std::max(longest_, clock_.elapsed() - last_); }

private:
    QElapsedTimer clock_;
    QTimer beat_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

QString slowQuery(Db::Engine engine) {
    if (engine == Db::Engine::Sqlite)
        return QStringLiteral("select count(*) from (with recursive c(x) as (select 1 union all "
                              "select x+1 from c where x < 1000000000) select x from c)");
    return QStringLiteral("select pg_sleep(30)");
}

} // namespace

TEST(CallWorker, aSlowStatementGivenUpIsStoppedOnTheServerWhileTheLoopRuns) {
    QCoreApplication::processEvents(); // earlier tests' calls let go of the CPU
    cpu_set_t cpus;
    ASSERT_EQ(sched_getaffinity(0, sizeof cpus, &cpus), 0);
    for (Db::Engine engine : {Db::Engine::Sqlite, Db::Engine::Postgres, Db::Engine::Odbc}) {
        TestSupport::Sandbox box;
        if (!box.useEngine(engine))
            continue;
        SCOPED_TRACE(static_cast<int>(engine));
        ASSERT_EQ(RunSql(QStringLiteral("select count(*) from Zblst")), "1");
        QElapsedTimer clock;
        clock.start();
        qint64 stall = 0;
        {
            StallMeter meter;
            QTimer::singleShot(300, [] { Db::cancelWaitingCall(); });
            EXPECT_EQ(RunSql(slowQuery(engine)), "");
            stall = meter.longest();
        }
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_LT(stall, 100);
        EXPECT_FALSE(Db::callWaiting());
        EXPECT_FALSE(Db::lastCallStoppedWhileConnecting());
        // Queued behind the stopped statement: quick only if the server really stopped it.
        clock.restart();
        EXPECT_EQ(RunSql(QStringLiteral("select count(*) from Zblst")), "1");
        EXPECT_LT(clock.elapsed(), 3000);
        // Held to one CPU for its calls, the thread gets all of its CPUs back in its loop.
        QCoreApplication::processEvents();
        cpu_set_t now;
        ASSERT_EQ(sched_getaffinity(0, sizeof now, &now), 0);
        EXPECT_TRUE(CPU_EQUAL(&now, &cpus));
    }
}

TEST(CallWorker, aBatchDeleteAndAnImportGivenUpUnderALockWriteNothing) {
    REQUIRE_POSTGRES();
    TestSupport::Sandbox box;
    box.usePostgres();
    TestSupport::emptyTables();
    for (const char* id : {"A2612060001", "A2612060002", "A2612060003"})
        ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,ID,Usr,TM,Item,SL) values "
                                        "('L','%1','管理员','2026-12-06 10:00','米',1)")
                             .arg(QLatin1String(id))),
                  "OK");
    const QString rows = QStringLiteral("select ID from Zhang where ZBID='L' order by ID");
    ASSERT_EQ(RunSql(rows), "3");

    const Db::Connection c = TestSupport::postgres();
    QSqlDatabase side = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "lock-holder");
    side.setHostName(c.server.section(',', 0, 0));
    side.setPort(c.server.section(',', 1).toInt());
    side.setUserName(c.login);
    side.setPassword(c.password);
    side.setDatabaseName(c.database);
    ASSERT_TRUE(side.open());
    QSqlQuery lock(side);
    ASSERT_TRUE(side.transaction());
    ASSERT_TRUE(lock.exec(QStringLiteral("lock table Zhang in exclusive mode")));

    // Gives the call up once it waits for the lock, and times the return.
    QElapsedTimer sinceCancel;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QSqlQuery q(side);
        if (q.exec(QStringLiteral("select count(*) from pg_locks where not granted")) && q.next() &&
            q.value(0).toInt() > 0) {
            watch.stop();
            sinceCancel.start();
            Db::cancelWaitingCall();
        }
    });

    watch.start();
    EXPECT_EQ(RunSqlBatch({QStringLiteral("update Zhang set ZBID='L#' where ZBID='L'"),
                           QStringLiteral("delete from Zhang where ZBID='L#'")}),
              "");
    EXPECT_TRUE(sinceCancel.isValid() && sinceCancel.elapsed() < 1000);
    EXPECT_TRUE(Db::lastCommandLostConnection());

    QVector<Import::Line> lines(10000);
    for (int i = 0; i < lines.size(); ++i) {
        lines[i].line = i + 1;
        lines[i].item = QStringLiteral("面");
        lines[i].quantity = i + 1;
    }
    sinceCancel.invalidate();
    watch.start();
    EXPECT_FALSE(Import::write(QStringLiteral("L"), QStringLiteral("管理员"), lines).ok);
    EXPECT_TRUE(sinceCancel.isValid() && sinceCancel.elapsed() < 1000);

    side.rollback();
    side.close();
    side = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("lock-holder"));

    EXPECT_EQ(RunSql(rows), "3");
    EXPECT_EQ(MainBas::SqlRows(3, 0), "A2612060003");
    lines.resize(2);
    EXPECT_TRUE(Import::write(QStringLiteral("L"), QStringLiteral("管理员"), lines).ok);
    EXPECT_EQ(RunSql(rows), "5");
}

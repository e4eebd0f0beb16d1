// Copies of the embedded database: daily copies kept and pruned, a copy put back, copies that
// must be refused, a full disk, a damaged live file.
#include "db/backup.h"
#include "db/sqlaccess.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class BackupFile : public ::testing::Test {
protected:
    void SetUp() override { Backup::setFolder(sb.path("备份")); }
    void TearDown() override { Backup::setFolder(QString()); }

    QString live() const { return sb.sqlite().database; }
    // `n` entries more in ledger A (made with its row the first time).
    void addEntries(int n, int from = 0) {
        RunSql("insert into Zblst (ZBid,ZbNm) values ('A','账本甲')");
        for (int i = from; i < from + n; ++i)
            ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                            "('A','管理员','2026-12-06 10:00','E%1','钢管',%2,"
                                            "'%3')")
                                 .arg(i)
                                 .arg(i)
                                 .arg(QString(200, QChar(u'备')))),
                      "OK");
    }
    int entries() { return RunSqlOne("select count(*) from Zhang where ZBID='A'").toInt(); }

    TestSupport::Sandbox sb;
};

TEST_F(BackupFile, dailyCopyAndRestoreRoundTrip) {
    addEntries(3);
    const QDate day(2026, 12, 6);
    const Backup::Daily first = Backup::daily(live(), day);
    ASSERT_TRUE(first.made) << first.error.toStdString();
    EXPECT_EQ(QFileInfo(first.path).fileName(), "云记账-2026-12-06.db");
    EXPECT_FALSE(Backup::daily(live(), day).made); // once a day

    addEntries(2, 3); // entries made after the copy
    const Backup::Check c = Backup::inspect(first.path);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.date, day);
    ASSERT_EQ(c.ledgers.size(), 1);
    EXPECT_EQ(c.ledgers[0].name, "账本甲");
    EXPECT_EQ(c.ledgers[0].entries, 3);

    QString saved;
    EXPECT_EQ(Backup::restore(first.path, live(), false, QDateTime(day, QTime(15, 30, 5)), &saved),
              "");
    EXPECT_EQ(entries(), 3);
    // What the restore replaced is kept, entries made since included.
    ASSERT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(Backup::inspect(saved).ledgers.value(0).entries, 5);
    EXPECT_EQ(RunSql("insert into Zhang (ZBID,ID) values ('A','after')"), "OK");
}

TEST_F(BackupFile, keepsTheNewestThirtyDailyCopies) {
    addEntries(1);
    const QDate start(2026, 11, 1);
    for (int d = 0; d < 31; ++d)
        ASSERT_TRUE(Backup::daily(live(), start.addDays(d)).made);
    const QStringList copies = Backup::dailyCopies();
    ASSERT_EQ(copies.size(), 30);
    EXPECT_TRUE(copies.first().endsWith(Backup::dailyName(start.addDays(30))));
    EXPECT_TRUE(copies.last().endsWith(Backup::dailyName(start.addDays(1))));
    EXPECT_FALSE(QFileInfo::exists(sb.path("备份/") + Backup::dailyName(start)));
}

TEST_F(BackupFile, refusesCopiesThatAreNotSoundLedgers) {
    addEntries(40);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(sb.path(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return sb.path(name);
    };
    QFile whole(live());
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    ASSERT_GT(bytes.size(), 8192);
    const auto withSql = [&](const QString& name, const QString& sql) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "made");
            db.setDatabaseName(sb.path(name));
            db.open();
            for (const QString& s : sql.split(';'))
                QSqlQuery(db).exec(s);
            db.close();
        }
        QSqlDatabase::removeDatabase("made");
        return sb.path(name);
    };
    EXPECT_EQ(Backup::inspect(sb.path("none.db")).problem, Backup::Check::Missing);
    EXPECT_EQ(Backup::inspect(write("text.db", "ZBID,ITEM\r\nA,钢管\r\n")).problem,
              Backup::Check::NotDatabase);
    EXPECT_EQ(Backup::inspect(write("half.db", bytes.left(bytes.size() / 2))).problem,
              Backup::Check::Damaged);
    EXPECT_EQ(Backup::inspect(write("copy.db", bytes)).problem, Backup::Check::None);
    EXPECT_EQ(
        Backup::inspect(withSql("newer.db", "create table T (a);PRAGMA user_version = 9")).problem,
        Backup::Check::Newer);
    EXPECT_EQ(Backup::inspect(withSql("other.db", "create table Zblst (ZBid);"
                                                  "create table UsrLst (ZBID,Usr,Pwd,QX);"
                                                  "create table Zhang (ZBID,USR,TM,ID,ITEM,SL)"))
                  .problem,
              Backup::Check::Tables);
    // A refused copy replaces nothing.
    EXPECT_NE(Backup::restore(sb.path("half.db"), live(), false, QDateTime::currentDateTime()), "");
    EXPECT_EQ(entries(), 40);
}

TEST_F(BackupFile, fullDiskLeavesNoPartialCopy) {
    addEntries(400);
    ASSERT_GT(QFileInfo(live()).size(), 64 * 1024);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 32 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const Backup::Daily d = Backup::daily(live(), QDate(2026, 12, 6));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(d.made);
    EXPECT_NE(d.error, "");
    EXPECT_EQ(QDir(sb.path("备份")).entryList(QDir::Files), QStringList());
    EXPECT_TRUE(Backup::daily(live(), QDate(2026, 12, 6)).made); // room again: it goes through
    // Said once a day, not at every start.
    EXPECT_TRUE(Backup::failureToSay(QDate(2026, 12, 6)));
    EXPECT_FALSE(Backup::failureToSay(QDate(2026, 12, 6)));
    EXPECT_TRUE(Backup::failureToSay(QDate(2026, 12, 7)));
}

TEST_F(BackupFile, damagedLiveFileIsSetAsideAndTheNewestGoodCopyRestored) {
    addEntries(2);
    ASSERT_TRUE(Backup::daily(live(), QDate(2026, 12, 4)).made);
    addEntries(1, 2);
    ASSERT_TRUE(Backup::daily(live(), QDate(2026, 12, 5)).made);
    // The newest copy is damaged too: the one before it is offered.
    const QString bad = sb.path("备份/") + Backup::dailyName(QDate(2026, 12, 6));
    QFile::copy(sb.path("备份/") + Backup::dailyName(QDate(2026, 12, 5)), bad);
    QFile::resize(bad, QFileInfo(bad).size() / 2);
    Db::switchServer(Db::connection()); // the program's own connection let go of the file
    EXPECT_FALSE(Backup::unreadable(live(), Backup::Depth::Quick));
    // Every start reads only the catalogue; the start that copies the day's file reads it all.
    EXPECT_FALSE(Backup::dailyDue(QDate(2026, 12, 5)));
    EXPECT_TRUE(Backup::dailyDue(QDate(2026, 12, 7)));
    QFile::resize(live(), QFileInfo(live()).size() / 2 + 100);
    EXPECT_TRUE(Backup::unreadable(live(), Backup::Depth::Quick));
    const QByteArray damaged = [&] {
        QFile f(live());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    const Backup::Check newest = Backup::newestGood();
    ASSERT_TRUE(newest.ok());
    EXPECT_EQ(newest.date, QDate(2026, 12, 5));
    const QString aside = Backup::setAside(live(), QDate(2026, 12, 6));
    EXPECT_TRUE(aside.endsWith("云记账-损坏-2026-12-06.db"));
    QFile kept(aside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
    EXPECT_EQ(Backup::restore(newest.path, live(), true, QDateTime::currentDateTime()), "");
    EXPECT_EQ(entries(), 3);
    EXPECT_FALSE(Backup::unreadable(live(), Backup::Depth::Quick));
    QFile garbage(live());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();
    EXPECT_TRUE(Backup::unreadable(live(), Backup::Depth::Schema));
}

} // namespace

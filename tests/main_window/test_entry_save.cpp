// Storing entries: ids taken by another client in the same hundredth move on to the next one,
// a lost reply is not stored twice, and eight clients saving at once lose nothing.
#include "app/mainbas.h"
#include "main_window/entry.h"
#include "testsupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using MainBas::SqlRows;

TEST(EntrySave, takenIdsMoveOnAndFailuresAreReported) {
    TestSupport::Sandbox box;
    box.useSqlite();
    EXPECT_EQ(Entry::nextRecID("N12063600099"), "N12063600100");
    EXPECT_EQ(Entry::nextRecID("N12060000000"), "N12060000001");

    const Entry::Row row{"L1", "甲", "2026-12-06", "螺丝", "计划外", QTime(10, 0), 5};
    QString id;
    ASSERT_EQ(Entry::saveRow(row, &id), "OK");
    EXPECT_EQ(id, "N12063600000");
    Entry::Row other = row;
    other.usr = "乙";
    ASSERT_EQ(Entry::saveRow(other, &id), "OK");
    EXPECT_EQ(id, "N12063600001");
    // The same row again in the same hundredth (the same operator on another computer): a
    // row of its own, since no connection was lost that could make the first one ours.
    ASSERT_EQ(Entry::saveRow(row, &id), "OK");
    EXPECT_EQ(id, "N12063600002");
    EXPECT_EQ(RunSql("select ID,USR,TM,SL,BZ from Zhang where ZBID='L1' order by ID"), "3");
    EXPECT_EQ(SqlRows(2, 1), "乙");
    EXPECT_EQ(SqlRows(2, 2), "2026-12-06 10:00");
    // Another ledger has its own ids; a name from the server may hold a quote.
    other.zbid = "L2";
    other.usr = "O'Neil";
    ASSERT_EQ(Entry::saveRow(other, &id), "OK");
    EXPECT_EQ(id, "N12063600000");
    EXPECT_EQ(RunSqlOne("select USR from Zhang where ZBID='L2'"), "O'Neil");

    Db::Connection gone = box.sqlite();
    gone.database = "/proc/zelvo-none/x.db";
    Db::setConnection(gone);
    EXPECT_EQ(Entry::saveRow(row), "");
}

TEST(EntrySave, eightClientsSavingAtOnceLoseNothing) {
    REQUIRE_POSTGRES();
    TestSupport::Sandbox box;
    box.usePostgres();
    constexpr int kClients = 8;
    constexpr int kSaves = 250;
    std::vector<std::unique_ptr<QProcess>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<QProcess>());
        clients.back()->start(QStringLiteral(ZELVO_ENTRY_SAVER),
                              {"L8", QStringLiteral("操作员%1").arg(i), QString::number(kSaves)});
    }
    for (auto& client : clients) {
        ASSERT_TRUE(client->waitForFinished(120000));
        EXPECT_EQ(client->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client->exitCode(), 0) << client->readAllStandardOutput().toStdString();
    }
    ASSERT_EQ(RunSql("select count(*),sum(SL) from Zhang where ZBID='L8'"), "1");
    EXPECT_EQ(SqlRows(1, 0).toInt(), kClients * kSaves);
    EXPECT_EQ(SqlRows(1, 1).toDouble(), kClients * (kSaves * (kSaves + 1) / 2.0));

    // An insert that went down with its connection after it was stored: found, not repeated.
    const Entry::Row row{"L7", "甲", "2026-12-06", "螺丝", "", QTime(10, 0), 5};
    ASSERT_EQ(Entry::saveRow(row), "OK");
    ASSERT_TRUE(TestSupport::dropConnectionAtNextInsert(QStringLiteral("Zhang")));
    EXPECT_EQ(Entry::saveRow(row), "OK");
    TestSupport::keepConnectionsAtInsert(QStringLiteral("Zhang"));
    EXPECT_EQ(RunSql("select ID from Zhang where ZBID='L7'"), "1");
}

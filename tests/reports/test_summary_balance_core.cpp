#include "app/format.h"
#include "app/mainbas.h"
#include "reports/balance.h"
#include "reports/reportcommon.h"
#include "reports/summary.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace MainBas;

namespace {

const QString kStart = QStringLiteral("2026-11-01 00:00");
const QString kEnd = QStringLiteral("2026-11-30 23:59");

std::string engineName(Db::Engine e) {
    return e == Db::Engine::Sqlite ? "Sqlite" : e == Db::Engine::Postgres ? "Postgres" : "Odbc";
}

void entry(const QString& zbid, const QString& tm, const QString& item, const QString& sl) {
    static int id = 0;
    const QString tmValue = tm.isNull() ? QStringLiteral("NULL") : "'" + tm + "'";
    const QString itemValue = item.isNull() ? QStringLiteral("NULL") : "'" + SqlStr(item) + "'";
    ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                    "('%1','管理员',%2,'N%3',%4,%5,'')")
                         .arg(zbid, tmValue, QString::number(++id), itemValue, sl)),
              QStringLiteral("OK"));
}

// A ledger with items before, inside and after November 2026, and rows no report may count.
void seedLedger() {
    entry("L1", "2026-10-05 08:00", "钢材", "10");
    entry("L1", "2026-11-03 09:00", "钢材", "5");
    entry("L1", "2026-11-30 23:59", "钢材", "-3");    // the end minute is inside
    entry("L1", "2026-11-30 23:59:30", "钢材", "-1"); // later in that minute is not
    entry("L1", "2026-11-12 10:00", "螺丝", "-2");
    entry("L1", "2026-12-02 10:00", "木板", "4"); // after the period only
    entry("L1", "2026-10-01 10:00", "铁钉", "0.1");
    entry("L1", "2026-10-02 10:00", "铁钉", "0.2");
    entry("L1", "2026-10-03 10:00", "铁钉", "-0.3");
    entry("L1", "2026-11-05 10:00", QString(), "7"); // an import left the item NULL
    entry("L1", "2026-11-06 10:00", "", "8");
    entry("N1#L1#2026-11-07 10:00", "2026-11-07 10:00", "钢材", "100"); // retired
    entry("L2", "2026-11-07 10:00", "钢材", "100");                     // another ledger
}

class ReportCoreTest : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!box_.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        seedLedger();
    }
    TestSupport::Sandbox box_;
};

QString text(const Summary::Row& r) {
    return QStringList{r.item, NumStr(r.opening), NumStr(r.increase), NumStr(r.decrease),
                       NumStr(r.closing)}
        .join('|');
}

} // namespace

// The table's rows on the edges of the period; the windows' tests cover the rest.
TEST_P(ReportCoreTest, summaryFromOneGroupedStatement) {
    ASSERT_EQ(RunSql(Summary::statement("L1", kStart, kEnd)), "6"); // empty items are rows too
    QStringList rows;
    for (const auto& r : Summary::rowsOf(SqlRows, SqlRowMax))
        rows << text(r) + (Summary::allShownZero(r) ? " hidden" : "");
    EXPECT_EQ(rows, QStringList({"木板|0|0|0|0 hidden", "螺丝|0|0|2|-2", "钢材|10|5|3|12",
                                 "铁钉|0|0|0|0 hidden"}));
    ASSERT_EQ(RunSql(Summary::itemListStatement("L1")), "6");
    EXPECT_EQ(ReportCommon::itemsFromRows(), QStringList({"木板", "螺丝", "钢材", "铁钉"}));
}

TEST_P(ReportCoreTest, latestTimeLeavesNullTimesOut) {
    entry("L1", QString(), "钢材", "1");
    EXPECT_EQ(RunSqlOne(Balance::latestTimeStatement("L1", "钢材")), "2026-11-30 23:59:30");
    EXPECT_EQ(RunSqlOne(Balance::latestTimeStatement("L1", "没有")), "");
    entry("L1", "2025-01-02 10:00", "O'Neil", "1");
    EXPECT_EQ(RunSqlOne(Balance::latestTimeStatement("L1", "O'Neil")), "2025-01-02 10:00");
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportCoreTest,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres,
                                           Db::Engine::Odbc),
                         [](const auto& info) { return engineName(info.param); });

TEST(SummaryChoice, itemChoiceIsCaseInsensitiveAndPlain) {
    QList<Summary::Row> all;
    for (const char* item : {"ABC", "abc", "型号#1", "型号*2", "钢材"})
        all.append({QString::fromUtf8(item)});
    using R = Summary::Relation;
    auto chosen = [&](const QString& typed, R relation) {
        QStringList items;
        const Summary::Choice c = Summary::choose(all, typed, relation, "物品");
        for (const auto& r : c.rows)
            items << r.item;
        return c.message.isEmpty() ? items : QStringList{c.message};
    };
    EXPECT_EQ(chosen("", R::Equal).size(), 5);
    EXPECT_EQ(chosen(" 全部物品 ", R::Contains).size(), 5);
    EXPECT_EQ(chosen("abc", R::Equal), QStringList({"ABC"})); // the first equal one only
    EXPECT_EQ(chosen("Ab", R::Contains), QStringList({"ABC", "abc"}));
    EXPECT_EQ(chosen("#1", R::Contains), QStringList({"型号#1"}));
    EXPECT_EQ(chosen("型号*", R::Contains), QStringList({"型号*2"}));
    EXPECT_EQ(chosen("型号?", R::Contains), QStringList({"账本中不存在字符包含“型号?”的物品"}));
    EXPECT_EQ(chosen("铁 ", R::Equal), QStringList({"账本中不存在“铁 ”这个物品"}));
}

TEST(BalanceRules, statementsAndValueFilter) {
    EXPECT_EQ(Balance::statement("13800138000", "", Balance::ItemRelation::Equal),
              "select Item,sum(SL) from Zhang Where ZBID='13800138000'  Group by Item  order by "
              "Item ");
    EXPECT_EQ(Balance::statement("Z", "a_", Balance::ItemRelation::Contains, Db::Engine::Postgres),
              "select Item,sum(SL) from Zhang Where ZBID='Z'  And Item ilike '%a!_%' escape '!'  "
              "Group by Item  order by Item ");
    // Only quotes go: a comma stored by another client stays, and a value is still quoted.
    EXPECT_EQ(Balance::itemFilterText(" 螺丝,M8' ", "物品"), "螺丝,M8");
    EXPECT_EQ(Balance::statement("Z", "a\\b", Balance::ItemRelation::Equal),
              "select Item,sum(SL) from Zhang Where ZBID='Z'  And Item='a\\b'  Group by Item  "
              "order by Item ");
    EXPECT_EQ(Balance::itemFilterText("全部物品", "物品"), "");

    EXPECT_FALSE(Balance::valueFilterOf("").active);
    EXPECT_EQ(Balance::valueFilterOf("abc").text, "0");
    EXPECT_EQ(Balance::valueFilterOf(" 2.50x").text, "2.5");
    const auto point3 = Balance::valueFilterOf("0.3");
    using V = Balance::ValueRelation;
    EXPECT_TRUE(Balance::passes(0.1 + 0.2, point3, V::Equal));
    EXPECT_FALSE(Balance::passes(0.1 + 0.2, point3, V::Greater));
    EXPECT_FALSE(Balance::passes(0.3 - 0.1 - 0.2, Balance::valueFilterOf("0"), V::Greater));
    EXPECT_FALSE(Balance::passes(0.3 - 0.1 - 0.2, Balance::valueFilterOf("0"), V::Less));
    EXPECT_TRUE(Balance::passes(-1e-7, Balance::valueFilterOf("0"), V::Less));

    EXPECT_EQ(Balance::exportLine("苹果    │      12"), "苹果 , 12");
}

TEST(BalanceRules, journalPeriodCoversTheLatestEntry) {
    const auto at = [](const char* text) {
        return QDateTime::fromString(QString::fromLatin1(text), "yyyy-MM-dd HH:mm");
    };
    const Balance::Period byDefault{at("2026-12-01 00:00"), at("2026-12-08 23:59")};
    const auto check = [&](const char* latest, const char* start, const char* end) {
        const Balance::Period p = Balance::journalPeriod(at(latest), byDefault);
        EXPECT_EQ(p.start, at(start)) << latest;
        EXPECT_EQ(p.end, at(end)) << latest;
    };
    check("2024-06-15 10:00", "2024-01-01 00:00", "2026-12-08 23:59");
    check("2026-03-15 10:00", "2026-03-01 00:00", "2026-12-08 23:59");
    check("2026-12-05 10:00", "2026-12-01 00:00", "2026-12-08 23:59");
    check("2026-12-08 23:59", "2026-12-01 00:00", "2026-12-08 23:59");
    check("2026-12-20 08:00", "2026-12-01 00:00", "2026-12-20 23:59");
    check("2027-01-03 08:00", "2026-12-01 00:00", "2027-01-03 23:59");
}

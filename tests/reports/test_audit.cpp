// The record audit's markers, its one listing statement and table, and restore, on each engine.
#include "app/mainbas.h"
#include "app/textwidth.h"
#include "db/sqlaccess.h"
#include "reports/audit.h"
#include "reports/journal.h"
#include "reports/texttable.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("13800138000");

void put(const QString& zbid, const QString& id, const QString& tm, const QString& item, double sl,
         const QString& usr = QStringLiteral("管理员")) {
    ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                    "('%1','%2','%3','%4','%5',%6,'备注')")
                         .arg(SqlStr(zbid), SqlStr(usr), tm, id, item)
                         .arg(sl)),
              QStringLiteral("OK"));
}

QString retired(const QString& first, const QString& day, const QString& zb = kZb) {
    return Journal::marker(first, zb, QStringLiteral("2026-12-") + day);
}

// Deletes one by one and by batch, two edits (the second replacement deleted in turn), an
// operator named like a record id, one retirement before the period, other ledgers' markers.
void seed() {
    put(kZb, "L1", "2026-12-01 09:00", "钢管", 5);
    put(retired("O'Ne#il x", "02 10:00"), "D1", "2026-11-20 08:00", "钢管", 3);
    put(retired("管理员", "03 11:00"), "B2", "2026-12-01 08:00", "螺丝", -2);
    put(retired("管理员", "03 11:00"), "B1", "2026-12-01 07:00", "螺丝", 4);
    put(retired("N12040000001", "04 09:30"), "E1", "2026-12-01 06:00", "钢管", 1);
    put(kZb, "N12040000001", "2026-12-04 09:00", "螺丝", -7, "张三");
    put(retired("N12050000002", "05 08:00"), "E2", "2026-12-01 05:00", "钢管", 2);
    put(retired("管理员", "05 09:00"), "N12050000002", "2026-12-05 07:00", "钢管", 6, "张三");
    put(retired("N12069999999", "06 10:00"), "D2", "2026-12-01 04:00", "钢管", -1);
    put(Journal::marker("管理员", kZb, "2026-11-30 23:59"), "D0", "2026-11-01 00:00", "钢管", 9);
    put(retired("管理员", "04 10:00", "913800138000"), "X1", "2026-12-01 00:00", "钢管", 1);
    put(retired("管理员", "04 10:00", "1380013800"), "X2", "2026-12-01 00:00", "钢管", 1);
}

Audit::Filter period() {
    return {{"2026", "12", "01", "00", "00"}, {"2026", "12", "06", "23", "59"}, {}, {}};
}

QStringList summary(const QVector<Audit::Entry>& entries) {
    QStringList out;
    for (const Audit::Entry& e : entries)
        out << QStringList{e.by, e.at, Audit::action(e), e.id, Audit::replacementText(e)}.join('|');
    return out;
}

// Where each cell ends on screen, in twips.
QList<int> bars(const QString& line) {
    QList<int> out;
    int x = 0;
    for (const QChar c : line) {
        x += CharTwips(c.unicode());
        if (c == TextTable::kBar || c == TextTable::kTop || c == TextTable::kMiddle ||
            c == TextTable::kBottom)
            out << x;
    }
    return out;
}

} // namespace

TEST(AuditMarkers, ReadFromTheLedgerIdOutwards) {
    const QString at = QStringLiteral("2026-12-06 10:00");
    for (const QString& first :
         QStringList{"管理员", "O'Neil #2# x", "N12060000001", "a#13800138000#b", ""}) {
        const auto m = Audit::parseMarker(Journal::marker(first, kZb, at), kZb);
        ASSERT_TRUE(m.has_value()) << first.toStdString();
        EXPECT_EQ(m->first + "|" + m->stamp, first + "|" + at);
    }
    for (const QString& other : {Journal::marker("管理员", "1380013800", at), kZb,
                                 Journal::marker("管理员", kZb, at.left(13)), QString()})
        EXPECT_FALSE(Audit::parseMarker(other, kZb).has_value()) << other.toStdString();
}

class AuditOnEngine : public ::testing::TestWithParam<Db::Engine> {
protected:
    TestSupport::Sandbox sb;
    void SetUp() override {
        if (!sb.useEngine(GetParam()))
            GTEST_SKIP() << "server not running";
        CurZbID = kZb;
    }
};

TEST_P(AuditOnEngine, ListsWhoRetiredWhatAndWhenAndRestoresOneRowOrNone) {
    seed();
    const Audit::Listing l = Audit::list(kZb, period());
    ASSERT_EQ(l.status, Audit::Listing::Listed);
    EXPECT_EQ(summary(l.entries),
              (QStringList{"N12069999999|2026-12-06 10:00|删除|D2|",
                           "管理员|2026-12-05 09:00|删除|N12050000002|",
                           "张三|2026-12-05 08:00|修改|E2|2026-12-05 07:00 钢管 +6",
                           "张三|2026-12-04 09:30|修改|E1|2026-12-04 09:00 螺丝 -7",
                           "管理员|2026-12-03 11:00|删除|B1|", "管理员|2026-12-03 11:00|删除|B2|",
                           "O'Ne#il x|2026-12-02 10:00|删除|D1|"}));

    // The journal's layout: every record line and its rule, the totals fourth from the end.
    ASSERT_EQ(l.body.size(), 1 + 2 * 7 + 4);
    const QString totals = l.body.at(l.body.size() - 4).text;
    EXPECT_EQ(totals.split(TextTable::kBar).mid(5, 3).join('|').simplified(),
              QStringLiteral("合计： | 16| 3"));
    EXPECT_TRUE(l.body.at(7).text.endsWith(QStringLiteral("2026-12-04 09:00 螺丝 -7")));
    const QList<int> cells = bars(Audit::header(QStringLiteral("物品")).at(1).text);
    ASSERT_EQ(cells.size(), 9);
    for (const ReportLine& line : l.body) {
        const int n = line.text == totals ? 8 : 9;
        EXPECT_EQ(bars(line.text).mid(0, n), cells.mid(0, n)) << line.text.toStdString();
    }

    Audit::Filter f = period();
    f.usr = QStringLiteral("张三");
    EXPECT_EQ(summary(Audit::list(kZb, f).entries).size(), 2);
    f.usr = QStringLiteral("O'Ne#il x");
    f.item = QStringLiteral("钢管");
    EXPECT_EQ(summary(Audit::list(kZb, f).entries),
              QStringList{"O'Ne#il x|2026-12-02 10:00|删除|D1|"});
    f.item = QStringLiteral("螺丝");
    EXPECT_EQ(Audit::list(kZb, f).status, Audit::Listing::Empty);

    // "_" in a ledger id is no wildcard.
    put(retired("管理员", "04 10:00", "a_b"), "U1", "2026-12-01 00:00", "钢管", 1);
    put(retired("管理员", "04 10:00", "axb"), "U2", "2026-12-01 00:00", "钢管", 1);
    EXPECT_EQ(summary(Audit::list("a_b", period()).entries),
              QStringList{"管理员|2026-12-04 10:00|删除|U1|"});

    // Restore: never an edit, exactly one row or none.
    const Audit::Entry& d1 = l.entries.last();
    const auto live = [] {
        return RunSqlOne("select count(*) from Zhang where ZBID='" + kZb + "'");
    };
    EXPECT_EQ(Audit::restore(kZb, l.entries.at(3)), Audit::Restore::Replaced);
    EXPECT_EQ(live(), QStringLiteral("2"));
    EXPECT_EQ(Audit::restore(kZb, d1), Audit::Restore::Done);
    EXPECT_EQ(RunSqlOne("select SL from Zhang where ZBID='" + kZb + "' and ID='D1'"), "3");
    EXPECT_EQ(Audit::restore(kZb, d1), Audit::Restore::AlreadyRestored);
    EXPECT_EQ(Audit::list(kZb, period()).entries.size(), l.entries.size() - 1);

    Db::Connection nowhere = TestSupport::postgres();
    nowhere.engine = Db::Engine::Postgres;
    nowhere.server = QStringLiteral("127.0.0.1,1");
    Db::setConnection(nowhere);
    EXPECT_EQ(Audit::list(kZb, period()).status, Audit::Listing::Failed);
    EXPECT_EQ(Audit::restore(kZb, l.entries.first()), Audit::Restore::Failed);
}

TEST_P(AuditOnEngine, RestoreSaysWhyItCannot) {
    // Deleted, and its id taken since by a live row of the ledger.
    put(retired("管理员", "02 10:00"), "T1", "2026-12-01 08:00", "钢管", 3);
    put(kZb, "T1", "2026-12-03 08:00", "螺丝", 1);
    // Another ledger's deleted record, as a listing of that ledger would hand it over.
    put(retired("管理员", "02 10:00", "other"), "T2", "2026-12-01 08:00", "钢管", 4);
    const QVector<Audit::Entry> ours = Audit::list(kZb, period()).entries;
    const QVector<Audit::Entry> theirs = Audit::list("other", period()).entries;
    ASSERT_EQ(ours.size(), 1);
    ASSERT_EQ(theirs.size(), 1);
    const auto rows = [] {
        RunSql("select ZBID,ID,ITEM from Zhang order by ID,ZBID");
        QStringList out;
        for (int i = 1; i < SqlRowMax; ++i)
            out << SqlRows(i, 0) + "|" + SqlRows(i, 1) + "|" + SqlRows(i, 2);
        return out;
    };
    const QStringList before = rows();
    EXPECT_EQ(Audit::restore(kZb, ours.first()), Audit::Restore::IdTaken);
    EXPECT_EQ(Audit::restore(kZb, theirs.first()), Audit::Restore::OtherLedger);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(Audit::restore("other", theirs.first()), Audit::Restore::Done);
}

INSTANTIATE_TEST_SUITE_P(Engines, AuditOnEngine,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres,
                                           Db::Engine::Odbc));

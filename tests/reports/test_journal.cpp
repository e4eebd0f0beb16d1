// The detail journal's statements, table, export and retiring statements, on each engine.
#include "app/csv.h"
#include "app/gb18030.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "reports/audit.h"
#include "reports/balance.h"
#include "reports/importread.h"
#include "reports/journal.h"
#include "reports/mxedrules.h"
#include "reports/summary.h"
#include "reports/texttable.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("13800138000");

Journal::Filter period() {
    Journal::Filter f;
    f.from = {"2026", "12", "01", "00", "00"};
    f.to = {"2026", "12", "06", "23", "59"};
    f.item = QStringLiteral("全部物品");
    return f;
}

void seed(const QString& id, const QString& tm, const QString& item, const QString& sl,
          const QString& bz = QString(), const QString& usr = QStringLiteral("管理员"),
          const QString& zb = kZb) {
    ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                    "('%1','%2','%3','%4','%5',%6,'%7')")
                         .arg(zb, usr, tm, id, item, sl, bz)),
              QStringLiteral("OK"));
}

// Items A and B, one row before the period and four inside it, one in another ledger.
void seedAB() {
    seed("N1130", "2026-11-30 10:00", "A", "10");
    seed("N1201", "2026-12-01 00:00", "A", "3", "进货  两包");
    seed("N1202", "2026-12-06 23:59", "A", "-1");
    seed("N1203", "2026-12-02 08:00", "B", "-2", "计划外", "张三");
    seed("N1204", "2026-12-07 00:00", "B", "5");
    seed("N1205", "2026-12-02 08:00", "A", "100", "", "管理员", "other");
}

QStringList texts(const QVector<ReportLine>& lines) {
    QStringList out;
    for (const ReportLine& l : lines)
        out.append(l.text);
    return out;
}

} // namespace

TEST(JournalStatements, FiltersShapeTheQueryAndTheBalanceColumn) {
    Journal::Filter f = period();
    Journal::Query q = Journal::build(kZb, QStringLiteral("物品"), f, Db::Engine::Sqlite);
    EXPECT_EQ(q.statement,
              QStringLiteral("select id ,usr,tm,item,sl,bz  from Zhang Where ZBID='13800138000' "
                             " And TM>='2026-12-01 00:00'  And TM<='2026-12-06 23:59'  order by "
                             "Item,TM,ID "));
    EXPECT_TRUE(q.showBalance);
    EXPECT_EQ(Journal::openingStatement(kZb, q.from, q.itemClause),
              QStringLiteral("select Item,sum(SL) from Zhang where ZBID='13800138000' and "
                             "TM<'2026-12-01 00:00' group by Item"));

    f.item = QStringLiteral(" 钢'管 ");
    q = Journal::build(kZb, QStringLiteral("物品"), f, Db::Engine::Sqlite);
    EXPECT_EQ(q.itemClause, QStringLiteral(" And Item='钢管' "));
    EXPECT_TRUE(q.showBalance);
    EXPECT_TRUE(Journal::openingStatement(kZb, q.from, q.itemClause)
                    .endsWith(QStringLiteral("' And Item='钢管'  group by Item")));
    // An item as the server holds it (another client's comma and quote) is matched as stored.
    Journal::Filter exact = f;
    exact.item = QStringLiteral("O'a,b");
    exact.exactItem = true;
    EXPECT_EQ(Journal::build(kZb, QStringLiteral("物品"), exact, Db::Engine::Sqlite).itemClause,
              QStringLiteral(" And Item='O''a,b' "));
    f.relation = 1;
    q = Journal::build(kZb, QStringLiteral("物品"), f, Db::Engine::Postgres);
    EXPECT_EQ(q.itemClause, QStringLiteral(" And Item ilike '%钢管%' escape '!' "));

    // Each of these removes the balance column.
    const QList<std::function<void(Journal::Filter&)>> removing = {
        [](Journal::Filter& x) { x.sign = 1; },
        [](Journal::Filter& x) { x.sign = 2; },
        [](Journal::Filter& x) { x.remark = QStringLiteral("急"); },
        [](Journal::Filter& x) { x.usr = QStringLiteral("O'Neil"); },
        [](Journal::Filter& x) { x.sort = 1; },
        [](Journal::Filter& x) { x.sort = 2; }};
    const QStringList clauses = {
        " And SL>=0 ",           " And SL<0 ",       " And Bz like '%急%' escape '!' ",
        " And Usr = 'O''Neil' ", " order by TM,ID ", " order by SL desc,Item,TM "};
    for (int i = 0; i < removing.size(); ++i) {
        Journal::Filter x = period();
        removing[i](x);
        q = Journal::build(kZb, QStringLiteral("物品"), x, Db::Engine::Sqlite);
        EXPECT_FALSE(q.showBalance) << i;
        EXPECT_TRUE(q.statement.contains(clauses.at(i))) << q.statement.toStdString();
    }
    f = period();
    f.item.clear();
    EXPECT_TRUE(Journal::build(kZb, QStringLiteral("物品"), f).itemClause.isEmpty());
}

TEST(JournalStatements, BatchRetiresInChunksWithOneMarker) {
    QStringList ids;
    for (int i = 0; i < 650; ++i)
        ids.append(QStringLiteral("N%1").arg(i, 11, 10, QLatin1Char('0')));
    const QStringList st =
        Journal::retireAll(QStringLiteral("O'Neil"), kZb, QStringLiteral("2026-12-06 10:00"), ids);
    ASSERT_EQ(st.size(), 3);
    EXPECT_TRUE(st.at(0).startsWith(
        QStringLiteral("update Zhang Set ZBID='O''Neil#13800138000#2026-12-06 10:00' where "
                       "ZBID='13800138000' and ID in ('N00000000000','N00000000001',")));
    EXPECT_EQ(st.at(0).count(QLatin1Char(',')), 299);
    EXPECT_EQ(st.at(2).count(QLatin1Char(',')), 49);
    EXPECT_TRUE(st.at(2).endsWith(QStringLiteral("'N00000000649')")));
}

class JournalOnEngine : public ::testing::TestWithParam<Db::Engine> {
protected:
    TestSupport::Sandbox sb;
    void SetUp() override {
        if (!sb.useEngine(GetParam()))
            GTEST_SKIP() << "server not running";
        CurZbID = kZb;
    }
};

TEST_P(JournalOnEngine, ListsRunningBalancesPerItemAndTotals) {
    seedAB();
    const Journal::Listing l = Journal::list(kZb, QStringLiteral("物品"), period());
    ASSERT_EQ(l.status, Journal::Listing::Listed);
    EXPECT_EQ(l.statements, 2);
    EXPECT_TRUE(l.showBalance);
    const QString rule = MakeRuleSegment(1, 800) + MakeRuleSegment(1, 1500) +
                         MakeRuleSegment(1, 3000) + MakeRuleSegment(1, 1000) +
                         MakeRuleSegment(1, 1000) + MakeRuleSegment(1, 1000) +
                         MakeRuleSegment(1, 4000);
    const auto rec = [&](const QString& usr, const QString& tm, const QString& item, double inc,
                         double dec, double bal, const QString& bz) {
        return MakeTextCell(usr, 890) + MakeTextCell(tm, 1590) + MakeTextCell(item, 3000) +
               (inc != 0 ? MakeNumberCell(inc) : MakeTextCell(" ", 1000)) +
               (dec != 0 ? MakeNumberCell(dec) : MakeTextCell(" ", 1000)) + MakeNumberCell(bal) +
               bz;
    };
    const QStringList want = {
        rule,
        rec("管理员", "2026-12-01 00:00", "A", 3, 0, 13, "进货  两包"),
        rule,
        rec("管理员", "2026-12-06 23:59", "A", 0, 1, 12, ""),
        rule,
        rec("张三", "2026-12-02 08:00", "B", 0, 2, -2, "计划外"),
        rule,
        MakeTextCell(" ", 890) + MakeTextCell(" ", 1590) + MakeTextCell("        合计：", 3000) +
            MakeNumberCell(3) + MakeNumberCell(3) + MakeNumberCell(10),
    };
    const QStringList got = texts(l.body);
    ASSERT_EQ(got.size(), want.size() + 3);
    EXPECT_EQ(got.mid(0, want.size()), want);
    EXPECT_EQ(got.at(got.size() - 4), want.last()); // the totals, fourth from the end
    EXPECT_TRUE(got.last().startsWith(MakeRuleSegment(2, 800)));
    EXPECT_EQ(l.body.at(1).id, QStringLiteral("N1201"));
    EXPECT_EQ(l.body.at(5).item, QStringLiteral("B"));
    EXPECT_TRUE(l.body.at(2).id.isEmpty());

    // Without the balance column: no quantity cell anywhere, two totals.
    Journal::Filter f = period();
    f.sort = 1;
    const Journal::Listing byTime = Journal::list(kZb, QStringLiteral("物品"), f);
    ASSERT_EQ(byTime.status, Journal::Listing::Listed);
    EXPECT_EQ(byTime.statements, 1);
    EXPECT_EQ(byTime.body.at(1).id, QStringLiteral("N1201"));
    EXPECT_EQ(byTime.body.at(3).id, QStringLiteral("N1203"));
    EXPECT_EQ(byTime.body.at(byTime.body.size() - 4).text.count(TextTable::kBar), 5);
    EXPECT_EQ(Journal::header({"物品", "存量"}, false).at(1).text,
              MakeTextCell("  操作员", 890) + MakeTextCell("  时间", 1590) +
                  MakeTextCell("  物品", 3000) + MakeTextCell("  增加", 1000) +
                  MakeTextCell("  减少", 1000) + "  备注");

    f = period();
    f.remark = QStringLiteral("划");
    EXPECT_EQ(Journal::list(kZb, QStringLiteral("物品"), f).body.size(),
              1 + 2 * 1 + 4); // one record
    f.remark = QStringLiteral("没有");
    EXPECT_EQ(Journal::list(kZb, QStringLiteral("物品"), f).status, Journal::Listing::Empty);
}

TEST_P(JournalOnEngine, SameLinesOnEveryEngineAndAFailedQueryIsNoEmptyList) {
    seedAB();
    const QStringList here = texts(Journal::list(kZb, QStringLiteral("物品"), period()).body);
    // The other engine, seeded alike.
    TestSupport::Sandbox other;
    if (!other.useEngine(GetParam() == Db::Engine::Sqlite ? Db::Engine::Postgres
                                                          : Db::Engine::Sqlite))
        GTEST_SKIP() << "server not running";
    seedAB();
    EXPECT_EQ(texts(Journal::list(kZb, QStringLiteral("物品"), period()).body), here);

    Db::Connection nowhere = TestSupport::postgres();
    nowhere.engine = Db::Engine::Postgres;
    nowhere.server = QStringLiteral("127.0.0.1,1");
    Db::setConnection(nowhere);
    const Journal::Listing failed = Journal::list(kZb, QStringLiteral("物品"), period());
    EXPECT_EQ(failed.status, Journal::Listing::Failed);
    EXPECT_TRUE(failed.body.isEmpty());
}

TEST_P(JournalOnEngine, ExportWritesGb18030LinesAndAppends) {
    seedAB();
    Journal::Filter f = period();
    f.sign = 2;
    QVector<ReportLine> lines = Journal::header({"物品", "存量"}, false);
    lines += Journal::list(kZb, QStringLiteral("物品"), f).body;
    const QString path = sb.path(QStringLiteral("流水.csv"));
    ASSERT_TRUE(appendCsvLines(path, Journal::exportLines(lines)));
    ASSERT_TRUE(appendCsvLines(path, Journal::exportLines(lines)));
    // The expected file was written by another encoder, from the lines as the journal shows
    // them: each "│" a comma, one blank kept each side, CR LF, the second export appended.
    QFile file(path);
    QFile expected(QStringLiteral(ZELVO_TEST_DATA "/journal_export.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected.readAll());
}

namespace {

// Every cell of an export as a spreadsheet reads the file back, blanks around it trimmed.
QStringList cellsReadBack(const QStringList& lines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.csv"));
    EXPECT_TRUE(appendCsvLines(path, lines));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    Import::Splitter split(Gb18030::decode(file.readAll()), QLatin1Char(','));
    QStringList cells;
    while (!split.atEnd())
        for (const QString& c : split.next().cells)
            cells << c.trimmed();
    return cells;
}

} // namespace

TEST(ReportExports, EveryExportWritesEachValueWhole) {
    // Two items alike in the first 38 of their 40 characters, far wider than the item column.
    const QString stem = QString(19, QChar(u'钢')) + QString(19, QChar(u'管'));
    const QString a = stem + QStringLiteral("一号"), b = stem + QStringLiteral("二号");
    const QString usr = QStringLiteral("欧阳长名字操作员");
    const QString bz = QStringLiteral("进货,两包  \"加急\"") + QString(30, QChar(u'注'));
    const QStringList wanted{a, b, usr, bz};
    const auto expectWhole = [&](const QStringList& lines, const QStringList& values) {
        const QStringList cells = cellsReadBack(lines);
        for (const QString& v : values)
            EXPECT_TRUE(cells.contains(v))
                << v.toStdString() << " not in " << cells.join('|').toStdString();
    };

    const QVector<Journal::Row> rows = {{"N1", usr, "2026-12-06 09:00", a, 5, bz},
                                        {"N2", "张三", "2026-12-06 09:01", b, -2, ""}};
    for (bool balance : {true, false}) {
        QVector<ReportLine> journal = Journal::header({"物品", "存量"}, balance);
        journal += Journal::body(rows, {}, balance);
        expectWhole(Journal::exportLines(journal), wanted);
    }

    QVector<ReportLine> summary = Summary::header("物品", "存量");
    summary += Summary::body({{a, 1, 2, 3, 0}, {b, 0, 5, 0, 5}});
    expectWhole(Summary::exportLines(summary), {a, b});

    QVector<ReportLine> balance = Balance::header("物品", "存量");
    balance += Balance::body({{a, 3}, {b, 4}});
    expectWhole(Balance::exportLines(balance), {a, b});

    Audit::Entry deleted;
    deleted.by = usr;
    deleted.at = QStringLiteral("2026-12-06 10:00");
    deleted.id = QStringLiteral("N1");
    deleted.usr = usr;
    deleted.tm = QStringLiteral("2026-12-06 09:00");
    deleted.item = a;
    deleted.sl = 5;
    deleted.bz = bz;
    Audit::Entry edited = deleted;
    edited.id = QStringLiteral("N2");
    edited.item = b;
    edited.edited = true;
    edited.newItem = a;
    edited.newTm = deleted.tm;
    QVector<ReportLine> audit = Audit::header("物品");
    audit += Audit::body({deleted, edited});
    expectWhole(Journal::exportLines(audit), {a, b, usr, bz, Audit::replacementText(edited)});
}

INSTANTIATE_TEST_SUITE_P(Engines, JournalOnEngine,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres));

TEST(EditorRules, ChecksAndRecordIds) {
    const auto check = [](const QString& item, const QString& change) {
        return MxEdRules::check({item, change, QStringLiteral(" a - b "), QStringLiteral("物品"),
                                 QStringLiteral("存量增减")});
    };
    MxEdRules::Checked c = check(QStringLiteral(" 钢管 - 大 "), QStringLiteral(" 5 "));
    EXPECT_TRUE(c.accepted);
    EXPECT_EQ(c.item, QStringLiteral("钢管-大"));
    EXPECT_EQ(c.changeText, QStringLiteral("+5"));
    EXPECT_EQ(c.remark, QStringLiteral("a-b"));
    EXPECT_EQ(check(QStringLiteral("x"), QStringLiteral("-.5")).changeText, QStringLiteral("-0.5"));
    // The value is what the box shows: eight decimals at most, and a speck of a value is 0.
    EXPECT_EQ(check(QStringLiteral("x"), QStringLiteral("0.123456789")).value, 0.12345679);
    for (const QString& bad :
         QStringList{"", "0", "+0", "1,000", "5abc", "+", "1e3", "- 5", "0.000000001"})
        EXPECT_EQ(check(QStringLiteral("x"), bad).message, QStringLiteral("请输入存量增减的数值！"))
            << bad.toStdString();
    EXPECT_EQ(check(QString(), QStringLiteral("5")).message, QStringLiteral("请输入或选择物品！"));
    EXPECT_EQ(check(QStringLiteral("新全部物品"), QStringLiteral("5")).message,
              QStringLiteral("物品中不能包含“全部物品”这样的词！"));
    // An operator name with a quote is quoted once, so it is stored as it is.
    EXPECT_TRUE(MxEdRules::insertStatement("L1", "O'Neil", "2026-12-06 10:00", "N12063600000", c)
                    .contains(QStringLiteral("'L1','O''Neil','2026")));

    MxEdRules::Stamp s{2026, 12, 6, 23, 59, 59, 99};
    EXPECT_EQ(MxEdRules::recordIdAt(s), QStringLiteral("N12068639999"));
    MxEdRules::step(s); // the hour stops at 23
    EXPECT_EQ(MxEdRules::recordIdAt(s), QStringLiteral("N12068280000"));
    s = {2026, 12, 6, 10, 0, 59, 99};
    MxEdRules::step(s);
    EXPECT_EQ(MxEdRules::recordIdAt(s), QStringLiteral("N12063606000"));
}

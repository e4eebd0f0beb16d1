// The batch import's reading and writing: encodings, separators, quotes, numbers, headers, the
// journal's own export carried from one ledger to another, and all-or-nothing writes.
#include "app/clock.h"
#include "app/csv.h"
#include "app/format.h"
#include "app/gb18030.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "main_window/entry.h"
#include "reports/importlines.h"
#include "reports/importread.h"
#include "reports/importwrite.h"
#include "reports/journal.h"
#include "reports/summary.h"
#include "testsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <string>

using namespace Import;

namespace {

const Words kWords{QStringLiteral("物品"), QStringLiteral("存量")};

Sheet sheetOf(const QString& text) {
    QString error;
    Sheet s = read(text.toUtf8(), kWords, &error);
    EXPECT_EQ(error, QString());
    return s;
}

QStringList errorsOf(const QVector<Line>& lines) {
    QStringList out;
    for (const Line& l : lines)
        if (!l.error.isEmpty())
            out << l.error;
    return out;
}

QString readError(const QByteArray& bytes) {
    QString error;
    read(bytes, kWords, &error);
    return error;
}

} // namespace

TEST(ImportRead, EncodingsSeparatorsAndQuotes) {
    const QString text = QStringLiteral("钢管,5\r\n");
    for (const QByteArray& bytes :
         {text.toUtf8(), QByteArray("\xEF\xBB\xBF") + text.toUtf8(), Gb18030::encode(text),
          QByteArray("\xFF\xFE") +
              QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)})
        EXPECT_EQ(decode(bytes).text.trimmed(), QStringLiteral("钢管,5")) << bytes.toHex().data();

    EXPECT_EQ(detectSeparator(QStringLiteral("a,b\tc\nd,e\tf")), QLatin1Char('\t'));
    EXPECT_EQ(detectSeparator(QStringLiteral("a;b,c\nd;e\nf;g,h,i")), QLatin1Char(';'));
    EXPECT_EQ(detectSeparator(QStringLiteral("\"1,5\"\t2\n\"a,b,c\"\t3")), QLatin1Char('\t'));
    EXPECT_EQ(detectSeparator(QStringLiteral("钢管")), QLatin1Char(','));

    Splitter s(QStringLiteral("\"a,b\",\"say \"\"hi\"\"\",x\r\n\"two\nlines\",y\n\"open,z"),
               QLatin1Char(','));
    Record r = s.next();
    EXPECT_EQ(r.cells, (QStringList{"a,b", "say \"hi\"", "x"}));
    r = s.next();
    EXPECT_EQ(r.line, 2);
    EXPECT_EQ(r.cells, (QStringList{"two\nlines", "y"}));
    r = s.next();
    EXPECT_EQ(r.line, 4);
    EXPECT_EQ(r.error, QStringLiteral("第4行：引号没有配对"));
    EXPECT_TRUE(s.atEnd());
}

TEST(ImportRead, NumbersAndTimes) {
    double v = 0;
    const std::pair<const char*, double> good[] = {
        {"1,000", 1000},       {"＋１０", 10}, {"+5", 5},     {" -2.5 ", -2.5},
        {"¥1,234.50", 1234.5}, {"－３", -3},   {"1e3", 1000}, {".5", 0.5}};
    for (const auto& [text, want] : good) {
        EXPECT_EQ(readNumber(QString::fromUtf8(text), &v), NumberForm::Ok) << text;
        EXPECT_EQ(v, want) << text;
    }
    for (const std::string& huge :
         {std::string("1e400"), std::string("-1E+400"), "1" + std::string(400, '0')})
        EXPECT_EQ(readNumber(QString::fromStdString(huge), &v), NumberForm::OutOfRange) << huge;
    EXPECT_EQ(readNumber(QStringLiteral("1e-400"), &v), NumberForm::Ok);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(readNumber(QStringLiteral("0.123456789"), &v), NumberForm::Ok);
    EXPECT_EQ(v, 0.12345679);
    for (const char* bad : {"-", "1,00", "abc", "5件", "1.2.3"})
        EXPECT_EQ(readNumber(QString::fromUtf8(bad), &v), NumberForm::NotNumber) << bad;
    EXPECT_EQ(readNumber(QStringLiteral("  "), &v), NumberForm::Empty);

    QDate d;
    QTime t;
    ASSERT_TRUE(readTime(QStringLiteral("2026/3/1 9:05"), &d, &t));
    EXPECT_EQ(QDateTime(d, t), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
    ASSERT_TRUE(readTime(QStringLiteral("２０２６年3月1日 09:05:30"), &d, &t));
    EXPECT_EQ(t, QTime(9, 5, 30));
    ASSERT_TRUE(readTime(QStringLiteral("2026-12-06 23:59"), &d, &t));
    EXPECT_EQ(QDateTime(d, t), QDateTime(QDate(2026, 12, 6), QTime(23, 59)));
    for (const char* bad :
         {"2026-02-30", "2026-03-01 24:00", "2026-02-30 10:00", "1999-01-01", "3月1日", "明天"})
        EXPECT_FALSE(readTime(QString::fromUtf8(bad), &d, &t)) << bad;
}

TEST(ImportRead, HeadersMapThemselves) {
    // The journal's export, with the running balance left out and its totals line skipped.
    Sheet s =
        sheetOf(QStringLiteral("  操作员  ,  时间  ,  物品  ,  增加  ,  减少  ,  存量  ,  备注\r\n"
                               "管理员 ,2026-12-06 23:59 ,A , 3, , 13,进货\r\n"
                               "张三 ,2026-12-02 08:00 ,B , , 2, -2,\r\n\r\n"
                               "  ,  ,        合计：  , 3, 2, 11,\r\n"
                               "  操作员  ,  时间  ,  物品  ,  增加  ,  减少  ,  备注\r\n"));
    EXPECT_EQ(s.mapping, (QVector<Field>{Field::Operator, Field::Time, Field::Item, Field::Increase,
                                         Field::Decrease, Field::Skip, Field::Remark}));
    QVector<Line> lines = parseAll(s, kWords, {});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(errorsOf(lines), QStringList());
    EXPECT_EQ(lines[0].item, QStringLiteral("A"));
    EXPECT_EQ(lines[0].tm, QStringLiteral("2026-12-06 23:59"));
    EXPECT_EQ(lines[0].remark, QStringLiteral("进货"));
    EXPECT_EQ(lines[1].quantity, -2);
    EXPECT_EQ(lines[1].operatorName, QStringLiteral("张三"));

    // Another ledger's words in its journal export: the layout tells the item column.
    EXPECT_EQ(headerMapping({"操作员", "时间", "品种", "增加", "减少", "件数", "备注"}, kWords),
              (QVector<Field>{Field::Operator, Field::Time, Field::Item, Field::Increase,
                              Field::Decrease, Field::Skip, Field::Remark}));
    // A stock sheet: the quantity word is the change; the ledger's own words count too.
    EXPECT_EQ(sheetOf(QStringLiteral("客户\t应收款\n王五\t300\n")).mapping,
              (QVector<Field>{Field::Item, Field::Change}));
    EXPECT_EQ(headerMapping({"名称", "数量", "单价", "说明"}, kWords),
              (QVector<Field>{Field::Item, Field::Change, Field::Skip, Field::Remark}));
    // No header: item, change, remark by position.
    s = sheetOf(QStringLiteral("钢管,5,进货,x\n"));
    EXPECT_TRUE(s.header.isEmpty());
    EXPECT_EQ(s.mapping, (QVector<Field>{Field::Item, Field::Change, Field::Remark, Field::Skip}));
    EXPECT_EQ(mappingError({Field::Item, Field::Remark}, QStringLiteral("物品")),
              QStringLiteral("请在上面选择增减（或增加、减少）所在的列"));
    EXPECT_EQ(mappingError({Field::Item, Field::Change, Field::Change}, QStringLiteral("物品")),
              QStringLiteral("“增减”只能选一列"));
}

TEST(ImportRead, EachBadLineSaysWhy) {
    Sheet s = sheetOf(QStringLiteral("物品,增减,时间\n"
                                     "钢管 - 大,＋１０,\n"
                                     ",5,\n"
                                     "全部物品,5,\n"
                                     "钢管,1e400,\n"
                                     "钢管,-,\n"
                                     "钢管,0,\n"
                                     "钢管,,\n"
                                     "钢管,5,2026-02-30\n"));
    const QVector<Line> lines = parseAll(s, kWords, {});
    EXPECT_EQ(lines[0].item, QStringLiteral("钢管-大"));
    EXPECT_EQ(lines[0].quantity, 10);
    EXPECT_EQ(errorsOf(lines),
              (QStringList{"第3行：物品是空的", "第4行：物品中不能包含“全部物品”这样的词",
                           "第5行：增减超出范围", "第6行：增减不是数字", "第7行：增减是0",
                           "第8行：增减是空的", "第9行：时间“2026-02-30”不是有效的日期时间"}));
    EXPECT_EQ(countsText(countLines(lines), {}),
              QStringLiteral("共8行：增加1行，合计10；减少0行，合计0；7行有错误，请改正文件，"
                             "或把出错的列设为(不导入)。"));
    Limits narrow;
    narrow.item = 4;
    narrow.bytes = true;
    EXPECT_EQ(
        parseLine({2, {"钢管钢", "5"}, {}}, {Field::Item, Field::Change}, kWords, narrow).error,
        QStringLiteral("第2行：物品太长（最多4字节）"));

    // A line of ten thousand columns is refused, and keeps no more cells than a sheet can map.
    Splitter wide(QString(9999, QLatin1Char(',')) + QLatin1Char('x'), QLatin1Char(','));
    const Record r = wide.next();
    EXPECT_EQ(r.error, QStringLiteral("第1行：超过64列"));
    EXPECT_EQ(r.cells.size(), kMaxColumns);
}

TEST(ImportRead, AFirstLineIsAHeaderOnlyWhenItsCellsAreColumnWords) {
    const struct {
        const char* text;
        int lines;
        QStringList errors;
    } cases[] = {
        {"钢管\t五\n角钢\t3\n木板\t2\n", 3, {"第1行：增减不是数字"}},
        {"货号,件数\n钢管,5\n", 2, {"第1行：增减不是数字"}},
        {"钢管,-\n角钢,3\n", 2, {"第1行：增减不是数字"}},
        {"名称,5\n角钢,3\n", 2, {}},
        {"物品,增减,备注\n角钢,3,x\n", 1, {}},
        {"物品,增减,2026\n角钢,3\n", 2, {"第1行：增减不是数字"}},
        {"物品\n角钢\n", 1, {"第2行：增减是空的"}},
    };
    for (const auto& c : cases) {
        const QVector<Line> lines = parseAll(sheetOf(QString::fromUtf8(c.text)), kWords, {});
        EXPECT_EQ(lines.size(), c.lines) << c.text;
        EXPECT_EQ(errorsOf(lines), c.errors) << c.text;
    }
}

TEST(ImportRead, UnreadableCharactersMarkTheirLineAndEmptyCellsPastTheLimitAreRead) {
    const QByteArray gb = Gb18030::encode(QStringLiteral("钢管,5\n角钢,3\n木板,2\n"));
    const qsizetype second = gb.indexOf('\n') + 1;
    QByteArray badGb = gb;
    badGb.insert(second + 2, "\xFF");
    const QByteArray badUtf8 = "\xEF\xBB\xBF" + QStringLiteral("钢管,5\n角").toUtf8() + "\xC3" +
                               QStringLiteral("钢,3\n木板,2\n").toUtf8();
    for (const QByteArray& bytes : {badGb, badUtf8}) {
        QString error;
        const QVector<Line> lines = parseAll(read(bytes, kWords, &error), kWords, {});
        EXPECT_EQ(error, QString());
        ASSERT_EQ(lines.size(), 3) << bytes.toHex().data();
        EXPECT_EQ(errorsOf(lines), QStringList{lineError(2, unreadableText())});
        EXPECT_EQ(lines[2].item, QStringLiteral("木板"));
    }

    // Pasted text is checked as a file's text is.
    const auto pasted = [](const QString& text, QString* error) {
        Reader reader(text, kWords);
        while (!reader.done())
            reader.step(kMaxLines);
        const Sheet s = reader.take();
        *error = reader.error();
        return parseAll(s, kWords, {});
    };
    QString error;
    pasted(QStringLiteral("钢管\t5\n") + QChar(0) + QStringLiteral("\t3\n"), &error);
    EXPECT_EQ(error, notText());
    const QVector<Line> lines =
        pasted(QStringLiteral("钢管\t5\n角") + QChar(0xD800) + QStringLiteral("\t3\n") +
                   QChar(0xDC00) + QStringLiteral("\t2\n\U0001F600\t1\n"),
               &error);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(errorsOf(lines),
              (QStringList{lineError(2, unreadableText()), lineError(3, unreadableText())}));

    // A spreadsheet's used range: empty cells past the last column a sheet can map.
    const QString wide = QStringLiteral("钢管,5") + QString(kMaxColumns + 6, QLatin1Char(','));
    EXPECT_EQ(errorsOf(parseAll(sheetOf(wide + "\n角钢,3\n"), kWords, {})), QStringList());
    EXPECT_EQ(errorsOf(parseAll(sheetOf(wide + "x\n角钢,3\n"), kWords, {})),
              QStringList{QStringLiteral("第1行：超过64列")});
}

TEST(ImportRead, SumsPastTheLargestDoubleAreRefusedAndNeverShownAsInf) {
    const Sheet s = sheetOf(QStringLiteral("物品,增加,减少,增减\n"
                                           "钢管,1e308,,1e308\n"
                                           "钢管,,1e308,-1e308\n"
                                           "角钢,1e308,,\n"
                                           "木板,1e308,,\n"));
    const QVector<Line> lines = parseAll(s, kWords, {});
    EXPECT_EQ(errorsOf(lines), (QStringList{"第2行：数量超出范围", "第3行：数量超出范围"}));
    const QString text = countsText(countLines(lines), {});
    EXPECT_FALSE(text.contains(QStringLiteral("inf"), Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("共4行：增加2行，合计超出范围；")))
        << text.toStdString();
}

TEST(ImportRead, BadInputsAreRefusedWhole) {
    EXPECT_EQ(readError({}), emptyInput());
    EXPECT_EQ(readError("\r\n \r\n"), emptyInput());
    EXPECT_EQ(readError(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)), notText());
    EXPECT_EQ(readError(QByteArray(400, '\x01') + "a,1"), notText());
    EXPECT_EQ(readError(QByteArray(kMaxBytes + 1, 'a')), tooLarge());
    QByteArray many;
    for (int i = 0; i <= kMaxLines; ++i)
        many += "a,1\n";
    EXPECT_EQ(readError(many), tooManyLines());
    EXPECT_EQ(readError("物品,增减\n" + many.left(many.size() - 4)), QString());
}

TEST(ImportRights, EveryLineIsCheckedBeforeAnythingIsWritten) {
    Line up, down, late;
    up.quantity = 5;
    down.quantity = -5;
    late.quantity = 1;
    late.tm = QStringLiteral("2026-03-01 09:00");
    const QString sl = QStringLiteral("存量");
    EXPECT_EQ(rightsRefusal({up, down}, QStringLiteral("1011111111111111"), sl),
              QStringLiteral("对不起，您只能记录存量减少的账目！"));
    EXPECT_EQ(rightsRefusal({up, down}, QStringLiteral("1101111111111111"), sl),
              QStringLiteral("对不起，您只能记录存量增加的账目！"));
    EXPECT_EQ(rightsRefusal({}, QStringLiteral("1001111111111111"), sl),
              QStringLiteral("对不起，您没有【记账】的权限！"));
    EXPECT_EQ(rightsRefusal({up, late}, QStringLiteral("1111111110111111"), sl),
              QStringLiteral("对不起，您无此权限！"));
    EXPECT_EQ(rightsRefusal({up, down, late}, QString(16, QLatin1Char('1')), sl), QString());
}

namespace {

// A statement the client cannot send, on a second connection to the database in use.
bool sideExec(const TestSupport::Sandbox& sb, const QString& statement) {
    bool ok = false;
    {
        const bool pg = Db::currentEngine() == Db::Engine::Postgres;
        QSqlDatabase db = QSqlDatabase::addDatabase(pg ? "QPSQL" : "QSQLITE", "side");
        const Db::Connection c = pg ? TestSupport::postgres() : sb.sqlite();
        db.setDatabaseName(c.database);
        if (pg) {
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(c.server.section(QLatin1Char(','), 1).toInt());
            db.setUserName(c.login);
            db.setPassword(c.password);
        }
        ok = db.open() && QSqlQuery(db).exec(statement);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("side"));
    return ok;
}

int rowsOf(const QString& zbid) {
    return RunSqlOne(QStringLiteral("select count(*) from Zhang where ZBID='") + zbid + "'")
        .toInt();
}

QStringList summaryOf(const QString& zbid, const QString& start, const QString& end) {
    QStringList out;
    if (RunSql(Summary::statement(zbid, start, end)).isEmpty())
        return {QStringLiteral("failed")};
    for (const Summary::Row& r : Summary::rowsOf(MainBas::SqlRows, MainBas::SqlRowMax))
        out << QStringList{r.item, NumStr(r.opening), NumStr(r.increase), NumStr(r.decrease),
                           NumStr(r.closing)}
                   .join(QLatin1Char('|'));
    return out;
}

QVector<Line> linesOf(int n, const QString& badItem = {}, int badAt = -1) {
    QVector<Line> out(n);
    for (int i = 0; i < n; ++i) {
        out[i].item = i == badAt ? badItem : QStringLiteral("物品%1").arg(i % 7);
        out[i].quantity = i % 3 ? 2 : -1;
    }
    return out;
}

class ImportWrite : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!sb.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        Clock::set(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        // The server's own date, as read earlier in this run.
        MainBas::SrvDate = QStringLiteral("2026-12-06");
        MainBas::SrvReadOn = QDate(2026, 12, 6);
    }
    void TearDown() override { Clock::clear(); }
    bool pg() const { return GetParam() == Db::Engine::Postgres; }
    TestSupport::Sandbox sb;
};

} // namespace

TEST_P(ImportWrite, AJournalExportedFromOneLedgerRebuildsItInAnother) {
    const QString rows[][5] = {{"2026-10-05 08:00", "钢材", "10", "期初", "管理员"},
                               {"2026-11-03 09:00", "钢材", "5", "进货，两包", "张三"},
                               {"2026-11-03 09:00", "钢材", "-3", "", "管理员"},
                               {"2026-11-12 10:00", "螺丝-大", "-2.5", "计划外", "张三"},
                               {"2026-12-01 00:00", "木板", "4", "", "管理员"}};
    int n = 0;
    for (const auto& r : rows)
        ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                        "('A','%1','%2','N%3','%4',%5,'%6')")
                             .arg(r[4], r[0])
                             .arg(++n)
                             .arg(r[1], r[2], r[3])),
                  QStringLiteral("OK"));
    Journal::Filter f;
    f.from = {"2026", "01", "01", "00", "00"};
    f.to = {"2026", "12", "31", "23", "59"};
    const Journal::Listing listed = Journal::list("A", "物品", f);
    ASSERT_EQ(listed.status, Journal::Listing::Listed);
    QVector<ReportLine> table = Journal::header({"物品", "存量"}, listed.showBalance);
    table += listed.body;
    const QString path = sb.path("journal.csv");
    ASSERT_TRUE(appendCsvLines(path, Journal::exportLines(table)));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString error;
    const Sheet sheet = read(file.readAll(), kWords, &error);
    const QVector<Line> lines = parseAll(sheet, kWords, readLimits());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(errorsOf(lines), QStringList());
    const Outcome o = write("B", "李四", lines);
    EXPECT_EQ(o.message, QStringLiteral("成功导入5条记录！"));
    EXPECT_EQ(o.items, (QStringList{"木板", "螺丝-大", "钢材"}));
    for (const auto& period : {std::pair{"2026-01-01 00:00", "2026-12-31 23:59"},
                               std::pair{"2026-11-01 00:00", "2026-11-30 23:59"}})
        EXPECT_EQ(summaryOf("B", period.first, period.second),
                  summaryOf("A", period.first, period.second));
    EXPECT_EQ(rowsOf("B"), 5);
    EXPECT_EQ(RunSqlOne("select count(*) from Zhang where ZBID='B' and USR='李四' and "
                        "BZ='进货，两包'"),
              QStringLiteral("1"));
}

TEST_P(ImportWrite, IdsAvoidEveryTakenOneAndLeaveTheMomentToOthers) {
    // Taken just before now (one retired), and at the own time of two lines.
    for (const char* id : {"N12063599999", "N12063599997", "N03013240000"})
        ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                        "('%1','管理员','2026-12-06 09:59','%2','旧',1,'')")
                             .arg(QString::fromLatin1(id) == "N12063599997"
                                      ? QStringLiteral("管理员#B#2026-12-06 09:59")
                                      : QStringLiteral("B"),
                                  QString::fromLatin1(id))),
                  QStringLiteral("OK"));
    QVector<Line> lines = linesOf(5);
    lines[1].tm = lines[3].tm = QStringLiteral("2026-03-01 09:00");
    const Outcome o = write("B", "管理员", lines);
    ASSERT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_LE(o.statements, 2);
    RunSql("select ID,TM from Zhang where ZBID='B' and ITEM<>'旧' order by ID");
    QStringList stored;
    for (int i = 1; i < MainBas::SqlRowMax; ++i)
        stored << MainBas::SqlRows(i, 0) + " " + MainBas::SqlRows(i, 1);
    EXPECT_EQ(stored, (QStringList{"N03013240001 2026-03-01 09:00", "N03013240002 2026-03-01 09:00",
                                   "N12063599995 2026-12-06 10:00", "N12063599996 2026-12-06 10:00",
                                   "N12063599998 2026-12-06 10:00"}));
    // An entry saved at this moment gets the id the entry panel forms.
    QString id;
    EXPECT_EQ(Entry::saveRow({"B", "张三", "2026-12-06", "钢管", "", QTime(10, 0), 1}, &id), "OK");
    EXPECT_EQ(id, Entry::NewRecID("2026-12-06", QTime(10, 0)));
}

TEST_P(ImportWrite, AFailureInTheMiddleWritesNothing) {
    const QString refuse =
        pg() ? QStringLiteral("alter table zhang add constraint no_bad check (item <> '坏')")
             : QStringLiteral("create trigger no_bad before insert on Zhang when new.ITEM='坏' "
                              "begin select raise(abort,'refused'); end");
    ASSERT_EQ(rowsOf("B"), 0); // the embedded database has its tables from here on
    ASSERT_TRUE(sideExec(sb, refuse));
    Outcome o = write("B", "管理员", linesOf(1200, "坏", 900));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.message, QStringLiteral("导入失败，没有导入任何记录：服务器拒绝了其中的记录！"));
    EXPECT_EQ(rowsOf("B"), 0);
    EXPECT_TRUE(
        sideExec(sb, pg() ? "alter table zhang drop constraint no_bad" : "drop trigger no_bad"));
    if (!pg())
        return;
    // The connection dies under the second insert: the server rolls the first one back.
    ASSERT_TRUE(sideExec(
        sb, "create function kill_me() returns trigger language plpgsql as $$ begin if new.item "
            "= '断' then perform pg_terminate_backend(pg_backend_pid()); end if; return new; "
            "end $$"));
    ASSERT_TRUE(sideExec(sb, "create trigger kill_me before insert on zhang for each row "
                             "execute function kill_me()"));
    o = write("B", "管理员", linesOf(1200, "断", 900));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.message,
              failureText(QStringLiteral("与服务器的连接中断了，请检查网络后重新导入！")));
    EXPECT_EQ(rowsOf("B"), 0);
    EXPECT_TRUE(sideExec(sb, "drop trigger kill_me on zhang"));
    EXPECT_TRUE(sideExec(sb, "drop function kill_me()"));
    EXPECT_TRUE(write("B", "管理员", linesOf(1200)).ok);
    EXPECT_EQ(rowsOf("B"), 1200);
}

TEST_P(ImportWrite, IdsTakenByAConcurrentWriterMoveOnToFreeOnes) {
    // Another computer writes, on a connection of its own, between this import's read of the
    // taken ids and its inserts: the ids it takes are those this import chose, or would choose
    // when one of the two clocks is a minute behind and the imports are long.
    const struct {
        QTime ours, theirs;
        int ourLines, theirLines;
    } cases[] = {{QTime(10, 0), QTime(10, 0), 40, 30},
                 {QTime(10, 0), QTime(9, 59), 6100, 30},
                 {QTime(9, 59), QTime(10, 0), 30, 6100}};
    const QDate today(2026, 12, 6);
    int ledger = 0;
    for (const auto& c : cases) {
        const QString zb = QStringLiteral("L%1").arg(++ledger);
        QVector<Line> theirs = linesOf(c.theirLines);
        QVector<Line> ours = linesOf(c.ourLines);
        theirs[0].tm = ours[0].tm = ours[1].tm = QStringLiteral("2026-03-01 09:00");
        QString error;
        const QStringList theirIds = assignIds(theirs, today, c.theirs, {}, &error);
        const QString theirTm = QStringLiteral("2026-12-06 ") + c.theirs.toString("HH:mm");
        Clock::set(QDateTime(today, c.ours));
        int writes = 0;
        const Outcome o = write(zb, "管理员", ours, [&](int done, int) {
            if (done != 0 || writes++ != 0)
                return;
            for (const QString& insert : insertStatements(zb, "张三", theirs, theirIds, theirTm)) {
                ASSERT_TRUE(sideExec(sb, insert));
            }
        });
        EXPECT_TRUE(o.ok) << o.message.toStdString();
        EXPECT_EQ(writes, 2) << zb.toStdString();
        const auto count = [&zb](const char* usr) {
            return RunSqlOne(QStringLiteral("select count(*) from Zhang where ZBID='") + zb +
                             QStringLiteral("' and USR='") + QString::fromUtf8(usr) + "'")
                .toInt();
        };
        EXPECT_EQ(count("管理员"), c.ourLines) << zb.toStdString();
        EXPECT_EQ(count("张三"), c.theirLines) << zb.toStdString();
    }

    // A writer that takes the chosen ids again and again: after a few rounds the import gives up
    // and says why.
    Clock::set(QDateTime(today, QTime(10, 0)));
    const QVector<Line> ours = linesOf(3);
    int rounds = 0;
    const Outcome o = write("L9", "管理员", ours, [&](int done, int) {
        if (done != 0)
            return;
        ++rounds;
        QSet<QString> taken;
        RunSql("select ID from Zhang where ZBID='L9'");
        for (int i = 1; i < MainBas::SqlRowMax; ++i)
            taken.insert(MainBas::SqlRows(i, 0));
        QString error;
        const QStringList ids = assignIds(ours, today, QTime(10, 0), taken, &error);
        ASSERT_TRUE(sideExec(
            sb, insertStatements("L9", "张三", ours, ids, "2026-12-06 10:00").join(QString())));
    });
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(rounds, 5);
    EXPECT_EQ(o.message, failureText(QStringLiteral(
                             "其他操作员正在同时记账，记录编号一再冲突，请稍后重新导入！")));
    EXPECT_EQ(rowsOf("L9"), 15);
}

// The embedded database's columns have no width.
TEST(ImportWidth, AnItemWiderThanTheServerColumnIsALineErrorOrAWriteFailureThatSaysSo) {
    REQUIRE_POSTGRES();
    TestSupport::Sandbox sb;
    sb.usePostgres();
    ASSERT_TRUE(sideExec(sb, "alter table zhang alter column item type varchar(4)"));
    const Limits limits = readLimits();
    // Narrowed after the preview read the widths: the write says what did not fit.
    MainBas::ItemName = QStringLiteral("物品");
    const Outcome o = write("B", "管理员", linesOf(3, "不锈钢管子", 2));
    EXPECT_TRUE(sideExec(sb, "alter table zhang alter column item type text"));
    EXPECT_EQ(o.message, failureText(QStringLiteral(
                             "物品或备注超出了服务器上数据表的列宽，请改短后重新导入！")));
    EXPECT_EQ(limits.item, 4);
    EXPECT_FALSE(limits.bytes);
    const Sheet s = sheetOf(QStringLiteral("不锈钢管子,5\n钢管钢管,5\n"));
    EXPECT_EQ(errorsOf(parseAll(s, kWords, limits)),
              QStringList{QStringLiteral("第1行：物品太长（最多4个字）")});
    EXPECT_EQ(readLimits().item, 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, ImportWrite,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres),
                         [](const auto& info) {
                             return info.param == Db::Engine::Sqlite ? "Sqlite" : "Postgres";
                         });

// The three tables on each engine, addressed the way the client's statements address them.
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "testsupport.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>

using namespace MainBas;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

class SchemaTest : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!box_.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
    }

    static void run(const QString& statement) {
        ASSERT_EQ(str(RunSql(statement)), "OK") << str(statement);
    }

    TestSupport::Sandbox box_;
};

TEST_P(SchemaTest, ColumnsAnswerToAnyLetterCase) {
    run(QStringLiteral("insert into Zblst (ZBid,ZbNm,Item,SL,Bz,BgDate,NdDate,MB,SalesMan,Msg) "
                       "values ('13800138000','家庭账本','物品','存量','自已注册','2014-03-05',"
                       "'','','','您好！')"));
    for (const char* column : {"ZBid", "Zbid", "zbid", "ZBID", "ZbId"}) {
        const QString select = QStringLiteral("select ZBNM from zblst where %1='13800138000'")
                                   .arg(QLatin1String(column));
        EXPECT_EQ(str(RunSqlOne(select)), "家庭账本") << column;
    }
    run(QStringLiteral("update ZbLst set Cmd='NOTICE' where ZBid='13800138000'"));
    run(QStringLiteral("update Zblst set zbnm='新名' where Zbid='13800138000'"));
    run(QStringLiteral("update Zblst set GongGao='255│今天盘点' where zbid='13800138000'"));
    EXPECT_EQ(str(RunSql(QStringLiteral("select Item,SL,Msg,Cmd,GongGao from ZbLst where "
                                        "ZBid='13800138000'"))),
              "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "物品");
    EXPECT_EQ(str(SqlRows(1, 1)), "存量");
    EXPECT_EQ(str(SqlRows(1, 2)), "您好！");
    EXPECT_EQ(str(SqlRows(1, 3)), "NOTICE");
    EXPECT_EQ(str(SqlRows(1, 4)), "255│今天盘点");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ZbNm from ZBLST where ZBID='13800138000'"))),
              "新名");

    // The operator table under both spellings of its inserts.
    run(QStringLiteral("insert into UsrLst (ZBID,Usr,PWD) values ('13800138000','管理员','')"));
    run(QStringLiteral("insert into usrlst (ZbId,Usr,Pwd,Qx) values "
                       "('13800138000','张三','','1111000011110000')"));
    run(QStringLiteral("update UsrLst set Qx='0000000000000001' where ZBID='13800138000' and "
                       "Usr='张三'"));
    EXPECT_EQ(str(RunSqlOne(
                  QStringLiteral("select QX from USRLST where zbid='13800138000' and usr='张三'"))),
              "0000000000000001");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral(
                  "select PWd from UsrLst where ZBID='13800138000' and Usr='管理员'"))),
              "");
    EXPECT_EQ(str(RunSql(QStringLiteral("select Pwd,QX from UsrLst where ZBID='13800138000' "
                                        "and Usr='管理员'"))),
              "1");
    EXPECT_EQ(str(RunSql(QStringLiteral("select Usr from UsrLst where ZBID='13800138000' "
                                        "order by Usr"))),
              "2");
    run(QStringLiteral("delete from UsrLst where ZBID='13800138000' and Usr='张三'"));
    EXPECT_EQ(str(RunSql(QStringLiteral("select Usr from UsrLst where ZBID='13800138000'"))), "1");
    EXPECT_EQ(str(SqlRows(1, 0)), "管理员");
}

TEST_P(SchemaTest, ChineseTextComesBackUnchangedThroughQuotedLiterals) {
    const QStringList texts = {
        QStringLiteral("管理员"),
        QStringLiteral("红富士苹果（一级）"),
        QStringLiteral("计划外，补货；备注：“双引号”"),
        QStringLiteral("𠀀𠀁 扩展字"),
        QStringLiteral("mixed 中文 123 ½ €"),
        QStringLiteral("  两头空格  "),
    };
    for (int i = 0; i < texts.size(); ++i)
        run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                           "('L1','%1','2014-03-05 10:20','ID%2','%1',1,'%1')")
                .arg(texts[i])
                .arg(i));
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(str(RunSql(QStringLiteral("select USR,ITEM,BZ from Zhang where ZBID='L1' and "
                                            "ID='ID%1'")
                                 .arg(i))),
                  "1");
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(str(SqlRows(1, col)), str(texts[i])) << col;
        // The text also works as a search key.
        EXPECT_EQ(str(RunSqlOne(QStringLiteral("select ID from Zhang where ZBID='L1' and "
                                               "ITEM='%1'")
                                    .arg(texts[i]))),
                  str(QStringLiteral("ID%1").arg(i)));
    }
    EXPECT_EQ(str(RunSql(QStringLiteral("select Item from Zhang where ZBID='L1' group by Item"))),
              str(QString::number(texts.size())));
}

TEST_P(SchemaTest, TimesCompareWithDateTextsAndSort) {
    const QStringList times = {
        QStringLiteral("2014-03-04 23:59"), QStringLiteral("2014-03-05 00:00"),
        QStringLiteral("2014-03-05 10:20"), QStringLiteral("2014-03-06 00:00"),
        QStringLiteral("2014-12-01 08:00")};
    // Entered out of order, so sorting has work to do.
    for (int i : {3, 0, 4, 2, 1})
        run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                           "('L1','管理员','%1','ID%2','苹果',%3,'')")
                .arg(times[i])
                .arg(i)
                .arg(i % 2 ? -i : i));

    EXPECT_EQ(str(RunSql(QStringLiteral("select TM from Zhang where ZBID='L1' and "
                                        "TM>='2014-03-05' and TM<'2014-03-06' order by TM"))),
              "2");
    EXPECT_EQ(str(SqlRows(1, 0)), str(times[1]));
    EXPECT_EQ(str(SqlRows(2, 0)), str(times[2]));
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select count(*) from Zhang where ZBID='L1' and "
                                           "TM<='2014-03-05 10:20'"))),
              "3");
    EXPECT_EQ(str(RunSql(QStringLiteral("select Tm from Zhang where Zbid='L1' order by tm desc"))),
              "5");
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(str(SqlRows(row, 0)), str(times[5 - row])) << row;

    // Sign filters on the quantity: 0, 2 and 4 are not negative, -1 and -3 are.
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select sum(sl) from Zhang where ZBID='L1' and "
                                           "SL>=0"))),
              "6");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select sum(sl) from Zhang where ZBID='L1' and "
                                           "SL<0 and TM>='2014-03-05'"))),
              "-4");
}

TEST_P(SchemaTest, RetiredEntryLeavesTheLedgerButStaysInTheTable) {
    for (int i = 1; i <= 3; ++i)
        run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                           "('L1','管理员','2014-03-0%1 10:00','ID%1','苹果',%2,'')")
                .arg(i)
                .arg(i * 10));
    run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                       "('L2','管理员','2014-03-01 10:00','ID2','苹果',7,'')"));
    const QString sum = QStringLiteral(
        "select sum(SL) from Zhang where Zbid='L1' and Item='苹果' group by Zbid,Item");
    EXPECT_EQ(str(RunSqlOne(sum)), "60");

    const QString marker = QStringLiteral("管理员#L1#2014-03-09 11:30");
    run(QStringLiteral("update Zhang set ZBID='%1' where ZBID='L1' and ID='ID2'").arg(marker));
    EXPECT_EQ(str(RunSqlOne(sum)), "40");
    EXPECT_EQ(str(RunSql(QStringLiteral("select ID from Zhang where ZBID='L1' order by ID"))), "2");
    EXPECT_EQ(str(SqlRows(1, 0)), "ID1");
    EXPECT_EQ(str(SqlRows(2, 0)), "ID3");
    // The row is still there under the marker, and the other ledger's ID2 is untouched.
    EXPECT_EQ(str(RunSql(QStringLiteral("select ZBID,SL from Zhang where ID='ID2' order by SL"))),
              "2");
    EXPECT_EQ(str(SqlRows(1, 0)), "L2");
    EXPECT_EQ(str(SqlRows(2, 0)), str(marker));
    EXPECT_EQ(str(SqlRows(2, 1)), "20");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select count(*) from Zhang"))), "4");

    // The edited version takes the old id's place; the old row is retired under the new id.
    run(QStringLiteral("update Zhang set ZBID='ID9#L1#2014-03-09 11:31' where ZBID='L1' and "
                       "ID='ID3'"));
    run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                       "('L1','管理员','2014-03-03 10:00','ID9','苹果',35,'改')"));
    EXPECT_EQ(str(RunSqlOne(sum)), "45");
    EXPECT_EQ(str(RunSqlOne(QStringLiteral("select count(*) from Zhang"))), "5");
}

TEST_P(SchemaTest, IdsNamesAndItemsAreExactTextsAndTheLongestMarkerFits) {
    run("insert into Zblst (ZBid,ZbNm) values ('Foo@qq.com','大写')");
    run("insert into Zblst (ZBid,ZbNm) values ('foo@qq.com','小写')");
    EXPECT_EQ(str(RunSqlOne("select ZbNm from Zblst where ZBid='foo@qq.com'")), "小写");
    run("insert into UsrLst (ZBID,Usr,PWD) values ('L1','Tom','')");
    run("insert into UsrLst (ZBID,Usr,PWD) values ('L1','tom','')");
    EXPECT_EQ(str(RunSql("select Usr from UsrLst where ZBID='L1' and Usr='tom'")), "1");
    const QStringList items = {"A", "a", "Ａ", "ａ"};
    for (int i = 0; i < items.size(); ++i)
        run(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                           "('L1','Tom','2014-03-05 10:20','%1','%2',1,'')")
                .arg(i ? "n1206" + QString::number(i) : "N12061")
                .arg(items[i]));
    EXPECT_EQ(str(RunSql("select Item from Zhang where ZBID='L1' group by Item")), "4");
    EXPECT_EQ(str(RunSql("select ID from Zhang where ZBID='L1' and ID='n12061'")), "1");

    // Retired by an operator whose name fills its column (50 Chinese characters) in a ledger
    // whose id fills its own (100 characters).
    const QString usr(50, QChar(0x7BA1));
    const QString zbid(100, 'z');
    const QString marker = usr + "#" + zbid + "#2014-03-09 11:30";
    run("update Zhang set ZBID='" + marker + "' where ZBID='L1' and ID='N12061'");
    EXPECT_EQ(str(RunSqlOne("select ID from Zhang where ZBID='" + marker + "'")), "N12061");
}

// The SQL Server script cannot run here; what the client relies on is read from it.
TEST(SqlServerScript, exactTextColumnsAndRoomForTheRetiredMarker) {
    QFile file(QStringLiteral(ZELVO_SCHEMA_DIR "/sqlserver.sql"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(file.readAll());
    QHash<QString, int> width; // "table.column" in lower case
    const QRegularExpression table(R"(CREATE TABLE (\w+) \((.*?)\n\);)",
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression column(R"(^\s*(\w+)\s+\w+(?:\((\d+)\))?(.*)$)",
                                    QRegularExpression::MultilineOption);
    for (auto t = table.globalMatch(script); t.hasNext();) {
        const auto tm = t.next();
        for (auto c = column.globalMatch(tm.captured(2)); c.hasNext();) {
            const auto cm = c.next();
            const QString name = cm.captured(1).toLower();
            if (name == "primary")
                continue;
            width[tm.captured(1).toLower() + "." + name] = cm.captured(2).toInt();
            if (QStringList{"zbid", "usr", "id", "item"}.contains(name)) {
                EXPECT_TRUE(cm.captured(3).contains("COLLATE Chinese_PRC_CS_AS_WS"))
                    << str(tm.captured(1) + "." + cm.captured(1));
            }
        }
    }
    ASSERT_EQ(width.size(), 23);
    const int firstPart = std::max({width["usrlst.usr"], width["zhang.usr"], width["zhang.id"]});
    EXPECT_GE(width["zhang.zbid"], firstPart + 1 + width["zblst.zbid"] + 1 + 16);
    EXPECT_EQ(width["zblst.zbid"], width["usrlst.zbid"]);
}

INSTANTIATE_TEST_SUITE_P(Engines, SchemaTest,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres,
                                           Db::Engine::Odbc),
                         [](const auto& info) {
                             return std::string(info.param == Db::Engine::Sqlite     ? "Sqlite"
                                                : info.param == Db::Engine::Postgres ? "Postgres"
                                                                                     : "Odbc");
                         });

} // namespace

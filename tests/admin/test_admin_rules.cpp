#include "admin/gonggaorules.h"
#include "admin/usrglrules.h"
#include "admin/usrpwdrules.h"
#include "app/mainbas.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace MainBas;
namespace G = GongGaoRules;
namespace U = UsrGLRules;

namespace {

// A word of sixteen characters with "0" at the given rights (counted from 1).
QString without(std::initializer_list<int> rights) {
    QString w(16, QLatin1Char('1'));
    for (int n : rights)
        w[n - 1] = QLatin1Char('0');
    return w;
}

} // namespace

TEST(UsrGLRules, ClearingABoxClearsTheRightsThatDependOnIt) {
    EXPECT_EQ(U::applyClearRules(without({6})), without({6, 9, 10, 11, 12, 13}));
    // 5 and 7 alone leave export alone; with 6 as well export goes.
    EXPECT_EQ(U::applyClearRules(without({5, 7})), without({5, 7}));
    EXPECT_EQ(U::applyClearRules(without({5, 6, 7})), without({5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(U::applyClearRules(without({2})), without({2}));
    EXPECT_EQ(U::applyClearRules(without({2, 3})), without({2, 3, 10, 11}));
    // A word already missing right 6 loses 9 to 13 whichever box is cleared.
    EXPECT_EQ(U::applyClearRules(without({6, 1})), without({1, 6, 9, 10, 11, 12, 13}));
    EXPECT_EQ(U::applyClearRules(without({14})), without({14}));

    bool ticked[16] = {};
    ticked[5] = true;
    EXPECT_EQ(U::wordFromBoxes(ticked, QString()), QStringLiteral("0000010000000000"));
    ticked[14] = true; // the hidden box never decides the reserved position
    EXPECT_EQ(U::wordFromBoxes(ticked, QStringLiteral("0000000000000010")),
              QStringLiteral("0000010000000010"));
    EXPECT_EQ(U::wordFromBoxes(ticked, QStringLiteral("11111111111111x1")),
              QStringLiteral("00000100000000x0"));
}

TEST(UsrPwdRules, PasswordsAreComparedExactlyBeforeTheyAreCheckedForEmpty) {
    EXPECT_EQ(UsrPwdRules::checkPasswords("abc", "ABC"), "两次输入的密码不相同！");
    EXPECT_EQ(UsrPwdRules::checkPasswords(" a", "a"), "两次输入的密码不相同！");
    EXPECT_EQ(UsrPwdRules::checkPasswords("", ""), "请两次输入密码，再点击【确定】！");
    EXPECT_EQ(UsrPwdRules::checkPasswords("", "x"), "两次输入的密码不相同！");
    EXPECT_EQ(UsrPwdRules::checkPasswords(" a ", " a "), QString());
}

TEST(GongGaoRules, ColoursLengthAndLineEstimate) {
    const G::OleColour black = G::decodeColour(G::optionColour(0));
    EXPECT_EQ(G::optionColour(0), -2147483630);
    EXPECT_TRUE(black.system);
    EXPECT_EQ(black.index, 18);
    const G::OleColour red = G::decodeColour(G::optionColour(3));
    EXPECT_EQ(G::optionColour(3), 255);
    EXPECT_FALSE(red.system);
    EXPECT_EQ(QList<int>({red.red, red.green, red.blue}), QList<int>({255, 0, 0}));
    const G::OleColour blue = G::decodeColour(0xFF8080);
    EXPECT_EQ(QList<int>({blue.red, blue.green, blue.blue}), QList<int>({0x80, 0x80, 0xFF}));
    EXPECT_EQ(G::decodeColour(G::kWindowText).index, 8);

    EXPECT_EQ(G::storedLength(QStringLiteral("a\nb")), 4);
    EXPECT_EQ(G::toStored(QStringLiteral("a\nb\r\nc")), QStringLiteral("a\r\nb\r\nc"));
    EXPECT_EQ(G::fromStored(QStringLiteral("a\r\nb")), QStringLiteral("a\nb"));

    EXPECT_EQ(G::lineEstimate(QStringLiteral("一二三四五六七八")), 1);
    EXPECT_EQ(G::lineEstimate(QStringLiteral("1\n2\n3\n4\n5")), 5);
    EXPECT_EQ(G::lineEstimate(QStringLiteral("1\n2\n3\n4\n5\n6")), 6);
    // 62 wide characters are 11160 twips: one line; 63 are 11340: two; 94 (16920) still two, 95
    // (17100) three.
    EXPECT_EQ(G::lineEstimate(QString(62, QChar(0x4E00))), 1);
    EXPECT_EQ(G::lineEstimate(QString(63, QChar(0x4E00))), 2);
    EXPECT_EQ(G::lineEstimate(QString(94, QChar(0x4E00))), 2);
    EXPECT_EQ(G::lineEstimate(QString(95, QChar(0x4E00))), 3);
    EXPECT_EQ(G::lineEstimate(QString(126, QLatin1Char('a')) + "\nx"), 3);
}

namespace {

// Texts that break a statement quoted carelessly.
const QStringList kHostile = {
    QStringLiteral("x'); delete from Zhang; --"),
    QStringLiteral("O'Brien \\ '' \\' │盘点\r\n第二行"),
    QStringLiteral(" 密码'\"\\n "),
};

void quotedValuesRoundTrip() {
    ASSERT_EQ(RunSql("insert into Zblst (ZBid,ZbNm) values ('z1','甲')"), "OK");
    ASSERT_EQ(RunSql("insert into Zblst (ZBid,ZbNm,GongGao) values ('z2','乙','别动')"), "OK");
    ASSERT_EQ(RunSql("insert into Zhang (ZBID,ID,ITEM,SL) values ('z1','r1','钢材',1)"), "OK");
    ASSERT_EQ(RunSql(U::operatorInsert("z1", "出纳", "0000010000000000")), "OK");
    ASSERT_EQ(RunSql(U::operatorInsert("z1", "会计", "1")), "OK");
    for (const QString& text : kHostile) {
        ASSERT_EQ(RunSql(UsrPwdRules::passwordUpdate("z1", "出纳", text)), "OK")
            << text.toStdString();
        ASSERT_EQ(RunSql("select Pwd,Qx from UsrLst where ZBID='z1' and Usr='出纳'"), "1");
        EXPECT_EQ(SqlRows(1, 0), text);
        EXPECT_EQ(SqlRows(1, 1), "0000010000000000");
        EXPECT_EQ(RunSqlOne("select Pwd from UsrLst where ZBID='z1' and Usr='会计'"), "");

        const QString box = G::fromStored(text);
        ASSERT_EQ(RunSql(G::publishStatement("z1", 255, box)), "OK");
        EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='z1'"),
                  QStringLiteral("255│") + G::toStored(box));
        EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='z2'"), "别动");

        // A name read back from the server goes into statements quoted too.
        ASSERT_EQ(RunSql(U::operatorInsert("z1", text, "1")), "OK");
        EXPECT_EQ(RunSql(U::insertedRowQuery("z1", text)), "1");
        EXPECT_EQ(RunSql(U::rightsUpdate("z1", text, "0")), "OK");
        EXPECT_EQ(RunSqlOne(U::wordQuery("z1", text)), "0");
        EXPECT_EQ(RunSql(U::operatorDelete("z1", text)), "OK");
        EXPECT_EQ(RunSql(U::insertedRowQuery("z1", text)), "0");
    }
    EXPECT_EQ(RunSql(G::clearStatement("z1")), "OK");
    EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='z1'"), "");
    EXPECT_EQ(RunSql("select * from Zhang"), "1");
    EXPECT_EQ(RunSql("select * from UsrLst"), "2");
    EXPECT_EQ(RunSqlOne("select Qx from UsrLst where Usr='会计'"), "1");
}

} // namespace

TEST(AdminStatements, QuotedValuesRoundTripOnEveryEngine) {
    for (Db::Engine engine : {Db::Engine::Sqlite, Db::Engine::Postgres, Db::Engine::Odbc}) {
        TestSupport::Sandbox sb;
        if (!sb.useEngine(engine))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        SCOPED_TRACE(static_cast<int>(engine));
        quotedValuesRoundTrip();
        if (engine != Db::Engine::Sqlite)
            TestSupport::emptyTables();
    }
}

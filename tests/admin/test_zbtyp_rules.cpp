#include "admin/rights.h"
#include "admin/zbtyprules.h"
#include "app/mainbas.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using MainBas::SqlRows;
namespace R = ZbTypRules;

namespace {

const QString kMobile = QStringLiteral("手机");
const QString kQQ = QStringLiteral("QQ号");
const QString kMail = QStringLiteral("邮箱");

QString incomplete(const QString& kind) {
    return QStringLiteral("请完整输入您的") + kind + QStringLiteral("（或其他联系方式）！");
}

} // namespace

TEST(ZbTypContact, MobileNumbersKeepTheirDigitsWithoutLeadingZeros) {
    R::Contact c = R::checkContact(QStringLiteral("100-0000-0001"), kMobile);
    EXPECT_EQ(c.text, QStringLiteral("10000000001"));
    EXPECT_TRUE(c.message.isEmpty());

    c = R::checkContact(QStringLiteral("0086 10000000001"), kMobile);
    EXPECT_EQ(c.text, QStringLiteral("8610000000001"));
    EXPECT_EQ(c.message, QStringLiteral("手机号码应该为11位数字！"));

    c = R::checkContact(QStringLiteral("  1380013800  "), kMobile);
    EXPECT_EQ(c.text, QStringLiteral("1380013800"));
    EXPECT_EQ(c.message, QStringLiteral("手机号码应该为11位数字！"));

    // Long enough before the digits are taken, too short after.
    c = R::checkContact(QStringLiteral("00000-0"), kMobile);
    EXPECT_EQ(c.text, QString());
    EXPECT_EQ(c.message, incomplete(kMobile));
    c = R::checkContact(QStringLiteral("tel:1234"), kMobile);
    EXPECT_EQ(c.text, QStringLiteral("1234"));
    EXPECT_EQ(c.message, incomplete(kMobile));

    // Full-width digits are not digits here.
    c = R::checkContact(QStringLiteral("１３８００１３８０００"), kMobile);
    EXPECT_EQ(c.message, incomplete(kMobile));
}

TEST(ZbTypContact, MailAndQQ) {
    R::Contact c = R::checkContact(QStringLiteral("someone@mailhost"), kMail);
    EXPECT_EQ(c.message, QStringLiteral("您输入的  “someone@mailhost”不是正确的电子邮箱格式 ！"));
    c = R::checkContact(QStringLiteral("someone.mailhost"), kMail);
    EXPECT_EQ(c.message, QStringLiteral("您输入的  “someone.mailhost”不是正确的电子邮箱格式 ！"));
    c = R::checkContact(QStringLiteral(" a@b.c "), kMail);
    EXPECT_EQ(c.text, QStringLiteral("a@b.c"));
    EXPECT_TRUE(c.message.isEmpty());
    c = R::checkContact(QStringLiteral("a@b."), kMail);
    EXPECT_EQ(c.message, incomplete(kMail));

    c = R::checkContact(QStringLiteral("12345"), kQQ);
    EXPECT_EQ(c.text, QStringLiteral("12345"));
    EXPECT_TRUE(c.message.isEmpty());
    c = R::checkContact(QStringLiteral("1234"), kQQ);
    EXPECT_EQ(c.message, QStringLiteral("请完整输入您的QQ号（或其他联系方式）！"));
    // A QQ contact is taken as typed, even when it is no number.
    c = R::checkContact(QStringLiteral("qq-abc"), kQQ);
    EXPECT_EQ(c.text, QStringLiteral("qq-abc"));
    EXPECT_TRUE(c.message.isEmpty());
}

TEST(ZbTypContact, CleanedBeforeItIsCounted) {
    // "#" separates id and name in the settings store, so no id may hold one.
    R::Contact c = R::checkContact(QStringLiteral("12#345"), kQQ);
    EXPECT_EQ(c.text, QStringLiteral("12345"));
    EXPECT_TRUE(c.message.isEmpty());
    c = R::checkContact(QStringLiteral("1#234"), kQQ);
    EXPECT_EQ(c.text, QStringLiteral("1234"));
    EXPECT_EQ(c.message, incomplete(kQQ));
    c = R::checkContact(QStringLiteral("12'34"), kQQ);
    EXPECT_EQ(c.text, QStringLiteral("1234"));
    EXPECT_EQ(c.message, incomplete(kQQ));
    c = R::checkContact(QStringLiteral("ab#c@d.e"), kMail);
    EXPECT_EQ(c.text, QStringLiteral("abc@d.e"));
    EXPECT_TRUE(c.message.isEmpty());
    c = R::checkContact(QStringLiteral("#####"), kMobile);
    EXPECT_EQ(c.message, incomplete(kMobile));
}

TEST(ZbTypName, CleanedNameAndTheNameOffered) {
    EXPECT_EQ(R::cleanName(QStringLiteral("A#B")), QStringLiteral("AB"));
    EXPECT_EQ(R::cleanName(QStringLiteral(" 库房'账,一 ")), QStringLiteral("库房账，一"));
    EXPECT_TRUE(R::cleanName(QStringLiteral(" ## ")).isEmpty());
    EXPECT_EQ(R::newLedgerName(QString()), QStringLiteral("我的云账本"));
    EXPECT_EQ(R::newLedgerName(QStringLiteral("家用")), QStringLiteral("新建家用"));
}

TEST(ZbTypWords, FixedTypesAndTheCustomType) {
    const struct {
        int option;
        const char16_t* item;
        const char16_t* sl;
    } fixed[] = {{0, u"账户", u"余额"},
                 {1, u"物品", u"存量"},
                 {2, u"客户", u"应收款"},
                 {3, u"项目", u"数额"}};
    for (const auto& f : fixed) {
        // The typed custom words do not matter for a fixed type, even when empty.
        const R::Words w = R::typeWords(f.option, QString(), QStringLiteral("x"));
        EXPECT_EQ(w.item, QString::fromUtf16(f.item)) << f.option;
        EXPECT_EQ(w.sl, QString::fromUtf16(f.sl)) << f.option;
        EXPECT_TRUE(w.message.isEmpty());
        // The caption names the words the option stands for.
        const QString caption = R::optionCaption(f.option);
        EXPECT_TRUE(caption.contains(QStringLiteral("“") + w.item + QStringLiteral("”")));
        EXPECT_TRUE(caption.contains(QStringLiteral("“") + w.sl + QStringLiteral("”")));
    }

    R::Words w = R::typeWords(R::kCustomOption, QStringLiteral(" 货品 "), QStringLiteral("件'数"));
    EXPECT_EQ(w.item, QStringLiteral("货品"));
    EXPECT_EQ(w.sl, QStringLiteral("件数"));
    EXPECT_TRUE(w.message.isEmpty());

    const QString needWords = QStringLiteral("如果选择自定义账本类型，请输入关键词！");
    EXPECT_EQ(R::typeWords(R::kCustomOption, QStringLiteral("货品"), QString()).message, needWords);
    EXPECT_EQ(R::typeWords(R::kCustomOption, QStringLiteral("货品"), QStringLiteral("  ")).message,
              needWords);
    w = R::typeWords(R::kCustomOption, QStringLiteral("'"), QStringLiteral("件"));
    EXPECT_EQ(w.message, needWords);
    EXPECT_TRUE(w.item.isEmpty());
}

TEST(ZbTypTexts, InstructionsAreLinesSeparatedByTwoBreaks) {
    const QStringList contact = R::contactInfo().split(QStringLiteral("\n\n"));
    ASSERT_EQ(contact.size(), 4);
    EXPECT_EQ(contact.first(), QStringLiteral("您的数据存放在云端服务器上，称为一个“账本”。"));
    EXPECT_EQ(contact.last(), QStringLiteral("请准确输入您的手机号码、或QQ号码、或电子邮箱。"));
    const QStringList name = R::nameInfo().split(QStringLiteral("\n\n"));
    ASSERT_EQ(name.size(), 3);
    EXPECT_EQ(name.at(1), QStringLiteral("   “现金银行收支账”、“库存物品进出账”、"));
    for (const QString& line : contact + name)
        EXPECT_FALSE(line.contains(QLatin1Char('\n')));
    EXPECT_EQ(R::contactKinds(), (QStringList{kMobile, kQQ, kMail}));
}

namespace {

// The dialog's statements against a real database.
void runStatements() {
    const QString id = QStringLiteral("13800138000");
    ASSERT_EQ(RunSql(R::ledgerQuery(id)), QStringLiteral("0"));
    ASSERT_EQ(RunSql(R::ledgerInsert(id, QStringLiteral("我的云账本"), QStringLiteral("物品"),
                                     QStringLiteral("存量"), QStringLiteral("2024-03-05"))),
              QStringLiteral("OK"));
    ASSERT_EQ(RunSql(R::ledgerQuery(id)), QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("我的云账本"));

    ASSERT_EQ(RunSql(QStringLiteral("select ZBid,ZbNm,Item,SL,Bz,BgDate,NdDate,MB,SalesMan,Msg "
                                    "from Zblst")),
              QStringLiteral("1"));
    const QStringList expected = {id,
                                  QStringLiteral("我的云账本"),
                                  QStringLiteral("物品"),
                                  QStringLiteral("存量"),
                                  QStringLiteral("自已注册"),
                                  QStringLiteral("2024-03-05"),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QStringLiteral("您好！")};
    for (int j = 0; j < expected.size(); ++j)
        EXPECT_EQ(SqlRows(1, j), expected.at(j)) << SqlRows(0, j).toStdString();

    // Another computer registering the same id at the same time must fail.
    EXPECT_EQ(RunSql(R::ledgerInsert(id, QStringLiteral("别的"), QStringLiteral("账户"),
                                     QStringLiteral("余额"), QStringLiteral("2024-03-05"))),
              QString());

    ASSERT_EQ(RunSql(R::firstOperatorInsert(id)), QStringLiteral("OK"));
    ASSERT_EQ(RunSql(QStringLiteral("select Usr,Pwd,QX from UsrLst where ZBID='") + id +
                     QStringLiteral("'")),
              QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("管理员"));
    EXPECT_EQ(SqlRows(1, 1), QString());
    EXPECT_EQ(SqlRows(1, 2), QString());
    EXPECT_EQ(Rights::readWord(SqlRows(1, 2)), QString(16, QLatin1Char('1')));

    // A name another client stored with a quote is written back as it is.
    ASSERT_EQ(RunSql(R::settingsUpdate(id, QStringLiteral("O'家用账"), QStringLiteral("账户"),
                                       QStringLiteral("余额"))),
              QStringLiteral("OK"));
    ASSERT_EQ(RunSql(QStringLiteral("select ZbNm,Item,SL,BgDate from Zblst where ZBid='") + id +
                     QStringLiteral("'")),
              QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("O'家用账"));
    EXPECT_EQ(SqlRows(1, 1), QStringLiteral("账户"));
    EXPECT_EQ(SqlRows(1, 2), QStringLiteral("余额"));
    EXPECT_EQ(SqlRows(1, 3), QStringLiteral("2024-03-05"));
}

} // namespace

TEST(ZbTypStatements, CreateFindAndUpdateOnSqlite) {
    TestSupport::Sandbox sb;
    runStatements();
}

TEST(ZbTypStatements, CreateFindAndUpdateOnPostgres) {
    REQUIRE_POSTGRES();
    TestSupport::Sandbox sb;
    sb.usePostgres();
    runStatements();
    TestSupport::emptyTables();
}

#include "main_window/entry.h"
#include "main_window/kuangtexts.h"

#include <gtest/gtest.h>

using namespace Entry;

namespace {

Input input(const QString& item, const QString& text, const QString& qx = QString(16, '1')) {
    return {
        item, text, qx, QStringLiteral("物品"), QStringLiteral("存量"), QStringLiteral("存量增减")};
}

} // namespace

TEST(EntryRules, shapingPutsThePlusSignInFrontOfADigitOrPoint) {
    EXPECT_EQ(shapeText("5"), "+5");
    EXPECT_EQ(shapeText(".5"), "+0.5");
    EXPECT_EQ(shapeText("  7 x"), "+7 x");
    EXPECT_EQ(shapeText("  -5"), "  -5"); // leading blanks go only when the text is rewritten
    EXPECT_EQ(shapeText("+5"), "+5");
    EXPECT_EQ(shapeText("abc"), "abc");
    EXPECT_EQ(shapeText("   "), "   ");
    EXPECT_EQ(shapeText(shapeText("5")), "+5");
}

TEST(EntryRules, splittingNumberAndRemark) {
    Split s = splitText("+10");
    EXPECT_EQ(s.numberText, "+10");
    EXPECT_EQ(s.quantity, 10);
    EXPECT_EQ(s.remark, "");

    s = splitText("-5 计划外");
    EXPECT_EQ(s.quantity, -5);
    EXPECT_EQ(s.remark, "计划外");

    s = splitText("+10计划外");
    EXPECT_EQ(s.quantity, 10);
    EXPECT_EQ(s.remark, "计划外");

    s = splitText("+1.2.3");
    EXPECT_EQ(s.numberText, "+1.2.3");
    EXPECT_DOUBLE_EQ(s.quantity, 1.2);

    s = splitText("+1 a | b - c");
    EXPECT_EQ(s.quantity, 1);
    EXPECT_EQ(s.remark, "a  b-c");

    s = splitText("+5-3");
    EXPECT_EQ(s.numberText, "+5");
    EXPECT_EQ(s.remark, "-3");

    // A single character after the number is kept, not dropped.
    s = splitText("+10x");
    EXPECT_EQ(s.quantity, 10);
    EXPECT_EQ(s.remark, "x");
}

TEST(EntryRules, checksRefuseWithTheirOwnMessages) {
    Decision d = check(input("钢材", "+", "1001111111111111"));
    EXPECT_FALSE(d.accepted);
    EXPECT_EQ(d.message, "对不起，您没有【记账】的权限！");
    EXPECT_FALSE(d.cleaned);

    d = check(input("  ", "+5"));
    EXPECT_EQ(d.message, "请输入或选择物品！");
    EXPECT_EQ(d.title, "提示");

    d = check(input("新全部物品", "+5"));
    EXPECT_EQ(d.message, "物品中不能包含“全部物品”这样的词！");

    // Too short, or a number too large for a double (it would read as 0).
    const QString huge(400, '0');
    for (const QString& text : {QString("+"), "+1" + huge, "-9" + huge + ".5 备注"}) {
        d = check(input("钢材", text));
        EXPECT_FALSE(d.accepted);
        EXPECT_EQ(d.message, "请输入存量增减数字！");
        EXPECT_EQ(d.title, "提示");
    }
    // A number too small to tell from zero is zero.
    d = check(input("钢材", "+0." + huge + "1"));
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.split.quantity, 0);

    const QString wrongForm = "请在存量增减栏输入数字，备注信息请放在数字之后，并用空格隔开！";
    for (const char* text : {"+a", "abc", "5x"}) {
        d = check(input("钢材", QString::fromUtf8(text)));
        EXPECT_EQ(d.message, wrongForm) << text;
        EXPECT_TRUE(d.title.isEmpty());
    }
}

TEST(EntryRules, directionRightsAndCleaning) {
    const QString decreaseOnly = "1011111111111111";
    Decision d = check(input("钢材", "+5", decreaseOnly));
    EXPECT_EQ(d.message, "对不起，您只能记录存量减少的账目！");
    EXPECT_TRUE(check(input("钢材", "-5", decreaseOnly)).accepted);

    const QString increaseOnly = "1101111111111111";
    EXPECT_EQ(check(input("钢材", "-5", increaseOnly)).message,
              "对不起，您只能记录存量增加的账目！");
    // -0 is no decrease.
    d = check(input("钢材", "-0", increaseOnly));
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(insertStatement("z", "u", "t", "i", d.item, d.split.quantity, d.split.remark),
              "insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ('z','u','t','i','钢材',0,'')");

    d = check(input(" 钢管 - 大 ", " +3 O'Neil, 说明 "));
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.item, "钢管-大");
    EXPECT_EQ(d.text, "+3 ONeil， 说明");
    EXPECT_EQ(d.split.remark, "ONeil， 说明");
}

TEST(EntryRules, recordIdFromServerDateAndLocalTime) {
    EXPECT_EQ(NewRecID("2026-12-06", QTime(10, 0)), "N12063600000");
    EXPECT_EQ(NewRecID("2026-12-06", QTime(0, 0, 0, 50)), "N12060000005");
    EXPECT_EQ(NewRecID("2013-01-31", QTime(23, 59, 59, 990)), "A01318639999");
    EXPECT_EQ(NewRecID("2014-03-03", QTime(9, 5, 1, 230)), "B03033270123");
    EXPECT_EQ(NewRecID("2026-12-06", QTime(10, 0)).size(), 12);
}

TEST(KuangTexts, noticeColourAndServerCommands) {
    KuangTexts::Notice n = KuangTexts::parseNotice(QStringLiteral("255│今天盘点"));
    EXPECT_TRUE(n.hasColour);
    EXPECT_EQ(n.colour, 255);
    EXPECT_EQ(n.text, "今天盘点");
    n = KuangTexts::parseNotice(QStringLiteral("今天盘点"));
    EXPECT_FALSE(n.hasColour);
    EXPECT_EQ(n.text, "今天盘点");
    n = KuangTexts::parseNotice(QStringLiteral("│今天盘点"));
    EXPECT_FALSE(n.hasColour);
    EXPECT_EQ(n.text, "│今天盘点");

    using C = KuangTexts::ServerCommand;
    EXPECT_EQ(KuangTexts::classifyCommand("notice"), C::Notice);
    EXPECT_EQ(KuangTexts::classifyCommand("Stop"), C::Stop);
    EXPECT_EQ(KuangTexts::classifyCommand("hTTp://x.cn"), C::Http);
    EXPECT_EQ(KuangTexts::classifyCommand("2026-12-07"), C::None);
    EXPECT_EQ(KuangTexts::classifyCommand(""), C::None);
}

// Pinyin initials of item names, the matcher behind the item boxes' completion lists, and
// numbers typed in full-width.
#include "app/fullwidth.h"
#include "app/pinyin.h"
#include "main_window/entry.h"
#include "reports/balance.h"
#include "reports/mxedrules.h"

#include <gtest/gtest.h>

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

} // namespace

TEST(Pinyin, InitialsOfChineseLatinDigitsAndTheRestDropped) {
    const std::pair<QString, std::string> cases[] = {
        {"螺丝钉M6", "lsdm6"},
        {"不锈钢管φ32", "bxgg32"},
        {"ABC xyz-123", "abcxyz123"},
        {"Ｍ６钢管", "m6gg"},         // full-width Latin and digits
        {"Café ㎏", "cafekg"},        // accents and compatibility forms
        {"（大）【小】，、！", "dx"}, // punctuation dropped
        {"𠀀𝐀𝟏😀", "ha1"},             // outside the basic plane: Han, bold Latin, an emoji
        {"𫝀々钢", "g"},              // Han characters ICU cannot transliterate
        {"长度", "cd"},               // readings of item names over ICU's first ones
        {"工商银行", "gsyh"},
        {"重量", "zl"},
        {"空调弹簧", "ktth"},
        {"冷轧番茄电刨果脯", "lzfqdbgf"},
        {"", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(str(Pinyin::initials(text)), expected) << str(text);
}

TEST(Pinyin, MatchesInitialsPrefixFirstThenTheRestInListOrder) {
    Pinyin::ItemMatcher m;
    m.setItems({"钢管", "大螺丝刀", "螺丝钉M6", "", "M6螺母", "LSD灯", "拉丝刀", "不锈钢管φ32"});
    const std::pair<QString, QStringList> cases[] = {
        {"lsd", {"螺丝钉M6", "LSD灯", "拉丝刀", "大螺丝刀"}},
        {"ＬＳＤ", {"螺丝钉M6", "LSD灯", "拉丝刀", "大螺丝刀"}}, // width and case ignored
        {"m6", {"M6螺母", "螺丝钉M6"}},
        {"螺丝", {"大螺丝刀", "螺丝钉M6"}}, // Chinese typed: by the text only
        {"gg", {"钢管", "不锈钢管φ32"}},
        {" bxg ", {"不锈钢管φ32"}},
        {"φ", {"不锈钢管φ32"}},
        {"zzz", {}},
        {"  ", {}},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(m.match(typed), expected) << str(typed);

    // The list follows inserted and removed items.
    m.insert(1, {"螺栓"});
    EXPECT_EQ(m.match("ls").value(0), "螺栓");
    m.remove(1, 2);
    EXPECT_EQ(m.match("ls"), (QStringList{"螺丝钉M6", "LSD灯", "拉丝刀"}));

    // At most twenty, initials-prefix matches first even from the end of the list.
    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << QString("大钢管%1").arg(i);
    m.setItems(many + QStringList{"钢管"});
    const QStringList shown = m.match("gg");
    ASSERT_EQ(shown.size(), Pinyin::kShown);
    EXPECT_EQ(shown.first(), "钢管");
    EXPECT_EQ(shown.last(), "大钢管18");
}

TEST(Pinyin, CharactersReadSeveralWaysMatchByAnyReading) {
    EXPECT_EQ(Pinyin::readings("行李M6"), (QStringList{"hx", "l", "m", "6"}));
    EXPECT_EQ(Pinyin::readings("重庆"), (QStringList{"cz", "q"}));
    const QStringList items{"重庆火锅底料", "自行车", "行李箱", "调拨单",   "会计凭证", "厦门仓",
                            "乐器",         "藏红花", "人参",   "止咳糖浆", "银行存款", "长管"};
    Pinyin::ItemMatcher m;
    m.setItems(items);
    const std::pair<QString, QStringList> cases[] = {
        {"cqhgdl", {"重庆火锅底料"}},
        {"zqhg", {"重庆火锅底料"}},
        {"zxc", {"自行车"}},
        {"zhc", {"自行车"}},
        {"xlx", {"行李箱"}},
        {"db", {"调拨单"}},
        {"tb", {"调拨单"}},
        {"kj", {"会计凭证"}},
        {"xm", {"厦门仓"}},
        {"smc", {"厦门仓"}},
        {"yq", {"乐器"}},
        {"zhh", {"藏红花"}},
        {"rs", {"人参"}},
        {"zk", {"止咳糖浆"}},
        {"yhck", {"银行存款"}},
        {"yx", {"银行存款"}},
        {"zg", {"藏红花", "长管"}},                        // 红 is also gōng
        {"x", {"行李箱", "厦门仓", "自行车", "银行存款"}}, // prefixes first, then list order
        {"cqhgdlx", {}},
        {"qz", {}},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(m.match(typed), expected) << str(typed);

    // Every place read two ways: 2^60 choices, matched in one pass.
    const QString longName = QString("行重").repeated(30) + "尾";
    m.setItems({longName});
    EXPECT_EQ(m.match(QString("xc").repeated(30) + "w").size(), 1);
    EXPECT_EQ(m.match(QString("hz").repeated(29) + "xcy").size(), 1);
    EXPECT_TRUE(m.match(QString("xc").repeated(30) + "q").isEmpty());
}

TEST(FullWidth, NumbersReadAsAsciiRemarksKeptAsTyped) {
    const std::pair<QString, QString> cases[] = {
        {"１０ 进货", "10 进货"}, {"－５", "-5"},
        {"＋１２．５", "+12.5"},  {"　１０　进货　１２", " 10 进货　１２"},
        {"－－５", "-－５"},      {"进货１０", "进货１０"},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(str(FullWidth::numberToAscii(typed)), str(expected)) << str(typed);
    EXPECT_EQ(str(FullWidth::toHalfWidth("ＡＢｃ　１．")), "ABc 1.");

    // Shaping works on the converted text; a conversion alone leaves the caret in place.
    EXPECT_EQ(str(Entry::shapeTyped("１０", 2).text), "+10");
    EXPECT_EQ(Entry::shapeTyped("１０", 2).cursor, 3);
    EXPECT_EQ(str(Entry::shapeTyped("+1０ 进货", 3).text), "+10 进货");
    EXPECT_EQ(Entry::shapeTyped("+1０ 进货", 3).cursor, 3);

    const QString all(16, '1');
    const Entry::Decision d =
        Entry::check({"钢管", "－５　计划外", all, "物品", "存量", "存量增减"});
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.split.quantity, -5);
    EXPECT_EQ(str(d.split.remark), "计划外");
    const MxEdRules::Checked c = MxEdRules::check({"钢管", "＋１２．５", "", "物品", "存量增减"});
    EXPECT_TRUE(c.accepted);
    EXPECT_EQ(c.value, 12.5);
    EXPECT_EQ(Balance::valueFilterOf("　－５").value, -5);

    // Commas and "。" typed between digits belong to the number: read whole or refused.
    EXPECT_EQ(str(Entry::shapeTyped("１，０００", 5).text), "+1,000");
    EXPECT_EQ(str(Entry::shapeTyped("１０。５", 4).text), "+10.5");
    const std::tuple<QString, double, QString> read[] = {
        {"１，０００", 1000, ""},
        {"１０。５", 10.5, ""},
        {"－１，２３４．５ 退货", -1234.5, "退货"},
        {"+1,234,567", 1234567, ""},
        {"+10，进货", 10, "，进货"},
        {"+10。", 10, "。"},
    };
    // As the entry box passes them on: shaped while typed.
    const auto checked = [&all](const QString& typed) {
        return Entry::check(
            {"钢管", Entry::shapeTyped(typed, 0).text, all, "物品", "存量", "存量增减"});
    };
    for (const auto& [typed, quantity, remark] : read) {
        const Entry::Decision r = checked(typed);
        EXPECT_TRUE(r.accepted) << str(typed);
        EXPECT_EQ(r.split.quantity, quantity) << str(typed);
        EXPECT_EQ(str(r.split.remark), str(remark)) << str(typed);
    }
    for (const QString typed : {"１，００", "+1,0000", "+12,34.5 进货", "－１，２３"}) {
        const Entry::Decision r = checked(typed);
        EXPECT_FALSE(r.accepted) << str(typed);
        EXPECT_EQ(str(r.message), "请在存量增减栏输入数字，备注信息请放在数字之后，并用空格隔开！")
            << str(typed);
    }
}

#include "app/mainbas.h"
#include "app/settings.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using LedgerList::Ledger;

TEST(LedgerList, valuesSplitAtTheFirstHashAndTheFirstGapEndsTheList) {
    TestSupport::Sandbox sb;
    LedgerList::save({{"13800000001", "仓库#1"}, {"a@b.cn", "现金"}});
    QList<Ledger> back = LedgerList::load();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].id, "13800000001");
    EXPECT_EQ(back[0].name, "仓库#1");
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, "FR", "2Z"), "");

    Settings::SaveSetting(Settings::kApp, "FR", "0Z", "#无ID");
    Settings::SaveSetting(Settings::kApp, "FR", "1Z", "没有井号");
    Settings::SaveSetting(Settings::kApp, "FR", "2Z", "x#第三");
    Settings::SaveSetting(Settings::kApp, "FR", "4Z", "y#在空位之后");
    back = LedgerList::load();
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].id, "x");

    // Saving fewer ledgers writes the terminator; stale keys behind it stay unread.
    LedgerList::save({{"p", "q"}});
    EXPECT_EQ(LedgerList::load().size(), 1);
}

TEST(LedgerList, rememberedChoicesLiveUnderTheirOwnKeys) {
    TestSupport::Sandbox sb;
    LedgerList::setRememberedPassword("张三", "z/1", "pw#1");
    LedgerList::setRememberedPassword("张三", "z", "other");
    EXPECT_EQ(LedgerList::rememberedPassword("张三", "z/1"), "pw#1");
    EXPECT_EQ(LedgerList::rememberedPassword("张三", "z"), "other");
    EXPECT_EQ(LedgerList::rememberedPassword("李四", "z"), "");

    EXPECT_TRUE(LedgerList::autoShowSL("z", "张三")); // missing counts as shown
    LedgerList::setAutoShowSL("z", "张三", false);
    EXPECT_FALSE(LedgerList::autoShowSL("z", "张三"));
    EXPECT_TRUE(LedgerList::autoShowSL("z", "李四"));
    EXPECT_EQ(Settings::GetSetting("z", "张三", "AutoShowSL"), "False");

    LedgerList::setLastOperator("z", "张三");
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, "z", "FR"), "张三");
    LedgerList::setAutoLogin(true);
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, "AutoLogin", "FR"), "1");
    EXPECT_EQ(LedgerList::indexAfterRemoval(0), 0);
    EXPECT_EQ(LedgerList::indexAfterRemoval(2), 1);
}

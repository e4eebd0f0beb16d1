#include "admin/rights.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const QString kAll = QString(16, QLatin1Char('1'));

QString heldRights(const QString& word) {
    QString held;
    for (int n = 1; n <= 16; ++n)
        held += Rights::has(word, n) ? QLatin1Char('1') : QLatin1Char('0');
    return held;
}

} // namespace

TEST(RightsWord, ReadingGrantsWhatTheStoredWordLacks) {
    EXPECT_EQ(Rights::readWord(QStringLiteral("1")), kAll);
    EXPECT_EQ(Rights::readWord(QString()), kAll); // a NULL column reads as the empty text
    EXPECT_EQ(Rights::readWord(QStringLiteral("")), kAll);
    EXPECT_EQ(heldRights(Rights::readWord(QString())), kAll);

    // "0" withholds right 1 and nothing else.
    const QString zero = Rights::readWord(QStringLiteral("0"));
    EXPECT_EQ(zero.size(), 16);
    EXPECT_FALSE(Rights::has(zero, Rights::Admin));
    for (int n = 2; n <= 16; ++n)
        EXPECT_TRUE(Rights::has(zero, n)) << n;

    const QString ten = QStringLiteral("0000011000");
    const QString padded = Rights::readWord(ten);
    EXPECT_EQ(padded, ten + QStringLiteral("111111"));
    EXPECT_EQ(heldRights(padded), QStringLiteral("0000011000111111"));

    const QString longer = QStringLiteral("10101010101010101010");
    EXPECT_EQ(Rights::readWord(longer), longer);

    const QString none = QString(16, QLatin1Char('0'));
    EXPECT_EQ(Rights::readWord(none), none);
    EXPECT_EQ(heldRights(none), none);
}

TEST(RightsWord, OnlyTheCharacterOneGrants) {
    // Whatever an old client or a hand edit left in the column, only "1" counts.
    for (const QChar c : QStringLiteral("02xX -")) {
        QString word = kAll;
        word[5] = c;
        EXPECT_FALSE(Rights::has(word, Rights::Journal)) << QString(c).toStdString();
        EXPECT_TRUE(Rights::has(word, Rights::BalanceList));
        EXPECT_TRUE(Rights::has(word, Rights::Summary));
    }
    EXPECT_FALSE(Rights::has(kAll, 0));
    EXPECT_FALSE(Rights::has(kAll, 17));
    EXPECT_FALSE(
        Rights::has(QStringLiteral("111"), 4)); // an unread word grants nothing past its end
    EXPECT_TRUE(Rights::has(Rights::readWord(QStringLiteral("111")), 4));
    EXPECT_EQ(Rights::refusal(), QStringLiteral("对不起，您无此权限！"));
}

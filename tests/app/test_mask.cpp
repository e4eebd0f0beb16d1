// Masking of the connection values: codes in the Chinese ANSI code page, shifted and reversed.
#include "app/mask.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<int> codesOf(const QString& masked) {
    std::vector<int> codes;
    for (QChar c : masked)
        codes.push_back(c.unicode());
    return codes;
}

// A double-byte code as the signed 16-bit value it is taken as, shifted and stored back.
int maskedCode(int gbCode) {
    return static_cast<uint16_t>(static_cast<int16_t>(static_cast<uint16_t>(gbCode)) - 12);
}

} // namespace

TEST(MaskStr, ShiftsAnsiCodesAndReverses) {
    EXPECT_EQ(codesOf(MaskStr(QStringLiteral("abc"))), (std::vector<int>{87, 86, 85}));
    EXPECT_TRUE(MaskStr(QString()).isEmpty());

    // 云 is D4C6 in GBK, 苹果 C6BB B9FB: one code per character, not per byte.
    EXPECT_EQ(codesOf(MaskStr(QStringLiteral("云"))), (std::vector<int>{maskedCode(0xD4C6)}));
    EXPECT_EQ(codesOf(MaskStr(QStringLiteral("a苹果"))),
              (std::vector<int>{maskedCode(0xB9FB), maskedCode(0xC6BB), 'a' - 12}));

    // Outside GBK a character takes four bytes, so two codes (U+20000 is 95 32 82 36).
    EXPECT_EQ(codesOf(MaskStr(QStringLiteral("𠀀"))),
              (std::vector<int>{maskedCode(0x8236), maskedCode(0x9532)}));

    // The masked text must not carry the plain one.
    EXPECT_FALSE(MaskStr(QStringLiteral("MobKtz!5720")).contains(QStringLiteral("Mob")));
}

TEST(MaskStr, UnmaskGivesTheTextBack) {
    const QStringList texts = {
        QStringLiteral("abc"),
        QStringLiteral("MobKtz!5720"),
        QStringLiteral("tsryun"),
        QStringLiteral("127.0.0.1,55432"),
        QStringLiteral("云记账"),
        QStringLiteral("管理员 password 密码"),
        QStringLiteral("𠀀𠀁 mixed 云 ok"),
        QStringLiteral("€ ·ÿ"),
        QStringLiteral(" \t\r\n\x01~"),
        QString(),
    };
    for (const QString& text : texts) {
        const QString masked = MaskStr(text);
        EXPECT_EQ(UnmaskStr(masked).toStdString(), text.toStdString());
        if (!text.isEmpty()) {
            EXPECT_NE(masked, text);
        }
    }
}

// Text forms of numbers, dates and clock times, the lenient date reader, CleanStr and the
// start-up values derived from the program folder.
#include "app/clock.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "app/textwidth.h"
#include "db/sqlaccess.h"

#include <gtest/gtest.h>

namespace {

const QDate kToday(2014, 3, 9);

std::string str(const QString& s) {
    return s.toStdString();
}

// ParseDate on a copy, so the expectation can name the text as typed.
QDateTime parsed(const QString& typed) {
    QString text = typed;
    return ParseDate(text);
}

QDateTime at(int y, int m, int d, int hh = 0, int mm = 0) {
    return QDateTime(QDate(y, m, d), QTime(hh, mm));
}

} // namespace

TEST(NumStr, DecimalFormsWithoutTrailingZerosOrBarePoint) {
    EXPECT_EQ(str(NumStr(0.5)), "0.5");
    EXPECT_EQ(str(NumStr(-0.25)), "-0.25");
    EXPECT_EQ(str(NumStr(10.0)), "10");
    EXPECT_EQ(str(NumStr(0.0)), "0");
    EXPECT_EQ(str(NumStr(-0.0)), "0");
    EXPECT_EQ(str(NumStr(-7.0)), "-7");
    EXPECT_EQ(str(NumStr(1234567.125)), "1234567.125");
    EXPECT_EQ(str(NumStr(123456789012.0)), "123456789012");
    EXPECT_EQ(str(NumStr(1e15)), "1000000000000000");
    EXPECT_EQ(str(NumStr(-9007199254740992.0)), "-9007199254740992");
}

TEST(NumStr, MoreThanEightDecimalsAreRoundedAndTrimmed) {
    EXPECT_EQ(str(NumStr(1.0 / 3)), "0.33333333");
    EXPECT_EQ(str(NumStr(-2.0 / 3)), "-0.66666667");
    EXPECT_EQ(str(NumStr(0.1 + 0.2)), "0.3"); // 0.30000000000000004 before rounding
    EXPECT_EQ(str(NumStr(100.0 / 7)), "14.28571429");
    EXPECT_EQ(str(NumStr(1e-9)), "0");
    // Float dust never shows as exponent text.
    EXPECT_EQ(str(NumStr(0.3 - 0.1 - 0.2)), "0");
    EXPECT_EQ(str(NumStr(0.1 + 0.2 - 0.3)), "0");
    EXPECT_EQ(str(NumStr(-9.99e-9)), "0");
    EXPECT_EQ(str(NumStr(1e-8)), "0.00000001");
    EXPECT_EQ(str(NumStr(999999999999999.9)), "999999999999999.9");
    for (double v : {1e-300, 3e-13, -4.2e-10, 123456789.123456789, 1e14 + 0.5})
        EXPECT_FALSE(NumStr(v).contains('e')) << v;
    // Exactly eight decimals stay as they are.
    EXPECT_EQ(str(NumStr(0.12345678)), "0.12345678");
}

TEST(DateTimeForms, DateStrPadsMonthAndDayAndTimeStrFollowsTheClock) {
    EXPECT_EQ(str(DateStr(QDate(2014, 3, 3))), "2014-03-03");
    EXPECT_EQ(str(DateStr(QDate(2029, 12, 31))), "2029-12-31");
    EXPECT_EQ(str(DateStr(QDate(999, 1, 2))), "999-01-02");
    EXPECT_EQ(str(DateStr(QDateTime(QDate(2014, 11, 5), QTime(23, 59, 59)))), "2014-11-05");

    Clock::set(QDateTime(kToday, QTime(9, 5, 59)));
    EXPECT_EQ(str(TimeStr()), "09:05");
    Clock::set(QDateTime(kToday, QTime(23, 0)));
    EXPECT_EQ(str(TimeStr()), "23:00");
    Clock::set(QDateTime(kToday, QTime(0, 0)));
    EXPECT_EQ(str(TimeStr()), "00:00");
    Clock::clear();
}

TEST(ParseDate, ReadsLooselyTypedDates) {
    Clock::set(QDateTime(kToday, QTime(15, 42, 10)));
    const QDateTime midnight(kToday, QTime(0, 0));

    EXPECT_EQ(parsed(QString()), midnight);
    EXPECT_EQ(parsed(QStringLiteral("   ")), midnight);
    EXPECT_EQ(parsed(QStringLiteral("今天")), midnight);
    EXPECT_EQ(parsed(QStringLiteral("abc")), midnight);
    EXPECT_EQ(parsed(QStringLiteral("7")), midnight); // one number alone names no date

    // Forms the direct conversion takes: year first, with or without zeros and a time.
    EXPECT_EQ(parsed(QStringLiteral("2014-03-05")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("2014-3-5")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("2014/3/5 10:20")), at(2014, 3, 5, 10, 20));
    EXPECT_EQ(parsed(QStringLiteral("2014-03-05 10:20:30")),
              QDateTime(QDate(2014, 3, 5), QTime(10, 20, 30)));

    // The year found among the numbers; the day comes first when the year stands last.
    EXPECT_EQ(parsed(QStringLiteral("3.5.2014")), at(2014, 5, 3));
    EXPECT_EQ(parsed(QStringLiteral("2014年3月5日")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("5/3/2012, 2003")), at(2003, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("2014")), at(2014, 1, 1));
    EXPECT_EQ(parsed(QStringLiteral("2014 3")), at(2014, 3, 1));

    // No year 2000-2029 in the text: the first number is a two-digit year.
    EXPECT_EQ(parsed(QStringLiteral("14 3 5")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("14.3.5")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("114 3 5")), at(2014, 3, 5));
    EXPECT_EQ(parsed(QStringLiteral("3 5")), at(2003, 5, 1));
    EXPECT_EQ(parsed(QStringLiteral("14    3     5")), at(2014, 3, 5));

    // A text naming no real day falls back to today instead of failing.
    EXPECT_EQ(parsed(QStringLiteral("14 13 45")), midnight);
    Clock::clear();
}

TEST(ParseDate, WritesTheCleanedTextBack) {
    QString text = QStringLiteral("  2014,3,5 ");
    EXPECT_EQ(ParseDate(text), at(2014, 3, 5));
    EXPECT_EQ(str(text), "2014，3，5");

    text = QStringLiteral("'2014-03-05'\r\n");
    EXPECT_EQ(ParseDate(text), at(2014, 3, 5));
    EXPECT_EQ(str(text), "2014-03-05");

    text = QStringLiteral("2014│3─5");
    EXPECT_EQ(ParseDate(text), at(2014, 3, 5));
    EXPECT_EQ(str(text), "2014|3-5");
}

TEST(CleanStr, MakesTextSafeBetweenSingleQuotes) {
    EXPECT_EQ(str(CleanStr(QStringLiteral(" it's a,b│c─d"))), "its a，b|c-d");
    EXPECT_EQ(str(CleanStr(QStringLiteral("第一行\r\n第二行"))), "第一行第二行");
    EXPECT_EQ(str(CleanStr(QStringLiteral("''''"))), "");
    EXPECT_EQ(str(CleanStr(QString())), "");
    // Blanks are trimmed before the quotes go, so blanks inside quotes stay.
    EXPECT_EQ(str(CleanStr(QStringLiteral("' x '"))), " x ");
    // Only the blank counts as surrounding white space: a tab or U+3000 stays, and so do blanks
    // next to a removed line break.
    EXPECT_EQ(str(CleanStr(QStringLiteral("\n a"))), " a");
    EXPECT_EQ(str(CleanStr(QStringLiteral("a \r"))), "a ");
    EXPECT_EQ(str(CleanStr(QStringLiteral("\ta\u3000 "))), "\ta\u3000");
    // Already clean text passes unchanged, including the full-width comma.
    EXPECT_EQ(str(CleanStr(QStringLiteral("苹果，红富士 +10"))), "苹果，红富士 +10");
}

TEST(StartUp, FixedValuesProgramFolderAndSplashLine) {
    EXPECT_EQ(str(MainBas::withTrailingSeparator(QStringLiteral("/opt/zelvo"))), "/opt/zelvo/");
    EXPECT_EQ(str(MainBas::withTrailingSeparator(QStringLiteral("/opt/zelvo/"))), "/opt/zelvo/");
    EXPECT_EQ(str(MainBas::withTrailingSeparator(QStringLiteral("/opt/zelvo//"))), "/opt/zelvo/");
    EXPECT_EQ(str(MainBas::withTrailingSeparator(QStringLiteral("/"))), "/");
    EXPECT_EQ(str(MainBas::withTrailingSeparator(QStringLiteral("/opt/云记账"))), "/opt/云记账/");

    MainBas::SrvDate = QStringLiteral("2014-03-05");
    MainBas::SrvDay = 5;
    MainBas::initFixedValues(QStringLiteral("/opt/zelvo"));
    EXPECT_EQ(str(MainBas::AppTitle), "Zelvo云记账软件");
    EXPECT_EQ(str(MainBas::AppVer), "2.7FR");
    EXPECT_EQ(str(MainBas::SetKey), "FR");
    EXPECT_EQ(str(MainBas::AppPath), "/opt/zelvo/");
    EXPECT_TRUE(MainBas::SrvDate.isEmpty());
    EXPECT_EQ(MainBas::SrvDay, 0);
    EXPECT_EQ(str(MainBas::splashText()), "正在启动《Zelvo云记账软件 2.7FR》……");

    // Running start-up twice must not append the settings word twice.
    MainBas::initFixedValues(QStringLiteral("/opt/zelvo/"));
    EXPECT_EQ(str(MainBas::splashText()), "正在启动《Zelvo云记账软件 2.7FR》……");
}

TEST(TextTwips, WideCharactersCountTwiceNarrowOnes) {
    EXPECT_EQ(TextTwips(QStringLiteral("2026-12-06 23:59")), 16 * 90);
    EXPECT_EQ(TextTwips(QStringLiteral("物品：│─┬┼┴，（）")), 11 * 180);
    EXPECT_EQ(TextTwips(QStringLiteral("φ32×2.5")), 2 * 180 + 5 * 90);
    EXPECT_EQ(TextTwips(QString::fromUcs4(U"\U00020000a")), 180 + 90); // one character, not two
    EXPECT_EQ(TextTwips(QString()), 0);
}

TEST(ExportFileName, LedgerReportAndDayWithoutCharactersFilesCannotHold) {
    const QDate day(2026, 12, 8);
    const std::tuple<QString, QString, QString, QString> cases[] = {
        {"五金仓库", "明细账", ".csv", "五金仓库-明细账-2026-12-08.csv"},
        {"", "物品汇总表", ".pdf", "物品汇总表-2026-12-08.pdf"},
        {" A/B:仓 ", "物品走势图：钢材", ".png", "A-B-仓-物品走势图-钢材-2026-12-08.png"},
        {"库*?\"<>|\\", "表\t格", ".csv", "库--------表-格-2026-12-08.csv"},
    };
    for (const auto& [ledger, report, suffix, expected] : cases)
        EXPECT_EQ(exportFileName(ledger, report, day, suffix).toStdString(),
                  expected.toStdString());
}

// The controls every report window shares: the text table's cells and its font, the pickers'
// day rule, the click that steps over rule lines, and the "contains" filter on each engine.
#include "app/mainbas.h"
#include "app/textwidth.h"
#include "db/sqlaccess.h"
#include "reports/likeclause.h"
#include "reports/listnav.h"
#include "reports/pickers.h"
#include "reports/texttable.h"
#include "testsupport.h"

#include <QFont>
#include <QRawFont>

#include <gtest/gtest.h>

namespace {

const QString kBar = QString(TextTable::kBar);

} // namespace

TEST(TextTable, CellsAreCutAndPaddedToTheirWidth) {
    struct Case {
        QString text;
        int width;
        QString cell;
    };
    const QList<Case> cases = {
        {QString(), 300, QStringLiteral("    ") + kBar},
        {QStringLiteral(" "), 890, QString(10, QLatin1Char(' ')) + kBar},
        {QStringLiteral("钢管大号"), 500, QStringLiteral("钢管  ") + kBar},
        {QStringLiteral("ab钢"), 360, QStringLiteral("ab钢") + kBar},
        {QStringLiteral("abcdef"), 200, QStringLiteral("ab ") + kBar},
        // A character outside the basic plane is dropped whole, never half a pair.
        {QStringLiteral("ab") + QString::fromUcs4(U"\U00020000") + QStringLiteral("c"), 300,
         QStringLiteral("ab  ") + kBar},
        {QStringLiteral("x") + QString::fromUcs4(U"\U0001F600"), 300,
         QStringLiteral("x") + QString::fromUcs4(U"\U0001F600") + QStringLiteral(" ") + kBar},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeTextCell(c.text, c.width), c.cell) << c.text.toStdString();

    EXPECT_EQ(MakeNumberCell(5), QString(11, QLatin1Char(' ')) + QStringLiteral("5") + kBar);
    EXPECT_EQ(MakeNumberCell(-0.25), QString(7, QLatin1Char(' ')) + QStringLiteral("-0.25") + kBar);
    // Already as wide as the column: no blank, the cell overflows.
    EXPECT_EQ(MakeNumberCell(12345678901.5), QStringLiteral("12345678901.5") + kBar);
    EXPECT_EQ(MakeNumberText(1.5), QString(9, QLatin1Char(' ')) + QStringLiteral("1.5"));

    EXPECT_EQ(MakeRuleSegment(0, 0), QStringLiteral("┬"));
    EXPECT_EQ(MakeRuleSegment(2, 0), QStringLiteral("┴"));
    EXPECT_EQ(MakeRuleSegment(1, 1000), QString(6, TextTable::kRule) + QStringLiteral("┼"));
    EXPECT_EQ(MakeRuleSegment(0, 800), QString(5, TextTable::kRule) + QStringLiteral("┬"));
    EXPECT_TRUE(TextTable::isRuleLine(MakeRuleSegment(1, 800)));
    EXPECT_FALSE(TextTable::isRuleLine(MakeTextCell(QStringLiteral("─"), 800).prepend(' ')));
    EXPECT_EQ(TextTable::squeezeBlanks(QStringLiteral("a    b  c ")), QStringLiteral("a b c "));
}

TEST(TextTable, NoTimeIsEverCutInItsCell) {
    for (const QString& day : {QStringLiteral("2026-12-06"), QStringLiteral("2031-01-31")})
        for (int m = 0; m < 24 * 60; ++m) {
            const QString tm = day + QStringLiteral(" %1:%2")
                                         .arg(m / 60, 2, 10, QLatin1Char('0'))
                                         .arg(m % 60, 2, 10, QLatin1Char('0'));
            const QString cell = MakeTextCell(tm, 1590);
            ASSERT_TRUE(cell.startsWith(tm + QLatin1Char(' '))) << tm.toStdString();
            ASSERT_EQ(TextTwips(cell), 1620 + 180);
        }
}

// What the measure counts is what the list's font draws: every glyph one cell wide or two
// exactly as counted, and a proportional glyph counted as the nearer of the two.
TEST(TextTable, FontAdvancesMatchTheMeasure) {
    QFont font(TextTable::fontFamily());
    font.setPixelSize(1000); // design units, free of small-size rounding
    font.setHintingPreference(QFont::PreferNoHinting);
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_EQ(raw.familyName(), TextTable::fontFamily()) << "fonts-noto-cjk missing";
    int checked = 0;
    for (char32_t c = 0x20; c < 0x30000; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || !raw.supportsCharacter(c))
            continue;
        const qreal advance =
            raw.advancesForGlyphIndexes(raw.glyphIndexesForString(QString::fromUcs4(&c, 1)))
                .value(0)
                .x();
        if (advance == 0)
            continue; // marks drawn over the character before
        const qreal counted = CharTwips(c) * 500.0 / 90;
        ASSERT_EQ(counted, advance >= 750 ? 1000 : 500) << "U+" << std::hex << unsigned(c);
        ++checked;
    }
    EXPECT_GT(checked, 30000);
    for (const QChar c : QStringLiteral("│─┬┼┴：全"))
        EXPECT_EQ(CharTwips(c.unicode()), 180);
    for (const QChar c : QStringLiteral(" 0aZ-.:"))
        EXPECT_EQ(CharTwips(c.unicode()), 90);
}

TEST(Pickers, DayIsFittedToTheMonth) {
    struct Case {
        int month, year, dayPos, fitted;
    };
    const QList<Case> cases = {
        {2, 2023, 30, 27}, {2, 2024, 30, 28}, {2, 2024, 29, 28},  {2, 2023, 28, 27},
        {2, 2023, 27, 27}, {2, 2100, 30, 28}, {11, 2024, 30, 29}, {11, 2024, 29, 29},
        {4, 2024, 30, 29}, {1, 2024, 30, 30}, {12, 2023, 30, 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pickers::fittedDayPos(c.month, c.year, c.dayPos), c.fitted)
            << c.month << "/" << c.year << "/" << c.dayPos;

    const QStringList years = Pickers::items(Pickers::Year, 2026);
    EXPECT_EQ(years.size(), 31);
    EXPECT_EQ(years.first(), QStringLiteral("2016"));
    EXPECT_EQ(years.last(), QStringLiteral("2046"));
    EXPECT_EQ(Pickers::items(Pickers::Day, 2026).size(), 31);
    EXPECT_EQ(Pickers::items(Pickers::Minute, 2026).at(5), QStringLiteral("05"));
    EXPECT_EQ(Pickers::items(Pickers::Month, 2026).at(0), QStringLiteral("01"));

    EXPECT_EQ(Pickers::partsOf(QStringLiteral("2026-12-06 09:05")),
              QStringList({"2026", "12", "06", "09", "05"}));
    EXPECT_EQ(Pickers::partsOf(QStringLiteral("2026-12-06 09:05:00")).value(4), "05");
    EXPECT_TRUE(Pickers::partsOf(QStringLiteral("2026/12/6 9:05")).isEmpty());
    EXPECT_TRUE(Pickers::partsOf(QString()).isEmpty());
}

TEST(ListNav, ClicksStepOverRuleLinesInTheDirectionOfTravel) {
    const QString rule = MakeRuleSegment(1, 800);
    // blank cells, title, rule, record, rule, record, rule, totals, rule, blank, rule
    const QStringList lines = {QStringLiteral(" │"),
                               QStringLiteral("  操作员│"),
                               rule,
                               QStringLiteral("a│"),
                               rule,
                               QStringLiteral("b│"),
                               rule,
                               QStringLiteral("合计│"),
                               rule,
                               QStringLiteral(" │"),
                               rule};
    const int n = static_cast<int>(lines.size());
    struct Case {
        int selected, last, target;
    };
    const QList<Case> cases = {
        {4, 3, 5},   // down onto a rule: the line below
        {4, 5, 3},   // up onto a rule: the line above
        {2, -1, 3},  // first click, from nowhere above
        {10, 9, 10}, // the last line stays
        {5, 3, 5},   // a record line: no change
        {4, 4, 4},   // the same rule again: stays
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListNav::afterClick(lines.at(c.selected), c.selected, c.last, n), c.target)
            << c.selected << " from " << c.last;
    EXPECT_EQ(ListNav::afterClick(rule, 0, 3, 1), 0); // a lone first rule moving up stays
    EXPECT_FALSE(ListNav::remembers(QString(), 3));
    EXPECT_FALSE(ListNav::remembers(QStringLiteral("a"), -1));

    const auto at = [&](int i) { return lines.value(i); };
    EXPECT_EQ(ListNav::restoreTarget(-1, 5, n, at), 5);
    EXPECT_EQ(ListNav::restoreTarget(5, 5, n, at), -1);
    EXPECT_EQ(ListNav::restoreTarget(-1, 4, n, at), 3);  // a rule now: the record above
    EXPECT_EQ(ListNav::restoreTarget(-1, 2, n, at), 3);  // near the top: the one below
    EXPECT_EQ(ListNav::restoreTarget(-1, 30, n, at), 9); // past the end: clamped
    EXPECT_EQ(ListNav::restoreTarget(-1, -1, n, at), -1);
}

TEST(Like, EscapesWhatWouldBeAPattern) {
    EXPECT_EQ(Like::escaped(QStringLiteral("10%_a[b]!c'd")), QStringLiteral("10!%!_a![b]!!c''d"));
    EXPECT_EQ(Like::containsClause(QStringLiteral("Bz"), QStringLiteral("a_b"), Db::Engine::Sqlite),
              QStringLiteral("Bz like '%a!_b%' escape '!'"));
    EXPECT_EQ(Like::containsClause(QStringLiteral("Bz"), QStringLiteral("x"), Db::Engine::Postgres),
              QStringLiteral("Bz ilike '%x%' escape '!'"));
}

class LikeOnEngine : public ::testing::TestWithParam<Db::Engine> {};

TEST_P(LikeOnEngine, ContainsMatchesTheTypedTextInAnyCase) {
    TestSupport::Sandbox sb;
    if (!sb.useEngine(GetParam()))
        GTEST_SKIP() << "server not running";
    const QStringList remarks = {"10%", "100", "a_b", "axb", "[急]", "急", "ABC!x", "ab", "it's"};
    for (int i = 0; i < remarks.size(); ++i)
        ASSERT_EQ(RunSql(QStringLiteral("insert into Zhang (ZBID,ID,BZ) values ('z','%1','%2')")
                             .arg(i)
                             .arg(SqlStr(remarks.at(i)))),
                  QStringLiteral("OK"));
    const auto matches = [](const QString& typed) {
        const QString n = RunSql(QStringLiteral("select BZ from Zhang where ZBID='z' and ") +
                                 Like::containsClause(QStringLiteral("Bz"), typed) +
                                 QStringLiteral(" order by BZ"));
        QStringList out;
        for (int i = 1; i <= n.toInt(); ++i)
            out.append(MainBas::SqlRows(i, 0));
        return n.isEmpty() ? QStringList{QStringLiteral("<failed>")} : out;
    };
    EXPECT_EQ(matches(QStringLiteral("10%")), QStringList({"10%"}));
    EXPECT_EQ(matches(QStringLiteral("a_b")), QStringList({"a_b"}));
    EXPECT_EQ(matches(QStringLiteral("[急]")), QStringList({"[急]"}));
    EXPECT_EQ(matches(QStringLiteral("c!X")), QStringList({"ABC!x"}));
    EXPECT_EQ(matches(QStringLiteral("t's")), QStringList({"it's"}));
    EXPECT_EQ(matches(QStringLiteral("Ab")), QStringList({"ABC!x", "ab"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, LikeOnEngine,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres));

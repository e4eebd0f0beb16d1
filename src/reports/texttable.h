#pragma once
// The text table every report draws in its list: cells closed by "│", rule lines of "─" with a
// junction at each column end. Widths are twips as TextTwips counts them; the list's font draws
// wide characters exactly twice as wide as narrow ones, so equal counts line up on screen.

#include <QChar>
#include <QString>

namespace TextTable {

inline constexpr QChar kBar{0x2502};
inline constexpr QChar kRule{0x2500};
inline constexpr QChar kTop{0x252C};
inline constexpr QChar kMiddle{0x253C};
inline constexpr QChar kBottom{0x2534};

// The list's font family: wide glyphs exactly two narrow ones.
QString fontFamily();
inline constexpr double kFontPoints = 10.5;

// Longest start of `text` no wider than `twips`; whole characters only, so a pair of
// surrogates is never split.
QString cutTo(const QString& text, int twips);
// `text` followed by as many blanks as it takes to reach `twips` (none when already as wide).
QString padTo(const QString& text, int twips);
// A rule line begins with "─".
bool isRuleLine(const QString& line);
// MakeTextCell and MakeNumberCell appended to `line`, for building many lines fast.
void appendTextCell(QString& line, const QString& text, int width);
void appendNumberCell(QString& line, double value);
// Runs of blanks shortened to one, as the exports write record lines.
QString squeezeBlanks(const QString& text);

} // namespace TextTable

// Right-aligned in 1000 twips and closed by "│".
QString MakeNumberCell(double value);
// The same number without the border, as the balance list shows it.
QString MakeNumberText(double value);
// Cut or padded to `width` twips and closed by "│".
QString MakeTextCell(const QString& text, int width);
// "─" up to `width` twips, then "┬" (kind 0), "┼" (1) or "┴" (2).
QString MakeRuleSegment(int kind, int width);

#pragma once
// The text table every report draws in its list: cells closed by "│", rule lines of "─" with a
// junction at each column end. Widths are twips as TextTwips counts them; the list's font draws
// wide characters exactly twice as wide as narrow ones, so equal counts line up on screen.

#include <QChar>
#include <QString>
#include <QVector>

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
// MakeTextCell and MakeNumberCell appended to `line`, for building many lines fast. True when
// the text had to be cut to fit.
bool appendTextCell(QString& line, const QString& text, int width);
void appendNumberCell(QString& line, double value);

// A record line as the list shows it, and as an export writes it when the shown cells would
// not give every value whole: a cell that cuts its text, a value with a comma or a double
// quote (quoted as CSV quotes it), or, for an export that shortens runs of blanks, a value
// holding such a run.
class RowBuilder {
public:
    // `squeeze`: the export shortens the padding of the cells to one blank.
    explicit RowBuilder(bool squeeze) : squeeze_(squeeze) {}
    void text(const QString& text, int width);
    void number(double value);
    // Shown and exported as it is: blanks between cells, a number without its border.
    void raw(const QString& text);
    // The open last cell, never cut.
    void tail(const QString& text);
    const QString& shown() const { return shown_; }
    // The exported line, cells separated by commas; empty when the export can take it from
    // the shown line.
    QString whole() const;

private:
    bool differs(const QString& value) const;
    struct Splice {
        qsizetype from = 0, to = 0; // the shown cell's text, its border excluded
        QString whole;
    };
    bool squeeze_;
    QString shown_;
    QVector<Splice> splices_; // only for the cells that differ: usually none
};
// The export's form of a whole value: quoted when it holds a comma, a double quote or a line
// break; as it is otherwise.
QString csvValue(const QString& value);
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

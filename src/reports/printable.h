#pragma once
// A report as it goes on paper: title, the filter line, the table's columns and rows as cell
// texts, the totals line and what the foot of every page says. Built from a report's own rows,
// so the page draws real cells rather than the screen's "│" lines.

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace Print {

enum class Align { Left, Right };

struct Column {
    QString head;
    int twips = 1000; // the column's screen width: the printed widths keep its proportions
    Align align = Align::Left;
};

struct Printable {
    QString title;
    QString filterLine;
    QVector<Column> columns;
    QVector<QStringList> rows; // one text per column
    QStringList totals;        // empty: no totals line
    QString operatorName;
    QString printedAt; // "yyyy-mm-dd hh:mm"

    // A4 portrait holds about 180 mm of columns; wider tables go on a landscape page.
    bool landscape() const;
};

inline constexpr int kPortraitTwips = 10200;

// The title from the open ledger's name and `caption`, the logged-in operator and the clock's
// time, as they are when the page is made.
void setHeading(Printable& p, const QString& caption);

// "ledger name　caption", or the caption alone when no ledger name is known.
QString title(const QString& ledgerName, const QString& caption);
// "时段：from — to"
QString period(const QString& from, const QString& to);
// "物品：全部物品", "物品：钢材" or "物品：包含“钢”": `item` already cleaned; `relation` the
// relation's caption when it is not equality.
QString itemFilter(const QString& itemWord, const QString& item, const QString& relation);
// The filter parts joined by an ideographic blank.
QString joinFilters(const QStringList& parts);

// "操作员：…　打印时间：…"
QString footLeft(const Printable& p);
// "第 n 页 / 共 m 页"
QString pageText(int page, int pages);

// The printed width of every column, `total` in all: a column with no text in any row or the
// totals line is as wide as its head (`headWidth`, padding included), and the others share
// the rest in proportion to their screen widths.
QVector<double> columnWidths(const Printable& p, double total,
                             const std::function<double(const QString&)>& headWidth);

// How many pages the rows take when the first page holds `firstPage` rows (below the title)
// and every later one `perPage`; the totals line needs a row too.
int pageCount(int rows, bool hasTotals, int firstPage, int perPage);

} // namespace Print

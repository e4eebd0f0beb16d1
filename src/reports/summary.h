#pragma once
// The summary table (HzLst) without its window: the one grouped statement, its rows, the item
// choice applied to them, which rows are shown and the totals.

#include "reports/printable.h"
#include "reports/reportlines.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class SqlTable;

namespace Summary {

struct Row {
    QString item;
    double opening = 0;
    double increase = 0;
    double decrease = 0; // shown as a positive number
    double closing = 0;
};

// The item drop-down's list, in a stable order on every engine.
QString itemListStatement(const QString& zbid);

// Every item's three sums over the period in one statement. Items without any entry in or
// before the period come back with zeros, so the list of items is the ledger's current one.
QString statement(const QString& zbid, const QString& start, const QString& end);

// The rows of that statement's result (rows 1 .. rowMax - 1), items empty or NULL left out.
QList<Row> rowsOf(const SqlTable& result, int rowMax);

enum class Relation { Equal, Contains };

struct Choice {
    QList<Row> rows;
    QString message; // not empty: nothing is listed, the window shows this
};

// The items the run lists, in the order of `all`. `typed` is the item box's text as it stands.
// "Contains" is a plain case-insensitive substring test: no character is a wildcard.
Choice choose(const QList<Row>& all, const QString& typed, Relation relation,
              const QString& itemName);

// A row whose four values all read 0 as the table prints them.
bool allShownZero(const Row& row);

struct Totals {
    double opening = 0;
    double increase = 0;
    double decrease = 0;
    double closing = 0;
};

// The rows the table lists, and their totals; all-zero rows are dropped when `hideZero`.
QList<Row> shownRows(const QList<Row>& chosen, bool hideZero);
Totals totalsOf(const QList<Row>& shown);

// The table: AddSummaryHeader's blank and title rows, AddRuleLine, and what a run adds after
// the header: a rule, each row with its rule, then the totals row (or a blank row when nothing
// is listed) and the closing rules. Each item row keeps its full item beside it.
QVector<ReportLine> header(const QString& itemName, const QString& slName);
QVector<ReportLine> ruleLines(int kind);
QVector<ReportLine> body(const QList<Row>& shown);
// The export: the title row, then every later line with cells (rule lines have none), every
// item whole however the list cut it.
QStringList exportLines(const QVector<ReportLine>& lines);

// The table on paper: the shown rows and their totals.
Print::Printable printable(const QList<Row>& shown, const QString& itemName, const QString& slName);
// "时段：…　物品：…", and the hiding of all-zero rows when it is on.
QString filterLine(const QString& start, const QString& end, const QString& typed,
                   Relation relation, const QString& itemName, bool hideZero);

// Texts of the window.
QString caption(const QString& itemName);
QString noRecords();
QString noSuchItem(const QString& typed, const QString& itemName);
QString noItemContains(const QString& typed, const QString& itemName);
QString noMatchingItem(const QString& itemName);
QString readingWait();
QString hideZeroCaption();

} // namespace Summary

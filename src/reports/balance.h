#pragma once
// The balance list (KcLst) without its window: the grouped statement with its item filter, the
// value filter, the kept rows and their total, and where the journal opened from a row starts
// and ends.

#include "db/sqlaccess.h"
#include "reports/printable.h"
#include "reports/reportlines.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class SqlTable;

namespace Balance {

enum class ItemRelation { Equal, Contains };
enum class ValueRelation { Greater, Less, Equal };

// The item box's text for the statement: cleaned like every typed value; empty when it asks for
// every item.
QString itemFilterText(const QString& typed, const QString& itemName);

// "Contains" matches the text literally, in any letter case, as the journal's filter does.
QString statement(const QString& zbid, const QString& filter, ItemRelation relation,
                  Db::Engine engine = Db::currentDialect());

struct ValueFilter {
    bool active = false;
    double value = 0;
    QString text; // what the value box is rewritten to
};
// An empty box means no value filter; any other text counts by its leading number.
ValueFilter valueFilterOf(const QString& typed);

// Compared as the list prints them, so 0.1 + 0.2 equals 0.3 and a balance shown as 0 is not
// greater than 0.
bool passes(double balance, const ValueFilter& filter, ValueRelation relation);

struct Row {
    QString item;
    double balance = 0;
};
// Rows 1 .. rowMax - 1 of the statement's result that pass the value filter; an empty or NULL
// item is skipped, not taken for the end of the result.
QList<Row> keptRows(const SqlTable& result, int rowMax, const ValueFilter& filter,
                    ValueRelation relation);
double totalOf(const QList<Row>& rows);

// The time of the item's latest entry; NULL times are left out, since PostgreSQL sorts them
// first in a descending order.
QString latestTimeStatement(const QString& zbid, const QString& item);

struct Period {
    QDateTime start;
    QDateTime end;
};
// The journal's period for an item whose latest entry is `latest`, from the journal's default
// one: reaching back to 1 January of an earlier year, or to the first of an earlier month, and
// forward to 23:59 of a day after the default end, so that its last balance is the listed one.
Period journalPeriod(const QDateTime& latest, const Period& byDefault);

// The table: AddBalanceHeader's blank and title rows, AddRuleLine, and what a run with rows
// adds after the header (a rule, each kept row with its rule, the totals row, the closing
// rules) or, when the query found nothing, the blank row and closing rules.
QVector<ReportLine> header(const QString& itemName, const QString& slName);
QVector<ReportLine> ruleLines(int kind);
QVector<ReportLine> body(const QList<Row>& kept);
QVector<ReportLine> emptyBody();

// An export line: runs of blanks shortened to one, cell borders turned into commas.
QString exportLine(const QString& shownLine);
// Every line with cells down to the totals row, as exportLine writes it, every item whole
// however the list cut it.
QStringList exportLines(const QVector<ReportLine>& lines);

// The list on paper: the kept rows and their total.
Print::Printable printable(const QList<Row>& kept, const QString& itemName, const QString& slName);
// "物品：…", and "存量：大于 0" when the value filter is on. `item` is itemFilterText's.
QString filterLine(const QString& item, ItemRelation relation, const ValueFilter& value,
                   ValueRelation valueRelation, const QString& itemName, const QString& slName);

// Texts of the window.
QString caption(const QString& itemName, const QString& slName);
QString noRecords();
QString noData();
QString readingWait();
QString exportFirst();

} // namespace Balance

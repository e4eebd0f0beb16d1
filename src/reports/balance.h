#pragma once
// The balance list (KcLst) without its window: the grouped statement with its item filter, the
// value filter, the kept rows and their total, and where the journal opened from a row starts
// and ends.

#include <QDateTime>
#include <QList>
#include <QString>

class SqlTable;

namespace Balance {

enum class ItemRelation { Equal, Contains };
enum class ValueRelation { Greater, Less, Equal };

// The item box's text for the statement: cleaned like every typed value; empty when it asks for
// every item.
QString itemFilterText(const QString& typed, const QString& itemName);

// `likeClause` turns a cleaned text into the server's case-insensitive "contains" condition on
// Item, its wildcards escaped; it is given by the caller so that every report escapes alike.
QString statement(const QString& zbid, const QString& filter, ItemRelation relation,
                  const QString& likeClause);

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

// An export line: runs of blanks shortened to one, cell borders turned into commas.
QString exportLine(const QString& shownLine);

// Texts of the window.
QString caption(const QString& itemName, const QString& slName);
QString noRecords();
QString noData();
QString readingWait();
QString exportFirst();

} // namespace Balance

#pragma once
// The batch import's lines, without a window: each line of a sheet read through its column
// mapping into an entry or a plain error, the server's column widths, counts and totals.

#include "reports/importforms.h"
#include "reports/importread.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <QVector>

namespace Import {

// Widths of Zhang's item and remark columns on the server; 0 where it sets none.
struct Limits {
    int item = 0;
    int remark = 0;
    bool bytes = false; // counted in the database's code page, not in characters
};
// The column widths as the server describes them; empty on the embedded database, whose
// columns have no width.
QString limitsStatement();
Limits limitsFromResult(bool codePageBytes);
// One statement at most.
Limits readLimits();

struct Line {
    int line = 0;
    QString item;
    double quantity = 0;
    QString remark;
    QString operatorName; // shown, not stored: the logged-in operator writes the records
    QString tm;           // "yyyy-mm-dd hh:mm", empty: the time of the import
    int second = 0;       // the own time's seconds, where its record id starts
    QString error;
    bool skip = false; // a totals line
};

Line parseLine(const Record& r, const QVector<Field>& mapping, const Words& words,
               const Limits& limits);
QVector<Line> parseAll(const Sheet& sheet, const Words& words, const Limits& limits);

struct Counts {
    int lines = 0, increases = 0, decreases = 0, errors = 0;
    double increased = 0, decreased = 0; // both positive
};
Counts countLines(const QVector<Line>& lines);

QString countsText(const Counts& c, const QString& mappingError);

} // namespace Import

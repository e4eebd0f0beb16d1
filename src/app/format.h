#pragma once
// Text forms of dates, clock times and quantities, and the lenient date reader.

#include <QDateTime>
#include <QString>

QString DateStr(const QDateTime& value);
QString DateStr(const QDate& value);
QString TimeStr();
// Cleans `text` in place (CleanStr) and reads a date from it; never fails: an unreadable text
// yields the current local date at midnight.
QDateTime ParseDate(QString& text);
QString NumStr(double v);

// Leading and trailing blanks (the space character) removed; other white space stays.
QString trimBlanks(const QString& text);
// A typed value made safe between single quotes: blanks trimmed, quotes and line breaks gone,
// "," "│" "─" turned into characters that cannot break a statement, an export or a table.
QString CleanStr(const QString& text);

// Shortest decimal text that reads back as the same double, without an exponent for
// ordinary sizes.
QString shortestDecimal(double v);

// The name a save dialog proposes: "<ledger>-<report>-<yyyy-mm-dd><suffix>", such as
// "五金仓库-流水明细账-2026-12-08.csv". Characters a file name cannot hold on the desktops
// people use (/ \ : * ? " < > | and control characters), and the full-width colon of a caption
// ("物品走势图：钢材"), become "-"; an empty ledger name is left out.
QString exportFileName(const QString& ledger, const QString& report, const QDate& day,
                       const QString& suffix);

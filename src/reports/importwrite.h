#pragma once
// The batch import's writing side, without a window: the rights a set of lines needs, record
// ids free of every id the ledger holds, the multi-row inserts, and one transaction for all.

#include "reports/importlines.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>

#include <functional>

namespace Import {

// Rows per insert statement: several hundred, below SQL Server's thousand.
inline constexpr int kChunk = 500;
// Days whose taken ids one statement reads.
inline constexpr int kDaysPerRead = 100;

// Empty when `qx` allows every line; otherwise the refusal to show.
QString rightsRefusal(const QVector<Line>& lines, const QString& qx, const QString& slName);

// The id prefixes (year letter and mmdd) of the days the lines write on.
QStringList daysOf(const QVector<Line>& lines, const QDate& today);
// Every id of those days that the ledger holds, retired rows included, a few statements at most.
QStringList takenIdsStatements(const QString& zbid, const QStringList& days);

// One id per line. A line with its own time starts at that time and takes the next free
// hundredth, as a late record does; the others take free hundredths just before `now`, which
// no entry saved from now on can want. Empty (and `error` set) when a day has no room.
QStringList assignIds(const QVector<Line>& lines, const QDate& today, const QTime& now,
                      QSet<QString> taken, QString* error);

// The inserts, `chunk` rows each; lines without their own time get `nowTm`.
QStringList insertStatements(const QString& zbid, const QString& usr, const QVector<Line>& lines,
                             const QStringList& ids, const QString& nowTm, int chunk = kChunk);

struct Outcome {
    bool ok = false;
    QString message;   // to show
    QStringList items; // the lines' items, each once, in order
    int statements = 0;
};
// The whole write: server date, taken ids, inserts in one transaction. `progress` gets the
// number of insert statements done.
Outcome write(const QString& zbid, const QString& usr, const QVector<Line>& lines,
              const std::function<void(int done, int total)>& progress = {});

QString successText(int count);
QString failureText(const QString& reason);

} // namespace Import

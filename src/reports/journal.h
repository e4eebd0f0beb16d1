#pragma once
// The detail journal without its window: the statements it sends, the lines of its table, the
// export file's lines and the statements that retire listed records.

#include "db/sqlaccess.h"
#include "reports/printable.h"
#include "reports/reportlines.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace Journal {

// What the filters of the window say.
struct Filter {
    QStringList from; // the five picker texts of the start
    QStringList to;   // and of the end
    QString item;     // CmbItm's text as it stands
    // The item is one the server holds, to be matched as stored (quoted, not cleaned): another
    // client may have stored a comma or a quote that cleaning would change.
    bool exactItem = false;
    int relation = 0; // CmbGX1: 0 equals, 1 contains
    int sign = 0;     // CmbSL: 0 all, 1 increases, 2 decreases
    QString remark;   // TxtBZ's text
    QString usr;      // the chosen operator; empty for all
    int sort = 0;     // CmbSort: 0 item, 1 time, 2 value
};

struct Query {
    QString statement;
    QString itemClause; // " And Item…" or empty; the opening balances use the same
    QString from;       // start of the period, "yyyy-mm-dd hh:mm"
    bool showBalance = true;
};

Query build(const QString& zbid, const QString& itemWord, const Filter& filter,
            Db::Engine engine = Db::currentDialect());

// Every listed item's balance before the period, in one grouped statement.
QString openingStatement(const QString& zbid, const QString& from, const QString& itemClause);

struct Row {
    QString id, usr, tm, item;
    double sl = 0;
    QString bz;
};
// The journal query's rows from SqlRows, up to the first without an id.
QVector<Row> rowsFromResult();
// Item → balance from the opening statement's result.
QHash<QString, double> openingsFromResult();

struct Words {
    QString itemWord;
    QString slName;
};

// AddJournalHeader's two lines: empty cells, titles.
QVector<ReportLine> header(const Words& words, bool showBalance);
// AddRuleLine: one rule line, or for kind 2 a middle rule, a blank row and the bottom rule.
QVector<ReportLine> ruleLines(int kind, bool showBalance);

// Each row's item balance after it, every item group starting from its opening balance, and
// the totals line's increases, decreases and the sum of the groups' closing balances. Only
// meaningful for a list in item order.
struct Running {
    QVector<double> balance;
    double inc = 0, dec = 0, balSum = 0;
};
Running running(const QVector<Row>& rows, const QHash<QString, double>& openings);

// Called every few hundred rows while the lines are built: the row number and its item.
using Progress = std::function<void(int row, const QString& item)>;

// The lines after the header: a rule, each record and its rule, the totals line, and the
// closing rules. `openings` gives each item group its starting balance when `showBalance`.
QVector<ReportLine> body(const QVector<Row>& rows, const QHash<QString, double>& openings,
                         bool showBalance, const Progress& progress = {});
inline constexpr int kProgressEvery = 500;

// A whole listing as QueryAll draws it: the journal query, when the list has the balance
// column the grouped opening balances, and the lines after the header.
struct Listing {
    enum Status { Listed, Empty, Failed } status = Failed;
    bool showBalance = true;
    QVector<ReportLine> body; // empty unless Listed
    QVector<Row> rows;        // what the lines were built from
    QHash<QString, double> openings;
    int statements = 0; // sent to the server
};
Listing list(const QString& zbid, const QString& itemWord, const Filter& filter,
             const Progress& progress = {});

// The listing on paper: the columns of the screen's table, each record's cells, the totals.
Print::Printable printable(const Listing& listing, const Words& words);
// "时段：…　物品：…　增减：…", then the remark and the operator when they filter.
QString filterLine(const Filter& filter, const QString& itemWord);

// The export: the title row, every record line with its blank runs squeezed, the totals line;
// cells separated by commas, every value whole however the list cut it.
QStringList exportLines(const QVector<ReportLine>& lines);

// The retired-row marker: first part # ledger # stamp.
QString marker(const QString& first, const QString& zbid, const QString& stamp);
// DeleteSelectedRow's update of one record.
QString retireOne(const QString& usr, const QString& zbid, const QString& stamp, const QString& id);
// The batch delete: the listed ids retired with one marker, a few hundred per statement.
QStringList retireAll(const QString& usr, const QString& zbid, const QString& stamp,
                      const QStringList& ids, int chunk = 300);
// The logged-in operator's password.
QString passwordStatement(const QString& zbid, const QString& usr);

// Texts of the export and the deletes.
QString nothingToExport();
QString nothingToDelete();
QString exportDone();
QString askDeleteOne();
QString batchWarning();
QString passwordPrompt();
QString confirmPrompt();
QString wrongPassword();
QString networkCancelled();
QString batchDone();
QString selectToEdit();
QString selectToDelete();

} // namespace Journal

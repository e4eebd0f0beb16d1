#pragma once
// The record audit without its window: the retired rows of a ledger with who retired them and
// when, what replaced an edited one, the lines of its table, and bringing a deleted record back.

#include "db/sqlaccess.h"
#include "reports/printable.h"
#include "reports/reportlines.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace Audit {

// A retired row's ZBID: first part + "#" + ledger id + "#" + "yyyy-mm-dd hh:mm". The first part
// is the deleting operator's name or the id of the record that replaced it.
struct Marker {
    QString first;
    QString stamp;
};
inline constexpr int kStampLength = 16;

// Read from the ledger id outwards: operator names are free text and may hold "#", even the
// ledger id itself. Nothing for a live row, another ledger's marker or a malformed one.
std::optional<Marker> parseMarker(const QString& zbidField, const QString& zbid);

// What the filters of the window say.
struct Filter {
    QStringList from; // the five picker texts of the start of the period of retirement
    QStringList to;   // and of its end
    QString item;     // the record's item as stored; empty for all
    QString usr;      // who retired it; empty for all
};

// The whole listing in one statement: the retired rows of `zbid` in the period, each joined to
// its replacement when its first part is the id of one of the ledger's rows, newest first.
QString statement(const QString& zbid, const Filter& filter,
                  Db::Engine engine = Db::currentEngine());

// One retired record.
struct Entry {
    QString marker; // its ZBID as stored
    QString id, usr, tm, item;
    double sl = 0;
    QString bz;
    QString by; // who retired it: the deleting operator, or the replacement's operator
    QString at; // when, from the marker
    bool edited = false;
    QString newId, newTm, newItem; // the replacement, for an edit
    double newSl = 0;
};
// The statement's rows from SqlRows, up to the first without a marker.
QVector<Entry> entriesFromResult(const QString& zbid);

// "修改" or "删除".
QString action(const Entry& e);
// The replacement in one cell: its time, item and signed quantity.
QString replacementText(const Entry& e);

// The header's two lines (empty cells, titles), the rule lines, and what a listing adds after
// the header: a rule, each record and its rule, the totals line and the closing rules. The
// layout is the journal's, so its export applies unchanged.
QVector<ReportLine> header(const QString& itemWord);
QVector<ReportLine> ruleLines(int kind);
QVector<ReportLine> body(const QVector<Entry>& entries);

struct Listing {
    enum Status { Listed, Empty, Failed } status = Failed;
    QVector<ReportLine> body; // empty unless Listed
    QVector<Entry> entries;   // one per record line, top to bottom
};
Listing list(const QString& zbid, const Filter& filter);

// The listing on paper: the table's ten columns, each record's cells, the totals of 增加 and 减少.
Print::Printable printable(const QVector<Entry>& entries, const QString& itemWord);
// "时段：…　物品：…", then "处理人：…" when the window asks for one.
QString filterLine(const Filter& filter, const QString& itemWord);

// Sets the row back into the ledger: one statement, keyed by its marker and id.
QString restoreStatement(const QString& zbid, const Entry& e);

enum class Restore { Done, Replaced, AlreadyRestored, IdTaken, OtherLedger, Failed };
// An edited record is never restored: its replacement already carries the change, and a marker
// of another ledger never sends anything. The update must change exactly one row, or it changes
// none; IdTaken when a live row of the ledger now holds the record's id.
Restore restore(const QString& zbid, const Entry& e);

QString caption();         // "帐目审核"
QString askRestore();      // "真的要恢复这条记录吗？"
QString restoredText();    // "恢复成功！"
QString alreadyRestored(); // "这条记录已经被恢复！"
QString selectToRestore(); // "请首先选择您要恢复的记录行！"
QString idTaken();         // a live row holds the record's id
QString otherLedger();     // the marker is not the open ledger's
QString replacedMessage(const Entry& e);

} // namespace Audit

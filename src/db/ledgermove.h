#pragma once
// One ledger carried whole from one database to another (the embedded file to the team's
// server, or back for a copy kept offline): its Zblst row, every operator and every entry,
// retired ones included, in one transaction on the target over connections of its own, then
// counted and summed on both sides. The source is only read.

#include "db/sqlaccess.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace LedgerMove {

// Rows per insert statement: SQL Server takes at most 1000 in one VALUES list; the others are
// held back only by statement length (SQLite's limit is a million bytes).
int chunkRows(Db::Engine target);
int chunkChars(Db::Engine target);

// What one side holds of a ledger.
struct Tally {
    bool read = false;
    qint64 ledgers = 0; // its Zblst rows: 1, or 0 when missing
    qint64 operators = 0;
    qint64 retired = 0;
    // Per item of the live entries: how many, and their sum.
    QMap<QString, QPair<qint64, double>> items;
    qint64 entries() const;
};
// Equal counts everywhere and sums equal to the last rounding digit.
bool agree(const Tally& a, const Tally& b);

struct Outcome {
    enum Status { Moved, NotFound, Exists, NoTables, Failed } status = Failed;
    QString error; // the driver's words, for Failed
    Tally source, target;
    int sourceStatements = 0;
    int targetStatements = 0;
    qint64 milliseconds = 0;
};

// `progress` receives entries written so far and their total, after each insert.
Outcome copy(const Db::Connection& from, const Db::Connection& to, const QString& zbid,
             const std::function<void(qint64 done, qint64 total)>& progress = {});

// Where a secure server gets a login role for every operator (with his password), made by the
// owner's connection inside the move's transaction. A classic server keeps operators in
// UsrLst alone: nothing to do. Empty on success, else the reason.
QString prepareOperators(QSqlDatabase& target, const QString& zbid, const QStringList& operators,
                         const QStringList& passwords);

// The statements (exposed for tests): the live and retired entries of a ledger; one tally.
QString entriesStatement(const QString& zbid);
QString tallyStatement(const QString& zbid, Db::Engine engine);

// This computer remembers which ledgers it moved away and where to.
void markMoved(const Db::Connection& from, const QString& zbid, const Db::Connection& to);
std::optional<Db::Connection> movedTo(const Db::Connection& from, const QString& zbid);
// A list name with and without the moved mark "（已迁移）".
QString marked(const QString& name);
QString unmarked(const QString& name);

// Texts.
QString menuMove(); // "迁移到服务器"
QString menuCopy(); // "复制到本机"
QString moveTitle();
QString copyTitle();
QString notEmbedded();
QString notOnServer();
QString chooseServerFirst();
QString chooseEmbeddedFirst();
QString progressCaption(qint64 done, qint64 total);
QString where(const Db::Connection& c);
// What came across, compared side by side; `itemWord` is the ledger's word for an item.
QString result(const Outcome& o, const QString& zbid, const Db::Connection& to,
               const QString& itemWord);
QString askOpenMoved(const QString& name, const Db::Connection& to);

} // namespace LedgerMove

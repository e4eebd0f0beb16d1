#pragma once
// Copies of the embedded database: one a day kept automatically (the last 30), one made on
// request, and a file of the right kind put back in place of the live one. Copies are made
// with SQLite's backup API on connections of their own, so a file in use is copied as one
// consistent state, never torn.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace Backup {

inline constexpr int kKeep = 30;

// $XDG_DATA_HOME/zelvo/备份; tests point it elsewhere (empty: the default).
QString folder();
void setFolder(const QString& path);
// "云记账-yyyy-mm-dd.db"
QString dailyName(const QDate& day);
// The daily copies in the folder, newest first.
QStringList dailyCopies();

// A consistent copy of the SQLite file `source` at `target`, written under a temporary name
// beside it and renamed at the end, so that a failure (a full disk) leaves no partial copy.
// Empty on success, else the reason.
QString copy(const QString& source, const QString& target);

// Today's copy of `source` unless there is one already, then the oldest beyond kKeep removed.
struct Daily {
    bool made = false;
    QString path;
    QString error; // empty unless the copy failed
};
Daily daily(const QString& source, const QDate& today);
void prune(int keep = kKeep);

// What a copy holds, and whether it may replace the live file.
struct Ledger {
    QString id;
    QString name;
    qint64 entries = 0;
};
struct Check {
    enum Problem { None, Missing, NotDatabase, Damaged, Tables, Newer } problem = Missing;
    QString path;
    QDate date; // from a daily copy's name, else the file's time
    QList<Ledger> ledgers;
    bool ok() const { return problem == None; }
};
// How far a file is checked. Full: PRAGMA integrity_check, which also proves every index, and
// the ledgers with their entry counts. Quick: quick_check, which reads each page once. Schema:
// the header, the catalogue and the columns only, which costs the same on any size of file.
enum class Depth { Schema, Quick, Full };
Check inspect(const QString& path, Depth depth = Depth::Full);
// The newest daily copy that passes inspect(); problem Missing when there is none.
Check newestGood();

// True when `live` is there with content but is not a sound database of this program's kind,
// checked to `depth`.
bool unreadable(const QString& live, Depth depth);
// Whether today's copy is still to be made: the start that makes it reads the whole file anyway,
// and may as well check every page of it.
bool dailyDue(const QDate& today);
// Renames a damaged `live` beside itself with the day in its name; the new path, or empty.
QString setAside(const QString& live, const QDate& day);

// Puts `copyPath` in place of `live`. Unless `liveDamaged`, the live file is copied into the
// folder first. The access layer's connection is closed first. Empty on success, else the
// reason; `savedTo` receives the path of the copy of the live file.
QString restore(const QString& copyPath, const QString& live, bool liveDamaged,
                const QDateTime& now, QString* savedTo = nullptr);

// A damaged `live` set aside and `copyPath` put in its place; when that fails the damaged file
// goes back where it was. Empty on success, else the reason; `aside` gets the kept file's path.
QString recoverDamaged(const QString& live, const QString& copyPath, const QDateTime& now,
                       QString* aside);

// A failed daily copy is said once a day, not at every start.
bool failureToSay(const QDate& today);

// Texts.
QString menuBackUp();  // "备份数据"
QString menuRestore(); // "恢复数据"
QString notEmbedded();
QString proposedName(const QDate& day);
QString backedUp(const QString& path);
QString backUpFailed(const QString& reason);
QString dailyFailed(const QString& reason);
QString refusal(const Check& c);
QString askRestore(const Check& c);
QString restored(const Check& c, const QString& savedTo);
QString restoreFailed(const QString& reason);
QString askRestoreDamaged(const QString& live, const Check& newest);
QString damagedNoCopy(const QString& live);
QString damagedKept(const QString& asidePath);
QString pickTitle();    // "恢复数据"
QString pickOther();    // "选择其他文件…"
QString pickNoCopies(); // no automatic copy yet

} // namespace Backup

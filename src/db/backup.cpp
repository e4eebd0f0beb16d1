#include "db/backup.h"

#include "app/settings.h"
#include "db/sqlaccess.h"
#include "db/sqliteschema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace Backup {

namespace {

QString overrideFolder;

const QRegularExpression& dailyPattern() {
    static const QRegularExpression re(QStringLiteral("^云记账-(\\d{4}-\\d{2}-\\d{2})\\.db$"));
    return re;
}

// A raw handle closed on every path.
class Handle {
public:
    Handle(const QString& path, int flags) {
        rc_ = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
    }
    ~Handle() { sqlite3_close(db_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return rc_ == SQLITE_OK; }
    sqlite3* get() const { return db_; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

    // The first column of every row, or nullopt-like failure through `ok`.
    QStringList column(const QString& sql, bool* ok) const {
        QStringList out;
        sqlite3_stmt* st = nullptr;
        *ok = sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK;
        int rc = SQLITE_DONE;
        while (*ok && (rc = sqlite3_step(st)) == SQLITE_ROW)
            out.append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
        *ok = *ok && rc == SQLITE_DONE;
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

QDate dateOf(const QString& path) {
    const auto m = dailyPattern().match(QFileInfo(path).fileName());
    if (m.hasMatch())
        return QDate::fromString(m.captured(1), Qt::ISODate);
    return QFileInfo(path).lastModified().date();
}

bool hasHeader(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The columns the program names, per table.
const QList<QPair<QString, QStringList>>& requiredColumns() {
    static const QList<QPair<QString, QStringList>> tables = {
        {QStringLiteral("Zblst"),
         {QStringLiteral("zbid"), QStringLiteral("zbnm"), QStringLiteral("item"),
          QStringLiteral("sl"), QStringLiteral("msg"), QStringLiteral("cmd"),
          QStringLiteral("gonggao")}},
        {QStringLiteral("UsrLst"),
         {QStringLiteral("zbid"), QStringLiteral("usr"), QStringLiteral("pwd"),
          QStringLiteral("qx")}},
        {QStringLiteral("Zhang"),
         {QStringLiteral("zbid"), QStringLiteral("usr"), QStringLiteral("tm"), QStringLiteral("id"),
          QStringLiteral("item"), QStringLiteral("sl"), QStringLiteral("bz")}},
    };
    return tables;
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

QString folder() {
    if (!overrideFolder.isEmpty())
        return overrideFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zelvo/备份");
}

void setFolder(const QString& path) {
    overrideFolder = path;
}

QString dailyName(const QDate& day) {
    return QStringLiteral("云记账-") + day.toString(Qt::ISODate) + QStringLiteral(".db");
}

QStringList dailyCopies() {
    QStringList names;
    for (const QString& name : QDir(folder()).entryList(QDir::Files))
        if (dailyPattern().match(name).hasMatch())
            names.append(name);
    // The date in the name sorts as text.
    std::sort(names.begin(), names.end(), std::greater<QString>());
    QStringList paths;
    for (const QString& name : names)
        paths.append(QDir(folder()).filePath(name));
    return paths;
}

QString copy(const QString& source, const QString& target) {
    if (!QFileInfo(source).isFile())
        return QStringLiteral("找不到文件“") + source + QStringLiteral("”");
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    QString error;
    {
        Handle from(source, SQLITE_OPEN_READONLY);
        Handle to(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!from.ok())
            error = from.error();
        else if (!to.ok())
            error = to.error();
        else if (sqlite3_backup* b = sqlite3_backup_init(to.get(), "main", from.get(), "main")) {
            const int rc = sqlite3_backup_step(b, -1);
            sqlite3_backup_finish(b);
            if (rc != SQLITE_DONE)
                error = QString::fromUtf8(sqlite3_errstr(rc));
        } else {
            error = to.error();
        }
    }
    if (error.isEmpty() && std::rename(QFile::encodeName(part).constData(),
                                       QFile::encodeName(target).constData()) != 0)
        error = QStringLiteral("不能写入“") + target + QStringLiteral("”");
    if (!error.isEmpty()) {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    }
    return error;
}

Daily daily(const QString& source, const QDate& today) {
    Daily d;
    d.path = QDir(folder()).filePath(dailyName(today));
    if (QFileInfo::exists(d.path))
        return d;
    d.error = copy(source, d.path);
    d.made = d.error.isEmpty();
    if (d.made)
        prune();
    return d;
}

void prune(int keep) {
    const QStringList copies = dailyCopies();
    for (int i = keep; i < copies.size(); ++i)
        QFile::remove(copies[i]);
}

Check inspect(const QString& path, Depth depth) {
    Check c;
    c.path = path;
    if (!QFileInfo(path).isFile())
        return c;
    c.date = dateOf(path);
    c.problem = Check::NotDatabase;
    if (!hasHeader(path))
        return c;
    Handle db(path, SQLITE_OPEN_READONLY);
    bool ok = false;
    const QStringList integrity =
        !db.ok()               ? QStringList()
        : depth == Depth::Full ? db.column(QStringLiteral("PRAGMA integrity_check"), &ok)
        : depth == Depth::Quick
            ? db.column(QStringLiteral("PRAGMA quick_check"), &ok)
            : db.column(QStringLiteral("select 'ok' from sqlite_master limit 1"), &ok);
    if (!ok || integrity != QStringList{QStringLiteral("ok")}) {
        c.problem = Check::Damaged;
        return c;
    }
    if (db.column(QStringLiteral("PRAGMA user_version"), &ok).value(0).toInt() >
        Db::kSqliteSchemaVersion) {
        c.problem = Check::Newer;
        return c;
    }
    for (const auto& [table, columns] : requiredColumns()) {
        const QStringList present =
            db.column(QStringLiteral("select lower(name) from pragma_table_info('") + table +
                          QStringLiteral("')"),
                      &ok);
        for (const QString& column : columns)
            if (!present.contains(column)) {
                c.problem = Check::Tables;
                return c;
            }
    }
    if (depth != Depth::Full) {
        c.problem = Check::None;
        return c;
    }
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = "select z.ZBid, z.ZbNm, (select count(*) from Zhang h where "
                           "h.ZBID = z.ZBid) from Zblst z order by z.ZBid";
    if (sqlite3_prepare_v2(db.get(), sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        c.problem = Check::Tables;
        return c;
    }
    while (sqlite3_step(st) == SQLITE_ROW)
        c.ledgers.append(
            {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
             QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))),
             sqlite3_column_int64(st, 2)});
    sqlite3_finalize(st);
    c.problem = Check::None;
    return c;
}

Check newestGood() {
    for (const QString& path : dailyCopies()) {
        Check c = inspect(path);
        if (c.ok())
            return c;
    }
    return Check{};
}

bool unreadable(const QString& live, Depth depth) {
    const QFileInfo info(live);
    if (!info.isFile() || info.size() == 0)
        return false; // a new computer: the tables are made on first use
    return !inspect(live, depth).ok();
}

bool dailyDue(const QDate& today) {
    return !QFileInfo::exists(QDir(folder()).filePath(dailyName(today)));
}

QString setAside(const QString& live, const QDate& day) {
    const QFileInfo info(live);
    const QString stem = info.dir().filePath(info.completeBaseName() + QStringLiteral("-损坏-") +
                                             day.toString(Qt::ISODate));
    QString aside = stem + QStringLiteral(".db");
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".db");
    if (!QFile::rename(live, aside))
        return {};
    // A journal left beside the damaged file belongs to it, not to the copy put in its place.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (QFileInfo::exists(live + QLatin1String(suffix)))
            QFile::rename(live + QLatin1String(suffix), aside + QLatin1String(suffix));
    return aside;
}

QString restore(const QString& copyPath, const QString& live, bool liveDamaged,
                const QDateTime& now, QString* savedTo) {
    const Check c = inspect(copyPath);
    if (!c.ok())
        return refusal(c);
    // The pooled connection must not keep writing into the file being replaced.
    if (Db::currentEngine() == Db::Engine::Sqlite)
        Db::switchServer(Db::connection());
    if (!liveDamaged && QFileInfo::exists(live)) {
        const QString before = QDir(folder()).filePath(
            QStringLiteral("恢复前-云记账-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
            QStringLiteral(".db"));
        const QString error = copy(live, before);
        if (!error.isEmpty())
            return error;
        if (savedTo)
            *savedTo = before;
    }
    const QString error = copy(copyPath, live);
    if (error.isEmpty())
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            QFile::remove(live + QLatin1String(suffix));
    return error;
}

QString recoverDamaged(const QString& live, const QString& copyPath, const QDateTime& now,
                       QString* aside) {
    if (!inspect(copyPath).ok())
        return refusal(inspect(copyPath));
    if (Db::currentEngine() == Db::Engine::Sqlite)
        Db::switchServer(Db::connection());
    const QString kept = setAside(live, now.date());
    if (kept.isEmpty())
        return QStringLiteral("不能改名“") + live + QStringLiteral("”");
    const QString error = restore(copyPath, live, true, now);
    if (!error.isEmpty()) {
        // Without it the program would start a new, empty file in its place.
        QFile::remove(live);
        QFile::rename(kept, live);
        return error;
    }
    if (aside)
        *aside = kept;
    return {};
}

bool failureToSay(const QDate& today) {
    const QString key = QStringLiteral("FailureSaidOn");
    const QString day = today.toString(Qt::ISODate);
    if (Settings::GetSetting(Settings::kApp, QStringLiteral("Backup"), key) == day)
        return false;
    Settings::SaveSetting(Settings::kApp, QStringLiteral("Backup"), key, day);
    return true;
}

QString menuBackUp() {
    return QStringLiteral("备份数据");
}

QString menuRestore() {
    return QStringLiteral("恢复数据");
}

QString notEmbedded() {
    return QStringLiteral("数据在服务器上，由服务器的管理员备份；这里只备份和恢复内置数据库。");
}

QString proposedName(const QDate& day) {
    return dailyName(day);
}

QString backedUp(const QString& path) {
    return QStringLiteral("数据已经备份到：\r\r") + path;
}

QString backUpFailed(const QString& reason) {
    return QStringLiteral("备份数据没有成功：") + reason;
}

QString dailyFailed(const QString& reason) {
    return QStringLiteral("今天的自动备份没有成功：") + reason +
           QStringLiteral("\r\r记账不受影响。请检查备份文件夹“") + folder() +
           QStringLiteral("”能否写入、磁盘是否已满。");
}

QString refusal(const Check& c) {
    const QString name = QStringLiteral("“") + fileName(c.path) + QStringLiteral("”");
    switch (c.problem) {
    case Check::None:
        return {};
    case Check::Missing:
        return QStringLiteral("找不到文件") + name + QStringLiteral("！");
    case Check::NotDatabase:
        return name + QStringLiteral("不是云记账的数据文件，不能用来恢复数据！");
    case Check::Damaged:
        return name + QStringLiteral("已经损坏或不完整，不能用来恢复数据！");
    case Check::Tables:
        return name + QStringLiteral("里没有云记账的数据表，不能用来恢复数据！");
    case Check::Newer:
        return name + QStringLiteral("是新版本软件的数据文件，请先升级本软件再恢复数据！");
    }
    return {};
}

namespace {
QString ledgerLines(const Check& c) {
    QString s;
    for (const Ledger& l : c.ledgers)
        s += QStringLiteral("\r    《") + l.name + QStringLiteral("》（ID：") + l.id +
             QStringLiteral("）记录") + QString::number(l.entries) + QStringLiteral("条");
    if (c.ledgers.isEmpty())
        s += QStringLiteral("\r    （没有账本）");
    return s;
}
} // namespace

QString askRestore(const Check& c) {
    return QStringLiteral("要用") + c.date.toString(Qt::ISODate) +
           QStringLiteral("的备份恢复数据吗？备份里有：") + ledgerLines(c) +
           QStringLiteral("\r\r这个备份之后记的账都将被替换掉！现在的数据会先备份一份。");
}

QString restored(const Check& c, const QString& savedTo) {
    QString s = QStringLiteral("数据已经恢复到") + c.date.toString(Qt::ISODate) +
                QStringLiteral("的备份。");
    if (!savedTo.isEmpty())
        s += QStringLiteral("\r\r恢复前的数据备份在：\r") + savedTo;
    return s;
}

QString restoreFailed(const QString& reason) {
    return QStringLiteral("恢复数据没有成功，原来的数据没有改动：") + reason;
}

QString askRestoreDamaged(const QString& live, const Check& newest) {
    return QStringLiteral("内置数据库文件“") + live +
           QStringLiteral("”无法读取，可能已经损坏。\r\r找到") + newest.date.toString(Qt::ISODate) +
           QStringLiteral("的备份，里面有：") + ledgerLines(newest) +
           QStringLiteral("\r\r要用这个备份恢复数据吗？损坏的文件会改名保留，不会删除。");
}

QString damagedNoCopy(const QString& live) {
    return QStringLiteral("内置数据库文件“") + live +
           QStringLiteral("”无法读取，可能已经损坏，也没有找到可用的备份。");
}

QString damagedKept(const QString& asidePath) {
    return QStringLiteral("损坏的文件已改名保留为：\r") + asidePath;
}

QString pickTitle() {
    return menuRestore();
}

QString pickOther() {
    return QStringLiteral("选择其他文件…");
}

QString pickNoCopies() {
    return QStringLiteral("（还没有自动备份）");
}

} // namespace Backup

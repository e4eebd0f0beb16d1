#include "db/ledgermove.h"

#include "app/format.h"
#include "app/settings.h"
#include "db/secure.h"
#include "db/serversettings.h"
#include "db/sqliteschema.h"
#include "reports/audit.h"
#include "reports/likeclause.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace LedgerMove {

namespace {

const QString kMark = QStringLiteral("（已迁移）");

// A connection of the move's own, removed from Qt's list on every path.
class Own {
public:
    Own(const Db::Connection& c, const char* role) {
        // Two moves may run at once on threads of their own.
        static std::atomic<int> counter{0};
        name_ = QStringLiteral("zelvo-move-%1-%2").arg(QLatin1String(role)).arg(++counter);
        db_ = Db::configuredDatabase(c, name_);
        open_ = db_.isValid() && db_.open();
    }
    ~Own() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    Own(const Own&) = delete;
    Own& operator=(const Own&) = delete;
    bool open() const { return open_; }
    QSqlDatabase& db() { return db_; }
    QString error() const { return db_.lastError().text(); }

private:
    QString name_;
    QSqlDatabase db_;
    bool open_ = false;
};

// A value as a literal the target reads back unchanged: a NULL stays NULL, a number keeps every
// digit, a time keeps its seconds when it has any.
QString literal(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QStringLiteral("NULL");
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return shortestDecimal(v.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime t = v.toDateTime();
        return QLatin1Char('\'') +
               t.toString(t.time().second() ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                            : QStringLiteral("yyyy-MM-dd HH:mm")) +
               QLatin1Char('\'');
    }
    case QMetaType::QByteArray:
        return QLatin1Char('\'') + SqlStr(QString::fromUtf8(v.toByteArray())) + QLatin1Char('\'');
    default:
        return QLatin1Char('\'') + SqlStr(v.toString()) + QLatin1Char('\'');
    }
}

QString rowValues(const QSqlQuery& q, int columns) {
    QString s = QStringLiteral("(");
    for (int i = 0; i < columns; ++i) {
        if (i)
            s += QLatin1Char(',');
        s += literal(q.value(i));
    }
    return s + QLatin1Char(')');
}

// The retired rows of this ledger, however letter case compares on the engine: SQLite's LIKE
// ignores the case of ASCII letters, so there the id is also compared exactly.
QString retiredClause(const QString& zbid, Db::Engine engine) {
    QString s = QStringLiteral("ZBID like '%#") + Like::escaped(zbid) + QLatin1Char('#') +
                QString(Audit::kStampLength, QLatin1Char('_')) + QStringLiteral("' escape '") +
                QLatin1Char(Like::kEscape) + QLatin1Char('\'');
    if (engine == Db::Engine::Sqlite) {
        const int n = static_cast<int>(zbid.size()) + 2;
        s += QStringLiteral(" and substr(ZBID,-") + QString::number(n + Audit::kStampLength) +
             QLatin1Char(',') + QString::number(n) + QStringLiteral(")='#") + SqlStr(zbid) +
             QStringLiteral("#'");
    }
    return s;
}

Db::Engine dialect(Own& own, Db::Engine engine) {
    if (engine == Db::Engine::Odbc && own.db().driver() &&
        own.db().driver()->dbmsType() == QSqlDriver::PostgreSQL)
        return Db::Engine::Postgres;
    return engine;
}

bool readTally(Own& own, const QString& zbid, Db::Engine engine, Tally* t, int* statements) {
    QSqlQuery q(own.db());
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    ++*statements;
    if (!q.exec(tallyStatement(zbid, engine)))
        return false;
    *t = Tally{};
    while (q.next()) {
        const QString kind = q.value(0).toString();
        const qint64 count = q.value(2).toLongLong();
        if (kind == QLatin1String("I"))
            t->items.insert(q.value(1).toString(), {count, q.value(3).toDouble()});
        else if (kind == QLatin1String("R"))
            t->retired = count;
        else if (kind == QLatin1String("U"))
            t->operators = count;
        else if (kind == QLatin1String("Z"))
            t->ledgers = count;
    }
    t->read = true;
    return true;
}

bool missingTables(QSqlDatabase& db) {
    const QStringList present = db.tables(QSql::Tables);
    for (const char* table : {"Zblst", "UsrLst", "Zhang"})
        if (!present.contains(QLatin1String(table), Qt::CaseInsensitive))
            return true;
    return false;
}

// The tables on a target that has none yet, inside the move's transaction.
bool makeTables(QSqlDatabase& db, Db::Engine engine, int* statements) {
    QSqlQuery q(db);
    if (engine == Db::Engine::Sqlite) {
        for (const QString& s : Db::sqliteSchemaStatements()) {
            ++*statements;
            if (!q.exec(s))
                return false;
        }
        return true;
    }
    if (engine != Db::Engine::Postgres)
        return false;
    QFile script(QStringLiteral(":/schema/postgresql.sql"));
    ++*statements;
    return script.open(QIODevice::ReadOnly) && q.exec(QString::fromUtf8(script.readAll()));
}

// "Engine|server|database" of a connection: the place a ledger was moved from.
QString placeKey(const Db::Connection& c, const QString& zbid) {
    const QString file =
        c.engine == Db::Engine::Sqlite ? Db::sqliteFilePath(c.database) : c.database;
    const QByteArray key = (ServerSettings::engineWord(c.engine) + QChar(0x1f) + c.server +
                            QChar(0x1f) + file + QChar(0x1f) + zbid)
                               .toUtf8();
    return QStringLiteral("Moved-") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
}

} // namespace

int chunkRows(Db::Engine target) {
    return target == Db::Engine::Odbc ? 1000 : 5000;
}

int chunkChars(Db::Engine target) {
    return target == Db::Engine::Sqlite ? 300000 : 4000000;
}

qint64 Tally::entries() const {
    qint64 n = 0;
    for (const auto& item : items)
        n += item.first;
    return n;
}

bool agree(const Tally& a, const Tally& b) {
    if (!a.read || !b.read || a.ledgers != b.ledgers || a.operators != b.operators ||
        a.retired != b.retired || a.items.size() != b.items.size())
        return false;
    for (auto it = a.items.cbegin(); it != a.items.cend(); ++it) {
        const auto other = b.items.constFind(it.key());
        if (other == b.items.cend() || other->first != it->first)
            return false;
        // Sums of the same numbers added in another order differ in the last bits only.
        const double scale = std::max({1.0, std::fabs(it->second), std::fabs(other->second)});
        if (std::fabs(it->second - other->second) > 1e-9 * scale)
            return false;
    }
    return true;
}

QString entriesStatement(const QString& zbid) {
    return QStringLiteral("select ZBID,USR,TM,ID,ITEM,SL,BZ from Zhang where ZBID='") +
           SqlStr(zbid) + QStringLiteral("' or ") + retiredClause(zbid, Db::Engine::Odbc);
}

QString tallyStatement(const QString& zbid, Db::Engine engine) {
    const QString id = SqlStr(zbid);
    return QStringLiteral("select 'I',ITEM,count(*),sum(SL) from Zhang where ZBID='") + id +
           QStringLiteral("' group by ITEM union all select 'R','',count(*),0 from Zhang where ") +
           retiredClause(zbid, engine) +
           QStringLiteral(" union all select 'U','',count(*),0 from UsrLst where ZBID='") + id +
           QStringLiteral("' union all select 'Z','',count(*),0 from Zblst where ZBid='") + id +
           QLatin1Char('\'');
}

QString prepareOperators(QSqlDatabase& target, const QString& zbid, const QStringList& operators,
                         const QStringList& passwords) {
    // A server that enforces rights lets each operator in by a login role of his own, made by
    // the owner who moves the ledger; the passwords then live only in the roles.
    if (target.driver()->dbmsType() != QSqlDriver::PostgreSQL || operators.isEmpty())
        return {};
    QSqlQuery q(target);
    if (!q.exec(QStringLiteral("select count(*) from pg_proc where proname='zelvo_open_ledger'")))
        return q.lastError().text();
    if (!q.next() || q.value(0).toInt() == 0)
        return {};
    QStringList rows;
    for (int i = 0; i < operators.size(); ++i)
        rows << QStringLiteral("('%1','%2')")
                    .arg(SqlStr(operators[i]), SqlStr(passwords.value(i).isEmpty()
                                                          ? Db::noPasswordText(zbid, operators[i])
                                                          : passwords.value(i)));
    const QString z = SqlStr(zbid);
    if (!q.exec(QStringLiteral("select zelvo_private.make_role(zelvo_role_name('") + z +
                QStringLiteral("', u), p) from (values ") + rows.join(QLatin1Char(',')) +
                QStringLiteral(") v(u, p)")) ||
        !q.exec(QStringLiteral("update usrlst set pwd='' where zbid='") + z + QLatin1Char('\'')))
        return q.lastError().text();
    return {};
}

Outcome copy(const Db::Connection& from, const Db::Connection& to, const QString& zbid,
             const std::function<void(qint64, qint64)>& progress) {
    Outcome o;
    QElapsedTimer clock;
    clock.start();
    Own source(from, "from");
    Own target(to, "to");
    if (!source.open() || !target.open()) {
        o.error = source.open() ? target.error() : source.error();
        return o;
    }
    const Db::Engine sourceDialect = dialect(source, from.engine);
    const Db::Engine targetDialect = dialect(target, to.engine);
    const QString id = SqlStr(zbid);

    // The source, read in three statements and counted in a fourth.
    QSqlQuery read(source.db());
    read.setForwardOnly(true);
    read.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    const auto fail = [&](QSqlQuery& q) {
        o.status = Outcome::Failed;
        o.error = q.lastError().text();
        o.milliseconds = clock.elapsed();
        return o;
    };
    ++o.sourceStatements;
    if (!read.exec(QStringLiteral("select ZBid,ZbNm,Item,SL,Bz,BgDate,NdDate,MB,SalesMan,Msg,Cmd,"
                                  "GongGao from Zblst where ZBid='") +
                   id + QLatin1Char('\'')))
        return fail(read);
    if (!read.next()) {
        o.status = Outcome::NotFound;
        return o;
    }
    const QString ledgerInsert = QStringLiteral("insert into Zblst (ZBid,ZbNm,Item,SL,Bz,BgDate,"
                                                "NdDate,MB,SalesMan,Msg,Cmd,GongGao) values ") +
                                 rowValues(read, 12);
    ++o.sourceStatements;
    if (!read.exec(QStringLiteral("select ZBID,Usr,Pwd,QX from UsrLst where ZBID='") + id +
                   QLatin1Char('\'')))
        return fail(read);
    QStringList operatorRows, operators, passwords;
    while (read.next()) {
        operatorRows.append(rowValues(read, 4));
        operators.append(read.value(1).toString());
        passwords.append(read.value(2).toString());
    }
    const QString head = QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ");
    QStringList entryInserts;
    QString chunk;
    int rowsInChunk = 0;
    qint64 entries = 0;
    QList<qint64> entriesAfter;
    ++o.sourceStatements;
    if (!read.exec(entriesStatement(zbid)))
        return fail(read);
    const int rows = chunkRows(targetDialect), chars = chunkChars(targetDialect);
    while (read.next()) {
        const QString marker = read.value(0).toString();
        // The pattern may match another ledger whose id differs in letter case only.
        if (marker != zbid && !Audit::parseMarker(marker, zbid))
            continue;
        const QString values = rowValues(read, 7);
        if (rowsInChunk > 0 && (rowsInChunk >= rows || chunk.size() + values.size() > chars)) {
            entryInserts.append(chunk);
            entriesAfter.append(entries);
            chunk.clear();
            rowsInChunk = 0;
        }
        chunk += rowsInChunk ? QStringLiteral(",") + values : head + values;
        ++rowsInChunk;
        ++entries;
    }
    if (rowsInChunk) {
        entryInserts.append(chunk);
        entriesAfter.append(entries);
    }
    read.finish();
    if (!readTally(source, zbid, sourceDialect, &o.source, &o.sourceStatements))
        return fail(read);

    // The target: everything or nothing.
    QSqlQuery write(target.db());
    const auto rollback = [&](Outcome::Status status, const QString& error) {
        write.finish();
        target.db().rollback();
        o.status = status;
        o.error = error;
        o.milliseconds = clock.elapsed();
        return o;
    };
    const bool noTables = missingTables(target.db());
    if (!target.db().transaction())
        return rollback(Outcome::Failed, target.error());
    if (noTables && !makeTables(target.db(), targetDialect, &o.targetStatements))
        return rollback(Outcome::NoTables, write.lastError().text());
    ++o.targetStatements;
    if (!write.exec(QStringLiteral("select (select count(*) from Zblst where ZBid='") + id +
                    QStringLiteral("')+(select count(*) from UsrLst where ZBID='") + id +
                    QStringLiteral("')+(select count(*) from Zhang where ZBID='") + id +
                    QStringLiteral("')")) ||
        !write.next())
        return rollback(Outcome::Failed, write.lastError().text());
    if (write.value(0).toLongLong() > 0)
        return rollback(Outcome::Exists, {});
    QStringList inserts{ledgerInsert};
    if (!operatorRows.isEmpty())
        inserts.append(QStringLiteral("insert into UsrLst (ZBID,Usr,Pwd,QX) values ") +
                       operatorRows.join(QLatin1Char(',')));
    for (const QString& s : inserts) {
        ++o.targetStatements;
        if (!write.exec(s)) {
            // Another computer moving the same ledger got there first: its key is taken.
            static const QStringList kTaken = {QStringLiteral("23505"), QStringLiteral("2067"),
                                               QStringLiteral("1555"), QStringLiteral("2627")};
            const bool taken =
                s == ledgerInsert && kTaken.contains(write.lastError().nativeErrorCode());
            return rollback(taken ? Outcome::Exists : Outcome::Failed, write.lastError().text());
        }
    }
    const QString roles = prepareOperators(target.db(), zbid, operators, passwords);
    if (!roles.isEmpty())
        return rollback(Outcome::Failed, roles);
    for (int i = 0; i < entryInserts.size(); ++i) {
        ++o.targetStatements;
        if (!write.exec(entryInserts[i]))
            return rollback(Outcome::Failed, write.lastError().text());
        if (progress)
            progress(entriesAfter[i], entries);
    }
    write.finish();
    ++o.targetStatements;
    if (!target.db().commit())
        return rollback(Outcome::Failed, target.error());
    readTally(target, zbid, targetDialect, &o.target, &o.targetStatements);
    o.status = Outcome::Moved;
    o.milliseconds = clock.elapsed();
    return o;
}

void markMoved(const Db::Connection& from, const QString& zbid, const Db::Connection& to) {
    ServerSettings::saveIn(placeKey(from, zbid), to);
}

std::optional<Db::Connection> movedTo(const Db::Connection& from, const QString& zbid) {
    if (zbid.isEmpty())
        return std::nullopt;
    return ServerSettings::loadFrom(placeKey(from, zbid));
}

QString marked(const QString& name) {
    return name + kMark;
}

QString unmarked(const QString& name) {
    return name.endsWith(kMark) ? name.chopped(kMark.size()) : name;
}

QString menuMove() {
    return QStringLiteral("迁移到服务器");
}

QString menuCopy() {
    return QStringLiteral("复制到本机");
}

QString moveTitle() {
    return menuMove();
}

QString copyTitle() {
    return menuCopy();
}

QString notEmbedded() {
    return QStringLiteral("这个账本已经在服务器上；只有内置数据库里的账本才需要迁移到服务器。");
}

QString notOnServer() {
    return QStringLiteral("这个账本就在本机的内置数据库里，不需要复制到本机。");
}

QString chooseServerFirst() {
    return QStringLiteral("请选择要迁移到的服务器（PostgreSQL 或 SQL Server）！");
}

QString chooseEmbeddedFirst() {
    return QStringLiteral("复制到本机只能选择内置数据库！");
}

QString progressCaption(qint64 done, qint64 total) {
    return QStringLiteral("正在复制记录：") + QString::number(done) + QStringLiteral(" / ") +
           QString::number(total);
}

QString where(const Db::Connection& c) {
    if (c.engine == Db::Engine::Sqlite)
        return QStringLiteral("本机内置数据库（") + Db::sqliteFilePath(c.database) +
               QStringLiteral("）");
    return QStringLiteral("服务器 ") + c.server + QStringLiteral(" 的数据库“") + c.database +
           QStringLiteral("”");
}

QString result(const Outcome& o, const QString& zbid, const Db::Connection& to,
               const QString& itemWord) {
    switch (o.status) {
    case Outcome::NotFound:
        return QStringLiteral("找不到ID为“") + zbid + QStringLiteral("”的账本，没有复制任何数据。");
    case Outcome::Exists:
        return where(to) + QStringLiteral("上已经有ID为“") + zbid +
               QStringLiteral("”的账本，没有写入任何数据。");
    case Outcome::NoTables:
        return where(to) +
               QStringLiteral("上还没有云记账的数据表，也不能建立，没有写入任何数据：") + o.error;
    case Outcome::Failed:
        return QStringLiteral("复制没有完成，") + where(to) +
               QStringLiteral("上没有写入任何数据，原来的账本没有改动：") + o.error;
    case Outcome::Moved:
        break;
    }
    const auto line = [](const QString& what, qint64 a, qint64 b) {
        return QStringLiteral("\r") + what + QStringLiteral("：原来") + QString::number(a) +
               QStringLiteral("，现在") + QString::number(b) +
               (a == b ? QString() : QStringLiteral("  ← 不一致"));
    };
    QString s = (agree(o.source, o.target) ? QStringLiteral("账本已经完整复制到")
                                           : QStringLiteral("复制后两边的数据不一致，请核对！\r\r"
                                                            "目标：")) +
                where(to) + QStringLiteral("。\r") +
                line(QStringLiteral("操作员"), o.source.operators, o.target.operators) +
                line(QStringLiteral("记录"), o.source.entries(), o.target.entries()) +
                line(QStringLiteral("已删除或修改前的记录"), o.source.retired, o.target.retired);
    int differing = 0;
    for (auto it = o.source.items.cbegin(); it != o.source.items.cend(); ++it) {
        const auto other = o.target.items.value(it.key(), {-1, 0});
        Tally a, b;
        a.read = b.read = true;
        a.items.insert(it.key(), *it);
        b.items.insert(it.key(), other);
        if (!agree(a, b)) {
            ++differing;
            s += QStringLiteral("\r“") + it.key() + QStringLiteral("”的合计：原来") +
                 shortestDecimal(it->second) + QStringLiteral("，现在") +
                 shortestDecimal(other.second) + QStringLiteral("  ← 不一致");
        }
    }
    if (differing == 0)
        s += QStringLiteral("\r") + QString::number(o.source.items.size()) + QStringLiteral("个") +
             itemWord + QStringLiteral("的合计两边全部一致。");
    return s;
}

QString askOpenMoved(const QString& name, const Db::Connection& to) {
    return QStringLiteral("账本《") + name + QStringLiteral("》已经迁移到") + where(to) +
           QStringLiteral("，这里的是迁移前的数据。\r\r是否打开迁移后的账本？");
}

} // namespace LedgerMove

#include "db/sqlaccess.h"

#include "app/clock.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "app/mask.h"
#include "db/dbconfig.h"
#include "db/sqliteschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

#include <libpq-fe.h>
#include <poll.h>
#include <sqlite3.h>

#include <optional>
#include <vector>

using namespace MainBas;

// QT_LOGGING_RULES="zelvo.sql.info=true" shows why statements fail.
Q_LOGGING_CATEGORY(lcSql, "zelvo.sql", QtWarningMsg)

namespace {

struct MaskedConnection {
    Db::Engine engine = Db::Engine::Sqlite;
    QString server, login, password, database;
    Db::Encryption encryption = Db::Encryption::Off;
    QString caFile;
    QString sessionLogin, sessionPassword; // empty: the settings' login
};

MaskedConnection masked;
QString openError;
std::function<void(bool)> busyHandler;
bool lostConnection = false;
Db::Failure failure = Db::Failure::None;
int actionDepth = 0;
bool actionUnreachable = false;
QString lastError; // the driver's code of the last failure of RunSql or RunSqlBatch

class BusyGuard {
public:
    BusyGuard() {
        if (busyHandler)
            busyHandler(true);
    }
    ~BusyGuard() {
        if (busyHandler)
            busyHandler(false);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
};

Db::Connection unmasked() {
    return {masked.engine,
            UnmaskStr(masked.server),
            UnmaskStr(masked.login),
            UnmaskStr(masked.password),
            UnmaskStr(masked.database),
            masked.encryption,
            UnmaskStr(masked.caFile)};
}

// What the pooled connection logs in with: the operator's role once one has logged in.
Db::Connection effective() {
    Db::Connection c = unmasked();
    if (!masked.sessionLogin.isEmpty()) {
        c.login = UnmaskStr(masked.sessionLogin);
        c.password = UnmaskStr(masked.sessionPassword);
    }
    return c;
}

enum class Kind { None, Query, Command };

Kind classify(const QString& statement) {
    const QString trimmed = trimBlanks(statement);
    if (trimmed.size() <= 6)
        return Kind::None;
    const QString first = trimmed.left(7).toUpper();
    if (first == QLatin1String("SELECT "))
        return Kind::Query;
    if (first == QLatin1String("DELETE ") || first == QLatin1String("UPDATE ") ||
        first == QLatin1String("INSERT "))
        return Kind::Command;
    return Kind::None;
}

void sqliteGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
    const QByteArray now = Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    sqlite3_result_text(ctx, now.constData(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
}

void registerGetdate(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    sqlite3* raw = *static_cast<sqlite3* const*>(handle.constData());
    if (raw)
        sqlite3_create_function(raw, "getdate", 0, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                &sqliteGetdate, nullptr, nullptr);
}

// The embedded database gets its tables the first time this run opens its file.
void ensureSqliteSchema(QSqlDatabase& db) {
    static QSet<QString> ready;
    if (ready.contains(db.databaseName()))
        return;
    QSqlQuery query(db);
    for (const QString& statement : Db::sqliteSchemaStatements())
        if (!query.exec(statement))
            return;
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next() &&
        query.value(0).toInt() == 0)
        query.exec(QStringLiteral("PRAGMA user_version = ") +
                   QString::number(Db::kSqliteSchemaVersion));
    ready.insert(db.databaseName());
}

bool configure(QSqlDatabase& db, const Db::Connection& c) {
    switch (c.engine) {
    case Db::Engine::Sqlite: {
        const QString path = Db::sqliteFilePath(c.database);
        QDir().mkpath(QFileInfo(path).absolutePath());
        db.setDatabaseName(path);
        return true;
    }
    case Db::Engine::Postgres: {
        const QStringList hostPort = c.server.split(QLatin1Char(','));
        db.setHostName(hostPort.value(0).trimmed());
        if (hostPort.size() > 1)
            db.setPort(hostPort.value(1).trimmed().toInt());
        db.setUserName(c.login);
        db.setPassword(c.password);
        db.setDatabaseName(c.database);
        db.setConnectOptions(Db::postgresOptions(c));
        return true;
    }
    case Db::Engine::Odbc:
        db.setDatabaseName(Db::odbcConnectionString(c));
        // Without a limit an address that drops packets holds the window until the system
        // gives up, minutes later.
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
        return true;
    }
    return false;
}

QString driverName(Db::Engine engine) {
    switch (engine) {
    case Db::Engine::Sqlite:
        return QStringLiteral("QSQLITE");
    case Db::Engine::Postgres:
        return QStringLiteral("QPSQL");
    case Db::Engine::Odbc:
        return QStringLiteral("QODBC");
    }
    return {};
}

QString timeText(const QTime& t) {
    return t.toString(t.second() != 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

// The same value gives the same text on every engine.
QString valueText(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return shortestDecimal(v.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return DateStr(dt.date()) + QLatin1Char(' ') + timeText(dt.time());
    }
    case QMetaType::QDate:
        return DateStr(v.toDate());
    case QMetaType::QTime:
        return timeText(v.toTime());
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

void fillTable(QSqlQuery& query) {
    const QSqlRecord record = query.record();
    const int cols = record.count();
    std::vector<QStringList> rows(1);
    for (int j = 0; j < cols; ++j)
        rows[0].append(record.fieldName(j));
    while (query.next()) {
        QStringList row;
        row.reserve(cols);
        for (int j = 0; j < cols; ++j)
            row.append(valueText(query.value(j)));
        rows.push_back(std::move(row));
    }
    const int count = static_cast<int>(rows.size()) - 1;
    // Two spare rows, as callers may look one row past the data.
    rows.resize(rows.size() + 2);
    SqlCols = cols;
    SqlRowMax = count + 1;
    SqlRows.assign(std::move(rows));
}

enum class Want { Table, FirstValue };

// Whether the server has closed a PostgreSQL connection, asked of its socket without a round
// trip. Nothing is due on an idle session of this program: whatever arrives is the server's
// goodbye (a terminated backend, a restart). nullopt for a connection that is not PostgreSQL.
std::optional<bool> postgresClosed(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return std::nullopt;
    PGconn* conn = *static_cast<PGconn* const*>(handle.constData());
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return true;
    pollfd p{PQsocket(conn), POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    if (ready == 0)
        return false;
    PQconsumeInput(conn);
    return true;
}

Db::Engine dialectOf(QSqlDatabase& db) {
    // An ODBC source may itself be PostgreSQL, which does not speak "top N" either.
    if (masked.engine == Db::Engine::Odbc && db.driver()->dbmsType() == QSqlDriver::PostgreSQL)
        return Db::Engine::Postgres;
    return masked.engine;
}

// Empty when the statement failed.
std::optional<QString> runOn(QSqlDatabase& db, const QString& statement, Kind kind, Want want) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.exec(Db::dialectFor(dialectOf(db), statement))) {
        qCInfo(lcSql) << statement << query.lastError().text();
        lastError = query.lastError().nativeErrorCode();
        return std::nullopt;
    }
    if (kind == Kind::Command)
        return QStringLiteral("OK");
    if (want == Want::FirstValue)
        return query.next() ? valueText(query.value(0)) : QString();
    fillTable(query);
    return QString::number(SqlRowMax - 1);
}

// One open connection per set of connection values, reused by every call, as the original
// platform's driver manager pooled them, and reopened when found dead. PostgreSQL's is checked
// by its socket before each call, and with a round trip only after a long idle, when a NAT may
// have dropped it silently; a connection that cannot be asked (ODBC) gets the round trip after a
// short idle or a failed statement.
class Pool {
public:
    ~Pool() { drop(); }

    // An open connection for `c`, or nullptr.
    QSqlDatabase* acquire(const Db::Connection& c) {
        const QString key = keyOf(masked);
        if (key != key_)
            drop();
        if (open_ && !usable())
            drop();
        if (!open_ && !connect(c, key))
            return nullptr;
        return &db_;
    }

    // After a statement: `failed` makes the next call check the connection first.
    void release(bool failed) {
        suspect_ = failed;
        idle_.start();
    }

    // The connection broke under the last statement (and not the statement itself).
    bool broken() {
        if (!open_)
            return true;
        const std::optional<bool> closed = postgresClosed(db_);
        if (closed ? !*closed : alive())
            return false;
        drop();
        return true;
    }

    // The connection now open for the current values, or nullptr; never connects.
    QSqlDatabase* current() { return open_ && key_ == keyOf(masked) ? &db_ : nullptr; }

    void drop() {
        if (!key_.isEmpty()) {
            db_.close();
            db_ = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
        }
        key_.clear();
        open_ = false;
    }

private:
    // Made of the masked values: the plain ones are never kept between calls.
    static QString keyOf(const MaskedConnection& c) {
        return QString::number(static_cast<int>(c.engine)) + QChar(1) + c.server + QChar(1) +
               c.login + QChar(1) + c.password + QChar(1) + c.database + QChar(1) +
               QString::number(static_cast<int>(c.encryption)) + QChar(1) + c.caFile + QChar(1) +
               c.sessionLogin + QChar(1) + c.sessionPassword;
    }

    bool usable() {
        if (masked.engine == Db::Engine::Sqlite)
            return true; // a local file cannot go away under an open handle
        const qint64 idle = idle_.isValid() ? idle_.elapsed() : kLongIdleMs + 1;
        if (const std::optional<bool> closed = postgresClosed(db_))
            return !*closed && (idle <= kLongIdleMs || alive());
        return !(suspect_ || idle > kIdleCheckMs) || alive();
    }

    bool alive() {
        QSqlQuery ping(db_);
        return ping.exec(QStringLiteral("select 1"));
    }

    bool connect(const Db::Connection& c, const QString& key) {
        static int counter = 0;
        name_ = QStringLiteral("zelvo-%1").arg(++counter);
        key_ = key;
        db_ = QSqlDatabase::addDatabase(driverName(c.engine), name_);
        if (!db_.isValid() || !configure(db_, c) || !db_.open()) {
            openError = db_.isValid() ? db_.lastError().text() : QStringLiteral("no driver");
            drop();
            return false;
        }
        if (c.engine == Db::Engine::Sqlite) {
            // A file that is not a database, or a damaged copy, opens without complaint: its
            // catalogue must be read before anyone takes it for an empty one and fills it.
            bool readable = false;
            {
                QSqlQuery probe(db_);
                readable = probe.exec(QStringLiteral("select count(*) from sqlite_master"));
            }
            if (!readable) {
                drop();
                return false;
            }
            registerGetdate(db_);
            ensureSqliteSchema(db_);
        }
        // The open connection no longer needs them; a reconnect sets them afresh.
        db_.setPassword(QString());
        if (c.engine == Db::Engine::Odbc) {
            Db::Connection withoutPassword = c;
            withoutPassword.password.clear();
            db_.setDatabaseName(Db::odbcConnectionString(withoutPassword));
        }
        openError.clear();
        open_ = true;
        suspect_ = false;
        idle_.start();
        return true;
    }

    static constexpr qint64 kIdleCheckMs = 2000;
    static constexpr qint64 kLongIdleMs = 5 * 60 * 1000;
    QSqlDatabase db_;
    QString name_;
    QString key_;
    bool open_ = false;
    bool suspect_ = false;
    QElapsedTimer idle_;
};

Pool& pool() {
    static Pool* p = [] {
        auto* created = new Pool;
        // Closed before the drivers unload, so no "connection still in use" at exit.
        qAddPostRoutine([] { pool().drop(); });
        return created;
    }();
    return *p;
}

// The pooled connection for the values now set, or nullptr with the failure noted. Within an
// action that has already failed to connect, no second attempt is made.
QSqlDatabase* acquire() {
    if (actionDepth > 0 && actionUnreachable) {
        failure = Db::Failure::NotReached;
        return nullptr;
    }
    QSqlDatabase* db = pool().acquire(effective());
    // A login the server refused was answered: asking it something else as another login (the
    // guest, after an operator's password was refused) is no second attempt at a dead link.
    const bool refused = !db && Db::isAuthenticationRefusal(openError);
    failure = db ? Db::Failure::None : refused ? Db::Failure::Refused : Db::Failure::NotReached;
    actionUnreachable = !db && !refused && actionDepth > 0;
    return db;
}

QString run(const QString& statement, Want want) {
    const Kind kind = classify(statement);
    BusyGuard busy;
    lastError.clear();
    QSqlDatabase* db = acquire();
    if (!db)
        return {};
    if (kind == Kind::None) {
        pool().release(false);
        failure = Db::Failure::Refused;
        return {};
    }
    std::optional<QString> result = runOn(*db, statement, kind, want);
    lostConnection = false;
    if (!result)
        failure = Db::Failure::Refused;
    bool suspect = false;
    // A query may go again on a fresh connection when the old one had died; a command never
    // does, since its reply, not the command, may be what was lost.
    if (!result && pool().broken()) {
        failure = Db::Failure::Lost;
        lostConnection = kind == Kind::Command;
        if (kind == Kind::Query) {
            db = acquire();
            if (db) {
                result = runOn(*db, statement, kind, want);
                if (!result)
                    failure = Db::Failure::Refused;
            }
            suspect = !result;
        }
    }
    if (result)
        lastError.clear();
    pool().release(suspect);
    return result.value_or(QString());
}

QString runBatch(const QStringList& statements, const QList<int>& expectRows,
                 QList<int>* rowsChanged, const std::function<void(int)>& progress) {
    if (rowsChanged)
        rowsChanged->clear();
    for (const QString& statement : statements)
        if (classify(statement) != Kind::Command)
            return {};
    BusyGuard busy;
    lastError.clear();
    lostConnection = false;
    QSqlDatabase* db = acquire();
    if (!db)
        return {};
    if (!db->transaction()) {
        pool().drop();
        failure = Db::Failure::Lost;
        return {};
    }
    QString result = QStringLiteral("OK");
    QSqlQuery query(*db);
    for (int i = 0; i < statements.size() && result == QLatin1String("OK"); ++i) {
        if (!query.exec(Db::dialectFor(dialectOf(*db), statements[i]))) {
            lastError = query.lastError().nativeErrorCode();
            result.clear();
            break;
        }
        const int rows = query.numRowsAffected();
        if (rowsChanged)
            rowsChanged->append(rows);
        const int want = expectRows.value(i, -1);
        if (want >= 0 && rows != want)
            result = QStringLiteral("ROWS");
        if (progress)
            progress(i + 1);
    }
    query.finish();
    bool closed = true;
    if (result == QLatin1String("OK") && !db->commit()) {
        lastError = db->lastError().nativeErrorCode();
        result.clear();
        closed = false;
    }
    if (result != QLatin1String("OK"))
        closed = db->rollback();
    if (result.isEmpty())
        failure = closed ? Db::Failure::Refused : Db::Failure::Lost;
    // A connection whose transaction could not be ended would hold every later command in it.
    if (closed)
        pool().release(result.isEmpty());
    else
        pool().drop();
    lostConnection = !closed;
    return result;
}

} // namespace

namespace Db {

Connection builtInConnection() {
    Connection c;
    const QString engine = QStringLiteral(ZELVO_DB_ENGINE).toUpper();
    c.engine = engine == QLatin1String("PSQL")   ? Engine::Postgres
               : engine == QLatin1String("ODBC") ? Engine::Odbc
                                                 : Engine::Sqlite;
    c.server = QStringLiteral(ZELVO_DB_SERVER);
    c.login = QStringLiteral(ZELVO_DB_LOGIN);
    c.password = QStringLiteral(ZELVO_DB_PASSWORD);
    c.database = QStringLiteral(ZELVO_DB_NAME);
    return c;
}

void setConnection(const Connection& plain) {
    masked.engine = plain.engine;
    masked.server = MaskStr(plain.server);
    masked.login = MaskStr(plain.login);
    masked.password = MaskStr(plain.password);
    masked.database = MaskStr(plain.database);
    masked.encryption = plain.encryption;
    masked.caFile = MaskStr(plain.caFile);
}

Connection connection() {
    return unmasked();
}

void switchServer(const Connection& plain) {
    setConnection(plain);
    clearSessionLogin();
    pool().drop();
    SrvDate.clear();
    SrvDay = 0;
    SrvReadOn = QDate();
}

QString postgresOptions(const Connection& plain) {
    // A time limit to connect, and keepalives so that a dead link is noticed by the system
    // rather than by a statement that never returns. Statements themselves have no limit.
    QString o = QStringLiteral("connect_timeout=10;keepalives=1;keepalives_idle=60;"
                               "keepalives_interval=10;keepalives_count=3;sslmode=");
    switch (plain.encryption) {
    case Encryption::Off:
        return o + QStringLiteral("disable");
    case Encryption::Prefer:
        return o + QStringLiteral("prefer");
    case Encryption::Require:
        return o + QStringLiteral("require");
    case Encryption::VerifyCertificate:
        break;
    }
    QString ca = plain.caFile;
    ca.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return o + QStringLiteral("verify-full;sslrootcert='") + ca + QLatin1Char('\'');
}

QStringList missingTables(bool* reached) {
    BusyGuard busy;
    QSqlDatabase* db = acquire();
    if (reached)
        *reached = db != nullptr;
    if (!db)
        return {};
    const QStringList present = db->tables(QSql::Tables);
    QStringList missing;
    for (const QString& table :
         {QStringLiteral("Zblst"), QStringLiteral("UsrLst"), QStringLiteral("Zhang")})
        if (!present.contains(table, Qt::CaseInsensitive))
            missing.append(table);
    pool().release(false);
    return missing;
}

QString runScript(const QString& script) {
    BusyGuard busy;
    QSqlDatabase* db = acquire();
    if (!db)
        return QStringLiteral("-");
    const bool inTransaction = db->transaction();
    QSqlQuery query(*db);
    if (!query.exec(script)) {
        const QString error = query.lastError().text();
        if (inTransaction)
            db->rollback();
        pool().release(true);
        return error.isEmpty() ? QStringLiteral("-") : error;
    }
    query.finish();
    if (inTransaction && !db->commit()) {
        const QString error = db->lastError().text();
        pool().release(true);
        return error.isEmpty() ? QStringLiteral("-") : error;
    }
    pool().release(false);
    return QStringLiteral("OK");
}

QString schemaScript() {
    const Engine dialect = currentDialect();
    if (dialect == Engine::Sqlite)
        return {};
    QFile file(dialect == Engine::Postgres ? QStringLiteral(":/schema/postgresql.sql")
                                           : QStringLiteral(":/schema/sqlserver.sql"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString secureSchemaScript() {
    QFile file(QStringLiteral(":/schema/postgresql-secure.sql"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QSqlDatabase configuredDatabase(const Connection& plain, const QString& name) {
    QSqlDatabase db = QSqlDatabase::addDatabase(driverName(plain.engine), name);
    if (db.isValid())
        configure(db, plain);
    return db;
}

Engine currentEngine() {
    return masked.engine;
}

Engine currentDialect() {
    QSqlDatabase* db = pool().current();
    return db ? dialectOf(*db) : masked.engine;
}

QString sqliteFilePath(const QString& database) {
    if (database.contains(QLatin1Char('/')))
        return database;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') +
           database + QStringLiteral(".db");
}

QString odbcConnectionString(const Connection& plain) {
    // Encrypt is the SQL Server driver's word, Encryption FreeTDS's; each ignores the other's.
    static const QString kEncryption[] = {
        QString(), QStringLiteral(";Encryption=request"),
        QStringLiteral(";Encrypt=yes;TrustServerCertificate=yes;Encryption=require"),
        QStringLiteral(";Encrypt=yes;TrustServerCertificate=no;Encryption=require")};
    return QStringLiteral("DRIVER=SQL Server;SERVER=") + plain.server + QStringLiteral(";UID=") +
           plain.login + QStringLiteral(";PWD=") + plain.password + QStringLiteral(";DATABASE=") +
           plain.database + kEncryption[static_cast<int>(plain.encryption)];
}

void setSessionLogin(const QString& role, const QString& password) {
    masked.sessionLogin = MaskStr(role);
    masked.sessionPassword = MaskStr(password);
}

void clearSessionLogin() {
    masked.sessionLogin.clear();
    masked.sessionPassword.clear();
}

bool hasSessionLogin() {
    return !masked.sessionLogin.isEmpty();
}

void dropConnection() {
    pool().drop();
}

QString lastOpenError() {
    return openError;
}

QString encryptPassword(const QString& password, const QString& role) {
    QSqlDatabase* db = pool().acquire(effective());
    if (!db)
        return {};
    const QVariant handle = db->driver()->handle();
    pool().release(false);
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return {};
    PGconn* conn = *static_cast<PGconn* const*>(handle.constData());
    // The algorithm named: libpq would otherwise ask the server which one it uses.
    char* verifier = PQencryptPasswordConn(conn, password.toUtf8().constData(),
                                           role.toUtf8().constData(), "scram-sha-256");
    if (!verifier)
        return {};
    const QString text = QString::fromUtf8(verifier);
    PQfreemem(verifier);
    return text;
}

LoginCheck checkLogin(const QString& role, const QString& password) {
    static int counter = 0;
    const QString name = QStringLiteral("zelvo-check-%1").arg(++counter);
    LoginCheck result = LoginCheck::Unreachable;
    {
        BusyGuard busy;
        Connection c = unmasked();
        c.login = role;
        c.password = password;
        QSqlDatabase db = configuredDatabase(c, name);
        if (db.isValid() && db.open()) {
            result = LoginCheck::Accepted;
            db.close();
        } else if (db.isValid() && isAuthenticationRefusal(db.lastError().text())) {
            result = LoginCheck::Refused;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

bool isAuthenticationRefusal(const QString& driverText) {
    // libpq says the same for a wrong password and for a role that is not there.
    return driverText.contains(QLatin1String("password authentication failed"),
                               Qt::CaseInsensitive) ||
           driverText.contains(QLatin1String("no password supplied"), Qt::CaseInsensitive);
}

bool lastCommandLostConnection() {
    return lostConnection;
}

Failure lastFailure() {
    return failure;
}

Action::Action() {
    if (actionDepth++ == 0)
        actionUnreachable = false;
}

Action::~Action() {
    if (--actionDepth == 0)
        actionUnreachable = false;
}

QString lastErrorCode() {
    return lastError;
}

void setBusyHandler(std::function<void(bool)> handler) {
    busyHandler = std::move(handler);
}

QString dialectFor(Engine engine, const QString& statement) {
    // Only a query begins "select top": a long insert is not searched through for it.
    const QStringView start = QStringView(statement).trimmed().left(64);
    if (engine == Engine::Odbc || !start.startsWith(u"select", Qt::CaseInsensitive) ||
        !start.contains(u"top", Qt::CaseInsensitive))
        return statement;
    // "select top N rest" is SQL Server's; the others say "select rest limit N".
    static const QRegularExpression top(
        QStringLiteral(R"(^(\s*select\s+)top\s+(\d+)\s+(.*?)\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = top.match(statement);
    if (!m.hasMatch())
        return statement;
    return m.captured(1) + m.captured(3) + QStringLiteral(" limit ") + m.captured(2);
}

} // namespace Db

QString RunSql(const QString& statement) {
    return run(statement, Want::Table);
}

QString RunSqlOne(const QString& statement) {
    return run(statement, Want::FirstValue);
}

QString RunSqlBatch(const QStringList& statements, const QList<int>& expectRows,
                    QList<int>* rowsChanged, const std::function<void(int)>& progress) {
    return runBatch(statements, expectRows, rowsChanged, progress);
}

QString SqlStr(const QString& text) {
    QString s = text;
    return s.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString GetSrvDate() {
    // Read once per local day: a run that goes on past midnight asks again, and a client whose
    // clock is a day off still asks only once a day.
    const QDate today = Clock::now().date();
    if (!SrvDate.isEmpty() && SrvReadOn == today)
        return SrvDate;
    QString text;
    if (RunSql(QStringLiteral("select Getdate()")).toInt() > 0)
        text = SqlRows(1, 0);
    else
        text = DateStr(Clock::now());
    const QDateTime date = ParseDate(text);
    SrvDate = DateStr(date);
    SrvDay = date.date().day();
    SrvReadOn = today;
    return SrvDate;
}

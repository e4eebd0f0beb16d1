#include "db/sqlfailure.h"

namespace Db {

namespace {

// SQLite's result codes, plain or extended (the low byte is the plain one).
WriteFailure sqliteFailure(int code) {
    switch (code) {
    case 1555: // SQLITE_CONSTRAINT_PRIMARYKEY
    case 2067: // SQLITE_CONSTRAINT_UNIQUE
        return WriteFailure::KeyConflict;
    default:
        break;
    }
    switch (code & 0xFF) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return WriteFailure::Busy;
    case 18: // SQLITE_TOOBIG
        return WriteFailure::TooLong;
    default:
        return WriteFailure::Other;
    }
}

// SQLSTATE of PostgreSQL.
WriteFailure postgresFailure(const QString& state) {
    if (state == QLatin1String("23505"))
        return WriteFailure::KeyConflict;
    if (state == QLatin1String("22001"))
        return WriteFailure::TooLong;
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return WriteFailure::LostConnection;
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") ||
        state == QLatin1String("55P03"))
        return WriteFailure::Busy;
    return WriteFailure::Other;
}

// SQL Server's native error numbers, as its ODBC driver reports them.
WriteFailure odbcFailure(const QString& code) {
    const int n = code.section(QLatin1Char(';'), 0, 0).toInt();
    switch (n) {
    case 2601: // a duplicate in a unique index
    case 2627: // a duplicate primary key
        return WriteFailure::KeyConflict;
    case 2628: // string or binary data would be truncated in a column
    case 8152:
        return WriteFailure::TooLong;
    case 1205: // chosen as the deadlock victim
    case 1222: // lock request time out
        return WriteFailure::Busy;
    default:
        // A PostgreSQL source behind ODBC gives its SQLSTATE.
        return code.size() == 5 ? postgresFailure(code) : WriteFailure::Other;
    }
}

} // namespace

WriteFailure failureOf(Engine engine, const QString& code, bool lost) {
    // No code at all: the server was not reached, or its reply never came.
    if (lost || code.isEmpty())
        return WriteFailure::LostConnection;
    switch (engine) {
    case Engine::Sqlite:
        return sqliteFailure(code.toInt());
    case Engine::Postgres:
        return postgresFailure(code);
    case Engine::Odbc:
        return odbcFailure(code);
    }
    return WriteFailure::Other;
}

WriteFailure lastWriteFailure() {
    return failureOf(currentEngine(), lastErrorCode(), lastCommandLostConnection());
}

} // namespace Db

#pragma once
// The one way to the cloud database: one literal statement per call on a fresh connection,
// every result and every failure as text. Statements are written in the SQL Server dialect.

#include <QString>

#include <functional>

namespace Db {

enum class Engine { Sqlite, Postgres, Odbc };

struct Connection {
    Engine engine = Engine::Sqlite;
    QString server; // Postgres: host or host,port; ODBC: as the driver takes it
    QString login;
    QString password;
    QString database; // Sqlite: a name in the data folder, or a path to a file
};

// The values fixed when the program was built.
Connection builtInConnection();
// Holds the values masked; every call unmasks them afresh.
void setConnection(const Connection& plain);
Engine currentEngine();

// The SQLite file that a database name stands for.
QString sqliteFilePath(const QString& database);
// "DRIVER=SQL Server;SERVER=…;UID=…;PWD=…;DATABASE=…"
QString odbcConnectionString(const Connection& plain);

// Called with true before a call talks to the server and with false after it, on every path;
// the windows show the wait cursor with it.
void setBusyHandler(std::function<void(bool)> handler);

// The smallest rewrite of a client statement for an engine that does not speak its form.
QString dialectFor(Engine engine, const QString& statement);

} // namespace Db

QString RunSql(const QString& statement);
QString RunSqlOne(const QString& statement);
QString GetSrvDate();
QString CleanStr(const QString& text);

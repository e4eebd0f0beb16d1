#pragma once
// The one way to the cloud database: one literal statement per call on a pooled connection
// (one per set of connection values, reopened when found dead), every result and every failure
// as text. Statements are written in the SQL Server dialect.

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace Db {

enum class Engine { Sqlite, Postgres, Odbc };

// How the link to the server is protected: none, TLS when the server offers it, TLS always,
// TLS with the server's certificate checked against a CA file and its name.
enum class Encryption { Off, Prefer, Require, VerifyCertificate };

struct Connection {
    Engine engine = Engine::Sqlite;
    QString server; // Postgres: host or host,port; ODBC: as the driver takes it
    QString login;
    QString password;
    QString database; // Sqlite: a name in the data folder, or a path to a file
    Encryption encryption = Encryption::Off;
    QString caFile; // for VerifyCertificate
};

// The values fixed when the program was built.
Connection builtInConnection();
// Holds the values masked; every call unmasks them afresh.
void setConnection(const Connection& plain);
// The values set last, unmasked.
Connection connection();
// Another server from now on: the pooled connection is closed and the server date is asked
// again on the next call.
void switchServer(const Connection& plain);

// The three tables the server lacks, asked of the driver's catalogue on the pooled
// connection; empty when all are there or the server cannot be reached (`reached` false).
QStringList missingTables(bool* reached = nullptr);
// Runs a schema script as one statement in one transaction where the engine allows it. "OK",
// or the driver's text of the failure.
QString runScript(const QString& script);
// The engine's schema script for the server now set; empty for the embedded database, which
// makes its tables itself.
QString schemaScript();
// What makes a PostgreSQL server secure (row fences, the guest, the operators' functions), run
// by the owner after schemaScript in the same transaction.
QString secureSchemaScript();

// The libpq options of a PostgreSQL connection: a connect time limit, keepalives, TLS.
QString postgresOptions(const Connection& plain);
// A connection of the driver for `plain`, configured and not yet opened, under `name`.
QSqlDatabase configuredDatabase(const Connection& plain, const QString& name);
Engine currentEngine();
// The SQL the server speaks: an ODBC source that is itself PostgreSQL counts as PostgreSQL
// once a connection to it is open.
Engine currentDialect();

// The SQLite file that a database name stands for.
QString sqliteFilePath(const QString& database);
// "DRIVER=SQL Server;SERVER=…;UID=…;PWD=…;DATABASE=…"
QString odbcConnectionString(const Connection& plain);

// Called with true before a call talks to the server and with false after it, on every path;
// the windows show the wait cursor with it.
void setBusyHandler(std::function<void(bool)> handler);

// A secure PostgreSQL server: once an operator has logged in, the pooled connection runs as his
// own login role instead of the settings' login (the guest). Held masked like the settings'
// values; cleared when going back to the ledger list and when the server changes.
void setSessionLogin(const QString& role, const QString& password);
void clearSessionLogin();
bool hasSessionLogin();
// Closes the pooled connection: the next call opens a new one.
void dropConnection();
// The driver's text of the last connection that could not be opened; empty after one that was.
QString lastOpenError();
// A SCRAM-SHA-256 verifier of `password` for `role`, computed by libpq on the pooled PostgreSQL
// connection without sending the password; empty when there is no such connection.
QString encryptPassword(const QString& password, const QString& role);
// Whether the server now set accepts `role` with `password`, asked on a connection of its own.
enum class LoginCheck { Accepted, Refused, Unreachable };
LoginCheck checkLogin(const QString& role, const QString& password);
// Whether a driver's failure text is the server refusing a login name or its password.
bool isAuthenticationRefusal(const QString& driverText);

// Every call runs on one worker thread that owns the connection; the caller waits for it in a
// local event loop, so windows repaint while the server answers. `begins` and `ends` are called
// on the waiting thread around each such wait (calls may nest: a timer may make one while
// another waits).
void setWaitHandlers(std::function<void()> begins, std::function<void()> ends);
// Whether a call is waiting now on this thread.
bool callWaiting();
// Gives up the innermost waiting call at once: its statement is cancelled on the server and its
// transaction rolled back; the call returns the empty text. A command so stopped counts as lost
// (lastCommandLostConnection) unless it had not reached the server yet.
void cancelWaitingCall();
// True when the last call was given up before anything of it reached the server (while
// connecting): the user stopped it, and no failure message is due.
bool lastCallStoppedWhileConnecting();
// Runs `work` on the worker and waits as RunSql does; false when the wait was given up. `work`
// may then still be running, so it owns everything it touches.
bool runOnServerThread(std::function<void()> work);

// True when the last failed command of RunSql went down with its connection: it may or may
// not have been carried out.
bool lastCommandLostConnection();
// The driver's code of the last failure of RunSql, RunSqlOne or RunSqlBatch (SQLSTATE on
// PostgreSQL, SQLite's result code, the ODBC driver's native error); empty when the last call
// succeeded or failed without a statement's error (no connection).
QString lastErrorCode();

// Why the last call failed: the connection could not be opened (nor the embedded file read),
// the server answered with an error, or the connection went down under the statement.
enum class Failure { None, NotReached, Refused, Lost };
Failure lastFailure();

// One user action. While one lives, a failed attempt to connect makes every later call of the
// action fail at once as NotReached: a server that accepts and never answers costs the action
// one time limit, not one per follow-up step. Nested actions count as the outer one.
class Action {
public:
    Action();
    ~Action();
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;
};

// The smallest rewrite of a client statement for an engine that does not speak its form.
QString dialectFor(Engine engine, const QString& statement);

} // namespace Db

QString RunSql(const QString& statement);
QString RunSqlOne(const QString& statement);

// Several commands in one transaction on one connection, with RunSql's contract (text result,
// the busy handler, nothing thrown). "OK" when every statement succeeded and changed as many
// rows as `expectRows` asks at its index (-1 or no entry: any number); "ROWS" when a count
// differed, and "" on any failure: both roll everything back. `rowsChanged`, when given,
// receives each statement's row count as far as the batch got; `progress`, when given, the
// number of statements done after each one. After a failure Db::lastErrorCode() tells its kind,
// and Db::lastCommandLostConnection() whether the connection went down with the batch.
QString RunSqlBatch(const QStringList& statements, const QList<int>& expectRows = {},
                    QList<int>* rowsChanged = nullptr,
                    const std::function<void(int done)>& progress = {});

// A value placed between single quotes that cannot pass CleanStr (app/format.h) (a password, a
// notice, a text read back from the server): every single quote doubled.
QString SqlStr(const QString& text);
QString GetSrvDate();

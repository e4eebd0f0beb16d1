#pragma once
// Shared test support: databases on the three engines, a temporary settings store, a fresh
// program state with message answers queued in advance.

#include "db/sqlaccess.h"

#include <QString>

#include <QTemporaryDir>
#include <functional>

#include <memory>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

class QWidget;

namespace TestSupport {

// The PostgreSQL server that the test command starts; its values come from the environment.
bool havePostgres();
Db::Connection postgres();
// Under ZELVO_TEST_SECURE=1 postgres() is the test server's secure database reached as the
// guest, as a client of such a server is set up; fixtures and checks then go as the owner.
bool secure();
// The tables' owner on the database postgres() names.
Db::Connection owner();
// A statement of a fixture or a check: as the owner on a secure server (a query answers its
// count and fills SqlRows, or with `firstValue` gives its first value), else through RunSql.
QString ownerSql(const QString& statement, bool firstValue = false);
// An operator of a ledger: his row and, on a secure server, his login role, which logs in with
// `pwd` (empty: the text of an operator without a password).
bool addOperator(const QString& zbid, const QString& usr, const QString& pwd = QString(),
                 const QString& qx = QString());
// What a login does to the pooled connection on a secure server (nothing on the others).
void actAs(const QString& zbid, const QString& usr, const QString& pwd = QString());

// The same server through ODBC, its driver registered as "SQL Server" in ODBCSYSINI.
bool haveOdbc();
Db::Connection odbc();

// Ends, from a second connection, the server process behind RunSql's pooled connection to the
// test PostgreSQL server (plain or through ODBC), as a server restart would.
bool terminatePooledBackend();

// The next insert into `table` of the test PostgreSQL server takes its connection down with it
// before its row is stored, as a link that breaks under a command; later inserts go through.
bool dropConnectionAtNextInsert(const QString& table);
void keepConnectionsAtInsert(const QString& table);
// Leaves a database of the test server as new: no tables.
bool dropTablesIn(const QString& database);
// Statements the test server logged from now on (log_statement=all), one per line; those the
// driver sends itself as it opens a connection left out.
class ServerLog {
public:
    ServerLog();
    QStringList statements() const;

private:
    qint64 start_ = 0;
};

// A port on 127.0.0.1 that takes connections and never says a word, as a server that hangs
// does. It lives as long as the object.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    // PostgreSQL connection values that lead here.
    Db::Connection postgres() const;
    // The connections made to it so far.
    int connections();

private:
    int listener_ = -1;
    int port_ = 0;
    QList<int> taken_;
};

// The texts of the messages shown since they were last cleared.
QStringList shownTexts();

// Runs `act` on the next modal window once it is up; a window it leaves open fails the test and
// is closed, so that nothing hangs.
void whenModal(std::function<void(QWidget*)> act);

// Removes every row of the three tables on the connection now in use.
void emptyTables();

// A temporary folder for the test: its SQLite database and its settings store.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    QString path(const QString& name) const { return dir_.filePath(name); }
    Db::Connection sqlite() const;
    void useSqlite();
    void usePostgres();
    void useOdbc();
    // Switches to `engine`; false when its server is not there, and the caller skips.
    bool useEngine(Db::Engine engine);
    // Points the settings store at another file, as a second computer would have.
    void useSettings(const QString& name);

private:
    QTemporaryDir dir_;
};

} // namespace TestSupport

// Skips the current test when the test PostgreSQL server is not there. Under the README's
// test command it always is; the ctest label "server" marks these tests.
#define REQUIRE_POSTGRES()                                                                         \
    do {                                                                                           \
        if (!TestSupport::havePostgres())                                                          \
            GTEST_SKIP() << "ZELVO_TEST_PG_PORT not set: run scripts/test.sh";                     \
    } while (0)
#define REQUIRE_ODBC()                                                                             \
    do {                                                                                           \
        if (!TestSupport::haveOdbc())                                                              \
            GTEST_SKIP() << "ODBCSYSINI not set: run scripts/test.sh";                             \
    } while (0)

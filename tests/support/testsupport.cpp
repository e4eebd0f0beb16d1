#include "testsupport.h"

#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/settings.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace TestSupport {

namespace {
QString env(const char* name) {
    return qEnvironmentVariable(name);
}
} // namespace

bool havePostgres() {
    return !env("ZELVO_TEST_PG_PORT").isEmpty();
}

Db::Connection postgres() {
    Db::Connection c;
    c.engine = Db::Engine::Postgres;
    c.server = QStringLiteral("127.0.0.1,") + env("ZELVO_TEST_PG_PORT");
    c.login = env("ZELVO_TEST_PG_USER");
    c.password = env("ZELVO_TEST_PG_PASSWORD");
    c.database = env("ZELVO_TEST_PG_DB");
    return c;
}

bool haveOdbc() {
    return havePostgres() && !env("ODBCSYSINI").isEmpty();
}

Db::Connection odbc() {
    Db::Connection c = postgres();
    c.engine = Db::Engine::Odbc;
    c.server = QStringLiteral("127.0.0.1"); // the driver takes the port from PGPORT
    return c;
}

namespace {

// Runs `statements` on a connection of its own to the test server.
bool sideExec(const QStringList& statements, const QString& database = QString()) {
    Db::Connection c = postgres();
    if (!database.isEmpty())
        c.database = database;
    bool done = true;
    {
        QSqlDatabase side = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "side-exec");
        side.setHostName(QStringLiteral("127.0.0.1"));
        side.setPort(c.server.section(QLatin1Char(','), 1).toInt());
        side.setUserName(c.login);
        side.setPassword(c.password);
        side.setDatabaseName(c.database);
        done = side.open();
        QSqlQuery q(side);
        for (const QString& s : statements)
            done = done && q.exec(s);
        side.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("side-exec"));
    return done;
}

} // namespace

bool dropConnectionAtNextInsert(const QString& table) {
    return sideExec(
        {QStringLiteral("drop sequence if exists zelvo_drop"),
         QStringLiteral("create sequence zelvo_drop"),
         QStringLiteral("create or replace function zelvo_drop_once() returns trigger "
                        "language plpgsql as $$ begin if nextval('zelvo_drop') = 1 then "
                        "perform pg_terminate_backend(pg_backend_pid()); perform pg_sleep(5); "
                        "end if; return new; end $$"),
         QStringLiteral("drop trigger if exists zelvo_drop on ") + table,
         QStringLiteral("create trigger zelvo_drop before insert on ") + table +
             QStringLiteral(" for each row execute function zelvo_drop_once()")});
}

bool dropTablesIn(const QString& database) {
    return sideExec({QStringLiteral("drop table if exists Zhang, UsrLst, Zblst cascade"),
                     QStringLiteral("drop function if exists getdate()"),
                     QStringLiteral("drop function if exists len(text)")},
                    database);
}

void keepConnectionsAtInsert(const QString& table) {
    sideExec({QStringLiteral("drop trigger if exists zelvo_drop on ") + table});
}

ServerLog::ServerLog() {
    start_ = QFileInfo(env("ZELVO_TEST_PG_LOG")).size();
}

QStringList ServerLog::statements() const {
    QThread::msleep(200); // the server writes its log a moment later
    QFile f(env("ZELVO_TEST_PG_LOG"));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(start_))
        return {};
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const int at = line.indexOf(QLatin1String("statement: "));
        if (at < 0)
            continue;
        const QString s = line.mid(at + 11);
        // What the driver itself sends as it opens a connection.
        if (!s.startsWith(QLatin1String("SET ")) && s != QLatin1String("SELECT version()") &&
            !s.startsWith(QLatin1String("SELECT '")))
            out.append(s);
    }
    return out;
}

bool terminatePooledBackend() {
    const QString pid = RunSqlOne(QStringLiteral("select pg_backend_pid()"));
    if (pid.isEmpty() || !sideExec({QStringLiteral("select pg_terminate_backend(") + pid + ")"}))
        return false;
    QThread::msleep(100); // the server needs a moment to close the socket
    return true;
}

QStringList shownTexts() {
    QStringList out;
    for (const Msg::Shown& s : Msg::shown())
        out << s.text;
    return out;
}

void whenModal(std::function<void(QWidget*)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        // A person cannot act on a window while its server call waits.
        QWidget* modal = Db::callWaiting() ? nullptr : QApplication::activeModalWidget();
        if (modal) {
            act(modal);
            if (auto* d = qobject_cast<QDialog*>(modal); d && d->isVisible()) {
                ADD_FAILURE() << "left open: " << d->objectName().toStdString();
                d->reject();
            }
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
}

void emptyTables() {
    RunSql(QStringLiteral("delete from Zhang"));
    RunSql(QStringLiteral("delete from UsrLst"));
    RunSql(QStringLiteral("delete from Zblst"));
}

Sandbox::Sandbox() {
    MainBas::initFixedValues(dir_.path());
    MainBas::resetSessionState();
    Clock::clear();
    useSettings(QStringLiteral("zelvo.ini"));
    useSqlite();
}

Sandbox::~Sandbox() {
    Clock::clear();
    Settings::setFilePath(QString());
}

Db::Connection Sandbox::sqlite() const {
    Db::Connection c;
    c.engine = Db::Engine::Sqlite;
    c.database = path(QStringLiteral("云记账.db"));
    return c;
}

void Sandbox::useSqlite() {
    Db::setConnection(sqlite());
}

void Sandbox::usePostgres() {
    Db::setConnection(postgres());
    emptyTables();
}

void Sandbox::useOdbc() {
    Db::setConnection(odbc());
    emptyTables();
}

bool Sandbox::useEngine(Db::Engine engine) {
    switch (engine) {
    case Db::Engine::Sqlite:
        useSqlite();
        return true;
    case Db::Engine::Postgres:
        if (!havePostgres())
            return false;
        usePostgres();
        return true;
    case Db::Engine::Odbc:
        if (!haveOdbc())
            return false;
        useOdbc();
        return true;
    }
    return false;
}

void Sandbox::useSettings(const QString& name) {
    Settings::setFilePath(path(name));
}

} // namespace TestSupport

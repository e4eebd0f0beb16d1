#include "testsupport.h"

#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/settings.h"
#include "db/secure.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

namespace {
QString env(const char* name) {
    return qEnvironmentVariable(name);
}
} // namespace

bool havePostgres() {
    return !env("ZELVO_TEST_PG_PORT").isEmpty();
}

bool secure() {
    return havePostgres() && env("ZELVO_TEST_SECURE") == QLatin1String("1");
}

Db::Connection owner() {
    Db::Connection c;
    c.engine = Db::Engine::Postgres;
    c.server = QStringLiteral("127.0.0.1,") + env("ZELVO_TEST_PG_PORT");
    c.login = env("ZELVO_TEST_PG_USER");
    c.password = env("ZELVO_TEST_PG_PASSWORD");
    c.database = env(secure() ? "ZELVO_TEST_PG_SECURE_DB" : "ZELVO_TEST_PG_DB");
    return c;
}

Db::Connection postgres() {
    Db::Connection c = owner();
    if (secure()) {
        c.login = QStringLiteral("zelvo_guest");
        c.password = env("ZELVO_TEST_PG_GUEST_PASSWORD");
    }
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

// Runs `statements` on a connection of its own to the test server, as the owner.
bool sideExec(const QStringList& statements, const QString& database = QString()) {
    Db::Connection c = owner();
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
    // A secure server's logins are the whole cluster's: its operators' go with their rows, and
    // the guest gets back the password the other tests know it by.
    sideExec(
        {QStringLiteral("select zelvo_private.drop_role(zelvo_role_name(ZBID,Usr)) from UsrLst")},
        database);
    if (!env("ZELVO_TEST_PG_GUEST_PASSWORD").isEmpty())
        sideExec({QStringLiteral("alter role zelvo_guest with login password '") +
                  SqlStr(env("ZELVO_TEST_PG_GUEST_PASSWORD")) + QLatin1Char('\'')});
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

// The owner's connection to the secure database, kept open for the whole test run.
QSqlDatabase ownerDatabase() {
    const QString name = QStringLiteral("test-owner");
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name);
        if (db.isOpen())
            return db;
    }
    QSqlDatabase db = Db::configuredDatabase(owner(), name);
    db.open();
    return db;
}

// A value as RunSql writes it: a time as yyyy-mm-dd hh:mm, seconds only when there are some.
QString text(const QVariant& v) {
    if (v.typeId() != QMetaType::QDateTime)
        return v.toString();
    const QDateTime t = v.toDateTime();
    return t.toString(t.time().second() ? "yyyy-MM-dd HH:mm:ss" : "yyyy-MM-dd HH:mm");
}

// The secure database is the one in use (not the embedded one of a test that runs on both).
bool onSecure() {
    return secure() && Db::currentEngine() == Db::Engine::Postgres;
}

QString ownerSql(const QString& statement, bool firstValue) {
    if (!onSecure())
        return firstValue ? RunSqlOne(statement) : RunSql(statement);
    QSqlDatabase db = ownerDatabase();
    QSqlQuery q(db);
    if (!q.exec(statement))
        return {};
    if (!q.isSelect())
        return QStringLiteral("OK");
    if (firstValue)
        return q.next() ? text(q.value(0)) : QString();
    std::vector<QStringList> rows(1);
    const int cols = q.record().count();
    for (int j = 0; j < cols; ++j)
        rows[0].append(q.record().fieldName(j));
    while (q.next()) {
        rows.emplace_back();
        for (int j = 0; j < cols; ++j)
            rows.back().append(text(q.value(j)));
    }
    const int n = static_cast<int>(rows.size()) - 1;
    rows.resize(rows.size() + 2);
    MainBas::SqlCols = cols;
    MainBas::SqlRowMax = n + 1;
    MainBas::SqlRows.assign(std::move(rows));
    return QString::number(n);
}

bool addOperator(const QString& zbid, const QString& usr, const QString& pwd, const QString& qx) {
    if (!onSecure())
        return RunSql("insert into UsrLst (ZBID,Usr,Pwd,QX) values ('" + SqlStr(zbid) + "','" +
                      SqlStr(usr) + "','" + SqlStr(pwd) + "'," +
                      (qx.isNull() ? QStringLiteral("NULL") : "'" + qx + "'") + ")") == "OK";
    // The row and the login as the server's own functions make them, with the fixture's password.
    QSqlQuery q(ownerDatabase());
    q.prepare(QStringLiteral("insert into UsrLst (ZBID,Usr,Pwd,QX) values (?,?,'',?)"));
    q.addBindValue(zbid);
    q.addBindValue(usr);
    q.addBindValue(qx.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(qx));
    if (!q.exec())
        return false;
    q.prepare(QStringLiteral("select zelvo_private.make_role(zelvo_role_name(?,?),?)"));
    q.addBindValue(zbid);
    q.addBindValue(usr);
    q.addBindValue(Db::loginPassword(zbid, usr, pwd));
    return q.exec();
}

void actAs(const QString& zbid, const QString& usr, const QString& pwd) {
    if (onSecure())
        Db::setSessionLogin(Db::operatorRole(zbid, usr), Db::loginPassword(zbid, usr, pwd));
}

void emptyTables() {
    if (secure()) {
        Db::clearSessionLogin();
        QSqlQuery q(ownerDatabase());
        // Roles belong to the whole cluster: none outlives its test.
        for (const char* s :
             {"select zelvo_private.drop_role(zelvo_role_name(ZBID,Usr)) from UsrLst",
              "delete from Zhang", "delete from UsrLst", "delete from Zblst"})
            q.exec(QString::fromLatin1(s));
        return;
    }
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

SilentServer::SilentServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        ADD_FAILURE() << "no listening socket";
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() {
    for (int fd : taken_)
        ::close(fd);
    if (listener_ >= 0)
        ::close(listener_);
}

Db::Connection SilentServer::postgres() const {
    return {Db::Engine::Postgres,
            QStringLiteral("127.0.0.1,%1").arg(port_),
            QStringLiteral("u"),
            QStringLiteral("p"),
            QStringLiteral("d"),
            Db::Encryption::Off,
            QString()};
}

int SilentServer::connections() {
    // The system completes each handshake by itself; taking them here only counts them.
    for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
        taken_.append(fd);
    return static_cast<int>(taken_.size());
}

} // namespace TestSupport

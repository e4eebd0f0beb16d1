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
#include <QEventLoop>
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
#include <QSqlResult>
#include <QStandardPaths>
#include <QThread>

#include <libpq-fe.h>
#include <poll.h>
#include <sched.h>
#include <sql.h>
#include <sqlite3.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
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

    bool operator==(const MaskedConnection& o) const {
        return engine == o.engine && server == o.server && login == o.login &&
               password == o.password && database == o.database && encryption == o.encryption &&
               caFile == o.caFile && sessionLogin == o.sessionLogin &&
               sessionPassword == o.sessionPassword;
    }
};

MaskedConnection masked;
// Written only on the calling thread, from what the worker brings back.
QString openError;
Db::Failure failure = Db::Failure::None;
int actionDepth = 0;
bool actionUnreachable = false;
QString lastError; // the driver's code of the last failure of RunSql or RunSqlBatch
std::function<void(bool)> busyHandler;
bool lostConnection = false;
bool stoppedWhileConnecting = false;
std::function<void()> waitBegins;
std::function<void()> waitEnds;

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

Db::Connection unmaskedOf(const MaskedConnection& m) {
    return {m.engine,
            UnmaskStr(m.server),
            UnmaskStr(m.login),
            UnmaskStr(m.password),
            UnmaskStr(m.database),
            m.encryption,
            UnmaskStr(m.caFile)};
}

Db::Connection unmasked() {
    return unmaskedOf(masked);
}

// What the pooled connection logs in with: the operator's role once one has logged in.
Db::Connection effectiveOf(const MaskedConnection& m) {
    Db::Connection c = unmaskedOf(m);
    if (!m.sessionLogin.isEmpty()) {
        c.login = UnmaskStr(m.sessionLogin);
        c.password = UnmaskStr(m.sessionPassword);
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

sqlite3* sqliteHandle(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

PGconn* postgresHandle(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

void registerGetdate(QSqlDatabase& db) {
    if (sqlite3* raw = sqliteHandle(db))
        sqlite3_create_function(raw, "getdate", 0, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                &sqliteGetdate, nullptr, nullptr);
}

// The embedded database gets its tables the first time this run opens its file.
void ensureSqliteSchema(QSqlDatabase& db) {
    static std::mutex guard; // a worker given up on may still be opening a file
    static QSet<QString> ready;
    std::lock_guard<std::mutex> lock(guard);
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

// What a call brings back from the server's thread. It is put into the program's state (SqlRows,
// the lost-connection flag) on the thread that waited, never on the worker.
struct Outcome {
    std::optional<QString> text;
    std::optional<bool> lost; // set once a command has been sent
    bool filled = false;      // a query's table for SqlRows
    std::vector<QStringList> rows;
    int cols = 0;
    QList<int> rowsChanged;
    bool reached = false;
    QStringList tables;
    Db::Failure failure = Db::Failure::None;
    QString errorCode; // the driver's code of a failed statement
    QString openError; // the driver's text of a failed connection attempt
};

void fillTable(QSqlQuery& query, Outcome& out) {
    const QSqlRecord record = query.record();
    const int cols = record.count();
    std::vector<QStringList> rows;
    rows.reserve(8); // most answers are a few rows: one allocation, spare rows included
    rows.emplace_back();
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
    out.cols = cols;
    out.rows = std::move(rows);
    out.filled = true;
    out.text = QString::number(count);
}

void applyTable(Outcome& out) {
    if (!out.filled)
        return;
    SqlCols = out.cols;
    SqlRowMax = static_cast<int>(out.rows.size()) - 2;
    SqlRows.assign(std::move(out.rows));
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

Db::Engine dialectOf(QSqlDatabase& db, Db::Engine engine) {
    // An ODBC source may itself be PostgreSQL, which does not speak "top N" either.
    if (engine == Db::Engine::Odbc && db.driver()->dbmsType() == QSqlDriver::PostgreSQL)
        return Db::Engine::Postgres;
    return engine;
}

// The dialect of the connection open last, for currentDialect() on the window's thread.
struct OpenDialect {
    std::mutex m;
    MaskedConnection target; // masked: the plain values are never kept between calls
    Db::Engine dialect = Db::Engine::Sqlite;
    const void* owner = nullptr;
};
OpenDialect openDialect;

// One call handed to the server's thread. Shared by the caller and the worker: a caller that
// gives up returns at once and leaves the worker to finish with it.
struct Call {
    std::function<void()> work; // runs on the worker
    Outcome out;                // written by the worker before `done`
    std::atomic<bool> cancelled{false};
    std::mutex m;
    std::condition_variable finished;
    bool done = false;
    QEventLoop* loop = nullptr; // the caller's wait, to be woken
    // The batch's progress, shown on the caller's thread.
    std::function<void(int)> progress;
    std::atomic<int> progressDone{0};
    bool progressPosted = false;
    int progressShown = 0;

    void complete() {
        {
            std::lock_guard<std::mutex> lock(m);
            done = true;
            if (loop)
                QCoreApplication::postEvent(loop, new QEvent(QEvent::Quit));
        }
        // Outside the lock, so the woken caller does not at once wait for it again.
        finished.notify_all();
    }

    void reportProgress(int n) {
        if (!progress)
            return;
        progressDone.store(n);
        std::lock_guard<std::mutex> lock(m);
        if (!loop || progressPosted)
            return;
        progressPosted = true;
        QMetaObject::invokeMethod(
            loop,
            [this] {
                {
                    std::lock_guard<std::mutex> again(m);
                    progressPosted = false;
                }
                showProgress();
            },
            Qt::QueuedConnection);
    }

    void showProgress() {
        const int n = progressDone.load();
        if (progress && n != progressShown) {
            progressShown = n;
            progress(n);
        }
    }
};

// What the worker is doing now, shared with the threads that cancel it.
struct Inflight {
    std::mutex m;
    const Call* call = nullptr;
    bool connecting = false;         // no statement of the call has been sent yet
    std::function<void()> interrupt; // stops the statement now running, from any thread
};

class Pool;
Pool& workerPool();
void markConnecting(bool on);

// One open connection per set of connection values, reused by every call, as the original
// platform's driver manager pooled them, and reopened when found dead. PostgreSQL's is checked
// by its socket before each call, and with a round trip only after a long idle, when a NAT may
// have dropped it silently; a connection that cannot be asked (ODBC) gets the round trip after a
// short idle or a failed statement. It lives on the worker thread that opened it.
class Pool {
public:
    ~Pool() { drop(); }

    // An open connection for `m`, or nullptr.
    QSqlDatabase* acquire(const MaskedConnection& m) {
        markConnecting(true);
        if (open_ && !(m == *target_))
            drop();
        if (open_ && !usable())
            drop();
        if (!open_ && !connect(m)) {
            markConnecting(false);
            return nullptr;
        }
        markConnecting(false);
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

    Db::Engine engine() const { return engine_; }
    // Stops the statement running on the open connection; called from another thread.
    std::function<void()> interrupt() const { return interrupt_; }

    void drop() {
        if (target_) {
            db_.close();
            db_ = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            std::lock_guard<std::mutex> lock(openDialect.m);
            if (openDialect.owner == this)
                openDialect.owner = nullptr;
        }
        interrupt_ = {};
        target_.reset();
        open_ = false;
    }

private:
    bool usable() {
        if (engine_ == Db::Engine::Sqlite)
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

    // The settings are unmasked only here, for the driver.
    bool connect(const MaskedConnection& m) {
        const Db::Connection c = effectiveOf(m);
        static std::atomic<int> counter{0};
        name_ = QStringLiteral("zelvo-%1").arg(++counter);
        target_ = m;
        engine_ = c.engine;
        db_ = QSqlDatabase::addDatabase(driverName(c.engine), name_);
        if (!db_.isValid() || !configure(db_, c) || !db_.open()) {
            openError_ = db_.isValid() ? db_.lastError().text() : QStringLiteral("no driver");
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
                openError_ = QStringLiteral("file is not a database");
                drop();
                return false;
            }
            registerGetdate(db_);
            ensureSqliteSchema(db_);
            if (sqlite3* raw = sqliteHandle(db_))
                interrupt_ = [raw] { sqlite3_interrupt(raw); };
        } else if (PGconn* conn = postgresHandle(db_)) {
            // PQcancel asks the server on a connection of its own; its key outlives this one.
            std::shared_ptr<PGcancel> cancel(PQgetCancel(conn), &PQfreeCancel);
            interrupt_ = [cancel] {
                char error[256];
                if (cancel)
                    PQcancel(cancel.get(), error, sizeof error);
            };
        }
        // The open connection no longer needs them; a reconnect sets them afresh.
        db_.setPassword(QString());
        if (c.engine == Db::Engine::Odbc) {
            Db::Connection withoutPassword = c;
            withoutPassword.password.clear();
            db_.setDatabaseName(Db::odbcConnectionString(withoutPassword));
        }
        {
            std::lock_guard<std::mutex> lock(openDialect.m);
            openDialect.target = m;
            openDialect.dialect = dialectOf(db_, c.engine);
            openDialect.owner = this;
        }
        openError_.clear();
        open_ = true;
        suspect_ = false;
        idle_.start();
        return true;
    }

public:
    const QString& openError() const { return openError_; }

private:
    static constexpr qint64 kIdleCheckMs = 2000;
    static constexpr qint64 kLongIdleMs = 5 * 60 * 1000;
    QSqlDatabase db_;
    QString name_;
    std::optional<MaskedConnection> target_; // what the connection was made for, while it is
    Db::Engine engine_ = Db::Engine::Sqlite;
    bool open_ = false;
    bool suspect_ = false;
    QElapsedTimer idle_;
    std::function<void()> interrupt_;
    QString openError_;
};

// The thread that owns the pooled connection (a QSqlDatabase belongs to the thread that opened
// it) and runs every call, one after the other, in the order they were handed over.
class Worker : public QThread {
public:
    Worker() { setObjectName(QStringLiteral("zelvo-sql")); }

    static Worker* current() { return static_cast<Worker*>(QThread::currentThread()); }

    void post(std::shared_ptr<Call> call) {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            queue_.push_back(std::move(call));
        }
        wake_.notify_one();
    }

    // Runs what is queued, closes the connection and ends.
    void finish() {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            finishing_ = true;
        }
        wake_.notify_one();
    }

    void setInterrupt(std::function<void()> interrupt) {
        std::lock_guard<std::mutex> lock(inflight->m);
        inflight->interrupt = std::move(interrupt);
    }

    Pool pool;
    const std::shared_ptr<Inflight> inflight = std::make_shared<Inflight>();

    // The kernel's id of this thread, once it runs; 0 before.
    std::atomic<pid_t> tid{0};
    // The CPU the worker is held to, or -1; set by the threads that wait on it.
    std::atomic<int> cpu{-1};

protected:
    void run() override {
        tid = static_cast<pid_t>(::syscall(SYS_gettid));
        for (;;) {
            std::shared_ptr<Call> call;
            {
                std::unique_lock<std::mutex> lock(queueMutex_);
                wake_.wait(lock, [this] { return !queue_.empty() || finishing_; });
                if (queue_.empty())
                    break;
                call = std::move(queue_.front());
                queue_.pop_front();
            }
            {
                std::lock_guard<std::mutex> lock(inflight->m);
                inflight->call = call.get();
                inflight->connecting = true;
            }
            if (!call->cancelled)
                call->work();
            {
                std::lock_guard<std::mutex> lock(inflight->m);
                inflight->call = nullptr;
                inflight->interrupt = {};
            }
            call->work = {}; // what it holds goes with this thread's connection
            call->complete();
        }
        pool.drop();
    }

private:
    std::mutex queueMutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Call>> queue_;
    bool finishing_ = false;
};

Pool& workerPool() {
    return Worker::current()->pool;
}

void markConnecting(bool on) {
    std::lock_guard<std::mutex> lock(Worker::current()->inflight->m);
    Worker::current()->inflight->connecting = on;
}

// The worker that takes new calls, and those given up on while they connect, which end by
// themselves once their connection attempt is over.
std::mutex workersMutex;
Worker* activeWorker = nullptr;
std::vector<Worker*> retiredWorkers;

void stopWorkers() {
    std::vector<Worker*> all;
    {
        std::lock_guard<std::mutex> lock(workersMutex);
        all = retiredWorkers;
        if (activeWorker)
            all.push_back(activeWorker);
        activeWorker = nullptr;
        retiredWorkers.clear();
    }
    QElapsedTimer clock;
    clock.start();
    for (Worker* w : all)
        w->finish();
    // One still connecting somewhere is left to the end of the process: quitting takes
    // no longer than this.
    for (Worker* w : all)
        if (w->wait(QDeadlineTimer(qMax<qint64>(0, 1500 - clock.elapsed()))))
            delete w;
}

Worker* worker() {
    std::lock_guard<std::mutex> lock(workersMutex);
    retiredWorkers.erase(std::remove_if(retiredWorkers.begin(), retiredWorkers.end(),
                                        [](Worker* w) {
                                            if (!w->isFinished())
                                                return false;
                                            delete w;
                                            return true;
                                        }),
                         retiredWorkers.end());
    if (!activeWorker) {
        static const bool once = [] {
            // The connection is closed before the drivers unload, so no "connection still in
            // use" at exit.
            qAddPostRoutine(&stopWorkers);
            return true;
        }();
        Q_UNUSED(once);
        activeWorker = new Worker;
        activeWorker->start();
    }
    return activeWorker;
}

// Stops `call` on the server: the worker's statement is cancelled there (PQcancel, SQLCancel,
// sqlite3_interrupt), its transaction then rolled back by the worker. A call still connecting
// cannot be stopped that way: its worker is given up and the next call gets a new one. True when
// nothing of the call had been sent yet.
bool stopCall(const std::shared_ptr<Call>& call, Worker* w) {
    call->cancelled = true;
    const std::shared_ptr<Inflight> inflight = w->inflight;
    {
        std::lock_guard<std::mutex> lock(inflight->m);
        if (inflight->call != call.get()) {
            std::lock_guard<std::mutex> state(call->m);
            return !call->done; // still queued: the worker skips it
        }
        if (inflight->connecting) {
            std::lock_guard<std::mutex> workers(workersMutex);
            if (activeWorker == w) {
                activeWorker = nullptr;
                retiredWorkers.push_back(w);
                w->finish();
            }
            return true;
        }
    }
    // A cancel that reaches the server before the statement does is lost, so it is repeated
    // until the worker has left the call. PQcancel may wait on the network: not on this thread.
    std::thread([inflight, call] {
        for (int i = 0; i < 100; ++i) {
            {
                std::lock_guard<std::mutex> lock(inflight->m);
                if (inflight->call != call.get())
                    return;
                if (inflight->interrupt)
                    inflight->interrupt();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }).detach();
    return false;
}

// Holds the waiting thread and the worker on one CPU while the one blocks on the other: a
// hand-over within a CPU is a plain switch, where waking a thread on another CPU costs several
// times more (on virtual machines above all). The window's thread is held until it goes back to
// its event loop, so an action's run of calls pays for it once; another thread, for one call. A
// call that runs long lets both go, so the window paints on whichever CPU is free.
class OneCpu {
public:
    explicit OneCpu(Worker& w) : worker_(w) {
        Held& held = heldHere();
        if (!held.on) {
            const int cpu = sched_getcpu();
            if (cpu < 0 || sched_getaffinity(0, sizeof held.mask, &held.mask) != 0)
                return;
            const cpu_set_t one = only(cpu);
            if (sched_setaffinity(0, sizeof one, &one) != 0)
                return;
            held.on = true;
            held.cpu = cpu;
            if (onWindowThread())
                QMetaObject::invokeMethod(QCoreApplication::instance(), &OneCpu::letGo,
                                          Qt::QueuedConnection);
        }
        const pid_t tid = worker_.tid;
        if (tid != 0 && worker_.cpu != held.cpu) {
            const cpu_set_t one = only(held.cpu);
            worker_.cpu = sched_setaffinity(tid, sizeof one, &one) == 0 ? held.cpu : -1;
        }
    }

    ~OneCpu() {
        if (!onWindowThread())
            letGo();
    }

    // The call runs long.
    void release() {
        Held& held = heldHere();
        if (worker_.cpu >= 0 && held.on &&
            sched_setaffinity(worker_.tid, sizeof held.mask, &held.mask) == 0)
            worker_.cpu = -1;
        letGo();
    }

    static void letGo() {
        Held& held = heldHere();
        if (held.on)
            sched_setaffinity(0, sizeof held.mask, &held.mask);
        held.on = false;
    }

private:
    static cpu_set_t only(int cpu) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return one;
    }

    struct Held {
        bool on = false;
        int cpu = -1;
        cpu_set_t mask; // the CPUs the thread may use when not held
    };
    static Held& heldHere() {
        thread_local Held held;
        return held;
    }
    static bool onWindowThread() {
        const QCoreApplication* app = QCoreApplication::instance();
        return app && QThread::currentThread() == app->thread();
    }

    Worker& worker_;
};

// How long the window's thread may simply block on a call before it waits in an event loop.
constexpr std::chrono::milliseconds kBlockingWait{10};

// The calls now waiting on this thread, innermost last.
std::vector<QEventLoop*> waits;

// Hands `call` to the worker and waits for it. On the program's main thread the wait is a local
// event loop, so the windows keep painting; elsewhere the thread simply blocks. False when the
// wait was given up (cancelled, or the program quits): the worker's late result is dropped.
bool await(const std::shared_ptr<Call>& call) {
    stoppedWhileConnecting = false;
    Worker* w = worker();
    QCoreApplication* app = QCoreApplication::instance();
    {
        OneCpu together(*w);
        w->post(call);
        std::unique_lock<std::mutex> lock(call->m);
        if (!app || QThread::currentThread() != app->thread()) {
            call->finished.wait(lock, [&] { return call->done; });
            return true;
        }
        // Most calls end within a frame: waiting for them on a plain condition costs two thread
        // wake-ups, where an event loop costs several more. Longer ones get the event loop.
        if (call->finished.wait_for(lock, kBlockingWait, [&] { return call->done; }))
            return true;
        together.release();
    }
    QEventLoop loop;
    {
        std::lock_guard<std::mutex> lock(call->m);
        if (call->done)
            return true;
        call->loop = &loop;
    }
    waits.push_back(&loop);
    if (waitBegins)
        waitBegins();
    loop.exec();
    waits.pop_back();
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(call->m);
        call->loop = nullptr;
        done = call->done;
    }
    if (waitEnds)
        waitEnds();
    if (!done)
        stoppedWhileConnecting = stopCall(call, w);
    else
        call->showProgress();
    return done;
}

// Runs `sql` so that a cancel from the waiting side can stop it on the server. ODBC's statement
// handle is made inside exec, so the cancel reads it from the query as it runs; a handle read
// just before exec made a new one is refused by the driver manager, and the cancel is repeated.
bool execInterruptible(QSqlQuery& query, const QString& sql, const Call& call) {
    Worker* w = Worker::current();
    if (w->pool.engine() == Db::Engine::Odbc) {
        w->setInterrupt([&query] {
            const QVariant handle = query.result()->handle();
            // Qt hands the handle over as SQLHANDLE, which QMetaType names "void*".
            if (handle.isValid() && (qstrcmp(handle.typeName(), "SQLHANDLE") == 0 ||
                                     qstrcmp(handle.typeName(), "void*") == 0))
                if (SQLHANDLE stmt = *static_cast<const SQLHANDLE*>(handle.constData()))
                    SQLCancel(stmt);
        });
    } else {
        w->setInterrupt(w->pool.interrupt());
    }
    const bool ok = !call.cancelled && query.exec(sql);
    w->setInterrupt({});
    return ok;
}

// Empty when the statement failed.
std::optional<QString> runOn(QSqlDatabase& db, const QString& statement, Kind kind, Want want,
                             Call& call) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!execInterruptible(query, Db::dialectFor(dialectOf(db, workerPool().engine()), statement),
                           call)) {
        qCInfo(lcSql) << statement << query.lastError().text();
        call.out.errorCode = query.lastError().nativeErrorCode();
        return std::nullopt;
    }
    if (kind == Kind::Command)
        return QStringLiteral("OK");
    if (want == Want::FirstValue)
        return query.next() ? valueText(query.value(0)) : QString();
    fillTable(query, call.out);
    return call.out.text;
}

// Within an action that has already failed to connect, no second attempt is made.
bool mayConnect() {
    if (actionDepth > 0 && actionUnreachable) {
        failure = Db::Failure::NotReached;
        return false;
    }
    return true;
}

// Takes over on the calling thread what the worker found out about the call's failure.
void noteOutcome(const Outcome& out) {
    failure = out.failure;
    lastError = out.errorCode;
    // What a later failure is read against: a refusal of an earlier login is no reason for it.
    openError.clear();
    if (failure != Db::Failure::NotReached)
        return;
    openError = out.openError;
    // A login the server refused was answered: asking it something else as another login (the
    // guest, after an operator's password was refused) is no second attempt at a dead link.
    if (Db::isAuthenticationRefusal(openError))
        failure = Db::Failure::Refused;
    else
        actionUnreachable = actionDepth > 0;
}

// A call the person gave up: while connecting, the action makes no further attempt.
void noteStopped() {
    failure = stoppedWhileConnecting ? Db::Failure::NotReached : Db::Failure::Lost;
    openError.clear();
    actionUnreachable = stoppedWhileConnecting && actionDepth > 0;
}

void runHere(Call& call, const MaskedConnection& m, const QString& statement, Kind kind,
             Want want) {
    Pool& pool = workerPool();
    Outcome& out = call.out;
    QSqlDatabase* db = pool.acquire(m);
    if (!db) {
        out.failure = Db::Failure::NotReached;
        out.openError = pool.openError();
        return;
    }
    if (kind == Kind::None || call.cancelled) {
        pool.release(false);
        out.failure = Db::Failure::Refused;
        return;
    }
    std::optional<QString> result = runOn(*db, statement, kind, want, call);
    out.lost = false;
    if (!result)
        out.failure = Db::Failure::Refused;
    bool suspect = false;
    // A query may go again on a fresh connection when the old one had died; a command never
    // does, since its reply, not the command, may be what was lost.
    if (!result && !call.cancelled && pool.broken()) {
        out.failure = Db::Failure::Lost;
        out.lost = kind == Kind::Command;
        if (kind == Kind::Query) {
            db = pool.acquire(m);
            if (db) {
                result = runOn(*db, statement, kind, want, call);
                if (!result)
                    out.failure = Db::Failure::Refused;
            } else {
                out.failure = Db::Failure::NotReached;
                out.openError = pool.openError();
            }
            suspect = !result;
        }
    }
    pool.release(suspect);
    if (!result)
        out.filled = false;
    else
        out.errorCode.clear();
    out.text = result;
}

QString run(const QString& statement, Want want) {
    const Kind kind = classify(statement);
    if (!mayConnect())
        return {};
    BusyGuard busy;
    lastError.clear();
    auto call = std::make_shared<Call>();
    call->work = [raw = call.get(), m = masked, statement, kind, want] {
        runHere(*raw, m, statement, kind, want);
    };
    if (!await(call)) {
        // A command stopped after it was sent may have been carried out all the same.
        if (kind == Kind::Command && !stoppedWhileConnecting)
            lostConnection = true;
        noteStopped();
        return {};
    }
    Outcome& out = call->out;
    noteOutcome(out);
    if (out.lost)
        lostConnection = *out.lost;
    if (out.text)
        applyTable(out);
    return out.text.value_or(QString());
}

void batchHere(Call& call, const MaskedConnection& m, const QStringList& statements,
               const QList<int>& expectRows) {
    Pool& pool = workerPool();
    QSqlDatabase* db = pool.acquire(m);
    if (!db) {
        call.out.failure = Db::Failure::NotReached;
        call.out.openError = pool.openError();
        return;
    }
    if (call.cancelled) {
        pool.release(false);
        call.out.failure = Db::Failure::Refused;
        return;
    }
    if (!db->transaction()) {
        pool.drop();
        call.out.failure = Db::Failure::Lost;
        call.out.lost = true;
        return;
    }
    QString result = QStringLiteral("OK");
    QSqlQuery query(*db);
    for (int i = 0; i < statements.size() && result == QLatin1String("OK"); ++i) {
        if (call.cancelled ||
            !execInterruptible(query, Db::dialectFor(dialectOf(*db, m.engine), statements[i]),
                               call)) {
            call.out.errorCode = query.lastError().nativeErrorCode();
            result.clear();
            break;
        }
        const int rows = query.numRowsAffected();
        call.out.rowsChanged.append(rows);
        const int want = expectRows.value(i, -1);
        if (want >= 0 && rows != want)
            result = QStringLiteral("ROWS");
        call.reportProgress(i + 1);
    }
    query.finish();
    bool closed = true;
    // A cancel that came after the last statement still undoes the whole batch.
    if (result == QLatin1String("OK") && (call.cancelled || !db->commit())) {
        call.out.errorCode = db->lastError().nativeErrorCode();
        result.clear();
        closed = false;
    }
    if (result != QLatin1String("OK"))
        closed = db->rollback();
    if (result.isEmpty())
        call.out.failure = closed ? Db::Failure::Refused : Db::Failure::Lost;
    call.out.lost = !closed;
    // A connection whose transaction could not be ended would hold every later command in it.
    if (closed)
        pool.release(result.isEmpty());
    else
        pool.drop();
    call.out.text = result;
}

QString runBatch(const QStringList& statements, const QList<int>& expectRows,
                 QList<int>* rowsChanged, const std::function<void(int)>& progress) {
    if (rowsChanged)
        rowsChanged->clear();
    for (const QString& statement : statements)
        if (classify(statement) != Kind::Command)
            return {};
    if (!mayConnect())
        return {};
    BusyGuard busy;
    lastError.clear();
    lostConnection = false;
    auto call = std::make_shared<Call>();
    call->progress = progress;
    call->work = [raw = call.get(), m = masked, statements, expectRows] {
        batchHere(*raw, m, statements, expectRows);
    };
    if (!await(call)) {
        if (!stoppedWhileConnecting)
            lostConnection = true;
        noteStopped();
        return {};
    }
    noteOutcome(call->out);
    if (call->out.lost)
        lostConnection = *call->out.lost;
    if (rowsChanged)
        *rowsChanged = call->out.rowsChanged;
    QString result = call->out.text.value_or(QString());
    return result == QLatin1String("OK") || result == QLatin1String("ROWS") ? result : QString();
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
    // Queued like any call, so it closes the connection once the calls before it are done.
    auto call = std::make_shared<Call>();
    call->work = [] { workerPool().drop(); };
    worker()->post(call);
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
    if (reached)
        *reached = false;
    if (!mayConnect())
        return {};
    BusyGuard busy;
    auto call = std::make_shared<Call>();
    call->work = [&out = call->out, m = masked] {
        Pool& pool = workerPool();
        QSqlDatabase* db = pool.acquire(m);
        out.reached = db != nullptr;
        if (!db) {
            out.failure = Failure::NotReached;
            out.openError = pool.openError();
            return;
        }
        const QStringList present = db->tables(QSql::Tables);
        for (const QString& table :
             {QStringLiteral("Zblst"), QStringLiteral("UsrLst"), QStringLiteral("Zhang")})
            if (!present.contains(table, Qt::CaseInsensitive))
                out.tables.append(table);
        pool.release(false);
    };
    const bool done = await(call);
    if (done)
        noteOutcome(call->out);
    else
        noteStopped();
    if (reached)
        *reached = done && call->out.reached;
    return done ? call->out.tables : QStringList();
}

QString runScript(const QString& script) {
    if (!mayConnect())
        return QStringLiteral("-");
    BusyGuard busy;
    auto call = std::make_shared<Call>();
    call->work = [&out = call->out, m = masked, script] {
        Pool& pool = workerPool();
        QSqlDatabase* db = pool.acquire(m);
        if (!db) {
            out.failure = Failure::NotReached;
            out.openError = pool.openError();
            return;
        }
        const bool inTransaction = db->transaction();
        QSqlQuery query(*db);
        if (!query.exec(script)) {
            out.text = query.lastError().text();
            if (inTransaction)
                db->rollback();
            pool.release(true);
            return;
        }
        query.finish();
        if (inTransaction && !db->commit()) {
            out.text = db->lastError().text();
            pool.release(true);
            return;
        }
        pool.release(false);
        out.text = QStringLiteral("OK");
    };
    if (!await(call) || !call->out.text || call->out.text->isEmpty())
        return QStringLiteral("-");
    return *call->out.text;
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
    std::lock_guard<std::mutex> lock(openDialect.m);
    return openDialect.owner && openDialect.target == masked ? openDialect.dialect : masked.engine;
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
    // Queued like any call, so it closes the connection once the calls before it are done.
    auto call = std::make_shared<Call>();
    call->work = [] { workerPool().drop(); };
    worker()->post(call);
}

QString lastOpenError() {
    return openError;
}

QString encryptPassword(const QString& password, const QString& role) {
    if (!mayConnect())
        return {};
    BusyGuard busy;
    auto call = std::make_shared<Call>();
    call->work = [&out = call->out, m = masked, password, role] {
        Pool& pool = workerPool();
        QSqlDatabase* db = pool.acquire(m);
        if (!db)
            return;
        const QVariant handle = db->driver()->handle();
        pool.release(false);
        if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
                                  qstrcmp(handle.typeName(), "pg_conn*") != 0))
            return;
        PGconn* conn = *static_cast<PGconn* const*>(handle.constData());
        // The algorithm named: libpq would otherwise ask the server which one it uses.
        char* verifier = PQencryptPasswordConn(conn, password.toUtf8().constData(),
                                               role.toUtf8().constData(), "scram-sha-256");
        if (!verifier)
            return;
        out.text = QString::fromUtf8(verifier);
        PQfreemem(verifier);
    };
    if (!await(call))
        return {};
    return call->out.text.value_or(QString());
}

LoginCheck checkLogin(const QString& role, const QString& password) {
    // Shared: a wait given up leaves the worker to finish the attempt on its own.
    auto result = std::make_shared<std::atomic<LoginCheck>>(LoginCheck::Unreachable);
    BusyGuard busy;
    Connection c = unmasked();
    c.login = role;
    c.password = password;
    // A connection of its own, opened and closed on the server's thread like every other.
    runOnServerThread([c, result] {
        static std::atomic<int> counter{0};
        const QString name = QStringLiteral("zelvo-check-%1").arg(++counter);
        {
            QSqlDatabase db = configuredDatabase(c, name);
            if (db.isValid() && db.open()) {
                *result = LoginCheck::Accepted;
                db.close();
            } else if (db.isValid() && isAuthenticationRefusal(db.lastError().text())) {
                *result = LoginCheck::Refused;
            }
        }
        QSqlDatabase::removeDatabase(name);
    });
    return *result;
}

bool isAuthenticationRefusal(const QString& driverText) {
    // libpq says the same for a wrong password and for a role that is not there. The server
    // words it in its own language; libpq's "fe_sendauth:" stays in every language.
    for (const char* word : {"password authentication failed", "fe_sendauth:", "认证失败"})
        if (driverText.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
            return true;
    return false;
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

void setWaitHandlers(std::function<void()> begins, std::function<void()> ends) {
    waitBegins = std::move(begins);
    waitEnds = std::move(ends);
}

bool callWaiting() {
    return !waits.empty();
}

void cancelWaitingCall() {
    if (!waits.empty())
        waits.back()->exit(1);
}

bool lastCallStoppedWhileConnecting() {
    return stoppedWhileConnecting;
}

bool runOnServerThread(std::function<void()> work) {
    auto call = std::make_shared<Call>();
    call->work = std::move(work); // a connection attempt from start to end: given up, not cancelled
    return await(call);
}

namespace {

bool startsWithSelectTop(const QString& statement) {
    QStringView rest = QStringView(statement).trimmed();
    if (!rest.startsWith(u"select", Qt::CaseInsensitive))
        return false;
    rest = rest.mid(6);
    qsizetype blanks = 0;
    while (blanks < rest.size() && rest[blanks].isSpace())
        ++blanks;
    return blanks > 0 && rest.mid(blanks).startsWith(u"top", Qt::CaseInsensitive);
}

} // namespace

QString dialectFor(Engine engine, const QString& statement) {
    // Only a query begins "select top": the words after "select" are looked at, nothing more.
    if (engine == Engine::Odbc || !startsWithSelectTop(statement))
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

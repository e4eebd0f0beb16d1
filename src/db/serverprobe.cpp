#include "db/serverprobe.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

namespace ServerProbe {

namespace {

bool any(const QString& text, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (text.contains(QLatin1String(w), Qt::CaseInsensitive))
            return true;
    return false;
}

QString versionStatement(Db::Engine engine) {
    switch (engine) {
    case Db::Engine::Postgres:
        return QStringLiteral("select version()");
    case Db::Engine::Odbc:
        return QStringLiteral("select @@version");
    case Db::Engine::Sqlite:
        break;
    }
    return QStringLiteral("select 'SQLite ' || sqlite_version()");
}

// "PostgreSQL 15.18 (Debian …) on x86_64-pc-linux-gnu, compiled by …": the part a person needs.
QString firstLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 0, 0).section(QLatin1String(" on "), 0, 0).trimmed();
}

const QStringList kTables = {QStringLiteral("Zblst"), QStringLiteral("UsrLst"),
                             QStringLiteral("Zhang")};

QStringList missingOf(const QStringList& present) {
    QStringList missing;
    for (const QString& table : kTables)
        if (!present.contains(table, Qt::CaseInsensitive))
            missing.append(table);
    return missing;
}

// As long as the program itself waits to connect.
constexpr int kTimeLimitMs = 10000;

struct PgAttempt {
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn{nullptr, &PQfinish};
    bool ok = false;
    bool timedOut = false;
    bool wantedPassword = false; // the server asked for a password and none was given
    QString sqlState;            // of the server's error, when it sent one
    QString text;
};

const char* sslMode(Db::Encryption e) {
    switch (e) {
    case Db::Encryption::Off:
        return "disable";
    case Db::Encryption::Prefer:
        return "prefer";
    case Db::Encryption::Require:
        return "require";
    case Db::Encryption::VerifyCertificate:
        break;
    }
    return "verify-full";
}

QString pgHost(const Db::Connection& c) {
    return c.server.section(QLatin1Char(','), 0, 0).trimmed();
}

PgAttempt pgConnect(const Db::Connection& c, Db::Encryption encryption,
                    const QDeadlineTimer& deadline) {
    const QByteArray host = pgHost(c).toUtf8();
    const QByteArray port = c.server.section(QLatin1Char(','), 1, 1).trimmed().toUtf8();
    const QByteArray user = c.login.toUtf8();
    const QByteArray password = c.password.toUtf8();
    const QByteArray database = c.database.toUtf8();
    const QByteArray ca = c.caFile.toUtf8();
    std::vector<const char*> keys = {"host",   "user",    "password",
                                     "dbname", "sslmode", "client_encoding"};
    std::vector<const char*> values = {host.constData(),     user.constData(),
                                       password.constData(), database.constData(),
                                       sslMode(encryption),  "UTF8"};
    if (!port.isEmpty()) {
        keys.push_back("port");
        values.push_back(port.constData());
    }
    if (encryption == Db::Encryption::VerifyCertificate) {
        keys.push_back("sslrootcert");
        values.push_back(ca.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PgAttempt a;
    a.conn.reset(PQconnectStartParams(keys.data(), values.data(), 0));
    PGconn* conn = a.conn.get();
    if (!conn)
        return a;
    // Set before the first answer arrives: the server's errors then carry their SQLSTATE in
    // the text, whatever language the rest of it is in.
    PQsetErrorVerbosity(conn, PQERRORS_VERBOSE);
    PostgresPollingStatusType state =
        PQstatus(conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            a.timedOut = true;
            break;
        }
        pollfd p{PQsocket(conn),
                 static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            break;
        if (ready == 0) {
            a.timedOut = true;
            break;
        }
        state = PQconnectPoll(conn);
    }
    a.ok = state == PGRES_POLLING_OK;
    a.text = QString::fromUtf8(PQerrorMessage(conn));
    a.wantedPassword = PQconnectionNeedsPassword(conn) == 1;
    // "<severity>:  <SQLSTATE>: <message>", the last one when several attempts were made.
    static const QRegularExpression state5(QStringLiteral(":  ([0-9A-Z]{5}): "));
    for (auto it = state5.globalMatch(a.text); it.hasNext();)
        a.sqlState = it.next().captured(1);
    return a;
}

// The text shown under the message: the server's words without libpq's source location.
QString shownText(const QString& text) {
    static const QRegularExpression location(QStringLiteral("\\n[^\\n]*\\w+\\.c:\\d+[^\\n]*"));
    return QString(text).remove(location).trimmed();
}

// Why a PostgreSQL connection failed. A second attempt with other encryption tells a rule for
// unencrypted connections from one for this login, and an unverified certificate from a server
// without encryption.
Failure pgFailure(const Db::Connection& c, const PgAttempt& a, const QDeadlineTimer& deadline) {
    const auto passedEncryption = [&](Db::Encryption e, const char* refusedState) {
        const PgAttempt again = pgConnect(c, e, deadline);
        return again.ok ||
               (!again.sqlState.isEmpty() && again.sqlState != QLatin1String(refusedState));
    };
    if (a.timedOut)
        return Failure::Unreachable;
    if (a.wantedPassword || a.sqlState == QLatin1String("28P01"))
        return Failure::LoginRefused;
    if (a.sqlState == QLatin1String("3D000"))
        return Failure::NoDatabase;
    if (a.sqlState == QLatin1String("28000")) // pg_hba.conf: rejected, or no line for it
        return c.encryption == Db::Encryption::Off &&
                       passedEncryption(Db::Encryption::Require, "28000")
                   ? Failure::EncryptionRequired
                   : Failure::NotFromHere;
    if (!a.sqlState.isEmpty())
        return Failure::Other;
    // The server said nothing: its address, its encryption or its certificate.
    const QString host = pgHost(c);
    if (!host.isEmpty() && !host.startsWith(QLatin1Char('/'))) {
        const int port = QString::fromUtf8(PQport(a.conn.get())).toInt();
        if (!tcpReachable(host, port > 0 ? port : 5432,
                          static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1000))))
            return Failure::Unreachable;
    }
    if (c.encryption == Db::Encryption::VerifyCertificate)
        return passedEncryption(Db::Encryption::Require, "") ? Failure::Certificate
                                                             : Failure::EncryptionRefused;
    if (c.encryption == Db::Encryption::Require)
        return Failure::EncryptionRefused;
    return Failure::Other;
}

QString firstValue(PGconn* conn, const char* statement) {
    PGresult* res = PQexec(conn, statement);
    QString value;
    if (PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) > 0)
        value = QString::fromUtf8(PQgetvalue(res, 0, 0));
    PQclear(res);
    return value;
}

Result probePostgres(const Db::Connection& c) {
    const QDeadlineTimer deadline(kTimeLimitMs);
    Result r;
    const PgAttempt a = pgConnect(c, c.encryption, deadline);
    PGconn* conn = a.conn.get();
    if (!conn) {
        r.failure = Failure::Other;
        r.driverText = QStringLiteral("libpq");
        return r;
    }
    if (!a.ok) {
        r.driverText = shownText(a.text);
        r.failure = pgFailure(c, a, deadline);
        return r;
    }
    r.product = firstLine(firstValue(conn, "select version()"));
    // The tables a statement of this program names without a schema would find.
    PGresult* res = PQexec(conn, "select relname from pg_class where relkind in ('r','p') "
                                 "and pg_table_is_visible(oid)");
    QStringList present;
    if (PQresultStatus(res) == PGRES_TUPLES_OK)
        for (int i = 0; i < PQntuples(res); ++i)
            present.append(QString::fromUtf8(PQgetvalue(res, i, 0)));
    PQclear(res);
    r.missingTables = missingOf(present);
    return r;
}

} // namespace

bool tcpReachable(const QString& host, int port, int timeoutMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints,
                      &found) != 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    bool reached = false;
    for (addrinfo* ai = found; ai && !reached && !deadline.hasExpired(); ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) {
            reached = true;
        } else if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            reached = ::poll(&p, 1, static_cast<int>(deadline.remainingTime())) == 1 &&
                      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return reached;
}

Failure classify(const QString& t) {
    // libpq, the SQL Server drivers and psqlODBC, in their English texts.
    if (any(t, {"certificate verify failed", "root certificate", "does not match host name",
                "sslrootcert", "certificate"}))
        return Failure::Certificate;
    if (any(t, {"no encryption", "hostnossl", "encryption required", "requires encryption"}))
        return Failure::EncryptionRequired;
    if (any(t, {"does not support SSL", "SSL is not enabled", "SSL not supported",
                "SSL was required", "encryption not supported"}))
        return Failure::EncryptionRefused;
    if (any(t, {"password authentication failed", "Login failed", "authentication failed",
                "no password supplied", "role \""}))
        return Failure::LoginRefused;
    if (any(t, {"database \"", "Cannot open database", "Unknown database"}) &&
        any(t, {"does not exist", "Cannot open", "Unknown"}))
        return Failure::NoDatabase;
    if (any(t, {"could not connect", "Connection refused", "timeout expired", "timed out",
                "could not translate host name", "Name or service not known", "No route to host",
                "Unable to connect", "server is not found", "Network is unreachable",
                "could not receive data", "Connection reset"}))
        return Failure::Unreachable;
    return Failure::Other;
}

namespace {

Result probeHere(const Db::Connection& c) {
    if (c.engine == Db::Engine::Postgres)
        return probePostgres(c);
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("zelvo-probe-%1").arg(++counter);
    Result r;
    {
        QSqlDatabase db = Db::configuredDatabase(c, name);
        if (!db.isValid()) {
            r.failure = Failure::Other;
            r.driverText = QStringLiteral("no driver");
        } else if (!db.open()) {
            r.driverText = db.lastError().text();
            r.failure = classify(r.driverText);
        } else {
            QSqlQuery q(db);
            if (q.exec(versionStatement(c.engine)) && q.next())
                r.product = firstLine(q.value(0).toString());
            r.missingTables = missingOf(db.tables(QSql::Tables));
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return r;
}

} // namespace

Result probe(const Db::Connection& c) {
    // Shared with the worker, which may still be connecting after the user gave up waiting.
    auto result = std::make_shared<Result>();
    if (!Db::runOnServerThread([result, c] { *result = probeHere(c); })) {
        Result stopped;
        stopped.failure = Failure::Other;
        stopped.stopped = true;
        return stopped;
    }
    return *result;
}

QString title() {
    return QStringLiteral("测试连接");
}

QString message(const Result& r) {
    QString head;
    switch (r.failure) {
    case Failure::None:
        head = QStringLiteral("连接成功！\n\n服务器：") + r.product + QStringLiteral("\n\n") +
               (r.missingTables.isEmpty()
                    ? QStringLiteral("云记账的三张数据表都已建立。")
                    : QStringLiteral("服务器上还没有云记账的数据表（") +
                          r.missingTables.join(QStringLiteral("、")) +
                          QStringLiteral("），第一次打开或增加账本时可以建立。"));
        return head;
    case Failure::Unreachable:
        head = QStringLiteral("无法连接到服务器，请检查服务器地址和端口。");
        break;
    case Failure::LoginRefused:
        head = QStringLiteral("服务器拒绝了登录名或密码。");
        break;
    case Failure::NoDatabase:
        head = QStringLiteral("服务器上没有这个数据库，请检查数据库名。");
        break;
    case Failure::EncryptionRefused:
        head = QStringLiteral("服务器不接受加密连接，请检查服务器的加密设置。");
        break;
    case Failure::EncryptionRequired:
        head = QStringLiteral("服务器要求加密连接，请选择“必须加密”或“验证服务器证书”。");
        break;
    case Failure::Certificate:
        head = QStringLiteral("无法验证服务器证书，请检查CA证书文件和服务器地址。");
        break;
    case Failure::NotFromHere:
        head = QStringLiteral("服务器不接受这个登录名从本机连接，请联系服务器管理员。");
        break;
    case Failure::Other:
        head = QStringLiteral("连接服务器失败。");
        break;
    }
    return head + QStringLiteral("\n\n") + r.driverText.trimmed();
}

QString connectFailed(const QString& message) {
    if (Db::currentEngine() != Db::Engine::Sqlite || Db::lastFailure() != Db::Failure::NotReached)
        return message;
    return message + QStringLiteral("\n\n无法读取数据库文件：") +
           Db::sqliteFilePath(Db::connection().database);
}

QString askCreateTables() {
    return QStringLiteral("服务器上还没有云记账的数据表，现在建立吗？");
}

QString tablesCreated() {
    return QStringLiteral("云记账的数据表已经建立。");
}

QString secureSetUp(const QString& userFile, const QString& systemFile) {
    return QStringLiteral(
               "云记账的数据表已经建立，服务器将按操作员的权限把守每个账本。\n\n"
               "本机今后以登录名 zelvo_guest 连接服务器，它的密码由程序生成，已保存在本机"
               "的设置中；您输入的登录名和密码没有保存在任何地方。\n\n"
               "其他电脑要连接这台服务器，请把本机设置文件（") +
           userFile + QStringLiteral("）中“Server”一节的各项复制到那台电脑的系统设置文件 ") +
           systemFile + QStringLiteral(" 的“Server”一节中。");
}

QString newGuestPassword() {
    static const char kChars[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString out;
    for (int i = 0; i < 24; ++i)
        out += QLatin1Char(kChars[QRandomGenerator::system()->bounded(int(sizeof kChars) - 1)]);
    return out;
}

bool isPermissionDenied(const QString& t) {
    return any(t, {"permission denied", "must be owner", "CREATE TABLE permission denied"});
}

QString createFailed(const QString& driverText, const QString& scriptPath) {
    if (isPermissionDenied(driverText))
        return QStringLiteral("当前登录名没有建立数据表的权限。请数据库管理员运行建表脚本：\n\n") +
               scriptPath;
    return QStringLiteral("建立数据表失败，没有建立任何数据表：\n\n") + driverText.trimmed();
}

} // namespace ServerProbe

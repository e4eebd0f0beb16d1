#include "db/serverprobe.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <memory>

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

} // namespace

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
            const QStringList present = db.tables(QSql::Tables);
            for (const QString& table :
                 {QStringLiteral("Zblst"), QStringLiteral("UsrLst"), QStringLiteral("Zhang")})
                if (!present.contains(table, Qt::CaseInsensitive))
                    r.missingTables.append(table);
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
    case Failure::Other:
        head = QStringLiteral("连接服务器失败。");
        break;
    }
    return head + QStringLiteral("\n\n") + r.driverText.trimmed();
}

QString askCreateTables() {
    return QStringLiteral("服务器上还没有云记账的数据表，现在建立吗？");
}

QString tablesCreated() {
    return QStringLiteral("云记账的数据表已经建立。");
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

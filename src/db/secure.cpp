#include "db/secure.h"

#include "db/sqlaccess.h"

#include <QCryptographicHash>
#include <QHash>

namespace Db {

namespace {

QHash<QString, bool>& known() {
    static QHash<QString, bool> servers;
    return servers;
}

QString serverKey() {
    const Connection c = connection();
    return c.server + QChar(1) + c.database;
}

} // namespace

QString operatorRole(const QString& zbid, const QString& usr) {
    const QByteArray digest = QCryptographicHash::hash(
        zbid.toUtf8() + QByteArray(1, '\x1f') + usr.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("zelvo_") + QString::fromLatin1(digest.toHex().left(24));
}

QString noPasswordText(const QString& zbid, const QString& usr) {
    return QStringLiteral("zelvo:") + zbid + QLatin1Char(':') + usr;
}

QString loginPassword(const QString& zbid, const QString& usr, const QString& typed) {
    return typed.isEmpty() ? noPasswordText(zbid, usr) : typed;
}

bool isSecureServer() {
    // ODBC and the embedded database keep the plain statements, whatever is behind them.
    if (currentEngine() != Engine::Postgres)
        return false;
    const QString key = serverKey();
    const auto found = known().constFind(key);
    if (found != known().constEnd())
        return *found;
    const QString count =
        RunSqlOne(QStringLiteral("select count(*) from pg_proc where proname='zelvo_open_ledger'"));
    if (count.isEmpty())
        return false;
    known().insert(key, count.toInt() > 0);
    return count.toInt() > 0;
}

void forgetSecureServers() {
    known().clear();
}

QString operatorExistsCall(const QString& zbid, const QString& usr) {
    return QStringLiteral("select zelvo_operator_exists('") + SqlStr(zbid) + QStringLiteral("','") +
           SqlStr(usr) + QStringLiteral("')");
}

bool operatorRemoved(const QString& zbid, const QString& usr) {
    if (!hasSessionLogin())
        return false;
    // A removed operator's session may fail whatever it asks: a new one tells whether his login
    // still exists.
    dropConnection();
    const QString count =
        RunSqlOne(QStringLiteral("select count(*) from UsrLst where ZBid='") + SqlStr(zbid) +
                  QStringLiteral("' and Usr='") + SqlStr(usr) + QLatin1Char('\''));
    if (!count.isEmpty())
        return count == QLatin1String("0");
    return isAuthenticationRefusal(lastOpenError());
}

} // namespace Db

#pragma once
// 测试连接: opens a connection of its own to the values typed in the server settings, says
// which step failed in plain words, and on success what the server is and whether it has the
// three tables. Also the texts of making the tables on a new server.

#include "db/sqlaccess.h"

#include <QString>
#include <QStringList>

namespace ServerProbe {

enum class Failure {
    None,
    Unreachable,        // address, port, or nothing answering there
    LoginRefused,       // login name or password
    NoDatabase,         // the database is not on the server
    EncryptionRefused,  // encryption asked for, the server offers none
    EncryptionRequired, // the server accepts this login only encrypted
    Certificate,        // the server's certificate could not be verified
    Other
};

struct Result {
    Failure failure = Failure::None;
    QString driverText;
    QString product; // the server's own words for its product and version
    QStringList missingTables;
    bool stopped = false; // the user gave up waiting: nothing to say
};

Result probe(const Db::Connection& c);
// Which step a driver's failure text names.
Failure classify(const QString& driverText);
// The text of the message box titled "测试连接".
QString message(const Result& r);
QString title(); // "测试连接"

QString askCreateTables(); // "服务器上还没有云记账的数据表，现在建立吗？"
QString tablesCreated();   // "云记账的数据表已经建立。"
// A failed creation: when the login may not create tables, the script the administrator runs.
QString createFailed(const QString& driverText, const QString& scriptPath);
// Whether a failure text says the login lacks the right to create tables.
bool isPermissionDenied(const QString& driverText);

} // namespace ServerProbe

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
    NotFromHere,        // the server's access rules refuse this login from this computer
    Other
};

struct Result {
    Failure failure = Failure::None;
    QString driverText;
    QString product; // the server's own words for its product and version
    QStringList missingTables;
    bool stopped = false; // the user gave up waiting: nothing to say
};

// PostgreSQL is asked through libpq itself, and the failed step is told by what the server's
// language and the desktop's do not change: the error's SQLSTATE, whether a password was
// wanted, a second attempt with another encryption, a plain TCP connect. The other engines go
// through their Qt drivers and are told by the driver's words.
Result probe(const Db::Connection& c);
// Which step a driver's failure text names (the English texts of the SQL Server drivers and
// psqlODBC).
Failure classify(const QString& driverText);
// Whether a TCP connection to `host`:`port` can be opened within `timeoutMs`.
bool tcpReachable(const QString& host, int port, int timeoutMs);
// The text of the message box titled "测试连接".
QString message(const Result& r);
QString title(); // "测试连接"

// `message` ("连接服务器失败！"), and when the embedded database's file could not be read, a
// second line naming the file.
QString connectFailed(const QString& message);

QString askCreateTables(); // "服务器上还没有云记账的数据表，现在建立吗？"
QString tablesCreated();   // "云记账的数据表已经建立。"
// A failed creation: when the login may not create tables, the script the administrator runs.
QString createFailed(const QString& driverText, const QString& scriptPath);
// Said once after a new PostgreSQL server got its tables and its guest: this computer now logs
// in as the guest, and how the other computers get the same values.
QString secureSetUp(const QString& userFile, const QString& systemFile);
// The guest's generated password: 24 letters and digits.
QString newGuestPassword();

// Whether a failure text says the login lacks the right to create tables.
bool isPermissionDenied(const QString& driverText);

} // namespace ServerProbe

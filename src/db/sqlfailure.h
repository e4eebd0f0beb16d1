#pragma once
// What a failed write ran into, told by the driver's code rather than by its text, which each
// driver words differently and in the desktop's language.

#include "db/sqlaccess.h"

#include <QString>

namespace Db {

enum class WriteFailure {
    KeyConflict,    // another row holds the key
    TooLong,        // a value wider than its column
    LostConnection, // the connection went down with the statement
    Busy,           // another writer holds the table or the rows for now
    Other,          // refused for a reason of the server's own (a check, a trigger, a right)
};

// `code` as Db::lastErrorCode() gives it for a connection of `engine`; `lost` as
// Db::lastCommandLostConnection(). A failure without a code is taken for a lost connection.
WriteFailure failureOf(Engine engine, const QString& code, bool lost);
// The failure of the last call of the access layer.
WriteFailure lastWriteFailure();

} // namespace Db

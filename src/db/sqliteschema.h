#pragma once

#include <QStringList>

namespace Db {
// Kept in the file's user_version once the tables are made; a file with a higher number comes
// from a later program whose tables this one may not understand.
inline constexpr int kSqliteSchemaVersion = 1;
// The three tables and the indexes the reports need, created when missing.
QStringList sqliteSchemaStatements();
} // namespace Db

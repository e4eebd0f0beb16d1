#pragma once

#include <QStringList>

namespace Db {
// The three tables and the indexes the reports need, created when missing.
QStringList sqliteSchemaStatements();
} // namespace Db

#pragma once
// "Contains" filters: the typed text matched literally, letters in any case, on every engine.

#include "db/sqlaccess.h"

#include <QString>

namespace Like {

// The escape character the patterns below use.
inline constexpr char kEscape = '!';

// `text` with the pattern characters "%", "_", "[" and the escape character escaped, and
// single quotes doubled, ready to stand between "%" and "%".
QString escaped(const QString& text);

// "<column> like '%text%' escape '!'"; on PostgreSQL "ilike", so that letter case is ignored
// there as SQLite and SQL Server's case-insensitive collation ignore it.
QString containsClause(const QString& column, const QString& text,
                       Db::Engine engine = Db::currentDialect());

} // namespace Like

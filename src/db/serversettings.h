#pragma once
// Which server this computer talks to: the user's own choice in the settings file, else a
// system-wide file an administrator deploys to every computer, else the values built in.

#include "db/sqlaccess.h"

#include <QString>

#include <optional>

namespace ServerSettings {

enum class Source { User, System, BuiltIn };

struct Loaded {
    Db::Connection connection;
    Source source = Source::BuiltIn;
};

Loaded load();
// What the computer uses while the user has saved nothing: the system file, else the values
// built in.
Loaded defaults();
// Into the user's own section, the password masked. Values equal to defaults() remove the
// user's section instead: the computer then follows the administrator's file again, and its
// later changes, rather than a copy of it pinned for good.
void save(const Db::Connection& c);
// The same layout in another section of the user's store (a moved ledger's new home).
void saveIn(const QString& section, const Db::Connection& c);
std::optional<Db::Connection> loadFrom(const QString& section);

// The system-wide file: /etc/xdg/zelvo/zelvo.ini unless XDG_CONFIG_DIRS names another folder
// first; tests point it elsewhere. Only its Server section is read: every user can read the
// file, and a copy of a whole user's file would carry his remembered passwords.
QString systemFilePath();
void setSystemFilePath(const QString& path); // empty: the default

// The section's words for an engine, "SQLITE", "PSQL", "ODBC", and back (unknown: nullopt).
QString engineWord(Db::Engine engine);

} // namespace ServerSettings

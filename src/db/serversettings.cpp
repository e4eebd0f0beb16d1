#include "db/serversettings.h"

#include "app/mask.h"
#include "app/settings.h"

#include <QByteArray>
#include <QStandardPaths>

#include <optional>

namespace ServerSettings {

namespace {

const QString kSection = QStringLiteral("Server");
QString systemPath;

std::optional<Db::Engine> engineOf(const QString& word) {
    const QString w = word.trimmed().toUpper();
    if (w == QLatin1String("SQLITE"))
        return Db::Engine::Sqlite;
    if (w == QLatin1String("PSQL"))
        return Db::Engine::Postgres;
    if (w == QLatin1String("ODBC"))
        return Db::Engine::Odbc;
    return std::nullopt;
}

// The masked password may hold any 16-bit unit, lone surrogates included: kept as its UTF-16
// bytes in base64, which every INI reader leaves alone.
QString hidden(const QString& password) {
    const QString m = MaskStr(password);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(m.utf16()), m.size() * 2).toBase64());
}

QString shown(const QString& stored) {
    const QByteArray bytes = QByteArray::fromBase64(stored.toLatin1());
    return UnmaskStr(QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2));
}

// The section as `read` gives its keys; nullopt when it names no engine.
template <typename Read> std::optional<Db::Connection> fromSection(Read read) {
    const std::optional<Db::Engine> engine = engineOf(read(QStringLiteral("Engine")));
    if (!engine)
        return std::nullopt;
    Db::Connection c;
    c.engine = *engine;
    c.server = read(QStringLiteral("Address"));
    c.login = read(QStringLiteral("Login"));
    c.password = shown(read(QStringLiteral("Password")));
    c.database = read(QStringLiteral("Database"));
    c.encryption =
        static_cast<Db::Encryption>(qBound(0, read(QStringLiteral("Encryption")).toInt(), 3));
    c.caFile = read(QStringLiteral("CaFile"));
    return c;
}

// The same server and the same way to it. Boxes are read trimmed, a hand-written file may not be.
bool sameValues(const Db::Connection& a, const Db::Connection& b) {
    return a.engine == b.engine && a.server.trimmed() == b.server.trimmed() &&
           a.login.trimmed() == b.login.trimmed() && a.password == b.password &&
           a.database.trimmed() == b.database.trimmed() && a.encryption == b.encryption &&
           a.caFile.trimmed() == b.caFile.trimmed();
}

} // namespace

Loaded load() {
    if (const auto user = fromSection(
            [](const QString& key) { return Settings::GetSetting(Settings::kApp, kSection, key); }))
        return {*user, Source::User};
    return defaults();
}

Loaded defaults() {
    const QHash<QString, QString> system =
        Settings::GetSectionFrom(systemFilePath(), Settings::kApp, kSection);
    if (const auto c = fromSection([&](const QString& key) { return system.value(key); }))
        return {*c, Source::System};
    return {Db::builtInConnection(), Source::BuiltIn};
}

void save(const Db::Connection& c) {
    if (sameValues(c, defaults().connection)) {
        Settings::DeleteSection(Settings::kApp, kSection);
        return;
    }
    saveIn(kSection, c);
}

std::optional<Db::Connection> loadFrom(const QString& section) {
    return fromSection(
        [&](const QString& key) { return Settings::GetSetting(Settings::kApp, section, key); });
}

void saveIn(const QString& section, const Db::Connection& c) {
    const auto put = [&](const QString& key, const QString& value) {
        Settings::SaveSetting(Settings::kApp, section, key, value);
    };
    put(QStringLiteral("Engine"), engineWord(c.engine));
    put(QStringLiteral("Address"), c.server);
    put(QStringLiteral("Login"), c.login);
    put(QStringLiteral("Password"), hidden(c.password));
    put(QStringLiteral("Database"), c.database);
    put(QStringLiteral("Encryption"), QString::number(static_cast<int>(c.encryption)));
    put(QStringLiteral("CaFile"), c.caFile);
}

QString systemFilePath() {
    if (!systemPath.isEmpty())
        return systemPath;
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QString first = dirs.section(QLatin1Char(':'), 0, 0);
    return (first.isEmpty() ? QStringLiteral("/etc/xdg") : first) +
           QStringLiteral("/zelvo/zelvo.ini");
}

void setSystemFilePath(const QString& path) {
    systemPath = path;
}

QString engineWord(Db::Engine engine) {
    switch (engine) {
    case Db::Engine::Postgres:
        return QStringLiteral("PSQL");
    case Db::Engine::Odbc:
        return QStringLiteral("ODBC");
    case Db::Engine::Sqlite:
        break;
    }
    return QStringLiteral("SQLITE");
}

} // namespace ServerSettings

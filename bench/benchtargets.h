#pragma once
// The databases a benchmark measures: an SQLite file in `dir`, and the test PostgreSQL server
// (also through ODBC, its driver registered as "SQL Server") when its values are in the
// environment, as scripts/test.sh and scripts/bench.sh set them.

#include "db/sqlaccess.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

struct Target {
    std::string name;
    Db::Connection connection;
};

inline std::vector<Target> benchTargets(const QTemporaryDir& dir, bool withOdbc) {
    std::vector<Target> targets;
    Db::Connection sqlite;
    sqlite.engine = Db::Engine::Sqlite;
    sqlite.database = dir.filePath(QStringLiteral("云记账.db"));
    targets.push_back({"SQLite", sqlite});
    if (qEnvironmentVariableIsEmpty("ZELVO_TEST_PG_PORT")) {
        std::printf("ZELVO_TEST_PG_PORT not set: PostgreSQL skipped (run it under "
                    "scripts/bench.sh to include it)\n");
        return targets;
    }
    Db::Connection pg;
    pg.engine = Db::Engine::Postgres;
    pg.server = QStringLiteral("127.0.0.1,") + qEnvironmentVariable("ZELVO_TEST_PG_PORT");
    pg.login = qEnvironmentVariable("ZELVO_TEST_PG_USER");
    pg.password = qEnvironmentVariable("ZELVO_TEST_PG_PASSWORD");
    pg.database = qEnvironmentVariable("ZELVO_TEST_PG_DB");
    targets.push_back({"PostgreSQL", pg});
    if (withOdbc && !qEnvironmentVariableIsEmpty("ODBCSYSINI")) {
        Db::Connection odbc = pg;
        odbc.engine = Db::Engine::Odbc;
        odbc.server = QStringLiteral("127.0.0.1"); // the driver takes the port from PGPORT
        targets.push_back({"ODBC", odbc});
    }
    return targets;
}

// Opens `db` (made with the engine's driver) on `c` directly, for the raw side of a comparison.
inline bool openDirect(QSqlDatabase& db, const Db::Connection& c) {
    if (c.engine == Db::Engine::Sqlite) {
        db.setDatabaseName(c.database);
    } else if (c.engine == Db::Engine::Odbc) {
        db.setDatabaseName(Db::odbcConnectionString(c));
    } else {
        const QStringList hostPort = c.server.split(QLatin1Char(','));
        db.setHostName(hostPort.value(0));
        db.setPort(hostPort.value(1).toInt());
        db.setUserName(c.login);
        db.setPassword(c.password);
        db.setDatabaseName(c.database);
    }
    return db.open();
}

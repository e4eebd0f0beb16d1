// The record audit at size: 10,000 retired rows of one ledger (a quarter of them edits whose
// replacements live on) among 1,000,000 rows of 100 ledgers, one in a hundred of the others'
// rows retired too. The listing as the window builds it (one statement, entries, lines, model)
// beside the raw fetch of the same rows on an open connection, and which indexes the statement
// reads. PostgreSQL is measured when the test server's values are in the environment (run under
// scripts/bench.sh).
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"
#include "reports/audit.h"
#include "reports/reportlines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const QString kZb = QStringLiteral("13800130000");
constexpr int kRows = 1000000;
constexpr int kRetired = 10000;
constexpr int kReplacements = kRetired / 4;

Audit::Filter december() {
    return {{"2026", "12", "01", "00", "00"}, {"2026", "12", "31", "23", "59"}, {}, {}};
}

// The three bulk inserts, each one statement generating its rows on the server.
QStringList seedStatements(bool sqlite) {
    // Joined rather than QString::arg: the formats hold "%" signs of their own.
    const auto pad = [sqlite](const QString& x, int n) {
        return sqlite ? QStringLiteral("printf('%0") + QString::number(n) + QStringLiteral("d',") +
                            x + QLatin1Char(')')
                      : QStringLiteral("lpad((") + x + QStringLiteral(")::text,") +
                            QString::number(n) + QStringLiteral(",'0')");
    };
    const auto minutesAfter = [sqlite](const QString& base, const QString& x) {
        return sqlite ? QStringLiteral("strftime('%Y-%m-%d %H:%M','") + base +
                            QStringLiteral("','+'||(") + x + QStringLiteral(")||' minutes')")
                      : QStringLiteral("(timestamp '") + base + QStringLiteral("' + (") + x +
                            QStringLiteral(") * interval '1 minute')");
    };
    const auto series = [sqlite](int last, int step) {
        return sqlite ? QStringLiteral("with recursive s(g) as (select 0 union all select g+%2 "
                                       "from s where g+%2<=%1) ")
                            .arg(last)
                            .arg(step)
                      : QString();
    };
    const auto from = [sqlite](int last, int step) {
        return sqlite ? QStringLiteral(" from s")
                      : QStringLiteral(" from generate_series(0,%1,%2) g").arg(last).arg(step);
    };
    const QString insert = QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) select ");
    const QString day = QStringLiteral("'#2026-12-'||") + pad("1+g%28", 2);
    const int others = kRows - kRetired - kReplacements;
    const QString ledger = QStringLiteral("'1380013'||") + pad("1+g%99", 4);
    return {
        // The other 99 ledgers, one row in a hundred retired in December.
        series(others - 1, 1) + insert + QStringLiteral("case when (g/99)%100=0 then '管理员#'||") +
            ledger + QStringLiteral("||") + day + QStringLiteral("||' 10:00' else ") + ledger +
            QStringLiteral(" end,'管理员',") + minutesAfter("2026-11-01 00:00", "g%40000") +
            QStringLiteral(",'N'||") + pad("g", 11) +
            QStringLiteral(",'物品'||(g%500),case when g%7=0 then -3 else 5 end,''") +
            from(others - 1, 1),
        // This ledger's retired rows: every fourth an edit, the rest deleted by names with "#".
        series(kRetired - 1, 1) + insert + QStringLiteral("case when g%4=0 then 'P'||") +
            pad("g", 11) + QStringLiteral(" else '张#'||(g%7)||' 三' end||'#") + kZb +
            QStringLiteral("'||") + day + QStringLiteral("||' '||") + pad("g%24", 2) +
            QStringLiteral("||':'||") + pad("g%60", 2) + QStringLiteral(",'管理员',") +
            minutesAfter("2026-11-01 00:00", "g") + QStringLiteral(",'N'||") + pad("g", 11) +
            QStringLiteral(",'物品'||(g%500),case when g%3=0 then -2 else 4 end,'备注'") +
            from(kRetired - 1, 1),
        // The edits' replacements, live.
        series(kRetired - 1, 4) + insert + QStringLiteral("'") + kZb + QStringLiteral("','李四',") +
            minutesAfter("2026-12-01 00:00", "g") + QStringLiteral(",'P'||") + pad("g", 11) +
            QStringLiteral(",'物品'||(g%500),1,''") + from(kRetired - 1, 4),
    };
}

template <typename F> double timedMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

void measure(const Target& t) {
    Db::setConnection(t.connection);
    const bool sqlite = t.connection.engine == Db::Engine::Sqlite;
    RunSql(QStringLiteral("delete from Zhang")); // the schema, and an empty table
    QSqlDatabase db = QSqlDatabase::addDatabase(
        sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), QStringLiteral("bench-raw"));
    if (!openDirect(db, t.connection)) {
        std::printf("%s: no direct connection\n", t.name.c_str());
        return;
    }
    {
        QSqlQuery q(db);
        const double seeded = timedMs([&] {
            db.transaction();
            for (const QString& s : seedStatements(sqlite))
                if (!q.exec(s))
                    std::printf("%s: %s\n", t.name.c_str(), qPrintable(q.lastError().text()));
            db.commit();
            // The server's own statistics run would do this soon; the embedded file never.
            if (!sqlite)
                q.exec(QStringLiteral("analyze Zhang"));
        });
        q.exec(QStringLiteral("select count(*) from Zhang"));
        q.next();
        std::printf("%-11s seeded %d rows in %.1f s\n", t.name.c_str(), q.value(0).toInt(),
                    seeded / 1000);
    }

    const QString statement = Audit::statement(kZb, december(), t.connection.engine);
    // Where the rows come from: an index, never a scan of the table.
    QStringList scans;
    {
        QSqlQuery q(db);
        q.exec((sqlite ? QStringLiteral("explain query plan ") : QStringLiteral("explain ")) +
               statement);
        while (q.next()) {
            const QString step = q.value(sqlite ? 3 : 0).toString().trimmed();
            if (step.contains(QStringLiteral("Scan"), Qt::CaseInsensitive) ||
                step.startsWith(QStringLiteral("SEARCH")))
                scans << step.left(step.indexOf(QStringLiteral("  (")));
        }
    }
    std::printf("%-11s reads: %s\n", t.name.c_str(), qPrintable(scans.join(QStringLiteral("; "))));

    int entries = 0, edited = 0, lines = 0;
    const auto listOnce = [&] {
        ReportLines model;
        model.append(Audit::header(QStringLiteral("物品")));
        Audit::Listing l = Audit::list(kZb, december());
        entries = static_cast<int>(l.entries.size());
        edited = static_cast<int>(std::count_if(l.entries.cbegin(), l.entries.cend(),
                                                [](const Audit::Entry& e) { return e.edited; }));
        model.append(std::move(l.body));
        lines = model.count();
    };
    // Raw: a statement run on the open connection, every value turned into text. As for the
    // journal, the listing's own statement; and, stricter, the retired rows alone, in the same
    // order, without the join to their replacements.
    const QString alone =
        QStringLiteral("select z.ZBID,z.ID,z.USR,z.TM,z.ITEM,z.SL,z.BZ from Zhang z") +
        statement.mid(statement.indexOf(QStringLiteral(" where ")));
    const auto fetchOnce = [&](const QString& sql) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(sql);
        const int cols = query.record().count();
        std::vector<QString> values;
        values.reserve(kRetired * cols);
        while (query.next())
            for (int j = 0; j < cols; ++j)
                values.push_back(query.value(j).toString());
    };
    // Taken in turns, the best of each, so that a busy machine weighs on all alike.
    double listed = 1e100, same = 1e100, retired = 1e100;
    for (int round = 0; round < 7; ++round) {
        listed = std::min(listed, timedMs(listOnce));
        same = std::min(same, timedMs([&] { fetchOnce(statement); }));
        retired = std::min(retired, timedMs([&] { fetchOnce(alone); }));
    }
    std::printf("%-11s audit of %d retired rows (%d edits) among %d: %d lines, 1 statement; "
                "listed %.0f ms; raw fetch of its statement %.0f ms, ratio %.2fx; of the retired "
                "rows alone %.0f ms, ratio %.2fx\n",
                t.name.c_str(), entries, edited, kRows, lines, listed, same, listed / same, retired,
                listed / retired);
    QSqlQuery(db).exec(QStringLiteral("delete from Zhang"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench-raw"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());
    for (const Target& t : benchTargets(dir, false))
        measure(t);
    return 0;
}

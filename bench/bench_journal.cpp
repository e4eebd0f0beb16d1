// The detail journal at size: 100,000 rows over 1,000 items, listed as the window lists them
// (statement, rows, opening balances, lines, model) beside the raw fetch of the same rows on an
// open connection; and the batch delete of 10,000 listed rows. PostgreSQL is measured when the
// test server's values are in the environment (run under scripts/test.sh).
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"
#include "reports/journal.h"
#include "reports/reportlines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const QString kZb = QStringLiteral("13800138000");
constexpr int kRows = 100000;
constexpr int kItems = 1000;
constexpr int kDeleted = 10000;

Journal::Filter december() {
    Journal::Filter f;
    f.from = {"2026", "12", "01", "00", "00"};
    f.to = {"2026", "12", "31", "23", "59"};
    return f;
}

// Rows in December, one per item before it so every group has an opening balance.
bool seed(const QString& zbid, int rows, const QString& idPrefix) {
    QStringList statements;
    QStringList values;
    const auto flush = [&] {
        if (!values.isEmpty())
            statements.append(
                QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ") +
                values.join(QLatin1Char(',')));
        values.clear();
    };
    for (int i = 0; i < rows + kItems; ++i) {
        const bool before = i >= rows;
        const int minute = i % (30 * 24 * 60);
        const QString tm = before ? QStringLiteral("2026-11-15 08:00")
                                  : QStringLiteral("2026-12-%1 %2:%3")
                                        .arg(minute / 1440 + 1, 2, 10, QLatin1Char('0'))
                                        .arg(minute / 60 % 24, 2, 10, QLatin1Char('0'))
                                        .arg(minute % 60, 2, 10, QLatin1Char('0'));
        values.append(QStringLiteral("('%1','管理员','%2','%3%4','物品%5',%6,'%7')")
                          .arg(zbid, tm, idPrefix)
                          .arg(i, 8, 10, QLatin1Char('0'))
                          .arg(i % kItems)
                          .arg(i % 7 == 0 ? -3 : 5)
                          .arg(i % 5 == 0 ? QStringLiteral("计划外") : QString()));
        if (values.size() == 500)
            flush();
    }
    flush();
    return RunSqlBatch(statements) == QLatin1String("OK");
}

template <typename F> double bestMs(int runs, F&& f) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void measure(const Target& t) {
    Db::setConnection(t.connection);
    RunSql(QStringLiteral("delete from Zhang"));
    if (!seed(kZb, kRows, QStringLiteral("N"))) {
        std::printf("%s: seeding failed\n", t.name.c_str());
        return;
    }
    const Journal::Query q = Journal::build(kZb, QStringLiteral("物品"), december());

    int statements = 0;
    int lines = 0;
    const auto listOnce = [&] {
        ReportLines model;
        model.append(Journal::header({QStringLiteral("物品"), QStringLiteral("存量")}, true));
        Journal::Listing l = Journal::list(kZb, QStringLiteral("物品"), december());
        model.append(std::move(l.body));
        statements = l.statements;
        lines = model.count();
    };

    // The same rows read on a connection that stays open, every value turned into text.
    QSqlDatabase db = QSqlDatabase::addDatabase(t.connection.engine == Db::Engine::Sqlite
                                                    ? QStringLiteral("QSQLITE")
                                                    : QStringLiteral("QPSQL"),
                                                QStringLiteral("bench-raw"));
    const bool open = openDirect(db, t.connection);
    const auto fetchOnce = [&] {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(q.statement);
        std::vector<QString> values;
        values.reserve(kRows * 6);
        while (query.next())
            for (int j = 0; j < 6; ++j)
                values.push_back(query.value(j).toString());
    };
    // Taken in turns, the best of each, so that a busy machine weighs on both alike.
    double listed = 1e100, raw = 1e100;
    for (int round = 0; round < 7 && open; ++round) {
        listed = std::min(listed, bestMs(1, listOnce));
        raw = std::min(raw, bestMs(1, fetchOnce));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench-raw"));

    std::printf("%-11s journal of %d rows, %d items: %d lines, %d statements; listed %.0f ms, "
                "raw fetch %.0f ms, ratio %.2fx\n",
                t.name.c_str(), kRows, kItems, lines, statements, listed, raw,
                open ? listed / raw : 0.0);

    // Batch delete: the first 10,000 listed ids, one transaction.
    RunSql(q.statement);
    QStringList ids;
    for (int i = 1; i <= kDeleted; ++i)
        ids.append(MainBas::SqlRows(i, 0));
    const QStringList retire =
        Journal::retireAll(QStringLiteral("管理员"), kZb, QStringLiteral("2026-12-31 10:00"), ids);
    QString result;
    const double deleted = bestMs(1, [&] { result = RunSqlBatch(retire); });
    const int gone = RunSqlOne(QStringLiteral("select count(*) from Zhang where ZBID='管理员#") +
                               kZb + QStringLiteral("#2026-12-31 10:00'"))
                         .toInt();
    std::printf("%-11s batch delete of %d rows: %lld statements, %s, %d retired, %.0f ms\n",
                t.name.c_str(), kDeleted, static_cast<long long>(retire.size()), qPrintable(result),
                gone, deleted);
    RunSql(QStringLiteral("delete from Zhang"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());

    const std::vector<Target> targets = benchTargets(dir, false);
    for (const Target& t : targets)
        measure(t);
    return 0;
}

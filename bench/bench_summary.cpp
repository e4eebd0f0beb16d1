// The summary table of 1,000 items over 100,000 journal rows: the whole table built through
// RunSql (statement, rows, item choice, lines) beside the same grouped query fetched raw on a
// connection that stays open, and, for scale, the three statements per item the table once
// sent. PostgreSQL is measured when the test server's values are in the environment
// (ZELVO_TEST_PG_PORT and friends, as scripts/test.sh sets them).
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"
#include "reports/summary.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const QString kLedger = QStringLiteral("BENCH");
const QString kStart = QStringLiteral("2026-06-01 00:00");
const QString kEnd = QStringLiteral("2026-06-30 23:59");
constexpr int kItems = 1000;
constexpr int kRowsPerItem = 100;

QString itemName(int i) {
    return QStringLiteral("物品%1").arg(i, 4, 10, QLatin1Char('0'));
}

int statementsSent = 0;

void countStatements() {
    Db::setBusyHandler([](bool busy) {
        if (busy)
            ++statementsSent;
    });
}

bool seed(const Db::Connection& c) {
    Db::setConnection(c);
    if (RunSql(QStringLiteral("delete from Zhang where ZBID='") + kLedger + "'") != "OK")
        return false;
    QStringList inserts;
    int id = 0;
    for (int i = 0; i < kItems; ++i) {
        QStringList values;
        for (int r = 0; r < kRowsPerItem; ++r, ++id) {
            // Spread over the year, so each item has rows before, inside and after June.
            const int month = 1 + r % 12;
            const int day = 1 + (r * 7) % 28;
            const QString tm = QStringLiteral("2026-%1-%2 %3:%4")
                                   .arg(month, 2, 10, QLatin1Char('0'))
                                   .arg(day, 2, 10, QLatin1Char('0'))
                                   .arg(r % 24, 2, 10, QLatin1Char('0'))
                                   .arg((r * 13) % 60, 2, 10, QLatin1Char('0'));
            const QString sl = (r % 3 == 0) ? QStringLiteral("-2.5") : QStringLiteral("4");
            values << QStringLiteral("('%1','管理员','%2','B%3','%4',%5,'')")
                          .arg(kLedger, tm, QString::number(id), itemName(i), sl);
        }
        inserts << QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ") +
                       values.join(QLatin1Char(','));
    }
    return RunSqlBatch(inserts) == "OK";
}

void summaryTable(benchmark::State& state, const Db::Connection& c) {
    Db::setConnection(c);
    for (auto _ : state) {
        statementsSent = 0;
        if (RunSql(Summary::statement(kLedger, kStart, kEnd)).toInt() != kItems) {
            state.SkipWithError("the grouped statement did not find every item");
            break;
        }
        const auto all = Summary::rowsOf(MainBas::SqlRows, MainBas::SqlRowMax);
        const auto chosen = Summary::choose(all, QString(), Summary::Relation::Equal, "物品");
        const auto lines = Summary::body(Summary::shownRows(chosen.rows, true));
        benchmark::DoNotOptimize(lines.size());
    }
    state.counters["statements"] = statementsSent;
}

void perItemSums(benchmark::State& state, const Db::Connection& c) {
    Db::setConnection(c);
    for (auto _ : state) {
        statementsSent = 0;
        double total = 0;
        for (int i = 0; i < kItems; ++i) {
            const QString head = QStringLiteral("select sum(sl) from Zhang Where ZBID='") +
                                 kLedger + "' and Item='" + itemName(i) + "' and TM";
            total += RunSqlOne(head + "<'" + kStart + "'").toDouble();
            total +=
                RunSqlOne(head + ">='" + kStart + "' and TM<='" + kEnd + "' and SL>=0 ").toDouble();
            total +=
                RunSqlOne(head + ">='" + kStart + "' and TM<='" + kEnd + "' and SL<0 ").toDouble();
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["statements"] = statementsSent;
}

void groupedQueryRaw(benchmark::State& state, const Db::Connection& c) {
    const QString name = QStringLiteral("bench-open");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            c.engine == Db::Engine::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
            name);
        if (!openDirect(db, c)) {
            state.SkipWithError("cannot open the connection");
        } else {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            const QString statement = Summary::statement(kLedger, kStart, kEnd);
            for (auto _ : state) {
                if (!query.exec(statement)) {
                    state.SkipWithError("query failed");
                    break;
                }
                QStringList values;
                while (query.next())
                    for (int j = 0; j < 4; ++j)
                        values.append(query.value(j).toString());
                benchmark::DoNotOptimize(values);
            }
            state.counters["statements"] = 1;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    std::map<std::string, double> nsPerRun;
    std::map<std::string, int> statements;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            nsPerRun[run.run_name.function_name] =
                run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            const auto sent = run.counters.find("statements");
            if (sent != run.counters.end())
                statements[run.run_name.function_name] = static_cast<int>(sent->second.value);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());

    const std::vector<Target> targets = benchTargets(dir, false);

    std::vector<Target> seeded;
    for (const Target& t : targets) {
        if (!seed(t.connection)) {
            std::printf("%s: could not store the journal rows, skipped\n", t.name.c_str());
            continue;
        }
        seeded.push_back(t);
        benchmark::RegisterBenchmark(("SummaryTable/" + t.name).c_str(), summaryTable, t.connection)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("GroupedQueryRaw/" + t.name).c_str(), groupedQueryRaw,
                                     t.connection)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ThreePerItem/" + t.name).c_str(), perItemSums, t.connection)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    countStatements();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nsummary of %d items over %d rows\n", kItems, kItems * kRowsPerItem);
    std::printf("%-12s %12s %10s %8s %16s %22s\n", "engine", "table (ms)", "raw (ms)", "ratio",
                "3 per item (ms)", "statements (table/old)");
    for (const Target& t : seeded) {
        const auto table = reporter.nsPerRun.find("SummaryTable/" + t.name);
        const auto raw = reporter.nsPerRun.find("GroupedQueryRaw/" + t.name);
        const auto old = reporter.nsPerRun.find("ThreePerItem/" + t.name);
        if (table == reporter.nsPerRun.end() || raw == reporter.nsPerRun.end())
            continue;
        std::printf("%-12s %12.2f %10.2f %7.2fx %16.1f %15d / %d\n", t.name.c_str(),
                    table->second / 1e6, raw->second / 1e6, table->second / raw->second,
                    old == reporter.nsPerRun.end() ? 0.0 : old->second / 1e6,
                    reporter.statements["SummaryTable/" + t.name],
                    reporter.statements["ThreePerItem/" + t.name]);
    }
    return 0;
}

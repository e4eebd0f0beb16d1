// What RunSql costs beyond the statement itself: one RunSql of the ledger-opening query, handed
// to the connection's worker thread and waited for, beside the same query on a connection the
// benchmark holds open on its own thread; medians of seven turns each, taken in mixed order.
// PostgreSQL, and PostgreSQL through ODBC under the driver name "SQL Server", are measured when the
// test server's values are in the environment (ZELVO_TEST_PG_PORT and friends, ODBCSYSINI, as
// scripts/test.sh sets them).
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"

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

const QString kQuery =
    QStringLiteral("select Item,SL,Msg,Cmd,GongGao from ZbLst where ZBid='13800138000'");

void seed() {
    RunSql(QStringLiteral("delete from Zblst where ZBid='13800138000'"));
    RunSql(QStringLiteral("insert into Zblst (ZBid,ZbNm,Item,SL,Msg,Cmd,GongGao) values "
                          "('13800138000','家庭账本','物品','存量','您好！','','255│盘点')"));
}

void runSqlOnce(benchmark::State& state, const Db::Connection& c) {
    Db::setConnection(c);
    seed();
    for (auto _ : state) {
        if (RunSql(kQuery) != QLatin1String("1")) {
            state.SkipWithError("RunSql did not find the ledger row");
            break;
        }
        benchmark::DoNotOptimize(MainBas::SqlRows(1, 0));
    }
}

void openConnection(benchmark::State& state, const Db::Connection& c) {
    Db::setConnection(c);
    seed();
    const QString name = QStringLiteral("bench-open");
    {
        const char* driver = c.engine == Db::Engine::Sqlite     ? "QSQLITE"
                             : c.engine == Db::Engine::Postgres ? "QPSQL"
                                                                : "QODBC";
        QSqlDatabase db = QSqlDatabase::addDatabase(QString::fromLatin1(driver), name);
        if (!openDirect(db, c)) {
            state.SkipWithError("cannot open the connection");
        } else {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
            for (auto _ : state) {
                // The same work as RunSql once connected: run, read every value as text.
                if (!query.exec(kQuery)) {
                    state.SkipWithError("query failed");
                    break;
                }
                QStringList values;
                while (query.next())
                    for (int j = 0; j < 5; ++j)
                        values.append(query.value(j).toString());
                benchmark::DoNotOptimize(values);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    std::map<std::string, double> nsPerCall;

    // The median of the repetitions: one slow stretch of the machine does not decide the ratio.
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0 && run.aggregate_name == "median")
                nsPerCall[run.run_name.function_name] =
                    run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());

    const std::vector<Target> targets = benchTargets(dir, true);

    for (const Target& t : targets) {
        benchmark::RegisterBenchmark(("RunSql/" + t.name).c_str(), runSqlOnce, t.connection)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(("OpenConnection/" + t.name).c_str(), openConnection,
                                     t.connection)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
    }

    // The two sides of a ratio take turns, so both see the same moments of the machine.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-12s %16s %22s %8s\n", "engine", "RunSql (us)", "open connection (us)",
                "ratio");
    for (const Target& t : targets) {
        const auto fresh = reporter.nsPerCall.find("RunSql/" + t.name);
        const auto open = reporter.nsPerCall.find("OpenConnection/" + t.name);
        if (fresh == reporter.nsPerCall.end() || open == reporter.nsPerCall.end())
            continue;
        std::printf("%-12s %16.1f %22.1f %7.2fx\n", t.name.c_str(), fresh->second / 1000,
                    open->second / 1000, fresh->second / open->second);
    }
    return 0;
}

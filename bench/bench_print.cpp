// Printing at size: a journal of 100,000 rows listed from an SQLite ledger and written to a PDF
// file as the PDF button writes it, and the chart of one item with 10,000 steps drawn.
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"
#include "reports/chartseries.h"
#include "reports/journal.h"
#include "reports/reportprint.h"
#include "reports/zstu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QString kZb = QStringLiteral("13800138000");
const QString kChartZb = QStringLiteral("13900139000");

Journal::Filter december(const QString& item = QString()) {
    Journal::Filter f;
    f.from = {"2026", "12", "01", "00", "00"};
    f.to = {"2026", "12", "31", "23", "59"};
    f.item = item;
    return f;
}

// `rows` entries of ledger `zbid` in December over `items` items (named with `prefix`), one
// minute apart.
bool seed(const QString& zbid, int rows, int items, const QString& prefix) {
    QStringList statements, values;
    for (int i = 0; i < rows; ++i) {
        const int minute = i % (30 * 24 * 60);
        values.append(QStringLiteral("('%1','管理员','2026-12-%2 %3:%4','%5%6','%5%7',%8,'%9')")
                          .arg(zbid)
                          .arg(minute / 1440 + 1, 2, 10, QLatin1Char('0'))
                          .arg(minute / 60 % 24, 2, 10, QLatin1Char('0'))
                          .arg(minute % 60, 2, 10, QLatin1Char('0'))
                          .arg(prefix)
                          .arg(i, 8, 10, QLatin1Char('0'))
                          .arg(i % items)
                          .arg(i % 7 == 0 ? -3 : 5)
                          .arg(i % 5 == 0 ? QStringLiteral("计划外") : QString()));
        if (values.size() == 500 || i == rows - 1) {
            statements.append(
                QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ") +
                values.join(QLatin1Char(',')));
            values.clear();
        }
    }
    return RunSqlBatch(statements) == QLatin1String("OK");
}

double msSince(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());
    MainBas::ItemName = QStringLiteral("物品");
    MainBas::SlName = QStringLiteral("存量");
    Db::setConnection(benchTargets(dir, false).front().connection);
    if (!seed(kZb, 100000, 1000, QStringLiteral("物品")) ||
        !seed(kChartZb, 10000, 1, QStringLiteral("走势"))) {
        std::printf("seeding failed\n");
        return 1;
    }

    QElapsedTimer t;
    t.start();
    const Journal::Listing all = Journal::list(kZb, QStringLiteral("物品"), december());
    std::printf("journal listed: %lld rows in %.0f ms\n", static_cast<long long>(all.rows.size()),
                msSince(t));
    t.restart();
    Print::Printable p = Journal::printable(all, {QStringLiteral("物品"), QStringLiteral("存量")});
    Print::setHeading(p, QStringLiteral("流水明细账"));
    const double built = msSince(t);
    t.restart();
    const QString path = dir.filePath(QStringLiteral("journal.pdf"));
    const bool ok = ReportPrint::writePdf(p, path);
    const double written = msSince(t);
    std::printf("PDF of %lld rows: table %.0f ms, pages written %.0f ms, total %.0f ms (limit "
                "10000), %s, %.1f MB\n",
                static_cast<long long>(p.rows.size()), built, written, built + written,
                ok ? "ok" : "FAILED", QFileInfo(path).size() / 1e6);

    // From the rows already listed to the first picture: the series, the window, its paint.
    const Journal::Filter one = december(QStringLiteral("走势0"));
    const Journal::Listing item = Journal::list(kChartZb, QStringLiteral("物品"), one);
    t.restart();
    const Chart::Series s = Chart::series(item, QStringLiteral("走势0"), one);
    ZsTu chart(s);
    chart.resize(960, 560);
    chart.show();
    QApplication::processEvents();
    chart.picture();
    const double opened = msSince(t);
    double best = 1e100;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        chart.picture();
        best = std::min(best, msSince(t));
    }
    std::printf("chart of %lld steps: opened and drawn in %.1f ms, redrawn in %.1f ms (best of "
                "5; limit 200)\n",
                static_cast<long long>(s.steps.size()), opened, best);
    return 0;
}

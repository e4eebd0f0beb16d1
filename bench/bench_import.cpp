// The batch import at size: 10,000 lines of a GB18030 sheet read, checked and written in one
// transaction (column widths, server date, taken ids, multi-row inserts), beside the raw
// multi-row insert of the same rows on an open connection. PostgreSQL is measured when the
// test server's values are in the environment (run under scripts/bench.sh).
#include "app/gb18030.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "benchtargets.h"
#include "reports/importread.h"
#include "reports/importwrite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const QString kZb = QStringLiteral("13800138000");
constexpr int kLines = 10000;
constexpr double kRatioBudget = 1.5;
constexpr int kStatementBudget = 30;
const Import::Words kWords{QStringLiteral("物品"), QStringLiteral("存量")};

// A stock sheet as a spreadsheet saves it: header, item, signed change, remark, own time for
// every tenth line.
QByteArray sheet() {
    QString text = QStringLiteral("物品,增减,备注,时间\r\n");
    for (int i = 0; i < kLines; ++i)
        text += QStringLiteral("不锈钢管φ%1,%2,%3,%4\r\n")
                    .arg(i % 1000)
                    .arg(i % 7 == 0 ? QStringLiteral("-3") : QStringLiteral("\"1,250.5\""))
                    .arg(i % 5 == 0 ? QStringLiteral("期初盘点") : QString())
                    .arg(i % 10 == 0 ? QStringLiteral("2026-01-01 08:00") : QString());
    return Gb18030::encode(text);
}

int statementsSent = 0;

void measure(const Target& t) {
    Db::setConnection(t.connection);
    Db::setBusyHandler([](bool busy) { statementsSent += busy ? 1 : 0; });
    RunSql(QStringLiteral("delete from Zhang"));
    GetSrvDate();
    const QByteArray bytes = sheet();

    QStringList rawStatements;
    int statements = 0;
    QString message;
    // Statements sent: the calls of the access layer, a batch counted by its statements.
    const auto importOnce = [&] {
        statementsSent = 0;
        QString error;
        const Import::Sheet s = Import::read(bytes, kWords, &error);
        const QVector<Import::Line> lines = Import::parseAll(s, kWords, Import::readLimits());
        const Import::Outcome o = Import::write(kZb, QStringLiteral("管理员"), lines);
        const int inserts = (static_cast<int>(lines.size()) + Import::kChunk - 1) / Import::kChunk;
        statements = statementsSent - 1 + inserts;
        message = o.message;
    };

    QSqlDatabase db = QSqlDatabase::addDatabase(t.connection.engine == Db::Engine::Sqlite
                                                    ? QStringLiteral("QSQLITE")
                                                    : QStringLiteral("QPSQL"),
                                                QStringLiteral("bench-raw"));
    const bool open = openDirect(db, t.connection);
    const auto rawOnce = [&] {
        db.transaction();
        QSqlQuery query(db);
        for (const QString& s : rawStatements)
            query.exec(s);
        query.finish();
        db.commit();
    };
    const auto clear = [&] { RunSql(QStringLiteral("delete from Zhang")); };
    // The raw side sends the very rows the import wrote, ids included.
    importOnce();
    // In the order written (a fresh table is read back in it), so both sides fill the indexes
    // alike.
    RunSql(QStringLiteral("select ZBID,USR,TM,ID,ITEM,SL,BZ from Zhang"));
    QStringList values;
    for (int i = 1; i < MainBas::SqlRowMax; ++i) {
        QStringList v;
        for (int j = 0; j < 7; ++j)
            v << (j == 5 ? MainBas::SqlRows(i, j) : "'" + MainBas::SqlRows(i, j) + "'");
        values << "(" + v.join(',') + ")";
        if (values.size() == Import::kChunk || i + 1 == MainBas::SqlRowMax) {
            rawStatements << "insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values " +
                                 values.join(',');
            values.clear();
        }
    }
    // Taken in turns, the best of each, so that a busy machine weighs on both alike.
    double imported = 1e100, raw = 1e100;
    for (int round = 0; round < 5 && open; ++round) {
        QElapsedTimer timer;
        clear();
        timer.start();
        importOnce();
        imported = std::min(imported, timer.nsecsElapsed() / 1e6);
        clear();
        timer.start();
        rawOnce();
        raw = std::min(raw, timer.nsecsElapsed() / 1e6);
    }
    const int written = RunSqlOne(QStringLiteral("select count(*) from Zhang")).toInt();
    clear();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench-raw"));
    Db::setBusyHandler({});

    const double ratio = open ? imported / raw : 0.0;
    std::printf("%-11s import of %d lines: %s %d statements; imported %.0f ms, raw insert %.0f ms "
                "(%d rows), ratio %.2fx (budget %.1fx, %d statements) %s\n",
                t.name.c_str(), kLines, qPrintable(message), statements, imported, raw, written,
                ratio, kRatioBudget, kStatementBudget,
                ratio <= kRatioBudget && statements <= kStatementBudget ? "OK" : "OVER");
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

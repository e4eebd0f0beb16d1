// 100,000 entries of one ledger moved from the embedded database to the test PostgreSQL server
// (run under scripts/bench.sh or scripts/test.sh): the time, and the statements sent to both
// sides, against their budgets of 10 s and 50 statements.
#include "app/format.h"
#include "db/ledgermove.h"

#include "benchtargets.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <cstdio>

namespace {

const QString kZb = QStringLiteral("13800138000");
constexpr int kEntries = 100000;
constexpr qint64 kMsBudget = 10000;
constexpr int kStatementBudget = 50;

// The ledger written straight into the file: one row, three operators, the entries, a tenth of
// them retired.
bool fill(const Db::Connection& c) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    bool ok = openDirect(db, c);
    QSqlQuery q(db);
    ok = ok && db.transaction();
    ok = ok && q.exec(QStringLiteral("insert into Zblst (ZBid,ZbNm,Item,SL,GongGao) values ('") +
                      kZb + QStringLiteral("','五金仓库','物品','存量','255│盘点周五')"));
    ok = ok && q.exec(QStringLiteral("insert into UsrLst (ZBID,Usr,Pwd,QX) values ('") + kZb +
                      QStringLiteral("','管理员','p','1111111111111111'),('") + kZb +
                      QStringLiteral("','小王','','0110000000000001'),('") + kZb +
                      QStringLiteral("','小李','x','0111111111111111')"));
    ok = ok && q.prepare(QStringLiteral(
                   "insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values (?,?,?,?,?,?,?)"));
    for (int i = 0; ok && i < kEntries; ++i) {
        const QString id = QStringLiteral("E%1").arg(i, 11, 10, QLatin1Char('0'));
        q.addBindValue(i % 10 == 7
                           ? QStringLiteral("管理员#") + kZb + QStringLiteral("#2026-12-05 11:30")
                           : kZb);
        q.addBindValue(QStringLiteral("管理员"));
        q.addBindValue(QStringLiteral("2026-12-%1 10:%2")
                           .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                           .arg(i % 60, 2, 10, QLatin1Char('0')));
        q.addBindValue(id);
        q.addBindValue(QStringLiteral("不锈钢管φ%1").arg(i % 1000));
        q.addBindValue((i % 2 ? -1 : 1) * (i % 97) / 8.0);
        q.addBindValue(i % 3 ? QString() : QStringLiteral("期初盘点"));
        ok = q.exec();
    }
    ok = ok && db.commit();
    q.finish();
    db.close();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::vector<Target> targets = benchTargets(dir, false);
    if (targets.size() < 2)
        return 0;
    const Db::Connection local = targets[0].connection;
    const Db::Connection pg = targets[1].connection;
    Db::setConnection(local);
    RunSql(QStringLiteral("select count(*) from Zblst")); // the tables made
    Db::setConnection(pg);
    RunSql(QStringLiteral("delete from Zhang where ZBID like '%") + kZb + QStringLiteral("%'"));
    RunSql(QStringLiteral("delete from UsrLst where ZBID='") + kZb + QLatin1Char('\''));
    RunSql(QStringLiteral("delete from Zblst where ZBid='") + kZb + QLatin1Char('\''));
    if (!fill(local)) {
        std::printf("filling the embedded database failed\n");
        return 1;
    }
    const LedgerMove::Outcome o = LedgerMove::copy(local, pg, kZb);
    const int statements = o.sourceStatements + o.targetStatements;
    const bool agree = LedgerMove::agree(o.source, o.target);
    std::printf("moved %lld entries (%lld live, %lld retired) and %lld operators to PostgreSQL: "
                "%lld ms, %d statements (%d read from the file, %d on the server); sums %s\n",
                static_cast<long long>(o.target.entries() + o.target.retired),
                static_cast<long long>(o.target.entries()),
                static_cast<long long>(o.target.retired),
                static_cast<long long>(o.target.operators), static_cast<long long>(o.milliseconds),
                statements, o.sourceStatements, o.targetStatements, agree ? "agree" : "DIFFER");
    const bool within = o.status == LedgerMove::Outcome::Moved && agree &&
                        o.milliseconds <= kMsBudget && statements <= kStatementBudget;
    std::printf("budget %lld ms, %d statements: %s\n", static_cast<long long>(kMsBudget),
                kStatementBudget, within ? "within" : "EXCEEDED");
    return within ? 0 : 1;
}

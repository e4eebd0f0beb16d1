// The secure server's cost: the detail journal of 100,000 rows and the summary table listed by
// an operator, through the row policies, against the same statements run by the tables' owner,
// whom no policy filters. Needs the test server's secure database (run under scripts/bench.sh).
#include "app/mainbas.h"
#include "db/sqlaccess.h"

#include "reports/journal.h"
#include "reports/summary.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString kZb = QStringLiteral("13700000009");
const QString kAdmin = QStringLiteral("管理员");
constexpr int kRows = 100000;
constexpr int kItems = 1000;

Db::Connection secureAs(const QString& login, const QString& password) {
    Db::Connection c;
    c.engine = Db::Engine::Postgres;
    c.server = QStringLiteral("127.0.0.1,") + qEnvironmentVariable("ZELVO_TEST_PG_PORT");
    c.login = login;
    c.password = password;
    c.database = qEnvironmentVariable("ZELVO_TEST_PG_SECURE_DB");
    return c;
}

// 100,000 rows in December and one per item before it, so every group has an opening balance;
// and a retired twin of every tenth row, so that the policy's test for the ledger's retired
// rows has work.
bool seed() {
    QStringList statements;
    QStringList values;
    const auto add = [&](const QString& zbid, const QString& tm, const QString& id, int i) {
        values.append(QStringLiteral("('%1','管理员','%2','%3','物品%4',%5,'')")
                          .arg(zbid, tm, id)
                          .arg(i % kItems)
                          .arg(i % 7 == 0 ? -3 : 5));
        if (values.size() == 500) {
            statements.append(
                QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ") +
                values.join(QLatin1Char(',')));
            values.clear();
        }
    };
    const QString marker = kAdmin + QLatin1Char('#') + kZb + QStringLiteral("#2026-12-31 10:00");
    for (int i = 0; i < kRows + kItems; ++i) {
        const int minute = i % (30 * 24 * 60);
        const QString tm = i >= kRows ? QStringLiteral("2026-11-15 08:00")
                                      : QStringLiteral("2026-12-%1 %2:%3")
                                            .arg(minute / 1440 + 1, 2, 10, QLatin1Char('0'))
                                            .arg(minute / 60 % 24, 2, 10, QLatin1Char('0'))
                                            .arg(minute % 60, 2, 10, QLatin1Char('0'));
        const QString id = QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0'));
        add(kZb, tm, QLatin1Char('N') + id, i);
        if (i % 10 == 9)
            add(marker, tm, QLatin1Char('R') + id, i);
    }
    statements.append(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ") +
                      values.join(QLatin1Char(',')));
    return RunSqlBatch(statements) == QLatin1String("OK") &&
           Db::runScript(QStringLiteral("analyze Zhang")) == QLatin1String("OK");
}

void cleanUp() {
    RunSql(
        QStringLiteral(
            "select zelvo_private.drop_role(zelvo_role_name(zbid, usr)) from UsrLst where ZBID='") +
        kZb + QLatin1Char('\''));
    RunSql(QStringLiteral("delete from Zhang where ZBID like '%") + kZb + QStringLiteral("%'"));
    RunSql(QStringLiteral("delete from UsrLst where ZBID='") + kZb + QLatin1Char('\''));
    RunSql(QStringLiteral("delete from Zblst where ZBID='") + kZb + QLatin1Char('\''));
}

double ms(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MainBas::initFixedValues(dir.path());
    if (qEnvironmentVariableIsEmpty("ZELVO_TEST_PG_SECURE_DB")) {
        std::printf("ZELVO_TEST_PG_SECURE_DB not set: run under scripts/bench.sh\n");
        return 0;
    }
    const Db::Connection owner = secureAs(qEnvironmentVariable("ZELVO_TEST_PG_USER"),
                                          qEnvironmentVariable("ZELVO_TEST_PG_PASSWORD"));
    const QString role =
        QStringLiteral("zelvo_") +
        QString::fromLatin1(QCryptographicHash::hash((kZb + QChar(0x1f) + kAdmin).toUtf8(),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(24));
    const Db::Connection op =
        secureAs(role, QStringLiteral("zelvo:") + kZb + QLatin1Char(':') + kAdmin);

    Db::setConnection(owner);
    cleanUp();
    if (RunSqlOne(QStringLiteral("select zelvo_create_ledger('") + kZb +
                  QStringLiteral("','账本','物品','存量','2026-11-01')")) != QLatin1String("OK") ||
        !seed()) {
        std::printf("seeding failed\n");
        cleanUp();
        return 1;
    }

    Journal::Filter f;
    f.from = {"2026", "12", "01", "00", "00"};
    f.to = {"2026", "12", "31", "23", "59"};
    const QString start = QStringLiteral("2026-12-01 00:00"),
                  end = QStringLiteral("2026-12-31 23:59");
    struct Side {
        const char* name;
        Db::Connection connection;
        double journal = 1e100, statement = 1e100, summary = 1e100;
        int journalStatements = 0, lines = 0, items = 0;
    } sides[] = {{"owner", owner}, {"operator", op}};
    const QString journalStatement =
        Journal::build(kZb, QStringLiteral("物品"), f, Db::Engine::Postgres).statement;
    // Taken in turns, the best of each, so that a busy machine weighs on both alike.
    for (int round = 0; round < 7; ++round)
        for (Side& s : sides) {
            Db::setConnection(s.connection);
            RunSql(QStringLiteral("select 1")); // the connection, outside the timing
            s.journal = std::min(s.journal, ms([&] {
                                     const Journal::Listing l =
                                         Journal::list(kZb, QStringLiteral("物品"), f);
                                     s.journalStatements = l.statements;
                                     s.lines = l.body.size();
                                 }));
            s.statement = std::min(s.statement, ms([&] { RunSql(journalStatement); }));
            s.summary = std::min(s.summary, ms([&] {
                                     s.items = RunSql(Summary::statement(kZb, start, end)).toInt();
                                 }));
        }
    for (const Side& s : sides)
        std::printf(
            "%-9s journal of %d rows: %d lines, %d statements, %.0f ms (its main statement %.0f "
            "ms); summary of %d items: 1 statement, %.0f ms\n",
            s.name, kRows, s.lines, s.journalStatements, s.journal, s.statement, s.items,
            s.summary);
    std::printf(
        "through the policies / as owner: journal %.2fx (statement alone %.2fx), summary %.2fx "
        "(goal <= 1.20x)\n",
        sides[1].journal / sides[0].journal, sides[1].statement / sides[0].statement,
        sides[1].summary / sides[0].summary);
    Db::setConnection(owner);
    cleanUp();
    return 0;
}

// A second client for the concurrency test: saves `count` entries of one item into a ledger on
// the test PostgreSQL server as fast as it can, and exits with the number refused.
#include "app/mainbas.h"
#include "main_window/entry.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 255;
    Db::setConnection(TestSupport::postgres());
    const QString zbid = QString::fromLocal8Bit(argv[1]);
    const QString usr = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    int refused = 0;
    for (int i = 1; i <= count; ++i) {
        const Entry::Row row{zbid,
                             usr,
                             GetSrvDate(),
                             QStringLiteral("螺丝"),
                             QString(),
                             QTime::currentTime(),
                             static_cast<double>(i)};
        if (Entry::saveRow(row) != QLatin1String("OK"))
            ++refused;
    }
    std::printf("%d\n", refused);
    return refused > 250 ? 250 : refused;
}

// Which server a computer talks to, what 测试连接 says of each way a connection can fail, and
// the encrypted link to the test server.
#include "db/serverprobe.h"
#include "db/serversettings.h"
#include "db/sqlaccess.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

using ServerProbe::Failure;

class ServerTest : public ::testing::Test {
protected:
    void TearDown() override { ServerSettings::setSystemFilePath(QString()); }
    TestSupport::Sandbox sb;
};

TEST_F(ServerTest, UserSettingsThenTheSystemFileThenTheBuiltInValues) {
    ServerSettings::setSystemFilePath(sb.path(QStringLiteral("system.ini")));
    EXPECT_EQ(ServerSettings::load().source, ServerSettings::Source::BuiltIn);
    EXPECT_EQ(ServerSettings::load().connection.server, Db::builtInConnection().server);

    // An administrator's file for every computer, written as this program writes its own.
    Db::Connection team{Db::Engine::Postgres,
                        "db.team.lan,5433",
                        "仓管",
                        "p'w│\"x",
                        "云记账",
                        Db::Encryption::VerifyCertificate,
                        "/etc/ssl/团队 ca.crt"};
    ServerSettings::save(team);
    ASSERT_TRUE(
        QFile::rename(sb.path(QStringLiteral("zelvo.ini")), sb.path(QStringLiteral("system.ini"))));
    sb.useSettings(QStringLiteral("fresh.ini"));
    ServerSettings::Loaded got = ServerSettings::load();
    EXPECT_EQ(got.source, ServerSettings::Source::System);
    EXPECT_EQ(got.connection.server, team.server);
    EXPECT_EQ(got.connection.password, team.password);
    EXPECT_EQ(got.connection.caFile, team.caFile);
    EXPECT_EQ(got.connection.encryption, Db::Encryption::VerifyCertificate);

    // The user's own choice wins; the password is not in the file as typed.
    Db::Connection mine = Db::builtInConnection();
    mine.database = QStringLiteral("本机");
    ServerSettings::save(mine);
    got = ServerSettings::load();
    EXPECT_EQ(got.source, ServerSettings::Source::User);
    EXPECT_EQ(got.connection.engine, mine.engine);
    EXPECT_EQ(got.connection.database, QStringLiteral("本机"));
    QFile file(sb.path(QStringLiteral("fresh.ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(mine.password.toUtf8()));
    EXPECT_EQ(file.permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

// Every user can read the system file: a whole user's file copied there lends this computer
// its server and nothing else; the Server lines alone, as the README tells, are enough.
TEST_F(ServerTest, TheSystemFileLendsOnlyItsServerSection) {
    const Db::Connection team{Db::Engine::Postgres,    "db.team.lan", "仓管", "密码", "云记账",
                              Db::Encryption::Require, QString()};
    ServerSettings::setSystemFilePath(sb.path(QStringLiteral("none.ini")));
    ServerSettings::save(team);
    LedgerList::save({{"13800000001", "仓库"}});
    LedgerList::setAutoOpen(true);
    LedgerList::setRememberedPassword(QStringLiteral("张三"), QStringLiteral("13800000001"),
                                      QStringLiteral("zs-pw"));
    QFile user(sb.path(QStringLiteral("zelvo.ini")));
    ASSERT_TRUE(user.open(QIODevice::ReadOnly));
    const QByteArray whole = user.readAll();
    QByteArray header, section, serverLines;
    for (const QByteArray& l : whole.split('\n')) {
        if (l.startsWith('[')) {
            section = l;
        } else if (l.startsWith("Server\\")) {
            header = section;
            serverLines += l + '\n';
        }
    }
    ASSERT_EQ(serverLines.count('\n'), 7) << whole.toStdString();
    const QByteArray serverOnly = header + '\n' + serverLines;

    int n = 0;
    for (const QByteArray& system : {whole, serverOnly}) {
        QFile file(sb.path(QStringLiteral("system%1.ini").arg(++n)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(system);
        file.close();
        ServerSettings::setSystemFilePath(file.fileName());
        sb.useSettings(QStringLiteral("fresh%1.ini").arg(n));
        const ServerSettings::Loaded got = ServerSettings::load();
        EXPECT_EQ(got.source, ServerSettings::Source::System);
        EXPECT_EQ(got.connection.server, team.server);
        EXPECT_EQ(got.connection.password, team.password);
        EXPECT_EQ(got.connection.encryption, team.encryption);
        EXPECT_TRUE(LedgerList::load().isEmpty());
        EXPECT_NE(LedgerList::autoOpen(), QStringLiteral("1"));
        EXPECT_EQ(
            LedgerList::rememberedPassword(QStringLiteral("张三"), QStringLiteral("13800000001")),
            QString());
    }
}

TEST(ServerProbeText, DriverTextsNameTheFailedStep) {
    const QList<std::pair<const char*, Failure>> cases = {
        {"connection to server at \"127.0.0.1\", port 1 failed: Connection refused",
         Failure::Unreachable},
        {"connection to server at \"10.9.9.9\", port 5432 failed: timeout expired",
         Failure::Unreachable},
        {"FATAL:  password authentication failed for user \"u\"", Failure::LoginRefused},
        {"[FreeTDS][SQL Server]Login failed for user 'sa'.", Failure::LoginRefused},
        {"FATAL:  database \"云记账x\" does not exist", Failure::NoDatabase},
        {"[Microsoft][ODBC Driver 18]Cannot open database \"x\" requested by the login.",
         Failure::NoDatabase},
        {"server does not support SSL, but SSL was required", Failure::EncryptionRefused},
        {"FATAL:  pg_hba.conf rejects connection for host \"127.0.0.1\", user \"u\", database "
         "\"d\", no encryption",
         Failure::EncryptionRequired},
        {"SSL error: certificate verify failed", Failure::Certificate},
        {"something else entirely", Failure::Other}};
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ServerProbe::classify(QString::fromUtf8(text)), want) << text;
    ServerProbe::Result r;
    r.failure = Failure::LoginRefused;
    r.driverText = QStringLiteral("FATAL: password authentication failed");
    EXPECT_EQ(
        ServerProbe::message(r),
        QStringLiteral("服务器拒绝了登录名或密码。\n\nFATAL: password authentication failed"));
}

// The test server: plain, over TLS, and refused in each of the ways a person meets. ctest runs
// it on an English and on a Chinese desktop; the step must not depend on libpq's language.
TEST_F(ServerTest, TestConnectionOnTheTestServer) {
    if (!TestSupport::havePostgres())
        GTEST_SKIP() << "no test server: run scripts/test.sh";
    // As the program does: Qt's own texts, the drivers' included, in Chinese.
    QTranslator qtBase;
    ASSERT_TRUE(qtBase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&qtBase);
    const Db::Connection good = TestSupport::postgres();
    ServerProbe::Result r = ServerProbe::probe(good);
    EXPECT_EQ(r.failure, Failure::None) << r.driverText.toStdString();
    EXPECT_TRUE(r.product.startsWith(QStringLiteral("PostgreSQL 15")));
    EXPECT_TRUE(r.missingTables.isEmpty());
    EXPECT_TRUE(
        ServerProbe::message(r).startsWith(QStringLiteral("连接成功！\n\n服务器：PostgreSQL")));

    const auto failure = [](Db::Connection c) { return ServerProbe::probe(c).failure; };
    Db::Connection c = good;
    c.server = QStringLiteral("127.0.0.1,1");
    r = ServerProbe::probe(c);
    EXPECT_EQ(r.failure, Failure::Unreachable);
    // The Chinese run really has libpq speak Chinese, or it would prove nothing.
    if (qEnvironmentVariable("LANGUAGE").startsWith(QStringLiteral("zh"))) {
        EXPECT_TRUE(r.driverText.contains(QRegularExpression(QStringLiteral("\\p{Han}"))))
            << r.driverText.toStdString();
    }
    c = good;
    c.password += QStringLiteral("x");
    EXPECT_EQ(failure(c), Failure::LoginRefused);
    c.password.clear();
    EXPECT_EQ(failure(c), Failure::LoginRefused);
    // A login the server's access rules turn away from this address.
    c = good;
    c.login = qEnvironmentVariable("ZELVO_TEST_PG_DENIED_USER");
    r = ServerProbe::probe(c);
    EXPECT_EQ(r.failure, Failure::NotFromHere) << r.driverText.toStdString();
    EXPECT_TRUE(ServerProbe::message(r).startsWith(
        QStringLiteral("服务器不接受这个登录名从本机连接，请联系服务器管理员。\n\n")));
    c.encryption = Db::Encryption::Require;
    EXPECT_EQ(failure(c), Failure::NotFromHere);
    c = good;
    c.database = QStringLiteral("没有这个库");
    EXPECT_EQ(failure(c), Failure::NoDatabase);
    c = good;
    c.database = qEnvironmentVariable("ZELVO_TEST_PG_EMPTY_DB");
    r = ServerProbe::probe(c);
    EXPECT_EQ(r.failure, Failure::None);
    EXPECT_EQ(r.missingTables, QStringList({"Zblst", "UsrLst", "Zhang"}));

    // A login let in only over TLS.
    Db::Connection tls = good;
    tls.login = qEnvironmentVariable("ZELVO_TEST_PG_SSL_USER");
    EXPECT_EQ(failure(tls), Failure::EncryptionRequired);
    tls.encryption = Db::Encryption::Require;
    EXPECT_EQ(failure(tls), Failure::None);
    tls.encryption = Db::Encryption::VerifyCertificate;
    tls.caFile = qEnvironmentVariable("ZELVO_TEST_PG_CA");
    EXPECT_EQ(failure(tls), Failure::None);
    tls.caFile = qEnvironmentVariable("ZELVO_TEST_PG_OTHER_CA");
    EXPECT_EQ(failure(tls), Failure::Certificate);

    // The statements themselves go over the encrypted link.
    tls.caFile = qEnvironmentVariable("ZELVO_TEST_PG_CA");
    Db::switchServer(tls);
    EXPECT_EQ(RunSqlOne(QStringLiteral("select ssl from pg_stat_ssl where pid=pg_backend_pid()")),
              QStringLiteral("true"));
    EXPECT_TRUE(Db::postgresOptions(tls).contains(QStringLiteral("connect_timeout=10")));
}

} // namespace

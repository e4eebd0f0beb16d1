// Every client finds an operator's login role by the same name as the server's functions do.
#include "db/secure.h"
#include "db/sqlaccess.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

TEST(OperatorRole, IsTheServersNameForAnyLedgerAndOperator) {
    REQUIRE_POSTGRES();
    TestSupport::Sandbox sb;
    sb.usePostgres();
    const QList<QPair<QString, QString>> cases = {
        {"13800138000", "管理员"},
        {"abc@mail.com", "Tom Smith"},
        {"a'b", "%\\_\"x"},
        {"ab", "c"},
        {"a", "bc"},
        {"12345", QString(200, QChar(0x6587))},
    };
    QStringList seen;
    for (const auto& [zbid, usr] : cases) {
        const QString role = Db::operatorRole(zbid, usr);
        EXPECT_EQ(RunSqlOne("select 'zelvo_' || left(encode(sha256(convert_to('" + SqlStr(zbid) +
                            "' || chr(31) || '" + SqlStr(usr) + "', 'UTF8')), 'hex'), 24)"),
                  role)
            << zbid.toStdString() << " / " << usr.toStdString();
        EXPECT_EQ(role.size(), 30);
        EXPECT_FALSE(seen.contains(role)); // "ab"+"c" and "a"+"bc" are two operators
        seen << role;
    }
    EXPECT_EQ(Db::loginPassword("12345", "张三", ""), "zelvo:12345:张三");
    EXPECT_EQ(Db::loginPassword("12345", "张三", " x "), " x ");
}

TEST(OperatorRole, ARefusedLoginIsToldInTheServersAndTheClientsLanguages) {
    for (const char* text :
         {"FATAL:  password authentication failed for user \"zelvo_1\" QPSQL: Unable to connect",
          "致命错误:  用户 \"zelvo_1\" Password 认证失败", "fe_sendauth: no password supplied",
          "fe_sendauth: 没有提供口令"})
        EXPECT_TRUE(Db::isAuthenticationRefusal(QString::fromUtf8(text))) << text;
    for (const char* text : {"could not connect to server: Connection refused",
                             "无法连接到服务器：拒绝连接", "timeout expired", ""})
        EXPECT_FALSE(Db::isAuthenticationRefusal(QString::fromUtf8(text))) << text;
}

} // namespace

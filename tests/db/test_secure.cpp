// The secure PostgreSQL server, spoken to through libpq as each login: the guest, operators
// holding or lacking each right, and the owner who sets the scene and cleans up.
#include "reports/journal.h"
#include "reports/summary.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QString>

#include <libpq-fe.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Conn = std::unique_ptr<PGconn, decltype(&PQfinish)>;

std::string env(const char* name) {
    return qEnvironmentVariable(name).toStdString();
}

const std::string kA = "13900000001";
const std::string kB = "13900000002";
const std::string kAdmin = "管理员";

// The login of an operator, computed here as any client computes it.
std::string role(const std::string& zbid, const std::string& usr) {
    const QByteArray bytes =
        QByteArray::fromStdString(zbid) + '\x1f' + QByteArray::fromStdString(usr);
    return "zelvo_" + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)
                          .toHex()
                          .left(24)
                          .toStdString();
}

std::string noPassword(const std::string& zbid, const std::string& usr) {
    return "zelvo:" + zbid + ":" + usr;
}

Conn connect(const std::string& user, const std::string& password,
             const std::string& db = env("ZELVO_TEST_PG_SECURE_DB")) {
    const char* keys[] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
    const std::string port = env("ZELVO_TEST_PG_PORT");
    const char* values[] = {"127.0.0.1",      port.c_str(), db.c_str(), user.c_str(),
                            password.c_str(), "UTF8",       nullptr};
    return Conn(PQconnectdbParams(keys, values, 0), &PQfinish);
}

// The ledgers' ids and a serial number written into a statement as {A}, {B} and {N}.
std::string fill(std::string s, int serial = 0) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{A}", kA},
                                     {"{B}", kB},
                                     {"{N}", std::to_string(serial)}})
        for (size_t at; (at = s.find(key)) != std::string::npos;)
            s.replace(at, key.size(), value);
    return s;
}

// One statement: its first value, "(none)" for no row, the row count of a command, or
// "ERROR" and the SQLSTATE.
std::string run(PGconn* c, const std::string& sql, const std::vector<std::string>& params = {}) {
    std::vector<const char*> p;
    for (const std::string& s : params)
        p.push_back(s.c_str());
    PGresult* r = PQexecParams(c, fill(sql).c_str(), static_cast<int>(p.size()), nullptr, p.data(),
                               nullptr, nullptr, 0);
    std::string out;
    if (PQresultStatus(r) == PGRES_TUPLES_OK)
        out = PQntuples(r) ? PQgetvalue(r, 0, 0) : "(none)";
    else if (PQresultStatus(r) == PGRES_COMMAND_OK)
        out = PQcmdTuples(r);
    else
        out = std::string("ERROR ") + (PQresultErrorField(r, PG_DIAG_SQLSTATE) ?: "?");
    PQclear(r);
    return out;
}

bool failed(const std::string& result) {
    return result.rfind("ERROR", 0) == 0;
}

std::string verifier(PGconn* c, const std::string& password, const std::string& role) {
    char* v = PQencryptPasswordConn(c, password.c_str(), role.c_str(), "scram-sha-256");
    const std::string out = v ? v : "";
    PQfreemem(v);
    return out;
}

// A rights word with '1' exactly at the positions given, or everywhere but them.
std::string word(const std::set<int>& positions, bool ones) {
    std::string w(16, ones ? '0' : '1');
    for (int n : positions)
        w[n - 1] = ones ? '1' : '0';
    return w;
}

class SecureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("ZELVO_TEST_PG_SECURE_DB").empty())
            GTEST_SKIP() << "ZELVO_TEST_PG_SECURE_DB not set: run scripts/test.sh";
        owner_ = connect(env("ZELVO_TEST_PG_USER"), env("ZELVO_TEST_PG_PASSWORD"));
        guest_ = connect("zelvo_guest", env("ZELVO_TEST_PG_GUEST_PASSWORD"));
        ASSERT_EQ(PQstatus(owner_.get()), CONNECTION_OK) << PQerrorMessage(owner_.get());
        ASSERT_EQ(PQstatus(guest_.get()), CONNECTION_OK) << PQerrorMessage(guest_.get());
        cleanUp();
        for (const std::string& id : {kA, kB})
            ASSERT_EQ(run(guest_.get(),
                          "select zelvo_create_ledger($1,'账本','物品','存量','2024-05-06')", {id}),
                      "OK");
        admin_ = login(kA, kAdmin);
    }

    void TearDown() override {
        if (owner_)
            cleanUp();
    }

    // Roles belong to the whole cluster: every login this test made goes with its ledgers.
    void cleanUp() {
        PGconn* o = owner_.get();
        for (const std::string& r : extraRoles_)
            run(o, "select zelvo_private.drop_role($1)", {r});
        for (const char* s : {"select zelvo_private.drop_role(zelvo_role_name(zbid, usr)) from "
                              "usrlst where zbid in ('{A}','{B}')",
                              "delete from zhang where zbid ~ '{A}|{B}'",
                              "delete from usrlst where zbid in ('{A}','{B}')",
                              "delete from zblst where zbid in ('{A}','{B}')"})
            run(o, s);
    }

    Conn login(const std::string& zbid, const std::string& usr, std::string password = {}) {
        Conn c = connect(role(zbid, usr), password.empty() ? noPassword(zbid, usr) : password);
        EXPECT_EQ(PQstatus(c.get()), CONNECTION_OK) << usr << ": " << PQerrorMessage(c.get());
        return c;
    }

    // An operator of ledger A with the given rights word, logged in.
    Conn operatorWith(const std::string& usr, const std::string& qx) {
        EXPECT_EQ(run(admin_.get(), "select zelvo_add_operator($1,$2)", {usr, qx}), "OK") << usr;
        return login(kA, usr);
    }

    Conn owner_{nullptr, &PQfinish};
    Conn guest_{nullptr, &PQfinish};
    Conn admin_{nullptr, &PQfinish};
    std::vector<std::string> extraRoles_;
};

// Each guarded statement: refused to an operator holding every right but the ones that allow
// it, and allowed with just one of those (on top of the rights it needs anyway).
TEST_F(SecureTest, EachRightAllowsItsStatementsAndItsLackRefusesThem) {
    struct Case {
        const char* what;
        std::set<int> allowing, base;
        std::string prepare; // by the owner
        std::string statement, allowed;
    };
    const std::string row =
        "insert into zhang values ('{A}','管理员','2024-05-06 10:00','R{N}','梨',1,'')";
    const std::string retired = "insert into zhang values ('管理员#{A}#2024-05-06 "
                                "11:00','管理员','2024-05-06 10:00','R{N}','梨',1,'')";
    // clang-format off
    const std::vector<Case> cases = {
        {"increase", {2, 10, 11}, {}, "", "insert into zhang values ('{A}','乙','2024-05-06 10:00','I{N}','苹果',5,'')", "1"},
        {"decrease", {3, 10, 11}, {}, "", "insert into zhang values ('{A}','乙','2024-05-06 10:00','I{N}','苹果',-5,'')", "1"},
        {"another's name", {1}, {2}, "", "insert into zhang values ('{A}','管理员','2024-05-06 10:00','I{N}','苹果',5,'')", "1"},
        {"retire", {11, 12, 13}, {}, row, "update zhang set zbid='乙#{A}#2024-05-06 12:00' where zbid='{A}' and id='R{N}'", "1"},
        {"restore", {1}, {}, retired, "update zhang set zbid='{A}' where id='R{N}'", "1"},
        {"rename", {1}, {}, "", "update zblst set zbnm='新名{N}' where zbid='{A}'", "1"},
        {"ledger words", {1}, {}, "", "update zblst set item='账户{N}', sl='余额' where zbid='{A}'", "1"},
        {"notice", {16}, {}, "", "update zblst set gonggao='255│公告{N}' where zbid='{A}'", "1"},
        {"add operator", {1}, {}, "", "select zelvo_add_operator('丙{N}','0000000000000001')", "OK"},
        {"set rights", {1}, {}, "", "select zelvo_set_rights('管理员','1111111111111110')", "OK"},
        {"remove operator", {1}, {}, "insert into usrlst (zbid,usr,pwd) values ('{A}','丁{N}','')",
         "select zelvo_remove_operator('丁{N}')", "OK"},
        {"password", {14}, {}, "", "select zelvo_set_password($1)", "OK"},
    };
    // clang-format on
    Conn op = operatorWith("乙", word({}, true));
    int serial = 0;
    const auto attempt = [&](const Case& c, const std::string& qx) {
        ++serial;
        EXPECT_EQ(run(admin_.get(), "select zelvo_set_rights('乙',$1)", {qx}), "OK");
        if (!c.prepare.empty()) {
            EXPECT_EQ(run(owner_.get(), fill(c.prepare, serial)), "1") << c.what;
        }
        std::vector<std::string> params;
        if (c.statement.find("$1") != std::string::npos)
            params.push_back(verifier(op.get(), "新密码", role(kA, "乙")));
        return run(op.get(), fill(c.statement, serial), params);
    };
    for (const Case& c : cases) {
        EXPECT_NE(attempt(c, word(c.allowing, false)), c.allowed) << c.what << " without its right";
        for (int n : c.allowing) {
            std::set<int> with = c.base;
            with.insert(n);
            EXPECT_EQ(attempt(c, word(with, true)), c.allowed) << c.what << " with right " << n;
        }
    }
    // The new password is the login's now, and the row keeps no password.
    EXPECT_EQ(PQstatus(connect(role(kA, "乙"), "新密码").get()), CONNECTION_OK);
    EXPECT_EQ(run(owner_.get(), "select pwd from usrlst where zbid='{A}' and usr='乙'"), "");
}

// What no right allows: another ledger's rows, the passwords, one's own rights, the catalog's
// secrets, deleting; and nothing of the tables for the guest.
TEST_F(SecureTest, NothingReachesBeyondTheOwnLedger) {
    PGconn* o = owner_.get();
    // Operators whose names hold '#': their markers still name the right ledger.
    ASSERT_EQ(run(o,
                  "insert into zhang values ('{A}','管理员','2024-05-06 10:00','A1','苹果',5,''),"
                  "('a#{A}#2024-05-06 11:00','a','2024-05-06 10:00','A2','苹果',5,''),"
                  "('x#{B}#{A}#2024-05-06 11:00','x#{B}','2024-05-06 10:00','A3','苹果',5,''),"
                  "('{B}','管理员','2024-05-06 10:00','B1','苹果',7,''),"
                  "('x#{A}#{B}#2024-05-06 11:00','x#{A}','2024-05-06 10:00','B2','苹果',7,''),"
                  "('y#{B}#2024-05-06 11:00','y','2024-05-06 10:00','B3','苹果',7,'')"),
              "6");
    ASSERT_EQ(run(o, "update zblst set cmd='' where zbid='{A}'"), "1");
    Conn full = login(kA, kAdmin);
    PGconn* a = full.get();
    PGconn* g = guest_.get();
    // "ERROR" stands for any error.
    // clang-format off
    const std::vector<std::tuple<PGconn*, std::string, std::string>> cases = {
        {a, "select string_agg(id, ',' order by id) from zhang", "A1,A2,A3"},
        {a, "select count(*) from usrlst where zbid='{B}'", "0"},
        {a, "select count(*) from zblst", "1"},
        {a, "select pwd from usrlst", "ERROR"},
        {a, "select * from usrlst", "ERROR"},
        {a, "select rolpassword from pg_authid", "ERROR"},
        {a, "select passwd from pg_shadow", "ERROR"},
        {a, "update usrlst set qx='1111111111111111' where zbid='{A}'", "ERROR"},
        {a, "insert into usrlst (zbid,usr,pwd) values ('{A}','戊','')", "ERROR"},
        {a, "delete from usrlst where zbid='{A}' and usr='乙'", "ERROR"},
        {a, "select zelvo_set_rights('管理员','0111111111111111')", "DENIED"},
        {a, "select zelvo_remove_operator('管理员')", "DENIED"},
        {a, "insert into zhang values ('{B}','管理员','2024-05-06 10:00','C1','苹果',5,'')", "ERROR"},
        {a, "insert into zhang values ('{A}','外人','2024-05-06 10:00','C2','苹果',5,'')", "ERROR"},
        {a, "insert into zhang values ('a#{A}#2024-05-06 11:00','管理员','2024-05-06 10:00','C3','苹果',5,'')", "ERROR"},
        {a, "update zhang set zbid='{B}' where id='A1'", "ERROR"},
        {a, "update zhang set zbid='管理员#{B}#2024-05-06 12:00' where id='A1'", "ERROR"},
        {a, "update zhang set zbid='管理员#{A}#{B}#2024-05-06 12:00' where id='A1'", "ERROR"},
        {a, "update zhang set zbid='{A}' where id in ('B1','B2','B3')", "0"},
        {a, "update zhang set sl=100 where id='A1'", "ERROR"},
        {a, "delete from zhang where id='A1'", "ERROR"},
        {a, "update zblst set cmd='STOP' where zbid='{A}'", "ERROR"},
        {a, "update zblst set zbnm='夺' where zbid='{B}'", "0"},
        {a, "create table public.t (x int)", "ERROR"},
        {a, "alter role current_user createrole", "ERROR"},
        {a, "set role zelvo_guest", "ERROR"},
        {g, "select count(*) from zhang", "ERROR"},
        {g, "select count(*) from usrlst", "ERROR"},
        {g, "select count(*) from zblst", "ERROR"},
        {g, "insert into zhang values ('{A}','管理员','2024-05-06 10:00','G1','苹果',5,'')", "ERROR"},
        {g, "select zelvo_add_operator('己','')", "ERROR"},
        {g, "select zelvo_ledger()", "ERROR"},
        {g, "select zelvo_create_ledger('1#2','账本','物品','存量','2024-05-06')", "INVALID"},
        {g, "select zelvo_create_ledger('{B}','账本','物品','存量','2024-05-06')", "EXISTS"},
        {g, "select zelvo_ledger_name('{A}')", "账本"},
        {g, "select zelvo_operator_exists('{A}','管理员')::text", "true"},
        {g, "select zelvo_operator_exists('{A}','无名')::text", "false"},
        {g, "select item||sl||msg from zelvo_open_ledger('{A}')", "物品存量您好！"},
    };
    // clang-format on
    for (const auto& [who, statement, expected] : cases) {
        const std::string got = run(who, statement);
        EXPECT_TRUE(expected == "ERROR" ? failed(got) : got == expected)
            << statement << ": " << got;
    }
    // Nothing of it touched the tables, and the guest stamps only an HTTP command.
    EXPECT_EQ(
        run(o, "select count(*) from zhang where id in ('A1','B1','B2','B3') and sl in (5,7)"),
        "4");
    EXPECT_EQ(run(o, "select zbnm||coalesce(cmd,'') from zblst where zbid='{B}'"), "账本");
    run(g, "select zelvo_reset_cmd('{A}','2024-05-07')");
    EXPECT_EQ(run(o, "select cmd from zblst where zbid='{A}'"), "");
    run(o, "update zblst set cmd='http://x' where zbid='{A}'");
    run(g, "select zelvo_reset_cmd('{A}','2024-05-07')");
    EXPECT_EQ(run(o, "select cmd from zblst where zbid='{A}'"), "2024-05-07");
}

// Quotes, %, backslashes and 200 characters pass as data, never as SQL; NUL is refused whole.
TEST_F(SecureTest, AwkwardNamesAndPasswordsAreDataAndNulIsRefused) {
    std::string chinese;
    for (int i = 0; i < 200; ++i)
        chinese += "名";
    for (const std::string& name :
         {std::string("O'Brien"), std::string("100%"), std::string("back\\slash"),
          std::string("a\"b'c;--"), std::string("x#y"), std::string(200, 'n'), chinese}) {
        Conn c = operatorWith(name, word({1, 14}, true));
        EXPECT_EQ(run(c.get(), "select zelvo_operator()"), name);
        EXPECT_EQ(run(c.get(), "select zelvo_set_password($1)",
                      {verifier(c.get(), name + "'%\\", role(kA, name))}),
                  "OK");
        EXPECT_EQ(run(login(kA, name, name + "'%\\").get(), "select zelvo_operator()"), name);
    }
    // A plain password instead of a verifier would cross the link: refused.
    EXPECT_EQ(run(admin_.get(), "select zelvo_set_password('secret')"), "INVALID");
    EXPECT_EQ(run(admin_.get(), "select zelvo_set_password('SCRAM-SHA-256$4096:c2FsdA==$x:y')"),
              "INVALID");

    // A NUL cannot be sent as text, and in binary form the server refuses it before any row.
    const std::string nul("甲\0乙", 7);
    const char* values[] = {nul.c_str(), "0"};
    const int lengths[] = {static_cast<int>(nul.size()), 1};
    const int formats[] = {1, 1};
    PGresult* r = PQexecParams(admin_.get(), "select zelvo_add_operator($1::text,$2::text)", 2,
                               nullptr, values, lengths, formats, 0);
    EXPECT_EQ(PQresultStatus(r), PGRES_FATAL_ERROR);
    PQclear(r);
    EXPECT_EQ(run(owner_.get(), "select count(*) from usrlst where usr like '甲%'"), "0");
}

// Two administrators add one name at once: one makes the operator, the other is told it exists.
TEST_F(SecureTest, SimultaneousAddsOfOneNameMakeOneOperator) {
    Conn second = operatorWith("副", word({1}, true));
    ASSERT_EQ(run(admin_.get(), "begin"), "");
    ASSERT_EQ(run(admin_.get(), "select zelvo_add_operator('庚','')"), "OK");
    ASSERT_EQ(PQsendQuery(second.get(), "select zelvo_add_operator('庚','')"), 1);
    EXPECT_EQ(run(admin_.get(), "commit"), "");
    std::string answer;
    while (PGresult* r = PQgetResult(second.get())) {
        answer = PQresultStatus(r) == PGRES_TUPLES_OK ? PQgetvalue(r, 0, 0) : "ERROR";
        PQclear(r);
    }
    EXPECT_EQ(answer, "EXISTS");
    EXPECT_EQ(run(login(kA, "庚").get(), "select zelvo_operator()"), "庚");
}

// A login whose row is gone sees and does nothing; a row without a login is no operator;
// adding the name again makes a fresh login of a leftover role; removal takes the login along.
TEST_F(SecureTest, RoleAndRowNeverOutliveEachOtherUsefully) {
    PGconn* o = owner_.get();
    Conn op = operatorWith("辛", word({}, false));
    extraRoles_.push_back(role(kA, "辛"));
    ASSERT_EQ(run(o, "insert into zhang values ('{A}','辛','2024-05-06 10:00','H0','苹果',5,'')"),
              "1");
    ASSERT_EQ(run(o, "delete from usrlst where zbid='{A}' and usr='辛'"), "1");
    for (const char* s : {"select count(*) from zhang", "select count(*) from zblst",
                          "select count(*) from usrlst"})
        EXPECT_EQ(run(op.get(), s), "0") << s;
    EXPECT_TRUE(failed(run(
        op.get(), "insert into zhang values ('{A}','辛','2024-05-06 10:00','H1','苹果',5,'')")));
    EXPECT_EQ(run(op.get(), "select zelvo_add_operator('壬','')"), "DENIED");
    EXPECT_EQ(run(guest_.get(), "select zelvo_operator_exists('{A}','辛')::text"), "false");

    ASSERT_EQ(run(o, "insert into usrlst (zbid,usr,pwd) values ('{A}','癸','')"), "1");
    EXPECT_EQ(run(guest_.get(), "select zelvo_operator_exists('{A}','癸')::text"), "false");
    EXPECT_EQ(PQstatus(connect(role(kA, "癸"), noPassword(kA, "癸")).get()), CONNECTION_BAD);

    run(o,
        "alter role " + role(kA, "辛") + " password '" + verifier(o, "旧", role(kA, "辛")) + "'");
    EXPECT_EQ(run(admin_.get(), "select zelvo_add_operator('辛','')"), "OK");
    EXPECT_EQ(run(login(kA, "辛").get(), "select zelvo_operator()"), "辛");
    EXPECT_EQ(PQstatus(connect(role(kA, "辛"), "旧").get()), CONNECTION_BAD);
    EXPECT_EQ(run(admin_.get(), "select zelvo_remove_operator('辛')"), "OK");
    EXPECT_EQ(run(o, "select count(*) from pg_roles where rolname=$1", {role(kA, "辛")}), "0");
    EXPECT_TRUE(failed(run(op.get(), "select count(*) from zhang")));
}

// The report statements keep their indexes through the policies.
TEST_F(SecureTest, ReportStatementsStillUseTheIndexes) {
    Journal::Filter f;
    f.from = {"2024", "05", "01", "00", "00"};
    f.to = {"2024", "05", "31", "23", "59"};
    const QString zbid = QString::fromStdString(kA);
    const Journal::Query q = Journal::build(zbid, QStringLiteral("物品"), f, Db::Engine::Postgres);
    run(admin_.get(), "set enable_seqscan = off");
    for (const QString& s :
         {q.statement, Journal::openingStatement(zbid, q.from, q.itemClause),
          Summary::statement(zbid, q.from, QStringLiteral("2024-05-31 23:59"))}) {
        PGresult* r = PQexec(admin_.get(), ("explain " + s.toStdString()).c_str());
        ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK) << PQresultErrorMessage(r);
        std::string plan;
        for (int i = 0; i < PQntuples(r); ++i)
            plan += std::string(PQgetvalue(r, i, 0)) + "\n";
        PQclear(r);
        EXPECT_TRUE(plan.find("Seq Scan on zhang") == std::string::npos &&
                    plan.find("Index") != std::string::npos)
            << plan;
    }
}

// A classic database upgraded by its owner's script: every operator logs in with the password he
// had, or the no-password text, and no password stays in the table.
TEST_F(SecureTest, UpgradeTurnsStoredPasswordsIntoLogins) {
    const std::string db = env("ZELVO_TEST_PG_UPGRADE_DB");
    Conn o = connect(env("ZELVO_TEST_PG_USER"), env("ZELVO_TEST_PG_PASSWORD"), db);
    ASSERT_EQ(PQstatus(o.get()), CONNECTION_OK) << PQerrorMessage(o.get());
    const auto psql = [&](const char* file) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("psql"),
                {"-X", "-q", "-h", "127.0.0.1", "-U", qEnvironmentVariable("ZELVO_TEST_PG_USER"),
                 "-d", QString::fromStdString(db), "-f",
                 QStringLiteral(ZELVO_SCHEMA_DIR "/") + QLatin1String(file)});
        p.waitForFinished(60000);
        return p.exitCode() == 0 ? std::string() : p.readAll().toStdString();
    };
    qputenv("PGPASSWORD", qgetenv("ZELVO_TEST_PG_PASSWORD"));
    ASSERT_EQ(psql("postgresql.sql"), "");
    const std::vector<std::pair<std::string, std::string>> operators = {
        {"甲", "it's 100% \\ 密码"}, {"乙", ""}, {"丙", std::string(200, 'p')}};
    run(o.get(), "delete from usrlst");
    for (const auto& [usr, pwd] : operators) {
        ASSERT_EQ(run(o.get(), "insert into usrlst (zbid,usr,pwd,qx) values ($1,$2,$3,'1')",
                      {kA, usr, pwd}),
                  "1");
        extraRoles_.push_back(role(kA, usr));
    }
    ASSERT_EQ(psql("postgresql-secure-upgrade.sql"), "");
    EXPECT_EQ(run(o.get(), "select count(*) from usrlst where pwd<>''"), "0");
    // Run twice, the script leaves the passwords as they are.
    ASSERT_EQ(psql("postgresql-secure-upgrade.sql"), "");
    for (const auto& [usr, pwd] : operators) {
        Conn c = connect(role(kA, usr), pwd.empty() ? noPassword(kA, usr) : pwd, db);
        ASSERT_EQ(PQstatus(c.get()), CONNECTION_OK) << usr << ": " << PQerrorMessage(c.get());
        EXPECT_EQ(run(c.get(), "select zelvo_operator()"), usr);
    }
    run(o.get(), "delete from usrlst");
}

} // namespace

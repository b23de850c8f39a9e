#include "ConnectionTestDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"

#include <QObject>
#include <gtest/gtest.h>

#include <memory>

using namespace testsupport;

namespace {

using Connection = FormConnection;

template <class E, class F>
E expectThrow(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return E(0, QString());
}

}  // namespace

TEST(DatabaseTest, OpensAndClosesRemoteAndEmbeddedWithServerFacts)
{
    for (const bool remote : {true, false}) {
        SCOPED_TRACE(remote ? "remote" : "embedded");
        ConnectionTestDatabase file(QStringLiteral("db-open"), remote);
        Connection c(file.name());
        c.db->Open();
        ASSERT_TRUE(c.db->Connected());
        EXPECT_NE(c.db->Handle(), 0u);
        EXPECT_GT(c.db->AttachmentID(), 0);
        EXPECT_EQ(c.db->ServerMajorVersion(),  // as the server reports it, 3 or 4
                  file.scalar("select cast(left(rdb$get_context('SYSTEM', 'ENGINE_VERSION'), 1) as integer) "
                              "from rdb$database"));
        EXPECT_GE(c.db->ServerMinorVersion(), 0);
        EXPECT_GT(c.db->ServerBuild(), 0);
        EXPECT_TRUE(c.db->IsFirebirdConnect());
        EXPECT_TRUE(c.db->IsFB21OrMore());
        EXPECT_TRUE(c.db->IsUnicodeConnect());
        EXPECT_FALSE(c.db->IsNoneConnect());
        EXPECT_TRUE(c.db->NeedUnicodeFieldsTranslation());
        EXPECT_TRUE(c.db->NeedUTFDecodeDDL());
        EXPECT_EQ(c.db->SQLDialect(), 3);
        EXPECT_FALSE(c.db->Busy());

        c.db->Open();  // already attached: nothing happens
        c.db->Close();
        EXPECT_FALSE(c.db->Connected());
        EXPECT_EQ(c.db->AttachmentID(), -1);
        c.db->Close();  // not attached: nothing happens

        c.db->Open();  // the same lines again
        EXPECT_TRUE(c.db->Connected());
        EXPECT_EQ(c.db->DBParams()->Lines(),
                  QStringList({"lc_ctype=UTF8", "user_name=" + testUser(), "password=" + testPassword()}));
    }
}

TEST(DatabaseTest, DialectOneDatabaseLowersSQLDialect)
{
    ConnectionTestDatabase file(QStringLiteral("db-dialect1"), true, 1);
    Connection c(file.name());
    c.db->Open();
    EXPECT_EQ(c.db->DBSQLDialect(), 1);
    EXPECT_EQ(c.db->SQLDialect(), 1);
    EXPECT_THROW(c.db->setSQLDialect(3), EFIBClientError);
    EXPECT_THROW(c.db->setSQLDialect(0), EFIBClientError);
}

TEST(DatabaseTest, AttachFailuresAreComposedAndLeaveTheConnectionClosed)
{
    ConnectionTestDatabase file(QStringLiteral("db-fail"));
    {
        Connection c(file.name(), testPassword() + QStringLiteral("-wrong"));
        const auto e = expectThrow<EFIBInterBaseError>([&] { c.db->Open(); });
        EXPECT_TRUE(e.Message().startsWith("MainForm.DB:\r\n")) << e.what();
        EXPECT_TRUE(e.Message().contains("user name and password")) << e.what();
        EXPECT_TRUE(e.Message().endsWith("\r\n"));
        EXPECT_NE(e.IBErrorCode(), 0);
        EXPECT_FALSE(c.db->Connected());
        c.db->Open(false);  // quiet failure
        EXPECT_FALSE(c.db->Connected());
    }
    {
        Connection c(QStringLiteral("127.0.0.1/3999:") + file.path());
        const auto e = expectThrow<EFIBInterBaseError>([&] { c.db->Open(); });
        EXPECT_TRUE(e.Message().contains("Unable to complete network request")) << e.what();
        EXPECT_FALSE(c.db->Connected());
    }
}

TEST(DatabaseTest, ClientErrorsOfTheConnection)
{
    ConnectionTestDatabase file(QStringLiteral("db-guards"));
    Connection c(file.name());
    {
        TFIBDatabase plain(&c.form);
        plain.setObjectName(QStringLiteral("DB0"));
        auto e = expectThrow<EFIBClientError>([&] { plain.Open(); });
        EXPECT_EQ(e.SQLCode(), 14);
        EXPECT_EQ(e.Message(), "Database name is missing.");
        e = expectThrow<EFIBClientError>([&] { plain.Close(), plain.EndAttachment(false); });
        EXPECT_EQ(e.SQLCode(), 12);
        EXPECT_EQ(e.Message(), "MainForm.DB0: Cannot perform operation -- DB is not open.");
    }
    c.db->Open();
    const QStringList before = c.db->DBParams()->Lines();
    for (const auto& change : std::initializer_list<std::function<void()>>{
             [&] { c.db->setLibraryName(clientLibraryName()); },
             [&] { c.db->setDBName(file.path()); },
             [&] { c.db->DBParams()->Add("lc_messages=x"); },
             [&] { c.db->ConnectParams()->setUserName("X"); },
             [&] { c.db->TFIBDatabase::Open(); }}) {
        const auto e = expectThrow<EFIBClientError>(change);
        EXPECT_EQ(e.SQLCode(), 13);
        EXPECT_EQ(e.Message(), "Cannot perform operation -- DB is currently open.");
    }
    EXPECT_EQ(c.db->DBParams()->Lines(), before);
    c.db->setDBName(file.name());  // the same name is no change
}

namespace {

// What the login dialog hook saw and answers.
struct LoginScript {
    static inline bool confirm = true;
    static inline QString seenName, seenUser, seenPassword, seenRole;
    static inline QString user, password, role;

    static bool dialog(const QString& dbName, QString& userName, QString& pw, QString& roleName)
    {
        seenName = dbName;
        seenUser = userName;
        seenPassword = pw;
        seenRole = roleName;
        userName = user;
        pw = password;
        roleName = role;
        return confirm;
    }
};

// Points the process-wide hook at proc for a scope, whatever a dialog unit set it to.
struct LoginHook {
    TLoginDialogProc saved = LoginDialogProc;
    explicit LoginHook(TLoginDialogProc proc) { LoginDialogProc = proc; }
    ~LoginHook() { LoginDialogProc = saved; }
};

}  // namespace

TEST(DatabaseTest, LoginPromptWritesItsThreeLinesOrCancels)
{
    ConnectionTestDatabase file(QStringLiteral("db-login"));
    Connection c(file.name(), QString());
    c.db->setUseLoginPrompt(true);
    {
        LoginHook none(nullptr);
        EXPECT_EQ(messageOf<Exception>([&] { c.db->Open(); }),
                  "Unable to find Database login dialog. "
                  "Please, add FIBDBLoginDlg into USES statement of your project.");
    }

    LoginHook hook(&LoginScript::dialog);
    const QStringList before = c.db->DBParams()->Lines();
    LoginScript::confirm = false;
    try {
        c.db->Open();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 7);
        EXPECT_EQ(e.Message(), "Operation cancelled at user's request.");
    }
    EXPECT_EQ(c.db->DBParams()->Lines(), before);
    EXPECT_EQ(LoginScript::seenName, file.name());
    EXPECT_EQ(LoginScript::seenUser, testUser());

    LoginScript::confirm = true;
    LoginScript::user = testUser();
    LoginScript::password = testPassword();
    LoginScript::role = QString();
    c.db->Open();
    EXPECT_TRUE(c.db->Connected());
    EXPECT_EQ(c.db->DBParams()->Lines(), QStringList({"lc_ctype=UTF8", "user_name=" + testUser(),
                                                      "password=" + testPassword(), "sql_role_name="}));
    EXPECT_TRUE(c.db->DPB().endsWith(QByteArray("\x3c\x00", 2)));  // an empty role item
    c.db->Close();

    // A second open finds and replaces the three lines; an empty password is sent as such.
    LoginScript::password = QString();
    EXPECT_THROW(c.db->Open(), EFIBInterBaseError);
    EXPECT_EQ(LoginScript::seenPassword, testPassword());
    EXPECT_EQ(c.db->DBParams()->Lines().at(2), "password=");
    EXPECT_TRUE(c.db->DPB().contains(QByteArray("\x1d\x00", 2)));
}

TEST(DatabaseTest, ConnectAndDisconnectEventsAndTheirFailures)
{
    ConnectionTestDatabase file(QStringLiteral("db-events"));
    Connection c(file.name());
    QStringList log;
    TFIBBase link(&c.form);
    link.OnDatabaseConnecting = [&](TFIBBase*) { log << "connecting"; };
    link.OnDatabaseConnected = [&](TFIBBase*) { log << "connected"; };
    link.OnDatabaseDisconnecting = [&](TFIBBase*) { log << "disconnecting"; };
    link.OnDatabaseDisconnected = [&](TFIBBase*) { log << "disconnected"; };
    link.setDatabase(c.db);
    c.db->AfterConnect = [&](TFIBDatabase*) { log << "AfterConnect"; };
    c.db->AddEvent(TFIBDatabase::detOnConnect, [&](TFIBDatabase*) { log << "connect callback"; });
    c.db->BeforeDisconnect = [&](TFIBDatabase*) { log << "BeforeDisconnect"; };
    c.db->AfterDisconnect = [&](TFIBDatabase*) { log << "AfterDisconnect"; };

    bool allow = false;
    c.db->BeforeConnect = [&](TpFIBDatabase*, TDBParams* params, bool& connect) {
        EXPECT_EQ(params, c.db->DBParams());
        connect = allow;
    };
    c.db->Open();
    EXPECT_FALSE(c.db->Connected());
    EXPECT_TRUE(log.isEmpty());

    allow = true;
    c.db->Open();
    c.db->Close();
    EXPECT_EQ(log, QStringList({"connecting", "AfterConnect", "connect callback", "connected", "BeforeDisconnect",
                                "disconnecting", "disconnected", "AfterDisconnect"}));

    c.db->Open();
    c.db->BeforeDisconnect = [](TFIBDatabase*) { throw Exception("no way"); };
    EXPECT_EQ(messageOf<Exception>([&] { c.db->Close(); }), "Error of MainForm.DB.BeforeDisconnect. no way");
    EXPECT_TRUE(c.db->Connected());
    c.db->BeforeDisconnect = nullptr;
    c.db->AfterDisconnect = [](TFIBDatabase*) { throw Exception("late"); };
    EXPECT_EQ(messageOf<Exception>([&] { c.db->Close(); }), "Error of MainForm.DB.AfterDisconnect. late");
    EXPECT_FALSE(c.db->Connected());
    c.db->AfterDisconnect = nullptr;

    // A connect callback that closes the connection ends the notification.
    log.clear();
    c.db->AddEvent(TFIBDatabase::detOnConnect, [](TFIBDatabase* db) { db->Close(); });
    c.db->AddEvent(TFIBDatabase::detOnConnect, [&](TFIBDatabase*) { log << "late callback"; });
    c.db->Open();
    EXPECT_FALSE(c.db->Connected());
    EXPECT_FALSE(log.contains("late callback"));
}

// A Firebird 3.0 client cannot describe Firebird 4's new types; the set_bind line asks a Firebird 4
// server to send the older types instead.
TEST(DatabaseTest, SetBindLineLetsAnOlderClientReadNewerServerTypes)
{
    const QString legacyClient = qEnvironmentVariable("PATCHWREN_TEST_LEGACY_CLIENT");
    if (legacyClient.isEmpty())
        GTEST_SKIP() << "needs PATCHWREN_TEST_LEGACY_CLIENT, a Firebird 3.0 client library, and a Firebird 4 "
                        "server; the test command's debian13 stage sets both up";
    ConnectionTestDatabase file(QStringLiteral("db-set-bind"));
    Connection c(file.name());
    c.db->setLibraryName(legacyClient);
    auto* tr = new TpFIBTransaction(&c.form);
    tr->setDefaultDatabase(c.db);
    auto* q = new TpFIBQuery(&c.form);
    q->setDatabase(c.db);
    q->setTransaction(tr);
    q->setSQLText("select current_timestamp, cast(12345678901234 as int128), cast(1.5 as decfloat(16)) "
                  "from rdb$database");
    const auto run = [&] {
        c.db->Open();
        tr->StartTransaction();
        q->ExecQuery();
    };

    EXPECT_TRUE(messageOf<EFIBInterBaseError>(run).contains("Data type unknown"));
    tr->Rollback();
    c.db->Close();
    c.db->DBParams()->Add("set_bind=time zone to legacy; int128 to legacy; decfloat to legacy");
    run();
    EXPECT_EQ(q->GetFields(0)->SQLType(), SQL_TIMESTAMP);
    EXPECT_TRUE(q->GetFields(0)->AsDateTime().isValid());
    EXPECT_EQ(q->GetFields(1)->SQLType(), SQL_INT64);
    EXPECT_EQ(q->GetFields(1)->AsString(), "12345678901234");
    EXPECT_EQ(q->GetFields(2)->SQLType(), SQL_DOUBLE);
    EXPECT_EQ(q->GetFields(2)->AsDouble(), 1.5);
}

#include "ConnectionTestDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"

#include <QObject>
#include <gtest/gtest.h>

#include <memory>

using namespace testsupport;

namespace {

// A connection on a form named MainForm, set up as the tool's connections are.
struct Connection {
    QObject form;
    TpFIBDatabase* db;

    explicit Connection(const QString& dbName, const QString& password = testPassword())
    {
        form.setObjectName(QStringLiteral("MainForm"));
        db = new TpFIBDatabase(&form);
        db->setObjectName(QStringLiteral("DB"));
        db->setLibraryName(clientLibraryName());
        db->setDBName(dbName);
        db->setSQLDialect(3);
        db->setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=") + testUser()});
        db->ConnectParams()->setPassword(password);
    }
};

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
        EXPECT_EQ(c.db->ServerMajorVersion(), 3);
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

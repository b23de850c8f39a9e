#include "ConnectionTestDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"

#include <QObject>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

struct Session {
    QObject form;
    TpFIBDatabase* db;
    TpFIBTransaction* tr;

    explicit Session(const ConnectionTestDatabase& file)
    {
        form.setObjectName(QStringLiteral("MainForm"));
        db = new TpFIBDatabase(&form);
        db->setObjectName(QStringLiteral("DB"));
        tr = new TpFIBTransaction(&form);
        tr->setObjectName(QStringLiteral("Tr"));
        db->setLibraryName(clientLibraryName());
        db->setDBName(file.name());
        db->setSQLDialect(3);
        db->setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=") + testUser(),
                         QStringLiteral("password=") + testPassword()});
        db->setDefaultTransaction(tr);
        db->Open();
    }
};

}  // namespace

TEST(TransactionTest, CommitAndRollbackPlainAndRetainingAreSeenFromAnotherAttachment)
{
    ConnectionTestDatabase file(QStringLiteral("tr-end"));
    file.execute("create table T (N integer)");
    Session s(file);
    EXPECT_EQ(s.tr->DefaultDatabase(), s.db);
    EXPECT_EQ(s.db->DefaultTransaction(), s.tr);

    s.tr->StartTransaction();
    EXPECT_TRUE(s.tr->Active());
    EXPECT_TRUE(s.tr->InTransaction());
    EXPECT_EQ(s.tr->State(), tsActive);
    EXPECT_EQ(s.tr->TPB(), QByteArray("\x03\x09\x07\x0f\x11", 5));
    EXPECT_GT(s.tr->TransactionID(), 0);
    s.tr->StartTransaction();  // harmless on the form's transaction

    s.tr->ExecSQLImmediate("insert into T values (1)");
    s.tr->CommitRetaining();
    EXPECT_TRUE(s.tr->Active());
    EXPECT_EQ(file.scalar("select count(*) from T"), 1);

    s.tr->ExecSQLImmediate("insert into T values (2)");
    s.tr->RollbackRetaining();
    EXPECT_TRUE(s.tr->Active());
    EXPECT_EQ(file.scalar("select count(*) from T"), 1);

    s.tr->ExecSQLImmediate("insert into T values (3)");
    s.tr->SetSavePoint("S1");
    s.tr->ExecSQLImmediate("insert into T values (4)");
    s.tr->RollBackToSavePoint("S1");
    s.tr->ReleaseSavePoint("S1");
    s.tr->Commit();
    EXPECT_FALSE(s.tr->Active());
    EXPECT_EQ(s.tr->State(), tsClosed);
    EXPECT_EQ(file.scalar("select count(*) from T"), 2);
    EXPECT_EQ(file.scalar("select max(N) from T"), 3);

    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (5)");
    s.tr->Rollback();
    EXPECT_FALSE(s.tr->Active());
    EXPECT_EQ(file.scalar("select count(*) from T"), 2);
}

TEST(TransactionTest, GuardsOfThePlainTransaction)
{
    ConnectionTestDatabase file(QStringLiteral("tr-guards"));
    Session s(file);
    TFIBTransaction plain(&s.form);
    plain.setObjectName(QStringLiteral("Tr0"));
    try {
        plain.StartTransaction();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.Message(), "MainForm.Tr0 :No databases are listed in transaction component.");
    }
    try {
        plain.Rollback();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 18);  // no connection listed: starting is tried and fails
    }
    plain.setDefaultDatabase(s.db);
    try {
        plain.Commit();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.Message(), "MainForm.Tr0 :Transaction is not active.");
    }
    plain.StartTransaction();
    EXPECT_EQ(plain.TPB(), QByteArray());  // no lines: the server's defaults
    for (const auto& f : std::initializer_list<std::function<void()>>{
             [&] { plain.StartTransaction(); }, [&] { plain.TRParams()->Add("read"); },
             [&] { plain.setDefaultDatabase(nullptr); }}) {
        try {
            f();
            FAIL();
        } catch (const EFIBClientError& e) {
            EXPECT_EQ(e.Message(), "MainForm.Tr0 :Transaction is active.");
        }
    }
    plain.Commit();

    s.db->Close();
    try {
        plain.StartTransaction();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.Message(), "MainForm.DB: Cannot perform operation -- DB is not open.");
    }
}

TEST(TransactionTest, ServerRefusingTheTPBLeavesTheTransactionInactive)
{
    ConnectionTestDatabase file(QStringLiteral("tr-tpb"));
    Session s(file);
    s.tr->setTPBMode(tpbDefault);
    s.tr->setTRParams({"read_committed", "concurrency"});
    try {
        s.tr->StartTransaction();
        FAIL();
    } catch (const EFIBInterBaseError& e) {
        EXPECT_TRUE(e.Message().startsWith("MainForm.Tr:\r\n")) << e.what();
    }
    EXPECT_FALSE(s.tr->Active());
    EXPECT_EQ(s.tr->State(), tsClosed);
}

TEST(TransactionTest, ClosingTheConnectionRollsBackAnActiveTransaction)
{
    ConnectionTestDatabase file(QStringLiteral("tr-close"));
    file.execute("create table T (N integer)");
    Session s(file);
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");
    s.db->Close();
    EXPECT_FALSE(s.tr->Active());
    EXPECT_FALSE(s.db->Connected());
    EXPECT_EQ(file.scalar("select count(*) from T"), 0);

    s.tr->setTimeoutAction(TACommitRetaining);  // a commit on disconnect
    s.db->Open();
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");
    s.db->Close();
    EXPECT_EQ(file.scalar("select count(*) from T"), 1);
}

TEST(TransactionTest, FailedDetachLeavesTheConnectionClosedQuietly)
{
    ConnectionTestDatabase file(QStringLiteral("db-lost"));
    Session s(file);
    const int id = s.db->AttachmentID();
    // Another attachment ends this one, as a lost connection would.
    file.execute(QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = %1").arg(id));
    EXPECT_FALSE(s.db->TestConnected());
    EXPECT_FALSE(s.db->Connected());

    s.db->Open();
    file.execute(QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = %1").arg(s.db->AttachmentID()));
    EXPECT_NO_THROW(s.db->Close());
    EXPECT_FALSE(s.db->Connected());
}

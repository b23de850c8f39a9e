#include "ConnectionTestDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// The connection with its default transaction named Tr, attached.
struct Session : FormConnection {
    TpFIBTransaction* tr;

    explicit Session(const ConnectionTestDatabase& file) : FormConnection(file.name())
    {
        tr = new TpFIBTransaction(&form);
        tr->setObjectName(QStringLiteral("Tr"));
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

    s.tr->setTPBMode(tpbRepeatableRead);
    s.tr->StartTransaction();
    EXPECT_EQ(s.tr->TPB(), QByteArray("\x03\x09\x07\x02", 4));
    EXPECT_EQ(s.tr->TRParams()->Lines(), QStringList({"write", "isc_tpb_nowait", "concurrency"}));
    s.tr->Commit();
}

TEST(TransactionTest, GuardsOfThePlainTransaction)
{
    ConnectionTestDatabase file(QStringLiteral("tr-guards"));
    Session s(file);
    TFIBTransaction plain(&s.form);
    plain.setObjectName(QStringLiteral("Tr0"));
    EXPECT_EQ(messageOf<EFIBClientError>([&] { plain.StartTransaction(); }),
              "MainForm.Tr0 :No databases are listed in transaction component.");
    const auto noConnection = raised<EFIBClientError>([&] { plain.Rollback(); });
    ASSERT_TRUE(noConnection);
    EXPECT_EQ(noConnection->SQLCode(), 18);  // no connection listed: starting is tried and fails
    plain.setDefaultDatabase(s.db);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { plain.Commit(); }), "MainForm.Tr0 :Transaction is not active.");
    plain.StartTransaction();
    EXPECT_EQ(plain.TPB(), QByteArray());  // no lines: the server's defaults
    for (const auto& f : std::initializer_list<std::function<void()>>{
             [&] { plain.StartTransaction(); }, [&] { plain.TRParams()->Add("read"); },
             [&] { plain.setDefaultDatabase(nullptr); }}) {
        EXPECT_EQ(messageOf<EFIBClientError>(f), "MainForm.Tr0 :Transaction is active.");
    }
    plain.Commit();

    s.db->Close();
    EXPECT_EQ(messageOf<EFIBClientError>([&] { plain.StartTransaction(); }),
              "MainForm.DB: Cannot perform operation -- DB is not open.");
}

TEST(TransactionTest, ServerRefusingTheTPBLeavesTheTransactionInactive)
{
    ConnectionTestDatabase file(QStringLiteral("tr-tpb"));
    Session s(file);
    s.tr->setTPBMode(tpbDefault);
    s.tr->setTRParams({"read_committed", "concurrency"});
    const QString refused = messageOf<EFIBInterBaseError>([&] { s.tr->StartTransaction(); });
    EXPECT_TRUE(refused.startsWith("MainForm.Tr:\r\n")) << refused.toStdString();
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

TEST(TransactionTest, StartAndEndNotifyLinksListenersAndUserEventsInOrder)
{
    ConnectionTestDatabase file(QStringLiteral("tr-events"));
    Session s(file);
    QStringList log;
    TFIBBase first(&s.form), second(&s.form);
    for (auto [link, name] : {std::pair{&first, QString("1")}, std::pair{&second, QString("2")}}) {
        link->OnTransactionStarting = [&log, name](TFIBTransaction*) { log << "starting " + name; };
        link->OnTransactionStarted = [&log, name](TFIBTransaction*) { log << "started " + name; };
        link->OnTransactionEnding = [&log, name](TFIBTransaction*) { log << "ending " + name; };
        link->OnTransactionEnded = [&log, name](TFIBTransaction*) { log << "ended " + name; };
        link->setDatabase(s.db);  // takes the connection's default transaction
        EXPECT_EQ(link->Transaction(), s.tr);
    }
    s.tr->AddEvent(TFIBTransaction::tetBeforeStart, [&](TFIBTransaction*) { log << "before start A"; });
    s.tr->AddEvent(TFIBTransaction::tetBeforeStart, [&](TFIBTransaction*) { log << "before start B"; });
    s.tr->AddEvent(TFIBTransaction::tetAfterStart, [&](TFIBTransaction*) { log << "after start"; });
    const int removed = s.tr->AddEndEvent(TFIBTransaction::tetBeforeEnd,
                                          [&](TFIBTransaction*, TTransactionAction, bool) { log << "removed"; });
    s.tr->RemoveEndEvent(TFIBTransaction::tetBeforeEnd, removed);
    s.tr->AddEndEvent(TFIBTransaction::tetBeforeEnd, [&](TFIBTransaction* tr, TTransactionAction a, bool force) {
        log << QString("before end %1 %2 %3").arg(a).arg(force).arg(tr->State());
    });
    s.tr->AddEndEvent(TFIBTransaction::tetAfterEnd,
                      [&](TFIBTransaction*, TTransactionAction, bool) { log << "after end"; });
    s.tr->BeforeStart = [&](TFIBTransaction*) { log << "BeforeStart"; };
    s.tr->AfterStart = [&](TFIBTransaction*) { log << "AfterStart"; };
    s.tr->BeforeEnd = [&](TFIBTransaction*, TTransactionAction, bool) { log << "BeforeEnd"; };
    s.tr->AfterEnd = [&](TFIBTransaction*, TTransactionAction, bool) { log << "AfterEnd"; };
    s.db->BeforeStartTransaction = [&](TFIBTransaction*) { log << "db BeforeStartTransaction"; };
    s.db->AfterStartTransaction = [&](TFIBTransaction*) { log << "db AfterStartTransaction"; };
    s.db->BeforeEndTransaction = [&](TFIBTransaction*, TTransactionAction, bool) { log << "db BeforeEnd"; };
    s.db->AfterEndTransaction = [&](TFIBTransaction*, TTransactionAction, bool) { log << "db AfterEnd"; };

    s.tr->StartTransaction();
    s.tr->Commit();
    EXPECT_EQ(log, QStringList({"db BeforeStartTransaction", "BeforeStart", "starting 1", "starting 2",
                                "before start B", "before start A", "after start", "started 1", "started 2",
                                "AfterStart", "db AfterStartTransaction", "db BeforeEnd", "BeforeEnd", "ending 2",
                                "ending 1", "before end 2 0 4", "ended 2", "ended 1", "after end", "AfterEnd",
                                "db AfterEnd"}));

    // A transaction the link leaves no longer notifies it; a freed link leaves its slot empty.
    log.clear();
    first.setTransaction(nullptr);
    s.tr->StartTransaction();
    EXPECT_TRUE(log.contains("starting 2") && !log.contains("starting 1"));
    s.tr->Rollback();
}

TEST(TransactionTest, SharedHandleIsForgottenNotEnded)
{
    ConnectionTestDatabase file(QStringLiteral("tr-shared"));
    file.execute("create table T (N integer)");
    Session s(file);
    TpFIBTransaction other(&s.form);
    other.setObjectName("Other");
    other.setDefaultDatabase(s.db);
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");

    other.setHandle(s.tr->Handle());
    EXPECT_TRUE(other.HandleIsShared());
    EXPECT_TRUE(other.Active());
    const auto refused = raised<EFIBClientError>([&] { other.Commit(); });  // TimeoutAction is a rollback
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->SQLCode(), 58);
    EXPECT_EQ(refused->Message(),
              "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction.");
    other.Rollback();  // equal to TimeoutAction: forgotten, the server transaction lives on
    EXPECT_FALSE(other.Active());
    EXPECT_FALSE(other.HandleIsShared());
    EXPECT_TRUE(s.tr->Active());
    s.tr->Commit();
    EXPECT_EQ(file.scalar("select count(*) from T"), 1);
}

TEST(TransactionTest, IdleTimeoutEndsTheTransactionWithItsAction)
{
    ConnectionTestDatabase file(QStringLiteral("tr-idle"));
    file.execute("create table T (N integer)");
    Session s(file);
    bool timedOut = false;
    s.tr->OnTimeout = [&](TFIBTransaction*) { timedOut = true; };
    s.tr->setTimeoutAction(TACommit);
    s.tr->setTimeout(20);
    EXPECT_EQ(s.tr->Timeout(), 20u);
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");
    QElapsedTimer waited;
    waited.start();
    while (s.tr->Active() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(s.tr->Active());
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(file.scalar("select count(*) from T"), 1);
    s.tr->setTimeout(0);
    EXPECT_EQ(s.tr->Timeout(), 0u);
}

TEST(TransactionTest, ConnectionsOfAnotherClientLibraryAreRefused)
{
    QObject form;
    form.setObjectName("MainForm");
    TFIBDatabase a(&form), b(&form);
    a.setLibraryName(clientLibraryName());
    b.setLibraryName(QStringLiteral("libother.so"));
    TFIBTransaction tr(&form);
    tr.setObjectName("Tr");
    EXPECT_EQ(tr.AddDatabase(&a), 0);
    EXPECT_EQ(tr.AddDatabase(&a), 0);
    EXPECT_EQ(tr.AddDatabase(nullptr), -1);
    try {
        tr.AddDatabase(&b);
        FAIL();
    } catch (const EFIBError&) {
        FAIL() << "not a database error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "MainForm.Tr.\r\nTransaction can't work with different client library.");
    }
    EXPECT_EQ(tr.DatabaseCount(), 1);
}

TEST(TransactionTest, OneTransactionSpansTwoConnectionsWithTheirOwnParameters)
{
    ConnectionTestDatabase fileA(QStringLiteral("tr-multi-a")), fileB(QStringLiteral("tr-multi-b"), false);
    fileA.execute("create table T (N integer)");
    fileB.execute("create table T (N integer)");
    Session s(fileA);
    TpFIBDatabase second(&s.form);
    second.setObjectName("DB2");
    setUpConnection(second, fileB.name(), testPassword());
    second.Open();
    TFIBTransaction tr(&s.form);
    tr.setDefaultDatabase(s.db);
    tr.AddDatabase(&second, "read\r\nconcurrency");  // the second connection reads only
    tr.StartTransaction();
    tr.ExecSQLImmediate("insert into T values (1)");  // through the main connection

    IIBClientLibrary& lib = *second.ClientLibrary();
    const ISC_STATUS refused = lib.isc_dsql_execute_immediate(StatusVector(), second.HandlePtr(), tr.HandlePtr(), 0,
                                                              "insert into T values (2)", 3, nullptr);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(StatusVector()[1], isc_read_only_trans);  // the second entry's own TPB applied
    tr.Commit();
    EXPECT_EQ(fileA.scalar("select count(*) from T"), 1);
    EXPECT_EQ(fileB.scalar("select count(*) from T"), 0);
}

TEST(TransactionTest, IdleConnectionClosesUnlessKept)
{
    ConnectionTestDatabase file(QStringLiteral("db-idle"));
    Session s(file);
    int asked = 0;
    bool timedOut = false;
    s.db->OnIdleConnect = [&](TFIBDatabase*, bool& keep) { keep = ++asked == 1; };
    s.db->OnTimeout = [&](TFIBDatabase*) { timedOut = true; };
    s.db->setTimeout(20);
    QElapsedTimer waited;
    waited.start();
    while (s.db->Connected() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(s.db->Connected());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(timedOut);
}

TEST(TransactionTest, FailedCommitKeepsTheTransactionUntilAForcedEnd)
{
    ConnectionTestDatabase file(QStringLiteral("tr-lost"));
    file.execute("create table T (N integer)");
    Session s(file);
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");
    file.execute(QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = %1").arg(s.db->AttachmentID()));
    const QString lost = messageOf<EFIBInterBaseError>([&] { s.tr->Commit(); });
    EXPECT_TRUE(lost.startsWith("MainForm.Tr:\r\n")) << lost.toStdString();
    EXPECT_TRUE(s.tr->Active());
    EXPECT_EQ(s.tr->State(), tsDoCommit);
    s.tr->EndTransaction(TARollback, true);  // forced: no error, the handle is gone
    EXPECT_FALSE(s.tr->Active());
    EXPECT_EQ(s.tr->State(), tsClosed);
    s.db->Close();
    EXPECT_FALSE(s.db->Connected());
    EXPECT_EQ(file.scalar("select count(*) from T"), 0);
}

TEST(TransactionTest, ALinkRefusingTheDisconnectKeepsTheConnectionUnlessForced)
{
    ConnectionTestDatabase file(QStringLiteral("db-refuse"));
    Session s(file);
    TFIBBase link(&s.form);
    link.OnDatabaseDisconnecting = [](TFIBBase*) { throw Exception("busy"); };
    link.setDatabase(s.db);
    EXPECT_THROW(s.db->Close(), Exception);
    EXPECT_TRUE(s.db->Connected());
    s.db->ForceClose();
    EXPECT_FALSE(s.db->Connected());
}

TEST(TransactionTest, DestroyingAConnectionWhoseHandlerRefusesTheCloseLeavesNoAttachment)
{
    ConnectionTestDatabase file(QStringLiteral("db-destroy"));
    file.execute("create table T (N integer)");
    Session s(file);
    s.tr->StartTransaction();
    s.tr->ExecSQLImmediate("insert into T values (1)");
    const int id = s.db->AttachmentID();
    s.db->BeforeDisconnect = [](TFIBDatabase*) { throw Exception("refused"); };
    delete s.db;
    EXPECT_FALSE(s.tr->Active());
    EXPECT_EQ(file.scalar(QStringLiteral("select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID = %1").arg(id)),
              0);
    EXPECT_EQ(file.scalar("select count(*) from T"), 0);
}

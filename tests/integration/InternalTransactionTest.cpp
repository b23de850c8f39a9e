// The connection's internal transaction and the server-time query it runs at every attach.
#include "ConnectionTestDatabase.h"
#include "Raised.h"
#include "fib.h"
#include "TestSession.h"
#include "pFIBDatabase.h"

#include <QDateTime>
#include <cmath>

using testsupport::testPassword;

namespace {

// A connection named DB on a form named MainForm, with a record of its internal transaction's
// starts and ends.
struct Connection {
    int starts = 0;
    QList<TTransactionAction> ends;  // outlives the form, whose destruction may still end the transaction
    QObject form;
    TpFIBDatabase* db;

    explicit Connection(const QString& dbName)
    {
        form.setObjectName(QStringLiteral("MainForm"));
        db = new TpFIBDatabase(&form);
        db->setObjectName(QStringLiteral("DB"));
        setUpConnection(*db, dbName, testPassword());
        db->Loaded();
        TFIBTransaction* internal = db->InternalTransaction();
        internal->AddEvent(TFIBTransaction::tetAfterStart, [this](TFIBTransaction*) { ++starts; });
        internal->AddEndEvent(TFIBTransaction::tetAfterEnd,
                              [this](TFIBTransaction*, TTransactionAction action, bool) { ends << action; });
    }
};

// Local minus server date-time in seconds, as a separate session measures it.
double clockDifferenceSeconds(const QString& dbName)
{
    testsupport::TestSession session(dbName);
    const QDateTime server = session.scalar("SELECT CAST('NOW' AS TIMESTAMP) FROM RDB$DATABASE").toDateTime();
    const QDateTime local = QDateTime::currentDateTime();
    // Both as wall-clock fields: the server's timestamp carries no zone.
    return QDateTime(server.date(), server.time(), Qt::UTC).msecsTo(QDateTime(local.date(), local.time(), Qt::UTC)) / 1000.0;
}

}  // namespace

TEST(InternalTransactionTest, SettingsNameAndIdleTimeoutFollowTheConnection)
{
    const ConnectionTestDatabase file(QStringLiteral("internal-settings"));
    Connection c(file.name());
    TFIBTransaction* internal = c.db->InternalTransaction();
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(internal->objectName(), "DB_InternalTransaction");
    EXPECT_EQ(internal->DefaultDatabase(), c.db);
    EXPECT_EQ(internal->TimeoutAction(), TACommit);
    EXPECT_EQ(internal->TRParams()->Lines(), (QStringList{"write", "isc_tpb_nowait", "read_committed", "rec_version"}));
    EXPECT_TRUE(c.db->SynchronizeTime());
    EXPECT_EQ(c.db->DifferenceTime(), 0.0);

    c.db->Open();
    EXPECT_EQ(internal->Timeout(), 1000u);
    c.db->Close();
    EXPECT_EQ(internal->Timeout(), 0u);
}

TEST(InternalTransactionTest, EveryAttachMeasuresTheServerClockInOneCommittedTransaction)
{
    const ConnectionTestDatabase file(QStringLiteral("internal-time"));
    Connection c(file.name());
    c.db->Open();
    EXPECT_FALSE(c.db->InternalTransaction()->Active());
    EXPECT_EQ(c.starts, 1);
    EXPECT_EQ(c.ends, QList<TTransactionAction>{TACommit});
    EXPECT_NEAR(c.db->DifferenceTime() * 86400.0, clockDifferenceSeconds(file.name()), 5.0);
    EXPECT_NEAR(c.db->GetServerTime(), c.db->GetServerTime(), 5.0 / 86400.0);
    c.db->Close();

    c.db->setSynchronizeTime(false);
    c.db->Open();
    EXPECT_EQ(c.db->DifferenceTime(), 0.0);
    EXPECT_EQ(c.starts, 3);  // the two direct calls above, none at this attach
    c.db->Close();

    // The query fails: its transaction is rolled back and Open fails with the connection attached.
    c.db->setSynchronizeTime(true);
    c.db->InternalTransaction()->AddEvent(TFIBTransaction::tetAfterStart,
                                          [](TFIBTransaction*) { throw Exception(QStringLiteral("no clock")); });
    EXPECT_EQ(testsupport::messageOf<Exception>([&] { c.db->Open(); }), "no clock");
    EXPECT_TRUE(c.db->Connected());
    EXPECT_FALSE(c.db->InternalTransaction()->Active());
    EXPECT_EQ(c.ends.back(), TARollback);
    EXPECT_EQ(c.db->DifferenceTime(), 0.0);
    c.db->Close();
}

TEST(InternalTransactionTest, DialectOneDatabaseReadsTheServerTimeAsDate)
{
    const ConnectionTestDatabase file(QStringLiteral("internal-dialect1"), true, 1);
    Connection c(file.name());
    c.db->Open();
    EXPECT_EQ(c.db->SQLDialect(), 1);
    // A dialect-1 DATE carries the time of day, so the difference is as exact as with TIMESTAMP.
    EXPECT_NEAR(c.db->DifferenceTime() * 86400.0, clockDifferenceSeconds(file.name()), 5.0);
    EXPECT_EQ(c.ends, QList<TTransactionAction>{TACommit});
}

TEST(InternalTransactionTest, DestructionCommitsAnActiveInternalTransaction)
{
    const ConnectionTestDatabase file(QStringLiteral("internal-destroy"));
    QList<TTransactionAction> ends;
    {
        Connection c(file.name());
        c.db->Open();
        c.db->InternalTransaction()->StartTransaction();
        c.db->InternalTransaction()->AddEndEvent(
            TFIBTransaction::tetAfterEnd, [&ends](TFIBTransaction*, TTransactionAction action, bool) { ends << action; });
    }
    EXPECT_EQ(ends, QList<TTransactionAction>{TACommit});
}

#include "FIBQuery.h"
#include "fib.h"
#include "pFIBDatabase.h"

#include <QObject>
#include <gtest/gtest.h>

TEST(TransactionLinkTest, LinksTakeFreedSlotsAndStatementsAreFoundByTheirOwner)
{
    QObject form;
    form.setObjectName("MainForm");
    TpFIBTransaction tr(&form);
    TFIBQuery query(&form);
    auto first = std::make_unique<TFIBBase>(&form);
    TFIBBase ofQuery(&query);
    first->setTransaction(&tr);
    ofQuery.setTransaction(&tr);
    EXPECT_EQ(tr.FIBBaseCount(), 2);
    EXPECT_EQ(tr.FIBQueryCount(), 1);
    EXPECT_EQ(tr.GetFIBQuery(0), &query);
    EXPECT_EQ(tr.GetFIBQuery(1), nullptr);

    first.reset();  // its slot is emptied and taken by the next link
    EXPECT_EQ(tr.GetFIBBase(0), nullptr);
    TFIBBase next(&form);
    next.setTransaction(&tr);
    EXPECT_EQ(tr.GetFIBBase(0), &next);
    EXPECT_EQ(tr.FIBBaseCount(), 2);
}

TEST(TransactionLinkTest, ChecksNameTheLinksOwner)
{
    QObject form;
    form.setObjectName("MainForm");
    QObject statement(&form);
    statement.setObjectName("Q1");
    TFIBBase link(&statement);
    try {
        link.CheckDatabase();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 21);
        EXPECT_EQ(e.Message(), "Database not assigned for MainForm.Q1.");
    }
    try {
        link.CheckTransaction();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.Message(), "Transaction not assigned for MainForm.Q1.");
    }
    TFIBBase unowned(nullptr);
    try {
        unowned.CheckDatabase();
        FAIL();
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.Message(), "Database not assigned for .");
    }
}

TEST(TransactionLinkTest, DefaultTransactionAndDatabaseFindEachOther)
{
    QObject form;
    TpFIBDatabase db(&form);
    TpFIBTransaction tr(&form), other(&form);
    db.setDefaultTransaction(&tr);
    EXPECT_EQ(tr.DefaultDatabase(), &db);
    EXPECT_EQ(tr.DatabaseCount(), 1);
    EXPECT_EQ(db.TransactionCount(), 2);  // its own internal transaction first
    EXPECT_EQ(db.Transactions(0), db.InternalTransaction());

    // A link given the connection takes its default transaction; one given a transaction that
    // lists another connection moves to that transaction's main connection.
    TFIBBase link(&form);
    link.setDatabase(&db);
    EXPECT_EQ(link.Transaction(), &tr);
    TpFIBDatabase db2(&form);
    other.setDefaultDatabase(&db2);
    link.setTransaction(&other);
    EXPECT_EQ(link.Database(), &db2);
    EXPECT_EQ(db.FIBBases(0), nullptr);

    tr.RemoveDatabase(0);
    EXPECT_EQ(db.DefaultTransaction(), nullptr);
    EXPECT_EQ(tr.DefaultDatabase(), nullptr);
    EXPECT_EQ(db.Transactions(1), nullptr);
}

TEST(TransactionLinkTest, ReferencesAreSetThroughTheirPropertyNames)
{
    QObject form;
    TpFIBDatabase db(&form);
    TpFIBTransaction tr(&form);
    EXPECT_TRUE(db.setProperty("DefaultTransaction", QVariant::fromValue<TFIBTransaction*>(&tr)));
    EXPECT_EQ(tr.property("DefaultDatabase").value<TFIBDatabase*>(), &db);
    EXPECT_TRUE(db.setProperty("SQLDialect", 3));
    EXPECT_EQ(db.SQLDialect(), 3);
}

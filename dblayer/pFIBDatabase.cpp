#include "pFIBDatabase.h"

#include "FIBQuery.h"


// ================================================================ TpFIBDatabase

TpFIBDatabase::TpFIBDatabase(QObject* owner) : TFIBDatabase(owner) {}

TpFIBDatabase::~TpFIBDatabase()
{
    // Close here, while the overridden steps still run; the base destructor finds it closed.
    try {
        Close();
    } catch (...) {
    }
}

void TpFIBDatabase::Open(bool RaiseExceptionOnConnectError)
{
    if (Connected())
        return;
    if (BeforeConnect) {
        bool connect = true;
        BeforeConnect(this, DBParams(), connect);
        if (!connect)
            return;
    }
    TFIBDatabase::Open(RaiseExceptionOnConnectError);
}

int TpFIBDatabase::WaitForRestoreConnect() const { return FWaitForRestoreConnect; }

void TpFIBDatabase::setWaitForRestoreConnect(int value) { FWaitForRestoreConnect = value; }

// ================================================================ TpFIBTransaction

TpFIBTransaction::TpFIBTransaction(QObject* owner) : TFIBTransaction(owner) {}

TpFIBTransaction::~TpFIBTransaction()
{
    // End here, so the end events still run; the base destructor finds the transaction ended.
    EndForDestruction();
}

void TpFIBTransaction::StartTransaction()
{
    if (Active())
        return;
    if (FTPBMode == tpbReadCommitted)
        setTRParams({QStringLiteral("write"), QStringLiteral("isc_tpb_nowait"), QStringLiteral("read_committed"),
                     QStringLiteral("rec_version")});
    else if (FTPBMode == tpbRepeatableRead)
        setTRParams({QStringLiteral("write"), QStringLiteral("isc_tpb_nowait"), QStringLiteral("concurrency")});
    auto* db = qobject_cast<TpFIBDatabase*>(DefaultDatabase());
    if (db && db->BeforeStartTransaction)
        db->BeforeStartTransaction(this);
    if (BeforeStart)
        BeforeStart(this);
    TFIBTransaction::StartTransaction();
    if (AfterStart)
        AfterStart(this);
    if (db && db->AfterStartTransaction)
        db->AfterStartTransaction(this);
}

void TpFIBTransaction::EndTransaction(TTransactionAction Action, bool Force)
{
    auto* db = qobject_cast<TpFIBDatabase*>(DefaultDatabase());
    if (db && db->BeforeEndTransaction)
        db->BeforeEndTransaction(this, Action, Force);
    if (BeforeEnd)
        BeforeEnd(this, Action, Force);
    TFIBTransaction::EndTransaction(Action, Force);
    if (AfterEnd)
        AfterEnd(this, Action, Force);
    if (db && db->AfterEndTransaction)
        db->AfterEndTransaction(this, Action, Force);
}

void TpFIBTransaction::DoOnSQLExec(const TSQLExecNotice& Notice)
{
    TFIBTransaction::DoOnSQLExec(Notice);
    if (Notice.Kind == 0 && BeforeSQLExecute)
        BeforeSQLExecute(Notice.Query, Notice.SQLType);
    else if (Notice.Kind == 1 && AfterSQLExecute)
        AfterSQLExecute(Notice.Query, Notice.SQLType);
}

QList<TFIBQuery*> TpFIBTransaction::AttachedQueries() const
{
    QList<TFIBQuery*> queries;
    for (int i = 0; i < FIBBaseCount(); ++i)
        if (TFIBBase* link = GetFIBBase(i))
            if (auto* query = qobject_cast<TFIBQuery*>(link->Owner()))
                queries.append(query);
    return queries;
}

int TpFIBTransaction::FIBQueryCount() const { return static_cast<int>(AttachedQueries().size()); }

TFIBQuery* TpFIBTransaction::GetFIBQuery(int index) const { return AttachedQueries().value(index); }

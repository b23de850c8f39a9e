#pragma once
// The connection and transaction components placed on forms: TpFIBDatabase adds the connect
// and transaction events, TpFIBTransaction the TPB presets and user events around start, end
// and statement execution.

#include "FIBDatabase.h"

#include <memory>

enum TTPBMode : int { tpbDefault = 0, tpbReadCommitted = 1, tpbRepeatableRead = 2 };

class TpFIBDatabase : public TFIBDatabase {
    Q_OBJECT
    Q_PROPERTY(int WaitForRestoreConnect READ WaitForRestoreConnect WRITE setWaitForRestoreConnect)
public:
    // Clearing Connect cancels the open.
    using TBeforeConnectEvent = std::function<void(TpFIBDatabase* Database, TDBParams* LoginParams, bool& Connect)>;
    using TTransactionEvent = std::function<void(TFIBTransaction* Transaction)>;
    using TEndTransactionEvent =
        std::function<void(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force)>;

    explicit TpFIBDatabase(QObject* owner = nullptr);
    ~TpFIBDatabase() override;

    void Open(bool RaiseExceptionOnConnectError = true) override;

    // Interval of the reconnect timer in milliseconds; 0 (no timer) for a new component.
    int WaitForRestoreConnect() const;
    void setWaitForRestoreConnect(int value);

    TBeforeConnectEvent BeforeConnect;
    // Fired after attaching (the connection's OnConnect).
    TNotifyEvent& AfterConnect = OnConnect;
    TTransactionEvent BeforeStartTransaction;
    TTransactionEvent AfterStartTransaction;
    TEndTransactionEvent BeforeEndTransaction;
    TEndTransactionEvent AfterEndTransaction;

private:
    int FWaitForRestoreConnect = 0;  // milliseconds
};

class TpFIBTransaction : public TFIBTransaction {
    Q_OBJECT
    Q_PROPERTY(QString UserKindTransaction READ UserKindTransaction WRITE setUserKindTransaction)
public:
    using TOnSQLExecute = std::function<void(TFIBQuery* Query, int SQLType)>;

    explicit TpFIBTransaction(QObject* owner = nullptr);
    ~TpFIBTransaction() override;

    // Already active: returns. Otherwise applies the TPBMode preset and starts between the
    // connection's and its own start events.
    void StartTransaction() override;
    void EndTransaction(TTransactionAction Action, bool Force) override;
    void DoOnSQLExec(const TSQLExecNotice& Notice) override;

    // The attached statements: the links whose owner is a statement component, in link order.
    int FIBQueryCount() const;
    TFIBQuery* GetFIBQuery(int index) const;

    TTPBMode TPBMode() const { return FTPBMode; }
    void setTPBMode(TTPBMode value) { FTPBMode = value; }
    QString UserKindTransaction() const { return FUserKindTransaction; }
    void setUserKindTransaction(const QString& value) { FUserKindTransaction = value; }

    TNotifyEvent BeforeStart;
    TNotifyEvent AfterStart;
    TEndTrEvent BeforeEnd;
    TEndTrEvent AfterEnd;
    TOnSQLExecute BeforeSQLExecute;
    TOnSQLExecute AfterSQLExecute;

private:
    QList<TFIBQuery*> AttachedQueries() const;

    TTPBMode FTPBMode = tpbReadCommitted;
    QString FUserKindTransaction = QStringLiteral("NoUserKind");
};

#pragma once
// The connection component (TFIBDatabase), the transaction component (TFIBTransaction) and the
// link object a statement uses to register with both (TFIBBase).
//
// A connection attaches to one database through the shared client library binding, keeps the
// transactions and statement links registered with it and notifies them when it attaches and
// detaches. A transaction holds one server transaction handle across the connections listed in
// it, builds its transaction parameter block from its TRParams lines and notifies the attached
// statement links around every start and end. Every client call goes through the calling
// component's Call check, which raises the composed status error (fib.h).

#include <ibase.h>

#include "CallbackList.h"
#include "IB_Intf.h"
#include "StringList.h"
#include "pFIBProps.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QTimer;
class TFIBBase;
class TFIBDatabase;
class TFIBQuery;
class TFIBTransaction;

enum TTransactionAction : int { TARollback = 0, TARollbackRetaining = 1, TACommit = 2, TACommitRetaining = 3 };
enum TTransactionState : int {
    tsActive = 0, tsClosed = 1, tsDoRollback = 2, tsDoRollbackRetaining = 3, tsDoCommit = 4, tsDoCommitRetaining = 5
};

// One entry of the transaction existence block isc_start_multiple reads: natural alignment of
// {pointer, int, pointer}, 24 bytes on x86-64 (12 on a 32-bit build).
struct TISCTEB {
    isc_db_handle* db_handle;
    int tpb_length;
    const ISC_SCHAR* tpb_address;
};

// The process-wide login dialog hook: given the database name and the user name, password and
// role for update, returns true when the user confirmed. Null unless a login dialog registers.
using TLoginDialogProc = bool (*)(const QString& DBName, QString& UserName, QString& Password, QString& RoleName);
extern TLoginDialogProc LoginDialogProc;

// Builds the transaction parameter block from the lines (trimmed and written back). Empty for an
// empty list, else version byte 3 and one item per non-empty line. isFB21OrMore decides the item
// of lock_timeout/no_savepoint. Raises client errors 10 and 11, and an EFIBClientError naming the
// parameter when a value exceeds 255 bytes.
QByteArray BuildTPB(TStringList& params, bool isFB21OrMore);

// The server version numbers in a version string: from its fifth character to the one before
// its last, each run of digits ended by another character fills the next of major, minor,
// release and build ("WI-V3.0.10.33601 Firebird 3.0" gives 3, 0, 10, 33601); numbers the string
// does not reach stay as they were. A number too large for an int reads as the largest int.
void ParseServerVersion(const QByteArray& version, std::array<int*, 4> targets);

// ---------------------------------------------------------------- connection

class TFIBDatabase : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString LibraryName READ LibraryName WRITE setLibraryName)
    Q_PROPERTY(QString DBName READ DBName WRITE setDBName)
    Q_PROPERTY(bool Connected READ Connected WRITE setConnected STORED false)
    Q_PROPERTY(bool UseLoginPrompt READ UseLoginPrompt WRITE setUseLoginPrompt)
    Q_PROPERTY(int SQLDialect READ SQLDialect WRITE setSQLDialect)
    Q_PROPERTY(uint Timeout READ Timeout WRITE setTimeout)
    Q_PROPERTY(bool AutoReconnect READ AutoReconnect WRITE setAutoReconnect)
    Q_PROPERTY(TConnectParams* ConnectParams READ ConnectParams CONSTANT)
    Q_PROPERTY(TFIBTransaction* DefaultTransaction READ DefaultTransaction WRITE setDefaultTransaction)
    Q_PROPERTY(bool SynchronizeTime READ SynchronizeTime WRITE setSynchronizeTime)
public:
    using TNotifyEvent = std::function<void(TFIBDatabase* Sender)>;
    // KeepConnection preset to false; setting it keeps an idle connection attached.
    using TIdleConnectEvent = std::function<void(TFIBDatabase* Sender, bool& KeepConnection)>;
    enum TDatabaseEventType : int { detOnConnect = 0, detBeforeDisconnect = 1, detOnDestroy = 2 };

    explicit TFIBDatabase(QObject* owner = nullptr);
    ~TFIBDatabase() override;

    QString LibraryName() const { return FLibraryName; }
    void setLibraryName(const QString& value);
    QString DBName() const { return QString::fromLocal8Bit(FDBName); }
    void setDBName(const QString& value);
    TDBParams* DBParams() const { return FDBParams.get(); }
    void setDBParams(const QStringList& lines) { FDBParams->Assign(lines); }
    TConnectParams* ConnectParams() const { return FConnectParams; }
    bool UseLoginPrompt() const { return FUseLoginPrompt; }
    void setUseLoginPrompt(bool value) { FUseLoginPrompt = value; }
    int SQLDialect() const { return FSQLDialect; }
    void setSQLDialect(int value);
    uint Timeout() const;
    void setTimeout(uint value);
    bool AutoReconnect() const { return FAutoReconnect; }
    void setAutoReconnect(bool value) { FAutoReconnect = value; }

    bool Connected() const { return FHandle != 0; }
    void setConnected(bool value);
    virtual void Open(bool RaiseExceptionOnConnectError = true);
    void Close();
    virtual void EndAttachment(bool Force);
    virtual void SaveAlias() {}
    // Called by the owning form once all its components exist: names the internal transaction
    // after the connection.
    virtual void Loaded();
    void ForceClose() { EndAttachment(true); }
    // False when not connected; otherwise asks the server for its base level and force-closes
    // the connection when that fails.
    bool TestConnected();
    // Raises client error 12 unless connected; with TryReconnect an AutoReconnect connection
    // opens itself first.
    void CheckActive(bool TryReconnect = false);
    // Raises client error 13 while connected.
    void CheckInactive() const;

    // The check every client call of this connection and its statements goes through (the
    // binding has already restored the floating-point state after the call): notes the activity
    // for the idle timer and, when RaiseError is set and ErrCode > 0, raises the error in the
    // calling thread's status vector. Returns ErrCode.
    ISC_STATUS Call(ISC_STATUS ErrCode, bool RaiseError);
    bool Busy() const { return FClientLibrary && FClientLibrary->IsBusy(); }
    // The binding; null before the first Open.
    IIBClientLibrary* ClientLibrary() const { return FClientLibrary.get(); }

    isc_db_handle Handle() const { return FHandle; }
    isc_db_handle* HandlePtr() { return &FHandle; }
    // Adopts an attachment made elsewhere; it is forgotten, never detached, at close.
    void setHandle(isc_db_handle value);
    bool HandleIsShared() const { return FHandleIsShared; }

    TFIBTransaction* DefaultTransaction() const { return FDefaultTransaction; }
    void setDefaultTransaction(TFIBTransaction* value);
    int TransactionCount() const { return static_cast<int>(FTransactions.size()); }
    // A slot of the transaction list; may be null.
    TFIBTransaction* Transactions(int index) const { return FTransactions.value(index); }
    int FIBBaseCount() const { return static_cast<int>(FFIBBases.size()); }
    TFIBBase* FIBBases(int index) const { return FFIBBases.value(index); }

    int IndexOfDBConst(const QString& name) const { return ::IndexOfDBConst(*FDBParams, name); }
    QString GetDBParamByDPB(int code) const { return ::GetDBParamByDPB(*FDBParams, code); }
    void SetDBParamByDPB(int code, const QString& value) { ::SetDBParamByDPB(*FDBParams, code, value); }
    // The DPB of the last attach.
    QByteArray DPB() const { return FDPB; }

    // Server time: with SynchronizeTime (the default) every attach asks the server for its time
    // on the internal transaction and keeps DifferenceTime, local minus server date-time in days
    // (0 until measured).
    bool SynchronizeTime() const { return FSynchronizeTime; }
    void setSynchronizeTime(bool value) { FSynchronizeTime = value; }
    double DifferenceTime() const { return FDifferenceTime; }
    // The server's current date-time in days since 30 December 1899, read by a temporary
    // statement on the internal transaction, which is committed after it and rolled back when
    // the statement fails (the error propagates).
    double GetServerTime();
    // The connection's own transaction for the queries it makes on its own behalf.
    TFIBTransaction* InternalTransaction() const { return vInternalTransaction; }

    // Read at attach.
    int AttachmentID() const { return vAttachmentID; }
    int DBSQLDialect() const { return FDBSQLDialect; }
    int ServerMajorVersion() const { return FServerMajorVersion; }
    int ServerMinorVersion() const { return FServerMinorVersion; }
    int ServerRelease() const { return FServerRelease; }
    int ServerBuild() const { return FServerBuild; }
    bool IsFirebirdConnect() const { return FIsFireBirdConnect; }
    bool IsIB2007Connect() const { return FIsIB2007Connect; }
    bool IsFB21OrMore() const { return FIsFB21OrMore; }
    bool IsUnicodeConnect() const { return FIsUnicodeConnect; }
    bool IsNoneConnect() const { return FIsNoneConnect; }
    bool NeedUnicodeFieldsTranslation() const { return FNeedUnicodeFieldsTranslation; }
    bool NeedUTFDecodeDDL() const { return FNeedUTFDecodeDDL; }

    // Database information: the integer answer of one item, or defaultValue when the server
    // does not answer it; the first string of an item's answer. Errors are raised.
    int DBInfoInteger(char item, int defaultValue = -1);
    QByteArray DBInfoString(char item, int bufferSize);

    // Internal listeners: connected (after AfterConnect), before disconnect (after
    // BeforeDisconnect), destroy (last registered first). Add returns the id for RemoveEvent.
    int AddEvent(TDatabaseEventType type, TNotifyEvent event);
    void RemoveEvent(TDatabaseEventType type, int id);

    TNotifyEvent OnConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;
    TNotifyEvent OnTimeout;
    TIdleConnectEvent OnIdleConnect;

protected:
    // The login step: runs the dialog hook and writes user_name, password and sql_role_name.
    bool RunLoginPrompt();
    bool IsDestroying() const { return FDestroying; }

private:
    friend class TFIBTransaction;
    friend class TFIBBase;

    void BindClientLibrary();
    void ConnectedSetup();
    void CallDisconnectEvent(const TNotifyEvent& event, const char* eventName);
    void NoteActivity();
    void IdleTimerTick();
    // Registers a transaction at the first empty slot or the one already holding it.
    void AddTransaction(TFIBTransaction* transaction);
    void RemoveTransaction(TFIBTransaction* transaction);
    int AddFIBBase(TFIBBase* link);
    void RemoveFIBBase(TFIBBase* link);
    // Invokes a link event on every registered link, in order.
    void NotifyLinks(std::function<void(TFIBBase*)> TFIBBase::*event, bool stopWhenDetached = false);

    QString FLibraryName;
    std::shared_ptr<IIBClientLibrary> FClientLibrary;
    QList<TFIBBase*> FFIBBases;
    QList<TFIBTransaction*> FTransactions;
    QByteArray FDBName;
    std::unique_ptr<TDBParams> FDBParams;
    bool FDBParamsChanged = true;
    QByteArray FDPB;
    isc_db_handle FHandle = 0;
    bool FHandleIsShared = false;
    bool FUseLoginPrompt = false;
    bool FAutoReconnect = false;
    TFIBTransaction* FDefaultTransaction = nullptr;
    std::unique_ptr<QTimer> FTimer;
    int FSQLDialect = 1;
    int FDBSQLDialect = 1;
    TConnectParams* FConnectParams;
    int vAttachmentID = -1;
    bool FNeedUnicodeFieldsTranslation = false;
    bool FIsUnicodeConnect = false;
    bool FIsNoneConnect = false;
    int FServerMajorVersion = -1;
    int FServerMinorVersion = -1;
    int FServerRelease = -1;
    int FServerBuild = -1;
    bool FNeedUTFDecodeDDL = false;
    bool FIsFB21OrMore = false;
    bool FIsFireBirdConnect = false;
    bool FIsIB2007Connect = false;
    bool FDestroying = false;
    // Owned: committed when active and freed by the destructor.
    TFIBTransaction* vInternalTransaction = nullptr;
    bool FSynchronizeTime = true;
    double FDifferenceTime = 0;
    TCallbackList<TFIBDatabase*> FConnectEvents;
    TCallbackList<TFIBDatabase*> FBeforeDisconnectEvents;
    TCallbackList<TFIBDatabase*> FDestroyEvents;
};

// ---------------------------------------------------------------- transaction

// What a statement tells its transaction around an execution.
struct TSQLExecNotice {
    TFIBQuery* Query = nullptr;
    int Kind = 0;          // 0 before executing, 1 after executing, 2 closing a cursor
    int SQLType = 0;       // the statement's type
    bool IsSelect = false; // the type is a select
    // Updated + deleted + inserted rows; asked only while watching for uncommitted updates.
    std::function<qint64()> AllRowsAffected;
};

class TFIBTransaction : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE setActive STORED false)
    Q_PROPERTY(uint Timeout READ Timeout WRITE setTimeout)
    Q_PROPERTY(bool WatchUncommitedUpdates READ WatchUncommitedUpdates WRITE setWatchUncommitedUpdates)
    Q_PROPERTY(TFIBDatabase* DefaultDatabase READ DefaultDatabase WRITE setDefaultDatabase)
public:
    using TNotifyEvent = std::function<void(TFIBTransaction* Sender)>;
    using TEndTrEvent = std::function<void(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force)>;
    // Listener types of AddEvent (0, 1, 4) and AddEndEvent (2, 3).
    enum TTransactionEventType : int {
        tetBeforeStart = 0, tetAfterStart = 1, tetBeforeEnd = 2, tetAfterEnd = 3, tetOnDestroy = 4
    };

    explicit TFIBTransaction(QObject* owner = nullptr);
    ~TFIBTransaction() override;

    virtual void StartTransaction();
    virtual void EndTransaction(TTransactionAction Action, bool Force);
    virtual void DoOnSQLExec(const TSQLExecNotice& Notice);
    virtual void Commit() { EndTransaction(TACommit, false); }
    virtual void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
    virtual void Rollback() { EndTransaction(TARollback, false); }
    virtual void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }

    bool Active() const { return FHandle != 0; }
    bool InTransaction() const { return Active(); }
    void setActive(bool value);
    TTransactionState State() const { return FState; }

    TFIBDatabase* DefaultDatabase() const { return FDefaultDatabase; }
    void setDefaultDatabase(TFIBDatabase* value);
    // DefaultDatabase, else the first listed connection, else null.
    TFIBDatabase* MainDatabase() const;
    int AddDatabase(TFIBDatabase* db);
    int AddDatabase(TFIBDatabase* db, const QString& TRParams);
    void RemoveDatabase(int index);
    void ReplaceDatabase(TFIBDatabase* oldDb, TFIBDatabase* newDb);
    int FindDatabase(const TFIBDatabase* db) const { return static_cast<int>(FDatabases.indexOf(db)); }
    TFIBDatabase* GetDatabase(int index) const { return FDatabases.value(index); }
    int DatabaseCount() const { return static_cast<int>(FDatabases.size()); }

    isc_tr_handle Handle() const { return FHandle; }
    isc_tr_handle* HandlePtr() { return &FHandle; }
    // Adopts a transaction started elsewhere (HandleIsShared; null adopts nothing).
    void setHandle(isc_tr_handle value);
    bool HandleIsShared() const { return FHandleIsShared; }

    TStringList* TRParams() const { return FTRParams.get(); }
    void setTRParams(const QStringList& lines) { FTRParams->Assign(lines); }
    // The TPB of the last start.
    QByteArray TPB() const { return FTPB; }
    uint Timeout() const;
    void setTimeout(uint value);
    TTransactionAction TimeoutAction() const { return FTimeoutAction; }
    void setTimeoutAction(TTransactionAction value) { FTimeoutAction = value; }
    bool WatchUncommitedUpdates() const { return FWatchUpdates; }
    void setWatchUncommitedUpdates(bool value) { FWatchUpdates = value; }
    bool HasUncommitedUpdates() const { return FHasUncommitedUpdates; }
    int TransactionID();

    void CheckInTransaction();
    void CheckNotInTransaction() const;
    void CheckDatabasesInList() const;
    // A listed connection is about to detach: an active transaction ends by force.
    void OnDatabaseDisconnecting(TFIBDatabase* db);
    // The check every client call of this transaction goes through (see TFIBDatabase::Call).
    ISC_STATUS Call(ISC_STATUS ErrCode, bool RaiseError);

    bool IsReadCommitedTransaction() const;
    bool IsReadOnly() const;
    void ExecSQLImmediate(const QString& SQL);
    void SetSavePoint(const QString& name) { ExecSQLImmediate(QStringLiteral("savepoint ") + name); }
    void RollBackToSavePoint(const QString& name) { ExecSQLImmediate(QStringLiteral("rollback to savepoint ") + name); }
    void ReleaseSavePoint(const QString& name) { ExecSQLImmediate(QStringLiteral("release savepoint ") + name); }

    int AddEvent(TTransactionEventType type, TNotifyEvent event);
    void RemoveEvent(TTransactionEventType type, int id);
    int AddEndEvent(TTransactionEventType type, TEndTrEvent event);
    void RemoveEndEvent(TTransactionEventType type, int id);

    int FIBBaseCount() const { return static_cast<int>(FFIBBases.size()); }
    // A slot of the link list; may be null.
    TFIBBase* GetFIBBase(int index) const { return FFIBBases.value(index); }

    TNotifyEvent OnTimeout;

protected:
    // TimeoutAction without retaining: how an active transaction ends when its connection
    // detaches or the component is destroyed.
    TTransactionAction PlainTimeoutAction() const;
    // Ends an active transaction by force with PlainTimeoutAction, dropping any error (destructors).
    void EndForDestruction() noexcept;

private:
    friend class TFIBBase;
    friend class TFIBDatabase;

    IIBClientLibrary& ClientLibrary() const;
    void IdleTimerTick();
    int AddFIBBase(TFIBBase* link);
    void RemoveFIBBase(TFIBBase* link);
    void NotifyLinksBackward(std::function<void(TFIBTransaction*)> TFIBBase::*event);
    void NotifyLinksForward(std::function<void(TFIBTransaction*)> TFIBBase::*event);
    // The listener list a type of AddEvent or AddEndEvent names; null for a type of the other kind.
    TCallbackList<TFIBTransaction*>* notifyList(TTransactionEventType type);
    TCallbackList<TFIBTransaction*, TTransactionAction, bool>* endList(TTransactionEventType type);

    bool FCanTimeout = false;
    QList<TFIBDatabase*> FDatabases;
    QList<TFIBBase*> FFIBBases;
    TFIBDatabase* FDefaultDatabase = nullptr;
    isc_tr_handle FHandle = 0;
    bool FHandleIsShared = false;
    QByteArray FTPB;
    std::unique_ptr<QTimer> FTimer;
    TTransactionAction FTimeoutAction = TARollback;
    std::unique_ptr<TStringList> FTRParams;
    bool FTRParamsChanged = true;
    TTransactionState FState = tsClosed;
    int FTransactionID = 0;
    TCallbackList<TFIBTransaction*> vOnDestroy;
    TCallbackList<TFIBTransaction*> vBeforeStartTransaction;
    TCallbackList<TFIBTransaction*> vAfterStartTransaction;
    TCallbackList<TFIBTransaction*, TTransactionAction, bool> vBeforeEndTransaction;
    TCallbackList<TFIBTransaction*, TTransactionAction, bool> vAfterEndTransaction;
    // Per listed connection: its own TRParams text (empty: the common TPB) and the TPB built from it.
    QList<QString> vTRParams;
    bool FHasUncommitedUpdates = false;
    bool FWatchUpdates = false;
};

// ---------------------------------------------------------------- statement link

// The link a statement owns to register with its connection and transaction; the connection and
// the transaction call its events (database events with the link, transaction events with the
// transaction as argument).
class TFIBBase {
public:
    using TLinkEvent = std::function<void(TFIBBase* Sender)>;
    using TTransactionEvent = std::function<void(TFIBTransaction* Sender)>;

    explicit TFIBBase(QObject* owner);
    virtual ~TFIBBase();
    TFIBBase(const TFIBBase&) = delete;
    TFIBBase& operator=(const TFIBBase&) = delete;

    // Client error 21 without a connection, then the connection's CheckActive.
    virtual void CheckDatabase();
    // Client error 22 without a transaction, then the transaction's CheckInTransaction.
    virtual void CheckTransaction();

    QObject* Owner() const { return FOwner; }
    TFIBDatabase* Database() const { return FDatabase; }
    // Registers with the connection; a link without a transaction takes its DefaultTransaction.
    void setDatabase(TFIBDatabase* value);
    TFIBTransaction* Transaction() const { return FTransaction; }
    // Takes a slot in the transaction; switches to its MainDatabase when the link's connection
    // is not listed there.
    void setTransaction(TFIBTransaction* value);

    TLinkEvent OnDatabaseConnecting;
    TLinkEvent OnDatabaseConnected;
    TLinkEvent OnDatabaseDisconnecting;
    TLinkEvent OnDatabaseDisconnected;
    TLinkEvent OnDatabaseFree;
    TTransactionEvent OnTransactionEnding;
    TTransactionEvent OnTransactionEnded;
    TTransactionEvent OnTransactionStarting;
    TTransactionEvent OnTransactionStarted;
    TLinkEvent OnTransactionFree;

private:
    friend class TFIBDatabase;
    friend class TFIBTransaction;

    // Moves this link from the current holder to value (either may be null); false when value
    // already holds it.
    template <class Holder>
    bool moveLink(Holder*& current, Holder* value);

    TFIBDatabase* FDatabase = nullptr;
    TFIBTransaction* FTransaction = nullptr;
    QObject* FOwner;
};

// TFIBTransaction and the statement link TFIBBase: the transaction parameter block, starting
// and ending transactions, and the lists that tie statements to their connection and transaction.
#include "FIBDatabase.h"

#include "FIBShared.h"
#include "NamePath.h"
#include "fib.h"

using fibshared::setIdleTimer;
using fibshared::infoItemInteger;
using fibshared::takeSlot;
using fibshared::freeSlot;

namespace {

enum TTPBTreatment { tpbPlain, tpbValue, tpbUnsupported, tpbCode21 };
struct TTPBEntry {
    const char* name;
    int code;
    TTPBTreatment treatment;
};
const std::array<TTPBEntry, 22> kTPBNames = {{
    {"consistency", 1, tpbPlain},       {"concurrency", 2, tpbPlain},     {"shared", 3, tpbPlain},
    {"protected", 4, tpbPlain},         {"exclusive", 5, tpbPlain},       {"wait", 6, tpbPlain},
    {"nowait", 7, tpbPlain},            {"read", 8, tpbPlain},            {"write", 9, tpbPlain},
    {"lock_read", 10, tpbValue},        {"lock_write", 11, tpbValue},     {"verb_time", 12, tpbUnsupported},
    {"commit_time", 13, tpbUnsupported}, {"ignore_limbo", 14, tpbPlain},  {"read_committed", 15, tpbPlain},
    {"autocommit", 16, tpbUnsupported}, {"rec_version", 17, tpbPlain},    {"no_rec_version", 18, tpbPlain},
    {"restart_requests", 19, tpbUnsupported}, {"no_auto_undo", 20, tpbPlain}, {"no_savepoint", 21, tpbCode21},
    {"lock_timeout", 21, tpbCode21},
}};

const TTPBEntry* findTPBEntry(const QByteArray& name)
{
    for (const TTPBEntry& entry : kTPBNames)
        if (name.compare(entry.name, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

}  // namespace

QByteArray BuildTPB(TStringList& params, bool isFB21OrMore)
{
    if (params.Count() == 0)
        return {};
    QByteArray tpb(1, static_cast<char>(isc_tpb_version3));
    for (int i = 0; i < params.Count(); ++i) {
        TParamLine line;
        if (!ReadParamLine(params, i, "isc_tpb_", line))
            continue;
        const QByteArray& name = line.name;
        const QByteArray& value = line.value;
        const QString& valueText = line.valueText;
        const TTPBEntry* entry = findTPBEntry(name);
        if (!entry)
            RaiseClientError(ceTPBConstantUnknown, {QString::fromLocal8Bit(name)});
        switch (entry->treatment) {
        case tpbPlain:
            tpb.append(static_cast<char>(entry->code));
            break;
        case tpbValue:
            if (value.size() > 255)
                RaiseClientErrorText(
                    QStringLiteral("The value of TPB parameter isc_tpb_%s is too long (%d bytes; at most 255)."),
                    {entry->name, static_cast<int>(value.size())});
            tpb.append(static_cast<char>(entry->code));
            tpb.append(static_cast<char>(value.size()));
            tpb.append(value);
            break;
        case tpbUnsupported:
            RaiseClientError(ceTPBConstantNotSupported, {entry->name});
        case tpbCode21: {
            tpb.append(static_cast<char>(entry->code));
            if (isFB21OrMore) {
                bool ok = false;
                int timeout = valueText.toInt(&ok, 10);
                if (!ok)
                    timeout = 10;
                // Two bytes the server reads as a signed number: a larger value is refused, not wrapped.
                if (timeout < 0 || timeout > 32767)
                    RaiseClientErrorText(
                        QStringLiteral("The value of TPB parameter isc_tpb_%s is out of range (%s; 0 to 32767)."),
                        {entry->name, valueText});
                tpb.append('\x02');
                tpb.append(static_cast<char>(timeout & 0xFF));
                tpb.append(static_cast<char>((timeout >> 8) & 0xFF));
            }
            break;
        }
        }
    }
    return tpb;
}

// ================================================================ TFIBTransaction

TFIBTransaction::TFIBTransaction(QObject* owner) : QObject(owner), FTRParams(std::make_unique<TStringList>())
{
    FTRParams->OnChanging = [this] { CheckNotInTransaction(); };
    FTRParams->OnChange = [this] { FTRParamsChanged = true; };
}

TFIBTransaction::~TFIBTransaction()
{
    EndForDestruction();
    vOnDestroy.CallBackward(this);
    for (int i = static_cast<int>(FFIBBases.size()) - 1; i >= 0; --i) {
        TFIBBase* link = FFIBBases.value(i);
        if (!link)
            continue;
        if (link->OnTransactionFree)
            link->OnTransactionFree(link);
        if (link->FTransaction == this)
            link->FTransaction = nullptr;
    }
    FFIBBases.clear();
    while (!FDatabases.isEmpty())
        RemoveDatabase(static_cast<int>(FDatabases.size()) - 1);
}

IIBClientLibrary& TFIBTransaction::ClientLibrary() const
{
    TFIBDatabase* db = MainDatabase();
    if (!db || !db->ClientLibrary())
        RaiseClientError(ceDatabaseNotAssigned, {CmpFullName(this)});
    return *db->ClientLibrary();
}

ISC_STATUS TFIBTransaction::Call(ISC_STATUS ErrCode, bool RaiseError)
{
    FCanTimeout = false;
    for (TFIBDatabase* db : FDatabases)
        if (db)
            db->NoteActivity();
    if (RaiseError && ErrCode > 0)
        RaiseStatusError(ClientLibrary(), this);
    return ErrCode;
}

void TFIBTransaction::CheckNotInTransaction() const
{
    if (Active())
        RaiseClientError(ceInTransaction, {CmpFullName(this)});
}

void TFIBTransaction::CheckDatabasesInList() const
{
    if (FDatabases.isEmpty())
        RaiseClientError(ceNoDatabasesInTransaction, {CmpFullName(this)});
}

void TFIBTransaction::CheckInTransaction()
{
    if (FHandle)
        return;
    const bool allReconnect =
        std::all_of(FDatabases.begin(), FDatabases.end(), [](TFIBDatabase* db) { return db->AutoReconnect(); });
    if (allReconnect)
        StartTransaction();
    else
        RaiseClientError(ceNotInTransaction, {CmpFullName(this)});
}

TFIBDatabase* TFIBTransaction::MainDatabase() const
{
    if (FDefaultDatabase)
        return FDefaultDatabase;
    return FDatabases.value(0);
}

int TFIBTransaction::AddDatabase(TFIBDatabase* db)
{
    if (!db)
        return -1;
    const qsizetype existing = FDatabases.indexOf(db);
    if (existing >= 0)
        return static_cast<int>(existing);
    if (!FDatabases.isEmpty() && FDatabases.first()->LibraryName() != db->LibraryName())
        throw Exception(Format(QStringLiteral("%s.\r\nTransaction can't work with different client library."),
                               {CmpFullName(this)}));
    FDatabases.append(db);
    vTRParams.append(QString());
    db->AddTransaction(this);
    return static_cast<int>(FDatabases.size() - 1);
}

int TFIBTransaction::AddDatabase(TFIBDatabase* db, const QString& TRParams)
{
    const int index = AddDatabase(db);
    if (index >= 0) {
        vTRParams[index] = TRParams;
    }
    return index;
}

void TFIBTransaction::RemoveDatabase(int index)
{
    TFIBDatabase* db = FDatabases.value(index);
    if (!db)
        return;
    FDatabases.removeAt(index);
    vTRParams.removeAt(index);
    db->RemoveTransaction(this);
    if (FDefaultDatabase == db)
        FDefaultDatabase = nullptr;
}

void TFIBTransaction::ReplaceDatabase(TFIBDatabase* oldDb, TFIBDatabase* newDb)
{
    const int index = FindDatabase(oldDb);
    if (index >= 0)
        RemoveDatabase(index);
    AddDatabase(newDb);
}

void TFIBTransaction::setDefaultDatabase(TFIBDatabase* value)
{
    CheckNotInTransaction();
    if (value == FDefaultDatabase)
        return;
    TFIBDatabase* old = FDefaultDatabase;
    if (value)
        value->AddTransaction(this);
    const int oldIndex = old ? FindDatabase(old) : -1;
    if (oldIndex >= 0)
        RemoveDatabase(oldIndex);
    AddDatabase(value);
    FDefaultDatabase = value;
}

void TFIBTransaction::setHandle(isc_tr_handle value)
{
    if (FHandleIsShared) {
        EndTransaction(FTimeoutAction, true);
    } else {
        CheckNotInTransaction();
    }
    FHandle = value;
    FHandleIsShared = value != 0;
    FState = value ? tsActive : tsClosed;
}

void TFIBTransaction::setActive(bool value)
{
    if (value && !Active())
        StartTransaction();
    else if (!value && Active())
        Rollback();
}

uint TFIBTransaction::Timeout() const { return FTimer ? static_cast<uint>(FTimer->interval()) : 0; }

void TFIBTransaction::setTimeout(uint value)
{
    if (QTimer* timer = setIdleTimer(FTimer, value, this, [this] { IdleTimerTick(); }); timer && Active())
        timer->start();
}

void TFIBTransaction::IdleTimerTick()
{
    if (!Active())
        return;
    if (!FCanTimeout) {
        FCanTimeout = true;
        return;
    }
    EndTransaction(FTimeoutAction, true);
    if (OnTimeout)
        OnTimeout(this);
}

void TFIBTransaction::StartTransaction()
{
    CheckNotInTransaction();
    CheckDatabasesInList();
    for (TFIBDatabase* db : FDatabases) {
        db->CheckActive(true);
        if (!db->Connected())
            return;
    }
    TFIBDatabase* main = MainDatabase();
    if (FTRParamsChanged) {
        FTRParamsChanged = false;
        FTPB = BuildTPB(*FTRParams, main->IsFB21OrMore());
    }
    // A connection's own parameter lines give it its own TPB; the TEB points into these blocks.
    std::vector<QByteArray> ownTPBs(FDatabases.size());
    std::vector<TISCTEB> teb(FDatabases.size());
    for (qsizetype i = 0; i < FDatabases.size(); ++i) {
        const QByteArray* tpb = &FTPB;
        if (!vTRParams[i].isEmpty()) {
            TStringList lines;
            lines.setText(vTRParams[i]);
            ownTPBs[i] = BuildTPB(lines, FDatabases[i]->IsFB21OrMore());
            if (!ownTPBs[i].isEmpty())
                tpb = &ownTPBs[i];
        }
        teb[i] = {FDatabases[i]->HandlePtr(), static_cast<int>(tpb->size()), tpb->isEmpty() ? nullptr : tpb->constData()};
    }
    NotifyLinksForward(&TFIBBase::OnTransactionStarting);
    if (!FHandle) {
        vBeforeStartTransaction.CallBackward(this);
        const ISC_STATUS result = Call(
            ClientLibrary().isc_start_multiple(StatusVector(), &FHandle, static_cast<short>(teb.size()), teb.data()),
            false);
        if (result > 0) {
            FHandle = 0;
            RaiseStatusError(ClientLibrary(), this);
        }
        vAfterStartTransaction.CallBackward(this);
    }
    NotifyLinksForward(&TFIBBase::OnTransactionStarted);
    FState = tsActive;
    if (FTimer && FTimer->interval() > 0)
        FTimer->start();
}

void TFIBTransaction::EndTransaction(TTransactionAction Action, bool Force)
{
    CheckInTransaction();
    if ((Action == TARollback || Action == TACommit) && FHandleIsShared && FTimeoutAction != Action && !Force)
        RaiseClientError(ceCantEndSharedTransaction);
    static const std::array<TTransactionState, 4> kDoing = {tsDoRollback, tsDoRollbackRetaining, tsDoCommit,
                                                           tsDoCommitRetaining};
    FState = kDoing[Action];
    NotifyLinksBackward(&TFIBBase::OnTransactionEnding);
    vBeforeEndTransaction.CallForward(this, Action, Force);

    IIBClientLibrary& lib = ClientLibrary();
    switch (Action) {
    case TARollbackRetaining:
        Call(lib.isc_rollback_retaining(StatusVector(), &FHandle), true);
        break;
    case TACommitRetaining:
        Call(lib.isc_commit_retaining(StatusVector(), &FHandle), true);
        break;
    case TARollback:
    case TACommit:
        if (FHandleIsShared) {
            FHandle = 0;
            FHandleIsShared = false;
            break;
        }
        {
            const ISC_STATUS result =
                Call(Action == TACommit ? lib.isc_commit_transaction(StatusVector(), &FHandle)
                                        : lib.isc_rollback_transaction(StatusVector(), &FHandle),
                     false);
            if (result > 0) {
                if (!Force)
                    RaiseStatusError(lib, this);
                Call(lib.isc_rollback_transaction(StatusVector(), &FHandle), false);
            }
            if (Force)
                FHandle = 0;
        }
        break;
    }

    NotifyLinksBackward(&TFIBBase::OnTransactionEnded);
    vAfterEndTransaction.CallForward(this, Action, Force);
    FHasUncommitedUpdates = false;
    if (FHandle) {
        FState = tsActive;
    } else {
        FState = tsClosed;
        if (FTimer)
            FTimer->stop();
    }
    FTransactionID = 0;
}

void TFIBTransaction::OnDatabaseDisconnecting(TFIBDatabase* /*db*/)
{
    if (Active())
        EndTransaction(PlainTimeoutAction(), true);
}

TTransactionAction TFIBTransaction::PlainTimeoutAction() const
{
    return (FTimeoutAction == TACommit || FTimeoutAction == TACommitRetaining) ? TACommit : TARollback;
}

void TFIBTransaction::EndForDestruction() noexcept
{
    if (!Active())
        return;
    try {
        EndTransaction(PlainTimeoutAction(), true);
    } catch (...) {
    }
}

void TFIBTransaction::DoOnSQLExec(const TSQLExecNotice& Notice)
{
    if (!FWatchUpdates || FHasUncommitedUpdates || !Notice.Query || !Notice.AllRowsAffected)
        return;
    const bool counts = (Notice.Kind == 1 && !Notice.IsSelect) || (Notice.Kind == 2 && Notice.IsSelect);
    if (counts && Notice.AllRowsAffected() > 0)
        FHasUncommitedUpdates = true;
}

int TFIBTransaction::TransactionID()
{
    if (FTransactionID != 0 || !FHandle)
        return FTransactionID;
    const char items[] = {static_cast<char>(isc_info_tra_id)};
    char buffer[32] = {};
    Call(ClientLibrary().isc_transaction_info(StatusVector(), &FHandle, sizeof(items), items, sizeof(buffer), buffer),
         true);
    if (buffer[0] == static_cast<char>(isc_info_tra_id))
        FTransactionID = infoItemInteger(ClientLibrary(), buffer).value_or(0);
    return FTransactionID;
}

// Whether a line names the option, with or without its "isc_tpb_" prefix, in any case.
static bool namesOption(const QStringList& lines, const QString& option)
{
    for (const QString& line : lines)
        if (line.compare(option, Qt::CaseInsensitive) == 0
            || line.compare(QLatin1String("isc_tpb_") + option, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool TFIBTransaction::IsReadCommitedTransaction() const
{
    return namesOption(FTRParams->Lines(), QStringLiteral("read_committed"));
}

bool TFIBTransaction::IsReadOnly() const { return namesOption(FTRParams->Lines(), QStringLiteral("read")); }

void TFIBTransaction::ExecSQLImmediate(const QString& SQL)
{
    CheckInTransaction();
    TFIBDatabase* main = MainDatabase();
    const QByteArray text = main->IsUnicodeConnect() ? SQL.toUtf8() : SQL.toLocal8Bit();
    Call(ClientLibrary().isc_dsql_execute_immediate(StatusVector(), main->HandlePtr(), &FHandle, 0, text.constData(),
                                                    static_cast<unsigned short>(main->SQLDialect()), nullptr),
         true);
}

TCallbackList<TFIBTransaction*>* TFIBTransaction::notifyList(TTransactionEventType type)
{
    switch (type) {
    case tetBeforeStart: return &vBeforeStartTransaction;
    case tetAfterStart: return &vAfterStartTransaction;
    case tetOnDestroy: return &vOnDestroy;
    default: Q_ASSERT_X(false, "TFIBTransaction::notifyList", "not a notification list"); return nullptr;
    }
}

TCallbackList<TFIBTransaction*, TTransactionAction, bool>* TFIBTransaction::endList(TTransactionEventType type)
{
    switch (type) {
    case tetBeforeEnd: return &vBeforeEndTransaction;
    case tetAfterEnd: return &vAfterEndTransaction;
    default: Q_ASSERT_X(false, "TFIBTransaction::endList", "not a callback list"); return nullptr;
    }
}

// A listener added to or removed from the list its type names; nothing for a type of the other kind.
template <class List, class Callback>
static int addTo(List* list, Callback callback)
{
    return list ? list->Add(std::move(callback)) : 0;
}

template <class List>
static void removeFrom(List* list, int id)
{
    if (list)
        list->Remove(id);
}

int TFIBTransaction::AddEvent(TTransactionEventType type, TNotifyEvent event)
{
    return addTo(notifyList(type), std::move(event));
}

void TFIBTransaction::RemoveEvent(TTransactionEventType type, int id) { removeFrom(notifyList(type), id); }

int TFIBTransaction::AddEndEvent(TTransactionEventType type, TEndTrEvent event)
{
    return addTo(endList(type), std::move(event));
}

void TFIBTransaction::RemoveEndEvent(TTransactionEventType type, int id) { removeFrom(endList(type), id); }

int TFIBTransaction::AddFIBBase(TFIBBase* link) { return takeSlot(FFIBBases, link); }

void TFIBTransaction::RemoveFIBBase(TFIBBase* link) { freeSlot(FFIBBases, link); }

void TFIBTransaction::NotifyLinksForward(std::function<void(TFIBTransaction*)> TFIBBase::*event)
{
    for (int i = 0; i < FFIBBases.size(); ++i)
        if (TFIBBase* link = FFIBBases.at(i); link && link->*event)
            (link->*event)(this);
}

void TFIBTransaction::NotifyLinksBackward(std::function<void(TFIBTransaction*)> TFIBBase::*event)
{
    for (int i = static_cast<int>(FFIBBases.size()) - 1; i >= 0; --i)
        if (TFIBBase* link = FFIBBases.value(i); link && link->*event)
            (link->*event)(this);
}

// ================================================================ TFIBBase

TFIBBase::TFIBBase(QObject* owner) : FOwner(owner) {}

TFIBBase::~TFIBBase()
{
    if (FTransaction)
        FTransaction->RemoveFIBBase(this);
    if (FDatabase)
        FDatabase->RemoveFIBBase(this);
}

void TFIBBase::CheckDatabase()
{
    if (!FDatabase)
        RaiseClientError(ceDatabaseNotAssigned, {FOwner ? CmpFullName(FOwner) : QString()});
    FDatabase->CheckActive();
}

void TFIBBase::CheckTransaction()
{
    if (!FTransaction)
        RaiseClientError(ceTransactionNotAssigned, {FOwner ? CmpFullName(FOwner) : QString()});
    FTransaction->CheckInTransaction();
}

template <class Holder>
bool TFIBBase::moveLink(Holder*& current, Holder* value)
{
    if (value == current)
        return false;
    if (current)
        current->RemoveFIBBase(this);
    current = value;
    if (value)
        value->AddFIBBase(this);
    return true;
}

void TFIBBase::setDatabase(TFIBDatabase* value)
{
    if (!moveLink(FDatabase, value))
        return;
    if (value && !FTransaction && value->DefaultTransaction())
        setTransaction(value->DefaultTransaction());
}

void TFIBBase::setTransaction(TFIBTransaction* value)
{
    if (!moveLink(FTransaction, value))
        return;
    if (value && value->FindDatabase(FDatabase) < 0 && value->DatabaseCount() > 0)
        setDatabase(value->MainDatabase());
}

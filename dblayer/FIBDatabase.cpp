#include "FIBDatabase.h"

#include "FIBQuery.h"
#include "NamePath.h"
#include "Platform.h"
#include "fib.h"

#include <QDate>
#include <QDateTime>
#include <QTimer>

#include <array>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

TLoginDialogProc LoginDialogProc = nullptr;

namespace {

// Held from the start of an Open to the return of its attach call, login dialog included.
std::recursive_mutex& attachLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// Every connection component, closed at program end when still attached. Components are made
// and destroyed on any thread, so the list is used under its own lock.
std::mutex& allDatabasesLock()
{
    static std::mutex lock;
    return lock;
}

QList<TFIBDatabase*>& allDatabases()
{
    static QList<TFIBDatabase*> list;
    return list;
}

void closeAllDatabases()
{
    QList<TFIBDatabase*> remaining;
    {
        std::lock_guard guard(allDatabasesLock());
        remaining = allDatabases();
    }
    for (TFIBDatabase* db : remaining) {
        try {
            if (db->Connected())
                db->ForceClose();
        } catch (...) {
        }
    }
}

// Registered after the first binding exists, so it runs before the binding registry is destroyed.
void registerCloseAtExit()
{
    static const bool registered = [] { return std::atexit(closeAllDatabases) == 0; }();
    (void)registered;
}

// Lists with reusable slots: a removed entry leaves null, which the next entry takes.
template <class T>
int takeSlot(QList<T*>& list, T* item)
{
    const qsizetype empty = list.indexOf(nullptr);
    if (empty >= 0) {
        list[empty] = item;
        return static_cast<int>(empty);
    }
    list.append(item);
    return static_cast<int>(list.size() - 1);
}

template <class T>
void freeSlot(QList<T*>& list, const T* item)
{
    const qsizetype index = list.indexOf(item);
    if (index >= 0)
        list[index] = nullptr;
}

// Idle timers exist only for a non-zero timeout: 0 removes the timer, another value creates it
// (stopped) or changes its interval. Returns the timer, or null.
QTimer* setIdleTimer(std::unique_ptr<QTimer>& timer, uint value, QObject* context, std::function<void()> tick)
{
    if (value == 0) {
        timer.reset();
        return nullptr;
    }
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, context, std::move(tick));
    }
    timer->setInterval(static_cast<int>(value));
    return timer.get();
}

// A date-time as days since 30 December 1899, the time of day as the fraction.
double dateTimeToDays(const QDateTime& value)
{
    static const QDate epoch(1899, 12, 30);
    return static_cast<double>(epoch.daysTo(value.date())) + value.time().msecsSinceStartOfDay() / 86400000.0;
}

// The integer of an info answer's item: its 2-byte length at answer[1], the value after it.
// Values wider than 32 bits (attachment ids can be) are read as their low 32 bits; nullopt when
// the length is outside 1..8.
std::optional<int> infoItemInteger(IIBClientLibrary& lib, const char* answer)
{
    const short length = static_cast<short>(lib.isc_vax_integer(answer + 1, 2));
    if (length < 1 || length > 8)
        return std::nullopt;
    return static_cast<int>(lib.isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length));
}

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

void ParseServerVersion(const QByteArray& version, std::array<int*, 4> targets)
{
    constexpr int kLargest = std::numeric_limits<int>::max();
    size_t stored = 0;
    int run = 0;
    for (qsizetype i = 4; i + 1 < version.size() && stored < targets.size(); ++i) {
        const char c = version.at(i);
        if (c >= '0' && c <= '9') {
            const int digit = c - '0';
            run = run > (kLargest - digit) / 10 ? kLargest : run * 10 + digit;
        } else {
            *targets[stored++] = run;
            run = 0;
        }
    }
}

// ================================================================ TFIBDatabase

TFIBDatabase::TFIBDatabase(QObject* owner)
    : QObject(owner),
      FLibraryName(platform::primaryClientLibraryName()),
      FDBParams(std::make_unique<TDBParams>(this))
{
    FConnectParams = new TConnectParams(*FDBParams, this);
    FDBParams->OnChanging = [this] { CheckInactive(); };
    FDBParams->OnChange = [this] { FDBParamsChanged = true; };
    std::lock_guard guard(allDatabasesLock());
    allDatabases().append(this);
    vInternalTransaction = new TFIBTransaction(this);
    vInternalTransaction->setDefaultDatabase(this);
    vInternalTransaction->setTimeoutAction(TACommit);
    vInternalTransaction->setTimeout(1000);
    vInternalTransaction->setTRParams({QStringLiteral("write"), QStringLiteral("isc_tpb_nowait"),
                                       QStringLiteral("read_committed"), QStringLiteral("rec_version")});
}

void TFIBDatabase::Loaded()
{
    vInternalTransaction->setObjectName(objectName() + QStringLiteral("_InternalTransaction"));
}

TFIBDatabase::~TFIBDatabase()
{
    FDestroying = true;
    try {
        Close();
    } catch (...) {
    }
    if (FHandle) {
        try {
            ForceClose();
        } catch (...) {
        }
    }
    if (FHandle) {
        // A disconnect handler refused even the forced close: end the transactions and detach
        // anyway, so the destroyed component leaves no attachment behind.
        for (TFIBTransaction* tr : FTransactions)
            if (tr)
                tr->EndForDestruction();
        if (!FHandleIsShared)
            FClientLibrary->isc_detach_database(StatusVector(), &FHandle);
        FHandle = 0;
        FHandleIsShared = false;
    }
    if (vInternalTransaction->Active()) {
        try {
            vInternalTransaction->Commit();
        } catch (...) {
        }
    }
    delete vInternalTransaction;
    vInternalTransaction = nullptr;
    FDestroyEvents.CallBackward(this);
    for (int i = static_cast<int>(FFIBBases.size()) - 1; i >= 0; --i)
        if (TFIBBase* link = FFIBBases.value(i); link && link->OnDatabaseFree)
            link->OnDatabaseFree(link);
    for (TFIBBase* link : FFIBBases)
        if (link)
            link->FDatabase = nullptr;
    FFIBBases.clear();
    const QList<TFIBTransaction*> transactions = FTransactions;
    for (TFIBTransaction* tr : transactions)
        if (tr && tr->FindDatabase(this) >= 0)
            tr->RemoveDatabase(tr->FindDatabase(this));
    FTransactions.clear();
    std::lock_guard guard(allDatabasesLock());
    allDatabases().removeOne(this);
}

void TFIBDatabase::CheckInactive() const
{
    if (Connected())
        RaiseClientError(ceDatabaseOpen);
}

void TFIBDatabase::CheckActive(bool TryReconnect)
{
    if (Connected())
        return;
    // A reconnect that a BeforeConnect handler cancels leaves the connection closed quietly.
    if (TryReconnect && FAutoReconnect)
        Open(true);
    else
        RaiseClientError(ceDatabaseClosed, {CmpFullName(this)});
}

void TFIBDatabase::setLibraryName(const QString& value)
{
    CheckInactive();
    if (value == FLibraryName)
        return;
    FLibraryName = value;
    FClientLibrary.reset();
}

void TFIBDatabase::setDBName(const QString& value)
{
    const QByteArray encoded = value.toLocal8Bit();
    if (encoded != FDBName) {
        CheckInactive();
        FDBName = encoded;
    }
}

void TFIBDatabase::setSQLDialect(int value)
{
    if (value < 1 || (Connected() && value > FDBSQLDialect))
        RaiseClientError(ceSQLDialectInvalid);
    FSQLDialect = value;
}

uint TFIBDatabase::Timeout() const { return FTimer ? static_cast<uint>(FTimer->interval()) : 0; }

void TFIBDatabase::setTimeout(uint value)
{
    if (QTimer* timer = setIdleTimer(FTimer, value, this, [this] { IdleTimerTick(); }))
        timer->start();
}

void TFIBDatabase::IdleTimerTick()
{
    if (!Connected())
        return;
    bool keep = false;
    if (OnIdleConnect)
        OnIdleConnect(this, keep);
    if (keep)
        return;
    ForceClose();
    if (OnTimeout)
        OnTimeout(this);
}

void TFIBDatabase::NoteActivity()
{
    if (FTimer && FTimer->isActive())
        FTimer->start();
}

ISC_STATUS TFIBDatabase::Call(ISC_STATUS ErrCode, bool RaiseError)
{
    NoteActivity();
    if (RaiseError && ErrCode > 0)
        RaiseStatusError(*FClientLibrary, this);
    return ErrCode;
}

void TFIBDatabase::setHandle(isc_db_handle value)
{
    CheckInactive();
    FHandle = value;
    FHandleIsShared = value != 0;
}

void TFIBDatabase::setConnected(bool value)
{
    if (value)
        Open(true);
    else
        Close();
}

void TFIBDatabase::BindClientLibrary()
{
    if (!FClientLibrary) {
        const QString name = QString::fromLocal8Bit(FLibraryName.toLocal8Bit());
        FClientLibrary = ClientLibraryByName(name);
        registerCloseAtExit();
    }
    if (!FClientLibrary->LibraryLoaded())
        FClientLibrary->LoadIBLibrary();
}

bool TFIBDatabase::RunLoginPrompt()
{
    if (!LoginDialogProc)
        throw Exception(QStringLiteral("Unable to find Database login dialog. ") +
                        QStringLiteral("Please, add FIBDBLoginDlg into USES statement of your project."));
    static const std::array<const char*, 3> kNames = {"user_name", "password", "sql_role_name"};
    std::array<QString, 3> values = {FConnectParams->UserName(), FConnectParams->Password(), FConnectParams->RoleName()};
    const bool confirmed = LoginDialogProc(DBName(), values[0], values[1], values[2]);
    if (confirmed) {
        for (size_t i = 0; i < kNames.size(); ++i) {
            const QString name = QString::fromLatin1(kNames[i]);
            const QString line = name + QLatin1Char('=') + values[i];
            const int index = IndexOfDBConst(name);
            if (index >= 0)
                FDBParams->setString(index, line);
            else
                FDBParams->Add(line);
        }
    }
    return confirmed;
}

void TFIBDatabase::Open(bool RaiseExceptionOnConnectError)
{
    FServerMajorVersion = FServerMinorVersion = FServerRelease = FServerBuild = -1;
    ISC_STATUS result = 0;
    {
        std::lock_guard guard(attachLock());
        CheckInactive();
        if (FDBName.isEmpty())
            RaiseClientError(ceDatabaseNameMissing);
        BindClientLibrary();
        NotifyLinks(&TFIBBase::OnDatabaseConnecting);
        if (FUseLoginPrompt && !RunLoginPrompt())
            RaiseClientError(ceOperationCancelled);
        if (FDBParamsChanged) {
            FDBParamsChanged = false;
            FDPB = BuildDPB(*FDBParams, FConnectParams->IsFirebird());
        }
        result = Call(FClientLibrary->isc_attach_database(StatusVector(), static_cast<short>(FDBName.size()),
                                                          FDBName.constData(), &FHandle,
                                                          static_cast<short>(FDPB.size()), FDPB.constData()),
                      false);
    }
    if (result > 0) {
        FHandle = 0;
        if (RaiseExceptionOnConnectError)
            RaiseStatusError(*FClientLibrary, this);
        return;
    }
    vInternalTransaction->setTimeout(1000);
    FDifferenceTime = 0;
    vAttachmentID = DBInfoInteger(isc_info_attachment_id);
    FDBSQLDialect = DBInfoInteger(isc_info_db_sql_dialect, 1);
    if (FDBSQLDialect < FSQLDialect)
        FSQLDialect = FDBSQLDialect;
    if (FSynchronizeTime)
        FDifferenceTime = dateTimeToDays(QDateTime::currentDateTime()) - GetServerTime();
    ConnectedSetup();
    NotifyLinks(&TFIBBase::OnDatabaseConnected, true);
}

int TFIBDatabase::DBInfoInteger(char item, int defaultValue)
{
    const char items[] = {item, static_cast<char>(isc_info_end)};
    char buffer[64] = {};
    Call(FClientLibrary->isc_database_info(StatusVector(), &FHandle, sizeof(items), items, sizeof(buffer), buffer),
         true);
    if (buffer[0] != item)
        return defaultValue;
    return infoItemInteger(*FClientLibrary, buffer).value_or(defaultValue);
}

QByteArray TFIBDatabase::DBInfoString(char item, int bufferSize)
{
    const char items[] = {item, static_cast<char>(isc_info_end)};
    QByteArray buffer(bufferSize, '\0');
    Call(FClientLibrary->isc_database_info(StatusVector(), &FHandle, sizeof(items), items,
                                           static_cast<short>(bufferSize), buffer.data()),
         true);
    // item, 2-byte length, string count, then each string with a one-byte length
    if (buffer.at(0) != item || bufferSize < 5)
        return {};
    const int length = static_cast<unsigned char>(buffer.at(4));
    return buffer.mid(5, qMin(length, bufferSize - 5));
}

void TFIBDatabase::ConnectedSetup()
{
    const QByteArray firebirdVersion = DBInfoString(static_cast<char>(isc_info_firebird_version), 512);
    FIsFireBirdConnect = !firebirdVersion.isEmpty();
    if (FServerMajorVersion == -1) {
        const QByteArray version =
            FIsFireBirdConnect ? firebirdVersion : DBInfoString(static_cast<char>(isc_info_version), 1024);
        ParseServerVersion(version, {&FServerMajorVersion, &FServerMinorVersion, &FServerRelease, &FServerBuild});
    }
    FIsIB2007Connect = !FIsFireBirdConnect && FServerMajorVersion >= 8;
    if (FIsFireBirdConnect && FServerMajorVersion >= 2) {
        const int charSet = DBInfoInteger(static_cast<char>(frb_info_att_charset), -1);
        FIsUnicodeConnect = charSet == 3 || charSet == 4;
        FIsNoneConnect = charSet == 0;
        FNeedUnicodeFieldsTranslation = FIsUnicodeConnect || FIsNoneConnect;
        FIsFB21OrMore = FServerMajorVersion > 2 || (FServerMajorVersion == 2 && FServerMinorVersion >= 1);
        const int odsMajor = DBInfoInteger(isc_info_ods_version, 0);
        const int odsMinor = DBInfoInteger(isc_info_ods_minor_version, 0);
        FNeedUTFDecodeDDL = FNeedUnicodeFieldsTranslation && FIsFB21OrMore &&
                            (odsMajor > 11 || (odsMajor == 11 && odsMinor > 0));
    } else {
        const QString charSet = FConnectParams->CharSet().toUpper();
        FIsUnicodeConnect = charSet == QLatin1String("UNICODE_FSS") || charSet == QLatin1String("UTF8");
        FIsNoneConnect = charSet.isEmpty() || charSet == QLatin1String("NONE");
        FNeedUnicodeFieldsTranslation = FIsUnicodeConnect || FIsNoneConnect;
        FIsFB21OrMore = false;
        FNeedUTFDecodeDDL = false;
    }
    if (OnConnect)
        OnConnect(this);
    if (Connected())
        FConnectEvents.CallForward(this);
}

void TFIBDatabase::Close()
{
    if (Connected())
        EndAttachment(false);
    vAttachmentID = -1;
    vInternalTransaction->setTimeout(0);
}

double TFIBDatabase::GetServerTime()
{
    TFIBQuery query;
    query.setDatabase(this);
    query.setTransaction(vInternalTransaction);
    query.setSQL({FSQLDialect >= 2 ? QStringLiteral("SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE")
                                   : QStringLiteral("SELECT CAST('NOW' AS DATE) from RDB$DATABASE")});
    try {
        if (!vInternalTransaction->Active())
            vInternalTransaction->StartTransaction();
        query.ExecQuery();
        const double serverTime = dateTimeToDays(query.GetFields(0)->AsDateTime());
        query.Close();
        vInternalTransaction->Commit();
        return serverTime;
    } catch (...) {
        if (vInternalTransaction->Active()) {
            try {
                vInternalTransaction->Rollback();
            } catch (...) {
                // The statement's error is the one to report.
            }
        }
        throw;
    }
}

void TFIBDatabase::CallDisconnectEvent(const TNotifyEvent& event, const char* eventName)
{
    if (!event)
        return;
    try {
        event(this);
    } catch (const std::exception& e) {
        const QString message = dynamic_cast<const Exception*>(&e) ? static_cast<const Exception&>(e).Message()
                                                                    : QString::fromUtf8(e.what());
        const QString format = FDestroying
            ? QStringLiteral("Error of %s.%s. Probably you are trying to get access to destroyed components. %s")
            : QStringLiteral("Error of %s.%s. %s");
        throw Exception(Format(format, {CmpFullName(this), eventName, message}));
    }
}

void TFIBDatabase::EndAttachment(bool Force)
{
    if (!Connected())
        RaiseClientError(ceDatabaseClosed, {CmpFullName(this)});
    CallDisconnectEvent(BeforeDisconnect, "BeforeDisconnect");
    FBeforeDisconnectEvents.CallForward(this);
    for (int i = 0; i < FTransactions.size(); ++i) {
        TFIBTransaction* tr = FTransactions.at(i);
        if (!tr)
            continue;
        try {
            tr->OnDatabaseDisconnecting(this);
        } catch (...) {
            if (!Force)
                throw;
        }
    }
    for (int i = 0; i < FFIBBases.size(); ++i) {
        TFIBBase* link = FFIBBases.at(i);
        if (!link || !link->OnDatabaseDisconnecting)
            continue;
        try {
            link->OnDatabaseDisconnecting(link);
        } catch (...) {
            if (!Force)
                throw;
        }
    }
    if (!FHandleIsShared) {
        try {
            Call(FClientLibrary->isc_detach_database(StatusVector(), &FHandle), !Force);
        } catch (...) {
            // A failed detach (a lost network, say) still leaves the component disconnected.
        }
    }
    FHandle = 0;
    FHandleIsShared = false;
    NotifyLinks(&TFIBBase::OnDatabaseDisconnected);
    CallDisconnectEvent(AfterDisconnect, "AfterDisconnect");
}

bool TFIBDatabase::TestConnected()
{
    if (!Connected())
        return false;
    try {
        DBInfoInteger(isc_info_base_level);
        return true;
    } catch (...) {
        try {
            ForceClose();
        } catch (...) {
        }
        return false;
    }
}

void TFIBDatabase::setDefaultTransaction(TFIBTransaction* value)
{
    if (value && value != FDefaultTransaction) {
        value->AddDatabase(this);
        AddTransaction(value);
        if (!value->DefaultDatabase())
            value->FDefaultDatabase = this;
    }
    FDefaultTransaction = value;
}

void TFIBDatabase::AddTransaction(TFIBTransaction* transaction)
{
    if (!FTransactions.contains(transaction))
        takeSlot(FTransactions, transaction);
}

void TFIBDatabase::RemoveTransaction(TFIBTransaction* transaction)
{
    freeSlot(FTransactions, transaction);
    if (FDefaultTransaction == transaction)
        FDefaultTransaction = nullptr;
}

int TFIBDatabase::AddFIBBase(TFIBBase* link) { return takeSlot(FFIBBases, link); }

void TFIBDatabase::RemoveFIBBase(TFIBBase* link) { freeSlot(FFIBBases, link); }

void TFIBDatabase::NotifyLinks(std::function<void(TFIBBase*)> TFIBBase::*event, bool stopWhenDetached)
{
    for (int i = 0; i < FFIBBases.size(); ++i) {
        if (stopWhenDetached && !Connected())
            return;
        TFIBBase* link = FFIBBases.at(i);
        if (link && link->*event)
            (link->*event)(link);
    }
}

int TFIBDatabase::AddEvent(TDatabaseEventType type, TNotifyEvent event)
{
    switch (type) {
    case detOnConnect: return FConnectEvents.Add(std::move(event));
    case detBeforeDisconnect: return FBeforeDisconnectEvents.Add(std::move(event));
    case detOnDestroy: return FDestroyEvents.Add(std::move(event));
    }
    return 0;
}

void TFIBDatabase::RemoveEvent(TDatabaseEventType type, int id)
{
    switch (type) {
    case detOnConnect: FConnectEvents.Remove(id); break;
    case detBeforeDisconnect: FBeforeDisconnectEvents.Remove(id); break;
    case detOnDestroy: FDestroyEvents.Remove(id); break;
    }
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

bool TFIBTransaction::IsReadCommitedTransaction() const
{
    for (const QString& line : FTRParams->Lines())
        if (line.compare(QLatin1String("read_committed"), Qt::CaseInsensitive) == 0 ||
            line.compare(QLatin1String("isc_tpb_read_committed"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool TFIBTransaction::IsReadOnly() const
{
    for (const QString& line : FTRParams->Lines())
        if (line.compare(QLatin1String("read"), Qt::CaseInsensitive) == 0 ||
            line.compare(QLatin1String("isc_tpb_read"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void TFIBTransaction::ExecSQLImmediate(const QString& SQL)
{
    CheckInTransaction();
    TFIBDatabase* main = MainDatabase();
    const QByteArray text = main->IsUnicodeConnect() ? SQL.toUtf8() : SQL.toLocal8Bit();
    Call(ClientLibrary().isc_dsql_execute_immediate(StatusVector(), main->HandlePtr(), &FHandle, 0, text.constData(),
                                                    static_cast<unsigned short>(main->SQLDialect()), nullptr),
         true);
}

int TFIBTransaction::AddEvent(TTransactionEventType type, TNotifyEvent event)
{
    switch (type) {
    case tetBeforeStart: return vBeforeStartTransaction.Add(std::move(event));
    case tetAfterStart: return vAfterStartTransaction.Add(std::move(event));
    case tetOnDestroy: return vOnDestroy.Add(std::move(event));
    default: Q_ASSERT_X(false, "TFIBTransaction::AddEvent", "not a notification list"); return 0;
    }
}

void TFIBTransaction::RemoveEvent(TTransactionEventType type, int id)
{
    switch (type) {
    case tetBeforeStart: vBeforeStartTransaction.Remove(id); break;
    case tetAfterStart: vAfterStartTransaction.Remove(id); break;
    case tetOnDestroy: vOnDestroy.Remove(id); break;
    default: Q_ASSERT_X(false, "TFIBTransaction::RemoveEvent", "not a notification list");
    }
}

int TFIBTransaction::AddEndEvent(TTransactionEventType type, TEndTrEvent event)
{
    switch (type) {
    case tetBeforeEnd: return vBeforeEndTransaction.Add(std::move(event));
    case tetAfterEnd: return vAfterEndTransaction.Add(std::move(event));
    default: Q_ASSERT_X(false, "TFIBTransaction::AddEndEvent", "not a callback list"); return 0;
    }
}

void TFIBTransaction::RemoveEndEvent(TTransactionEventType type, int id)
{
    switch (type) {
    case tetBeforeEnd: vBeforeEndTransaction.Remove(id); break;
    case tetAfterEnd: vAfterEndTransaction.Remove(id); break;
    default: Q_ASSERT_X(false, "TFIBTransaction::RemoveEndEvent", "not a callback list");
    }
}

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

void TFIBBase::setDatabase(TFIBDatabase* value)
{
    if (value == FDatabase)
        return;
    if (FDatabase)
        FDatabase->RemoveFIBBase(this);
    FDatabase = value;
    if (value)
        value->AddFIBBase(this);
    if (value && !FTransaction && value->DefaultTransaction())
        setTransaction(value->DefaultTransaction());
}

void TFIBBase::setTransaction(TFIBTransaction* value)
{
    if (value == FTransaction)
        return;
    if (FTransaction)
        FTransaction->RemoveFIBBase(this);
    FTransaction = value;
    if (value)
        value->AddFIBBase(this);
    if (value && value->FindDatabase(FDatabase) < 0 && value->DatabaseCount() > 0)
        setDatabase(value->MainDatabase());
}

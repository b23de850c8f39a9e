// TFIBDatabase: one connection to a database: attach and detach, the login prompt, the
// connection's information and its internal transaction.
#include "FIBDatabase.h"

#include "FIBQuery.h"
#include "FIBShared.h"
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

using fibshared::setIdleTimer;
using fibshared::infoItemInteger;
using fibshared::takeSlot;
using fibshared::freeSlot;

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

// A date-time as days since 30 December 1899, the time of day as the fraction.
double dateTimeToDays(const QDateTime& value)
{
    static const QDate epoch(1899, 12, 30);
    return static_cast<double>(epoch.daysTo(value.date())) + value.time().msecsSinceStartOfDay() / 86400000.0;
}

}  // namespace

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
    // A callback that closes the connection ends the notification.
    FConnectEvents.CallForwardWhile([this] { return Connected(); }, this);
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

// Runs step; when drop is set an error it raises is dropped, so that a forced end goes on.
template <class Step>
static void runDroppingErrorsIf(bool drop, Step step)
{
    try {
        step();
    } catch (...) {
        if (!drop)
            throw;
    }
}

void TFIBDatabase::EndAttachment(bool Force)
{
    if (!Connected())
        RaiseClientError(ceDatabaseClosed, {CmpFullName(this)});
    CallDisconnectEvent(BeforeDisconnect, "BeforeDisconnect");
    FBeforeDisconnectEvents.CallForward(this);
    for (int i = 0; i < FTransactions.size(); ++i)
        if (TFIBTransaction* tr = FTransactions.at(i))
            runDroppingErrorsIf(Force, [&] { tr->OnDatabaseDisconnecting(this); });
    for (int i = 0; i < FFIBBases.size(); ++i)
        if (TFIBBase* link = FFIBBases.at(i); link && link->OnDatabaseDisconnecting)
            runDroppingErrorsIf(Force, [&] { link->OnDatabaseDisconnecting(link); });
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

#include "IB_Intf.h"

#include "fib.h"

#include <cstdarg>
#include <mutex>
#include <vector>

// ---------------------------------------------------------------- registry

namespace {

struct TClientLibraryRegistry {
    std::recursive_mutex lock;
    std::vector<std::shared_ptr<IIBClientLibrary>> libraries;
};

TClientLibraryRegistry& registry()
{
    static TClientLibraryRegistry instance;
    return instance;
}

}  // namespace

std::shared_ptr<IIBClientLibrary> ClientLibraryByName(const QString& name)
{
    TClientLibraryRegistry& reg = registry();
    std::lock_guard guard(reg.lock);
    for (const std::shared_ptr<IIBClientLibrary>& library : reg.libraries) {
        if (library->ClientLibraryName() != name)
            continue;
        if (!library->LibraryLoaded())
            library->LoadIBLibrary();
        return library;
    }
    auto library = std::make_shared<TIBClientLibrary>(name);
    reg.libraries.push_back(library);
    return library;
}

// ---------------------------------------------------------------- loading

TIBClientLibrary::TIBClientLibrary(const QString& aLibName) : FLibraryName(aLibName) { LoadIBLibrary(); }

TIBClientLibrary::~TIBClientLibrary() { FreeIBLibrary(); }

void TIBClientLibrary::FreeIBLibrary()
{
    if (!FLibraryHandle)
        return;
    platform::unloadLibrary(FLibraryHandle);
    FLibraryHandle = nullptr;
}

void TIBClientLibrary::raiseLoaderError() const
{
    const platform::LoaderError error = platform::lastLoaderError();
    throw EOSError(error.code, Format(QStringLiteral("System Error.  Code: %d.\r\n%s%s"), {error.code, error.text, ""}));
}

template <class F>
void TIBClientLibrary::bind(F& entryPoint, const char* name, TEntryPointRule rule)
{
    entryPoint = reinterpret_cast<F>(platform::findSymbol(FLibraryHandle, name));
    if (!entryPoint && rule == epRequired)
        raiseLoaderError();
}

void TIBClientLibrary::LoadIBLibrary()
{
    FreeIBLibrary();
    FLibraryHandle = platform::loadLibrary(FLibraryName);
    if (!FLibraryHandle)
        raiseLoaderError();
    try {
        bindAlways();
        if (Fisc_rollback_retaining) {
            FIBClientVersion = 6;
            bindVersion6();
        } else {
            FIBClientVersion = 5;
        }
        FIBClientMinorVersion = 0;
        if (Fisc_get_client_version)
            bindClientVersion();
    } catch (...) {
        // A half-bound library must not stay loaded: its required entry points may be null.
        FreeIBLibrary();
        throw;
    }
    leaveTerminationSignalsToTheProgram();
    platform::restoreFloatingPointEnvironment();
}

namespace {

// The shutdown hook's answers: 0 lets the shutdown go on, anything else declines it.
constexpr int kShutdownAccepted = 0;
constexpr int kShutdownDeclined = 1;

int declineShutdownOnSignal(const int reason, const int, void*)
{
    return reason == fb_shutrsn_signal ? kShutdownDeclined : kShutdownAccepted;
}

}  // namespace

// At its first attach the client library takes SIGINT and SIGTERM: its handler shuts its engine
// down and the process goes on with dead connections. Its shutdown hook declines that shutdown,
// and the platform module makes both signals end the process as their default action does,
// through the handler chain the library keeps.
void TIBClientLibrary::leaveTerminationSignalsToTheProgram()
{
    bind(Ffb_shutdown_callback, "fb_shutdown_callback", epOptional);
    if (Ffb_shutdown_callback) {
        ISC_STATUS_ARRAY status{};
        Ffb_shutdown_callback(status, declineShutdownOnSignal, fb_shut_confirmation, nullptr);
    }
    platform::keepDefaultTerminationSignals();
}

void TIBClientLibrary::bindAlways()
{
    bind(FBLOB_get, "BLOB_get", epRequired);
    bind(FBLOB_put, "BLOB_put", epRequired);
    bind(Fisc_sqlcode, "isc_sqlcode", epRequired);
    bind(Fisc_sql_interprete, "isc_sql_interprete", epRequired);
    bind(Fisc_interprete, "isc_interprete", epRequired);
    bind(Ffb_interpret, "fb_interpret", epOptional);
    bind(Fisc_vax_integer, "isc_vax_integer", epRequired);
    bind(Fisc_blob_info, "isc_blob_info", epRequired);
    bind(Fisc_open_blob2, "isc_open_blob2", epRequired);
    bind(Fisc_close_blob, "isc_close_blob", epRequired);
    bind(Fisc_get_segment, "isc_get_segment", epRequired);
    bind(Fisc_put_segment, "isc_put_segment", epRequired);
    bind(Fisc_create_blob2, "isc_create_blob2", epRequired);
    bind(Fisc_decode_date, "isc_decode_date", epRequired);
    bind(Fisc_encode_date, "isc_encode_date", epRequired);
    bind(Fisc_dsql_free_statement, "isc_dsql_free_statement", epRequired);
    bind(Fisc_dsql_execute2, "isc_dsql_execute2", epRequired);
    bind(Fisc_dsql_execute, "isc_dsql_execute", epRequired);
    bind(Fisc_dsql_set_cursor_name, "isc_dsql_set_cursor_name", epRequired);
    bind(Fisc_dsql_fetch, "isc_dsql_fetch", epRequired);
    bind(Fisc_dsql_sql_info, "isc_dsql_sql_info", epRequired);
    bind(Fisc_dsql_alloc_statement2, "isc_dsql_alloc_statement2", epRequired);
    bind(Fisc_dsql_prepare, "isc_dsql_prepare", epRequired);
    bind(Fisc_dsql_describe_bind, "isc_dsql_describe_bind", epRequired);
    bind(Fisc_dsql_describe, "isc_dsql_describe", epRequired);
    bind(Fisc_dsql_execute_immediate, "isc_dsql_execute_immediate", epRequired);
    bind(Fisc_dsql_exec_immed2, "isc_dsql_exec_immed2", epRequired);
    bind(Fisc_drop_database, "isc_drop_database", epRequired);
    bind(Fisc_detach_database, "isc_detach_database", epRequired);
    bind(Fisc_attach_database, "isc_attach_database", epRequired);
    bind(Fisc_database_info, "isc_database_info", epRequired);
    bind(Fisc_start_multiple, "isc_start_multiple", epRequired);
    bind(Fisc_commit_transaction, "isc_commit_transaction", epRequired);
    bind(Fisc_commit_retaining, "isc_commit_retaining", epRequired);
    bind(Fisc_rollback_transaction, "isc_rollback_transaction", epRequired);
    bind(Fisc_cancel_events, "isc_cancel_events", epRequired);
    bind(Fisc_que_events, "isc_que_events", epRequired);
    bind(Fisc_event_counts, "isc_event_counts", epRequired);
    bind(Fisc_event_block, "isc_event_block", epRequired);
    bind(Fisc_free, "isc_free", epRequired);
    bind(Fisc_array_lookup_bounds, "isc_array_lookup_bounds", epRequired);
    bind(Fisc_array_get_slice, "isc_array_get_slice", epRequired);
    bind(Fisc_array_put_slice, "isc_array_put_slice", epRequired);
    bind(Fisc_wait_for_event, "isc_wait_for_event", epRequired);
    bind(Fisc_transaction_info, "isc_transaction_info", epRequired);
    bind(Fisc_prepare_transaction, "isc_prepare_transaction", epRequired);
    bind(Fisc_prepare_transaction2, "isc_prepare_transaction2", epRequired);
    bind(Fisc_rollback_retaining, "isc_rollback_retaining", epOptional);
    bind(Fisc_get_client_version, "isc_get_client_version", epOptional);
}

void TIBClientLibrary::bindVersion6()
{
    bind(Fisc_service_attach, "isc_service_attach", epRequired);
    bind(Fisc_service_detach, "isc_service_detach", epRequired);
    bind(Fisc_service_query, "isc_service_query", epRequired);
    bind(Fisc_service_start, "isc_service_start", epRequired);
    bind(Fisc_decode_sql_date, "isc_decode_sql_date", epRequired);
    bind(Fisc_decode_sql_time, "isc_decode_sql_time", epRequired);
    bind(Fisc_decode_timestamp, "isc_decode_timestamp", epRequired);
    bind(Fisc_encode_sql_date, "isc_encode_sql_date", epRequired);
    bind(Fisc_encode_sql_time, "isc_encode_sql_time", epRequired);
    bind(Fisc_encode_timestamp, "isc_encode_timestamp", epRequired);
    bind(Fisc_portable_integer, "isc_portable_integer", epRequired);
}

void TIBClientLibrary::bindClientVersion()
{
    bind(Fisc_get_client_major_version, "isc_get_client_major_version", epRequired);
    bind(Fisc_get_client_minor_version, "isc_get_client_minor_version", epRequired);
    FIBClientVersion = Fisc_get_client_major_version();
    FIBClientMinorVersion = Fisc_get_client_minor_version();
    bind(Fisc_dsql_batch_execute_immed, "isc_dsql_batch_execute_immed", epOptional);
    bind(Fisc_dsql_batch_execute, "isc_dsql_batch_execute", epOptional);
    bind(Ffb_cancel_operation, "fb_cancel_operation", epOptional);
    bind(Ffb_get_master_interface, "fb_get_master_interface", epOptional);
    bind(Fisc_blob_lookup_desc, "isc_blob_lookup_desc", epOptional);
    bind(Fisc_blob_set_desc, "isc_blob_set_desc", epOptional);
    bind(Fisc_cancel_blob, "isc_cancel_blob", epOptional);
    bind(Fisc_array_lookup_desc, "isc_array_lookup_desc", epOptional);
    bind(Fisc_array_set_desc, "isc_array_set_desc", epOptional);
    bind(Fisc_add_user, "isc_add_user", epOptional);
    bind(Fisc_delete_user, "isc_delete_user", epOptional);
    bind(Fisc_modify_user, "isc_modify_user", epOptional);
}

// ---------------------------------------------------------------- calling

template <class F>
F TIBClientLibrary::bound(F entryPoint, const char* name) const
{
    if (!entryPoint)
        throw Exception(Format(QStringLiteral("Can't find procedure %s in %s"), {name, FLibraryName}));
    return entryPoint;
}

namespace {

// Marks the binding busy for the lifetime of one client call, also when the call raises.
// One client call: the busy flag is set while it runs, and afterwards the program's default
// floating-point control state is restored (the client library may change it), for every call
// the binding makes, whether a component's Call wrapper checks its result or not.
class TCallScope {
public:
    explicit TCallScope(std::atomic<unsigned char>& flag) : FFlag(flag) { FFlag.store(1, std::memory_order_relaxed); }
    ~TCallScope()
    {
        platform::restoreFloatingPointEnvironment();
        FFlag.store(0, std::memory_order_relaxed);
    }
    TCallScope(const TCallScope&) = delete;
    TCallScope& operator=(const TCallScope&) = delete;

private:
    std::atomic<unsigned char>& FFlag;
};

}  // namespace

template <class F, class... A>
auto TIBClientLibrary::callBusy(F entryPoint, A... args)
{
    TCallScope call(FBusy);
    return entryPoint(args...);
}

ISC_STATUS TIBClientLibrary::isc_attach_database(ISC_STATUS* a1, short a2, const ISC_SCHAR* a3, isc_db_handle* a4, short a5, const ISC_SCHAR* a6)
{
    return callBusy(Fisc_attach_database, a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_array_get_slice(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, ISC_QUAD* a4, const ISC_ARRAY_DESC* a5, void* a6, ISC_LONG* a7)
{
    return callBusy(Fisc_array_get_slice, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_array_lookup_bounds(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, const ISC_SCHAR* a4, const ISC_SCHAR* a5, ISC_ARRAY_DESC* a6)
{
    return callBusy(Fisc_array_lookup_bounds, a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_array_lookup_desc(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, const ISC_SCHAR* a4, const ISC_SCHAR* a5, ISC_ARRAY_DESC* a6)
{
    return callBusy(bound(Fisc_array_lookup_desc, "isc_array_lookup_desc"), a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_array_set_desc(ISC_STATUS* a1, const ISC_SCHAR* a2, const ISC_SCHAR* a3, const short* a4, const short* a5, const short* a6, ISC_ARRAY_DESC* a7)
{
    return callBusy(bound(Fisc_array_set_desc, "isc_array_set_desc"), a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_array_put_slice(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, ISC_QUAD* a4, const ISC_ARRAY_DESC* a5, void* a6, ISC_LONG* a7)
{
    return callBusy(Fisc_array_put_slice, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_blob_info(ISC_STATUS* a1, isc_blob_handle* a2, short a3, const ISC_SCHAR* a4, short a5, ISC_SCHAR* a6)
{
    return callBusy(Fisc_blob_info, a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_blob_lookup_desc(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, const ISC_UCHAR* a4, const ISC_UCHAR* a5, ISC_BLOB_DESC* a6, ISC_UCHAR* a7)
{
    return callBusy(bound(Fisc_blob_lookup_desc, "isc_blob_lookup_desc"), a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_blob_set_desc(ISC_STATUS* a1, const ISC_UCHAR* a2, const ISC_UCHAR* a3, short a4, short a5, short a6, ISC_BLOB_DESC* a7)
{
    return callBusy(bound(Fisc_blob_set_desc, "isc_blob_set_desc"), a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_cancel_blob(ISC_STATUS* a1, isc_blob_handle* a2)
{
    return callBusy(bound(Fisc_cancel_blob, "isc_cancel_blob"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_cancel_events(ISC_STATUS* a1, isc_db_handle* a2, ISC_LONG* a3)
{
    return callBusy(Fisc_cancel_events, a1, a2, a3);
}

ISC_STATUS TIBClientLibrary::isc_que_events(ISC_STATUS* a1, isc_db_handle* a2, ISC_LONG* a3, short a4, const ISC_UCHAR* a5, ISC_EVENT_CALLBACK a6, void* a7)
{
    return callBusy(Fisc_que_events, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_wait_for_event(ISC_STATUS* a1, isc_db_handle* a2, short a3, const ISC_UCHAR* a4, ISC_UCHAR* a5)
{
    return callBusy(Fisc_wait_for_event, a1, a2, a3, a4, a5);
}

ISC_STATUS TIBClientLibrary::isc_close_blob(ISC_STATUS* a1, isc_blob_handle* a2)
{
    return callBusy(Fisc_close_blob, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_create_blob2(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, isc_blob_handle* a4, ISC_QUAD* a5, short a6, const ISC_SCHAR* a7)
{
    return callBusy(Fisc_create_blob2, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_commit_retaining(ISC_STATUS* a1, isc_tr_handle* a2)
{
    return callBusy(Fisc_commit_retaining, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_commit_transaction(ISC_STATUS* a1, isc_tr_handle* a2)
{
    return callBusy(Fisc_commit_transaction, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_transaction_info(ISC_STATUS* a1, isc_tr_handle* a2, short a3, const ISC_SCHAR* a4, short a5, ISC_SCHAR* a6)
{
    return callBusy(Fisc_transaction_info, a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_database_info(ISC_STATUS* a1, isc_db_handle* a2, short a3, const ISC_SCHAR* a4, short a5, ISC_SCHAR* a6)
{
    return callBusy(Fisc_database_info, a1, a2, a3, a4, a5, a6);
}

void TIBClientLibrary::isc_decode_date(const ISC_QUAD* a1, void* a2)
{
    callBusy(Fisc_decode_date, a1, a2);
}

void TIBClientLibrary::isc_decode_sql_date(const ISC_DATE* a1, void* a2)
{
    callBusy(bound(Fisc_decode_sql_date, "isc_decode_sql_date"), a1, a2);
}

void TIBClientLibrary::isc_decode_sql_time(const ISC_TIME* a1, void* a2)
{
    callBusy(bound(Fisc_decode_sql_time, "isc_decode_sql_time"), a1, a2);
}

void TIBClientLibrary::isc_decode_timestamp(const ISC_TIMESTAMP* a1, void* a2)
{
    callBusy(bound(Fisc_decode_timestamp, "isc_decode_timestamp"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_detach_database(ISC_STATUS* a1, isc_db_handle* a2)
{
    return callBusy(Fisc_detach_database, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_drop_database(ISC_STATUS* a1, isc_db_handle* a2)
{
    return callBusy(Fisc_drop_database, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_dsql_alloc_statement2(ISC_STATUS* a1, isc_db_handle* a2, isc_stmt_handle* a3)
{
    return callBusy(Fisc_dsql_alloc_statement2, a1, a2, a3);
}

ISC_STATUS TIBClientLibrary::isc_dsql_describe(ISC_STATUS* a1, isc_stmt_handle* a2, unsigned short a3, XSQLDA* a4)
{
    return callBusy(Fisc_dsql_describe, a1, a2, a3, a4);
}

ISC_STATUS TIBClientLibrary::isc_dsql_describe_bind(ISC_STATUS* a1, isc_stmt_handle* a2, unsigned short a3, XSQLDA* a4)
{
    return callBusy(Fisc_dsql_describe_bind, a1, a2, a3, a4);
}

ISC_STATUS TIBClientLibrary::isc_dsql_execute(ISC_STATUS* a1, isc_tr_handle* a2, isc_stmt_handle* a3, unsigned short a4, const XSQLDA* a5)
{
    return callBusy(Fisc_dsql_execute, a1, a2, a3, a4, a5);
}

ISC_STATUS TIBClientLibrary::isc_dsql_execute2(ISC_STATUS* a1, isc_tr_handle* a2, isc_stmt_handle* a3, unsigned short a4, const XSQLDA* a5, const XSQLDA* a6)
{
    return callBusy(Fisc_dsql_execute2, a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_dsql_execute_immediate(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, unsigned short a4, const ISC_SCHAR* a5, unsigned short a6, const XSQLDA* a7)
{
    return callBusy(Fisc_dsql_execute_immediate, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_dsql_exec_immed2(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, unsigned short a4, const ISC_SCHAR* a5, unsigned short a6, const XSQLDA* a7, const XSQLDA* a8)
{
    return callBusy(Fisc_dsql_exec_immed2, a1, a2, a3, a4, a5, a6, a7, a8);
}

ISC_STATUS TIBClientLibrary::isc_dsql_fetch(ISC_STATUS* a1, isc_stmt_handle* a2, unsigned short a3, const XSQLDA* a4)
{
    return callBusy(Fisc_dsql_fetch, a1, a2, a3, a4);
}

ISC_STATUS TIBClientLibrary::isc_dsql_free_statement(ISC_STATUS* a1, isc_stmt_handle* a2, unsigned short a3)
{
    return callBusy(Fisc_dsql_free_statement, a1, a2, a3);
}

ISC_STATUS TIBClientLibrary::isc_dsql_prepare(ISC_STATUS* a1, isc_tr_handle* a2, isc_stmt_handle* a3, unsigned short a4, const ISC_SCHAR* a5, unsigned short a6, XSQLDA* a7)
{
    return callBusy(Fisc_dsql_prepare, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_dsql_set_cursor_name(ISC_STATUS* a1, isc_stmt_handle* a2, const ISC_SCHAR* a3, unsigned short a4)
{
    return callBusy(Fisc_dsql_set_cursor_name, a1, a2, a3, a4);
}

ISC_STATUS TIBClientLibrary::isc_dsql_sql_info(ISC_STATUS* a1, isc_stmt_handle* a2, short a3, const ISC_SCHAR* a4, short a5, ISC_SCHAR* a6)
{
    return callBusy(Fisc_dsql_sql_info, a1, a2, a3, a4, a5, a6);
}

void TIBClientLibrary::isc_encode_date(const void* a1, ISC_QUAD* a2)
{
    callBusy(Fisc_encode_date, a1, a2);
}

void TIBClientLibrary::isc_encode_sql_date(const void* a1, ISC_DATE* a2)
{
    callBusy(bound(Fisc_encode_sql_date, "isc_encode_sql_date"), a1, a2);
}

void TIBClientLibrary::isc_encode_sql_time(const void* a1, ISC_TIME* a2)
{
    callBusy(bound(Fisc_encode_sql_time, "isc_encode_sql_time"), a1, a2);
}

void TIBClientLibrary::isc_encode_timestamp(const void* a1, ISC_TIMESTAMP* a2)
{
    callBusy(bound(Fisc_encode_timestamp, "isc_encode_timestamp"), a1, a2);
}

void TIBClientLibrary::isc_event_counts(ISC_ULONG* a1, short a2, ISC_UCHAR* a3, const ISC_UCHAR* a4)
{
    callBusy(Fisc_event_counts, a1, a2, a3, a4);
}

ISC_LONG TIBClientLibrary::isc_free(ISC_SCHAR* a1)
{
    return callBusy(Fisc_free, a1);
}

ISC_STATUS TIBClientLibrary::isc_get_segment(ISC_STATUS* a1, isc_blob_handle* a2, unsigned short* a3, unsigned short a4, ISC_SCHAR* a5)
{
    return callBusy(Fisc_get_segment, a1, a2, a3, a4, a5);
}

ISC_STATUS TIBClientLibrary::isc_put_segment(ISC_STATUS* a1, isc_blob_handle* a2, unsigned short a3, const ISC_SCHAR* a4)
{
    return callBusy(Fisc_put_segment, a1, a2, a3, a4);
}

ISC_LONG TIBClientLibrary::isc_interprete(ISC_SCHAR* a1, ISC_STATUS** a2)
{
    return callBusy(Fisc_interprete, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_open_blob2(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, isc_blob_handle* a4, ISC_QUAD* a5, ISC_USHORT a6, const ISC_UCHAR* a7)
{
    return callBusy(Fisc_open_blob2, a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_prepare_transaction2(ISC_STATUS* a1, isc_tr_handle* a2, ISC_USHORT a3, const ISC_UCHAR* a4)
{
    return callBusy(Fisc_prepare_transaction2, a1, a2, a3, a4);
}

ISC_STATUS TIBClientLibrary::isc_rollback_retaining(ISC_STATUS* a1, isc_tr_handle* a2)
{
    return callBusy(bound(Fisc_rollback_retaining, "isc_rollback_retaining"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_rollback_transaction(ISC_STATUS* a1, isc_tr_handle* a2)
{
    return callBusy(Fisc_rollback_transaction, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_start_multiple(ISC_STATUS* a1, isc_tr_handle* a2, short a3, void* a4)
{
    return callBusy(Fisc_start_multiple, a1, a2, a3, a4);
}

ISC_LONG TIBClientLibrary::isc_sqlcode(const ISC_STATUS* a1)
{
    return callBusy(Fisc_sqlcode, a1);
}

void TIBClientLibrary::isc_sql_interprete(short a1, ISC_SCHAR* a2, short a3)
{
    callBusy(Fisc_sql_interprete, a1, a2, a3);
}

ISC_LONG TIBClientLibrary::isc_vax_integer(const ISC_SCHAR* a1, short a2)
{
    return callBusy(Fisc_vax_integer, a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_add_user(ISC_STATUS* a1, const USER_SEC_DATA* a2)
{
    return callBusy(bound(Fisc_add_user, "isc_add_user"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_delete_user(ISC_STATUS* a1, const USER_SEC_DATA* a2)
{
    return callBusy(bound(Fisc_delete_user, "isc_delete_user"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_modify_user(ISC_STATUS* a1, const USER_SEC_DATA* a2)
{
    return callBusy(bound(Fisc_modify_user, "isc_modify_user"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_prepare_transaction(ISC_STATUS* a1, isc_tr_handle* a2)
{
    return callBusy(Fisc_prepare_transaction, a1, a2);
}

int TIBClientLibrary::BLOB_put(ISC_SCHAR a1, FB_BLOB_STREAM a2)
{
    return FBLOB_put(a1, a2);
}

int TIBClientLibrary::BLOB_get(FB_BLOB_STREAM a1)
{
    return FBLOB_get(a1);
}

ISC_STATUS TIBClientLibrary::isc_dsql_batch_execute_immed(ISC_STATUS* a1, isc_db_handle* a2, isc_tr_handle* a3, unsigned short a4, ISC_ULONG a5, ISC_SCHAR** a6, ISC_ULONG* a7)
{
    return callBusy(bound(Fisc_dsql_batch_execute_immed, "isc_dsql_batch_execute_immed"), a1, a2, a3, a4, a5, a6, a7);
}

ISC_STATUS TIBClientLibrary::isc_dsql_batch_execute(ISC_STATUS* a1, isc_tr_handle* a2, isc_stmt_handle* a3, unsigned short a4, XSQLDA* a5, unsigned short a6, XSQLVAR** a7, ISC_ULONG* a8)
{
    return callBusy(bound(Fisc_dsql_batch_execute, "isc_dsql_batch_execute"), a1, a2, a3, a4, a5, a6, a7, a8);
}

ISC_STATUS TIBClientLibrary::fb_cancel_operation(ISC_STATUS* a1, isc_db_handle* a2, ISC_USHORT a3)
{
    return bound(Ffb_cancel_operation, "fb_cancel_operation")(a1, a2, a3);
}

ISC_STATUS TIBClientLibrary::isc_service_attach(ISC_STATUS* a1, unsigned short a2, const ISC_SCHAR* a3, isc_svc_handle* a4, unsigned short a5, const ISC_SCHAR* a6)
{
    return callBusy(bound(Fisc_service_attach, "isc_service_attach"), a1, a2, a3, a4, a5, a6);
}

ISC_STATUS TIBClientLibrary::isc_service_detach(ISC_STATUS* a1, isc_svc_handle* a2)
{
    return callBusy(bound(Fisc_service_detach, "isc_service_detach"), a1, a2);
}

ISC_STATUS TIBClientLibrary::isc_service_query(ISC_STATUS* a1, isc_svc_handle* a2, isc_resv_handle* a3, unsigned short a4, const ISC_SCHAR* a5, unsigned short a6, const ISC_SCHAR* a7, unsigned short a8, ISC_SCHAR* a9)
{
    return callBusy(bound(Fisc_service_query, "isc_service_query"), a1, a2, a3, a4, a5, a6, a7, a8, a9);
}

ISC_STATUS TIBClientLibrary::isc_service_start(ISC_STATUS* a1, isc_svc_handle* a2, isc_resv_handle* a3, unsigned short a4, const ISC_SCHAR* a5)
{
    return callBusy(bound(Fisc_service_start, "isc_service_start"), a1, a2, a3, a4, a5);
}

void TIBClientLibrary::isc_get_client_version(ISC_SCHAR* a1)
{
    callBusy(bound(Fisc_get_client_version, "isc_get_client_version"), a1);
}

int TIBClientLibrary::isc_get_client_major_version()
{
    return callBusy(bound(Fisc_get_client_major_version, "isc_get_client_major_version"));
}

int TIBClientLibrary::isc_get_client_minor_version()
{
    return callBusy(bound(Fisc_get_client_minor_version, "isc_get_client_minor_version"));
}

ISC_INT64 TIBClientLibrary::isc_portable_integer(const ISC_UCHAR* a1, short a2)
{
    return callBusy(bound(Fisc_portable_integer, "isc_portable_integer"), a1, a2);
}

void* TIBClientLibrary::fb_get_master_interface()
{
    return Ffb_get_master_interface ? Ffb_get_master_interface() : nullptr;
}

ISC_LONG TIBClientLibrary::isc_event_block(ISC_UCHAR** a1, ISC_UCHAR** a2, ISC_USHORT a3, ...)
{
    // The client reads as many names as the count says, at most 15.
    constexpr int kMaxEventNames = 15;
    ISC_SCHAR* names[kMaxEventNames] = {};
    va_list list;
    va_start(list, a3);
    for (int i = 0; i < a3 && i < kMaxEventNames; ++i)
        names[i] = va_arg(list, ISC_SCHAR*);
    va_end(list);
    return callBusy(Fisc_event_block, a1, a2, a3, names[0], names[1], names[2], names[3], names[4], names[5],
                    names[6], names[7], names[8], names[9], names[10], names[11], names[12], names[13], names[14]);
}

ISC_LONG TIBClientLibrary::fb_interpret(ISC_SCHAR* a1, unsigned int a2, const ISC_STATUS** a3)
{
    if (Ffb_interpret)
        return callBusy(Ffb_interpret, a1, a2, a3);
    return callBusy(Fisc_interprete, a1, const_cast<ISC_STATUS**>(a3));
}

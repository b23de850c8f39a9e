#pragma once
// Binding to the Firebird client library, loaded at run time by file name and never linked.
// One binding exists per distinct library name in the process, shared by every caller that
// names that library, and kept until the program ends.
//
// Usage:
//
//     std::shared_ptr<IIBClientLibrary> lib = ClientLibraryByName("libfbclient.so.2");
//     isc_db_handle db = 0;
//     if (lib->isc_attach_database(StatusVector(), 0, path.constData(), &db, dpbLength, dpb) > 0)
//         RaiseStatusError(*lib, this);          // components do this in their Call check:
//     Call(lib->isc_detach_database(StatusVector(), &db), true);
//
// Every client-function operation takes the arguments of the client function of the same name
// (see ibase.h) and returns its result unchanged. Pass StatusVector() (fib.h), the calling
// thread's status vector, to every call that takes one. An operation whose entry point the
// loaded library lacks raises Exception("Can't find procedure <name> in <library>"); only
// fb_interpret falls back to isc_interprete instead.

#include <ibase.h>

// ---- Firebird 4 attachment items that Firebird 3's ibase.h lacks (values from Firebird 4's).
#ifndef isc_dpb_session_time_zone
#define isc_dpb_session_time_zone 91
#endif
#ifndef isc_dpb_set_bind
#define isc_dpb_set_bind 93
#endif
#ifndef isc_dpb_decfloat_round
#define isc_dpb_decfloat_round 94
#endif
#ifndef isc_dpb_decfloat_traps
#define isc_dpb_decfloat_traps 95
#endif

#include <QString>

#include <atomic>
#include <memory>

#include "Platform.h"

// SQL types: the codes of Firebird 4's types, which older headers lack. Only a 4.0 client or later
// hands them to the layer.
#ifndef SQL_TIMESTAMP_TZ_EX
#define SQL_TIMESTAMP_TZ_EX 32748
#define SQL_TIME_TZ_EX 32750
#define SQL_INT128 32752
#define SQL_TIMESTAMP_TZ 32754
#define SQL_TIME_TZ 32756
#define SQL_DEC16 32760
#define SQL_DEC34 32762
#endif

// Entry points not declared by every ibase.h; the current server's client exports neither.
using Tisc_dsql_batch_execute_immed = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short,
                                                     ISC_ULONG, ISC_SCHAR**, ISC_ULONG*);
using Tisc_dsql_batch_execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, XSQLDA*,
                                               unsigned short, XSQLVAR**, ISC_ULONG*);

class IIBClientLibrary {
public:
    virtual ~IIBClientLibrary() = default;

    virtual QString ClientLibraryName() const = 0;
    virtual int GetClientMajorVersion() const = 0;
    virtual int GetClientMinorVersion() const = 0;
    // True while a client call made through this binding is in progress.
    virtual bool IsBusy() const = 0;

    virtual ISC_STATUS isc_attach_database(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short, const ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_array_get_slice(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) = 0;
    virtual ISC_STATUS isc_array_lookup_bounds(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) = 0;
    virtual ISC_STATUS isc_array_lookup_desc(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) = 0;
    virtual ISC_STATUS isc_array_set_desc(ISC_STATUS*, const ISC_SCHAR*, const ISC_SCHAR*, const short*, const short*, const short*, ISC_ARRAY_DESC*) = 0;
    virtual ISC_STATUS isc_array_put_slice(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) = 0;
    virtual ISC_STATUS isc_blob_info(ISC_STATUS*, isc_blob_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_blob_lookup_desc(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_UCHAR*, const ISC_UCHAR*, ISC_BLOB_DESC*, ISC_UCHAR*) = 0;
    virtual ISC_STATUS isc_blob_set_desc(ISC_STATUS*, const ISC_UCHAR*, const ISC_UCHAR*, short, short, short, ISC_BLOB_DESC*) = 0;
    virtual ISC_STATUS isc_cancel_blob(ISC_STATUS*, isc_blob_handle*) = 0;
    virtual ISC_STATUS isc_cancel_events(ISC_STATUS*, isc_db_handle*, ISC_LONG*) = 0;
    virtual ISC_STATUS isc_que_events(ISC_STATUS*, isc_db_handle*, ISC_LONG*, short, const ISC_UCHAR*, ISC_EVENT_CALLBACK, void*) = 0;
    virtual ISC_STATUS isc_wait_for_event(ISC_STATUS*, isc_db_handle*, short, const ISC_UCHAR*, ISC_UCHAR*) = 0;
    virtual ISC_STATUS isc_close_blob(ISC_STATUS*, isc_blob_handle*) = 0;
    virtual ISC_STATUS isc_create_blob2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, short, const ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_commit_retaining(ISC_STATUS*, isc_tr_handle*) = 0;
    virtual ISC_STATUS isc_commit_transaction(ISC_STATUS*, isc_tr_handle*) = 0;
    virtual ISC_STATUS isc_transaction_info(ISC_STATUS*, isc_tr_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_database_info(ISC_STATUS*, isc_db_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) = 0;
    virtual void isc_decode_date(const ISC_QUAD*, void*) = 0;
    virtual void isc_decode_sql_date(const ISC_DATE*, void*) = 0;
    virtual void isc_decode_sql_time(const ISC_TIME*, void*) = 0;
    virtual void isc_decode_timestamp(const ISC_TIMESTAMP*, void*) = 0;
    virtual ISC_STATUS isc_detach_database(ISC_STATUS*, isc_db_handle*) = 0;
    virtual ISC_STATUS isc_drop_database(ISC_STATUS*, isc_db_handle*) = 0;
    virtual ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS*, isc_db_handle*, isc_stmt_handle*) = 0;
    virtual ISC_STATUS isc_dsql_describe(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_describe_bind(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_execute(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_execute2(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*, const XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_exec_immed2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*, const XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_fetch(ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_free_statement(ISC_STATUS*, isc_stmt_handle*, unsigned short) = 0;
    virtual ISC_STATUS isc_dsql_prepare(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*) = 0;
    virtual ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS*, isc_stmt_handle*, const ISC_SCHAR*, unsigned short) = 0;
    virtual ISC_STATUS isc_dsql_sql_info(ISC_STATUS*, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) = 0;
    virtual void isc_encode_date(const void*, ISC_QUAD*) = 0;
    virtual void isc_encode_sql_date(const void*, ISC_DATE*) = 0;
    virtual void isc_encode_sql_time(const void*, ISC_TIME*) = 0;
    virtual void isc_encode_timestamp(const void*, ISC_TIMESTAMP*) = 0;
    virtual ISC_LONG isc_event_block(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...) = 0;
    virtual void isc_event_counts(ISC_ULONG*, short, ISC_UCHAR*, const ISC_UCHAR*) = 0;
    virtual ISC_LONG isc_free(ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_get_segment(ISC_STATUS*, isc_blob_handle*, unsigned short*, unsigned short, ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_put_segment(ISC_STATUS*, isc_blob_handle*, unsigned short, const ISC_SCHAR*) = 0;
    virtual ISC_LONG isc_interprete(ISC_SCHAR*, ISC_STATUS**) = 0;
    virtual ISC_LONG fb_interpret(ISC_SCHAR*, unsigned int, const ISC_STATUS**) = 0;
    virtual ISC_STATUS isc_open_blob2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*) = 0;
    virtual ISC_STATUS isc_prepare_transaction2(ISC_STATUS*, isc_tr_handle*, ISC_USHORT, const ISC_UCHAR*) = 0;
    virtual ISC_STATUS isc_rollback_retaining(ISC_STATUS*, isc_tr_handle*) = 0;
    virtual ISC_STATUS isc_rollback_transaction(ISC_STATUS*, isc_tr_handle*) = 0;
    virtual ISC_STATUS isc_start_multiple(ISC_STATUS*, isc_tr_handle*, short, void*) = 0;
    virtual ISC_LONG isc_sqlcode(const ISC_STATUS*) = 0;
    virtual void isc_sql_interprete(short, ISC_SCHAR*, short) = 0;
    virtual ISC_LONG isc_vax_integer(const ISC_SCHAR*, short) = 0;
    virtual ISC_STATUS isc_add_user(ISC_STATUS*, const USER_SEC_DATA*) = 0;
    virtual ISC_STATUS isc_delete_user(ISC_STATUS*, const USER_SEC_DATA*) = 0;
    virtual ISC_STATUS isc_modify_user(ISC_STATUS*, const USER_SEC_DATA*) = 0;
    virtual ISC_STATUS isc_prepare_transaction(ISC_STATUS*, isc_tr_handle*) = 0;
    virtual int BLOB_put(ISC_SCHAR, FB_BLOB_STREAM) = 0;
    virtual int BLOB_get(FB_BLOB_STREAM) = 0;
    virtual ISC_STATUS isc_dsql_batch_execute_immed(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, ISC_ULONG, ISC_SCHAR**, ISC_ULONG*) = 0;
    virtual ISC_STATUS isc_dsql_batch_execute(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, XSQLDA*, unsigned short, XSQLVAR**, ISC_ULONG*) = 0;
    virtual ISC_STATUS fb_cancel_operation(ISC_STATUS*, isc_db_handle*, ISC_USHORT) = 0;
    virtual ISC_STATUS isc_service_attach(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*, unsigned short, const ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_service_detach(ISC_STATUS*, isc_svc_handle*) = 0;
    virtual ISC_STATUS isc_service_query(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short, ISC_SCHAR*) = 0;
    virtual ISC_STATUS isc_service_start(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*) = 0;
    virtual void isc_get_client_version(ISC_SCHAR*) = 0;
    virtual int isc_get_client_major_version() = 0;
    virtual int isc_get_client_minor_version() = 0;
    virtual ISC_INT64 isc_portable_integer(const ISC_UCHAR*, short) = 0;
    // The client's object interface (Firebird 3 and later), as an opaque pointer to its master
    // interface; nullptr when the library has none. FIBValueTypes uses it for the conversions
    // of Firebird 4's types.
    virtual void* fb_get_master_interface() { return nullptr; }

    // Unloads the library; the entry points are kept but must not be called until loaded again.
    virtual void FreeIBLibrary() = 0;
    // Loads the library and binds its entry points; raises EOSError on failure, leaving it unloaded.
    virtual void LoadIBLibrary() = 0;
    virtual bool LibraryLoaded() const = 0;
};

// The shared binding for a library name (exact, case-sensitive). A new name loads the library;
// when that fails the error propagates and nothing is registered, so a later request tries again.
// A registered binding that is not loaded is loaded again.
std::shared_ptr<IIBClientLibrary> ClientLibraryByName(const QString& name);

class TIBClientLibrary final : public IIBClientLibrary {
public:
    // Loads the library; a failure propagates and leaves nothing loaded.
    explicit TIBClientLibrary(const QString& aLibName);
    ~TIBClientLibrary() override;
    TIBClientLibrary(const TIBClientLibrary&) = delete;
    TIBClientLibrary& operator=(const TIBClientLibrary&) = delete;

    QString ClientLibraryName() const override { return FLibraryName; }
    int GetClientMajorVersion() const override { return FIBClientVersion; }
    int GetClientMinorVersion() const override { return FIBClientMinorVersion; }
    bool IsBusy() const override { return FBusy.load(std::memory_order_relaxed) != 0; }

    ISC_STATUS isc_attach_database(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short, const ISC_SCHAR*) override;
    ISC_STATUS isc_array_get_slice(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) override;
    ISC_STATUS isc_array_lookup_bounds(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) override;
    ISC_STATUS isc_array_lookup_desc(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) override;
    ISC_STATUS isc_array_set_desc(ISC_STATUS*, const ISC_SCHAR*, const ISC_SCHAR*, const short*, const short*, const short*, ISC_ARRAY_DESC*) override;
    ISC_STATUS isc_array_put_slice(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) override;
    ISC_STATUS isc_blob_info(ISC_STATUS*, isc_blob_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override;
    ISC_STATUS isc_blob_lookup_desc(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_UCHAR*, const ISC_UCHAR*, ISC_BLOB_DESC*, ISC_UCHAR*) override;
    ISC_STATUS isc_blob_set_desc(ISC_STATUS*, const ISC_UCHAR*, const ISC_UCHAR*, short, short, short, ISC_BLOB_DESC*) override;
    ISC_STATUS isc_cancel_blob(ISC_STATUS*, isc_blob_handle*) override;
    ISC_STATUS isc_cancel_events(ISC_STATUS*, isc_db_handle*, ISC_LONG*) override;
    ISC_STATUS isc_que_events(ISC_STATUS*, isc_db_handle*, ISC_LONG*, short, const ISC_UCHAR*, ISC_EVENT_CALLBACK, void*) override;
    ISC_STATUS isc_wait_for_event(ISC_STATUS*, isc_db_handle*, short, const ISC_UCHAR*, ISC_UCHAR*) override;
    ISC_STATUS isc_close_blob(ISC_STATUS*, isc_blob_handle*) override;
    ISC_STATUS isc_create_blob2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, short, const ISC_SCHAR*) override;
    ISC_STATUS isc_commit_retaining(ISC_STATUS*, isc_tr_handle*) override;
    ISC_STATUS isc_commit_transaction(ISC_STATUS*, isc_tr_handle*) override;
    ISC_STATUS isc_transaction_info(ISC_STATUS*, isc_tr_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override;
    ISC_STATUS isc_database_info(ISC_STATUS*, isc_db_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override;
    void isc_decode_date(const ISC_QUAD*, void*) override;
    void isc_decode_sql_date(const ISC_DATE*, void*) override;
    void isc_decode_sql_time(const ISC_TIME*, void*) override;
    void isc_decode_timestamp(const ISC_TIMESTAMP*, void*) override;
    ISC_STATUS isc_detach_database(ISC_STATUS*, isc_db_handle*) override;
    ISC_STATUS isc_drop_database(ISC_STATUS*, isc_db_handle*) override;
    ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS*, isc_db_handle*, isc_stmt_handle*) override;
    ISC_STATUS isc_dsql_describe(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*) override;
    ISC_STATUS isc_dsql_describe_bind(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*) override;
    ISC_STATUS isc_dsql_execute(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*) override;
    ISC_STATUS isc_dsql_execute2(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*, const XSQLDA*) override;
    ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*) override;
    ISC_STATUS isc_dsql_exec_immed2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*, const XSQLDA*) override;
    ISC_STATUS isc_dsql_fetch(ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*) override;
    ISC_STATUS isc_dsql_free_statement(ISC_STATUS*, isc_stmt_handle*, unsigned short) override;
    ISC_STATUS isc_dsql_prepare(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*) override;
    ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS*, isc_stmt_handle*, const ISC_SCHAR*, unsigned short) override;
    ISC_STATUS isc_dsql_sql_info(ISC_STATUS*, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override;
    void isc_encode_date(const void*, ISC_QUAD*) override;
    void isc_encode_sql_date(const void*, ISC_DATE*) override;
    void isc_encode_sql_time(const void*, ISC_TIME*) override;
    void isc_encode_timestamp(const void*, ISC_TIMESTAMP*) override;
    ISC_LONG isc_event_block(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...) override;
    void isc_event_counts(ISC_ULONG*, short, ISC_UCHAR*, const ISC_UCHAR*) override;
    ISC_LONG isc_free(ISC_SCHAR*) override;
    ISC_STATUS isc_get_segment(ISC_STATUS*, isc_blob_handle*, unsigned short*, unsigned short, ISC_SCHAR*) override;
    ISC_STATUS isc_put_segment(ISC_STATUS*, isc_blob_handle*, unsigned short, const ISC_SCHAR*) override;
    ISC_LONG isc_interprete(ISC_SCHAR*, ISC_STATUS**) override;
    ISC_LONG fb_interpret(ISC_SCHAR*, unsigned int, const ISC_STATUS**) override;
    ISC_STATUS isc_open_blob2(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*) override;
    ISC_STATUS isc_prepare_transaction2(ISC_STATUS*, isc_tr_handle*, ISC_USHORT, const ISC_UCHAR*) override;
    ISC_STATUS isc_rollback_retaining(ISC_STATUS*, isc_tr_handle*) override;
    ISC_STATUS isc_rollback_transaction(ISC_STATUS*, isc_tr_handle*) override;
    ISC_STATUS isc_start_multiple(ISC_STATUS*, isc_tr_handle*, short, void*) override;
    ISC_LONG isc_sqlcode(const ISC_STATUS*) override;
    void isc_sql_interprete(short, ISC_SCHAR*, short) override;
    ISC_LONG isc_vax_integer(const ISC_SCHAR*, short) override;
    ISC_STATUS isc_add_user(ISC_STATUS*, const USER_SEC_DATA*) override;
    ISC_STATUS isc_delete_user(ISC_STATUS*, const USER_SEC_DATA*) override;
    ISC_STATUS isc_modify_user(ISC_STATUS*, const USER_SEC_DATA*) override;
    ISC_STATUS isc_prepare_transaction(ISC_STATUS*, isc_tr_handle*) override;
    int BLOB_put(ISC_SCHAR, FB_BLOB_STREAM) override;
    int BLOB_get(FB_BLOB_STREAM) override;
    ISC_STATUS isc_dsql_batch_execute_immed(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, ISC_ULONG, ISC_SCHAR**, ISC_ULONG*) override;
    ISC_STATUS isc_dsql_batch_execute(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, XSQLDA*, unsigned short, XSQLVAR**, ISC_ULONG*) override;
    ISC_STATUS fb_cancel_operation(ISC_STATUS*, isc_db_handle*, ISC_USHORT) override;
    ISC_STATUS isc_service_attach(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*, unsigned short, const ISC_SCHAR*) override;
    ISC_STATUS isc_service_detach(ISC_STATUS*, isc_svc_handle*) override;
    ISC_STATUS isc_service_query(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short, ISC_SCHAR*) override;
    ISC_STATUS isc_service_start(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*) override;
    void isc_get_client_version(ISC_SCHAR*) override;
    int isc_get_client_major_version() override;
    int isc_get_client_minor_version() override;
    ISC_INT64 isc_portable_integer(const ISC_UCHAR*, short) override;
    void* fb_get_master_interface() override;

    void FreeIBLibrary() override;
    void LoadIBLibrary() override;
    bool LibraryLoaded() const override { return FLibraryHandle != nullptr; }

private:
    using TBLOB_get = int (*)(FB_BLOB_STREAM);
    using TBLOB_put = int (*)(ISC_SCHAR, FB_BLOB_STREAM);
    using Tisc_sqlcode = ISC_LONG (*)(const ISC_STATUS*);
    using Tisc_sql_interprete = void (*)(short, ISC_SCHAR*, short);
    using Tisc_interprete = ISC_LONG (*)(ISC_SCHAR*, ISC_STATUS**);
    using Tfb_interpret = ISC_LONG (*)(ISC_SCHAR*, unsigned int, const ISC_STATUS**);
    using Tisc_vax_integer = ISC_LONG (*)(const ISC_SCHAR*, short);
    using Tisc_blob_info = ISC_STATUS (*)(ISC_STATUS*, isc_blob_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*);
    using Tisc_open_blob2 = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*);
    using Tisc_close_blob = ISC_STATUS (*)(ISC_STATUS*, isc_blob_handle*);
    using Tisc_get_segment = ISC_STATUS (*)(ISC_STATUS*, isc_blob_handle*, unsigned short*, unsigned short, ISC_SCHAR*);
    using Tisc_put_segment = ISC_STATUS (*)(ISC_STATUS*, isc_blob_handle*, unsigned short, const ISC_SCHAR*);
    using Tisc_create_blob2 = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, short, const ISC_SCHAR*);
    using Tisc_blob_lookup_desc = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_UCHAR*, const ISC_UCHAR*, ISC_BLOB_DESC*, ISC_UCHAR*);
    using Tisc_blob_set_desc = ISC_STATUS (*)(ISC_STATUS*, const ISC_UCHAR*, const ISC_UCHAR*, short, short, short, ISC_BLOB_DESC*);
    using Tisc_cancel_blob = ISC_STATUS (*)(ISC_STATUS*, isc_blob_handle*);
    using Tisc_service_attach = ISC_STATUS (*)(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*, unsigned short, const ISC_SCHAR*);
    using Tisc_service_detach = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*);
    using Tisc_service_query = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short, ISC_SCHAR*);
    using Tisc_service_start = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*);
    using Tisc_decode_date = void (*)(const ISC_QUAD*, void*);
    using Tisc_decode_sql_date = void (*)(const ISC_DATE*, void*);
    using Tisc_decode_sql_time = void (*)(const ISC_TIME*, void*);
    using Tisc_decode_timestamp = void (*)(const ISC_TIMESTAMP*, void*);
    using Tisc_encode_date = void (*)(const void*, ISC_QUAD*);
    using Tisc_encode_sql_date = void (*)(const void*, ISC_DATE*);
    using Tisc_encode_sql_time = void (*)(const void*, ISC_TIME*);
    using Tisc_encode_timestamp = void (*)(const void*, ISC_TIMESTAMP*);
    using Tisc_dsql_free_statement = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short);
    using Tisc_dsql_execute2 = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*, const XSQLDA*);
    using Tisc_dsql_execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*);
    using Tisc_dsql_set_cursor_name = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, const ISC_SCHAR*, unsigned short);
    using Tisc_dsql_fetch = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*);
    using Tisc_dsql_sql_info = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*);
    using Tisc_dsql_alloc_statement2 = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_stmt_handle*);
    using Tisc_dsql_prepare = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*);
    using Tisc_dsql_describe_bind = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*);
    using Tisc_dsql_describe = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*);
    using Tisc_dsql_execute_immediate = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*);
    using Tisc_dsql_exec_immed2 = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*, const XSQLDA*);
    using Tisc_drop_database = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*);
    using Tisc_detach_database = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*);
    using Tisc_attach_database = ISC_STATUS (*)(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short, const ISC_SCHAR*);
    using Tisc_database_info = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*);
    using Tisc_start_multiple = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, void*);
    using Tisc_commit_transaction = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using Tisc_commit_retaining = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using Tisc_rollback_transaction = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using Tisc_rollback_retaining = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using Tisc_cancel_events = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, ISC_LONG*);
    using Tisc_que_events = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, ISC_LONG*, short, const ISC_UCHAR*, ISC_EVENT_CALLBACK, void*);
    using Tisc_event_counts = void (*)(ISC_ULONG*, short, ISC_UCHAR*, const ISC_UCHAR*);
    using Tisc_event_block = ISC_LONG (*)(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...);
    using Tisc_free = ISC_LONG (*)(ISC_SCHAR*);
    using Tisc_wait_for_event = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, short, const ISC_UCHAR*, ISC_UCHAR*);
    using Tisc_transaction_info = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*);
    using Tisc_prepare_transaction = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using Tisc_prepare_transaction2 = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, ISC_USHORT, const ISC_UCHAR*);
    using Tisc_array_lookup_bounds = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*);
    using Tisc_array_get_slice = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*);
    using Tisc_array_put_slice = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*);
    using Tisc_array_set_desc = ISC_STATUS (*)(ISC_STATUS*, const ISC_SCHAR*, const ISC_SCHAR*, const short*, const short*, const short*, ISC_ARRAY_DESC*);
    using Tisc_array_lookup_desc = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*);
    using Tisc_portable_integer = ISC_INT64 (*)(const ISC_UCHAR*, short);
    using Tisc_add_user = ISC_STATUS (*)(ISC_STATUS*, const USER_SEC_DATA*);
    using Tisc_delete_user = ISC_STATUS (*)(ISC_STATUS*, const USER_SEC_DATA*);
    using Tisc_modify_user = ISC_STATUS (*)(ISC_STATUS*, const USER_SEC_DATA*);
    using Tisc_get_client_version = void (*)(ISC_SCHAR*);
    using Tisc_get_client_major_version = int (*)();
    using Tisc_get_client_minor_version = int (*)();
    using Tfb_cancel_operation = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, ISC_USHORT);
    using Tfb_shutdown_callback = decltype(&::fb_shutdown_callback);
    using Tfb_get_master_interface = void* (*)();

    enum TEntryPointRule { epRequired, epOptional };
    template <class F>
    void bind(F& entryPoint, const char* name, TEntryPointRule rule);
    [[noreturn]] void raiseLoaderError() const;
    void bindAlways();
    void bindVersion6();
    void leaveTerminationSignalsToTheProgram();
    void bindClientVersion();

    // The entry point, or the "Can't find procedure" exception when the library lacks it.
    template <class F>
    F bound(F entryPoint, const char* name) const;
    template <class F, class... A>
    auto callBusy(F entryPoint, A... args);

    platform::LibraryHandle FLibraryHandle = nullptr;
    QString FLibraryName;
    int FIBClientVersion = 0;
    int FIBClientMinorVersion = 0;
    TBLOB_get FBLOB_get = nullptr;
    TBLOB_put FBLOB_put = nullptr;
    Tisc_sqlcode Fisc_sqlcode = nullptr;
    Tisc_sql_interprete Fisc_sql_interprete = nullptr;
    Tisc_interprete Fisc_interprete = nullptr;
    Tfb_interpret Ffb_interpret = nullptr;
    Tisc_vax_integer Fisc_vax_integer = nullptr;
    Tisc_blob_info Fisc_blob_info = nullptr;
    Tisc_open_blob2 Fisc_open_blob2 = nullptr;
    Tisc_close_blob Fisc_close_blob = nullptr;
    Tisc_get_segment Fisc_get_segment = nullptr;
    Tisc_put_segment Fisc_put_segment = nullptr;
    Tisc_create_blob2 Fisc_create_blob2 = nullptr;
    Tisc_blob_lookup_desc Fisc_blob_lookup_desc = nullptr;
    Tisc_blob_set_desc Fisc_blob_set_desc = nullptr;
    Tisc_cancel_blob Fisc_cancel_blob = nullptr;
    Tisc_service_attach Fisc_service_attach = nullptr;
    Tisc_service_detach Fisc_service_detach = nullptr;
    Tisc_service_query Fisc_service_query = nullptr;
    Tisc_service_start Fisc_service_start = nullptr;
    Tisc_decode_date Fisc_decode_date = nullptr;
    Tisc_decode_sql_date Fisc_decode_sql_date = nullptr;
    Tisc_decode_sql_time Fisc_decode_sql_time = nullptr;
    Tisc_decode_timestamp Fisc_decode_timestamp = nullptr;
    Tisc_encode_date Fisc_encode_date = nullptr;
    Tisc_encode_sql_date Fisc_encode_sql_date = nullptr;
    Tisc_encode_sql_time Fisc_encode_sql_time = nullptr;
    Tisc_encode_timestamp Fisc_encode_timestamp = nullptr;
    Tisc_dsql_free_statement Fisc_dsql_free_statement = nullptr;
    Tisc_dsql_execute2 Fisc_dsql_execute2 = nullptr;
    Tisc_dsql_execute Fisc_dsql_execute = nullptr;
    Tisc_dsql_set_cursor_name Fisc_dsql_set_cursor_name = nullptr;
    Tisc_dsql_fetch Fisc_dsql_fetch = nullptr;
    Tisc_dsql_sql_info Fisc_dsql_sql_info = nullptr;
    Tisc_dsql_alloc_statement2 Fisc_dsql_alloc_statement2 = nullptr;
    Tisc_dsql_prepare Fisc_dsql_prepare = nullptr;
    Tisc_dsql_describe_bind Fisc_dsql_describe_bind = nullptr;
    Tisc_dsql_describe Fisc_dsql_describe = nullptr;
    Tisc_dsql_execute_immediate Fisc_dsql_execute_immediate = nullptr;
    Tisc_dsql_exec_immed2 Fisc_dsql_exec_immed2 = nullptr;
    Tisc_drop_database Fisc_drop_database = nullptr;
    Tisc_detach_database Fisc_detach_database = nullptr;
    Tisc_attach_database Fisc_attach_database = nullptr;
    Tisc_database_info Fisc_database_info = nullptr;
    Tisc_start_multiple Fisc_start_multiple = nullptr;
    Tisc_commit_transaction Fisc_commit_transaction = nullptr;
    Tisc_commit_retaining Fisc_commit_retaining = nullptr;
    Tisc_rollback_transaction Fisc_rollback_transaction = nullptr;
    Tisc_rollback_retaining Fisc_rollback_retaining = nullptr;
    Tisc_cancel_events Fisc_cancel_events = nullptr;
    Tisc_que_events Fisc_que_events = nullptr;
    Tisc_event_counts Fisc_event_counts = nullptr;
    Tisc_event_block Fisc_event_block = nullptr;
    Tisc_free Fisc_free = nullptr;
    Tisc_wait_for_event Fisc_wait_for_event = nullptr;
    Tisc_transaction_info Fisc_transaction_info = nullptr;
    Tisc_prepare_transaction Fisc_prepare_transaction = nullptr;
    Tisc_prepare_transaction2 Fisc_prepare_transaction2 = nullptr;
    Tisc_array_lookup_bounds Fisc_array_lookup_bounds = nullptr;
    Tisc_array_get_slice Fisc_array_get_slice = nullptr;
    Tisc_array_put_slice Fisc_array_put_slice = nullptr;
    Tisc_array_set_desc Fisc_array_set_desc = nullptr;
    Tisc_array_lookup_desc Fisc_array_lookup_desc = nullptr;
    Tisc_portable_integer Fisc_portable_integer = nullptr;
    Tisc_add_user Fisc_add_user = nullptr;
    Tisc_delete_user Fisc_delete_user = nullptr;
    Tisc_modify_user Fisc_modify_user = nullptr;
    Tisc_get_client_version Fisc_get_client_version = nullptr;
    Tisc_get_client_major_version Fisc_get_client_major_version = nullptr;
    Tisc_get_client_minor_version Fisc_get_client_minor_version = nullptr;
    Tisc_dsql_batch_execute_immed Fisc_dsql_batch_execute_immed = nullptr;
    Tisc_dsql_batch_execute Fisc_dsql_batch_execute = nullptr;
    Tfb_cancel_operation Ffb_cancel_operation = nullptr;
    Tfb_shutdown_callback Ffb_shutdown_callback = nullptr;
    Tfb_get_master_interface Ffb_get_master_interface = nullptr;
    std::atomic<unsigned char> FBusy{0};
};

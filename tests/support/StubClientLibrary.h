#pragma once
// A client binding with no library behind it, for tests of code above the binding: every call
// that takes a status vector fails with isc_unavailable, the others do nothing and return 0.
// The interpretation calls give an empty SQL code and no message; a test derives from this
// class and overrides what it drives.

#include "IB_Intf.h"

class TStubClientLibrary : public IIBClientLibrary {
public:
    QString ClientLibraryName() const override { return QStringLiteral("stub"); }
    int GetClientMajorVersion() const override { return 6; }
    int GetClientMinorVersion() const override { return 0; }
    bool IsBusy() const override { return false; }
    void FreeIBLibrary() override {}
    void LoadIBLibrary() override {}
    bool LibraryLoaded() const override { return true; }

    ISC_LONG isc_sqlcode(const ISC_STATUS*) override { return -901; }
    void isc_sql_interprete(short, ISC_SCHAR* buffer, short length) override
    {
        if (length > 0)
            buffer[0] = '\0';
    }
    ISC_LONG isc_interprete(ISC_SCHAR* buffer, ISC_STATUS**) override
    {
        buffer[0] = '\0';
        return 0;
    }
    ISC_LONG fb_interpret(ISC_SCHAR* buffer, unsigned int length, const ISC_STATUS**) override
    {
        if (length > 0)
            buffer[0] = '\0';
        return 0;
    }

    ISC_STATUS isc_attach_database(ISC_STATUS* s, short, const ISC_SCHAR*, isc_db_handle*, short, const ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_array_get_slice(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) override { return unavailable(s); }
    ISC_STATUS isc_array_lookup_bounds(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) override { return unavailable(s); }
    ISC_STATUS isc_array_lookup_desc(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) override { return unavailable(s); }
    ISC_STATUS isc_array_set_desc(ISC_STATUS* s, const ISC_SCHAR*, const ISC_SCHAR*, const short*, const short*, const short*, ISC_ARRAY_DESC*) override { return unavailable(s); }
    ISC_STATUS isc_array_put_slice(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) override { return unavailable(s); }
    ISC_STATUS isc_blob_info(ISC_STATUS* s, isc_blob_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_blob_lookup_desc(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, const ISC_UCHAR*, const ISC_UCHAR*, ISC_BLOB_DESC*, ISC_UCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_blob_set_desc(ISC_STATUS* s, const ISC_UCHAR*, const ISC_UCHAR*, short, short, short, ISC_BLOB_DESC*) override { return unavailable(s); }
    ISC_STATUS isc_cancel_blob(ISC_STATUS* s, isc_blob_handle*) override { return unavailable(s); }
    ISC_STATUS isc_cancel_events(ISC_STATUS* s, isc_db_handle*, ISC_LONG*) override { return unavailable(s); }
    ISC_STATUS isc_que_events(ISC_STATUS* s, isc_db_handle*, ISC_LONG*, short, const ISC_UCHAR*, ISC_EVENT_CALLBACK, void*) override { return unavailable(s); }
    ISC_STATUS isc_wait_for_event(ISC_STATUS* s, isc_db_handle*, short, const ISC_UCHAR*, ISC_UCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_close_blob(ISC_STATUS* s, isc_blob_handle*) override { return unavailable(s); }
    ISC_STATUS isc_create_blob2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, short, const ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_commit_retaining(ISC_STATUS* s, isc_tr_handle*) override { return unavailable(s); }
    ISC_STATUS isc_commit_transaction(ISC_STATUS* s, isc_tr_handle*) override { return unavailable(s); }
    ISC_STATUS isc_transaction_info(ISC_STATUS* s, isc_tr_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_database_info(ISC_STATUS* s, isc_db_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override { return unavailable(s); }
    void isc_decode_date(const ISC_QUAD*, void*) override {}
    void isc_decode_sql_date(const ISC_DATE*, void*) override {}
    void isc_decode_sql_time(const ISC_TIME*, void*) override {}
    void isc_decode_timestamp(const ISC_TIMESTAMP*, void*) override {}
    ISC_STATUS isc_detach_database(ISC_STATUS* s, isc_db_handle*) override { return unavailable(s); }
    ISC_STATUS isc_drop_database(ISC_STATUS* s, isc_db_handle*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS* s, isc_db_handle*, isc_stmt_handle*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_describe(ISC_STATUS* s, isc_stmt_handle*, unsigned short, XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_describe_bind(ISC_STATUS* s, isc_stmt_handle*, unsigned short, XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_execute(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_execute2(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*, const XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_exec_immed2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*, const XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_fetch(ISC_STATUS* s, isc_stmt_handle*, unsigned short, const XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_free_statement(ISC_STATUS* s, isc_stmt_handle*, unsigned short) override { return unavailable(s); }
    ISC_STATUS isc_dsql_prepare(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS* s, isc_stmt_handle*, const ISC_SCHAR*, unsigned short) override { return unavailable(s); }
    ISC_STATUS isc_dsql_sql_info(ISC_STATUS* s, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) override { return unavailable(s); }
    void isc_encode_date(const void*, ISC_QUAD*) override {}
    void isc_encode_sql_date(const void*, ISC_DATE*) override {}
    void isc_encode_sql_time(const void*, ISC_TIME*) override {}
    void isc_encode_timestamp(const void*, ISC_TIMESTAMP*) override {}
    ISC_LONG isc_event_block(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...) override { return 0; }
    void isc_event_counts(ISC_ULONG*, short, ISC_UCHAR*, const ISC_UCHAR*) override {}
    ISC_LONG isc_free(ISC_SCHAR*) override { return 0; }
    ISC_STATUS isc_get_segment(ISC_STATUS* s, isc_blob_handle*, unsigned short*, unsigned short, ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_put_segment(ISC_STATUS* s, isc_blob_handle*, unsigned short, const ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_open_blob2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_prepare_transaction2(ISC_STATUS* s, isc_tr_handle*, ISC_USHORT, const ISC_UCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_rollback_retaining(ISC_STATUS* s, isc_tr_handle*) override { return unavailable(s); }
    ISC_STATUS isc_rollback_transaction(ISC_STATUS* s, isc_tr_handle*) override { return unavailable(s); }
    ISC_STATUS isc_start_multiple(ISC_STATUS* s, isc_tr_handle*, short, void*) override { return unavailable(s); }
    ISC_LONG isc_vax_integer(const ISC_SCHAR*, short) override { return 0; }
    ISC_STATUS isc_add_user(ISC_STATUS* s, const USER_SEC_DATA*) override { return unavailable(s); }
    ISC_STATUS isc_delete_user(ISC_STATUS* s, const USER_SEC_DATA*) override { return unavailable(s); }
    ISC_STATUS isc_modify_user(ISC_STATUS* s, const USER_SEC_DATA*) override { return unavailable(s); }
    ISC_STATUS isc_prepare_transaction(ISC_STATUS* s, isc_tr_handle*) override { return unavailable(s); }
    int BLOB_put(ISC_SCHAR, FB_BLOB_STREAM) override { return 0; }
    int BLOB_get(FB_BLOB_STREAM) override { return 0; }
    ISC_STATUS isc_dsql_batch_execute_immed(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, unsigned short, ISC_ULONG, ISC_SCHAR**, ISC_ULONG*) override { return unavailable(s); }
    ISC_STATUS isc_dsql_batch_execute(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, XSQLDA*, unsigned short, XSQLVAR**, ISC_ULONG*) override { return unavailable(s); }
    ISC_STATUS fb_cancel_operation(ISC_STATUS* s, isc_db_handle*, ISC_USHORT) override { return unavailable(s); }
    ISC_STATUS isc_service_attach(ISC_STATUS* s, unsigned short, const ISC_SCHAR*, isc_svc_handle*, unsigned short, const ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_service_detach(ISC_STATUS* s, isc_svc_handle*) override { return unavailable(s); }
    ISC_STATUS isc_service_query(ISC_STATUS* s, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short, ISC_SCHAR*) override { return unavailable(s); }
    ISC_STATUS isc_service_start(ISC_STATUS* s, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*) override { return unavailable(s); }
    void isc_get_client_version(ISC_SCHAR*) override {}
    int isc_get_client_major_version() override { return 0; }
    int isc_get_client_minor_version() override { return 0; }
    ISC_INT64 isc_portable_integer(const ISC_UCHAR*, short) override { return 0; }

protected:
    static ISC_STATUS unavailable(ISC_STATUS* status)
    {
        status[0] = isc_arg_gds;
        status[1] = isc_unavailable;
        status[2] = isc_arg_end;
        return isc_unavailable;
    }
};

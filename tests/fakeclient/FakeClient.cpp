// A stand-in client library for the binding's tests. Every call fails with isc_unavailable,
// except the interpretation calls, which the tests drive:
//   isc_sqlcode           the first number argument of the status vector, else -901;
//   isc_sql_interprete    the text last set with fake_set_sql_message;
//   isc_interprete,
//   fb_interpret          one line per string argument of the status vector, as its raw bytes.
//   isc_que_events        calls its callback before it returns.
// Which entry points exist depends on the variant (CMakeLists.txt).

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

namespace {

std::string gSqlMessage = "fake sql message";

// The event buffer lengths are short in Firebird 3's header and unsigned short in Firebird 4's; a
// definition must match the header's declaration to be the exported C function.
template <class> struct TParameters;
template <class R, class... A>
struct TParameters<R (*)(A...)> { using type = std::tuple<A...>; };
template <auto function, std::size_t index>
using TParameter = std::tuple_element_t<index, typename TParameters<decltype(function)>::type>;

ISC_STATUS unavailable(ISC_STATUS* status)
{
    status[0] = isc_arg_gds;
    status[1] = isc_unavailable;
    status[2] = isc_arg_end;
    return isc_unavailable;
}

// The next string argument at *cursor as one line; the cursor moves past it.
ISC_LONG nextLine(ISC_SCHAR* buffer, size_t length, const ISC_STATUS** cursor)
{
    const ISC_STATUS* s = *cursor;
    while (*s != isc_arg_end) {
        const ISC_STATUS tag = *s;
        if (tag == isc_arg_cstring) {
            s += 3;
            continue;
        }
        if (tag != isc_arg_string && tag != isc_arg_interpreted) {
            s += 2;
            continue;
        }
        const char* text = reinterpret_cast<const char*>(s[1]);
        *cursor = s + 2;
        const size_t n = std::min(std::strlen(text), length - 1);
        std::memcpy(buffer, text, n);
        buffer[n] = '\0';
        return static_cast<ISC_LONG>(n);
    }
    *cursor = s;
    return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void fake_set_sql_message(const char* text)
{
    gSqlMessage = text;
}

ISC_LONG isc_sqlcode(const ISC_STATUS* status)
{
    for (const ISC_STATUS* s = status; *s != isc_arg_end; s += (*s == isc_arg_cstring) ? 3 : 2)
        if (*s == isc_arg_number)
            return static_cast<ISC_LONG>(s[1]);
    return -901;
}

void isc_sql_interprete(short, ISC_SCHAR* buffer, short length)
{
    const size_t n = std::min(gSqlMessage.size(), static_cast<size_t>(length) - 1);
    std::memcpy(buffer, gSqlMessage.data(), n);
    buffer[n] = '\0';
}

ISC_LONG isc_interprete(ISC_SCHAR* buffer, ISC_STATUS** cursor)
{
    // The old call knows no buffer length; the callers' buffers are large.
    return nextLine(buffer, 1024, const_cast<const ISC_STATUS**>(cursor));
}

#ifdef FAKE_CLIENT_LEVEL6
ISC_LONG fb_interpret(ISC_SCHAR* buffer, unsigned int length, const ISC_STATUS** cursor)
{
    return length == 0 ? 0 : nextLine(buffer, length, cursor);
}
#endif

int BLOB_get(FB_BLOB_STREAM) { return 0; }
int BLOB_put(ISC_SCHAR, FB_BLOB_STREAM) { return 0; }
ISC_LONG isc_vax_integer(const ISC_SCHAR*, short) { return 0; }
ISC_STATUS isc_blob_info(ISC_STATUS* s, isc_blob_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_open_blob2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*) { return unavailable(s); }
ISC_STATUS isc_close_blob(ISC_STATUS* s, isc_blob_handle*) { return unavailable(s); }
ISC_STATUS isc_get_segment(ISC_STATUS* s, isc_blob_handle*, unsigned short*, unsigned short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_put_segment(ISC_STATUS* s, isc_blob_handle*, unsigned short, const ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_create_blob2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, isc_blob_handle*, ISC_QUAD*, short, const ISC_SCHAR*) { return unavailable(s); }
void isc_decode_date(const ISC_QUAD*, void*) {}
void isc_encode_date(const void*, ISC_QUAD*) {}
ISC_STATUS isc_dsql_free_statement(ISC_STATUS* s, isc_stmt_handle*, unsigned short) { return unavailable(s); }
ISC_STATUS isc_dsql_execute2(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*, const XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_execute(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS* s, isc_stmt_handle*, const ISC_SCHAR*, unsigned short) { return unavailable(s); }
ISC_STATUS isc_dsql_fetch(ISC_STATUS* s, isc_stmt_handle*, unsigned short, const XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_sql_info(ISC_STATUS* s, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS* s, isc_db_handle*, isc_stmt_handle*) { return unavailable(s); }
#ifndef FAKE_CLIENT_WITHOUT_PREPARE
ISC_STATUS isc_dsql_prepare(ISC_STATUS* s, isc_tr_handle*, isc_stmt_handle*, unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*) { return unavailable(s); }
#endif
ISC_STATUS isc_dsql_describe_bind(ISC_STATUS* s, isc_stmt_handle*, unsigned short, XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_describe(ISC_STATUS* s, isc_stmt_handle*, unsigned short, XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_dsql_exec_immed2(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const XSQLDA*, const XSQLDA*) { return unavailable(s); }
ISC_STATUS isc_drop_database(ISC_STATUS* s, isc_db_handle*) { return unavailable(s); }
ISC_STATUS isc_detach_database(ISC_STATUS* s, isc_db_handle*) { return unavailable(s); }
ISC_STATUS isc_attach_database(ISC_STATUS* s, short, const ISC_SCHAR*, isc_db_handle*, short, const ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_database_info(ISC_STATUS* s, isc_db_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_start_multiple(ISC_STATUS* s, isc_tr_handle*, short, void*) { return unavailable(s); }
ISC_STATUS isc_commit_transaction(ISC_STATUS* s, isc_tr_handle*) { return unavailable(s); }
ISC_STATUS isc_commit_retaining(ISC_STATUS* s, isc_tr_handle*) { return unavailable(s); }
ISC_STATUS isc_rollback_transaction(ISC_STATUS* s, isc_tr_handle*) { return unavailable(s); }
ISC_STATUS isc_cancel_events(ISC_STATUS* s, isc_db_handle*, ISC_LONG*) { return unavailable(s); }
// Calls the callback at once, so a test can look at the binding while a call is in progress.
ISC_STATUS isc_que_events(ISC_STATUS* s, isc_db_handle*, ISC_LONG*, TParameter<&isc_que_events, 3>, const ISC_UCHAR*, ISC_EVENT_CALLBACK callback, void* arg)
{
    if (callback)
        callback(arg, 0, nullptr);
    return unavailable(s);
}
void isc_event_counts(ISC_ULONG*, short, ISC_UCHAR*, const ISC_UCHAR*) {}
ISC_LONG isc_event_block(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...) { return 0; }
ISC_LONG isc_free(ISC_SCHAR*) { return 0; }
ISC_STATUS isc_array_lookup_bounds(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, const ISC_SCHAR*, const ISC_SCHAR*, ISC_ARRAY_DESC*) { return unavailable(s); }
ISC_STATUS isc_array_get_slice(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) { return unavailable(s); }
ISC_STATUS isc_array_put_slice(ISC_STATUS* s, isc_db_handle*, isc_tr_handle*, ISC_QUAD*, const ISC_ARRAY_DESC*, void*, ISC_LONG*) { return unavailable(s); }
ISC_STATUS isc_wait_for_event(ISC_STATUS* s, isc_db_handle*, TParameter<&isc_wait_for_event, 2>, const ISC_UCHAR*, ISC_UCHAR*) { return unavailable(s); }
ISC_STATUS isc_transaction_info(ISC_STATUS* s, isc_tr_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_prepare_transaction(ISC_STATUS* s, isc_tr_handle*) { return unavailable(s); }
ISC_STATUS isc_prepare_transaction2(ISC_STATUS* s, isc_tr_handle*, ISC_USHORT, const ISC_UCHAR*) { return unavailable(s); }

#ifdef FAKE_CLIENT_LEVEL6
ISC_STATUS isc_rollback_retaining(ISC_STATUS* s, isc_tr_handle*) { return unavailable(s); }
ISC_STATUS isc_service_attach(ISC_STATUS* s, unsigned short, const ISC_SCHAR*, isc_svc_handle*, unsigned short, const ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_service_detach(ISC_STATUS* s, isc_svc_handle*) { return unavailable(s); }
ISC_STATUS isc_service_query(ISC_STATUS* s, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short, ISC_SCHAR*) { return unavailable(s); }
ISC_STATUS isc_service_start(ISC_STATUS* s, isc_svc_handle*, isc_resv_handle*, unsigned short, const ISC_SCHAR*) { return unavailable(s); }
void isc_decode_sql_date(const ISC_DATE*, void*) {}
void isc_decode_sql_time(const ISC_TIME*, void*) {}
void isc_decode_timestamp(const ISC_TIMESTAMP*, void*) {}
void isc_encode_sql_date(const void*, ISC_DATE*) {}
void isc_encode_sql_time(const void*, ISC_TIME*) {}
void isc_encode_timestamp(const void*, ISC_TIMESTAMP* value)
{
    // Marks the value, so a test can see the call reached the library.
    value->timestamp_date = 1;
    value->timestamp_time = 2;
}
ISC_INT64 isc_portable_integer(const ISC_UCHAR*, short) { return 0; }
#endif

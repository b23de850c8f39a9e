// Fuzz target: the interpretation of a failed call's status vector. The input fills the calling
// thread's status vector with arbitrary clusters (any tag, numbers, strings, counted strings),
// and scripts what the client library answers when asked to interpret it: the SQL code, the SQL
// message and the engine message lines, with arbitrary bytes. RaiseStatusError must raise one
// EFIBInterBaseError with a well-formed message; the status search must stay inside the vector.

#include "StubClientLibrary.h"
#include "fib.h"

#include "FuzzSupport.h"

#include <QObject>

#include <cstring>
#include <list>
#include <vector>

namespace {

// Answers the interpretation calls from the script, as a client library would: each engine
// message line moves the cursor one cluster on, and the lines end with the script or the vector.
class TScriptedClientLibrary : public TStubClientLibrary {
public:
    ISC_LONG FSQLCode = 0;
    QByteArray FSQLMessage;
    std::vector<QByteArray> FLines;

    ISC_LONG isc_sqlcode(const ISC_STATUS*) override { return FSQLCode; }

    void isc_sql_interprete(short, ISC_SCHAR* buffer, short length) override
    {
        if (length <= 0)
            return;
        const size_t n = std::min<size_t>(std::strlen(FSQLMessage.constData()), static_cast<size_t>(length) - 1);
        std::memcpy(buffer, FSQLMessage.constData(), n);
        buffer[n] = '\0';
    }

    ISC_LONG fb_interpret(ISC_SCHAR* buffer, unsigned int length, const ISC_STATUS** cursor) override
    {
        const ISC_STATUS* s = *cursor;
        if (length == 0 || FNextLine >= FLines.size() || s >= StatusVector() + ISC_STATUS_LENGTH || *s == isc_arg_end)
            return 0;
        *cursor = s + ((*s == isc_arg_cstring) ? 3 : 2);
        // A C string: the line ends at its first NUL.
        const QByteArray& line = FLines[FNextLine++];
        const size_t n = std::min<size_t>(std::strlen(line.constData()), length - 1);
        std::memcpy(buffer, line.constData(), n);
        buffer[n] = '\0';
        return static_cast<ISC_LONG>(n);
    }

private:
    size_t FNextLine = 0;
};

constexpr ISC_STATUS kTags[] = {isc_arg_gds,         isc_arg_string,   isc_arg_cstring, isc_arg_number,
                                isc_arg_interpreted, isc_arg_sql_state, isc_arg_warning, isc_arg_end};

// Fills the status vector with clusters that fit in it; string arguments point into strings,
// which outlive the call. A vector without room for its end keeps its last word as the end.
void fillStatus(TFuzzInput& in, std::list<QByteArray>& strings)
{
    ISC_STATUS* status = StatusVector();
    std::fill_n(status, ISC_STATUS_LENGTH, 0);
    int i = 0;
    while (i < ISC_STATUS_LENGTH - 1 && !in.atEnd()) {
        const uint8_t choice = in.byte();
        const ISC_STATUS tag = (choice & 0x80) ? static_cast<ISC_STATUS>(choice & 0x7f)
                                               : kTags[choice % (sizeof(kTags) / sizeof(kTags[0]))];
        if (tag == isc_arg_end)
            break;
        const bool counted = tag == isc_arg_cstring;
        const bool text = counted || tag == isc_arg_string || tag == isc_arg_interpreted || tag == isc_arg_sql_state;
        if (i + (counted ? 3 : 2) > ISC_STATUS_LENGTH - 1)
            break;
        status[i++] = tag;
        if (text) {
            strings.push_back(in.bytes());
            const QByteArray& s = strings.back();
            if (counted)
                status[i++] = static_cast<ISC_STATUS>(s.size());
            status[i++] = reinterpret_cast<ISC_STATUS>(s.constData());
        } else {
            status[i++] = static_cast<ISC_STATUS>(static_cast<int32_t>(in.word()));
        }
    }
    status[i] = isc_arg_end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const uint8_t flags = in.byte();
    TScriptedClientLibrary lib;
    lib.FSQLCode = (flags & 1) ? -836 : static_cast<ISC_LONG>(static_cast<int32_t>(in.word()));
    lib.FSQLMessage = in.longBytes();
    const int lineCount = in.byte() % 8;
    for (int k = 0; k < lineCount; ++k)
        lib.FLines.push_back(in.longBytes());
    QObject sender;
    sender.setObjectName(QString::fromUtf8(in.bytes()));
    std::list<QByteArray> strings;
    fillStatus(in, strings);

    const ISC_STATUS* status = StatusVector();
    const ISC_LONG first = static_cast<ISC_LONG>(status[1]);
    if (status[0] == isc_arg_gds || status[0] == isc_arg_number)
        FUZZ_CHECK(StatusHasErrorCode({isc_lock_conflict, first}));
    else
        StatusHasErrorCode({isc_lock_conflict, first, static_cast<ISC_LONG>(in.word())});

    setErrorMessageParts((flags >> 1) & (empRaiserName | empSQLMessage | empIBMessage));
    bool raised = false;
    try {
        RaiseStatusError(lib, (flags & 0x10) ? &sender : nullptr);
    } catch (const EFIBInterBaseError& e) {
        raised = true;
        FUZZ_CHECK(e.SQLCode() == static_cast<int>(lib.FSQLCode));
        FUZZ_CHECK(e.IBErrorCode() == static_cast<int>(StatusVector()[1]));
        FUZZ_CHECK(std::strcmp(e.what(), e.Message().toUtf8().constData()) == 0);
    }
    FUZZ_CHECK(raised);
    return 0;
}

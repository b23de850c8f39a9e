// Fuzz target: the database parameter block built from arbitrary connection lines. A block that
// is built is well-formed (version byte, then items of code, length and that many bytes), the
// lines are left trimmed, and building again from them gives the same block. Bad lines raise the
// layer's errors and nothing else.
//
// Input: byte 0 bit 0 is isFirebird; the rest is the lines' text in UTF-8.

#include "pFIBProps.h"
#include "fib.h"

#include "FuzzSupport.h"

namespace {

void checkWellFormed(const QByteArray& dpb)
{
    FUZZ_CHECK(!dpb.isEmpty() && dpb[0] == static_cast<char>(isc_dpb_version1));
    qsizetype i = 1;
    while (i < dpb.size()) {
        FUZZ_CHECK(dpb[i] != 0);
        FUZZ_CHECK(i + 1 < dpb.size());
        const int length = static_cast<unsigned char>(dpb[i + 1]);
        FUZZ_CHECK(i + 2 + length <= dpb.size());
        i += 2 + length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const bool isFirebird = (in.byte() & 1) != 0;
    TStringList params;
    params.setText(QString::fromUtf8(in.rest()));
    QByteArray dpb;
    try {
        dpb = BuildDPB(params, isFirebird);
    } catch (const EFIBClientError&) {
        return 0;
    } catch (const Exception&) {
        return 0;  // a numeric value that is not an integer
    }
    checkWellFormed(dpb);
    checkTrimmedLines(params);
    FUZZ_CHECK(BuildDPB(params, isFirebird) == dpb);
    return 0;
}

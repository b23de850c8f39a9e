// Fuzz target: the transaction parameter block built from arbitrary transaction lines. A block
// that is built is empty for no lines, else version 3 and one well-formed item per non-empty
// line; the lines are left trimmed, and building again from them gives the same block. Bad lines
// raise the layer's client errors and nothing else.
//
// Input: byte 0 bit 0 is isFB21OrMore; the rest is the lines' text in UTF-8.

#include "FIBDatabase.h"
#include "fib.h"

#include "FuzzSupport.h"

namespace {

void checkWellFormed(const QByteArray& tpb, bool isFB21OrMore)
{
    FUZZ_CHECK(tpb[0] == static_cast<char>(isc_tpb_version3));
    qsizetype i = 1;
    while (i < tpb.size()) {
        const int code = static_cast<unsigned char>(tpb[i++]);
        FUZZ_CHECK(code >= 1 && code <= 21);
        FUZZ_CHECK(code != 12 && code != 13 && code != 16 && code != 19);  // refused, never written
        if (code == isc_tpb_lock_read || code == isc_tpb_lock_write) {
            FUZZ_CHECK(i < tpb.size());
            const int length = static_cast<unsigned char>(tpb[i]);
            FUZZ_CHECK(i + 1 + length <= tpb.size());
            i += 1 + length;
        } else if (code == isc_tpb_lock_timeout && isFB21OrMore) {
            FUZZ_CHECK(i + 3 <= tpb.size() && tpb[i] == 2);
            i += 3;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const bool isFB21OrMore = (in.byte() & 1) != 0;
    TStringList params;
    params.setText(QString::fromUtf8(in.rest()));
    QByteArray tpb;
    try {
        tpb = BuildTPB(params, isFB21OrMore);
    } catch (const EFIBClientError&) {
        return 0;
    }
    if (params.Count() == 0) {
        FUZZ_CHECK(tpb.isEmpty());
        return 0;
    }
    checkWellFormed(tpb, isFB21OrMore);
    checkTrimmedLines(params);
    FUZZ_CHECK(BuildTPB(params, isFB21OrMore) == tpb);
    return 0;
}

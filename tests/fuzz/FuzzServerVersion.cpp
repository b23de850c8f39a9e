// Fuzz target: the reading of a server version text of arbitrary bytes. Every number read is
// non-negative, targets past the numbers found keep their values, and the text is read no
// further than its second-to-last byte.
//
// Input: the version text.

#include "FIBDatabase.h"

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so a read past its end is a sanitizer report.
    const QByteArray version(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::array<int, 4> v = {-1, -1, -1, -1};
    ParseServerVersion(version, {&v[0], &v[1], &v[2], &v[3]});
    bool unset = false;
    for (const int n : v) {
        FUZZ_CHECK(n >= -1);
        FUZZ_CHECK(!unset || n == -1);  // numbers are stored in order
        unset = unset || n == -1;
    }
    // The last byte is never read: changing it changes nothing.
    if (size > 0) {
        QByteArray other = version;
        other[other.size() - 1] = static_cast<char>(other.back() ^ 0x5a);
        std::array<int, 4> w = {-1, -1, -1, -1};
        ParseServerVersion(other, {&w[0], &w[1], &w[2], &w[3]});
        FUZZ_CHECK(v == w);
    }
    return 0;
}

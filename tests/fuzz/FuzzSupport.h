#pragma once
// Helpers of the fuzz targets: invariant checks, and a reader that takes typed values from the
// fuzzer's bytes. A failed check prints where it failed and aborts, which libFuzzer reports as a
// crash and saves the input that caused it.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// Reads the input front to back; past its end every value is 0 and every byte string empty.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    bool atEnd() const { return FPos >= FSize; }
    uint8_t byte() { return atEnd() ? 0 : FData[FPos++]; }
    uint32_t word()
    {
        uint32_t value = 0;
        for (int k = 0; k < 4; ++k)
            value = (value << 8) | byte();
        return value;
    }
    // A byte string whose length is the next byte.
    QByteArray bytes() { return take(byte()); }
    // A byte string whose length is the next two bytes, so it may exceed one length byte.
    QByteArray longBytes() { return take((static_cast<size_t>(byte()) << 8) | byte()); }
    // What is left of the input.
    QByteArray rest() { return take(FSize - FPos); }

private:
    QByteArray take(size_t n)
    {
        if (n > FSize - FPos)
            n = FSize - FPos;
        QByteArray result(reinterpret_cast<const char*>(FData + FPos), static_cast<qsizetype>(n));
        FPos += n;
        return result;
    }

    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// Every line of a parameter list after a block builder read it: no blank or control character
// at either end.
template <class TLines>
void checkTrimmedLines(const TLines& params)
{
    for (int i = 0; i < params.Count(); ++i) {
        const auto& line = params[i];
        FUZZ_CHECK(line.isEmpty() || (line.front().unicode() > 32 && line.back().unicode() > 32));
    }
}

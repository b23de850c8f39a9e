// The floating-point environment: the same processor on both systems, so one source. It tests
// for the processor and the compiler, never for the operating system.
#include "Platform.h"

#include <cfenv>

#if defined(__i386__) || defined(__x86_64__) || defined(_M_X64)
#define PATCHWREN_X86 1
#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE__)
#include <xmmintrin.h>
#endif
#endif

namespace platform {

#if defined(PATCHWREN_X86)
namespace {

// x87 control word: all exceptions masked, 64-bit mantissa, round to nearest.
constexpr unsigned short kDefaultX87ControlWord = 0x037F;
// MXCSR control bits: all exceptions masked, round to nearest, no flush to zero; the low six
// bits are the sticky exception flags, which are status, not control.
constexpr unsigned kDefaultMxcsrControl = 0x1F80;
constexpr unsigned kMxcsrFlags = 0x3F;

#if defined(__GNUC__)
unsigned short x87ControlWord()
{
    unsigned short word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void resetX87()
{
    const unsigned short word = kDefaultX87ControlWord;
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}
#else
// This compiler's x64 code never uses the x87 unit, and reaches it only through assembly.
unsigned short x87ControlWord() { return kDefaultX87ControlWord; }
void resetX87() {}
#endif

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE__)
unsigned mxcsr() { return _mm_getcsr(); }
void setMxcsr(unsigned word) { _mm_setcsr(word); }
#else
// A processor without SSE has no MXCSR.
unsigned mxcsr() { return kDefaultMxcsrControl; }
void setMxcsr(unsigned) {}
#endif

}  // namespace

// Reading both control words costs a few cycles; writing them costs more, and this runs after
// every client call (every fetched row).
void restoreFloatingPointEnvironment()
{
    if (x87ControlWord() != kDefaultX87ControlWord)
        resetX87();
    if ((mxcsr() & ~kMxcsrFlags) != kDefaultMxcsrControl)
        setMxcsr(kDefaultMxcsrControl);
}
#else
void restoreFloatingPointEnvironment() { std::fesetenv(FE_DFL_ENV); }
#endif

}  // namespace platform

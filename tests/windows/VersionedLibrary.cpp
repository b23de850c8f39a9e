// A library for the Wine test: a version resource, and one entry point that leaves the
// floating-point unit as a foreign library may: 53-bit x87 precision, SSE rounding toward zero.
extern "C" __declspec(dllexport) void disturbFloatingPoint()
{
    const unsigned short x87 = 0x027F;
    const unsigned mxcsr = 0x1F80 | 0x6000;
    asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(mxcsr));
}

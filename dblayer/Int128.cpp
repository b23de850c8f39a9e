// TInt128: products and quotients go limb by limb in 32 bits, so that no step needs more than 64.
#include "Int128.h"

namespace {

constexpr quint64 kLimbMask = 0xFFFFFFFFu;

// An unsigned 128-bit number as four 32-bit limbs, the least significant first.
struct TLimbs {
    quint64 limb[4];
};

TLimbs limbsOf(quint64 low, quint64 high) { return {{low & kLimbMask, low >> 32, high & kLimbMask, high >> 32}}; }

TInt128 bitsOf(const TLimbs& number)
{
    return TInt128(static_cast<qint64>(number.limb[3] << 32 | number.limb[2]), number.limb[1] << 32 | number.limb[0]);
}

// number × 10 in place; false when the product needs more than 128 bits.
bool timesTen(TLimbs& number)
{
    quint64 carry = 0;
    for (quint64& limb : number.limb) {
        const quint64 product = limb * 10 + carry;
        limb = product & kLimbMask;
        carry = product >> 32;
    }
    return carry == 0;
}

// number / 10 in place; returns the remainder.
int byTen(TLimbs& number)
{
    quint64 remainder = 0;
    for (int i = 3; i >= 0; --i) {
        const quint64 part = remainder << 32 | number.limb[i];
        number.limb[i] = part / 10;
        remainder = part % 10;
    }
    return static_cast<int>(remainder);
}

}  // namespace

TInt128 TInt128::fromBytes(const char* data)
{
    quint64 half[2] = {0, 0};
    for (int i = kBytes - 1; i >= 0; --i)
        half[i / 8] = half[i / 8] << 8 | static_cast<unsigned char>(data[i]);
    return TInt128(static_cast<qint64>(half[1]), half[0]);
}

void TInt128::toBytes(char* data) const
{
    for (int i = 0; i < kBytes; ++i)
        data[i] = static_cast<char>((i < 8 ? FLow : FHigh) >> (i % 8 * 8));
}

bool TInt128::fitsInt64() const { return *this == TInt128(toInt64()); }

TInt128 TInt128::negated() const
{
    const quint64 low = ~FLow + 1;
    return TInt128(static_cast<qint64>(~FHigh + (low == 0 ? 1 : 0)), low);
}

bool TInt128::multiplyByPowerOfTen(int exponent)
{
    if (exponent == 0 || *this == TInt128())
        return true;
    const TInt128 start = magnitude();
    TLimbs number = limbsOf(start.FLow, start.FHigh);
    // A non-zero number outgrows 128 bits within 39 steps, so the loop ends early for big exponents.
    for (int i = 0; i < exponent; ++i)
        if (!timesTen(number))
            return false;
    const TInt128 product = bitsOf(number);
    // A magnitude of 2^127 or more does not fit: the least value, -2^127, is no multiple of ten.
    if (product.isNegative())
        return false;
    *this = isNegative() ? product.negated() : product;
    return true;
}

bool TInt128::add(const TInt128& other)
{
    const quint64 low = FLow + other.FLow;
    const TInt128 sum(static_cast<qint64>(FHigh + other.FHigh + (low < FLow ? 1 : 0)), low);
    // Only operands of one sign can overflow, and then the sum has the other sign.
    if (isNegative() == other.isNegative() && sum.isNegative() != isNegative())
        return false;
    *this = sum;
    return true;
}

TInt128 TInt128::dividedByPowerOfTen(int exponent) const
{
    TInt128 quotient = *this;
    // Truncating one digit at a time truncates the whole; 39 steps leave zero.
    for (int i = 0; i < exponent && quotient != TInt128(); ++i)
        quotient.divideByTen();
    return quotient;
}

int TInt128::divideByTen()
{
    const bool negative = isNegative();
    const TInt128 dividend = magnitude();
    TLimbs number = limbsOf(dividend.FLow, dividend.FHigh);
    const int remainder = byTen(number);
    const TInt128 quotient = bitsOf(number);
    *this = negative ? quotient.negated() : quotient;
    return negative ? -remainder : remainder;
}

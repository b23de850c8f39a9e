#pragma once
// An exact 128-bit signed integer (two's complement in two 64-bit halves) with just the arithmetic
// the INT128 conversions need, written in plain C++ so that every compiler builds it alike.

#include <QtGlobal>

class TInt128 {
public:
    static constexpr int kBytes = 16;

    constexpr TInt128(qint64 value = 0)
        : FLow(static_cast<quint64>(value)), FHigh(value < 0 ? ~quint64(0) : 0) {}
    constexpr TInt128(qint64 high, quint64 low) : FLow(low), FHigh(static_cast<quint64>(high)) {}

    // The value as stored: 16 bytes, least significant first.
    static TInt128 fromBytes(const char* data);
    void toBytes(char* data) const;

    bool isNegative() const { return (FHigh >> 63) != 0; }
    bool fitsInt64() const;
    qint64 toInt64() const { return static_cast<qint64>(FLow); }  // the low half: check fitsInt64 first

    // value × 10^exponent (exponent >= 0); false, with the value unchanged, when it does not fit.
    bool multiplyByPowerOfTen(int exponent);
    // value + other; false, with the value unchanged, when the sum does not fit.
    bool add(const TInt128& other);
    // value / 10^exponent truncated toward zero (exponent >= 0; 0 for exponents beyond 38).
    TInt128 dividedByPowerOfTen(int exponent) const;
    // Divides by 10 truncating toward zero; returns the remainder, which has the value's sign.
    int divideByTen();

    bool operator==(const TInt128&) const = default;

private:
    TInt128 negated() const;
    // The absolute value's bits read unsigned: 2^127 for the least value.
    TInt128 magnitude() const { return isNegative() ? negated() : *this; }

    quint64 FLow;
    quint64 FHigh;
};

#pragma once
// Values of Firebird 4's types in a descriptor entry: INT128 (also NUMERIC and DECIMAL of precision
// 19 to 38), DECFLOAT(16), DECFLOAT(34), TIME and TIMESTAMP WITH TIME ZONE and their extended forms.
// INT128 is converted here; DECFLOAT and the zoned types through the client library's own
// conversions (its object interface, 4.0 client or later). A conversion that cannot be made raises
// EFIBClientError "Invalid data conversion."; a store that fails leaves the data unchanged.

#include "IB_Intf.h"
#include "Int128.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// True for the type codes this module converts.
bool IsFb4ValueType(short type);
// The bytes a value of the type occupies in its data buffer.
int Fb4ValueSize(short type);

// A decimal number ±digits × 10^exponent, read from text such as " -12.50", "1.5E+3" or "7e-2".
struct TDecimalText {
    bool negative = false;
    QString digits;  // at least one digit, no sign
    int exponent = 0;

    // False when the text is no such number (also for "Infinity" and "NaN").
    static bool parse(const QString& text, TDecimalText& result);
    // The number as an integer scaled by 10^-scale: with scale -2, "3.995" gives 400 (half away
    // from zero at the last kept digit) and with truncate set gives 399. False when it does not fit.
    bool toScaled(int scale, bool truncate, TInt128& result) const;
};

// INT128 text with a scale: -12345 at scale -2 is "-123.45"; every digit is kept.
QString Int128ToText(TInt128 value, int scale);

// One value of a Firebird 4 type in an entry's data buffer.
class TFb4Value {
public:
    // lib may be null when no client is at hand: then only INT128 converts.
    TFb4Value(short type, short scale, char* data, IIBClientLibrary* lib)
        : FType(type), FScale(scale), FData(data), FLib(lib) {}

    QString text() const;
    qint64 toInt64() const;  // truncated toward zero; raises when out of range
    double toDouble() const;
    QDateTime dateTime() const;  // zoned types only
    QVariant variant() const;

    // Stores a value given as text, integer, double, QDateTime or QTime; raises when it does not
    // convert, before changing the data.
    void store(const QVariant& value) const;

private:
    bool isZoned() const;
    TInt128 integerValue() const;
    QString decFloatText() const;
    void storeText(const QString& text) const;
    void storeDateTime(const QDateTime& value) const;
    void storeInt128(const TDecimalText& number) const;

    short FType;
    short FScale;
    char* FData;
    IIBClientLibrary* FLib;
};

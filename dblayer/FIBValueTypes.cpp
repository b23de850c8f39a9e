// Firebird 4's value types: INT128 decoded here, DECFLOAT and the zoned types through the client.
#include "FIBValueTypes.h"

#include "fib.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <cstring>

#if FB_API_VER >= 40
#include <firebird/Interface.h>
#endif

namespace {

[[noreturn]] void raiseInvalidConversion() { RaiseClientError(ceInvalidDataConversion); }

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Dates count days from 17 November 1858; times count units of 1/10000 second.
const QDate kDateBase(1858, 11, 17);

// A wall-clock time with the client's 1/10000 second units; the zone as the client names it.
struct TZonedFields {
    QDate date;  // invalid for a time of day
    unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
    QString zone;

    QTime time() const
    {
        return QTime(static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds),
                     static_cast<int>(fractions / 10));
    }
};

QString secondsText(const TZonedFields& f)
{
    QString text = QStringLiteral("%1:%2:%3").arg(f.hours, 2, 10, QLatin1Char('0')).arg(f.minutes, 2, 10, QLatin1Char('0'))
                       .arg(f.seconds, 2, 10, QLatin1Char('0'));
    if (f.fractions % 10 != 0)
        text += QStringLiteral(".%1").arg(f.fractions, 4, 10, QLatin1Char('0'));
    else if (f.fractions != 0)
        text += QStringLiteral(".%1").arg(f.fractions / 10, 3, 10, QLatin1Char('0'));
    return text;
}

// "+03:00" for an offset of 180 minutes.
QString offsetName(int offsetSeconds)
{
    const int minutes = qAbs(offsetSeconds) / 60;
    return QStringLiteral("%1%2:%3").arg(offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The zone a QDateTime carries, named as the client names zones: a region by its name, anything
// else (UTC, an offset, the machine's local time) by its offset at that moment.
QString zoneNameOf(const QDateTime& value)
{
    if (value.timeSpec() == Qt::TimeZone) {
        const QByteArray id = value.timeZone().id();
        if (!id.startsWith("UTC"))
            return QString::fromLatin1(id);
    }
    return offsetName(value.offsetFromUtc());
}

// "2024-03-01 10:00:00.5 Europe/Moscow", "2024-03-01T10:00:00+03:00", "10:00 -05:00", or a text
// without a zone, which is read as this machine's local time. False when it is none of these.
bool parseZonedText(const QString& text, TZonedFields& f)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(?:(\d{4}-\d{1,2}-\d{1,2})(?:[T ]+|$))?(?:(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,4}))?)?)?\s*(\S*)\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(2).isEmpty()))
        return false;
    if (!m.captured(1).isEmpty()) {
        f.date = QDate::fromString(m.captured(1), QStringLiteral("yyyy-M-d"));
        if (!f.date.isValid())
            return false;
    }
    f.hours = m.captured(2).toUInt();
    f.minutes = m.captured(3).toUInt();
    f.seconds = m.captured(4).toUInt();
    f.fractions = m.captured(5).leftJustified(4, QLatin1Char('0')).toUInt();
    if (f.hours > 23 || f.minutes > 59 || f.seconds > 59)
        return false;
    f.zone = m.captured(6);
    if (f.zone == QLatin1String("Z"))
        f.zone = QStringLiteral("+00:00");
    if (f.zone.isEmpty()) {
        const QDateTime local(f.date.isValid() ? f.date : QDate::currentDate(), f.time());
        f.zone = offsetName(local.offsetFromUtc());
    }
    return true;
}

TZonedFields fieldsOf(const QDateTime& value)
{
    TZonedFields f;
    const QTime time = value.time();
    f.date = value.date();
    f.hours = static_cast<unsigned>(time.hour());
    f.minutes = static_cast<unsigned>(time.minute());
    f.seconds = static_cast<unsigned>(time.second());
    f.fractions = static_cast<unsigned>(time.msec()) * 10;
    f.zone = zoneNameOf(value);
    return f;
}

// The Qt zone of a zone name: an offset zone for "+03:00", else the region (invalid when Qt does
// not know it).
QTimeZone zoneOfName(const QString& name)
{
    static const QRegularExpression offsetPattern(QStringLiteral(R"(^([+-])(\d{1,2}):(\d{2})$)"));
    const QRegularExpressionMatch m = offsetPattern.match(name);
    if (!m.hasMatch())
        return QTimeZone(name.toLatin1());
    const int seconds = (m.captured(2).toInt() * 60 + m.captured(3).toInt()) * 60;
    return QTimeZone(m.captured(1) == QLatin1String("-") ? -seconds : seconds);
}

// The QDateTime of a zoned value: its wall clock in its zone. A region Qt does not know (or
// whose rules differ from the client's at that moment) becomes the offset the client applied.
QDateTime zonedDateTime(const TZonedFields& f, const QDateTime& utc)
{
    constexpr qint64 kDay = 86400;
    const QDateTime wallClockAsUtc(f.date.isValid() ? f.date : utc.date(), f.time(), QTimeZone::utc());
    qint64 shift = utc.secsTo(wallClockAsUtc);
    const QTimeZone zone = zoneOfName(f.zone);
    if (f.date.isValid()) {
        if (zone.isValid() && zone.offsetFromUtc(utc) == shift)
            return utc.toTimeZone(zone);
        return utc.toTimeZone(QTimeZone(static_cast<int>(shift)));
    }
    // A time of day has no date of its own: its shift is known modulo a day only.
    if (zone.isValid() && (zone.offsetFromUtc(utc) - shift) % kDay == 0)
        return utc.toTimeZone(zone);
    shift = (shift % kDay + kDay) % kDay;
    return utc.toTimeZone(QTimeZone(static_cast<int>(shift > 14 * 3600 ? shift - kDay : shift)));
}

#if FB_API_VER >= 40

// The client's utility interface with a status of its own for one conversion.
class TClientUtil {
public:
    explicit TClientUtil(IIBClientLibrary* lib) : TClientUtil(masterOf(lib)) {}
    ~TClientUtil() { FStatus->dispose(); }
    TClientUtil(const TClientUtil&) = delete;
    TClientUtil& operator=(const TClientUtil&) = delete;

    Firebird::IUtil* operator->() const { return FUtil; }
    Firebird::CheckStatusWrapper* status() { return &FWrapper; }
    // Raises when the last call failed (also when an older client lacks the method).
    void check() const
    {
        if (FWrapper.getState() & Firebird::IStatus::STATE_ERRORS)
            raiseInvalidConversion();
    }

private:
    explicit TClientUtil(Firebird::IMaster* master)
        : FUtil(master->getUtilInterface()), FStatus(master->getStatus()), FWrapper(FStatus) {}

    static Firebird::IMaster* masterOf(IIBClientLibrary* lib)
    {
        auto* master = lib != nullptr ? static_cast<Firebird::IMaster*>(lib->fb_get_master_interface()) : nullptr;
        if (master == nullptr)
            raiseInvalidConversion();
        return master;
    }

    Firebird::IUtil* FUtil;
    Firebird::IStatus* FStatus;
    Firebird::CheckStatusWrapper FWrapper;
};

// DECFLOAT(16) or (34) through the client's codec of that width.
template <class Value, class Codec>
QString decFloatTextBy(TClientUtil& util, Codec* codec, const char* data)
{
    util.check();
    Value value;
    std::memcpy(&value, data, sizeof value);
    char buffer[64] = {};
    codec->toString(util.status(), &value, sizeof buffer, buffer);
    util.check();
    return QString::fromLatin1(buffer);
}

template <class Value, class Codec>
void storeDecFloatBy(TClientUtil& util, Codec* codec, char* data, const QByteArray& text)
{
    util.check();
    Value value;
    codec->fromString(util.status(), text.constData(), &value);
    util.check();
    std::memcpy(data, &value, sizeof value);
}

QString decFloatText(IIBClientLibrary* lib, short type, const char* data)
{
    TClientUtil util(lib);
    if (type == SQL_DEC16)
        return decFloatTextBy<FB_DEC16>(util, util->getDecFloat16(util.status()), data);
    return decFloatTextBy<FB_DEC34>(util, util->getDecFloat34(util.status()), data);
}

void storeDecFloatText(IIBClientLibrary* lib, short type, char* data, const QString& text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty() || QString::fromLatin1(latin) != text.trimmed())
        raiseInvalidConversion();
    TClientUtil util(lib);
    if (type == SQL_DEC16)
        storeDecFloatBy<FB_DEC16>(util, util->getDecFloat16(util.status()), data, latin);
    else
        storeDecFloatBy<FB_DEC34>(util, util->getDecFloat34(util.status()), data, latin);
}

// The moment in UTC that a zoned value stores, decoded here as for the plain types.
QDateTime utcOf(ISC_DATE date, ISC_TIME time)
{
    return QDateTime(kDateBase.addDays(date), QTime(0, 0).addMSecs(static_cast<int>(time / 10)), QTimeZone::utc());
}

// The client resolves a region's offset for a time of day on this date.
const QDate kTimeZoneBaseDate(2020, 1, 1);

// The wall clock and zone name of a zoned value, and its moment in UTC.
TZonedFields decodeZoned(IIBClientLibrary* lib, short type, const char* data, QDateTime& utc)
{
    TClientUtil util(lib);
    TZonedFields f;
    char zone[64] = {};
    unsigned y = 0, m = 0, d = 0;
    switch (type) {
    case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX: {
        ISC_TIMESTAMP_TZ_EX ts{};
        std::memcpy(&ts, data, type == SQL_TIMESTAMP_TZ ? sizeof(ISC_TIMESTAMP_TZ) : sizeof ts);
        if (type == SQL_TIMESTAMP_TZ) {
            const ISC_TIMESTAMP_TZ plain{ts.utc_timestamp, ts.time_zone};
            util->decodeTimeStampTz(util.status(), &plain, &y, &m, &d, &f.hours, &f.minutes, &f.seconds, &f.fractions,
                                    sizeof zone, zone);
        } else {
            util->decodeTimeStampTzEx(util.status(), &ts, &y, &m, &d, &f.hours, &f.minutes, &f.seconds, &f.fractions,
                                      sizeof zone, zone);
        }
        utc = utcOf(ts.utc_timestamp.timestamp_date, ts.utc_timestamp.timestamp_time);
        f.date = QDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
        break;
    }
    default: {
        ISC_TIME_TZ_EX t{};
        std::memcpy(&t, data, type == SQL_TIME_TZ ? sizeof(ISC_TIME_TZ) : sizeof t);
        if (type == SQL_TIME_TZ) {
            const ISC_TIME_TZ plain{t.utc_time, t.time_zone};
            util->decodeTimeTz(util.status(), &plain, &f.hours, &f.minutes, &f.seconds, &f.fractions, sizeof zone, zone);
        } else {
            util->decodeTimeTzEx(util.status(), &t, &f.hours, &f.minutes, &f.seconds, &f.fractions, sizeof zone, zone);
        }
        utc = utcOf(static_cast<ISC_DATE>(kDateBase.daysTo(kTimeZoneBaseDate)), t.utc_time);
        break;
    }
    }
    util.check();
    f.zone = QString::fromLatin1(zone);
    return f;
}

void encodeZoned(IIBClientLibrary* lib, short type, char* data, const TZonedFields& f)
{
    const bool timeStamp = type == SQL_TIMESTAMP_TZ || type == SQL_TIMESTAMP_TZ_EX;
    if (timeStamp && !f.date.isValid())
        raiseInvalidConversion();
    TClientUtil util(lib);
    const QByteArray zone = f.zone.toLatin1();
    if (timeStamp) {
        ISC_TIMESTAMP_TZ_EX ts{};
        ISC_TIMESTAMP_TZ plain{};
        util->encodeTimeStampTz(util.status(), &plain, static_cast<unsigned>(f.date.year()), static_cast<unsigned>(f.date.month()),
                                static_cast<unsigned>(f.date.day()), f.hours, f.minutes, f.seconds, f.fractions, zone.constData());
        util.check();
        ts.utc_timestamp = plain.utc_timestamp;
        ts.time_zone = plain.time_zone;
        const QDateTime wallClock(f.date, f.time(), QTimeZone::utc());
        ts.ext_offset = static_cast<ISC_SHORT>(utcOf(ts.utc_timestamp.timestamp_date, ts.utc_timestamp.timestamp_time).secsTo(wallClock) / 60);
        std::memcpy(data, &ts, type == SQL_TIMESTAMP_TZ ? sizeof plain : sizeof ts);
    } else {
        ISC_TIME_TZ_EX t{};
        ISC_TIME_TZ plain{};
        util->encodeTimeTz(util.status(), &plain, f.hours, f.minutes, f.seconds, f.fractions, zone.constData());
        util.check();
        t.utc_time = plain.utc_time;
        t.time_zone = plain.time_zone;
        std::memcpy(data, &t, type == SQL_TIME_TZ ? sizeof plain : sizeof t);
    }
}

#else

// Built against an older client header: such a client never hands these types.
QString decFloatText(IIBClientLibrary*, short, const char*) { raiseInvalidConversion(); }
void storeDecFloatText(IIBClientLibrary*, short, char*, const QString&) { raiseInvalidConversion(); }
TZonedFields decodeZoned(IIBClientLibrary*, short, const char*, QDateTime&) { raiseInvalidConversion(); }
void encodeZoned(IIBClientLibrary*, short, char*, const TZonedFields&) { raiseInvalidConversion(); }

#endif

}  // namespace

bool IsFb4ValueType(short type)
{
    switch (type) {
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34:
    case SQL_TIME_TZ: case SQL_TIME_TZ_EX: case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX:
        return true;
    default:
        return false;
    }
}

int Fb4ValueSize(short type)
{
    switch (type) {
    case SQL_INT128: case SQL_DEC34: return 16;
    case SQL_DEC16: case SQL_TIME_TZ: case SQL_TIME_TZ_EX: return 8;
    case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX: return 12;
    default: return 0;
    }
}

// ---------------------------------------------------------------- decimal texts

bool TDecimalText::parse(const QString& text, TDecimalText& result)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    TDecimalText number;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        number.negative = t[i++] == QLatin1Char('-');
    int fractionDigits = 0;
    bool inFraction = false;
    for (; i < t.size(); ++i) {
        if (isAsciiDigit(t[i])) {
            number.digits += t[i];
            fractionDigits += inFraction ? 1 : 0;
        } else if (t[i] == QLatin1Char('.') && !inFraction) {
            inFraction = true;
        } else {
            break;
        }
    }
    if (number.digits.isEmpty())
        return false;
    if (i < t.size()) {
        // An exponent: "e" or "E", an optional sign and at least one digit, nothing after.
        if (t[i] != QLatin1Char('e') && t[i] != QLatin1Char('E'))
            return false;
        static const QRegularExpression exponentPattern(QStringLiteral(R"(^[+-]?[0-9]{1,6}$)"));
        const QString exponent = t.mid(i + 1);
        if (!exponentPattern.match(exponent).hasMatch())
            return false;
        number.exponent = exponent.toInt();
    }
    number.exponent -= fractionDigits;
    while (number.digits.size() > 1 && number.digits.front() == QLatin1Char('0'))
        number.digits.remove(0, 1);
    result = number;
    return true;
}

bool TDecimalText::toScaled(int scale, bool truncate, TInt128& result) const
{
    const qsizetype shift = static_cast<qsizetype>(exponent) - scale;
    const qsizetype kept = shift >= 0 ? digits.size() : digits.size() + shift;
    TInt128 value;
    const int sign = negative ? -1 : 1;
    // Digits beyond the 39th overflow at once: the first digit is not 0 unless it is the only one.
    for (qsizetype i = 0; i < kept; ++i)
        if (!value.multiplyByPowerOfTen(1) || !value.add(sign * (digits[i].unicode() - u'0')))
            return false;
    if (shift > 0 && !value.multiplyByPowerOfTen(static_cast<int>(shift)))
        return false;
    if (!truncate && kept >= 0 && kept < digits.size() && digits[kept] >= QLatin1Char('5') && !value.add(sign))
        return false;
    result = value;
    return true;
}

QString Int128ToText(TInt128 value, int scale)
{
    const bool negative = value.isNegative();
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<char16_t>(qAbs(value.divideByTen()))));
    } while (value != TInt128());
    if (scale > 0 && digits != QLatin1String("0"))
        digits += QString(scale, QLatin1Char('0'));
    if (scale < 0) {
        const int fraction = -scale;
        if (digits.size() <= fraction)
            digits.prepend(QString(fraction - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - fraction, QLatin1Char('.'));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

// ---------------------------------------------------------------- TFb4Value

bool TFb4Value::isZoned() const
{
    return FType == SQL_TIME_TZ || FType == SQL_TIME_TZ_EX || FType == SQL_TIMESTAMP_TZ || FType == SQL_TIMESTAMP_TZ_EX;
}

TInt128 TFb4Value::integerValue() const { return TInt128::fromBytes(FData); }

QString TFb4Value::decFloatText() const { return ::decFloatText(FLib, FType, FData); }

QString TFb4Value::text() const
{
    switch (FType) {
    case SQL_INT128:
        return Int128ToText(integerValue(), FScale);
    case SQL_DEC16: case SQL_DEC34:
        return decFloatText();
    default: {
        QDateTime utc;
        const TZonedFields f = decodeZoned(FLib, FType, FData, utc);
        const QString time = secondsText(f) + QLatin1Char(' ') + f.zone;
        return f.date.isValid() ? f.date.toString(Qt::ISODate) + QLatin1Char(' ') + time : time;
    }
    }
}

qint64 TFb4Value::toInt64() const
{
    TInt128 value;
    if (FType == SQL_INT128) {
        value = integerValue();
        if (FScale < 0)
            value = value.dividedByPowerOfTen(-FScale);
        else if (!value.multiplyByPowerOfTen(FScale))
            raiseInvalidConversion();
    } else {
        TDecimalText number;
        if (isZoned() || !TDecimalText::parse(decFloatText(), number) || !number.toScaled(0, true, value))
            raiseInvalidConversion();
    }
    if (!value.fitsInt64())
        raiseInvalidConversion();
    return value.toInt64();
}

double TFb4Value::toDouble() const
{
    if (isZoned())
        raiseInvalidConversion();
    // The exact decimal text rounds once, to the nearest double, at any scale.
    bool ok = false;
    const double d = text().toDouble(&ok);
    if (!ok)
        raiseInvalidConversion();
    return d;
}

QDateTime TFb4Value::dateTime() const
{
    if (!isZoned())
        raiseInvalidConversion();
    QDateTime utc;
    const TZonedFields f = decodeZoned(FLib, FType, FData, utc);
    return zonedDateTime(f, utc);
}

QVariant TFb4Value::variant() const
{
    if (isZoned())
        return dateTime();
    return text();
}

void TFb4Value::storeInt128(const TDecimalText& number) const
{
    TInt128 value;
    if (!number.toScaled(FScale, false, value))
        raiseInvalidConversion();
    value.toBytes(FData);
}

void TFb4Value::storeText(const QString& text) const
{
    if (isZoned()) {
        TZonedFields f;
        if (!parseZonedText(text, f))
            raiseInvalidConversion();
        encodeZoned(FLib, FType, FData, f);
    } else if (FType == SQL_INT128) {
        TDecimalText number;
        if (!TDecimalText::parse(text, number))
            raiseInvalidConversion();
        storeInt128(number);
    } else {
        storeDecFloatText(FLib, FType, FData, text);
    }
}

void TFb4Value::storeDateTime(const QDateTime& value) const
{
    if (!value.isValid())
        raiseInvalidConversion();
    const TZonedFields f = fieldsOf(value);
    try {
        encodeZoned(FLib, FType, FData, f);
    } catch (const EFIBClientError&) {
        // A region the client does not know: the moment is kept through its offset.
        if (f.zone.startsWith(QLatin1Char('+')) || f.zone.startsWith(QLatin1Char('-')))
            throw;
        TZonedFields byOffset = f;
        byOffset.zone = offsetName(value.offsetFromUtc());
        encodeZoned(FLib, FType, FData, byOffset);
    }
}

void TFb4Value::store(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        if (!isZoned())
            raiseInvalidConversion();
        storeDateTime(value.toDateTime());
        break;
    case QMetaType::QTime: {
        if (FType != SQL_TIME_TZ && FType != SQL_TIME_TZ_EX)
            raiseInvalidConversion();
        storeDateTime(QDateTime(QDate::currentDate(), value.toTime()));
        break;
    }
    case QMetaType::QDate:
        raiseInvalidConversion();
    case QMetaType::Double: case QMetaType::Float:
        // The shortest text that reads back as the same double: no further rounding.
        storeText(QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        break;
    case QMetaType::Bool:
        storeText(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
        break;
    default:
        if (!value.canConvert<QString>())
            raiseInvalidConversion();
        storeText(value.toString());
        break;
    }
}

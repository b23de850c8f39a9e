// TFIBXSQLVAR: one parameter or result column of a statement, its buffers and the conversions
// of its value to and from Qt types.
#include "FIBQuery.h"

#include "FIBValueTypes.h"
#include "IB_Intf.h"
#include "fib.h"

#include <QtNumeric>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Powers of ten for scaled numbers, indexed by scale + 18.
constexpr int kMaxScale = 18;
constexpr double kPowersOfTen[2 * kMaxScale + 1] = {
    1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6,
    1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18};

constexpr qint64 kIntegerPowersOfTen[kMaxScale + 1] = {
    1LL,           10LL,           100LL,           1000LL,           10000LL,
    100000LL,      1000000LL,      10000000LL,      100000000LL,      1000000000LL,
    10000000000LL, 100000000000LL, 1000000000000LL, 10000000000000LL, 100000000000000LL,
    1000000000000000LL, 10000000000000000LL, 100000000000000000LL, 1000000000000000000LL};

double powerOfTen(int scale) { return kPowersOfTen[qBound(-kMaxScale, scale, kMaxScale) + kMaxScale]; }

// The stored integer of a scaled number reduced to its integral part, truncated toward zero.
// Exact integer division: multiplying by an inexact power of ten (1e-6 is slightly below a
// millionth) would turn 1.000000 into 0.
qint64 truncateScaled(qint64 value, int scale)
{
    if (scale >= 0)
        return static_cast<qint64>(static_cast<quint64>(value) * static_cast<quint64>(kIntegerPowersOfTen[qMin(scale, kMaxScale)]));
    return -scale > kMaxScale ? 0 : value / kIntegerPowersOfTen[-scale];
}

double scaledToDouble(qint64 value, int scale)
{
    if (scale < 0 && -scale <= kMaxScale)
        return static_cast<double>(static_cast<long double>(value) / static_cast<long double>(kIntegerPowersOfTen[-scale]));
    return static_cast<double>(static_cast<long double>(value) * static_cast<long double>(powerOfTen(scale)));
}

// The stored integer as a decimal text with its scale: -399 at scale -2 is "-3.99".
QString scaledToText(qint64 value, int scale)
{
    if (scale >= 0)
        return QString::number(truncateScaled(value, scale));
    const bool negative = value < 0;
    QString digits = QString::number(static_cast<quint64>(negative ? -static_cast<quint64>(value) : value));
    const int fraction = -scale;
    if (digits.size() <= fraction)
        digits.prepend(QString(fraction - digits.size() + 1, QLatin1Char('0')));
    digits.insert(digits.size() - fraction, QLatin1Char('.'));
    return negative ? QLatin1Char('-') + digits : digits;
}

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The runtime's integer conversion: optional leading blanks, optional sign, decimal digits, or
// hexadecimal after "$" or "0x". False on anything else or on overflow of the given range.
bool parseInteger(const QString& text, qint64 min, qint64 max, qint64& result)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    int base = 10;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const quint64 limit = negative ? static_cast<quint64>(-(min + 1)) + 1 : static_cast<quint64>(max);
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = text[i].unicode() < 128 ? QChar(text[i]).digitValue() : -1;
        int d = digit;
        if (base == 16 && d < 0) {
            const char16_t c = text[i].unicode() | 0x20;
            d = (c >= u'a' && c <= u'f') ? c - u'a' + 10 : -1;
        }
        if (d < 0 || d >= base)
            return false;
        if (value > (limit - static_cast<quint64>(d)) / static_cast<quint64>(base))
            return false;
        value = value * static_cast<quint64>(base) + static_cast<quint64>(d);
    }
    result = negative ? static_cast<qint64>(0 - value) : static_cast<qint64>(value);
    return true;
}

// A decimal text ("-3.99", " 12", "1e3" is refused) as an integer scaled by 10^-scale, rounded
// half away from zero at the last kept digit. False when it is no number or does not fit.
bool parseScaled(const QString& text, int scale, qint64& result)
{
    const QString t = text.trimmed();
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? t : t.left(dot);
    QString fraction = dot < 0 ? QString() : t.mid(dot + 1);
    for (QChar c : fraction)
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    const int keep = qMax(0, -scale);
    const bool roundUp = fraction.size() > keep && fraction[keep] >= QLatin1Char('5');
    fraction = fraction.left(keep).leftJustified(keep, QLatin1Char('0'));
    if (whole.isEmpty() || whole == QLatin1String("-") || whole == QLatin1String("+"))
        whole += QLatin1Char('0');
    qint64 value = 0;
    if (!parseInteger(whole + fraction, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), value))
        return false;
    if (roundUp) {
        const bool negative = whole.startsWith(QLatin1Char('-'));
        if (value == (negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max()))
            return false;
        value += negative ? -1 : 1;
    }
    if (scale > 0) {
        // Positive scales store value / 10^scale; only exact multiples are representable.
        if (scale > kMaxScale || value % kIntegerPowersOfTen[scale] != 0)
            return false;
        value /= kIntegerPowersOfTen[scale];
    }
    result = value;
    return true;
}

// Dates count days from 17 November 1858; times count units of 1/10000 second.
const QDate kDateBase(1858, 11, 17);

QDate decodeDate(ISC_DATE date) { return kDateBase.addDays(date); }
QTime decodeTime(ISC_TIME time) { return QTime(0, 0).addMSecs(static_cast<int>(time / (ISC_TIME_SECONDS_PRECISION / 1000))); }
ISC_DATE encodeDate(const QDate& date) { return static_cast<ISC_DATE>(kDateBase.daysTo(date)); }
ISC_TIME encodeTime(const QTime& time)
{
    return static_cast<ISC_TIME>(QTime(0, 0).msecsTo(time)) * (ISC_TIME_SECONDS_PRECISION / 1000);
}

// DATE, TIME and TIMESTAMP carry no zone: they are read as wall-clock fields in a QDateTime of
// UTC spec, which no local zone can shift, make ambiguous or put into a daylight-saving gap.
QDateTime zoneless(const QDate& date, const QTime& time) { return QDateTime(date, time, Qt::UTC); }

// A date, a time, or a date and a time joined by "T" or a space, in ISO form, as wall-clock
// fields (no local zone involved); false when the text is none of these. What is absent stays null.
bool parseWallClock(const QString& text, QDate& date, QTime& time)
{
    constexpr int kDateLength = 10;
    date = QDate::fromString(text.left(kDateLength), Qt::ISODate);
    if (!date.isValid()) {
        time = QTime::fromString(text, Qt::ISODateWithMs);
        return time.isValid();
    }
    time = QTime();
    if (text.size() == kDateLength)
        return true;
    const QChar separator = text.at(kDateLength);
    if (separator != QLatin1Char('T') && separator != QLatin1Char(' '))
        return false;
    time = QTime::fromString(text.mid(kDateLength + 1), Qt::ISODateWithMs);
    return time.isValid();
}

QString timeText(const QTime& time)
{
    return time.toString(time.msec() != 0 ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}

template <typename T>
T readAs(const char* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

template <typename T>
void writeAs(char* data, T value)
{
    std::memcpy(data, &value, sizeof value);
}

constexpr int kCharsetUnicodeFss = 3;
constexpr int kCharsetUtf8 = 4;
}  // namespace

// ================================================================ TFIBXSQLVAR

TFIBXSQLVAR::TFIBXSQLVAR(TFIBXSQLDA* parent, TFIBQuery* query) : FQuery(query), FParent(parent) {}

TFIBXSQLVAR::~TFIBXSQLVAR() = default;

bool TFIBXSQLVAR::IsParam() const { return FParent != nullptr && FParent->IsParams(); }

QString TFIBXSQLVAR::SqlName() const { return decodeText(FXSQLVAR->sqlname, FXSQLVAR->sqlname_length); }
QString TFIBXSQLVAR::AliasName() const { return decodeText(FXSQLVAR->aliasname, FXSQLVAR->aliasname_length); }
QString TFIBXSQLVAR::RelationName() const { return decodeText(FXSQLVAR->relname, FXSQLVAR->relname_length); }

int TFIBXSQLVAR::CharacterSet() const
{
    const short type = SQLType();
    return (type == SQL_TEXT || type == SQL_VARYING) ? (FXSQLVAR->sqlsubtype & 0xFF) : 0;
}

bool TFIBXSQLVAR::IsNumericType(int code)
{
    switch (code & ~1) {
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_LONG: case SQL_SHORT: case SQL_D_FLOAT: case SQL_INT64:
        return true;
    default:
        return false;
    }
}

bool TFIBXSQLVAR::IsRealType(int code, int scale)
{
    switch (code & ~1) {
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT:
        return true;
    case SQL_LONG: case SQL_SHORT: case SQL_INT64:
        return scale != 0;
    default:
        return false;
    }
}

bool TFIBXSQLVAR::IsDateTimeType(int code)
{
    const int type = code & ~1;
    return type == SQL_TIMESTAMP || type == SQL_TYPE_TIME || type == SQL_TYPE_DATE;
}

bool TFIBXSQLVAR::isUnicode() const { return FQuery == nullptr || FQuery->IsUnicodeConnection(); }

bool TFIBXSQLVAR::trimCharFields() const { return FQuery != nullptr && (FQuery->Options() & qoTrimCharFields); }

QString TFIBXSQLVAR::decodeText(const char* data, int length) const
{
    const QByteArrayView bytes(data, qMax(0, length));
    return isUnicode() ? QString::fromUtf8(bytes) : QString::fromLocal8Bit(bytes);
}

QByteArray TFIBXSQLVAR::encodeText(const QString& text) const
{
    return isUnicode() ? text.toUtf8() : text.toLocal8Bit();
}

[[noreturn]] void TFIBXSQLVAR::raiseInvalidConversion() const { RaiseClientError(ceInvalidDataConversion); }

TFb4Value TFIBXSQLVAR::fb4Value() const
{
    return TFb4Value(SQLType(), Scale(), FXSQLVAR->sqldata, FQuery != nullptr ? &FQuery->ClientLibrary() : nullptr);
}

// ---------------------------------------------------------------- description and buffers

void TFIBXSQLVAR::setReference(const TSQLReference& ref)
{
    FIsMacro = ref.isMacro;
    FQuoted = ref.quoted;
    FInWhereClause = ref.inWhereClause;
    FCanForceIsNull = ref.canForceIsNull;
    FBeginPosInText = ref.beginPos;
    FEndPosInText = ref.endPos;
}

void TFIBXSQLVAR::takeServerDescription()
{
    FSrvSQLType = static_cast<short>(FXSQLVAR->sqltype & ~1);
    FSrvSQLLen = FXSQLVAR->sqllen;
    FSrvSQLScale = FXSQLVAR->sqlscale;
    FSrvSQLSubType = FXSQLVAR->sqlsubtype;
    FInitialized = true;
    allocateBuffers();
}

void TFIBXSQLVAR::allocateBuffers()
{
    const short type = SQLType();
    const int len = qMax<int>(0, FXSQLVAR->sqllen);
    int size = 0;
    switch (type) {
    case SQL_VARYING:
        size = len + 2;
        break;
    case SQL_TEXT:
        size = qMax(len, 1);
        break;
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_LONG: case SQL_SHORT: case SQL_TIMESTAMP: case SQL_BLOB:
    case SQL_D_FLOAT: case SQL_ARRAY: case SQL_QUAD: case SQL_TYPE_TIME: case SQL_TYPE_DATE: case SQL_INT64:
    case SQL_BOOLEAN_16:
        size = len;
        break;
    case SQL_NULL:
        break;
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34:
    case SQL_TIME_TZ: case SQL_TIME_TZ_EX: case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX:
        size = qMax(len, Fb4ValueSize(type));
        break;
    default:
        if (!(type == 0 && IsParam()))
            RaiseClientError(ceUnknownSQLDataType, {static_cast<int>(type)});
        break;
    }
    // Room for the widest value a writer stores, whatever length the description claims.
    FDataBuffer.assign(static_cast<size_t>(size > 0 ? qMax(size, 8) : 0), '\0');
    FXSQLVAR->sqldata = size > 0 ? FDataBuffer.data() : nullptr;
    FNullIndicator = 0;
    FXSQLVAR->sqlind = (FXSQLVAR->sqltype & 1) ? &FNullIndicator : nullptr;
}

void TFIBXSQLVAR::takeDescriptionOf(const TFIBXSQLVAR& other)
{
    const XSQLVAR& src = *other.FXSQLVAR;
    XSQLVAR& dst = *FXSQLVAR;
    const bool same = dst.sqltype == src.sqltype && dst.sqlscale == src.sqlscale
                      && dst.sqlsubtype == src.sqlsubtype && dst.sqllen == src.sqllen && FInitialized;
    if (same)
        return;
    // Keep the value across the new description: it is set again, converted to the new type.
    if (!FIsDefferedSetting && FInitialized && SQLType() != 0 && !IsNull() && (!IsBlob() || FHasStream)) {
        FDeferredValue = AsVariant();
        FIsDefferedSetting = true;
    }
    dst.sqltype = src.sqltype;
    dst.sqlscale = src.sqlscale;
    dst.sqlsubtype = src.sqlsubtype;
    dst.sqllen = src.sqllen;
    FSrvSQLType = other.FSrvSQLType;
    FSrvSQLLen = other.FSrvSQLLen;
    FSrvSQLScale = other.FSrvSQLScale;
    FSrvSQLSubType = other.FSrvSQLSubType;
    FInitialized = true;
    allocateBuffers();
    FNullIndicator = -1;
}

void TFIBXSQLVAR::applyDeferredSetting()
{
    if (!FIsDefferedSetting || SQLType() == 0)
        return;
    const QVariant value = FDeferredValue;
    FIsDefferedSetting = false;
    FDeferredValue = QVariant();
    setAsVariant(value);
}

// ---------------------------------------------------------------- null

bool TFIBXSQLVAR::IsNull() const
{
    if (FIsMacro || FHasStream)
        return false;
    if (FIsDefferedSetting)
        return FDeferredValue.isNull();
    if (!IsParam() && FQuery != nullptr && FQuery->RecordCount() == 0 && FQuery->SQLType() != SQLExecProcedure)
        return true;
    if (IsNullable() && FXSQLVAR->sqlind != nullptr && *FXSQLVAR->sqlind == -1)
        return true;
    return FXSQLVAR->sqltype < 2;
}

void TFIBXSQLVAR::setIsNull(bool value)
{
    if (value) {
        setAsVariant(QVariant());
    } else if (FXSQLVAR->sqlind != nullptr) {
        *FXSQLVAR->sqlind = 0;
    }
}

// ---------------------------------------------------------------- readers

qint64 TFIBXSQLVAR::scaledInteger() const
{
    switch (SQLType()) {
    case SQL_SHORT: return readAs<qint16>(FXSQLVAR->sqldata);
    case SQL_LONG: return readAs<qint32>(FXSQLVAR->sqldata);
    case SQL_INT64: return readAs<qint64>(FXSQLVAR->sqldata);
    case SQL_BOOLEAN_16: return readAs<qint16>(FXSQLVAR->sqldata);
    default: return 0;
    }
}

// A value not yet in a server type (set before the description, or a macro's text), converted.
QVariant TFIBXSQLVAR::pendingAs(int typeId) const
{
    QVariant value = AsVariant();
    if (!value.convert(QMetaType(typeId)))
        raiseInvalidConversion();
    return value;
}

// A text entry read by the runtime's integer conversion within [min, max].
qint64 TFIBXSQLVAR::textAsInteger(qint64 min, qint64 max) const
{
    qint64 value = 0;
    if (!parseInteger(AsWideString(), min, max, value))
        raiseInvalidConversion();
    return value;
}

int TFIBXSQLVAR::AsInteger() const
{
    if (IsNull())
        return 0;
    if (hasPendingValue())
        return static_cast<int>(AsInt64());
    switch (SQLType()) {
    case SQL_TEXT: case SQL_VARYING:
        return static_cast<int>(textAsInteger(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT:
    case SQL_BOOLEAN_16: case SQL_NULL:
        return static_cast<int>(AsInt64());  // the low 32 bits
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34: {
        const qint64 value = AsInt64();
        if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
            raiseInvalidConversion();
        return static_cast<int>(value);
    }
    default:
        raiseInvalidConversion();
    }
}

qint64 TFIBXSQLVAR::AsInt64() const
{
    if (IsNull())
        return 0;
    if (hasPendingValue())
        return pendingAs(QMetaType::LongLong).toLongLong();
    const short type = SQLType();
    switch (type) {
    case SQL_TEXT: case SQL_VARYING:
        return textAsInteger(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT: {
        const double d = std::trunc(AsDouble());
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            raiseInvalidConversion();
        return static_cast<qint64>(d);
    }
    case SQL_SHORT: case SQL_LONG: case SQL_INT64:
        return truncateScaled(scaledInteger(), Scale());
    case SQL_BOOLEAN_16:
        return scaledInteger();
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34:
        return fb4Value().toInt64();
    default:
        if (type >= SQL_NULL)
            return 0;
        raiseInvalidConversion();
    }
}

double TFIBXSQLVAR::AsDouble() const
{
    if (IsNull())
        return 0;
    if (hasPendingValue())
        return pendingAs(QMetaType::Double).toDouble();
    switch (SQLType()) {
    case SQL_DOUBLE: case SQL_D_FLOAT: return readAs<double>(FXSQLVAR->sqldata);
    case SQL_FLOAT: return readAs<float>(FXSQLVAR->sqldata);
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: return scaledToDouble(scaledInteger(), Scale());
    case SQL_BOOLEAN_16: return static_cast<double>(scaledInteger());
    case SQL_NULL: return 0;
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34: return fb4Value().toDouble();
    case SQL_TEXT: case SQL_VARYING: {
        bool ok = false;
        const double d = AsWideString().trimmed().toDouble(&ok);
        if (!ok)
            raiseInvalidConversion();
        return d;
    }
    default:
        raiseInvalidConversion();
    }
}

bool TFIBXSQLVAR::AsBoolean() const
{
    if (IsNull())
        return false;
    if (hasPendingValue())
        return pendingAs(QMetaType::LongLong).toLongLong() == 1;
    switch (SQLType()) {
    case SQL_LONG: case SQL_SHORT: case SQL_BOOLEAN_16: case SQL_INT64:
        return scaledInteger() == 1;
    default:
        raiseInvalidConversion();
    }
}

QString TFIBXSQLVAR::AsWideString() const
{
    if (FIsMacro || FIsDefferedSetting || IsNull())
        return AsVariant().toString();
    const char* data = FXSQLVAR->sqldata;
    switch (SQLType()) {
    case SQL_TEXT: {
        QString text = decodeText(data, FXSQLVAR->sqllen);
        // A multi-byte CHAR(n) arrives padded to its byte length; n characters are the value.
        const int charset = CharacterSet();
        const int bytesPerChar = charset == kCharsetUtf8 ? 4 : charset == kCharsetUnicodeFss ? 3 : 1;
        const qsizetype chars = FXSQLVAR->sqllen / bytesPerChar;
        while (text.size() > chars && text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        if (trimCharFields())
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
        return text;
    }
    case SQL_VARYING:
        return decodeText(data + 2, qMin<int>(readAs<quint16>(data), FXSQLVAR->sqllen));
    case SQL_SHORT: case SQL_LONG: case SQL_INT64:
        return scaledToText(scaledInteger(), Scale());
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT:
        return QString::number(AsDouble(), 'g', SQLType() == SQL_FLOAT ? 7 : QLocale::FloatingPointShortest);
    case SQL_BOOLEAN_16:
        return scaledInteger() != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case SQL_TYPE_DATE:
        return AsDate().toString(Qt::ISODate);
    case SQL_TYPE_TIME:
        return timeText(AsTime());
    case SQL_TIMESTAMP: {
        const QDateTime dt = AsDateTime();
        return dt.date().toString(Qt::ISODate) + QLatin1Char(' ') + timeText(dt.time());
    }
    case SQL_NULL:
        return QString();
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34:
    case SQL_TIME_TZ: case SQL_TIME_TZ_EX: case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX:
        return fb4Value().text();
    case SQL_BLOB: {
        const QByteArray content = FHasStream ? FStreamValue : readBlob();
        return decodeText(content.constData(), static_cast<int>(content.size()));
    }
    default:
        raiseInvalidConversion();
    }
}

QDateTime TFIBXSQLVAR::AsDateTime() const
{
    if (IsNull())
        return QDateTime();
    if (hasPendingValue()) {
        const QDateTime pending = pendingAs(QMetaType::QDateTime).toDateTime();
        return zoneless(pending.date(), pending.time());
    }
    switch (SQLType()) {
    case SQL_TIMESTAMP: {
        const ISC_TIMESTAMP ts = readAs<ISC_TIMESTAMP>(FXSQLVAR->sqldata);
        return zoneless(decodeDate(ts.timestamp_date), decodeTime(ts.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return zoneless(AsDate(), QTime(0, 0));
    case SQL_TYPE_TIME:
        return zoneless(kDateBase, AsTime());
    case SQL_TIME_TZ: case SQL_TIME_TZ_EX: case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX:
        return fb4Value().dateTime();
    case SQL_TEXT: case SQL_VARYING: {
        QDate date;
        QTime time;
        if (!parseWallClock(AsWideString().trimmed(), date, time))
            raiseInvalidConversion();
        return zoneless(date.isValid() ? date : kDateBase, time.isValid() ? time : QTime(0, 0));
    }
    default:
        raiseInvalidConversion();
    }
}

QDate TFIBXSQLVAR::AsDate() const
{
    if (!IsNull() && SQLType() == SQL_TYPE_DATE)
        return decodeDate(readAs<ISC_DATE>(FXSQLVAR->sqldata));
    return AsDateTime().date();
}

QTime TFIBXSQLVAR::AsTime() const
{
    if (!IsNull() && SQLType() == SQL_TYPE_TIME)
        return decodeTime(readAs<ISC_TIME>(FXSQLVAR->sqldata));
    return AsDateTime().time();
}

ISC_QUAD TFIBXSQLVAR::AsQuad() const
{
    if (IsNull())
        return ISC_QUAD{};
    const short type = SQLType();
    if (type != SQL_BLOB && type != SQL_ARRAY && type != SQL_QUAD)
        raiseInvalidConversion();
    return readAs<ISC_QUAD>(FXSQLVAR->sqldata);
}

QVariant TFIBXSQLVAR::AsVariant() const
{
    if (FIsMacro)
        return FMacroValue;
    if (IsNull())
        return QVariant();
    if (FIsDefferedSetting)
        return FDeferredValue;
    switch (SQLType()) {
    case SQL_TEXT: case SQL_VARYING: return AsWideString();
    case SQL_SHORT: case SQL_LONG:
        return Scale() == 0 ? QVariant(static_cast<int>(scaledInteger())) : QVariant(AsDouble());
    case SQL_INT64: return Scale() == 0 ? QVariant(static_cast<qlonglong>(scaledInteger())) : QVariant(AsDouble());
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT: return AsDouble();
    case SQL_BOOLEAN_16: return scaledInteger() != 0;
    case SQL_TYPE_DATE: return AsDate();
    case SQL_TYPE_TIME: return AsTime();
    case SQL_TIMESTAMP: return AsDateTime();
    case SQL_BLOB:
        if (IsTextBlob())
            return AsWideString();
        return FHasStream ? FStreamValue : readBlob();
    case SQL_ARRAY: case SQL_QUAD: {
        const ISC_QUAD id = AsQuad();
        return QByteArray(reinterpret_cast<const char*>(&id), sizeof id);
    }
    case SQL_NULL: return QVariant();
    case SQL_INT128: case SQL_DEC16: case SQL_DEC34:
    case SQL_TIME_TZ: case SQL_TIME_TZ_EX: case SQL_TIMESTAMP_TZ: case SQL_TIMESTAMP_TZ_EX:
        return fb4Value().variant();
    default: raiseInvalidConversion();
    }
}

// ---------------------------------------------------------------- further typed accessors

QString TCurrency::toString() const { return scaledToText(units, -4); }

QString TBcd::toString() const { return scaledToText(digits, -scale); }

QString TFIBXSQLVAR::decimalText() const
{
    if (IsNull())
        return QStringLiteral("0");
    if (hasPendingValue())
        return AsVariant().toString();
    switch (SQLType()) {
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: return scaledToText(scaledInteger(), Scale());
    case SQL_BOOLEAN_16: return QString::number(scaledInteger());
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT:
        return QString::number(AsDouble(), 'f', QLocale::FloatingPointShortest);
    case SQL_TEXT: case SQL_VARYING: return AsWideString();
    default: raiseInvalidConversion();
    }
}

TCurrency TFIBXSQLVAR::AsCurrency() const
{
    TCurrency value;
    if (!parseScaled(decimalText(), -4, value.units))
        raiseInvalidConversion();
    return value;
}

TBcd TFIBXSQLVAR::AsBcd() const
{
    const QString text = decimalText().trimmed();
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    TBcd value;
    value.scale = dot < 0 ? 0 : static_cast<int>(text.size() - dot - 1);
    if (value.scale > kMaxScale || !parseScaled(text, -value.scale, value.digits))
        raiseInvalidConversion();
    return value;
}

long double TFIBXSQLVAR::AsExtended() const
{
    if (IsNull() || hasPendingValue())
        return AsDouble();
    switch (SQLType()) {
    case SQL_SHORT: case SQL_LONG: case SQL_INT64:
        if (Scale() < 0 && -Scale() <= kMaxScale)
            return static_cast<long double>(scaledInteger()) / static_cast<long double>(kIntegerPowersOfTen[-Scale()]);
        return AsDouble();
    default: return AsDouble();
    }
}

namespace {
constexpr int kCharsetOctets = 1;
constexpr int kGuidBytes = 16;
}  // namespace

QUuid TFIBXSQLVAR::AsGuid() const
{
    if (IsNull())
        return QUuid();
    const short type = SQLType();
    if (!hasPendingValue() && (type == SQL_TEXT || type == SQL_VARYING) && CharacterSet() == kCharsetOctets) {
        const int length = type == SQL_TEXT ? FXSQLVAR->sqllen : readAs<quint16>(FXSQLVAR->sqldata);
        if (length != kGuidBytes)
            raiseInvalidConversion();
        const char* bytes = FXSQLVAR->sqldata + (type == SQL_TEXT ? 0 : 2);
        return QUuid::fromRfc4122(QByteArrayView(bytes, kGuidBytes));
    }
    if (!hasPendingValue() && type != SQL_TEXT && type != SQL_VARYING)
        raiseInvalidConversion();
    const QString text = AsWideString().trimmed();
    const QUuid value = QUuid::fromString(text);
    if (value.isNull() && text != QUuid().toString() && text != QUuid().toString(QUuid::WithoutBraces))
        raiseInvalidConversion();
    return value;
}

void TFIBXSQLVAR::setAsGuid(const QUuid& value)
{
    const short type = SQLType();
    if ((type == SQL_TEXT || type == SQL_VARYING) && CharacterSet() == kCharsetOctets)
        setAsVariant(value.toRfc4122());
    else
        setAsWideString(value.toString());
}

ISC_TIMESTAMP TFIBXSQLVAR::AsTimeStamp() const
{
    if (IsNull())
        return ISC_TIMESTAMP{};
    const QDateTime value = AsDateTime();
    return ISC_TIMESTAMP{encodeDate(value.date()), encodeTime(value.time())};
}

void TFIBXSQLVAR::setAsTimeStamp(const ISC_TIMESTAMP& value)
{
    setAsDateTime(zoneless(decodeDate(value.timestamp_date), decodeTime(value.timestamp_time)));
}

// ---------------------------------------------------------------- writers

void TFIBXSQLVAR::markSet()
{
    if (FXSQLVAR->sqlind != nullptr)
        *FXSQLVAR->sqlind = 0;
    FModified = true;
}

void TFIBXSQLVAR::storeScaledInteger(qint64 value)
{
    switch (SQLType()) {
    case SQL_SHORT: case SQL_BOOLEAN_16:
        if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
            raiseInvalidConversion();
        writeAs<qint16>(FXSQLVAR->sqldata, static_cast<qint16>(value));
        break;
    case SQL_LONG:
        if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
            raiseInvalidConversion();
        writeAs<qint32>(FXSQLVAR->sqldata, static_cast<qint32>(value));
        break;
    case SQL_INT64:
        writeAs<qint64>(FXSQLVAR->sqldata, value);
        break;
    default:
        raiseInvalidConversion();
    }
    markSet();
}

void TFIBXSQLVAR::storeText(const QByteArray& bytes)
{
    const short type = SQLType();
    const int len = static_cast<int>(bytes.size());
    if (len > FXSQLVAR->sqllen) {
        if (!IsParam() || len > std::numeric_limits<qint16>::max() - 2)
            raiseInvalidConversion();
        // Retype the parameter: the server converts VARYING and reports a too long value itself.
        FXSQLVAR->sqltype = static_cast<short>(SQL_VARYING | 1);
        FXSQLVAR->sqllen = static_cast<short>(len);
        allocateBuffers();
        storeText(bytes);
        return;
    }
    if (type == SQL_VARYING) {
        writeAs<quint16>(FXSQLVAR->sqldata, static_cast<quint16>(len));
        std::memcpy(FXSQLVAR->sqldata + 2, bytes.constData(), static_cast<size_t>(len));
    } else {
        std::memset(FXSQLVAR->sqldata, ' ', static_cast<size_t>(qMax<int>(FXSQLVAR->sqllen, 1)));
        std::memcpy(FXSQLVAR->sqldata, bytes.constData(), static_cast<size_t>(len));
    }
    markSet();
}

void TFIBXSQLVAR::setAsInteger(int value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsInt64(qint64 value) { setAsVariant(QVariant(static_cast<qlonglong>(value))); }
void TFIBXSQLVAR::setAsDouble(double value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsBoolean(bool value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsWideString(const QString& value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsDateTime(const QDateTime& value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsDate(const QDate& value) { setAsVariant(QVariant(value)); }
void TFIBXSQLVAR::setAsTime(const QTime& value) { setAsVariant(QVariant(value)); }

void TFIBXSQLVAR::setAsQuad(const ISC_QUAD& value)
{
    const short type = SQLType();
    if (type != SQL_BLOB && type != SQL_ARRAY && type != SQL_QUAD)
        raiseInvalidConversion();
    writeAs<ISC_QUAD>(FXSQLVAR->sqldata, value);
    markSet();
}

void TFIBXSQLVAR::propagate(const std::function<void(TFIBXSQLVAR&)>& set)
{
    set(*this);
    // Parameters of one name carry one value.
    if (FParent == nullptr || !FParent->IsParams() || FParent->FEquelNames.count(FName) == 0)
        return;
    for (int i = 0; i < FParent->Count(); ++i) {
        TFIBXSQLVAR* other = FParent->FXSQLVARs[static_cast<size_t>(i)].get();
        if (other != this && other->FName == FName && !other->FIsMacro)
            set(*other);
    }
}

void TFIBXSQLVAR::setAsVariant(const QVariant& value)
{
    if (FIsMacro) {
        const QString text = value.toString();
        if (text != FMacroValue && FQuery != nullptr)
            FQuery->FMacroChanged = true;
        FMacroValue = text;
        FModified = true;
        return;
    }
    propagate([&value](TFIBXSQLVAR& var) {
        if (var.SQLType() == 0 && var.IsParam()) {
            // Not yet described: keep the value until the server tells the type.
            var.FDeferredValue = value;
            var.FIsDefferedSetting = true;
            var.FParent->FHasDefferedSettings = true;
            var.FModified = true;
            return;
        }
        var.FIsDefferedSetting = false;
        var.writeVariant(value);
    });
}

void TFIBXSQLVAR::writeVariant(const QVariant& value)
{
    // A failed conversion leaves the entry as it was, a pending blob value included.
    const bool hadStream = FHasStream;
    QByteArray stream = std::move(FStreamValue);
    FHasStream = false;
    FStreamValue.clear();
    try {
        storeVariant(value);
    } catch (...) {
        FHasStream = hadStream;
        FStreamValue = std::move(stream);
        throw;
    }
}

void TFIBXSQLVAR::storeVariant(const QVariant& value)
{
    if (value.isNull()) {
        if (FXSQLVAR->sqlind == nullptr)
            RaiseClientError(34, {FName});  // "Column cannot be set to null (%s)"
        *FXSQLVAR->sqlind = -1;
        FModified = true;
        return;
    }
    const short type = SQLType();
    if (IsFb4ValueType(type)) {
        fb4Value().store(value);
        markSet();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        if (type == SQL_TEXT || type == SQL_VARYING)
            storeTextValue(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
        else
            storeInteger(value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Long: case QMetaType::LongLong:
        storeInteger(value.toLongLong());
        break;
    case QMetaType::ULong: case QMetaType::ULongLong:
        if (value.toULongLong() > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            raiseInvalidConversion();
        storeInteger(value.toLongLong());
        break;
    case QMetaType::Double: case QMetaType::Float:
        storeDouble(value.toDouble());
        break;
    case QMetaType::QDate:
        storeDateTime(value.toDate(), QTime(0, 0), true, false);
        break;
    case QMetaType::QTime:
        storeDateTime(QDate(), value.toTime(), false, true);
        break;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        storeDateTime(dt.date(), dt.time(), true, true);
        break;
    }
    case QMetaType::QByteArray:
        if (type == SQL_BLOB)
            setStream(value.toByteArray());
        else if (type == SQL_TEXT || type == SQL_VARYING)
            storeText(value.toByteArray());
        else
            raiseInvalidConversion();
        break;
    default:
        if (!value.canConvert<QString>())
            raiseInvalidConversion();
        storeTextValue(value.toString());
        break;
    }
}

void TFIBXSQLVAR::setStream(const QByteArray& content)
{
    FStreamValue = content;
    FHasStream = true;
    markSet();
    if (FQuery != nullptr)
        FQuery->FHaveStreamParams = true;
}

QByteArray TFIBXSQLVAR::readBlob() const
{
    const ISC_QUAD id = AsQuad();
    if (FQuery == nullptr)
        raiseInvalidConversion();
    IIBClientLibrary& lib = FQuery->ClientLibrary();
    isc_blob_handle blob = 0;
    FQuery->Call(lib.isc_open_blob2(StatusVector(), FQuery->DBHandlePtr(), FQuery->TRHandlePtr(), &blob,
                                    const_cast<ISC_QUAD*>(&id), 0, nullptr),
                 true);
    QByteArray content;
    char buffer[16384];
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS result = lib.isc_get_segment(StatusVector(), &blob, &length, sizeof buffer, buffer);
        if (result != 0 && result != isc_segment) {
            if (result == isc_segstr_eof)
                break;
            {
                const TStatusKeeper failure;
                lib.isc_close_blob(StatusVector(), &blob);
            }
            FQuery->Call(result, true);
        }
        content.append(buffer, length);
    }
    FQuery->Call(lib.isc_close_blob(StatusVector(), &blob), true);
    return content;
}

void TFIBXSQLVAR::storeInteger(qint64 value)
{
    switch (SQLType()) {
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: {
        // The stored integer is value * 10^-scale.
        const int scale = Scale();
        qint64 stored = value;
        if (scale < 0) {
            if (-scale > kMaxScale || qMulOverflow(value, kIntegerPowersOfTen[-scale], &stored))
                raiseInvalidConversion();
        } else if (scale > 0) {
            stored = truncateScaled(value, -scale);
        }
        storeScaledInteger(stored);
        break;
    }
    case SQL_BOOLEAN_16:
        storeScaledInteger(value);
        break;
    case SQL_DOUBLE: case SQL_D_FLOAT: case SQL_FLOAT:
        storeDouble(static_cast<double>(value));
        break;
    case SQL_TEXT: case SQL_VARYING:
        storeText(encodeText(QString::number(value)));
        break;
    default:
        raiseInvalidConversion();
    }
}

void TFIBXSQLVAR::storeDouble(double value)
{
    switch (SQLType()) {
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: {
        const long double scaled = std::round(static_cast<long double>(value) / static_cast<long double>(powerOfTen(Scale())));
        if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18L)
            raiseInvalidConversion();
        storeScaledInteger(static_cast<qint64>(scaled));
        break;
    }
    case SQL_DOUBLE: case SQL_D_FLOAT:
        writeAs<double>(FXSQLVAR->sqldata, value);
        markSet();
        break;
    case SQL_FLOAT:
        writeAs<float>(FXSQLVAR->sqldata, static_cast<float>(value));
        markSet();
        break;
    case SQL_TEXT: case SQL_VARYING:
        storeText(encodeText(QString::number(value, 'g', QLocale::FloatingPointShortest)));
        break;
    default:
        raiseInvalidConversion();
    }
}

void TFIBXSQLVAR::storeTextValue(const QString& value)
{
    switch (SQLType()) {
    case SQL_TEXT: case SQL_VARYING:
        storeText(encodeText(value));
        break;
    case SQL_BLOB:
        setStream(encodeText(value));
        break;
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: {
        qint64 stored = 0;
        if (!parseScaled(value, Scale(), stored))
            raiseInvalidConversion();
        storeScaledInteger(stored);
        break;
    }
    case SQL_BOOLEAN_16: {
        const QString t = value.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1"))
            storeScaledInteger(1);
        else if (t == QLatin1String("false") || t == QLatin1String("0"))
            storeScaledInteger(0);
        else
            raiseInvalidConversion();
        break;
    }
    case SQL_DOUBLE: case SQL_FLOAT: case SQL_D_FLOAT: {
        bool ok = false;
        const double d = value.trimmed().toDouble(&ok);
        if (!ok)
            raiseInvalidConversion();
        storeDouble(d);
        break;
    }
    case SQL_TYPE_DATE: case SQL_TYPE_TIME: case SQL_TIMESTAMP: {
        QDate date;
        QTime time;
        if (!parseWallClock(value.trimmed(), date, time))
            raiseInvalidConversion();
        storeDateTime(date, time.isValid() ? time : QTime(0, 0), date.isValid(), time.isValid());
        break;
    }
    default:
        raiseInvalidConversion();
    }
}

void TFIBXSQLVAR::storeDateTime(const QDate& date, const QTime& time, bool hasDate, bool hasTime)
{
    if ((hasDate && !date.isValid()) || (hasTime && !time.isValid()))
        raiseInvalidConversion();
    switch (SQLType()) {
    case SQL_TIMESTAMP: {
        if (!hasDate)
            raiseInvalidConversion();
        ISC_TIMESTAMP ts;
        ts.timestamp_date = encodeDate(date);
        ts.timestamp_time = encodeTime(hasTime ? time : QTime(0, 0));
        writeAs<ISC_TIMESTAMP>(FXSQLVAR->sqldata, ts);
        break;
    }
    case SQL_TYPE_DATE:
        if (!hasDate)
            raiseInvalidConversion();
        writeAs<ISC_DATE>(FXSQLVAR->sqldata, encodeDate(date));
        break;
    case SQL_TYPE_TIME:
        if (!hasTime)
            raiseInvalidConversion();
        writeAs<ISC_TIME>(FXSQLVAR->sqldata, encodeTime(time));
        break;
    case SQL_TEXT: case SQL_VARYING: {
        QString text;
        if (hasDate)
            text = date.toString(Qt::ISODate);
        if (hasTime)
            text += (hasDate ? QStringLiteral(" ") : QString()) + timeText(time);
        storeText(encodeText(text));
        return;
    }
    default:
        raiseInvalidConversion();
    }
    markSet();
}

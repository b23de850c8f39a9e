#include "FIBQuery.h"

#include "FIBDatabase.h"
#include "IB_Intf.h"
#include "NamePath.h"
#include "Platform.h"
#include "fib.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
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

QString upperAscii(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return upper;
}

bool isQuotedName(const QString& name)
{
    return name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'));
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
constexpr int kAliasCapacity = static_cast<int>(sizeof(XSQLVAR::aliasname)) - 1;

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
    if (hasPendingValue())
        return pendingAs(QMetaType::QDateTime).toDateTime();
    switch (SQLType()) {
    case SQL_TIMESTAMP: {
        const ISC_TIMESTAMP ts = readAs<ISC_TIMESTAMP>(FXSQLVAR->sqldata);
        return QDateTime(decodeDate(ts.timestamp_date), decodeTime(ts.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return QDateTime(AsDate(), QTime(0, 0));
    case SQL_TYPE_TIME:
        return QDateTime(kDateBase, AsTime());
    case SQL_TEXT: case SQL_VARYING: {
        // A timestamp, a date or a time in ISO form.
        const QString text = AsWideString().trimmed();
        const QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (dt.isValid())
            return dt;
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return QDateTime(date, QTime(0, 0));
        const QTime time = QTime::fromString(text, Qt::ISODateWithMs);
        if (time.isValid())
            return QDateTime(kDateBase, time);
        raiseInvalidConversion();
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
    default: raiseInvalidConversion();
    }
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
    FHasStream = false;
    FStreamValue.clear();
    if (value.isNull()) {
        if (FXSQLVAR->sqlind == nullptr)
            RaiseClientError(34, {FName});  // "Column cannot be set to null (%s)"
        *FXSQLVAR->sqlind = -1;
        FModified = true;
        return;
    }
    const short type = SQLType();
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
        const QString t = value.trimmed();
        const QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
        if (dt.isValid()) {
            storeDateTime(dt.date(), dt.time(), true, true);
            break;
        }
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid()) {
            storeDateTime(d, QTime(0, 0), true, false);
            break;
        }
        const QTime tm = QTime::fromString(t, Qt::ISODateWithMs);
        if (!tm.isValid())
            raiseInvalidConversion();
        storeDateTime(QDate(), tm, false, true);
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

// ================================================================ TFIBXSQLDA

TFIBXSQLDA::TFIBXSQLDA(bool isParams, TFIBQuery* query) : FQuery(query), FIsParams(isParams) {}

TFIBXSQLDA::~TFIBXSQLDA() = default;

void TFIBXSQLDA::setCount(int n)
{
    FNames.clear();
    FEquelNames.clear();
    FCachedNames.clear();
    FCount = qMax(0, n);
    if (FCount > FSize) {
        const size_t bytes = XSQLDA_LENGTH(static_cast<size_t>(FCount));
        FArea.resize((bytes + sizeof(TAreaChunk) - 1) / sizeof(TAreaChunk));
        FXSQLDA = reinterpret_cast<XSQLDA*>(FArea.data());
        FXSQLDA->version = SQLDA_VERSION1;
        for (int i = FSize; i < FCount; ++i)
            FXSQLVARs.push_back(std::make_unique<TFIBXSQLVAR>(this, FQuery));
        for (int i = 0; i < FCount; ++i)
            FXSQLVARs[static_cast<size_t>(i)]->setXSQLVAR(&FXSQLDA->sqlvar[i], i);
        FSize = FCount;
    }
    if (FSize > 0) {
        FXSQLDA->sqln = static_cast<short>(FCount);
        FXSQLDA->sqld = static_cast<short>(FCount);
    }
}

int TFIBXSQLDA::RecordSize() const { return static_cast<int>(XSQLDA_LENGTH(static_cast<size_t>(FSize))) + 4; }

bool TFIBXSQLDA::Modified() const
{
    for (int i = 0; i < FCount; ++i)
        if (FXSQLVARs[static_cast<size_t>(i)]->Modified())
            return true;
    return false;
}

QString TFIBXSQLDA::Names() const
{
    QString text;
    for (int i = 0; i < FCount; ++i)
        text += FXSQLVARs[static_cast<size_t>(i)]->Name() + QStringLiteral("\r\n");
    return text;
}

TFIBXSQLVAR* TFIBXSQLDA::GetXSQLVAR(int index) const
{
    if (index < 0 || index >= FCount)
        RaiseClientError(ceXSQLDAIndexOutOfRange);
    return FXSQLVARs[static_cast<size_t>(index)].get();
}

void TFIBXSQLDA::registerName(const QString& name, int index)
{
    if (FNames.count(name) != 0)
        FEquelNames.emplace(name, index);
    FNames.emplace(name, index);
    FXSQLVARs[static_cast<size_t>(index)]->setName(name);
}

TFIBXSQLVAR* TFIBXSQLDA::findExact(const QString& name) const
{
    const auto it = FNames.find(name);
    return it == FNames.end() ? nullptr : FXSQLVARs[static_cast<size_t>(it->second)].get();
}

TFIBXSQLVAR* TFIBXSQLDA::GetXSQLVARByName(const QString& name)
{
    if (const auto cached = FCachedNames.find(name); cached != FCachedNames.end())
        return cached->second;
    TFIBXSQLVAR* found = nullptr;
    if (isQuotedName(name)) {
        found = findExact(name.mid(1, name.size() - 2));
    } else {
        found = findExact(name);
        if (found == nullptr)
            found = findExact(upperAscii(name));
    }
    if (found == nullptr && FQuery != nullptr && this == FQuery->FUserSQLParams.get()) {
        // Names the macros brought into the server text live in the server parameters.
        if (FQuery->FMacroChanged)
            FQuery->ApplyMacro();
        return FQuery->FSQLParams->GetXSQLVARByName(name);
    }
    if (found != nullptr)
        FCachedNames[name] = found;
    return found;
}

int TFIBXSQLDA::IndexOfName(const QString& name)
{
    const TFIBXSQLVAR* var = GetXSQLVARByName(name);
    return var != nullptr && var->Parent() == this ? var->Index() : -1;
}

TFIBXSQLVAR* TFIBXSQLDA::ParamByName(const QString& name)
{
    TFIBXSQLVAR* var = GetXSQLVARByName(name);
    if (var == nullptr)
        throw Exception(Format(QStringLiteral("Parameter \"%s\" does not exist in %s"), {name, CmpFullName(FQuery)}));
    return var;
}

QString TFIBXSQLDA::uniqueName(const QString& name) const
{
    if (FNames.count(name) == 0)
        return name;
    for (int suffix = 1;; ++suffix) {
        const QString tail = QString::number(suffix);
        const QString candidate = name.left(kAliasCapacity - tail.size()) + tail;
        if (FNames.count(candidate) == 0)
            return candidate;
    }
}

void TFIBXSQLDA::Initialize()
{
    const bool naming = FNames.empty();
    int unnamed = 0;
    FHasDefferedSettings = false;
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        XSQLVAR& x = *var.FXSQLVAR;
        if (FIsParams)
            x.sqltype = static_cast<short>(x.sqltype | 1);  // every parameter can be sent as null
        if (naming) {
            const QString alias = var.AliasName();
            QString name = uniqueName(alias.isEmpty() ? QStringLiteral("F_") + QString::number(++unnamed) : alias);
            if (name != alias) {
                QByteArray bytes = var.encodeText(name);
                while (bytes.size() > kAliasCapacity) {
                    name.chop(1);
                    bytes = var.encodeText(name);
                }
                std::memset(x.aliasname, 0, sizeof x.aliasname);
                std::memcpy(x.aliasname, bytes.constData(), static_cast<size_t>(bytes.size()));
                x.aliasname_length = static_cast<short>(bytes.size());
            }
            registerName(name, i);
        }
        var.takeServerDescription();
        if (var.FIsDefferedSetting)
            var.applyDeferredSetting();
    }
}

void TFIBXSQLDA::ClearValues()
{
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        if (var.FIsMacro) {
            var.FMacroValue = var.FDefMacroValue;
            continue;
        }
        var.FIsDefferedSetting = false;
        var.FDeferredValue = QVariant();
        if (var.FXSQLVAR->sqlind != nullptr)
            *var.FXSQLVAR->sqlind = -1;
    }
    FHasDefferedSettings = false;
}

void TFIBXSQLDA::ClearModified()
{
    for (int i = 0; i < FCount; ++i)
        FXSQLVARs[static_cast<size_t>(i)]->FModified = false;
}

void TFIBXSQLDA::ApplyDeferredSettings()
{
    if (!FHasDefferedSettings)
        return;
    for (int i = 0; i < FCount; ++i)
        FXSQLVARs[static_cast<size_t>(i)]->applyDeferredSetting();
    FHasDefferedSettings = false;
}

void TFIBXSQLDA::AssignValues(const TFIBXSQLDA& source)
{
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& target = *FXSQLVARs[static_cast<size_t>(i)];
        const TFIBXSQLVAR* src = source.findExact(target.Name());
        if (src == nullptr || target.FIsMacro)
            continue;
        if (src->FIsMacro) {
            target.setAsVariant(src->FMacroValue);
        } else if (src->IsNull()) {
            target.setAsVariant(QVariant());
        } else if (src->FIsDefferedSetting) {
            target.setAsVariant(src->FDeferredValue);
        } else if (src->SQLType() == target.SQLType() && src->Scale() == target.Scale()
                   && src->Size() == target.Size() && target.Data() != nullptr && src->Data() != nullptr
                   && (src->IsBlob() || src->SQLType() == SQL_INT64 || src->SQLType() == SQL_QUAD)) {
            // Identifiers and 64-bit integers go as stored, so no precision is lost.
            std::memcpy(target.Data(), src->Data(), static_cast<size_t>(src->Size()));
            target.markSet();
        } else {
            target.setAsVariant(src->AsVariant());
        }
    }
}

void TFIBXSQLDA::rebuildFrom(const std::vector<TSQLReference>& refs, QChar macroChar)
{
    // Entries whose names stay move over with their values; the others go.
    std::vector<std::unique_ptr<TFIBXSQLVAR>> old = std::move(FXSQLVARs);
    std::vector<XSQLVAR> oldVars;
    for (int i = 0; i < FSize; ++i)
        oldVars.push_back(FXSQLDA->sqlvar[i]);
    std::map<QString, int> oldByName;
    for (int i = 0; i < FCount; ++i) {
        const TFIBXSQLVAR& var = *old[static_cast<size_t>(i)];
        if (!var.IsBlob())
            oldByName.emplace(var.Name(), i);
    }
    const int n = static_cast<int>(refs.size());
    std::vector<std::unique_ptr<TFIBXSQLVAR>> entries;
    std::vector<XSQLVAR> vars;
    std::vector<QString> names;
    for (const TSQLReference& ref : refs) {
        QString name;
        QString defaultValue;
        bool defaultQuoted = false;
        if (ref.isMacro) {
            const TMacroParts parts = SplitMacroText(ref.name, macroChar);
            name = parts.name;
            defaultValue = parts.defaultValue;
            defaultQuoted = parts.defaultQuoted;
        } else {
            name = ref.quoted ? ref.name : upperAscii(ref.name);
        }
        std::unique_ptr<TFIBXSQLVAR> var;
        XSQLVAR x{};
        if (const auto it = oldByName.find(name); it != oldByName.end() && old[static_cast<size_t>(it->second)]) {
            var = std::move(old[static_cast<size_t>(it->second)]);
            x = oldVars[static_cast<size_t>(it->second)];
        } else {
            var = std::make_unique<TFIBXSQLVAR>(this, FQuery);
        }
        if (var->FIsMacro != ref.isMacro) {  // the same name changed its kind: start afresh
            var = std::make_unique<TFIBXSQLVAR>(this, FQuery);
            x = XSQLVAR{};
        }
        var->setReference(ref);
        if (ref.isMacro) {
            var->FQuoted = defaultQuoted;
            if (var->FDefMacroValue != defaultValue || var->FMacroValue.isEmpty())
                var->FMacroValue = defaultValue;
            var->FDefMacroValue = defaultValue;
        } else if (x.sqltype == 0) {
            x.sqltype = 1;  // a parameter starts null with no type
        }
        entries.push_back(std::move(var));
        vars.push_back(x);
        names.push_back(name);
    }
    FXSQLVARs = std::move(entries);
    FSize = 0;
    FArea.clear();
    FXSQLDA = nullptr;
    FNames.clear();
    FEquelNames.clear();
    FCachedNames.clear();
    FCount = 0;
    if (n > 0) {
        const size_t bytes = XSQLDA_LENGTH(static_cast<size_t>(n));
        FArea.assign((bytes + sizeof(TAreaChunk) - 1) / sizeof(TAreaChunk), TAreaChunk{});
        FXSQLDA = reinterpret_cast<XSQLDA*>(FArea.data());
        FXSQLDA->version = SQLDA_VERSION1;
        FXSQLDA->sqln = FXSQLDA->sqld = static_cast<short>(n);
        for (int i = 0; i < n; ++i) {
            FXSQLDA->sqlvar[i] = vars[static_cast<size_t>(i)];
            FXSQLVARs[static_cast<size_t>(i)]->setXSQLVAR(&FXSQLDA->sqlvar[i], i);
        }
        FSize = n;
        FCount = n;
        for (int i = 0; i < n; ++i)
            registerName(names[static_cast<size_t>(i)], i);
    }
    // Parameters of one name carry one value: a later one takes the first one's value.
    for (int i = 0; i < n; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        TFIBXSQLVAR* first = findExact(var.Name());
        if (first != &var && !var.FIsMacro && !first->FIsMacro && !first->IsNull()) {
            var.FDeferredValue = first->AsVariant();
            var.FIsDefferedSetting = true;
            FHasDefferedSettings = true;
        }
    }
}

// ================================================================ TFIBQuery

namespace {

// Marks a run state for the lifetime of the guard.
class TRunStateGuard {
public:
    TRunStateGuard(int& state, int flag) : FState(state), FFlag(flag), FWasSet(state & flag) { FState |= flag; }
    ~TRunStateGuard()
    {
        if (!FWasSet)
            FState &= ~FFlag;
    }

private:
    int& FState;
    int FFlag;
    bool FWasSet;
};

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

TFIBQuery::TFIBQuery(QObject* owner)
    : QObject(owner),
      FBase(std::make_unique<TFIBBase>(this)),
      FSQLParams(std::make_unique<TFIBXSQLDA>(true, this)),
      FSQLRecord(std::make_unique<TFIBXSQLDA>(false, this)),
      FUserSQLParams(std::make_unique<TFIBXSQLDA>(true, this))
{
    FBase->OnDatabaseDisconnecting = [this](TFIBBase*) {
        Close();
        FreeHandle();
    };
    FBase->OnTransactionEnding = [this](TFIBTransaction* tr) {
        if (FOpen && (tr->State() == tsDoCommit || tr->State() == tsDoRollback))
            Close();
    };
    if (auto* db = qobject_cast<TFIBDatabase*>(owner))
        setDatabase(db);
    else if (auto* tr = qobject_cast<TFIBTransaction*>(owner))
        setTransaction(tr);
}

TFIBQuery::~TFIBQuery()
{
    // A destructor cannot report: a failure to release the server statement is dropped.
    try {
        if (FOpen)
            Close();
        FreeHandle();
    } catch (...) {
    }
}

// ---------------------------------------------------------------- link and client calls

TFIBDatabase* TFIBQuery::Database() const { return FBase->Database(); }
TFIBTransaction* TFIBQuery::Transaction() const { return FBase->Transaction(); }

void TFIBQuery::setDatabase(TFIBDatabase* value)
{
    if (value != Database() && FPrepared)
        FreeHandle();
    FBase->setDatabase(value);
}

void TFIBQuery::setTransaction(TFIBTransaction* value) { FBase->setTransaction(value); }

isc_db_handle TFIBQuery::DBHandle() const { return Database() ? Database()->Handle() : 0; }

isc_tr_handle TFIBQuery::TRHandle() const { return Transaction() ? Transaction()->Handle() : 0; }

bool TFIBQuery::IsUnicodeConnection() const { return Database() != nullptr && Database()->IsUnicodeConnect(); }

IIBClientLibrary& TFIBQuery::ClientLibrary() const
{
    TFIBDatabase* db = Database();
    if (db == nullptr)
        RaiseClientError(ceDatabaseNotAssigned, {CmpFullName(this)});
    if (db->ClientLibrary() == nullptr)
        RaiseClientError(ceDatabaseClosed, {CmpFullName(db)});
    return *db->ClientLibrary();
}

unsigned short TFIBQuery::Dialect() const
{
    return static_cast<unsigned short>(Database() ? Database()->SQLDialect() : SQL_DIALECT_CURRENT);
}

isc_db_handle* TFIBQuery::DBHandlePtr() const
{
    if (Database() == nullptr)
        RaiseClientError(ceDatabaseNotAssigned, {CmpFullName(this)});
    return Database()->HandlePtr();
}

// The transaction handle for a call: the transaction must be in a transaction first.
isc_tr_handle* TFIBQuery::TRHandlePtr() const
{
    TFIBTransaction* tr = Transaction();
    if (tr == nullptr)
        RaiseClientError(ceTransactionNotAssigned, {CmpFullName(this)});
    tr->CheckInTransaction();
    return tr->HandlePtr();
}

ISC_STATUS TFIBQuery::Call(ISC_STATUS ErrCode, bool RaiseError)
{
    if (TFIBTransaction* tr = Transaction())
        tr->Call(ErrCode, false);
    if (RaiseError && ErrCode > 0)
        RaiseStatusError(ClientLibrary(), this);
    return ErrCode;
}

// ---------------------------------------------------------------- text

void TFIBQuery::setSQL(const QStringList& lines)
{
    sqlTextChanging();
    FSQL = lines;
    sqlTextChanged();
}

void TFIBQuery::setSQLText(const QString& text)
{
    QString normalized = text;
    normalized.replace(kCrLf, QStringLiteral("\n"));
    QStringList lines = normalized.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    setSQL(lines);
}

void TFIBQuery::BeginModifySQLText() { ++FCountLockSQL; }

void TFIBQuery::EndModifySQLText()
{
    if (FCountLockSQL == 0)
        return;
    if (--FCountLockSQL == 0)
        textChangeStep();
}

void TFIBQuery::sqlTextChanging()
{
    if (FOpen)
        RaiseClientError(ceSQLOpen, {QStringLiteral("change sql text"), CmpFullName(this)});
    if (OnSQLChanging)
        OnSQLChanging(this);
    FreeHandle();
    FMacroChanged = false;
}

void TFIBQuery::sqlTextChanged()
{
    FHaveMacros = false;
    QString text;
    for (const QString& line : FSQL)
        text += line + kCrLf;
    FParser.setSQLText(text);
    if (FCountLockSQL > 0)
        return;
    textChangeStep();
}

void TFIBQuery::textChangeStep()
{
    ++FSQLTextChangeCount;
    FModifyTable = QStringLiteral("-1");
    FDoParamCheck = FParamCheck;
    const QString& text = FParser.SQLText();
    if (!FParamCheck || text.isEmpty() || QuickParamCheck(text, FMacroChar)) {
        FUserSQLParams->rebuildFrom({}, FMacroChar);
        FSQLParams->rebuildFrom({}, FMacroChar);
        FProcessedSQL = text;
        FPreparedSQL = encodeForServer(text);
    } else {
        // Until a scan succeeds nothing of an older text may reach the server.
        FProcessedSQL.clear();
        FPreparedSQL.clear();
        scanUserParams();
        if (FUserSQLParams->Count() == 0) {
            FProcessedSQL = text;
            FPreparedSQL = text.toLocal8Bit();
        }
    }
    FreeHandle();
    vUserParamsCreated = true;
    FCodePageApplied = false;
}

void TFIBQuery::raiseParseError(TSQLParseError error) const
{
    RaiseClientError(ceSQLParseError, {CmpFullName(this), SQLParseErrorText(error)});
}

void TFIBQuery::scanUserParams()
{
    TSQLScanOptions options;
    options.kind = FParser.SQLKind();
    options.canParamsCheck = FParser.CanParamsCheck();
    options.macroChar = FMacroChar;
    const TSQLScanResult result = ScanSQLText(FParser.SQLText(), options);
    if (result.error != speNone)
        raiseParseError(result.error);
    FUserSQLParams->rebuildFrom(result.references, FMacroChar);
    FHaveMacros = result.hasMacros;
}

void TFIBQuery::setParamCheck(bool value)
{
    const bool changed = value != FParamCheck;
    FParamCheck = value;
    FDoParamCheck = value;
    if (!value) {
        FUserSQLParams->rebuildFrom({}, FMacroChar);
        FSQLParams->rebuildFrom({}, FMacroChar);
        FProcessedSQL = FParser.SQLText();
        FCodePageApplied = false;
        FreeHandle();
    } else if (changed && FCountLockSQL == 0) {
        // Scanning again: the markers of the text become parameters again.
        sqlTextChanging();
        textChangeStep();
    }
}

QByteArray TFIBQuery::encodeForServer(const QString& text) const
{
    return IsUnicodeConnection() ? text.toUtf8() : text.toLocal8Bit();
}

void TFIBQuery::applyCodePage()
{
    if (FCodePageApplied)
        return;
    if (FParser.SQLKind() == skDDL) {
        const bool utf = Database() != nullptr && Database()->NeedUTFDecodeDDL();
        FPreparedSQL = utf ? FProcessedSQL.toUtf8() : FProcessedSQL.toLocal8Bit();
    } else {
        FPreparedSQL = encodeForServer(FProcessedSQL);
    }
    FCodePageApplied = true;
}

QString TFIBQuery::ReadySQLText(bool ForChangeExecSQL)
{
    if (ForChangeExecSQL)
        vDiffParams = false;
    const QString& text = FParser.SQLText();
    if (!FHaveMacros && (FOptions & ::qoNoForceIsNull))
        return text;
    const bool forceIsNull = !(FOptions & ::qoNoForceIsNull)
                             && ((FQueryRunState & qrsInExecute) || !(FQueryRunState & qrsInPrepare));
    TFIBXSQLDA& params = *FUserSQLParams;
    std::vector<TReadyReference> refs;
    for (int i = 0; i < params.Count(); ++i) {
        const TFIBXSQLVAR& v = *params[i];
        TReadyReference r;
        r.isMacro = v.IsMacro();
        r.macroValue = v.IsMacro() ? v.AsWideString() : QString();
        r.defaultQuoted = v.Quoted();
        r.isNull = !v.IsMacro() && v.IsNull();
        r.inWhereClause = v.InWhereClause();
        r.canForceIsNull = v.CanForceIsNull();
        r.beginPos = v.BeginPosInText();
        r.endPos = v.EndPosInText();
        refs.push_back(r);
    }
    const TReadySQLResult result = ::ReadySQLText(text, refs, forceIsNull);
    for (int i = 0; i < params.Count(); ++i) {
        TFIBXSQLVAR& v = *params[i];
        const bool rewritten = result.rewritten[static_cast<size_t>(i)];
        if (v.IsMacro()) {
            v.setOldValue(v.AsWideString());
        } else if (ForChangeExecSQL) {
            v.FForcedNull = rewritten;
            if (rewritten)
                v.setOldValue(QVariant());
        }
        if (rewritten && ForChangeExecSQL)
            vDiffParams = true;
    }
    return result.text;
}

void TFIBQuery::rebuildServerText()
{
    const QString ready = ReadySQLText(true);
    TSQLScanOptions options;
    options.kind = FParser.SQLKind();
    options.canParamsCheck = FParser.CanParamsCheck();
    options.macroChar = FMacroChar;
    options.forServer = true;
    TSQLScanResult result = ScanSQLText(ready, options);
    if (result.error != speNone)
        raiseParseError(result.error);
    std::vector<TSQLReference> serverRefs;
    for (const TSQLReference& ref : result.references)
        if (!ref.isMacro)
            serverRefs.push_back(ref);
    FSQLParams->rebuildFrom(serverRefs, FMacroChar);
    FProcessedSQL = result.serverText;
    FOnlySrvParams.clear();
    for (int i = 0; i < FSQLParams->Count(); ++i) {
        const QString& name = FSQLParams->GetXSQLVAR(i)->Name();
        if (FUserSQLParams->findExact(name) == nullptr && !FOnlySrvParams.contains(name))
            FOnlySrvParams.append(name);
    }
    FOnlySrvParams.sort();
    FCodePageApplied = false;
}

// A macro value or the null-ness of a comparable parameter differs from what the server text holds.
bool TFIBQuery::rewriteInputsChanged() const
{
    const bool forcing = !(FOptions & ::qoNoForceIsNull);
    const TFIBXSQLDA& params = *FUserSQLParams;
    for (int i = 0; i < params.Count(); ++i) {
        const TFIBXSQLVAR& v = *params[i];
        if (v.IsMacro()) {
            if (v.AsWideString() != v.OldValue().toString())
                return true;
        } else if (forcing && v.InWhereClause() && v.CanForceIsNull() && v.IsNull() != v.FForcedNull) {
            return true;
        }
    }
    return false;
}

void TFIBQuery::ApplyMacro()
{
    Close();
    FreeHandle();
    rebuildServerText();
    FMacroChanged = false;
}

void TFIBQuery::RestoreMacroDefaultValues()
{
    for (int i = 0; i < FUserSQLParams->Count(); ++i) {
        TFIBXSQLVAR& v = *FUserSQLParams->GetXSQLVAR(i);
        if (v.IsMacro())
            v.setAsVariant(v.DefMacroValue());
    }
}

QString TFIBQuery::DefMacroValue(const QString& name) { return ParamByName(name)->DefMacroValue(); }

bool TFIBQuery::IsProc() const
{
    QString text = FParser.SQLText();
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() <= ' ')
        ++i;
    return upperAscii(text.mid(i, 8)) == QLatin1String("EXECUTE ");
}

// ---------------------------------------------------------------- prepare

void TFIBQuery::Prepare()
{
    TRunStateGuard guard(FQueryRunState, qrsInPrepare);
    if (FOpen)
        Close();
    FBase->CheckDatabase();
    TFIBTransaction* tr = Transaction();
    if ((FOptions & ::qoStartTransaction) && tr != nullptr && !tr->Active())
        tr->StartTransaction();
    FBase->CheckTransaction();

    if (FDoParamCheck && (FUserSQLParams->Count() > 0 || FProcessedSQL.isEmpty())) {
        if (!vUserParamsCreated)
            scanUserParams();
        // A text prepared outside an execution skipped the IS NULL rewriting. It is rebuilt, and
        // prepared again, only when a parameter it would rewrite is null now (rewriteInputsChanged):
        // otherwise the rebuilt text is the prepared one and a second prepare is a wasted round trip.
        if (!FPrepared || FMacroChanged || FProcessedSQL.isEmpty() || rewriteInputsChanged()) {
            rebuildServerText();
            FMacroChanged = false;
            FreeHandle();
        }
    }
    applyCodePage();
    if (FPrepared)
        return;
    if (FProcessedSQL.isEmpty() || std::all_of(FProcessedSQL.cbegin(), FProcessedSQL.cend(), [](QChar c) { return c.unicode() <= ' '; }))
        RaiseClientError(ceEmptyQuery, {QStringLiteral("Prepare")});

    IIBClientLibrary& lib = ClientLibrary();
    try {
        Call(lib.isc_dsql_alloc_statement2(StatusVector(), DBHandlePtr(), &FHandle), true);
        FSQLRecord->setCount(1);
        Call(lib.isc_dsql_prepare(StatusVector(), TRHandlePtr(), &FHandle, 0, FPreparedSQL.constData(), Dialect(),
                                  FSQLRecord->AsXSQLDA()),
             true);
        readStatementType();
        describeStatement();
        FPrepared = true;
    } catch (...) {
        if (FHandle != 0) {
            lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_drop);
            FHandle = 0;
        }
        FPrepared = false;
        throw;
    }
}

void TFIBQuery::readStatementType()
{
    IIBClientLibrary& lib = ClientLibrary();
    const char item = isc_info_sql_stmt_type;
    char buffer[8] = {};
    Call(lib.isc_dsql_sql_info(StatusVector(), &FHandle, 1, &item, sizeof buffer, buffer), true);
    if (buffer[0] != isc_info_sql_stmt_type)
        RaiseClientError(ceUnknownError);
    const short length = static_cast<short>(lib.isc_vax_integer(buffer + 1, 2));
    if (length < 0 || length > 4)
        RaiseClientError(ceUnknownError);
    FSQLType = static_cast<TFIBSQLTypes>(lib.isc_vax_integer(buffer + 3, length));
}

void TFIBQuery::describeStatement()
{
    IIBClientLibrary& lib = ClientLibrary();
    if (FSQLType == SQLSelectForUpdate) {
        if (FCursorName.isEmpty()) {
            // A letter, then letters and digits: unique enough among the program's open cursors.
            static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
            FCursorName = QChar(QLatin1Char(kChars[QRandomGenerator::global()->bounded(26)]));
            while (FCursorName.size() < 10)
                FCursorName += QLatin1Char(kChars[QRandomGenerator::global()->bounded(36)]);
        }
        Call(lib.isc_dsql_set_cursor_name(StatusVector(), &FHandle, FCursorName.toLocal8Bit().constData(), 0), true);
    }
    switch (FSQLType) {
    case SQLGetSegment: case SQLPutSegment: case SQLStartTransaction:
        FreeHandle();
        RaiseClientError(ceNotPermitted);
    case SQLSelect: case SQLInsert: case SQLUpdate: case SQLDelete: case SQLExecProcedure: case SQLSelectForUpdate: {
        if (FSQLParams->AsXSQLDA() != nullptr) {
            Call(lib.isc_dsql_describe_bind(StatusVector(), &FHandle, Dialect(), FSQLParams->AsXSQLDA()), true);
            if (FSQLParams->AsXSQLDA()->sqld > FSQLParams->Count())
                RaiseClientError(ceInvalidStatementHandle, {CmpFullName(this)});
            FSQLParams->Initialize();
            // Params take the server's types; values set before keep, converted.
            for (int i = 0; i < FUserSQLParams->Count(); ++i) {
                TFIBXSQLVAR& user = *FUserSQLParams->GetXSQLVAR(i);
                if (const TFIBXSQLVAR* server = FSQLParams->findExact(user.Name()); server != nullptr && !user.IsMacro())
                    user.takeDescriptionOf(*server);
            }
            FUserSQLParams->FHasDefferedSettings = true;
        }
        if (FSQLType == SQLSelect || FSQLType == SQLExecProcedure || FSQLType == SQLSelectForUpdate) {
            const int columns = FSQLRecord->AsXSQLDA()->sqld;
            if (columns > FSQLRecord->Count()) {
                FSQLRecord->setCount(columns);
                Call(lib.isc_dsql_describe(StatusVector(), &FHandle, Dialect(), FSQLRecord->AsXSQLDA()), true);
            } else if (columns == 0) {
                FSQLRecord->setCount(0);
            }
            FSQLRecord->Initialize();
        } else {
            FSQLRecord->setCount(0);
        }
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------- execution

void TFIBQuery::notifyTransaction(int kind)
{
    TFIBTransaction* tr = Transaction();
    if (tr == nullptr)
        return;
    TSQLExecNotice notice;
    notice.Query = this;
    notice.Kind = kind;
    notice.SQLType = FSQLType;
    notice.IsSelect = FSQLType == SQLSelect;
    notice.AllRowsAffected = [this]() -> qint64 {
        const TAllRowsAffected rows = AllRowsAffected();
        return qint64(rows.Updates) + rows.Deletes + rows.Inserts;
    };
    tr->DoOnSQLExec(notice);
}

void TFIBQuery::beforeExecute()
{
    if (BeforeExecute)
        BeforeExecute(this);
    TFIBTransaction* tr = Transaction();
    if (tr == nullptr)
        RaiseClientError(ceTransactionNotAssigned, {CmpFullName(this)});
    FSQLRecord->ClearValues();
    if ((FOptions & ::qoStartTransaction) && !tr->Active())
        tr->StartTransaction();
    notifyTransaction(0);
}

void TFIBQuery::afterExecute()
{
    if (AfterExecute)
        AfterExecute(this);
    notifyTransaction(1);
    FUserSQLParams->ClearModified();
    FMacroChanged = false;
    TFIBTransaction* tr = Transaction();
    if ((FOptions & ::qoAutoCommit) && tr != nullptr && tr->Active()) {
        if (tr->TimeoutAction() == TACommitRetaining)
            tr->CommitRetaining();
        else
            tr->Commit();
    }
}

void TFIBQuery::writeStreamParams()
{
    FUserSQLParams->ApplyDeferredSettings();  // a text set before the description may become a stream
    if (!FHaveStreamParams)
        return;
    IIBClientLibrary& lib = ClientLibrary();
    for (int i = 0; i < FUserSQLParams->Count(); ++i) {
        TFIBXSQLVAR& v = *FUserSQLParams->GetXSQLVAR(i);
        if (!v.FHasStream || v.SQLType() != SQL_BLOB)
            continue;
        isc_blob_handle blob = 0;
        ISC_QUAD id{};
        Call(lib.isc_create_blob2(StatusVector(), DBHandlePtr(), TRHandlePtr(), &blob, &id, 0, nullptr), true);
        constexpr qsizetype kSegment = 32000;
        for (qsizetype pos = 0; pos < v.FStreamValue.size(); pos += kSegment) {
            const qsizetype n = qMin(kSegment, v.FStreamValue.size() - pos);
            const ISC_STATUS result = lib.isc_put_segment(StatusVector(), &blob, static_cast<unsigned short>(n),
                                                          v.FStreamValue.constData() + pos);
            if (result != 0) {
                {
                    const TStatusKeeper failure;
                    lib.isc_cancel_blob(StatusVector(), &blob);
                }
                Call(result, true);
            }
        }
        Call(lib.isc_close_blob(StatusVector(), &blob), true);
        v.FHasStream = false;
        v.FStreamValue.clear();
        v.setAsQuad(id);
    }
    FHaveStreamParams = false;
}

TFIBXSQLDA* TFIBQuery::chooseInputDescriptor()
{
    if (vDiffParams && FDoParamCheck && FUserSQLParams->Count() > 0) {
        FSQLParams->AssignValues(*FUserSQLParams);
        FSQLParams->ApplyDeferredSettings();
        return FSQLParams.get();
    }
    FUserSQLParams->ApplyDeferredSettings();
    return FUserSQLParams.get();
}

void TFIBQuery::ExecQuery()
{
    TRunStateGuard guard(FQueryRunState, qrsInExecute);
    if (FParser.SQLKind() == skDDL) {
        ExecuteImmediate();
        return;
    }
    beforeExecute();
    if ((FDoParamCheck && FUserSQLParams->Count() > 0) || !FPrepared)
        Prepare();
    writeStreamParams();
    const TFIBXSQLDA* input = chooseInputDescriptor();
    QElapsedTimer clock;
    clock.start();
    try {
        executeForType(input->Count() > 0 ? input->AsXSQLDA() : nullptr);
    } catch (...) {
        FCallTime = static_cast<quint32>(clock.elapsed());
        throw;
    }
    FCallTime = static_cast<quint32>(clock.elapsed());
    if (FDoParamCheck && FUserSQLParams->Count() > 0 && FHaveMacros)
        for (int i = 0; i < FUserSQLParams->Count(); ++i)
            FUserSQLParams->GetXSQLVAR(i)->setOldValue(FUserSQLParams->GetXSQLVAR(i)->AsVariant());
    afterExecute();
    if (!FOpen && (FOptions & ::qoFreeHandleAfterExecute))
        FreeHandle();
}

void TFIBQuery::executeForType(const XSQLDA* input)
{
    IIBClientLibrary& lib = ClientLibrary();
    switch (FSQLType) {
    case SQLSelect: case SQLSelectForUpdate:
        if (FOpen)
            Close();
        Call(lib.isc_dsql_execute(StatusVector(), TRHandlePtr(), &FHandle, Dialect(), input), true);
        FOpen = true;
        FBOF = true;
        FEof = false;
        FRecordCount = 0;
        FSQLRecord->ClearValues();
        if (FGoToFirstRecordOnExecute)
            Next();
        break;
    case SQLExecProcedure:
        Call(lib.isc_dsql_execute2(StatusVector(), TRHandlePtr(), &FHandle, Dialect(), input, FSQLRecord->AsXSQLDA()),
             true);
        FProcExecuted = true;
        break;
    case SQLCommit:
        Transaction()->Commit();
        break;
    case SQLRollback:
        Transaction()->Rollback();
        break;
    default:
        Call(lib.isc_dsql_execute(StatusVector(), TRHandlePtr(), &FHandle, Dialect(), input), true);
        break;
    }
}

void TFIBQuery::ExecuteImmediate()
{
    TRunStateGuard guard(FQueryRunState, qrsInExecute);
    beforeExecute();
    if (FProcessedSQL.isEmpty() || FMacroChanged)
        rebuildServerText();
    applyCodePage();
    writeStreamParams();
    const TFIBXSQLDA* input = chooseInputDescriptor();
    FreeHandle();
    IIBClientLibrary& lib = ClientLibrary();
    TFIBTransaction* tr = Transaction();
    QElapsedTimer clock;
    clock.start();
    try {
        Call(lib.isc_dsql_execute_immediate(StatusVector(), DBHandlePtr(), tr->HandlePtr(), 0, FPreparedSQL.constData(),
                                            Dialect(), input->Count() > 0 ? input->AsXSQLDA() : nullptr),
             true);
    } catch (...) {
        FCallTime = static_cast<quint32>(clock.elapsed());
        throw;
    }
    FCallTime = static_cast<quint32>(clock.elapsed());
    afterExecute();
}

// ---------------------------------------------------------------- cursor

TFIBXSQLDA* TFIBQuery::Next()
{
    if (FEof)
        return nullptr;
    if (!FOpen)
        RaiseClientError(ceSQLClosed, {QStringLiteral("fetch next record"), CmpFullName(this)});
    if (OnSQLFetch) {
        bool stop = false;
        OnSQLFetch(FRecordCount, stop);
        if (stop)
            return nullptr;
    }
    IIBClientLibrary& lib = ClientLibrary();
    const ISC_STATUS result = Call(lib.isc_dsql_fetch(StatusVector(), &FHandle, Dialect(), FSQLRecord->AsXSQLDA()), false);
    if (result == 0) {
        ++FRecordCount;
        FBOF = false;
        return FSQLRecord.get();
    }
    if (result == 100 || StatusHasErrorCode({isc_dsql_cursor_err})) {
        FEof = true;
        return nullptr;
    }
    // Closing makes client calls of its own: keep the fetch's status for the error.
    {
        const TStatusKeeper failure;
        try {
            Close();
        } catch (...) {
        }
    }
    RaiseStatusError(lib, this);
}

bool TFIBQuery::Eof()
{
    if (FEof && FOpen && (FOptions & ::qoFreeHandleAfterExecute))
        FreeHandle();
    return FEof || !FOpen;
}

void TFIBQuery::Close()
{
    TRunStateGuard guard(FQueryRunState, qrsInClose);
    if (FHandle != 0 && FOpen && (FSQLType == SQLSelect || FSQLType == SQLSelectForUpdate)) {
        notifyTransaction(2);
        IIBClientLibrary& lib = ClientLibrary();
        if (Call(lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_close), false) > 0
            && !StatusHasErrorCode({isc_bad_stmt_handle, isc_dsql_cursor_close_err})) {
            FOpen = false;
            RaiseStatusError(lib, this);
        }
    }
    FEof = false;
    FBOF = false;
    FOpen = false;
    FProcExecuted = false;
    if (FOptions & ::qoFreeHandleAfterExecute)
        FreeHandle();
}

void TFIBQuery::FreeHandle()
{
    FSQLRecord->setCount(0);
    if (FHandle != 0) {
        IIBClientLibrary& lib = ClientLibrary();
        const ISC_STATUS result = Call(lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_drop), false);
        FHandle = 0;
        FPrepared = false;
        FOpen = false;
        if (result > 0 && !StatusHasErrorCode({isc_bad_stmt_handle}))
            RaiseStatusError(lib, this);
    }
    FEof = true;
    FOpen = false;
    FPrepared = false;
    FHandle = 0;
}

// ---------------------------------------------------------------- row counts and checks

TAllRowsAffected TFIBQuery::AllRowsAffected()
{
    TAllRowsAffected rows;
    if (!FPrepared)
        Prepare();
    IIBClientLibrary& lib = ClientLibrary();
    const char item = isc_info_sql_records;
    std::vector<char> buffer(255);
    Call(lib.isc_dsql_sql_info(StatusVector(), &FHandle, 1, &item, static_cast<short>(buffer.size()), buffer.data()), true);
    if (buffer[0] == isc_info_end)
        return rows;
    if (buffer[0] != isc_info_sql_records)
        RaiseClientError(ceUnknownError);
    const int length = lib.isc_vax_integer(buffer.data() + 1, 2);
    if (length + 3 > static_cast<int>(buffer.size())) {
        buffer.assign(static_cast<size_t>(length + 3), '\0');
        Call(lib.isc_dsql_sql_info(StatusVector(), &FHandle, 1, &item, static_cast<short>(buffer.size()), buffer.data()), true);
    }
    const int end = qMin(length + 3, static_cast<int>(buffer.size()));
    for (int p = 3; p < end;) {
        const char code = buffer[static_cast<size_t>(p)];
        if (code == isc_info_end)
            break;
        if (p + 3 > end)
            RaiseClientError(ceUnknownError);
        const short n = static_cast<short>(lib.isc_vax_integer(buffer.data() + p + 1, 2));
        if (n < 0 || p + 3 + n > end)
            RaiseClientError(ceUnknownError);
        const int value = lib.isc_vax_integer(buffer.data() + p + 3, n);
        switch (code) {
        case isc_info_req_select_count: rows.Selects = value; break;
        case isc_info_req_insert_count: rows.Inserts = value; break;
        case isc_info_req_update_count: rows.Updates = value; break;
        case isc_info_req_delete_count: rows.Deletes = value; break;
        default: RaiseClientError(ceUnknownError);
        }
        p += 3 + n;
    }
    return rows;
}

int TFIBQuery::RowsAffected()
{
    const TAllRowsAffected rows = AllRowsAffected();
    switch (FSQLType) {
    case SQLSelect: return rows.Selects;
    case SQLInsert: return rows.Inserts;
    case SQLUpdate: return rows.Updates;
    case SQLDelete: return rows.Deletes;
    default: return rows.Selects + rows.Inserts + rows.Updates + rows.Deletes;
    }
}

void TFIBQuery::CheckValidStatement()
{
    TFIBDatabase* db = Database();
    if (db == nullptr)
        RaiseClientError(ceDatabaseNotAssigned, {CmpFullName(this)});
    TFIBTransaction* tr = Transaction();
    const bool connected = !db->Connected();
    if (connected)
        db->Open();
    bool started = false;
    auto finish = [&]() {
        if (started && tr->Active())
            tr->Commit();
        if (connected)
            db->Close();
    };
    try {
        if (tr != nullptr && !tr->Active()) {
            tr->StartTransaction();
            started = true;
        }
        try {
            Prepare();
        } catch (const EFIBError&) {
            RaiseClientError(ceInvalidStatementHandle, {CmpFullName(this)});
        }
    } catch (...) {
        try {
            finish();
        } catch (...) {
        }
        throw;
    }
    finish();
}

// ---------------------------------------------------------------- columns and parameters

TFIBXSQLVAR* TFIBQuery::GetFields(int index)
{
    if (index < 0 || index >= FSQLRecord->Count())
        RaiseClientError(ceFieldNotFound, {QStringLiteral("Field No: ") + QString::number(index)});
    return FSQLRecord->GetXSQLVAR(index);
}

TFIBXSQLVAR* TFIBQuery::FieldByName(const QString& name)
{
    TFIBXSQLVAR* field = FindField(name);
    if (field == nullptr)
        RaiseClientError(ceFieldNotFound, {name});
    return field;
}

bool TFIBQuery::FieldExist(const QString& name, int& index)
{
    index = GetFieldIndex(name);
    return index >= 0;
}

TFIBXSQLDA& TFIBQuery::Params()
{
    if (!vUserParamsCreated && FDoParamCheck && !FParser.SQLText().isEmpty())
        scanUserParams();
    vUserParamsCreated = true;
    return *FUserSQLParams;
}

TFIBXSQLVAR* TFIBQuery::ParamByName(const QString& name)
{
    if (TFIBXSQLVAR* param = Params().GetXSQLVARByName(name))
        return param;
    if (IsProc())
        if (TFIBXSQLVAR* output = FSQLRecord->GetXSQLVARByName(name))
            return output;
    return FUserSQLParams->ParamByName(name);  // raises the missing-parameter error
}

bool TFIBQuery::ParamExist(const QString& name, int& index)
{
    index = Params().IndexOfName(name);
    return index >= 0;
}

void TFIBQuery::SetParamValues(const QVariantList& values)
{
    TFIBXSQLDA& params = Params();
    for (int i = 0; i < values.size() && i < params.Count(); ++i)
        params[i]->setAsVariant(values[i]);
}

void TFIBQuery::ExecWP(const QVariantList& values)
{
    SetParamValues(values);
    ExecQuery();
}

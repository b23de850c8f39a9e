#include "fib.h"

#include "IB_Intf.h"
#include "NamePath.h"
#include "Platform.h"

#include <array>
#include <cstring>
#include <mutex>

// ---------------------------------------------------------------- Exception

Exception::Exception(const QString& message) { setMessage(message); }

void Exception::setMessage(const QString& message)
{
    FMessage = message;
    FMessageUtf8 = message.toUtf8();
}

// ---------------------------------------------------------------- message parts

namespace {

std::mutex& messagePartsLock()
{
    static std::mutex lock;
    return lock;
}

int gErrorMessageParts = empRaiserName | empSQLMessage | empIBMessage;

thread_local ISC_STATUS_ARRAY tStatusVector = {};

const QString kLineBreak = QStringLiteral("\r\n");

}  // namespace

int ErrorMessageParts()
{
    std::lock_guard guard(messagePartsLock());
    return gErrorMessageParts;
}

void setErrorMessageParts(int parts)
{
    std::lock_guard guard(messagePartsLock());
    gErrorMessageParts = parts;
}

ISC_STATUS* StatusVector() { return tStatusVector; }

TStatusKeeper::TStatusKeeper() { std::memcpy(FSaved, tStatusVector, sizeof FSaved); }

TStatusKeeper::~TStatusKeeper() { std::memcpy(tStatusVector, FSaved, sizeof FSaved); }

// ---------------------------------------------------------------- EFIBError

EFIBError::EFIBError(int ASQLCode, const QString& aMsg, const QObject* Sender)
    : FSQLCode(ASQLCode),
      FIBErrorCode(static_cast<int>(tStatusVector[1])),
      FRaiserName(Sender ? CmpFullName(Sender) : QString()),
      FMsg(aMsg),
      FSenderObj(Sender)
{
    composeMessage();
}

EFIBError::EFIBError(int ASQLCode, const QString& IBMsg, const QString& SQLMsg, const QString& CstmMsg,
                     const QObject* Sender)
    : FSQLCode(ASQLCode),
      FIBErrorCode(static_cast<int>(tStatusVector[1])),
      FRaiserName(Sender ? CmpFullName(Sender) : QString()),
      FSQLMessage(SQLMsg),
      FIBMessage(IBMsg),
      FCustomMessage(CstmMsg),
      FSenderObj(Sender)
{
    composeMessage();
}

void EFIBError::setSQLMessage(const QString& value)
{
    FSQLMessage = value;
    composeMessage();
}

void EFIBError::setIBMessage(const QString& value)
{
    FIBMessage = value;
    composeMessage();
}

void EFIBError::setCustomMessage(const QString& value)
{
    FCustomMessage = value;
    composeMessage();
}

void EFIBError::setMsg(const QString& value)
{
    FMsg = value;
    composeMessage();
}

void EFIBError::composeMessage()
{
    const int parts = ErrorMessageParts();
    QString message;
    if ((parts & empRaiserName) && FRaiserName.size() > 1)
        message += FRaiserName + QLatin1Char(':') + kLineBreak;
    if (parts & empSQLMessage)
        message += FSQLMessage;
    if (parts & empIBMessage)
        message += FIBMessage;
    message += FCustomMessage;
    message += FMsg;
    setMessage(message);
}

// ---------------------------------------------------------------- Format

namespace {

struct Placeholder {
    bool leftAlign = false;
    int width = 0;
    int precision = -1;
    QChar type;
};

[[noreturn]] void raiseBadFormat(const QString& format)
{
    throw Exception(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(format));
}

int readNumber(const QString& format, qsizetype& i)
{
    int value = 0;
    while (i < format.size() && format[i].isDigit())
        value = value * 10 + format[i++].digitValue();
    return value;
}

// Reads the placeholder after the "%" at format[i - 1]; i ends after its type letter.
Placeholder readPlaceholder(const QString& format, qsizetype& i)
{
    Placeholder p;
    if (i < format.size() && format[i] == QLatin1Char('-')) {
        p.leftAlign = true;
        ++i;
    }
    p.width = readNumber(format, i);
    if (i < format.size() && format[i] == QLatin1Char('.')) {
        ++i;
        p.precision = readNumber(format, i);
    }
    if (i >= format.size())
        raiseBadFormat(format);
    p.type = format[i++].toLower();
    return p;
}

QString renderNumber(const Placeholder& p, const TFormatArg& arg)
{
    const long long value = arg.number();
    QString digits;
    if (p.type == QLatin1Char('x'))
        digits = QString::number(static_cast<unsigned long long>(value) & 0xFFFFFFFFull, 16).toUpper();
    else
        digits = QString::number(value < 0 ? -value : value);
    if (p.precision > digits.size())
        digits = QString(p.precision - digits.size(), QLatin1Char('0')) + digits;
    return (p.type == QLatin1Char('d') && value < 0) ? QLatin1Char('-') + digits : digits;
}

QString render(const QString& format, const Placeholder& p, const TFormatArg& arg)
{
    QString text;
    if (p.type == QLatin1Char('s')) {
        if (!arg.isText())
            raiseBadFormat(format);
        text = p.precision >= 0 ? arg.text().left(p.precision) : arg.text();
    } else if (p.type == QLatin1Char('d') || p.type == QLatin1Char('u') || p.type == QLatin1Char('x')) {
        if (arg.isText())
            raiseBadFormat(format);
        text = renderNumber(p, arg);
    } else {
        raiseBadFormat(format);
    }
    if (text.size() < p.width) {
        const QString pad(p.width - text.size(), QLatin1Char(' '));
        text = p.leftAlign ? text + pad : pad + text;
    }
    return text;
}

}  // namespace

QString Format(const QString& format, std::initializer_list<TFormatArg> args)
{
    QString result;
    result.reserve(format.size() + 32);
    auto next = args.begin();
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i++];
        if (c != QLatin1Char('%')) {
            result += c;
            continue;
        }
        if (i < format.size() && format[i] == QLatin1Char('%')) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        const Placeholder p = readPlaceholder(format, i);
        if (next == args.end())
            raiseBadFormat(format);
        result += render(format, p, *next++);
    }
    return result;
}

// ---------------------------------------------------------------- client errors

namespace {

const std::array<const char*, ClientErrorCount> kClientErrorTexts = {
    /*  0 */ "Unknown error.",
    /*  1 */ "Unsupported feature.",
    /*  2 */ "Not permitted.",
    /*  3 */ "Temporary file access error.",
    /*  4 */ "Database connection timed out.",
    /*  5 */ "Cannot set database.",
    /*  6 */ "Cannot set transaction.",
    /*  7 */ "Operation cancelled at user's request.",
    /*  8 */ "DPB Constant (isc_dpb_%s) is unsupported.",
    /*  9 */ "DPB Constant (%s) is unknown.",
    /* 10 */ "TPB Constant (isc_tpb_%s) is unsupported.",
    /* 11 */ "TPB Constant (%s) is unknown.",
    /* 12 */ "%s: Cannot perform operation -- DB is not open.",
    /* 13 */ "Cannot perform operation -- DB is currently open.",
    /* 14 */ "Database name is missing.",
    /* 15 */ "%s :Transaction is not active.",
    /* 16 */ "%s :Transaction is active.",
    /* 17 */ "Timeout values cannot be negative.",
    /* 18 */ "%s :No databases are listed in transaction component.",
    /* 19 */ "%s :Updating wrong database.",
    /* 20 */ "%s :Updating wrong transaction.",
    /* 21 */ "Database not assigned for %s.",
    /* 22 */ "Transaction not assigned for %s.",
    /* 23 */ "XSQLDA index out of range.",
    /* 24 */ "XSQLDA name does not exist (%s).",
    /* 25 */ "End of file.",
    /* 26 */ "Beginning of file.",
    /* 27 */ "%s:Invalid statement handle.",
    /* 28 */ "Can't %s because %s dataset open.",
    /* 29 */ "Can't %s because %s dataset closed.",
    /* 30 */ "Unknown SQL Data type (%d).",
    /* 31 */ "Invalid column index (index exceeds permitted range).",
    /* 32 */ "Invalid parameter index (index exceeds permitted range).",
    /* 33 */ "Invalid data conversion.",
    /* 34 */ "Column cannot be set to null (%s)",
    /* 35 */ "Blob stream cannot be read.",
    /* 36 */ "Blob stream cannot be written.",
    /* 37 */ "Can't %s , because  query is empty",
    /* 38 */ "Can't \"open\" a non-select statement. Use ExecQuery.",
    /* 39 */ "No access to field \"%s\".",
    /* 40 */ "Field \"%s\" is read-only.",
    /* 41 */ "Field \"%s\" not found.",
    /* 42 */ "DataSet not in Edit or Insert mode.(%s)",
    /* 43 */ "Not editing.",
    /* 44 */ "Can't insert into dataset. (%s)",
    /* 45 */ "Can't post. (%s) ",
    /* 46 */ "Can't update. (%s)",
    /* 47 */ "Can't delete from dataset. (%s)",
    /* 48 */ "Can't refresh row. (%s)",
    /* 49 */ "Buffer not set.",
    /* 50 */ "Circular references not permitted.(%s)",
    /* 51 */ "SQL Parse Error in :%s \r\n\r\n%s",
    /* 52 */ "User abort.",
    /* 53 */ "Data set is uni-directional.",
    /* 54 */ "Cannot create shared resource. (Windows error %d)",
    /* 55 */ "Windows API error. (Windows error %d [$%.8x])",
    /* 56 */ "Column lists do not match.",
    /* 57 */ "Column types don't match. (From index: %d, To index: %d)",
    /* 58 */ "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction.",
    /* 59 */ "Column types \"%s\" is not array field",
    /* 60 */ "Dimension %d don't exist in \"%s\" ",
    /* 61 */ "SQL Dialect invalid",
    /* 62 */ "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality",
    /* 63 */ "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality",
    /* 64 */ "InterBase Install DLL ibinstall.dll not found in the path. Please install InterBase 6 to use this functionality",
    /* 65 */ "Cannot perform operation -- service is not attached",
    /* 66 */ "Cannot perform operation -- service is attached",
    /* 67 */ "Server Name Missing",
    /* 68 */ "Query Parameters missing or incorrect",
    /* 69 */ "Start Parameters missing or incorrect",
    /* 70 */ "Unexpected Output buffer value",
    /* 71 */ "Generic ServiceStart not applicable: Use Specific Procedures to set configuration params",
    /* 72 */ "SPB Constant Not supported",
    /* 73 */ "SPB Constant Unknown",
    /* 74 */ "Field Size too small. Field %s.%s",
    /* 75 */ "%s. Can't use limited cache. \r\n"
             "CachedUpdates must be False,\r\n"
             "Select must have \"Order by\" clause ,\r\n"
             "All order fields must exist in fields section\r\n"
             "Select can't use params with prefix \"NEW_\"\r\n"
             "UpdateTransaction must be equel Transaction or AutoCommit=True ",
    /* 76 */ "Error in %s. FieldList is empty.",
    /* 77 */ "%s can't use field \"%s\"",
    /* 78 */ "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality",
    /* 79 */ "MDT. Socket of database \"%s\" not found",
    /* 80 */ "MDT. MDT transaction already opened",
    /* 81 */ "MDT. FIBXSQLDA and MDTDataRecord are incompatible",
    /* 82 */ "MDT. Unexpected error in \"%s\"",
    /* 83 */ "MDT. MDT savepoint \"%s\" already set",
    /* 84 */ "MDT. Savepoint \"%s\" not found",
};

}  // namespace

QString ClientErrorText(int code)
{
    const bool inTable = code >= 0 && code < ClientErrorCount;
    return QString::fromUtf8(kClientErrorTexts[inTable ? code : 0]);
}

void RaiseClientError(int code, std::initializer_list<TFormatArg> args)
{
    throw EFIBClientError(code, Format(ClientErrorText(code), args), nullptr);
}

void RaiseClientErrorText(const QString& format, std::initializer_list<TFormatArg> args)
{
    throw EFIBClientError(-1, Format(format, args), nullptr);
}

// ---------------------------------------------------------------- status interpretation

namespace {

constexpr short kSQLMessageBufferLength = 1024;
constexpr unsigned kEngineMessageBufferLength = 20480;

bool isLowerLatin(char c) { return c >= 'a' && c <= 'z'; }

QString sqlMessage(IIBClientLibrary& lib, ISC_LONG sqlCode)
{
    std::array<char, kSQLMessageBufferLength> buffer{};
    lib.isc_sql_interprete(static_cast<short>(sqlCode), buffer.data(), kSQLMessageBufferLength);
    buffer.back() = '\0';
    QString text = platform::fromSystemCodePage(buffer.data(), qstrlen(buffer.data()));
    text.remove(QStringLiteral("\\n"));
    if (text.isEmpty())
        return text;
    if (text[0] >= QLatin1Char('a') && text[0] <= QLatin1Char('z'))
        text[0] = text[0].toUpper();
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.') + kLineBreak;
    return text;
}

QString engineMessage(IIBClientLibrary& lib)
{
    std::array<char, kEngineMessageBufferLength> buffer{};
    const ISC_STATUS* cursor = tStatusVector;
    QString text;
    for (;;) {
        const ISC_LONG length = lib.fb_interpret(buffer.data(), kEngineMessageBufferLength, &cursor);
        if (length <= 0)
            break;
        QByteArray line(buffer.data(), qMin<qsizetype>(length, kEngineMessageBufferLength));
        if (isLowerLatin(line[0]))
            line[0] = static_cast<char>(line[0] - 'a' + 'A');
        text += platform::fromSystemCodePage(line.constData(), line.size());
        if (!text.endsWith(QLatin1Char('.')))
            text += QLatin1Char('.');
        text += kLineBreak;
    }
    return text;
}

// Messages of exceptions raised by procedural code reach us in UTF-8 over a UTF-8 attachment.
constexpr ISC_LONG kUserExceptionSQLCode = -836;

}  // namespace

void RaiseStatusError(IIBClientLibrary& lib, const QObject* Sender)
{
    const int parts = ErrorMessageParts();
    const ISC_LONG sqlCode = lib.isc_sqlcode(tStatusVector);
    const QString sqlText = (parts & empSQLMessage) ? sqlMessage(lib, sqlCode) : QString();
    QString engineText = (parts & empIBMessage) ? engineMessage(lib) : QString();
    if (sqlCode == kUserExceptionSQLCode)
        engineText = platform::redecodeAsUtf8(engineText);
    throw EFIBInterBaseError(static_cast<int>(sqlCode), engineText, sqlText, QString(), Sender);
}

// ---------------------------------------------------------------- status search

bool StatusHasErrorCode(std::span<const ISC_LONG> codes)
{
    const ISC_STATUS* status = tStatusVector;
    int i = 0;
    while (i < ISC_STATUS_LENGTH && status[i] != isc_arg_end) {
        const ISC_STATUS tag = status[i];
        if (tag == isc_arg_gds || tag == isc_arg_number) {
            if (i + 1 >= ISC_STATUS_LENGTH)
                break;
            for (const ISC_LONG code : codes)
                if (status[i + 1] == code)
                    return true;
        }
        i += (tag == isc_arg_cstring) ? 3 : 2;
    }
    return false;
}

bool StatusHasErrorCode(std::initializer_list<ISC_LONG> codes)
{
    return StatusHasErrorCode(std::span<const ISC_LONG>(codes.begin(), codes.size()));
}

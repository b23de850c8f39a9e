#pragma once
// The database layer's exception family, the per-thread status vector every client call fills,
// the layer's own error table, and the composition of a failed call's status into a message.
//
//   Exception            general exception, UTF-16 Message, what() gives it in UTF-8
//   ├─ EOSError          an operating-system failure (loading a library), with its error code
//   ├─ EAbort            a silent abort: the error display shows nothing
//   └─ EDatabaseError
//      └─ EFIBError      SQLCode, IBErrorCode, RaiserName, SQLMessage, IBMessage, CustomMessage, Msg
//         ├─ EFIBInterBaseError   a failed client library call (RaiseStatusError)
//         └─ EFIBClientError      a failed check of the layer itself (RaiseClientError)

#include <ibase.h>

#include "NamePath.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <exception>
#include <initializer_list>
#include <span>

class IIBClientLibrary;

class Exception : public std::exception {
public:
    explicit Exception(const QString& message = {});

    const QString& Message() const { return FMessage; }
    void setMessage(const QString& message);

    // The message in UTF-8; valid as long as the exception and its message are unchanged.
    const char* what() const noexcept override { return FMessageUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FMessageUtf8;
};

class EOSError : public Exception {
public:
    EOSError(int errorCode, const QString& message) : Exception(message), FErrorCode(errorCode) {}
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

class EAbort : public Exception {
public:
    using Exception::Exception;
};

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

class EFIBError : public EDatabaseError {
public:
    // Create: the raiser's own text aMsg. RaiserName is Sender's name path (empty without one);
    // IBErrorCode is word 1 of the calling thread's status vector.
    EFIBError(int ASQLCode, const QString& aMsg, const QObject* Sender = nullptr);
    // CreateEx: engine message, SQL message and custom text, then as Create with an empty aMsg.
    EFIBError(int ASQLCode, const QString& IBMsg, const QString& SQLMsg, const QString& CstmMsg,
              const QObject* Sender);

    int SQLCode() const { return FSQLCode; }
    int IBErrorCode() const { return FIBErrorCode; }
    const QString& RaiserName() const { return FRaiserName; }
    void setRaiserName(const QString& value) { FRaiserName = value; }
    const QString& SQLMessage() const { return FSQLMessage; }
    void setSQLMessage(const QString& value);
    const QString& IBMessage() const { return FIBMessage; }
    void setIBMessage(const QString& value);
    const QString& CustomMessage() const { return FCustomMessage; }
    void setCustomMessage(const QString& value);
    const QString& Msg() const { return FMsg; }
    void setMsg(const QString& value);
    // The raising object, not owned; null once it is destroyed.
    const QObject* SenderObj() const { return FSenderObj.data(); }

private:
    void composeMessage();

    int FSQLCode = 0;
    int FIBErrorCode = 0;
    QString FRaiserName;
    QString FSQLMessage;
    QString FIBMessage;
    QString FCustomMessage;
    QString FMsg;
    QPointer<const QObject> FSenderObj;
};

class EFIBInterBaseError : public EFIBError {
public:
    using EFIBError::EFIBError;
};

class EFIBClientError : public EFIBError {
public:
    using EFIBError::EFIBError;
};

// ---- Formatting of the layer's texts: %s a text, %d a decimal, %x/%.8x hexadecimal, %% a percent.
// Width and precision work as in printf ("%.8x" pads to 8 digits). A placeholder without a
// fitting argument raises Exception.
class TFormatArg {
public:
    TFormatArg(const QString& text) : FText(text), FIsText(true) {}
    TFormatArg(const char* text) : FText(QString::fromUtf8(text)), FIsText(true) {}
    TFormatArg(int value) : FNumber(value) {}
    TFormatArg(unsigned value) : FNumber(value) {}
    TFormatArg(long value) : FNumber(value) {}
    TFormatArg(long long value) : FNumber(value) {}

    bool isText() const { return FIsText; }
    const QString& text() const { return FText; }
    long long number() const { return FNumber; }

private:
    QString FText;
    long long FNumber = 0;
    bool FIsText = false;
};

QString Format(const QString& format, std::initializer_list<TFormatArg> args);

// ---- Client error table: codes 0 to 84.
inline constexpr int ClientErrorCount = 85;
// The format text of a client error code; the text of code 0 for a code outside the table.
QString ClientErrorText(int code);

// Codes the connection, transaction and statement components raise.
enum TClientErrorCode : int {
    ceUnknownError = 0,
    ceNotPermitted = 2,
    ceOperationCancelled = 7,
    ceDPBConstantNotSupported = 8,
    ceDPBConstantUnknown = 9,
    ceTPBConstantNotSupported = 10,
    ceTPBConstantUnknown = 11,
    ceDatabaseClosed = 12,
    ceDatabaseOpen = 13,
    ceDatabaseNameMissing = 14,
    ceNotInTransaction = 15,
    ceInTransaction = 16,
    ceNoDatabasesInTransaction = 18,
    ceDatabaseNotAssigned = 21,
    ceTransactionNotAssigned = 22,
    ceXSQLDAIndexOutOfRange = 23,
    ceInvalidStatementHandle = 27,
    ceSQLOpen = 28,
    ceSQLClosed = 29,
    ceUnknownSQLDataType = 30,
    ceInvalidDataConversion = 33,
    ceEmptyQuery = 37,
    ceFieldNotFound = 41,
    ceSQLParseError = 51,
    ceCantEndSharedTransaction = 58,
    ceSQLDialectInvalid = 61,
    ceFB2Feature = 78,
};

// Raises EFIBClientError: SQLCode = code, Message = the table text formatted with args.
[[noreturn]] void RaiseClientError(int code, std::initializer_list<TFormatArg> args = {});
// Raises EFIBClientError: SQLCode = -1, Message = format formatted with args.
[[noreturn]] void RaiseClientErrorText(const QString& format, std::initializer_list<TFormatArg> args = {});

// ---- Status vector of the calling thread; pass it to every client call.
ISC_STATUS* StatusVector();

// Keeps the calling thread's status vector across clean-up calls made after a failure (closing
// a blob or a cursor), so that the failure's own status is the one raised afterwards: saved at
// construction, put back at destruction.
class TStatusKeeper {
public:
    TStatusKeeper();
    ~TStatusKeeper();
    TStatusKeeper(const TStatusKeeper&) = delete;
    TStatusKeeper& operator=(const TStatusKeeper&) = delete;

private:
    ISC_STATUS_ARRAY FSaved;
};

// Raises the EFIBInterBaseError for the failure in the calling thread's status vector,
// interpreted through lib; Sender's name path heads the message. Call it on the thread that
// made the failed call, before that thread makes another client call.
[[noreturn]] void RaiseStatusError(IIBClientLibrary& lib, const QObject* Sender);

// True when the calling thread's status vector holds one of codes as an error code or number.
bool StatusHasErrorCode(std::span<const ISC_LONG> codes);
bool StatusHasErrorCode(std::initializer_list<ISC_LONG> codes);

// ---- Which parts a composed message includes (initially all three).
enum TErrorMessagePart : int { empRaiserName = 8, empSQLMessage = 4, empIBMessage = 2 };
int ErrorMessageParts();
void setErrorMessageParts(int parts);

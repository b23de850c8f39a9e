#pragma once
// The statement component and its value descriptors. TFIBXSQLDA owns one extended SQL descriptor
// area (XSQLDA version 1 as ibase.h lays it out) with a TFIBXSQLVAR per entry; TFIBQuery holds one
// SQL text, prepares it into a server statement, executes it and fetches its rows.

#include <ibase.h>

#include "SqlTxtRtns.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TFIBQuery;
class TFIBXSQLDA;
class TFb4Value;

// An exact amount with four decimals, held as units of 1/10000 (12.34 is 123400 units).
struct TCurrency {
    qint64 units = 0;
    QString toString() const;  // "12.3400"
    bool operator==(const TCurrency&) const = default;
};

// An exact decimal: digits x 10^-scale, scale 0 to 18 (-3.99 is {-399, 2}).
struct TBcd {
    qint64 digits = 0;
    int scale = 0;
    QString toString() const;  // "-3.99"
    bool operator==(const TBcd&) const = default;
};

// SQL type codes the descriptors handle beyond those ibase.h names.
inline constexpr short SQL_BOOLEAN_16 = 590;  // a Boolean stored as a 16-bit integer

// One entry of a descriptor area: a parameter or a result column, with its value accessors.
// Readers convert from the entry's type; a conversion that cannot be made raises
// EFIBClientError "Invalid data conversion." and leaves the entry unchanged.
//
// Firebird 4's types (a 4.0 client or later) read and write exactly, never through a double:
// - INT128, NUMERIC/DECIMAL of precision 19 to 38, DECFLOAT(16) and DECFLOAT(34): AsString and
//   AsVariant give the decimal text with every digit (a QString, so that setAsVariant(AsVariant())
//   stores the same value); AsInt64 and AsInteger truncate toward zero and raise when the value
//   does not fit; setters take text, integers and doubles (by their shortest exact text).
// - TIME and TIMESTAMP WITH TIME ZONE (and their extended forms): AsString gives the wall clock
//   with the zone's region name or offset, "2024-03-01 10:00:00 Europe/Moscow" or
//   "10:00:00 +03:00"; AsVariant and AsDateTime give a QDateTime in a QTimeZone (the region when
//   Qt knows it with the client's offset, else the offset); a time of day is placed on 1 January
//   2020 UTC, the date the server resolves regions for times on. Setters take such a QDateTime
//   (a region by name, anything else by its offset at that moment), a QTime (this machine's
//   local time) or text as AsString gives it, also ISO 8601 with an offset; text without a zone
//   is this machine's local time.
class TFIBXSQLVAR {
public:
    TFIBXSQLVAR(TFIBXSQLDA* parent, TFIBQuery* query);
    ~TFIBXSQLVAR();
    TFIBXSQLVAR(const TFIBXSQLVAR&) = delete;
    TFIBXSQLVAR& operator=(const TFIBXSQLVAR&) = delete;

    // ---- description
    XSQLVAR* AsXSQLVAR() const { return FXSQLVAR; }
    TFIBQuery* Query() const { return FQuery; }
    TFIBXSQLDA* Parent() const { return FParent; }
    int Index() const { return FIndex; }
    const QString& Name() const { return FName; }
    bool Modified() const { return FModified; }
    void setModified(bool value) { FModified = value; }
    bool IsParam() const;
    short SQLType() const { return static_cast<short>(FXSQLVAR->sqltype & ~1); }  // without the nullable bit
    short SQLSubtype() const { return FXSQLVAR->sqlsubtype; }
    short Scale() const { return FXSQLVAR->sqlscale; }
    short Size() const { return FXSQLVAR->sqllen; }
    short ServerSQLType() const { return FSrvSQLType; }
    int ServerSQLSubType() const { return FSrvSQLSubType; }
    short ServerSize() const { return FSrvSQLLen; }
    short ServerScale() const { return FSrvSQLScale; }
    bool IsNullable() const { return (FXSQLVAR->sqltype & 1) != 0; }
    bool IsBlob() const { return SQLType() == SQL_BLOB || SQLType() == SQL_ARRAY; }
    char* Data() const { return FXSQLVAR->sqldata; }
    QString SqlName() const;
    QString AliasName() const;
    QString RelationName() const;
    int CharacterSet() const;  // low byte of the subtype of text entries

    static bool IsNumericType(int code);   // DOUBLE, FLOAT, LONG, SHORT, D_FLOAT, INT64
    static bool IsRealType(int code, int scale);  // floating types and scaled integers
    static bool IsDateTimeType(int code);  // TIMESTAMP, TIME, DATE

    // ---- null
    bool IsNull() const;
    void setIsNull(bool value);
    void Clear() { setIsNull(true); }

    // ---- readers
    int AsInteger() const;
    int AsLong() const { return AsInteger(); }
    short AsShort() const { return static_cast<short>(AsInteger()); }
    qint64 AsInt64() const;
    double AsDouble() const;
    double AsFloat() const { return AsDouble(); }
    bool AsBoolean() const;
    QString AsWideString() const;
    QString AsString() const { return AsWideString(); }
    QDateTime AsDateTime() const;
    QDate AsDate() const;
    QTime AsTime() const;
    ISC_QUAD AsQuad() const;
    QVariant AsVariant() const;
    QVariant Value() const { return AsVariant(); }

    // ---- further typed accessors. Currency and BCD are exact decimals (TCurrency, TBcd), never a
    // detour through binary floating point; Extended reads as long double and is written through
    // double; GUIDs read 16 bytes of an OCTETS text column or the text form of other text columns;
    // AsTimeStamp is the zone-less value as the client library's record; AsPointer is the data buffer.
    TCurrency AsCurrency() const;
    TBcd AsBcd() const;
    long double AsExtended() const;
    float AsSingle() const { return static_cast<float>(AsDouble()); }
    QUuid AsGuid() const;
    ISC_TIMESTAMP AsTimeStamp() const;
    QByteArray AsAnsiString() const { return AsWideString().toLocal8Bit(); }
    void* AsPointer() const { return FXSQLVAR->sqldata; }
    void setAsCurrency(const TCurrency& value) { setAsWideString(value.toString()); }
    void setAsBcd(const TBcd& value) { setAsWideString(value.toString()); }
    void setAsExtended(long double value) { setAsDouble(static_cast<double>(value)); }
    void setAsSingle(float value) { setAsDouble(value); }
    void setAsGuid(const QUuid& value);
    void setAsTimeStamp(const ISC_TIMESTAMP& value);
    void setAsAnsiString(const QByteArray& value) { setAsWideString(QString::fromLocal8Bit(value)); }

    // ---- writers (a parameter not yet described keeps the value until its description arrives)
    void setAsInteger(int value);
    void setAsLong(int value) { setAsInteger(value); }
    void setAsShort(short value) { setAsInteger(value); }
    void setAsInt64(qint64 value);
    void setAsDouble(double value);
    void setAsBoolean(bool value);
    void setAsWideString(const QString& value);
    void setAsString(const QString& value) { setAsWideString(value); }
    void setAsDateTime(const QDateTime& value);
    void setAsDate(const QDate& value);
    void setAsTime(const QTime& value);
    void setAsQuad(const ISC_QUAD& value);
    void setAsVariant(const QVariant& value);
    void setValue(const QVariant& value) { setAsVariant(value); }

    // ---- text scan bookkeeping (macros and IS NULL rewriting)
    bool IsMacro() const { return FIsMacro; }
    bool Quoted() const { return FQuoted; }
    const QString& DefMacroValue() const { return FDefMacroValue; }
    void SetDefMacroValue(const QString& value) { FDefMacroValue = value; }
    bool IsDefMacroValue() const { return FIsMacro && macroText() == FDefMacroValue; }
    bool InWhereClause() const { return FInWhereClause; }
    bool CanForceIsNull() const { return FCanForceIsNull; }
    int BeginPosInText() const { return FBeginPosInText; }
    int EndPosInText() const { return FEndPosInText; }
    const QVariant& OldValue() const { return FOldValue; }
    void setOldValue(const QVariant& value) { FOldValue = value; }
    const QVariant& VariantFalse() const { return FVariantFalse; }
    const QVariant& VariantTrue() const { return FVariantTrue; }
    bool IsDefferedSetting() const { return FIsDefferedSetting; }
    bool HasStreamValue() const { return FHasStream; }
    // A text blob (subtype 1) reads and writes as text; other blobs as their bytes.
    bool IsTextBlob() const { return SQLType() == SQL_BLOB && SQLSubtype() == 1; }

private:
    friend class TFIBXSQLDA;
    friend class TFIBQuery;

    void setName(const QString& name) { FName = name; }
    void setReference(const TSQLReference& ref);
    // Takes the description in the XSQLVAR as the server gave it: records it and sizes the
    // data buffer and the null indicator. Raises for a type code outside the table.
    void takeServerDescription();
    // Sizes the buffers for the XSQLVAR's current type; raises for an unknown type code.
    void allocateBuffers();
    // Copies another entry's type description and re-sizes the buffers, keeping the value.
    void takeDescriptionOf(const TFIBXSQLVAR& other);
    void setXSQLVAR(XSQLVAR* var, int index) { FXSQLVAR = var; FIndex = index; }
    void applyDeferredSetting();

    QString macroText() const { return FMacroValue; }
    bool isUnicode() const;
    bool trimCharFields() const;
    QString decodeText(const char* data, int length) const;
    QByteArray encodeText(const QString& text) const;
    qint64 scaledInteger() const;  // the stored SHORT, LONG or INT64 value
    qint64 textAsInteger(qint64 min, qint64 max) const;
    QString decimalText() const;  // a numeric or text value as exact decimal text
    bool hasPendingValue() const { return FIsDefferedSetting || FIsMacro; }
    QVariant pendingAs(int typeId) const;
    void storeScaledInteger(qint64 value);
    // Store one value into an entry of known type; each raises before changing anything.
    void writeVariant(const QVariant& value);
    void storeVariant(const QVariant& value);
    void storeInteger(qint64 value);
    void storeDouble(double value);
    void storeTextValue(const QString& value);
    void storeDateTime(const QDate& date, const QTime& time, bool hasDate, bool hasTime);
    // Writes a text into a text entry; a text longer than the entry's buffer retypes a parameter
    // to VARYING of the needed length, so the server judges it instead of it being cut.
    void storeText(const QByteArray& bytes);
    void markSet();
    // The content of the blob the entry identifies, read in the statement's transaction.
    QByteArray readBlob() const;
    void setStream(const QByteArray& content);
    void propagate(const std::function<void(TFIBXSQLVAR&)>& set);
    [[noreturn]] void raiseInvalidConversion() const;
    TFb4Value fb4Value() const;  // the value of a Firebird 4 type in the data buffer

    int FIndex = 0;
    bool FModified = false;
    QString FName;
    TFIBQuery* FQuery = nullptr;
    QVariant FVariantFalse{0};
    QVariant FVariantTrue{1};
    XSQLVAR* FXSQLVAR = nullptr;
    TFIBXSQLDA* FParent = nullptr;
    bool FIsMacro = false;
    bool FQuoted = false;
    QVariant FOldValue;
    QString FDefMacroValue;
    QString FMacroValue;  // a macro's current value: macros have no server description
    short FSrvSQLType = 0;
    int FSrvSQLSubType = 0;
    short FSrvSQLLen = 0;
    short FSrvSQLScale = 0;
    bool FInWhereClause = false;
    bool FCanForceIsNull = false;
    bool FInitialized = false;
    int FBeginPosInText = 0;
    int FEndPosInText = 0;
    bool FIsDefferedSetting = false;
    QVariant FDeferredValue;  // the value set before the entry had a server description
    bool FForcedNull = false;  // the server text holds this parameter's comparison as an IS NULL test
    QByteArray FStreamValue;   // blob content to be written before execution
    bool FHasStream = false;
    std::vector<char> FDataBuffer;
    short FNullIndicator = 0;
};

// One XSQLDA and the wrappers of its entries. The area grows but never shrinks.
class TFIBXSQLDA {
public:
    explicit TFIBXSQLDA(bool isParams, TFIBQuery* query = nullptr);
    ~TFIBXSQLDA();
    TFIBXSQLDA(const TFIBXSQLDA&) = delete;
    TFIBXSQLDA& operator=(const TFIBXSQLDA&) = delete;

    int Count() const { return FCount; }
    // Sets the number of entries in use: clears the names and the lookup cache; grows the area
    // (new entries zero-filled) when n exceeds what is allocated.
    void setCount(int n);
    XSQLDA* AsXSQLDA() const { return FXSQLDA; }
    bool IsParams() const { return FIsParams; }
    TFIBQuery* Query() const { return FQuery; }
    int RecordSize() const;
    bool Modified() const;
    QString Names() const;  // the entry names, one a line
    bool HasDefferedSettings() const { return FHasDefferedSettings; }

    TFIBXSQLVAR* GetXSQLVAR(int index) const;  // raises "XSQLDA index out of range."
    TFIBXSQLVAR* operator[](int index) const { return GetXSQLVAR(index); }
    TFIBXSQLVAR* GetXSQLVARByName(const QString& name);  // null when absent
    TFIBXSQLVAR* FindParam(const QString& name) { return GetXSQLVARByName(name); }
    TFIBXSQLVAR* ParamByName(const QString& name);  // raises Exception when absent
    int IndexOfName(const QString& name);           // -1 when absent

    // Takes the server's description of every entry (after describe): names the result columns
    // (alias, unique, F_n for unnamed ones) and sizes the buffers.
    void Initialize();
    // Every macro gets its default value, every other entry becomes null.
    void ClearValues();
    // Copies values by name from source.
    void AssignValues(const TFIBXSQLDA& source);
    void ClearModified();
    // Converts values set before the entries had their server description.
    void ApplyDeferredSettings();

private:
    friend class TFIBXSQLVAR;
    friend class TFIBQuery;

    void registerName(const QString& name, int index);
    static QString fittedName(const TFIBXSQLVAR& var, QString name, int reserve);
    QString uniqueName(const TFIBXSQLVAR& var, const QString& name) const;
    TFIBXSQLVAR* findExact(const QString& name) const;
    // Replaces the entries by one per reference, keeping entry objects (with their values)
    // whose names the area already had.
    void rebuildFrom(const std::vector<TSQLReference>& refs, QChar macroChar);

    std::multimap<QString, int> FEquelNames;  // parameter names that occur more than once
    std::map<QString, TFIBXSQLVAR*> FCachedNames;
    int FCount = 0;
    bool FHasDefferedSettings = false;
    std::multimap<QString, int> FNames;
    TFIBQuery* FQuery = nullptr;
    int FSize = 0;
    XSQLDA* FXSQLDA = nullptr;
    std::vector<std::unique_ptr<TFIBXSQLVAR>> FXSQLVARs;
    bool FIsParams = false;
    // The storage FXSQLDA points into, aligned for the area and copied byte for byte on growth.
    struct alignas(std::max_align_t) TAreaChunk {
        unsigned char bytes[alignof(std::max_align_t)];
    };
    std::vector<TAreaChunk> FArea;
};

// Statement types as the server reports them at prepare (isc_info_sql_stmt_ codes).
enum TFIBSQLTypes {
    SQLUnknown = 0,
    SQLSelect = 1,
    SQLInsert = 2,
    SQLUpdate = 3,
    SQLDelete = 4,
    SQLDDL = 5,
    SQLGetSegment = 6,
    SQLPutSegment = 7,
    SQLExecProcedure = 8,
    SQLStartTransaction = 9,
    SQLCommit = 10,
    SQLRollback = 11,
    SQLSelectForUpdate = 12,
    SQLSetGenerator = 13,
    SQLSavePointOperation = 14
};

enum TpFIBQueryOption {
    qoStartTransaction = 1,
    qoAutoCommit = 2,
    qoTrimCharFields = 4,
    qoNoForceIsNull = 8,
    qoFreeHandleAfterExecute = 16
};
using TpFIBQueryOptions = int;  // a set of TpFIBQueryOption bits

class TFIBBase;
class TFIBDatabase;
class TFIBTransaction;
class IIBClientLibrary;
struct TSQLExecNotice;

enum TQueryRunState { qrsInPrepare = 1, qrsInExecute = 2, qrsInClose = 4 };

// Row counts of the statement's last execution, as the server reports them.
struct TAllRowsAffected {
    int Updates = 0;
    int Deletes = 0;
    int Selects = 0;
    int Inserts = 0;
};

// The statement component: one SQL text, prepared into a server statement and executed in its
// transaction. A data definition text is sent at once, as written, and never prepared.
class TFIBQuery : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE setSQL)
    Q_PROPERTY(bool ParamCheck READ ParamCheck WRITE setParamCheck)
    Q_PROPERTY(bool GoToFirstRecordOnExecute READ GoToFirstRecordOnExecute WRITE setGoToFirstRecordOnExecute)
    Q_PROPERTY(bool qoAutoCommit READ qoAutoCommit WRITE setQoAutoCommit)
    Q_PROPERTY(bool qoStartTransaction READ qoStartTransaction WRITE setQoStartTransaction)
    Q_PROPERTY(bool qoTrimCharFields READ qoTrimCharFields WRITE setQoTrimCharFields)
    Q_PROPERTY(bool qoNoForceIsNull READ qoNoForceIsNull WRITE setQoNoForceIsNull)
    Q_PROPERTY(bool qoFreeHandleAfterExecute READ qoFreeHandleAfterExecute WRITE setQoFreeHandleAfterExecute)
public:
    using TNotifyEvent = std::function<void(TFIBQuery* Sender)>;
    using TOnSQLFetch = std::function<void(int RecordNumber, bool& StopFetching)>;

    // An owning connection becomes Database, an owning transaction Transaction.
    explicit TFIBQuery(QObject* owner = nullptr);
    ~TFIBQuery() override;

    // ---- connection and transaction
    TFIBDatabase* Database() const;
    virtual void setDatabase(TFIBDatabase* value);
    TFIBTransaction* Transaction() const;
    void setTransaction(TFIBTransaction* value);
    isc_db_handle DBHandle() const;
    isc_tr_handle TRHandle() const;
    isc_stmt_handle Handle() const { return FHandle; }
    // The check around every client call of the statement (the binding has already restored the
    // floating-point state): lets the transaction note the activity and, with RaiseError and
    // ErrCode > 0, raises the client library error with the statement as raiser. Returns ErrCode.
    ISC_STATUS Call(ISC_STATUS ErrCode, bool RaiseError);

    // ---- text
    QStringList SQL() const { return FSQL; }
    void setSQL(const QStringList& lines);
    // Sets the lines from one text split at its line breaks.
    void setSQLText(const QString& text);
    // The lines joined, each followed by CR LF: the text the statement works on.
    QString SQLText() const { return FParser.SQLText(); }
    TSQLKind SQLKind() const { return FParser.SQLKind(); }
    void BeginModifySQLText();
    void EndModifySQLText();
    int CountModifySQLText() const { return FCountLockSQL; }
    int SQLTextChangeCount() const { return FSQLTextChangeCount; }
    QString ModifyTable() const { return FModifyTable; }
    bool ParamCheck() const { return FParamCheck; }
    void setParamCheck(bool value);
    bool GoToFirstRecordOnExecute() const { return FGoToFirstRecordOnExecute; }
    void setGoToFirstRecordOnExecute(bool value) { FGoToFirstRecordOnExecute = value; }
    TpFIBQueryOptions Options() const { return FOptions; }
    void setOptions(TpFIBQueryOptions value) { FOptions = value; }
    bool qoAutoCommit() const { return FOptions & ::qoAutoCommit; }
    void setQoAutoCommit(bool on) { setOption(::qoAutoCommit, on); }
    bool qoStartTransaction() const { return FOptions & ::qoStartTransaction; }
    void setQoStartTransaction(bool on) { setOption(::qoStartTransaction, on); }
    bool qoTrimCharFields() const { return FOptions & ::qoTrimCharFields; }
    void setQoTrimCharFields(bool on) { setOption(::qoTrimCharFields, on); }
    bool qoNoForceIsNull() const { return FOptions & ::qoNoForceIsNull; }
    void setQoNoForceIsNull(bool on) { setOption(::qoNoForceIsNull, on); }
    bool qoFreeHandleAfterExecute() const { return FOptions & ::qoFreeHandleAfterExecute; }
    void setQoFreeHandleAfterExecute(bool on) { setOption(::qoFreeHandleAfterExecute, on); }
    // The text as it goes to the server: markers as "?", macros and null tests applied.
    const QString& ProcessedSQL() const { return FProcessedSQL; }
    // ProcessedSQL in the bytes sent.
    const QByteArray& PreparedSQL() const { return FPreparedSQL; }
    // The parser's text with macro values and IS NULL tests applied; with ForChangeExecSQL the
    // statement notes that its server parameters now differ from Params.
    QString ReadySQLText(bool ForChangeExecSQL);
    QChar MacroChar() const { return FMacroChar; }
    bool MacroChanged() const { return FMacroChanged; }
    void ApplyMacro();
    void RestoreMacroDefaultValues();
    QString DefMacroValue(const QString& name);

    // ---- execution
    virtual void ExecQuery();
    // Sends the text at once with isc_dsql_execute_immediate (the path of data definition).
    void ExecuteImmediate();
    void Prepare();
    void Close();
    void FreeHandle();
    // Fetches the next row into the result record and returns it; null at the end.
    TFIBXSQLDA* Next();
    bool Eof();
    bool Bof() const { return FBOF; }
    bool Open() const { return FOpen; }
    bool Prepared() const { return FPrepared; }
    int RecordCount() const { return FRecordCount; }
    TFIBSQLTypes SQLType() const { return FSQLType; }
    bool ProcExecuted() const { return FProcExecuted; }
    void setProcExecuted(bool value) { FProcExecuted = value; }
    int QueryRunState() const { return FQueryRunState; }
    quint32 CallTime() const { return FCallTime; }
    QString CursorName() const { return FCursorName; }
    void setCursorName(const QString& value) { FCursorName = value; }
    TAllRowsAffected AllRowsAffected();
    // The count of the statement's type (selects, inserts, updates, deletes), else their sum.
    int RowsAffected();
    // The text begins with "EXECUTE ".
    bool IsProc() const;
    // Prepares the text, connecting and starting the transaction for it when needed.
    void CheckValidStatement();
    // True when texts go to the server in UTF-8 (a Unicode connection).
    bool IsUnicodeConnection() const;

    // ---- result columns
    TFIBXSQLDA& Current() { return *FSQLRecord; }
    TFIBXSQLVAR* GetFields(int index);
    TFIBXSQLVAR* FieldByName(const QString& name);
    TFIBXSQLVAR* FindField(const QString& name) { return FSQLRecord->GetXSQLVARByName(name); }
    TFIBXSQLVAR* FN(const QString& name) { return FindField(name); }
    int GetFieldIndex(const QString& name) { return FSQLRecord->IndexOfName(name); }
    int FieldCount() const { return FSQLRecord->Count(); }
    int FieldsCount() const { return FieldCount(); }
    QString FieldName(int index) { return GetFields(index)->Name(); }
    bool FieldExist(const QString& name, int& index);
    QVariant FieldValue(const QString& name) { return FieldByName(name)->AsVariant(); }

    // ---- parameters
    TFIBXSQLDA& Params();
    // The parameter of that name; an EXECUTE text also finds its output columns. Raises when absent.
    TFIBXSQLVAR* ParamByName(const QString& name);
    TFIBXSQLVAR* FindParam(const QString& name) { return Params().GetXSQLVARByName(name); }
    int ParamCount() { return Params().Count(); }
    QString ParamName(int index) { return Params().GetXSQLVAR(index)->Name(); }
    bool ParamExist(const QString& name, int& index);
    QVariant ParamValue(const QString& name) { return ParamByName(name)->AsVariant(); }
    void SetParamValue(const QString& name, const QVariant& value) { ParamByName(name)->setAsVariant(value); }
    // Assigns the values to the parameters in order.
    void SetParamValues(const QVariantList& values);
    void ExecWP(const QVariantList& values);
    // Names of server parameters that are not user parameters (brought in by macros).
    QStringList OnlySrvParams() const { return FOnlySrvParams; }

    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;
    TNotifyEvent OnSQLChanging;
    TNotifyEvent TransactionEnding;  // stored for the form; the statement never calls them
    TNotifyEvent TransactionEnded;
    TOnSQLFetch OnSQLFetch;

private:
    friend class TFIBXSQLDA;
    friend class TFIBXSQLVAR;

    void setOption(TpFIBQueryOption option, bool on) { FOptions = on ? (FOptions | option) : (FOptions & ~option); }
    IIBClientLibrary& ClientLibrary() const;
    unsigned short Dialect() const;
    isc_db_handle* DBHandlePtr() const;
    isc_tr_handle* TRHandlePtr() const;
    void sqlTextChanging();
    void sqlTextChanged();
    void textChangeStep();
    // Scans the parser's text for Params; raises the parse error, keeping the previous Params.
    void scanUserParams();
    // Rewrites the text for the server (macros, null tests) and rescans it into FSQLParams.
    void rebuildServerText();
    bool rewriteInputsChanged() const;
    void applyCodePage();
    QByteArray encodeForServer(const QString& text) const;
    [[noreturn]] void raiseParseError(TSQLParseError error) const;
    void beforeExecute();
    void afterExecute();
    void notifyTransaction(int kind);
    TFIBXSQLDA* chooseInputDescriptor();
    // Writes the stream values of the parameters as blobs and puts their identifiers in place.
    void writeStreamParams();
    void describeStatement();
    void readStatementType();
    void executeForType(const XSQLDA* input);

    bool FDoParamCheck = true;
    TSQLParser FParser;
    std::unique_ptr<TFIBBase> FBase;
    bool FBOF = false;
    bool FEof = false;
    bool FGoToFirstRecordOnExecute = true;
    bool FOpen = false;
    bool FPrepared = false;
    int FRecordCount = 0;
    isc_stmt_handle FHandle = 0;
    QStringList FSQL;
    bool FParamCheck = true;
    QString FProcessedSQL;
    QByteArray FPreparedSQL;
    std::unique_ptr<TFIBXSQLDA> FSQLParams;
    std::unique_ptr<TFIBXSQLDA> FSQLRecord;
    TFIBSQLTypes FSQLType = SQLUnknown;
    std::unique_ptr<TFIBXSQLDA> FUserSQLParams;
    bool FProcExecuted = false;
    QChar FMacroChar = QLatin1Char('@');
    bool vUserParamsCreated = false;
    int FCountLockSQL = 0;
    QString FModifyTable = QStringLiteral("-1");
    TpFIBQueryOptions FOptions = 0;
    bool vDiffParams = false;
    QStringList FOnlySrvParams;
    quint32 FCallTime = 0;
    bool FHaveMacros = false;
    bool FMacroChanged = false;
    int FSQLTextChangeCount = 0;
    bool FHaveStreamParams = false;
    int FQueryRunState = 0;
    bool FCodePageApplied = false;
    QString FCursorName;
};

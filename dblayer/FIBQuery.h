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
#include <QVariant>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TFIBQuery;
class TFIBXSQLDA;

// SQL type codes the descriptors handle beyond those ibase.h names.
inline constexpr short SQL_BOOLEAN_16 = 590;  // a Boolean stored as a 16-bit integer

// One entry of a descriptor area: a parameter or a result column, with its value accessors.
// Readers convert from the entry's type; a conversion that cannot be made raises
// EFIBClientError "Invalid data conversion." and leaves the entry unchanged.
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

private:
    friend class TFIBXSQLDA;

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
    bool readsAsNullNumber() const;
    void storeScaledInteger(qint64 value);
    // Store one value into an entry of known type; each raises before changing anything.
    void writeVariant(const QVariant& value);
    void storeInteger(qint64 value);
    void storeDouble(double value);
    void storeTextValue(const QString& value);
    void storeDateTime(const QDate& date, const QTime& time, bool hasDate, bool hasTime);
    // Writes a text into a text entry; a text longer than the entry's buffer retypes a parameter
    // to VARYING of the needed length, so the server judges it instead of it being cut.
    void storeText(const QByteArray& bytes);
    void markSet();
    void propagate(const std::function<void(TFIBXSQLVAR&)>& set);
    [[noreturn]] void raiseInvalidConversion() const;

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
    QString uniqueName(const QString& name) const;
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

// The statement component.
class TFIBQuery : public QObject {
    Q_OBJECT
public:
    explicit TFIBQuery(QObject* owner = nullptr);
    ~TFIBQuery() override;

    TFIBXSQLDA& Params() { return *FUserSQLParams; }
    TFIBXSQLDA& Current() { return *FSQLRecord; }
    int RecordCount() const { return FRecordCount; }
    TFIBSQLTypes SQLType() const { return FSQLType; }
    bool ProcExecuted() const { return FProcExecuted; }
    void setProcExecuted(bool value) { FProcExecuted = value; }
    TpFIBQueryOptions Options() const { return FOptions; }
    void setOptions(TpFIBQueryOptions value) { FOptions = value; }
    bool MacroChanged() const { return FMacroChanged; }
    QChar MacroChar() const { return FMacroChar; }
    // True when texts go to the server in UTF-8 (a Unicode connection).
    bool IsUnicodeConnection() const;
    // Re-reads the text with the current macro values for the server.
    void ApplyMacro();

private:
    friend class TFIBXSQLDA;
    friend class TFIBXSQLVAR;

    int FRecordCount = 0;
    TFIBSQLTypes FSQLType = SQLUnknown;
    bool FProcExecuted = false;
    TpFIBQueryOptions FOptions = 0;
    bool FMacroChanged = false;
    QChar FMacroChar = QLatin1Char('@');
    std::unique_ptr<TFIBXSQLDA> FSQLParams;
    std::unique_ptr<TFIBXSQLDA> FSQLRecord;
    std::unique_ptr<TFIBXSQLDA> FUserSQLParams;
};

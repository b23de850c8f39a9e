// TFIBQuery: one DSQL statement: its text, preparation, execution and cursor.
#include "FIBQuery.h"

#include "FIBDatabase.h"
#include "IB_Intf.h"
#include "NamePath.h"
#include "Platform.h"
#include "fib.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <exception>

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
    return UpperAscii(text.mid(i, 8)) == QLatin1String("EXECUTE ");
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
    std::exception_ptr closeError;
    if (FHandle != 0 && FOpen && (FSQLType == SQLSelect || FSQLType == SQLSelectForUpdate)) {
        notifyTransaction(2);
        IIBClientLibrary& lib = ClientLibrary();
        if (Call(lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_close), false) > 0
            && !StatusHasErrorCode({isc_bad_stmt_handle, isc_dsql_cursor_close_err})) {
            try {
                RaiseStatusError(lib, this);
            } catch (...) {
                closeError = std::current_exception();
            }
        }
    }
    // The cursor state is reset and the handle freed whether or not the close succeeded.
    FEof = false;
    FBOF = false;
    FOpen = false;
    FProcExecuted = false;
    if (FOptions & ::qoFreeHandleAfterExecute) {
        try {
            FreeHandle();
        } catch (...) {
            if (!closeError)
                throw;  // otherwise the close's error is the one reported
        }
    }
    if (closeError)
        std::rethrow_exception(closeError);
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

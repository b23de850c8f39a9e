#include "ScriptCases.h"

#include "BenchSupport.h"
#include "ScriptCatalogue.h"

#include <QRegularExpression>

#include <cstring>

namespace bench {

namespace {

bool isDdl(const QByteArray& text)
{
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|ALTER|RECREATE|DROP|GRANT|REVOKE|COMMENT)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(QString::fromUtf8(text)).hasMatch();
}

// A statement prepared once, described and ready to execute with the given input area.
class Prepared {
public:
    Prepared(RawConnection& conn, const QByteArray& text) : FConn(conn)
    {
        ISC_STATUS_ARRAY status;
        isc_dsql_allocate_statement(status, conn.db(), &FStmt);
        check(status, "allocate");
        isc_dsql_prepare(status, conn.tr(), &FStmt, 0, text.constData(), SQL_DIALECT_V6, FOut.da());
        check(status, "prepare");
        if (FOut.da()->sqld > FOut.da()->sqln) {
            FOut.resize(FOut.da()->sqld);
            isc_dsql_describe(status, &FStmt, SQL_DIALECT_V6, FOut.da());
            check(status, "describe");
        }
        FOut.allocate();
        char item = isc_info_sql_stmt_type;
        char buffer[16];
        isc_dsql_sql_info(status, &FStmt, 1, &item, sizeof buffer, buffer);
        check(status, "statement info");
        FType = isc_vax_integer(buffer + 3, static_cast<short>(isc_vax_integer(buffer + 1, 2)));
    }
    ~Prepared()
    {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &FStmt, DSQL_drop);
    }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;

    // Executes with in (may be null) and fetches every row of a select; returns the rows.
    std::int64_t run(const XSQLDA* in)
    {
        ISC_STATUS_ARRAY status;
        const bool select = FType == isc_info_sql_stmt_select || FType == isc_info_sql_stmt_select_for_upd;
        if (select || FOut.da()->sqld == 0)
            isc_dsql_execute(status, FConn.tr(), &FStmt, SQL_DIALECT_V6, in);
        else
            isc_dsql_execute2(status, FConn.tr(), &FStmt, SQL_DIALECT_V6, in, FOut.da());
        check(status, "execute");
        if (!select)
            return 0;
        std::int64_t rows = 0;
        ISC_STATUS rc;
        while ((rc = isc_dsql_fetch(status, &FStmt, SQL_DIALECT_V6, FOut.da())) == 0)
            ++rows;
        if (rc != 100)
            check(status, "fetch");
        isc_dsql_free_statement(status, &FStmt, DSQL_close);
        check(status, "close");
        return rows;
    }

private:
    RawConnection& FConn;
    isc_stmt_handle FStmt = 0;
    OutputArea FOut{8};
    int FType = 0;
};

// An input area of text parameters (sent as VARCHAR; the server converts them).
class TextParams {
public:
    explicit TextParams(int n) : FBytes(XSQLDA_LENGTH(n), 0), FValues(n), FNulls(n, 0)
    {
        auto* da = this->da();
        da->version = SQLDA_VERSION1;
        da->sqln = da->sqld = static_cast<ISC_SHORT>(n);
    }
    XSQLDA* da() { return reinterpret_cast<XSQLDA*>(FBytes.data()); }
    void set(int i, const QByteArray& value, bool isNull = false)
    {
        FValues[i] = value;
        FNulls[i] = isNull ? -1 : 0;
        XSQLVAR& v = da()->sqlvar[i];
        v.sqltype = SQL_TEXT + 1;
        v.sqllen = static_cast<ISC_SHORT>(FValues[i].size());
        v.sqldata = FValues[i].data();
        v.sqlind = &FNulls[i];
    }

private:
    std::vector<char> FBytes;
    std::vector<QByteArray> FValues;
    std::vector<short> FNulls;
};

}  // namespace

QString isqlScript()
{
    QString out = QStringLiteral("SET AUTODDL OFF;\nSET TERM ^ ;\n");
    for (const script::ScriptStatement& s : script::runOrder()) {
        QString text = script::statementText(s);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out += text + QStringLiteral("^\n");
        if (s.transaction == QLatin1String("Tr2"))
            out += QStringLiteral("COMMIT^\n");
    }
    out += QStringLiteral("COMMIT^\nSET TERM ; ^\n");
    return out;
}

std::int64_t rawExecute(RawConnection& conn, const QByteArray& text)
{
    if (isDdl(text)) {
        conn.executeImmediate(text);
        return 0;
    }
    Prepared statement(conn, text);
    return statement.run(nullptr);
}

AttachmentWork attachmentWork(RawConnection& conn)
{
    ISC_STATUS_ARRAY status;
    isc_tr_handle tr = 0;
    isc_start_transaction(status, &tr, 1, conn.db(), 0, nullptr);
    check(status, "start monitoring transaction");
    isc_stmt_handle stmt = 0;
    isc_dsql_allocate_statement(status, conn.db(), &stmt);
    check(status, "allocate");
    OutputArea out(3);
    const char* sql =
        "SELECT CAST(R.MON$RECORD_SEQ_READS + R.MON$RECORD_IDX_READS AS BIGINT), "
        "CAST(I.MON$PAGE_FETCHES AS BIGINT), CAST(I.MON$PAGE_READS AS BIGINT) FROM MON$ATTACHMENTS A "
        "JOIN MON$RECORD_STATS R ON R.MON$STAT_ID = A.MON$STAT_ID JOIN MON$IO_STATS I ON I.MON$STAT_ID = A.MON$STAT_ID "
        "WHERE A.MON$ATTACHMENT_ID = CURRENT_CONNECTION";
    isc_dsql_prepare(status, &tr, &stmt, 0, sql, SQL_DIALECT_V6, out.da());
    check(status, "prepare");
    out.allocate();
    isc_dsql_execute(status, &tr, &stmt, SQL_DIALECT_V6, nullptr);
    check(status, "execute");
    AttachmentWork work;
    if (isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out.da()) == 0) {
        std::memcpy(&work.recordReads, out.da()->sqlvar[0].sqldata, sizeof work.recordReads);
        std::memcpy(&work.pageFetches, out.da()->sqlvar[1].sqldata, sizeof work.pageFetches);
        std::memcpy(&work.pageReads, out.da()->sqlvar[2].sqldata, sizeof work.pageReads);
    }
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    isc_commit_transaction(status, &tr);
    check(status, "commit monitoring transaction");
    return work;
}

std::vector<StatementTime> rawHotfix(const QString& databaseName, const QString& user, const QString& password)
{
    std::vector<StatementTime> times;
    RawConnection conn(databaseName, user, password);
    QString previous;
    for (const script::ScriptStatement& s : script::runOrder()) {
        if (!previous.isEmpty() && s.transaction != previous) {
            Stopwatch watch;
            conn.commit();
            times.push_back({QStringLiteral("commit-") + previous, watch.seconds()});
        }
        previous = s.transaction;
        Stopwatch watch;
        rawExecute(conn, script::statementText(s).toUtf8());
        times.push_back({s.component, watch.seconds()});
    }
    Stopwatch watch;
    conn.commit();
    times.push_back({QStringLiteral("commit-") + previous, watch.seconds()});
    return times;
}

std::vector<double> valAddAfterCalls(RawConnection& conn, const QString& variant, int calls)
{
    // The school's periods with their kinds, so that each call sets a period's own kind again.
    std::vector<std::pair<QByteArray, QByteArray>> periods;
    {
        ISC_STATUS_ARRAY status;
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(status, conn.db(), &stmt);
        check(status, "allocate");
        std::vector<char> bytes(XSQLDA_LENGTH(2), 0);
        auto* out = reinterpret_cast<XSQLDA*>(bytes.data());
        out->version = SQLDA_VERSION1;
        out->sqln = 2;
        const char* sql = "SELECT CAST(K.OBJ_ID AS VARCHAR(20)), CAST(K.LISTVAL_ID AS VARCHAR(20)) FROM VALL K "
                          "WHERE K.PARAM_ID = 1170 AND K.IS_DEL = 0 ORDER BY K.OBJ_ID";
        isc_dsql_prepare(status, conn.tr(), &stmt, 0, sql, SQL_DIALECT_V6, out);
        check(status, "prepare");
        char a[64], b[64];
        short na = 0, nb = 0;
        out->sqlvar[0].sqldata = a;
        out->sqlvar[0].sqlind = &na;
        out->sqlvar[1].sqldata = b;
        out->sqlvar[1].sqlind = &nb;
        isc_dsql_execute(status, conn.tr(), &stmt, SQL_DIALECT_V6, nullptr);
        check(status, "execute");
        while (isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out) == 0) {
            const auto la = *reinterpret_cast<unsigned short*>(a);
            const auto lb = *reinterpret_cast<unsigned short*>(b);
            periods.emplace_back(QByteArray(a + 2, la), QByteArray(b + 2, lb));
        }
        isc_dsql_free_statement(status, &stmt, DSQL_drop);
    }
    if (variant == QLatin1String("param") && periods.empty())
        throw Failure("the database has no study periods with a kind");
    if (variant != QLatin1String("param") && variant != QLatin1String("tag"))
        throw Failure(("unknown VAL_ADD_AFTER variant: " + variant).toStdString());

    Prepared call(conn, "SELECT BLOB_ID, REFRESH_FLAG FROM VAL_ADD_AFTER(?, ?, ?, ?, ?, ?, ?, ?, ?)");
    TextParams in(9);
    std::vector<double> seconds;
    seconds.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        if (variant == QLatin1String("param")) {
            const auto& [period, kind] = periods[i % periods.size()];
            in.set(0, "1170");
            in.set(1, period);
            in.set(2, kind);
            in.set(6, {}, true);
        } else {
            // OU_OPF: the chosen list value's code (stage 1 to 11) is written to parameter 22.
            in.set(0, "21");
            in.set(1, "1000000001");
            in.set(2, QByteArray::number(37 + i % 11));
            in.set(6, "OU_OPF");
        }
        in.set(3, "1");
        in.set(4, "0");
        in.set(5, "1");
        in.set(7, "ru");
        in.set(8, variant == QLatin1String("param") ? "154" : "2");
        Stopwatch watch;
        call.run(in.da());
        seconds.push_back(watch.seconds());
    }
    return seconds;
}

}  // namespace bench

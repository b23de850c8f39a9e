#include "RawClient.h"

#include "BenchSupport.h"

#include <QDateTime>

#include <cstring>
#include <vector>

namespace bench {

namespace {

QByteArray buildDpb(const QString& user, const QString& password)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    const auto add = [&dpb](char item, const QByteArray& value) {
        dpb.append(item);
        dpb.append(char(value.size()));
        dpb.append(value);
    };
    add(char(isc_dpb_user_name), user.toUtf8());
    add(char(isc_dpb_password), password.toUtf8());
    add(char(isc_dpb_lc_ctype), QByteArrayLiteral("UTF8"));
    return dpb;
}

bool isNull(const XSQLVAR& v) { return (v.sqltype & 1) && *v.sqlind == -1; }

}  // namespace

OutputArea::OutputArea(int n) { resize(n); }

void OutputArea::resize(int n)
{
    FBytes.assign(XSQLDA_LENGTH(n), 0);
    da()->version = SQLDA_VERSION1;
    da()->sqln = static_cast<ISC_SHORT>(n);
}

void OutputArea::allocate()
{
    FData.assign(da()->sqld, {});
    FNulls.assign(da()->sqld, 0);
    for (int i = 0; i < da()->sqld; ++i) {
        XSQLVAR& v = da()->sqlvar[i];
        FData[i].assign(v.sqllen + 2, 0);
        v.sqldata = FData[i].data();
        v.sqlind = &FNulls[i];
    }
}

void check(const ISC_STATUS* status, const char* what)
{
    if (status[0] != 1 || status[1] == 0)
        return;
    QByteArray text = QByteArray(what) + ": ";
    char buffer[512];
    const ISC_STATUS* p = status;
    bool first = true;
    while (fb_interpret(buffer, sizeof buffer, &p) > 0) {
        if (!first)
            text += " - ";
        text += buffer;
        first = false;
    }
    throw Failure(text.toStdString());
}

RawConnection::RawConnection(const QString& databaseName, const QString& user, const QString& password)
{
    ISC_STATUS_ARRAY status;
    const QByteArray name = databaseName.toLocal8Bit();
    const QByteArray dpb = buildDpb(user, password);
    isc_attach_database(status, 0, name.constData(), &FDb, static_cast<short>(dpb.size()), dpb.constData());
    check(status, "attach");
    isc_start_transaction(status, &FTr, 1, &FDb, 0, nullptr);
    check(status, "start transaction");
}

RawConnection::~RawConnection()
{
    ISC_STATUS_ARRAY status;
    if (FTr)
        isc_rollback_transaction(status, &FTr);
    if (FDb)
        isc_detach_database(status, &FDb);
}

void RawConnection::executeImmediate(const QByteArray& sql)
{
    ISC_STATUS_ARRAY status;
    isc_dsql_execute_immediate(status, &FDb, &FTr, 0, sql.constData(), SQL_DIALECT_V6, nullptr);
    check(status, sql.left(60).constData());
}

void RawConnection::commit()
{
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &FTr);
    check(status, "commit");
    isc_start_transaction(status, &FTr, 1, &FDb, 0, nullptr);
    check(status, "start transaction");
}

void createBenchDatabase(const QString& databaseName, const QString& user, const QString& password, std::int64_t rows)
{
    {
        ISC_STATUS_ARRAY status;
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        QString quotedPassword = password;
        quotedPassword.replace(QLatin1Char('\''), QStringLiteral("''"));
        const QByteArray create = QStringLiteral("CREATE DATABASE '%1' USER '%2' PASSWORD '%3' PAGE_SIZE 8192 "
                                                 "DEFAULT CHARACTER SET UTF8")
                                      .arg(databaseName, user, quotedPassword)
                                      .toUtf8();
        isc_dsql_execute_immediate(status, &db, &tr, 0, create.constData(), SQL_DIALECT_V6, nullptr);
        check(status, "create database");
        isc_detach_database(status, &db);
        check(status, "detach");
    }
    RawConnection conn(databaseName, user, password);
    conn.executeImmediate("CREATE TABLE BENCH_ROWS (ID INTEGER NOT NULL, BIG BIGINT, AMOUNT NUMERIC(15, 2), "
                          "NAME VARCHAR(40), STAMP TIMESTAMP)");
    conn.commit();
    conn.executeImmediate(QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                                         "WHILE (I <= %1) DO BEGIN "
                                         "INSERT INTO BENCH_ROWS (ID, BIG, AMOUNT, NAME, STAMP) VALUES (:I, "
                                         ":I * 1000003, IIF(MOD(:I, 7) = 0, NULL, MOD(:I * 37, 1000000) * 0.01), "
                                         "'Pupil ' || :I || ' of class ' || (MOD(:I, 80) + 1), "
                                         "DATEADD(:I SECOND TO TIMESTAMP '2020-09-01 08:00:00')); "
                                         "I = I + 1; END END")
                              .arg(rows)
                              .toUtf8());
    conn.commit();
    conn.executeImmediate("ALTER TABLE BENCH_ROWS ADD CONSTRAINT PK_BENCH_ROWS PRIMARY KEY (ID)");
    conn.commit();
}

void dropDatabase(const QString& databaseName, const QString& user, const QString& password)
{
    RawConnection conn(databaseName, user, password);
    ISC_STATUS_ARRAY status;
    isc_rollback_transaction(status, conn.tr());
    isc_drop_database(status, conn.db());
    check(status, "drop database");
}

std::int64_t rawFetch(RawConnection& conn, std::int64_t rows, bool toQtTypes)
{
    ISC_STATUS_ARRAY status;
    isc_stmt_handle stmt = 0;
    isc_dsql_allocate_statement(status, conn.db(), &stmt);
    check(status, "allocate");
    OutputArea out(5);
    const QByteArray sql = fetchSql(rows).toUtf8();
    isc_dsql_prepare(status, conn.tr(), &stmt, 0, sql.constData(), SQL_DIALECT_V6, out.da());
    check(status, "prepare");
    out.allocate();
    isc_dsql_execute(status, conn.tr(), &stmt, SQL_DIALECT_V6, nullptr);
    check(status, "execute");

    const XSQLVAR* v = out.da()->sqlvar;
    std::int64_t sum = 0;
    ISC_STATUS rc;
    while ((rc = isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out.da())) == 0) {
        const std::int64_t id = *reinterpret_cast<const ISC_LONG*>(v[0].sqldata);
        const std::int64_t big = isNull(v[1]) ? 0 : *reinterpret_cast<const ISC_INT64*>(v[1].sqldata);
        const std::int64_t cents = isNull(v[2]) ? 0 : *reinterpret_cast<const ISC_INT64*>(v[2].sqldata);
        std::int64_t nameLength = 0;
        std::int64_t epoch = 0;
        if (!isNull(v[3])) {
            const auto length = *reinterpret_cast<const unsigned short*>(v[3].sqldata);
            nameLength = toQtTypes ? QString::fromUtf8(v[3].sqldata + 2, length).size() : length;
        }
        if (!isNull(v[4])) {
            const auto* ts = reinterpret_cast<const ISC_TIMESTAMP*>(v[4].sqldata);
            if (toQtTypes) {
                // Zone-less, as the layer reads a TIMESTAMP.
                const QDateTime dt(QDate::fromJulianDay(ts->timestamp_date + 2400001),
                                   QTime::fromMSecsSinceStartOfDay(static_cast<int>(ts->timestamp_time / 10)), Qt::UTC);
                epoch = epochSeconds(dt);
            } else {
                epoch = (ts->timestamp_date - kUnixEpochIscDate) * 86400 + ts->timestamp_time / ISC_TIME_SECONDS_PRECISION;
            }
        }
        sum += rowChecksum(id, big, cents, nameLength, epoch);
    }
    if (rc != 100)
        check(status, "fetch");
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    check(status, "free");
    return sum;
}

std::int64_t rawCycles(RawConnection& conn, std::int64_t cycles, std::int64_t tableRows)
{
    ISC_STATUS_ARRAY status;
    isc_stmt_handle stmt = 0;
    isc_dsql_allocate_statement(status, conn.db(), &stmt);
    check(status, "allocate");
    OutputArea out(2);
    std::vector<char> inBytes(XSQLDA_LENGTH(1), 0);
    auto* in = reinterpret_cast<XSQLDA*>(inBytes.data());
    in->version = SQLDA_VERSION1;
    in->sqln = in->sqld = 1;
    ISC_LONG key = 0;
    in->sqlvar[0].sqltype = SQL_LONG;
    in->sqlvar[0].sqllen = sizeof key;
    in->sqlvar[0].sqldata = reinterpret_cast<char*>(&key);

    const QByteArray sql = cycleSql().toUtf8();
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < cycles; ++i) {
        isc_dsql_prepare(status, conn.tr(), &stmt, 0, sql.constData(), SQL_DIALECT_V6, out.da());
        check(status, "prepare");
        if (i == 0)
            out.allocate();
        key = cycleKey(i, tableRows);
        isc_dsql_execute(status, conn.tr(), &stmt, SQL_DIALECT_V6, in);
        check(status, "execute");
        if (isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out.da()) == 0) {
            const XSQLVAR* v = out.da()->sqlvar;
            sum += key + (isNull(v[0]) ? 0 : *reinterpret_cast<const unsigned short*>(v[0].sqldata));
        } else {
            check(status, "fetch");
        }
        isc_dsql_free_statement(status, &stmt, DSQL_close);
        check(status, "close");
    }
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    return sum;
}

}  // namespace bench

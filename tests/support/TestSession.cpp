#include "TestSession.h"

#include "FIBDatabase.h"
#include "IB_Intf.h"
#include "StringList.h"
#include "ScriptCatalogue.h"
#include "TestEnv.h"
#include "fib.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace testsupport {

namespace {

constexpr short kDialect = 3;
constexpr short kCharsetUtf8 = 4;
constexpr short kCharsetUnicodeFss = 3;
// ISC_DATE counts days from 17 November 1858, Julian day 2400001.
constexpr qint64 kIscDateJulianDay = 2400001;
// ISC_TIME counts units of 1/10000 second.
constexpr int kTimeUnitsPerMs = 10;

// One XSQLDA with room for n variables, and a buffer and null indicator per variable.
class Descriptor {
public:
    explicit Descriptor(int n) { resize(n); }

    void resize(int n)
    {
        n = std::max(n, 1);
        const std::size_t bytes = XSQLDA_LENGTH(n);
        FMemory.assign((bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t), std::max_align_t{});
        FDa = reinterpret_cast<XSQLDA*>(FMemory.data());
        FDa->version = SQLDA_VERSION1;
        FDa->sqln = static_cast<ISC_SHORT>(n);
        FDa->sqld = 0;
    }

    XSQLDA* get() { return FDa; }
    int capacity() const { return FDa->sqln; }
    int count() const { return FDa->sqld; }
    XSQLVAR& var(int i) { return FDa->sqlvar[i]; }

    // A buffer of the variable's current type and length, and its null indicator.
    void allocate(int i)
    {
        if (FData.size() < static_cast<std::size_t>(count())) {
            FData.resize(count());
            FNull.resize(count(), 0);
        }
        XSQLVAR& v = var(i);
        const std::size_t size = std::max<std::size_t>(
            1, static_cast<std::size_t>(v.sqllen) + ((v.sqltype & ~1) == SQL_VARYING ? sizeof(ISC_USHORT) : 0));
        FData[i].assign(size, 0);
        v.sqldata = FData[i].data();
        v.sqlind = &FNull[i];
    }
    void allocateAll()
    {
        for (int i = 0; i < count(); ++i)
            allocate(i);
    }

private:
    std::vector<std::max_align_t> FMemory;
    XSQLDA* FDa = nullptr;
    std::vector<std::vector<char>> FData;
    std::vector<ISC_SHORT> FNull;
};

template <class T>
T readAs(const char* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

QVariant scaledValue(qint64 value, int scale, bool wide)
{
    if (scale == 0)
        return wide ? QVariant(qlonglong(value)) : QVariant(int(value));
    double result = double(value);
    for (int i = 0; i < -scale; ++i)
        result /= 10.0;
    return result;
}

// A CHAR value holds as many characters as its length in bytes allows; the rest is padding.
QString fixedText(const char* p, int length, short subtype)
{
    const short charset = subtype & 0xFF;
    const int bytesPerChar = charset == kCharsetUtf8 ? 4 : charset == kCharsetUnicodeFss ? 3 : 1;
    const QString text = QString::fromUtf8(p, length);
    if (bytesPerChar == 1)
        return text;
    QList<uint> codePoints = text.toUcs4();
    codePoints.resize(std::min<qsizetype>(codePoints.size(), length / bytesPerChar));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()), codePoints.size());
}

ISC_DATE toIscDate(const QDate& d) { return static_cast<ISC_DATE>(d.toJulianDay() - kIscDateJulianDay); }
ISC_TIME toIscTime(const QTime& t) { return static_cast<ISC_TIME>(t.msecsSinceStartOfDay()) * kTimeUnitsPerMs; }
QDate fromIscDate(ISC_DATE d) { return QDate::fromJulianDay(qint64(d) + kIscDateJulianDay); }
QTime fromIscTime(ISC_TIME t) { return QTime::fromMSecsSinceStartOfDay(int(t / kTimeUnitsPerMs)); }

}  // namespace

class TestSession::Impl {
public:
    explicit Impl(const QString& databaseName) : lib(ClientLibraryByName(clientLibraryName()))
    {
        const QByteArray dpb = attachDPB();
        const QByteArray name = databaseName.toLocal8Bit();
        check(lib->isc_attach_database(StatusVector(), 0, name.constData(), &db, short(dpb.size()), dpb.constData()));
    }

    ~Impl()
    {
        if (tr)
            lib->isc_rollback_transaction(StatusVector(), &tr);
        if (db)
            lib->isc_detach_database(StatusVector(), &db);
    }

    void check(ISC_STATUS result)
    {
        if (result != 0)
            RaiseStatusError(*lib, nullptr);
    }

    void ensureTransaction()
    {
        if (tr)
            return;
        static const QByteArray tpb = [] {
            TStringList lines;
            for (const char* line : {"write", "read_committed", "rec_version", "nowait"})
                lines.Add(QString::fromLatin1(line));
            return BuildTPB(lines, true);
        }();
        TISCTEB teb{&db, int(tpb.size()), tpb.constData()};
        check(lib->isc_start_multiple(StatusVector(), &tr, 1, &teb));
    }

    void commit()
    {
        if (tr)
            check(lib->isc_commit_transaction(StatusVector(), &tr));
    }

    void rollback()
    {
        if (tr)
            check(lib->isc_rollback_transaction(StatusVector(), &tr));
    }

    QList<QVariantList> run(const QString& sql, const QVariantList& params);

private:
    struct Statement {
        Impl& session;
        isc_stmt_handle handle = 0;
        ~Statement()
        {
            if (handle)
                session.lib->isc_dsql_free_statement(StatusVector(), &handle, DSQL_drop);
        }
    };

    int statementType(isc_stmt_handle* handle);
    void bind(Descriptor& in, int i, const QVariant& value);
    QVariant read(XSQLVAR& v);
    QByteArray readBlob(ISC_QUAD id);
    ISC_QUAD writeBlob(const QByteArray& data);

    std::shared_ptr<IIBClientLibrary> lib;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
};

QList<QVariantList> TestSession::Impl::run(const QString& sql, const QVariantList& params)
{
    ensureTransaction();
    Statement st{*this};
    check(lib->isc_dsql_alloc_statement2(StatusVector(), &db, &st.handle));

    Descriptor out(16);
    const QByteArray text = sql.toUtf8();
    check(lib->isc_dsql_prepare(StatusVector(), &tr, &st.handle, 0, text.constData(), kDialect, out.get()));
    if (out.count() > out.capacity()) {
        out.resize(out.count());
        check(lib->isc_dsql_describe(StatusVector(), &st.handle, 1, out.get()));
    }

    Descriptor in(int(params.size()));
    check(lib->isc_dsql_describe_bind(StatusVector(), &st.handle, 1, in.get()));
    if (in.count() > in.capacity()) {
        in.resize(in.count());
        check(lib->isc_dsql_describe_bind(StatusVector(), &st.handle, 1, in.get()));
    }
    if (in.count() != params.size())
        RaiseClientErrorText("TestSession: the statement has %d parameters but %d values were given",
                             {in.count(), int(params.size())});
    for (int i = 0; i < in.count(); ++i)
        bind(in, i, params[i]);
    XSQLDA* input = in.count() > 0 ? in.get() : nullptr;

    QList<QVariantList> rows;
    const auto readRow = [&] {
        QVariantList row;
        for (int i = 0; i < out.count(); ++i)
            row.append(read(out.var(i)));
        rows.append(row);
    };
    const int type = statementType(&st.handle);
    if (type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd) {
        check(lib->isc_dsql_execute(StatusVector(), &tr, &st.handle, 1, input));
        out.allocateAll();
        for (;;) {
            const ISC_STATUS result = lib->isc_dsql_fetch(StatusVector(), &st.handle, 1, out.get());
            if (result == 100)
                break;
            check(result);
            readRow();
        }
    } else if (out.count() > 0) {
        // EXECUTE PROCEDURE, EXECUTE BLOCK or a DML statement with RETURNING: one row.
        out.allocateAll();
        check(lib->isc_dsql_execute2(StatusVector(), &tr, &st.handle, 1, input, out.get()));
        readRow();
    } else {
        check(lib->isc_dsql_execute(StatusVector(), &tr, &st.handle, 1, input));
    }
    return rows;
}

int TestSession::Impl::statementType(isc_stmt_handle* handle)
{
    const char item = isc_info_sql_stmt_type;
    char buffer[16] = {};
    check(lib->isc_dsql_sql_info(StatusVector(), handle, 1, &item, sizeof buffer, buffer));
    if (buffer[0] != isc_info_sql_stmt_type)
        return 0;
    const short length = short(lib->isc_vax_integer(buffer + 1, 2));
    return int(lib->isc_vax_integer(buffer + 3, length));
}

void TestSession::Impl::bind(Descriptor& in, int i, const QVariant& value)
{
    XSQLVAR& v = in.var(i);
    const short target = v.sqltype & ~1;
    if (!value.isValid() || value.isNull()) {
        v.sqltype = static_cast<ISC_SHORT>(target | 1);
        in.allocate(i);
        *v.sqlind = -1;
        return;
    }
    const auto setType = [&](short type, int length) {
        v.sqltype = static_cast<ISC_SHORT>(type | 1);
        v.sqlscale = 0;
        v.sqllen = static_cast<ISC_SHORT>(length);
        in.allocate(i);
        *v.sqlind = 0;
    };
    const auto put = [&](short type, const auto& x) {
        setType(type, int(sizeof x));
        std::memcpy(v.sqldata, &x, sizeof x);
    };
    const auto setText = [&](const QByteArray& bytes) {
        if (bytes.size() > 32767)
            RaiseClientErrorText("TestSession: a text parameter of %d bytes does not fit; use a blob",
                                 {int(bytes.size())});
        setType(SQL_TEXT, int(bytes.size()));
        v.sqlsubtype = kCharsetUtf8;
        std::memcpy(v.sqldata, bytes.constData(), std::size_t(bytes.size()));
    };

    if (target == SQL_BLOB) {
        const QByteArray bytes =
            value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
        put(SQL_BLOB, writeBlob(bytes));
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        if (target == SQL_BOOLEAN) {
            setType(SQL_BOOLEAN, 1);
            *v.sqldata = value.toBool() ? 1 : 0;
            return;
        }
        [[fallthrough]];
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        put(SQL_LONG, ISC_LONG(value.toInt()));
        return;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        put(SQL_INT64, ISC_INT64(value.toLongLong()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        put(SQL_DOUBLE, value.toDouble());
        return;
    case QMetaType::QDate:
        put(SQL_TYPE_DATE, toIscDate(value.toDate()));
        return;
    case QMetaType::QTime:
        put(SQL_TYPE_TIME, toIscTime(value.toTime()));
        return;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        put(SQL_TIMESTAMP, ISC_TIMESTAMP{toIscDate(dt.date()), toIscTime(dt.time())});
        return;
    }
    case QMetaType::QByteArray:
        setText(value.toByteArray());
        return;
    default:
        setText(value.toString().toUtf8());
        return;
    }
}

QVariant TestSession::Impl::read(XSQLVAR& v)
{
    if ((v.sqltype & 1) && *v.sqlind < 0)
        return {};
    const char* p = v.sqldata;
    switch (v.sqltype & ~1) {
    case SQL_TEXT:
        return fixedText(p, v.sqllen, v.sqlsubtype);
    case SQL_VARYING:
        return QString::fromUtf8(p + sizeof(ISC_USHORT), readAs<ISC_USHORT>(p));
    case SQL_SHORT:
        return scaledValue(readAs<ISC_SHORT>(p), v.sqlscale, false);
    case SQL_LONG:
        return scaledValue(readAs<ISC_LONG>(p), v.sqlscale, false);
    case SQL_INT64:
        return scaledValue(readAs<ISC_INT64>(p), v.sqlscale, true);
    case SQL_FLOAT:
        return double(readAs<float>(p));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return readAs<double>(p);
    case SQL_TYPE_DATE:
        return fromIscDate(readAs<ISC_DATE>(p));
    case SQL_TYPE_TIME:
        return fromIscTime(readAs<ISC_TIME>(p));
    case SQL_TIMESTAMP: {
        const auto ts = readAs<ISC_TIMESTAMP>(p);
        return QDateTime(fromIscDate(ts.timestamp_date), fromIscTime(ts.timestamp_time));
    }
    case SQL_BLOB: {
        const QByteArray data = readBlob(readAs<ISC_QUAD>(p));
        return v.sqlsubtype == isc_blob_text ? QVariant(QString::fromUtf8(data)) : QVariant(data);
    }
    case SQL_BOOLEAN:
        return *p != 0;
    case SQL_NULL:
        return {};
    default:
        RaiseClientErrorText("TestSession: column %s has the unsupported SQL type %d",
                             {QString::fromUtf8(v.aliasname, v.aliasname_length), int(v.sqltype & ~1)});
    }
}

QByteArray TestSession::Impl::readBlob(ISC_QUAD id)
{
    isc_blob_handle blob = 0;
    check(lib->isc_open_blob2(StatusVector(), &db, &tr, &blob, &id, 0, nullptr));
    QByteArray data;
    char segment[32768];
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS result = lib->isc_get_segment(StatusVector(), &blob, &length, sizeof segment, segment);
        if (result == isc_segstr_eof)
            break;
        if (result != 0 && result != isc_segment) {
            RaiseStatusError(*lib, nullptr);
        }
        data.append(segment, length);
    }
    check(lib->isc_close_blob(StatusVector(), &blob));
    return data;
}

ISC_QUAD TestSession::Impl::writeBlob(const QByteArray& data)
{
    isc_blob_handle blob = 0;
    ISC_QUAD id{};
    check(lib->isc_create_blob2(StatusVector(), &db, &tr, &blob, &id, 0, nullptr));
    constexpr qsizetype kSegment = 32000;
    for (qsizetype at = 0; at < data.size(); at += kSegment) {
        const auto length = static_cast<unsigned short>(std::min(kSegment, data.size() - at));
        check(lib->isc_put_segment(StatusVector(), &blob, length, data.constData() + at));
    }
    check(lib->isc_close_blob(StatusVector(), &blob));
    return id;
}

TestSession::TestSession(const QString& databaseName) : d(std::make_unique<Impl>(databaseName)) {}

TestSession::~TestSession() = default;

void TestSession::execute(const QString& sql, const QVariantList& params) { d->run(sql, params); }

QList<QVariantList> TestSession::query(const QString& sql, const QVariantList& params) { return d->run(sql, params); }

QVariant TestSession::scalar(const QString& sql, const QVariantList& params)
{
    const QList<QVariantList> rows = d->run(sql, params);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

void TestSession::executeScript(const QString& component)
{
    d->run(script::statementText(script::statement(component)), {});
}

void TestSession::commit() { d->commit(); }

void TestSession::rollback() { d->rollback(); }

}  // namespace testsupport

#include "FIBQuery.h"
#include "FIBValueTypes.h"
#include "fib.h"

#include <QByteArray>
#include <cstring>
#include <ctime>
#include <limits>
#include <gtest/gtest.h>

namespace {

struct Column {
    short type;
    short scale = 0;
    short len = 4;
    const char* alias = "";
    short subtype = 0;
    bool nullable = true;
};

// A result area described as the server would describe it.
void describe(TFIBXSQLDA& area, std::initializer_list<Column> columns)
{
    area.setCount(static_cast<int>(columns.size()));
    int i = 0;
    for (const Column& c : columns) {
        XSQLVAR& x = area.AsXSQLDA()->sqlvar[i++];
        x.sqltype = static_cast<short>(c.type | (c.nullable ? 1 : 0));
        x.sqlscale = c.scale;
        x.sqllen = c.len;
        x.sqlsubtype = c.subtype;
        x.aliasname_length = static_cast<short>(std::strlen(c.alias));
        std::memcpy(x.aliasname, c.alias, std::strlen(c.alias));
    }
    area.Initialize();
}

template <typename T>
void store(TFIBXSQLVAR* var, T value)
{
    std::memcpy(var->Data(), &value, sizeof value);
    if (var->AsXSQLVAR()->sqlind)
        *var->AsXSQLVAR()->sqlind = 0;
}

void storeBytes(TFIBXSQLVAR* var, const char* bytes, int length)
{
    std::memcpy(var->Data(), bytes, static_cast<size_t>(length));
    *var->AsXSQLVAR()->sqlind = 0;
}

// Runs the process under another local time zone for the guard's lifetime.
class LocalZone {
public:
    explicit LocalZone(const char* zone) : FOld(qgetenv("TZ")), FHadOld(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (FHadOld)
            qputenv("TZ", FOld);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray FOld;
    bool FHadOld;
};

#define EXPECT_CLIENT_ERROR(statement, text)                                           \
    try {                                                                              \
        statement;                                                                     \
        ADD_FAILURE() << #statement " did not raise";                                  \
    } catch (const EFIBClientError& e) {                                               \
        EXPECT_EQ(e.Message(), QStringLiteral(text));                                  \
    }

}  // namespace

TEST(FIBXSQLDATest, AreaFollowsTheHeaderLayoutAndOnlyGrows)
{
    // The layout of this build: pointers widen the entry beyond the 32-bit 152 bytes.
    if constexpr (sizeof(void*) == 8) {
        EXPECT_EQ(sizeof(XSQLVAR), 160u);
        EXPECT_EQ(XSQLDA_LENGTH(1), 184u);
    } else {
        EXPECT_EQ(sizeof(XSQLVAR), 152u);
        EXPECT_EQ(XSQLDA_LENGTH(1), 172u);
    }
    TFIBXSQLDA area(false);
    EXPECT_EQ(area.AsXSQLDA(), nullptr);
    area.setCount(2);
    ASSERT_NE(area.AsXSQLDA(), nullptr);
    EXPECT_EQ(area.AsXSQLDA()->version, SQLDA_VERSION1);
    EXPECT_EQ(area.AsXSQLDA()->sqln, 2);
    EXPECT_EQ(area.RecordSize(), static_cast<int>(XSQLDA_LENGTH(2)) + 4);
    area.AsXSQLDA()->sqlvar[0].sqllen = 77;
    area.setCount(5);
    EXPECT_EQ(area.AsXSQLDA()->sqlvar[0].sqllen, 77);  // kept across growth
    EXPECT_EQ(area.AsXSQLDA()->sqlvar[4].sqllen, 0);   // new entries zero-filled
    EXPECT_EQ(area.GetXSQLVAR(4)->AsXSQLVAR(), &area.AsXSQLDA()->sqlvar[4]);
    area.setCount(1);
    EXPECT_EQ(area.RecordSize(), static_cast<int>(XSQLDA_LENGTH(5)) + 4);  // never shrinks
    EXPECT_EQ(area.AsXSQLDA()->sqld, 1);
    EXPECT_CLIENT_ERROR(area.GetXSQLVAR(1), "XSQLDA index out of range.");
    EXPECT_CLIENT_ERROR(area.GetXSQLVAR(-1), "XSQLDA index out of range.");
}

TEST(FIBXSQLDATest, ResultColumnsGetUniqueNamesWrittenBackIntoTheAlias)
{
    TFIBXSQLDA area(false);
    const char* longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234";  // 31 characters, the alias capacity
    describe(area, {{SQL_LONG, 0, 4, "ID"}, {SQL_LONG, 0, 4, "ID"}, {SQL_LONG, 0, 4, ""}, {SQL_LONG, 0, 4, "ID"},
                    {SQL_LONG, 0, 4, ""}, {SQL_LONG, 0, 4, longName}, {SQL_LONG, 0, 4, longName}, {SQL_LONG, 0, 4, "Mixed"}});
    EXPECT_EQ(area.Names(), "ID\r\nID1\r\nF_1\r\nID2\r\nF_2\r\n" + QString(longName) + "\r\nABCDEFGHIJKLMNOPQRSTUVWXYZ01231\r\nMixed\r\n");
    EXPECT_EQ(area.GetXSQLVAR(1)->AliasName(), "ID1");
    EXPECT_EQ(area.AsXSQLDA()->sqlvar[2].aliasname_length, 3);
    EXPECT_EQ(area.GetXSQLVAR(6)->AliasName().size(), 31);

    EXPECT_EQ(area.GetXSQLVARByName("ID1"), area.GetXSQLVAR(1));
    EXPECT_EQ(area.GetXSQLVARByName("id1"), area.GetXSQLVAR(1));      // retried in upper case
    EXPECT_EQ(area.GetXSQLVARByName("Mixed"), area.GetXSQLVAR(7));    // names as the server gave them
    EXPECT_EQ(area.GetXSQLVARByName("\"Mixed\""), area.GetXSQLVAR(7));
    EXPECT_EQ(area.GetXSQLVARByName("\"id\""), nullptr);              // quoted: exact only
    EXPECT_EQ(area.GetXSQLVARByName("MIXED"), nullptr);
    EXPECT_EQ(area.IndexOfName("f_2"), 4);
    EXPECT_EQ(area.IndexOfName("NONE"), -1);

    // The suffix fits the alias field by bytes of UTF-8: 31 bytes of name stay unique.
    const char* cyrillic = "АБВГДЕЖЗИЙКЛМНО_";
    describe(area, {{SQL_LONG, 0, 4, cyrillic}, {SQL_LONG, 0, 4, cyrillic}});
    EXPECT_EQ(area.GetXSQLVAR(1)->AliasName(), QStringLiteral("АБВГДЕЖЗИЙКЛМНО1"));
    EXPECT_EQ(area.GetXSQLVARByName(QString::fromUtf8(cyrillic)), area.GetXSQLVAR(0));
}

TEST(FIBXSQLDATest, NullComesFromTheIndicatorOrAMissingDescription)
{
    TFIBXSQLDA area(false);
    describe(area, {{SQL_LONG}, {SQL_LONG, 0, 4, "", 0, false}, {SQL_NULL, 0, 0}});
    TFIBXSQLVAR* nullable = area[0];
    EXPECT_TRUE(nullable->IsNullable());
    *nullable->AsXSQLVAR()->sqlind = -1;
    EXPECT_TRUE(nullable->IsNull());
    EXPECT_EQ(nullable->AsInteger(), 0);
    EXPECT_EQ(nullable->AsString(), "");
    EXPECT_FALSE(nullable->AsBoolean());
    store<qint32>(nullable, 7);
    EXPECT_FALSE(nullable->IsNull());

    EXPECT_FALSE(area[1]->IsNullable());
    EXPECT_EQ(area[1]->AsXSQLVAR()->sqlind, nullptr);
    EXPECT_FALSE(area[1]->IsNull());
    EXPECT_CLIENT_ERROR(area[1]->setIsNull(true), "Column cannot be set to null (F_2)");
    EXPECT_EQ(area[2]->AsInteger(), 0);
    EXPECT_EQ(area[2]->Data(), nullptr);

    area.AsXSQLDA()->sqlvar[1].sqltype = 0;  // not described
    EXPECT_TRUE(area[1]->IsNull());
}

TEST(FIBXSQLDATest, UnknownTypeCodesAreRefusedAtDescription)
{
    TFIBXSQLDA area(false);
    EXPECT_CLIENT_ERROR(describe(area, {{SQL_BOOLEAN, 0, 1}}), "Unknown SQL Data type (32764).");
    TFIBXSQLDA result(false);
    EXPECT_CLIENT_ERROR(describe(result, {{0, 0, 0}}), "Unknown SQL Data type (0).");
    TFIBXSQLDA params(true);
    EXPECT_NO_THROW(describe(params, {{0, 0, 0}}));  // a parameter not yet described
}

TEST(FIBXSQLDATest, AsIntegerTruncatesScaledNumbersAndKeepsTheLow32Bits)
{
    TFIBXSQLDA area(false);
    describe(area, {{SQL_LONG}, {SQL_SHORT, 0, 2}, {SQL_INT64, 0, 8}, {SQL_LONG, -2}, {SQL_INT64, -6, 8},
                    {SQL_DOUBLE, 0, 8}, {SQL_FLOAT, 0, 4}, {SQL_BOOLEAN_16, 0, 2}});
    store<qint32>(area[0], 3);
    store<qint16>(area[1], 3);
    store<qint64>(area[2], 3);
    EXPECT_EQ(area[0]->AsInteger(), 3);
    EXPECT_EQ(area[1]->AsInteger(), 3);
    EXPECT_EQ(area[2]->AsInteger(), 3);
    store<qint32>(area[3], 399);
    EXPECT_EQ(area[3]->AsInteger(), 3);
    store<qint32>(area[3], -399);
    EXPECT_EQ(area[3]->AsInteger(), -3);
    EXPECT_EQ(area[3]->AsInt64(), -3);
    store<qint64>(area[2], (qint64(1) << 32) + 5);
    EXPECT_EQ(area[2]->AsInteger(), 5);
    store<qint64>(area[2], qint64(1) << 31);
    EXPECT_EQ(area[2]->AsInteger(), -2147483647 - 1);
    EXPECT_EQ(area[2]->AsInt64(), qint64(1) << 31);
    // 1.000000: a power of ten taken as a double (1e-6 lies below a millionth) would give 0.
    store<qint64>(area[4], 1000000);
    EXPECT_EQ(area[4]->AsInteger(), 1);
    store<qint64>(area[4], -2999999);
    EXPECT_EQ(area[4]->AsInteger(), -2);
    store<double>(area[5], -3.99);
    EXPECT_EQ(area[5]->AsInteger(), -3);
    store<double>(area[5], 4294967301.5);
    EXPECT_EQ(area[5]->AsInteger(), 5);
    store<float>(area[6], 2.5f);
    EXPECT_EQ(area[6]->AsInt64(), 2);
    store<qint16>(area[7], 1);
    EXPECT_EQ(area[7]->AsInteger(), 1);
    EXPECT_TRUE(area[7]->AsBoolean());
}

TEST(FIBXSQLDATest, TextConvertsLikeTheRuntimeIntegerConversion)
{
    TFIBXSQLDA area(false);
    describe(area, {{SQL_TEXT, 0, 8, "", 4}, {SQL_VARYING, 0, 20}, {SQL_TYPE_DATE}, {SQL_BLOB, 0, 8}});
    storeBytes(area[0], "23      ", 8);  // CHAR(2) in UTF8 arrives padded to 8 bytes
    EXPECT_EQ(area[0]->AsString(), "23");
    EXPECT_EQ(area[0]->AsInteger(), 23);
    auto varying = [&](const char* text) {
        const quint16 n = static_cast<quint16>(std::strlen(text));
        std::memcpy(area[1]->Data(), &n, 2);
        std::memcpy(area[1]->Data() + 2, text, n);
        *area[1]->AsXSQLVAR()->sqlind = 0;
    };
    varying("  -17");
    EXPECT_EQ(area[1]->AsInteger(), -17);
    varying("$1F");
    EXPECT_EQ(area[1]->AsInteger(), 31);
    varying("0x10");
    EXPECT_EQ(area[1]->AsInt64(), 16);
    varying("9876543210");
    EXPECT_EQ(area[1]->AsInt64(), 9876543210LL);
    EXPECT_CLIENT_ERROR(area[1]->AsInteger(), "Invalid data conversion.");  // beyond 32 bits
    for (const char* bad : {"abc", "12a", "", "-", "1.5", "17 "}) {
        varying(bad);
        EXPECT_CLIENT_ERROR(area[1]->AsInteger(), "Invalid data conversion.");
    }
    store<ISC_DATE>(area[2], 0);
    EXPECT_CLIENT_ERROR(area[2]->AsInteger(), "Invalid data conversion.");
    EXPECT_CLIENT_ERROR(area[2]->AsBoolean(), "Invalid data conversion.");
    EXPECT_CLIENT_ERROR(area[3]->AsInt64(), "Invalid data conversion.");
}

TEST(FIBXSQLDATest, ReadsEveryTypeAsTextAndVariant)
{
    TFIBXSQLDA area(false);
    describe(area, {{SQL_LONG, -2}, {SQL_INT64, -4, 8}, {SQL_SHORT, 0, 2}, {SQL_DOUBLE, 0, 8}, {SQL_TYPE_DATE},
                    {SQL_TYPE_TIME}, {SQL_TIMESTAMP, 0, 8}, {SQL_VARYING, 0, 40}});
    store<qint32>(area[0], -5);
    store<qint64>(area[1], 123456789);
    store<qint16>(area[2], -12);
    store<double>(area[3], 0.1);
    store<ISC_DATE>(area[4], static_cast<ISC_DATE>(QDate(1858, 11, 17).daysTo(QDate(2026, 12, 9))));
    store<ISC_TIME>(area[5], (13 * 3600 + 5 * 60 + 7) * 10000 + 1230);
    store<ISC_TIMESTAMP>(area[6], ISC_TIMESTAMP{0, 3600 * 10000});
    const QByteArray cyrillic = QStringLiteral("Урок 5").toUtf8();
    const quint16 n = static_cast<quint16>(cyrillic.size());
    store<quint16>(area[7], n);
    std::memcpy(area[7]->Data() + 2, cyrillic.constData(), n);

    EXPECT_EQ(area[0]->AsString(), "-0.05");
    EXPECT_DOUBLE_EQ(area[0]->AsDouble(), -0.05);
    EXPECT_EQ(area[1]->AsString(), "12345.6789");
    EXPECT_EQ(area[2]->AsString(), "-12");
    EXPECT_EQ(area[3]->AsString(), "0.1");
    EXPECT_EQ(area[4]->AsString(), "2026-12-09");
    EXPECT_EQ(area[5]->AsString(), "13:05:07.123");
    EXPECT_EQ(area[6]->AsString(), "1858-11-17 01:00:00");
    EXPECT_EQ(area[7]->AsString(), QStringLiteral("Урок 5"));

    EXPECT_EQ(area[0]->AsVariant().typeId(), QMetaType::Double);
    EXPECT_EQ(area[1]->AsVariant().toDouble(), 12345.6789);
    EXPECT_EQ(area[2]->AsVariant(), QVariant(-12));
    EXPECT_EQ(area[4]->AsVariant(), QVariant(QDate(2026, 12, 9)));
    EXPECT_EQ(area[5]->AsTime(), QTime(13, 5, 7, 123));
    EXPECT_EQ(area[6]->AsDateTime(), QDateTime(QDate(1858, 11, 17), QTime(1, 0), Qt::UTC));
    EXPECT_EQ(area[4]->AsDateTime(), QDateTime(QDate(2026, 12, 9), QTime(0, 0), Qt::UTC));
}

TEST(FIBXSQLDATest, DateTimesAreWallClockFieldsThatNoLocalZoneShifts)
{
    // Each zone's spring gap and its repeated autumn hour.
    struct Case {
        const char* zone;
        QDateTime gap, repeated;
    };
    const auto wall = [](int y, int m, int d, int h, int min) { return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC); };
    for (const Case& c : {Case{"Europe/Berlin", wall(2020, 3, 29, 2, 30), wall(2020, 10, 25, 2, 30)},
                          Case{"America/New_York", wall(2020, 3, 8, 2, 30), wall(2020, 11, 1, 1, 30)}}) {
        const LocalZone zone(c.zone);
        for (const QDateTime& value : {c.gap, c.repeated}) {
            SCOPED_TRACE(std::string(c.zone) + " " + value.toString(Qt::ISODate).toStdString());
            TFIBXSQLDA area(true);
            describe(area, {{SQL_TIMESTAMP, 0, 8}, {SQL_VARYING, 0, 30}});
            const ISC_TIMESTAMP stored{static_cast<ISC_DATE>(QDate(1858, 11, 17).daysTo(value.date())),
                                       static_cast<ISC_TIME>(value.time().msecsSinceStartOfDay()) * 10};
            store<ISC_TIMESTAMP>(area[0], stored);
            const QDateTime read = area[0]->AsDateTime();
            EXPECT_EQ(read.timeSpec(), Qt::UTC);
            EXPECT_EQ(read.date(), value.date());
            EXPECT_EQ(read.time(), value.time());
            const QString text = value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            EXPECT_EQ(area[0]->AsString(), text);

            // Written back from the value read and from its text: the same fields are stored.
            for (const QVariant& written : {QVariant(read), QVariant(text)}) {
                store<ISC_TIMESTAMP>(area[0], ISC_TIMESTAMP{});
                area[0]->setAsVariant(written);
                const ISC_TIMESTAMP back = area[0]->AsTimeStamp();
                EXPECT_EQ(back.timestamp_date, stored.timestamp_date);
                EXPECT_EQ(back.timestamp_time, stored.timestamp_time);
            }
            area[1]->setAsString(text);
            EXPECT_EQ(area[1]->AsDateTime(), read);
        }
    }
}

TEST(FIBXSQLDATest, WritersConvertIntoTheDescribedTypeOrLeaveTheValue)
{
    TFIBXSQLDA area(true);
    describe(area, {{SQL_LONG, -2}, {SQL_VARYING, 0, 4}, {SQL_TYPE_DATE}, {SQL_SHORT, 0, 2}, {SQL_INT64, -4, 8}});
    area[0]->setAsInteger(5);
    EXPECT_EQ(area[0]->AsString(), "5.00");
    area[0]->setAsDouble(3.99);
    EXPECT_EQ(area[0]->AsString(), "3.99");
    area[0]->setAsString(" -12.345");
    EXPECT_EQ(area[0]->AsString(), "-12.35");  // rounded half away from zero
    EXPECT_TRUE(area[0]->Modified());
    EXPECT_CLIENT_ERROR(area[0]->setAsString("12,5"), "Invalid data conversion.");
    EXPECT_CLIENT_ERROR(area[0]->setAsInt64(qint64(1) << 40), "Invalid data conversion.");
    EXPECT_CLIENT_ERROR(area[0]->setAsDate(QDate(2026, 1, 1)), "Invalid data conversion.");
    EXPECT_EQ(area[0]->AsString(), "-12.35");  // unchanged by the failures
    area[4]->setAsString("922337203685477.5807");
    EXPECT_EQ(area[4]->AsString(), "922337203685477.5807");  // exact, no detour through a double
    EXPECT_CLIENT_ERROR(area[4]->setAsInt64(qint64(1) << 60), "Invalid data conversion.");  // 2^60 * 10^4 wraps

    area[1]->setAsString("abc");
    EXPECT_EQ(area[1]->AsString(), "abc");
    // A longer text retypes the parameter, so the server judges the length instead of it being cut.
    area[1]->setAsString("a longer text");
    EXPECT_EQ(area[1]->AsString(), "a longer text");
    EXPECT_EQ(area[1]->Size(), 13);

    area[2]->setAsString("2026-12-09");
    EXPECT_EQ(area[2]->AsDate(), QDate(2026, 12, 9));
    area[2]->setAsDateTime(QDateTime(QDate(2000, 2, 29), QTime(10, 0)));
    EXPECT_EQ(area[2]->AsString(), "2000-02-29");
    EXPECT_CLIENT_ERROR(area[3]->setAsInteger(40000), "Invalid data conversion.");
    area[3]->setAsBoolean(true);
    EXPECT_TRUE(area[3]->AsBoolean());
    area[3]->Clear();
    EXPECT_TRUE(area[3]->IsNull());
    area.ClearModified();
    EXPECT_FALSE(area.Modified());
}

TEST(FIBXSQLDATest, CurrencyAndBcdAreExactDecimals)
{
    TFIBXSQLDA area(true);
    describe(area, {{SQL_INT64, -4, 8}, {SQL_LONG, -2}, {SQL_VARYING, 0, 30}, {SQL_DOUBLE, 0, 8}});
    // Beyond the 53 bits of a double's mantissa, exact to the last unit.
    area[0]->setAsCurrency(TCurrency{std::numeric_limits<qint64>::max()});
    EXPECT_EQ(area[0]->AsString(), "922337203685477.5807");
    EXPECT_EQ(area[0]->AsCurrency().units, std::numeric_limits<qint64>::max());
    EXPECT_EQ(area[0]->AsBcd(), (TBcd{std::numeric_limits<qint64>::max(), 4}));

    area[1]->setAsBcd(TBcd{-399, 2});
    EXPECT_EQ(area[1]->AsCurrency(), TCurrency{-39900});
    EXPECT_EQ(area[1]->AsBcd().toString(), "-3.99");
    area[2]->setAsString(QStringLiteral(" 0.30005"));
    EXPECT_EQ(area[2]->AsCurrency(), TCurrency{3001});  // half away from zero at the fourth decimal
    EXPECT_EQ(area[2]->AsBcd(), (TBcd{30005, 5}));
    area[3]->setAsDouble(0.1);
    EXPECT_EQ(area[3]->AsCurrency(), TCurrency{1000});
    area[2]->setAsString(QStringLiteral("1e3"));
    EXPECT_CLIENT_ERROR(area[2]->AsCurrency(), "Invalid data conversion.");
}

TEST(FIBXSQLDATest, GuidsReadOctetsOrText)
{
    TFIBXSQLDA area(true);
    constexpr short kOctets = 1;
    describe(area, {{SQL_TEXT, 0, 16, "", kOctets}, {SQL_VARYING, 0, 38}, {SQL_LONG}});
    const QUuid id = QUuid::fromString(QStringLiteral("{6f1d6a3e-8d1c-4a0e-9a63-2f4b5c6d7e8f}"));
    area[0]->setAsGuid(id);
    EXPECT_EQ(QByteArray(area[0]->Data(), 16), id.toRfc4122());
    EXPECT_EQ(area[0]->AsGuid(), id);
    area[1]->setAsGuid(id);
    EXPECT_EQ(area[1]->AsString(), id.toString());
    EXPECT_EQ(area[1]->AsGuid(), id);
    area[1]->setAsString(QStringLiteral("not a guid"));
    EXPECT_CLIENT_ERROR(area[1]->AsGuid(), "Invalid data conversion.");
    area[2]->setAsInteger(1);
    EXPECT_CLIENT_ERROR(area[2]->AsGuid(), "Invalid data conversion.");
}

TEST(FIBXSQLDATest, BlobTextSurvivesAFailedConversionAndGoesWithClearValues)
{
    TFIBXSQLDA area(true);
    describe(area, {{SQL_BLOB, 0, 8, "", 1}});
    area[0]->setAsString(QStringLiteral("old text"));
    EXPECT_CLIENT_ERROR(area[0]->setAsDate(QDate(2026, 1, 1)), "Invalid data conversion.");
    EXPECT_EQ(area[0]->AsString(), "old text");
    area.ClearValues();
    EXPECT_TRUE(area[0]->IsNull());
    EXPECT_FALSE(area[0]->HasStreamValue());
}

TEST(FIBXSQLDATest, Int128ValuesConvertExactlyWithoutADetourThroughADouble)
{
    const TInt128 max(INT64_MAX, UINT64_MAX);
    const TInt128 min(INT64_MIN, 0);
    EXPECT_EQ(Int128ToText(min, 0), "-170141183460469231731687303715884105728");
    EXPECT_EQ(Int128ToText(max, -38), "1.70141183460469231731687303715884105727");
    EXPECT_EQ(Int128ToText(-5, -3), "-0.005");

    TFIBXSQLDA area(true);
    describe(area, {{SQL_INT128, 0, 16}, {SQL_INT128, -20, 16}, {SQL_INT128, -2, 16}});
    storeBytes(area[0], "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80", TInt128::kBytes);
    EXPECT_EQ(area[0]->AsString(), "-170141183460469231731687303715884105728");
    EXPECT_CLIENT_ERROR(area[0]->AsInt64(), "Invalid data conversion.");
    area[0]->setAsVariant(area[0]->AsVariant());
    EXPECT_EQ(area[0]->AsString(), "-170141183460469231731687303715884105728");
    EXPECT_CLIENT_ERROR(area[0]->setAsString("170141183460469231731687303715884105728"), "Invalid data conversion.");
    EXPECT_CLIENT_ERROR(area[0]->setAsString("12abc"), "Invalid data conversion.");
    EXPECT_EQ(area[0]->AsString(), "-170141183460469231731687303715884105728");  // unchanged by the failures
    area[0]->setAsInt64(INT64_MIN);
    EXPECT_EQ(area[0]->AsInt64(), INT64_MIN);
    EXPECT_CLIENT_ERROR(area[0]->AsInteger(), "Invalid data conversion.");
    // Carries and borrows across the 64-bit halves, and the extremes, through text and back.
    for (const char* text : {"18446744073709551616", "-18446744073709551617", "170141183460469231731687303715884105727"}) {
        area[0]->setAsString(text);
        EXPECT_EQ(area[0]->AsString(), text);
    }
    EXPECT_EQ(QByteArray(area[0]->Data(), TInt128::kBytes), QByteArray("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x7f"));
    area[0]->setAsString("9223372036854775808");
    EXPECT_CLIENT_ERROR(area[0]->AsInt64(), "Invalid data conversion.");
    area[1]->setAsString("-1701411834604692317.31687303715884105728");  // the least value: remainders are negative
    EXPECT_EQ(area[1]->AsString(), "-1701411834604692317.31687303715884105728");
    EXPECT_EQ(area[1]->AsInt64(), -1701411834604692317);

    area[1]->setAsDouble(0.1);  // its shortest text, not the double's 0.1000000000000000055511
    EXPECT_EQ(area[1]->AsString(), "0.10000000000000000000");
    area[2]->setAsString(" -3.995");
    EXPECT_EQ(area[2]->AsString(), "-4.00");  // half away from zero
    area[2]->setAsString("-399e-2");
    EXPECT_EQ(area[2]->AsInteger(), -3);
    EXPECT_DOUBLE_EQ(area[2]->AsDouble(), -3.99);

    // Decimal floating-point texts as the client writes them, truncated to integers.
    TDecimalText number;
    TInt128 value;
    ASSERT_TRUE(TDecimalText::parse("1.5E+3", number));
    ASSERT_TRUE(number.toScaled(0, true, value));
    EXPECT_EQ(value.toInt64(), 1500);
    ASSERT_TRUE(TDecimalText::parse("-7.9", number));
    ASSERT_TRUE(number.toScaled(0, true, value));
    EXPECT_EQ(value.toInt64(), -7);
    ASSERT_TRUE(TDecimalText::parse("5E-6176", number));
    ASSERT_TRUE(number.toScaled(0, true, value));
    EXPECT_EQ(value.toInt64(), 0);
    ASSERT_TRUE(TDecimalText::parse("1E+6144", number));
    EXPECT_FALSE(number.toScaled(0, true, value));
    EXPECT_FALSE(TDecimalText::parse("Infinity", number));
    EXPECT_FALSE(TDecimalText::parse("1E", number));
    EXPECT_FALSE(TDecimalText::parse("1E 5", number));
}

TEST(FIBXSQLDATest, AssignValuesCopiesByName)
{
    TFIBXSQLDA source(true);
    describe(source, {{SQL_INT64, -4, 8, "B"}, {SQL_VARYING, 0, 10, "A"}, {SQL_LONG, 0, 4, "C"}});
    TFIBXSQLDA target(true);
    describe(target, {{SQL_VARYING, 0, 10, "A"}, {SQL_INT64, -4, 8, "B"}, {SQL_LONG, 0, 4, "C"}, {SQL_LONG, 0, 4, "D"}});
    source[0]->setAsString("922337203685477.5807");
    source[1]->setAsString("text");
    source[2]->Clear();
    target[2]->setAsInteger(9);
    target[3]->setAsInteger(4);
    target.AssignValues(source);
    EXPECT_EQ(target[0]->AsString(), "text");
    EXPECT_EQ(target[1]->AsString(), "922337203685477.5807");
    EXPECT_TRUE(target[2]->IsNull());
    EXPECT_EQ(target[3]->AsInteger(), 4);  // no source of that name
}

TEST(FIBXSQLDATest, ParameterValuesSetBeforeTheDescriptionAreKeptAndConverted)
{
    TFIBXSQLDA params(true);
    params.setCount(2);
    EXPECT_TRUE(params[0]->IsNull());  // not described
    params[0]->setAsString(QStringLiteral(" 12"));
    params[1]->setAsInteger(7);
    EXPECT_TRUE(params.HasDefferedSettings());
    EXPECT_FALSE(params[0]->IsNull());
    EXPECT_EQ(params[0]->AsInteger(), 12);
    EXPECT_EQ(params[1]->AsString(), "7");
    EXPECT_CLIENT_ERROR(params[1]->AsDateTime(), "Invalid data conversion.");

    // The server's description arrives: the values are converted into its types.
    XSQLVAR& first = params.AsXSQLDA()->sqlvar[0];
    first.sqltype = SQL_LONG;
    first.sqllen = 4;
    XSQLVAR& second = params.AsXSQLDA()->sqlvar[1];
    second.sqltype = SQL_VARYING;
    second.sqllen = 10;
    params.Initialize();
    EXPECT_FALSE(params[0]->IsDefferedSetting());
    EXPECT_TRUE(params[0]->IsNullable());  // every parameter can be sent as null
    qint32 stored = 0;
    std::memcpy(&stored, params[0]->Data(), sizeof stored);
    EXPECT_EQ(stored, 12);
    EXPECT_EQ(params[1]->AsString(), "7");
    EXPECT_EQ(params[1]->Size(), 10);
}

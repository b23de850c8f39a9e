#include "FIBDatabase.h"
#include "Raised.h"
#include "fib.h"
#include "pFIBProps.h"

#include <QObject>
#include <gtest/gtest.h>

#include <limits>

namespace {

QByteArray dpbOf(const QStringList& lines, bool isFirebird = true)
{
    TStringList params;
    params.Assign(lines);
    return BuildDPB(params, isFirebird);
}

QByteArray tpbOf(const QStringList& lines, bool isFB21OrMore = true)
{
    TStringList params;
    params.Assign(lines);
    return BuildTPB(params, isFB21OrMore);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

// The code and message of the client error the call raises.
template <class F>
std::pair<int, QString> clientError(F&& f)
{
    const std::optional<EFIBClientError> e = testsupport::raised<EFIBClientError>(std::forward<F>(f));
    return e ? std::pair{e->SQLCode(), e->Message()} : std::pair{-100, QString()};
}

// The same as "<code> <message>", for a TPB built from the lines.
QString clientErrorOf(const QStringList& lines)
{
    const auto [code, message] = clientError([&] { tpbOf(lines); });
    return QString::number(code) + ' ' + message;
}

}  // namespace

TEST(DPBTest, TheToolsLinesGiveTheirItems)
{
    EXPECT_EQ(dpbOf({"lc_ctype=UTF8", "user_name=SYSDBA", "password=pw", "sql_role_name="}),
              bytes({1, 48, 4}) + "UTF8" + bytes({28, 6}) + "SYSDBA" + bytes({29, 2}) + "pw" + bytes({60, 0}));
    EXPECT_EQ(dpbOf({"ISC_DPB_USER_NAME=SYSDBA"}), dpbOf({"user_name=SYSDBA"}));
    EXPECT_EQ(dpbOf({}), bytes({1}));
    EXPECT_EQ(dpbOf({"", "  "}), bytes({1}));
}

TEST(DPBTest, EveryEncodingRow)
{
    for (const char* name : {"license", "sys_user_name", "encrypt_key", "user_name", "password", "password_enc",
                             "old_file", "lc_messages", "lc_ctype", "sql_role_name"})
        EXPECT_EQ(dpbOf({QString(name) + "=ab"}), bytes({1, DPBConstCode(name), 2}) + "ab") << name;
    EXPECT_EQ(dpbOf({"sql_dialect=3"}), bytes({1, 63, 1, 3}));
    for (const char* name : {"num_buffers", "verify", "dbkey_scope", "damaged", "force_write", "no_reserve",
                             "online_dump", "old_file_size", "shutdown_delay", "overwrite", "connect_timeout",
                             "dummy_packet_interval"})
        EXPECT_EQ(dpbOf({QString(name) + "=255"}), bytes({1, DPBConstCode(name), 1, 255})) << name;
    EXPECT_EQ(dpbOf({"sweep_interval=$01020304"}), bytes({1, 22, 4, 4, 3, 2, 1}));
    EXPECT_EQ(dpbOf({"garbage_collect", "no_garbage_collect=x"}), bytes({1, 8, 1, 1, 16, 1, 1}));
    EXPECT_EQ(dpbOf({"sweep"}), bytes({1, 10, 1, 2}));
    for (const char* name : {"activate_shadow", "delete_shadow", "begin_log", "quit_log"})
        EXPECT_EQ(dpbOf({name}), bytes({1, DPBConstCode(name), 1, 0})) << name;
    EXPECT_EQ(dpbOf({"online"}), bytes({1, 51, 0}));
    EXPECT_EQ(dpbOf({"shutdown"}), bytes({1, 50, 0}));
    EXPECT_EQ(dpbOf({"shutdown=Attachment;force,FULL"}), bytes({1, 50, 1, 2 | 8 | 64}));
    EXPECT_EQ(dpbOf({"shutdown=3,transaction"}), bytes({1, 50, 1, 7}));
    EXPECT_EQ(dpbOf({"shutdown=bogus"}), bytes({1, 50, 1, 0xFF}));
}

TEST(DPBTest, FirebirdFlagDecidesTheSharedCodes)
{
    const QStringList lines = {"set_db_charset=WIN1251", "no_db_triggers", "instance_name=I1", "utf8_filename"};
    EXPECT_EQ(dpbOf(lines, true), bytes({1, 68, 7}) + "WIN1251" + bytes({72, 1, 1, 77, 0}));
    EXPECT_EQ(dpbOf(lines, false), bytes({1, 75, 2}) + "I1");
    const QStringList fb4 = {"set_bind=int128 to legacy", "ISC_DPB_SESSION_TIME_ZONE=UTC", "decfloat_round=ceiling",
                             "decfloat_traps=Inexact"};
    EXPECT_EQ(dpbOf(fb4, true), bytes({1, 93, 16}) + "int128 to legacy" + bytes({91, 3}) + "UTC" + bytes({94, 7}) +
                                    "ceiling" + bytes({95, 7}) + "Inexact");
    EXPECT_EQ(dpbOf(fb4, false), bytes({1}));
}

TEST(DPBTest, TrimmingIsWrittenBackAndSpacesInsideStay)
{
    TStringList params;
    int changes = 0;
    params.Assign({"  password= secret  ", "\tlc_ctype=UTF8"});
    params.OnChange = [&] { ++changes; };
    EXPECT_EQ(BuildDPB(params, true), bytes({1, 29, 7}) + " secret" + bytes({48, 4}) + "UTF8");
    EXPECT_EQ(params.Lines(), QStringList({"password= secret", "lc_ctype=UTF8"}));
    EXPECT_EQ(changes, 2);
}

TEST(DPBTest, UnknownUnsupportedTooLongAndNonNumericValuesFail)
{
    EXPECT_EQ(clientError([] { dpbOf({"user_name =SYSDBA"}); }),
              std::pair(9, QString("DPB Constant (user_name ) is unknown.")));
    EXPECT_EQ(clientError([] { dpbOf({"lc_ctype=UTF8", "isc_dpb_Bogus=1"}); }),
              std::pair(9, QString("DPB Constant (bogus) is unknown.")));
    EXPECT_EQ(clientError([] { dpbOf({"cdd_pathname=x"}); }),
              std::pair(8, QString("DPB Constant (isc_dpb_cdd_pathname) is unsupported.")));
    for (int code : {1, 2, 3, 4, 6, 7, 11, 12, 14, 15, 31, 32, 35, 37, 46, 49, 53, 55, 56, 59, 61, 62, 64, 67, 69,
                     71, 73, 74, 76, 78, 83})
        EXPECT_EQ(clientError([&] { dpbOf({DPBConstName(code) + "=1"}); }).first, 8) << code;
    // A value the length byte cannot carry is refused, not wrapped.
    const auto [code, message] = clientError([] { dpbOf({"password=" + QString(256, 'x')}); });
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(message.contains("isc_dpb_password")) << message.toStdString();
    EXPECT_TRUE(message.contains("too long")) << message.toStdString();
    EXPECT_TRUE(clientError([] { dpbOf({"set_bind=" + QString(256, 'x')}); }).second.contains("isc_dpb_set_bind"));
    EXPECT_EQ(dpbOf({"password=" + QString(255, 'x')}).size(), 1 + 2 + 255);
    // A one-byte number is refused rather than cut to its low byte, and so is a block whose
    // length the 16-bit count cannot carry.
    EXPECT_EQ(clientError([] { dpbOf({"connect_timeout=300"}); }),
              std::pair(-1, QString("The value of DPB parameter isc_dpb_connect_timeout is out of range "
                                    "(300; 0 to 255).")));
    EXPECT_EQ(clientError([] { dpbOf({"num_buffers=-1"}); }).first, -1);
    EXPECT_EQ(clientError([] { dpbOf(QStringList(131, "lc_messages=" + QString(250, 'm'))); }),
              std::pair(-1, QString("The database parameter block is too long (33013 bytes; at most 32767).")));
    try {
        dpbOf({"num_buffers=many"});
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "'many' is not a valid integer value");
    }
    // A sign after the hexadecimal prefix is refused; the negation of its value could overflow.
    for (const char* value : {"-$-80000000", "$-1", "0x+1", "$ 1"})
        EXPECT_THROW(ParamStrToInt(QString::fromLatin1(value)), Exception) << value;
    EXPECT_EQ(ParamStrToInt(QStringLiteral("-$7fffffff")), -0x7fffffff);
    EXPECT_EQ(ParamStrToInt(QStringLiteral(" 0x1F")), 31);
}

TEST(DPBTest, LineLookupAndTypedProperties)
{
    QObject owner;
    TDBParams params(&owner);
    TConnectParams connect(params, &owner);
    params.Assign({"isc_dpb_password_enc=enc", "PASSWORD=plain", "user_name"});
    EXPECT_EQ(IndexOfDBConst(params, "password"), 0);  // prefix match
    EXPECT_EQ(GetDBParamByDPB(params, 29), "enc");
    EXPECT_EQ(GetDBParamByDPB(params, 28), "");
    EXPECT_EQ(GetDBParamByDPB(params, 84), "");
    connect.setUserName("ADMIN");
    EXPECT_EQ(params[2], "user_name=ADMIN");
    connect.setPassword("");
    EXPECT_EQ(params.Lines(), QStringList({"PASSWORD=plain", "user_name=ADMIN"}));
    connect.setCharSet("utf8");
    EXPECT_EQ(params[2], "lc_ctype=UTF8");
    EXPECT_EQ(connect.CharSet(), "UTF8");
    connect.setRoleName("");  // absent: nothing happens
    EXPECT_EQ(params.Count(), 3);
    EXPECT_TRUE(connect.IsFirebird());
    connect.IB2007()->setInstanceName("I");
    EXPECT_EQ(params[3], "instance_name=I");
    EXPECT_EQ(params.Values("USER_NAME"), "ADMIN");
}

TEST(TPBTest, PlainAndValueRows)
{
    const char* plain[] = {"consistency", "concurrency", "shared", "protected", "exclusive", "wait", "nowait",
                           "read", "write", nullptr, nullptr, nullptr, nullptr, "ignore_limbo", "read_committed",
                           nullptr, "rec_version", "no_rec_version", nullptr, "no_auto_undo"};
    for (int code = 1; code <= 20; ++code) {
        if (plain[code - 1]) {
            EXPECT_EQ(tpbOf({plain[code - 1]}), bytes({3, code})) << plain[code - 1];
        }
    }
    EXPECT_EQ(tpbOf({"  ISC_TPB_READ \t", "read"}), bytes({3, 8, 8}));
    EXPECT_EQ(tpbOf({"lock_read=TABLE1", "isc_tpb_lock_write=T"}), bytes({3, 10, 6}) + "TABLE1" + bytes({11, 1}) + "T");
    EXPECT_EQ(tpbOf({}), QByteArray());
    EXPECT_EQ(tpbOf({"", "write"}), bytes({3, 9}));
}

TEST(TPBTest, LockTimeoutDependsOnTheServer)
{
    EXPECT_EQ(tpbOf({"lock_timeout=5"}, true), bytes({3, 21, 2, 5, 0}));
    EXPECT_EQ(tpbOf({"lock_timeout=300"}, true), bytes({3, 21, 2, 44, 1}));
    EXPECT_EQ(tpbOf({"lock_timeout=soon"}, true), bytes({3, 21, 2, 10, 0}));
    EXPECT_EQ(tpbOf({"no_savepoint"}, true), bytes({3, 21, 2, 10, 0}));
    EXPECT_EQ(tpbOf({"lock_timeout=5"}, false), bytes({3, 21}));
    EXPECT_EQ(tpbOf({"lock_timeout=32767"}, true), bytes({3, 21, 2, 0xFF, 0x7F}));
    EXPECT_EQ(clientErrorOf({"lock_timeout=40000"}),
              "-1 The value of TPB parameter isc_tpb_lock_timeout is out of range (40000; 0 to 32767).");
}

TEST(TPBTest, UnknownUnsupportedAndTooLongNamesFail)
{
    EXPECT_EQ(clientErrorOf({"lock_read = TABLE1"}), "11 TPB Constant (lock_read ) is unknown.");
    EXPECT_EQ(clientErrorOf({"ISC_TPB_Bogus"}), "11 TPB Constant (bogus) is unknown.");
    for (const char* name : {"verb_time", "commit_time", "autocommit", "restart_requests"})
        EXPECT_EQ(clientErrorOf({name}), QString("10 TPB Constant (isc_tpb_%1) is unsupported.").arg(name));
    const QString tooLong = clientErrorOf({"lock_write=" + QString(256, 'T')});
    EXPECT_TRUE(tooLong.startsWith("-1 ") && tooLong.contains("isc_tpb_lock_write") && tooLong.contains("too long"))
        << tooLong.toStdString();
}

TEST(TPBTest, LinesAreTrimmedInPlace)
{
    TStringList params;
    params.Assign({" write ", "\tnowait"});
    BuildTPB(params, true);
    EXPECT_EQ(params.Lines(), QStringList({"write", "nowait"}));
}

TEST(TPBTest, ReadOnlyAndReadCommittedAreFoundWithOrWithoutThePrefix)
{
    TFIBTransaction tr;
    tr.setTRParams({"write", "ISC_TPB_READ_COMMITTED"});
    EXPECT_TRUE(tr.IsReadCommitedTransaction());
    EXPECT_FALSE(tr.IsReadOnly());
    tr.setTRParams({"Read", "isc_tpb_concurrency"});
    EXPECT_TRUE(tr.IsReadOnly());
    EXPECT_FALSE(tr.IsReadCommitedTransaction());
}

TEST(TPBTest, ExistenceBlockEntryHasTheClientsLayout)
{
    EXPECT_EQ(sizeof(TISCTEB), 3 * sizeof(void*));
    EXPECT_EQ(offsetof(TISCTEB, tpb_length), sizeof(void*));
    EXPECT_EQ(offsetof(TISCTEB, tpb_address), 2 * sizeof(void*));
}

TEST(ServerVersionTest, RunsOfDigitsFillMajorMinorReleaseBuild)
{
    const auto parse = [](const char* text) {
        std::array<int, 4> v = {-1, -1, -1, -1};
        ParseServerVersion(text, {&v[0], &v[1], &v[2], &v[3]});
        return v;
    };
    EXPECT_EQ(parse("WI-V3.0.10.33601 Firebird 3.0"), (std::array{3, 0, 10, 33601}));
    EXPECT_EQ(parse("LI-V2.5.9.27139 Firebird 2.5"), (std::array{2, 5, 9, 27139}));
    EXPECT_EQ(parse("LI-V4.0.5.3140 Firebird 4.0"), (std::array{4, 0, 5, 3140}));
    EXPECT_EQ(parse("WI-V6.5..1 X"), (std::array{6, 5, 0, 1}));  // an empty run gives 0
    EXPECT_EQ(parse("LI-V3.0"), (std::array{3, -1, -1, -1}));     // the last character is not read
    EXPECT_EQ(parse(""), (std::array{-1, -1, -1, -1}));
    // A run too long for an int reads as the largest int instead of overflowing.
    constexpr int kLargest = std::numeric_limits<int>::max();
    EXPECT_EQ(parse("WI-V99999999999999999999.0.1.2 x"), (std::array{kLargest, 0, 1, 2}));
    EXPECT_EQ(parse("WI-V2147483647.2147483648.7 x"), (std::array{kLargest, kLargest, 7, -1}));
}

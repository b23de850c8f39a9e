// The binding and the status interpretation against the stand-in client libraries of
// tests/fakeclient, which export only part of the client's entry points.
#include "IB_Intf.h"
#include "Raised.h"
#include "Platform.h"
#include "fib.h"

#include <QObject>
#include <gtest/gtest.h>

#include <cfenv>

namespace {

using testsupport::messageOf;

const QString kClient5 = QStringLiteral(PATCHWREN_FAKE_CLIENT5);
const QString kClient6 = QStringLiteral(PATCHWREN_FAKE_CLIENT6);
const QString kClientBroken = QStringLiteral(PATCHWREN_FAKE_CLIENT_BROKEN);

ISC_STATUS text(const char* s) { return reinterpret_cast<ISC_STATUS>(s); }

void setStatus(std::initializer_list<ISC_STATUS> words)
{
    std::fill_n(StatusVector(), ISC_STATUS_LENGTH, 0);
    std::copy(words.begin(), words.end(), StatusVector());
}

// What the stand-in's isc_sql_interprete writes next. The binding keeps the library loaded.
void setSqlMessage(const QString& library, const char* message)
{
    platform::LibraryHandle handle = platform::loadLibrary(library);
    ASSERT_NE(handle, nullptr);
    auto set = reinterpret_cast<void (*)(const char*)>(platform::findSymbol(handle, "fake_set_sql_message"));
    ASSERT_NE(set, nullptr);
    set(message);
    platform::unloadLibrary(handle);
}

EFIBInterBaseError statusError(IIBClientLibrary& lib, const QObject* sender)
{
    try {
        RaiseStatusError(lib, sender);
    } catch (const EFIBInterBaseError& e) {
        return e;
    }
    return EFIBInterBaseError(0, QString(), nullptr);
}

}  // namespace

TEST(TIBClientLibraryTest, WithoutRollbackRetainingBindsAtLevel5AndLacksDateTimeCalls)
{
    const auto lib = ClientLibraryByName(kClient5);
    ASSERT_TRUE(lib->LibraryLoaded());
    EXPECT_EQ(lib->GetClientMajorVersion(), 5);
    EXPECT_EQ(lib->GetClientMinorVersion(), 0);

    ISC_TIMESTAMP stamp{};
    tm moment{};
    EXPECT_EQ(messageOf<Exception>([&] { lib->isc_encode_timestamp(&moment, &stamp); }),
              "Can't find procedure isc_encode_timestamp in " + kClient5);
    EXPECT_EQ(messageOf<Exception>([&] { lib->isc_rollback_retaining(StatusVector(), nullptr); }),
              "Can't find procedure isc_rollback_retaining in " + kClient5);
    EXPECT_EQ(messageOf<Exception>([&] { lib->isc_get_client_version(nullptr); }),
              "Can't find procedure isc_get_client_version in " + kClient5);
    // A plain exception, not one of the database errors.
    try {
        lib->isc_decode_sql_date(nullptr, nullptr);
        ADD_FAILURE() << "nothing raised";
    } catch (const EDatabaseError&) {
        ADD_FAILURE() << "raised a database error";
    } catch (const Exception&) {
    }
    EXPECT_FALSE(lib->IsBusy());

    // Required entry points reach the library.
    isc_db_handle db = 0;
    EXPECT_EQ(lib->isc_attach_database(StatusVector(), 0, "x", &db, 0, nullptr), isc_unavailable);
    EXPECT_EQ(StatusVector()[1], isc_unavailable);
}

TEST(TIBClientLibraryTest, WithRollbackRetainingButNoClientVersionReports60)
{
    const auto lib = ClientLibraryByName(kClient6);
    EXPECT_EQ(lib->GetClientMajorVersion(), 6);
    EXPECT_EQ(lib->GetClientMinorVersion(), 0);
    ISC_TIMESTAMP stamp{};
    tm moment{};
    lib->isc_encode_timestamp(&moment, &stamp);
    EXPECT_EQ(stamp.timestamp_date, 1);
    EXPECT_EQ(ClientLibraryByName(kClient6).get(), lib.get());
}

TEST(TIBClientLibraryTest, MissingRequiredEntryPointFailsAndUnloads)
{
    for (int attempt = 0; attempt < 2; ++attempt) {  // nothing registered: the second request loads again
        try {
            ClientLibraryByName(kClientBroken);
            FAIL() << "a library without isc_dsql_prepare was bound";
        } catch (const EDatabaseError&) {
            FAIL() << "raised a database error";
        } catch (const EOSError& e) {
            EXPECT_EQ(e.ErrorCode(), 0);
            EXPECT_TRUE(e.Message().startsWith("System Error.  Code: 0.\r\n")) << e.what();
            EXPECT_TRUE(e.Message().contains("isc_dsql_prepare")) << e.what();
        }
        EXPECT_FALSE(platform::libraryIsLoaded(kClientBroken));
    }
}

TEST(TIBClientLibraryTest, BusyWhileACallRunsAlsoWhenItRaises)
{
    const auto lib = ClientLibraryByName(kClient5);
    struct TProbe {
        IIBClientLibrary* lib;
        bool busyInside = false;
        bool raise = false;
    } probe{lib.get()};
    const ISC_EVENT_CALLBACK look = [](void* arg, ISC_USHORT, const ISC_UCHAR*) {
        auto* p = static_cast<TProbe*>(arg);
        p->busyInside = p->lib->IsBusy();
        if (p->raise)
            throw Exception("from inside the call");
    };
    ISC_LONG id = 0;
    lib->isc_que_events(StatusVector(), nullptr, &id, 0, nullptr, look, &probe);
    EXPECT_TRUE(probe.busyInside);
    EXPECT_FALSE(lib->IsBusy());

    probe = {lib.get(), false, true};
    EXPECT_THROW(lib->isc_que_events(StatusVector(), nullptr, &id, 0, nullptr, look, &probe), Exception);
    EXPECT_TRUE(probe.busyInside);
    EXPECT_FALSE(lib->IsBusy());
}

TEST(TIBClientLibraryTest, RegisteredButUnloadedBindingIsLoadedAgain)
{
    const auto lib = ClientLibraryByName(kClient6);
    lib->FreeIBLibrary();
    EXPECT_FALSE(lib->LibraryLoaded());
    std::fesetround(FE_DOWNWARD);
    EXPECT_EQ(ClientLibraryByName(kClient6).get(), lib.get());
    EXPECT_TRUE(lib->LibraryLoaded());
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);  // loading restores the floating-point state
    EXPECT_EQ(lib->GetClientMajorVersion(), 6);
}

TEST(RaiseStatusErrorTest, ComposesRaiserSqlMessageAndEngineLines)
{
    const auto lib = ClientLibraryByName(kClient6);
    QObject form;
    form.setObjectName("MainForm");
    QObject q9(&form);
    q9.setObjectName("Q9");

    setSqlMessage(kClient6, "column\\n unknown");
    setStatus({isc_arg_gds, isc_dsql_error, isc_arg_string, text("dynamic SQL Error"), isc_arg_number, -206,
               isc_arg_gds, isc_dsql_field_err, isc_arg_string, text("Ends with a stop."), isc_arg_end});
    const EFIBInterBaseError e = statusError(*lib, &q9);
    EXPECT_EQ(e.Message(), "MainForm.Q9:\r\nColumn unknown.\r\nDynamic SQL Error.\r\nEnds with a stop.\r\n");
    EXPECT_EQ(e.SQLCode(), -206);
    EXPECT_EQ(e.IBErrorCode(), isc_dsql_error);
    EXPECT_EQ(e.RaiserName(), "MainForm.Q9");
    EXPECT_EQ(e.SenderObj(), &q9);

    // An empty interpretation leaves the texts empty and does not fail.
    setSqlMessage(kClient6, "");
    setStatus({isc_arg_gds, isc_dsql_error, isc_arg_end});
    const EFIBInterBaseError empty = statusError(*lib, &q9);
    EXPECT_EQ(empty.SQLMessage(), "");
    EXPECT_EQ(empty.IBMessage(), "");
    EXPECT_EQ(empty.Message(), "MainForm.Q9:\r\n");

    // Without the SQL-message part the SQL message is not even interpreted.
    setSqlMessage(kClient6, "never shown");
    setErrorMessageParts(empRaiserName | empIBMessage);
    const EFIBInterBaseError engineOnly = statusError(*lib, &q9);
    setErrorMessageParts(empRaiserName | empSQLMessage | empIBMessage);
    EXPECT_EQ(engineOnly.SQLMessage(), "");
    std::fill_n(StatusVector(), ISC_STATUS_LENGTH, 0);
}

TEST(RaiseStatusErrorTest, SqlMessageEndingInFullStopIsFollowedDirectlyWithoutFbInterpret)
{
    const auto lib = ClientLibraryByName(kClient5);  // lacks fb_interpret: isc_interprete serves
    QObject q;
    q.setObjectName("Q");  // a one-character name path gives no raiser line
    setSqlMessage(kClient5, "Statement failed.");
    setStatus({isc_arg_gds, isc_random, isc_arg_string, text("first line"), isc_arg_string, text("second line"),
               isc_arg_end});
    const EFIBInterBaseError e = statusError(*lib, &q);
    EXPECT_EQ(e.Message(), "Statement failed.First line.\r\nSecond line.\r\n");
    EXPECT_EQ(e.SQLCode(), -901);
    std::fill_n(StatusVector(), ISC_STATUS_LENGTH, 0);
}

TEST(RaiseStatusErrorTest, UserExceptionMessagesAreDecodedAsUtf8)
{
    const auto lib = ClientLibraryByName(kClient6);
    const char* bytes = "Ошибка данных: оценка не найдена";
    const QString cyrillic = QString::fromUtf8(bytes);
    setSqlMessage(kClient6, "exception raised.");

    setStatus({isc_arg_gds, isc_except, isc_arg_number, -836, isc_arg_string, text(bytes), isc_arg_end});
    EXPECT_EQ(statusError(*lib, nullptr).IBMessage(), cyrillic + ".\r\n");

    // Under another SQL code the same bytes go through the narrow code page.
    setStatus({isc_arg_gds, isc_convert_error, isc_arg_number, -413, isc_arg_string, text(bytes), isc_arg_end});
    const EFIBInterBaseError other = statusError(*lib, nullptr);
    EXPECT_EQ(other.IBMessage(), QString::fromLocal8Bit(bytes) + ".\r\n");
    EXPECT_EQ(other.Message(), "Exception raised." + QString::fromLocal8Bit(bytes) + ".\r\n");
    std::fill_n(StatusVector(), ISC_STATUS_LENGTH, 0);
}

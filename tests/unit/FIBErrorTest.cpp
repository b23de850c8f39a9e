#include "IB_Intf.h"
#include "fib.h"

#include <QObject>
#include <gtest/gtest.h>

#include <thread>

namespace {

template <class E, class F>
E caught(F raise)
{
    try {
        raise();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return E(0, QString(), nullptr);
}

void clearStatus() { std::fill_n(StatusVector(), ISC_STATUS_LENGTH, 0); }

}  // namespace

TEST(FIBErrorTest, ClientErrorCarriesFormattedTableTextAndCode)
{
    QObject form;
    form.setObjectName("MainForm");
    QObject tr(&form);
    tr.setObjectName("Tr1");
    clearStatus();
    const auto e = caught<EFIBClientError>([&] { RaiseClientError(15, {CmpFullName(&tr)}); });
    EXPECT_EQ(e.Message(), "MainForm.Tr1 :Transaction is not active.");
    EXPECT_EQ(e.SQLCode(), 15);
    EXPECT_EQ(e.RaiserName(), "");
    EXPECT_EQ(e.SenderObj(), nullptr);
    EXPECT_STREQ(e.what(), "MainForm.Tr1 :Transaction is not active.");

    const auto open = caught<EFIBClientError>([] { RaiseClientError(ceDatabaseOpen); });
    EXPECT_EQ(open.Message(), "Cannot perform operation -- DB is currently open.");
    EXPECT_EQ(open.SQLCode(), 13);
}

TEST(FIBErrorTest, ClientErrorTakesIBErrorCodeFromTheThreadsStatusVector)
{
    clearStatus();
    EXPECT_EQ(caught<EFIBClientError>([] { RaiseClientError(0); }).IBErrorCode(), 0);
    StatusVector()[0] = isc_arg_gds;
    StatusVector()[1] = isc_bad_db_handle;
    EXPECT_EQ(caught<EFIBClientError>([] { RaiseClientError(0); }).IBErrorCode(), isc_bad_db_handle);
    clearStatus();
}

TEST(FIBErrorTest, TableTextsThatAreEasyToGetWrong)
{
    EXPECT_EQ(ClientErrorText(37), "Can't %s , because  query is empty");
    EXPECT_EQ(ClientErrorText(38), "Can't \"open\" a non-select statement. Use ExecQuery.");
    EXPECT_EQ(ClientErrorText(45), "Can't post. (%s) ");
    EXPECT_EQ(ClientErrorText(51), "SQL Parse Error in :%s \r\n\r\n%s");
    EXPECT_EQ(ClientErrorText(60), "Dimension %d don't exist in \"%s\" ");
    EXPECT_EQ(ClientErrorText(75).split("\r\n").size(), 6);
    EXPECT_TRUE(ClientErrorText(75).startsWith("%s. Can't use limited cache. \r\nCachedUpdates"));
    EXPECT_TRUE(ClientErrorText(75).endsWith("AutoCommit=True "));
    EXPECT_EQ(ClientErrorText(84), "MDT. Savepoint \"%s\" not found");
    EXPECT_EQ(ClientErrorText(85), "Unknown error.");
    EXPECT_EQ(ClientErrorText(-1), "Unknown error.");
}

TEST(FIBErrorTest, FormatFillsTextsNumbersAndHexadecimal)
{
    EXPECT_EQ(Format(ClientErrorText(55), {5, 255}), "Windows API error. (Windows error 5 [$000000FF])");
    EXPECT_EQ(Format(ClientErrorText(51), {"MainForm.Q1", "EOF in string detected"}),
              "SQL Parse Error in :MainForm.Q1 \r\n\r\nEOF in string detected");
    EXPECT_EQ(Format("%d%%", {-42}), "-42%");
    EXPECT_EQ(Format("[%5s|%-3d]", {"ab", 7}), "[   ab|7  ]");
    EXPECT_THROW(Format("%s and %s", {"one"}), Exception);
    EXPECT_THROW(Format("%d", {"text"}), Exception);
    EXPECT_THROW(Format("%s", {12}), Exception);
}

TEST(FIBErrorTest, ClientErrorTextHasCodeMinusOne)
{
    const auto e = caught<EFIBClientError>([] { RaiseClientErrorText("Custom %s", {"check"}); });
    EXPECT_EQ(e.SQLCode(), -1);
    EXPECT_EQ(e.Message(), "Custom check");
}

TEST(FIBErrorTest, CompositionOrderAndRaiserLine)
{
    QObject form;
    form.setObjectName("MainForm");
    QObject q9(&form);
    q9.setObjectName("Q9");
    EFIBInterBaseError e(-901, "Engine line.\r\n", "Sql line.\r\n", "", &q9);
    EXPECT_EQ(e.Message(), "MainForm.Q9:\r\nSql line.\r\nEngine line.\r\n");
    EXPECT_EQ(e.SenderObj(), &q9);
    e.setCustomMessage("Custom. ");
    e.setMsg("Own.");
    EXPECT_EQ(e.Message(), "MainForm.Q9:\r\nSql line.\r\nEngine line.\r\nCustom. Own.");

    QObject lone;
    lone.setObjectName("Q");
    EXPECT_EQ(EFIBError(1, "Text.", &lone).Message(), "Text.");
}

TEST(FIBErrorTest, MessagePartsSelectWhatIsComposed)
{
    QObject q;
    q.setObjectName("Query");
    setErrorMessageParts(empIBMessage);
    EFIBInterBaseError e(-901, "Engine.\r\n", "Sql.\r\n", "", &q);
    setErrorMessageParts(empRaiserName | empSQLMessage | empIBMessage);
    EXPECT_EQ(e.Message(), "Engine.\r\n");
    EXPECT_EQ(e.SQLMessage(), "Sql.\r\n");
}

TEST(FIBErrorTest, StatusSearchWalksClustersToTheEnd)
{
    ISC_STATUS* s = StatusVector();
    clearStatus();
    static const char text[] = "xyz";
    const ISC_STATUS cluster[] = {isc_arg_gds, isc_lock_conflict, isc_arg_cstring, 3,
                                  reinterpret_cast<ISC_STATUS>(text), isc_arg_string,
                                  reinterpret_cast<ISC_STATUS>(text), isc_arg_number, 4711, isc_arg_gds,
                                  isc_deadlock, isc_arg_end};
    std::copy(std::begin(cluster), std::end(cluster), s);
    EXPECT_TRUE(StatusHasErrorCode({isc_deadlock}));
    EXPECT_TRUE(StatusHasErrorCode({1, 4711}));
    EXPECT_TRUE(StatusHasErrorCode({isc_lock_conflict}));
    EXPECT_FALSE(StatusHasErrorCode({3}));  // a counted text's length is not a number argument
    EXPECT_FALSE(StatusHasErrorCode({isc_bad_db_handle}));

    // A vector without an end tag is searched only within its bounds.
    std::fill_n(s, ISC_STATUS_LENGTH, isc_arg_number);
    EXPECT_TRUE(StatusHasErrorCode({isc_arg_number}));
    EXPECT_FALSE(StatusHasErrorCode({99}));
    clearStatus();
}

TEST(FIBErrorTest, StatusVectorIsPerThreadAndPointerWide)
{
    static_assert(sizeof(StatusVector()[0]) == sizeof(void*));
    clearStatus();
    StatusVector()[1] = 111;
    ISC_STATUS other = -1;
    std::thread([&] { other = StatusVector()[1]; }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(StatusVector()[1], 111);
    clearStatus();
}

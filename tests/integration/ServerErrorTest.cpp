// Errors of real client calls against the server, composed into the layer's exceptions.
// The test database is created and dropped through the binding itself.
#include "IB_Intf.h"
#include "TestEnv.h"
#include "fib.h"

#include <QObject>
#include <gtest/gtest.h>

#include <exception>
#include <latch>
#include <thread>

namespace {

using testsupport::serverName;
using testsupport::uniqueDatabasePath;

IIBClientLibrary& clientLibrary() { return *ClientLibraryByName(testsupport::clientLibraryName()); }

QByteArray quoted(const QString& text) { return "'" + text.toLocal8Bit().replace("'", "''") + "'"; }

ISC_STATUS attach(const QString& path, isc_db_handle& db, const QString& password = testsupport::testPassword())
{
    const QByteArray name = serverName(path).toLocal8Bit();
    const QByteArray dpb = testsupport::attachDPB(password);
    return clientLibrary().isc_attach_database(StatusVector(), 0, name.constData(), &db,
                                               static_cast<short>(dpb.size()), dpb.constData());
}

EFIBInterBaseError statusError(const QObject* sender)
{
    try {
        RaiseStatusError(clientLibrary(), sender);
    } catch (const EFIBInterBaseError& e) {
        return e;
    }
    return EFIBInterBaseError(0, QString(), nullptr);
}

void check(ISC_STATUS result)
{
    if (result > 0)
        RaiseStatusError(clientLibrary(), nullptr);
}

// The main window's stand-in: components on it have the name path MainForm.<name>.
struct TForm {
    QObject form;
    QObject db1{&form};
    QObject q9{&form};
    TForm()
    {
        form.setObjectName("MainForm");
        db1.setObjectName("DB1");
        q9.setObjectName("Q9");
    }
};

// A database created for one test, attached over UTF8 and dropped at the end.
class BoundDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPath = uniqueDatabasePath(QStringLiteral("binding"));
        const QByteArray create = "CREATE DATABASE " + quoted(serverName(FPath)) + " USER " +
                                  quoted(testsupport::testUser()) + " PASSWORD " +
                                  quoted(testsupport::testPassword()) + " DEFAULT CHARACTER SET UTF8";
        isc_db_handle created = 0;
        isc_tr_handle none = 0;
        check(clientLibrary().isc_dsql_execute_immediate(StatusVector(), &created, &none, 0, create.constData(),
                                                         SQL_DIALECT_V6, nullptr));
        check(clientLibrary().isc_detach_database(StatusVector(), &created));
        check(attach(FPath, FDB));
    }

    void TearDown() override
    {
        if (FDB)
            clientLibrary().isc_drop_database(StatusVector(), &FDB);
    }

    // Executes sql in a transaction of its own: committed on success; on failure the status
    // error is raised with sender as the raiser, after the transaction is rolled back.
    void execute(const QString& sql, const QObject* sender = nullptr)
    {
        struct { isc_db_handle* db; int tpbLength; const char* tpb; } teb{&FDB, 0, nullptr};
        isc_tr_handle tr = 0;
        check(clientLibrary().isc_start_multiple(StatusVector(), &tr, 1, &teb));
        const QByteArray text = sql.toUtf8();
        if (clientLibrary().isc_dsql_execute_immediate(StatusVector(), &FDB, &tr, 0, text.constData(),
                                                       SQL_DIALECT_V6, nullptr) == 0) {
            check(clientLibrary().isc_commit_transaction(StatusVector(), &tr));
            return;
        }
        std::exception_ptr failure;
        try {
            RaiseStatusError(clientLibrary(), sender);
        } catch (...) {
            failure = std::current_exception();
        }
        clientLibrary().isc_rollback_transaction(StatusVector(), &tr);
        std::rethrow_exception(failure);
    }

    template <class F>
    EFIBInterBaseError failureOf(F call)
    {
        try {
            call();
        } catch (const EFIBInterBaseError& e) {
            return e;
        }
        ADD_FAILURE() << "nothing raised";
        return EFIBInterBaseError(0, QString(), nullptr);
    }

    QString FPath;
    isc_db_handle FDB = 0;
};

const char* const kCyrillicMessage = "Ошибка данных: оценка не найдена";

// Every line of a composed status error ends with a line break; the first names the raiser.
void expectComposedLines(const EFIBInterBaseError& e, const QString& raiser)
{
    EXPECT_TRUE(e.Message().endsWith("\r\n")) << e.what();
    EXPECT_EQ(e.Message(), raiser + ":\r\n" + e.SQLMessage() + e.IBMessage());
    QStringList lines = e.Message().split("\r\n");
    lines.removeLast();
    for (const QString& line : lines.mid(1)) {
        EXPECT_TRUE(line.endsWith('.')) << line.toStdString();
        EXPECT_FALSE(line[0] >= 'a' && line[0] <= 'z') << line.toStdString();
    }
}

}  // namespace

TEST(ServerErrorTest, FailedAttachToAMissingDatabase)
{
    TForm form;
    const QString path = uniqueDatabasePath(QString::fromUtf8("нет-базы"));
    isc_db_handle db = 0;
    ASSERT_GT(attach(path, db), 0);
    const EFIBInterBaseError e = statusError(&form.db1);
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), isc_io_error);
    EXPECT_EQ(e.RaiserName(), "MainForm.DB1");
    expectComposedLines(e, "MainForm.DB1");
    EXPECT_TRUE(e.SQLMessage().endsWith(".\r\n")) << e.what();
    // The path with Cyrillic letters went to the server and came back in the engine message.
    EXPECT_TRUE(e.IBMessage().contains(path)) << e.what();
}

TEST_F(BoundDatabaseTest, UserExceptionWithCyrillicMessageOverUtf8)
{
    execute(QString::fromUtf8("create exception E_CYR '%1'").arg(QString::fromUtf8(kCyrillicMessage)));
    execute("create procedure RAISE_CYR as begin exception E_CYR; end");
    TForm form;
    const EFIBInterBaseError e = failureOf([&] { execute("execute procedure RAISE_CYR", &form.q9); });
    EXPECT_EQ(e.SQLCode(), -836);
    EXPECT_EQ(e.IBErrorCode(), isc_except);
    expectComposedLines(e, "MainForm.Q9");
    EXPECT_TRUE(e.Message().split("\r\n").contains(QString::fromUtf8(kCyrillicMessage) + '.')) << e.what();
}

TEST_F(BoundDatabaseTest, SameBytesUnderAnotherSqlCodeComeThroughTheNarrowCodePage)
{
    // An unknown table's name comes back as its bytes. (A conversion error's text does not on
    // Firebird 4, which writes its non-ASCII bytes as #xd0 escapes.)
    const QString table = QString::fromUtf8("ОЦЕНКИ");
    TForm form;
    const EFIBInterBaseError e = failureOf([&] { execute("delete from \"" + table + "\"", &form.q9); });
    EXPECT_EQ(e.SQLCode(), -204);
    EXPECT_EQ(e.IBErrorCode(), isc_dsql_error);
    expectComposedLines(e, "MainForm.Q9");
    EXPECT_TRUE(e.IBMessage().contains(QString::fromLocal8Bit(table.toUtf8()))) << e.what();
}

TEST_F(BoundDatabaseTest, ClientErrorAfterASuccessfulCallHasIBErrorCodeZero)
{
    isc_db_handle missing = 0;
    ASSERT_GT(attach(uniqueDatabasePath("absent"), missing), 0);
    ASSERT_NE(StatusVector()[1], 0);
    const char items[] = {isc_info_ods_version, isc_info_end};
    char buffer[64] = {};
    ASSERT_EQ(clientLibrary().isc_database_info(StatusVector(), &FDB, sizeof items, items, sizeof buffer, buffer), 0);
    try {
        RaiseClientError(ceDatabaseOpen);
    } catch (const EFIBClientError& e) {
        EXPECT_EQ(e.IBErrorCode(), 0);
    }
}

TEST_F(BoundDatabaseTest, StatusVectorsArePerThread)
{
    const QString missing = uniqueDatabasePath("absent");
    std::latch bothFailed(2);
    struct TOutcome {
        int ibErrorCode = 0;
        QString message;
    } outcomes[2];
    const auto fail = [&](int slot, const QString& path, const QString& password) {
        isc_db_handle db = 0;
        EXPECT_GT(attach(path, db, password), 0);
        bothFailed.arrive_and_wait();  // each interprets only after the other thread's call failed
        const EFIBInterBaseError e = statusError(nullptr);
        outcomes[slot] = {e.IBErrorCode(), e.Message()};
    };
    std::thread missingFile(fail, 0, missing, testsupport::testPassword());
    std::thread wrongPassword(fail, 1, FPath, testsupport::testPassword() + "-wrong");
    missingFile.join();
    wrongPassword.join();
    EXPECT_EQ(outcomes[0].ibErrorCode, isc_io_error);
    EXPECT_TRUE(outcomes[0].message.contains(missing)) << outcomes[0].message.toStdString();
    EXPECT_EQ(outcomes[1].ibErrorCode, isc_login);
    EXPECT_FALSE(outcomes[1].message.contains(missing)) << outcomes[1].message.toStdString();
}

// Connections opened from two threads at once: the attach lock lets one Open at a time through
// its login step and attach call, and each thread's failed call keeps its own error.
#include "ConnectionTestDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <latch>
#include <thread>

using namespace testsupport;

namespace {

// A login dialog that answers with the test credentials and counts how many Opens are inside
// it at once; it lingers so that an Open not held back by the lock would overlap it.
std::atomic<int> gInside{0};
std::atomic<int> gMaxInside{0};
std::atomic<int> gPrompts{0};

bool lingeringLogin(const QString&, QString& userName, QString& password, QString&)
{
    const int inside = ++gInside;
    int seen = gMaxInside.load();
    while (inside > seen && !gMaxInside.compare_exchange_weak(seen, inside)) {
    }
    ++gPrompts;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    userName = testUser();
    password = testPassword();
    --gInside;
    return true;
}

class LoginHook {
public:
    explicit LoginHook(TLoginDialogProc proc) : FSaved(LoginDialogProc) { LoginDialogProc = proc; }
    ~LoginHook() { LoginDialogProc = FSaved; }

private:
    TLoginDialogProc FSaved;
};

void configure(TpFIBDatabase& db, const QString& dbName)
{
    db.setObjectName(QStringLiteral("DB"));
    db.setLibraryName(clientLibraryName());
    db.setDBName(dbName);
    db.setSQLDialect(3);
    db.setDBParams({QStringLiteral("lc_ctype=UTF8")});
}

// Runs body(0) and body(1) on two threads released together; an exception becomes the text
// stored for that thread.
std::array<QString, 2> onTwoThreads(const std::function<void(int)>& body)
{
    std::array<QString, 2> errors;
    std::latch start(2);
    auto run = [&](int k) {
        start.arrive_and_wait();
        try {
            body(k);
        } catch (const Exception& e) {
            errors[k] = e.Message();
        } catch (const std::exception& e) {
            errors[k] = QString::fromUtf8(e.what());
        }
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();
    return errors;
}

}  // namespace

TEST(ConnectionThreadTest, OpensFromTwoThreadsPassTheAttachLockOneAtATime)
{
    ConnectionTestDatabase file(QStringLiteral("threads-open"));
    const LoginHook hook(&lingeringLogin);
    gInside = gMaxInside = gPrompts = 0;
    std::array<int, 2> attachments = {-1, -1};
    const auto errors = onTwoThreads([&](int k) {
        TpFIBDatabase db;
        configure(db, file.name());
        db.setUseLoginPrompt(true);
        db.Open();
        attachments[k] = db.AttachmentID();
        EXPECT_GE(db.ServerMajorVersion(), 3);
        db.Close();
    });
    EXPECT_EQ(errors[0], QString());
    EXPECT_EQ(errors[1], QString());
    EXPECT_EQ(gPrompts, 2);
    EXPECT_EQ(gMaxInside, 1) << "two Opens were in their login step at once";
    EXPECT_GT(attachments[0], 0);
    EXPECT_GT(attachments[1], 0);
    EXPECT_NE(attachments[0], attachments[1]);
}

TEST(ConnectionThreadTest, ConcurrentFailingOpensKeepTheirOwnErrors)
{
    // Each thread opens a database file that does not exist, several times; the status vector is
    // the thread's own, so each error names that thread's file and never the other's.
    const std::array<QString, 2> paths = {uniqueDatabasePath(QStringLiteral("missing-a")),
                                          uniqueDatabasePath(QStringLiteral("missing-b"))};
    std::array<QStringList, 2> messages;
    const auto errors = onTwoThreads([&](int k) {
        TpFIBDatabase db;
        configure(db, serverName(paths[k]));
        db.DBParams()->Add(QStringLiteral("user_name=") + testUser());
        db.ConnectParams()->setPassword(testPassword());
        for (int attempt = 0; attempt < 5; ++attempt) {
            try {
                db.Open();
                messages[k] << QStringLiteral("<opened>");
            } catch (const EFIBInterBaseError& e) {
                messages[k] << e.Message();
            }
        }
    });
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(errors[k], QString());
        ASSERT_EQ(messages[k].size(), 5);
        for (const QString& message : messages[k]) {
            EXPECT_TRUE(message.contains(paths[k])) << message.toStdString();
            EXPECT_FALSE(message.contains(paths[1 - k])) << message.toStdString();
            EXPECT_FALSE(message.contains(testPassword()));
        }
    }
}

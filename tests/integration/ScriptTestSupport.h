#pragma once
// A fixture for tests of the update script's statements: a fresh stand-in product database per
// test, one session on it, and the script's texts installed as the run sends them.

#include "Raised.h"
#include "ScratchDatabase.h"
#include "TestSession.h"
#include "fib.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace testsupport {

// The message of the server error the call raises; empty when it raises none.
inline QString serverErrorOf(const std::function<void()>& call) { return messageOf<EFIBInterBaseError>(call); }

// The stand-ins' calls recorded in CALL_LOG after the given log id, as "NAME(args)", in order.
inline QStringList callLog(TestSession& session, qlonglong after = 0)
{
    QStringList calls;
    for (const QVariantList& row : session.query(
             QStringLiteral("SELECT PROC_NAME, ARGS FROM CALL_LOG WHERE LOG_ID > :log_id ORDER BY LOG_ID"), {after}))
        calls << row[0].toString() + "(" + row[1].toString() + ")";
    return calls;
}

class ScriptDatabaseTest : public ::testing::Test {
protected:
    ScriptDatabaseTest()
        : db(QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name())),
          session(db.serverName())
    {
    }

    // Executes the components' texts in the given order in the session's transaction.
    void run(const QStringList& components)
    {
        for (const QString& component : components)
            session.executeScript(component);
    }

    ScratchDatabase db;
    TestSession session;
};

}  // namespace testsupport

// SIGINT and SIGTERM end the program as their default action ends any Qt program: before any
// attach, between runs and during a run. Each moment runs in a child process of its own (a death
// test) that drives the real window; an interrupted run leaves nothing of the script behind.

#include "RunFaults.h"

#include "QtPrinters.h"
#include "fib.h"
#include "pFIBQuery.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

using runfaults::GeneratedSchool;
using runfaults::RunWindow;

namespace {

void beforeAnyAttach(int signalNumber)
{
    RunWindow w;
    ::raise(signalNumber);
}

// After a run that attached both connections and failed in the script phase.
void betweenRuns(int signalNumber, const QString& database)
{
    RunWindow w;
    w.component<TpFIBQuery>("Q2")->BeforeExecute = [](TFIBQuery*) { throw Exception(QStringLiteral("stopped")); };
    w.press(database);
    ::raise(signalNumber);
}

// As Q9 is about to be sent: the script's earlier statements are done but not committed.
void duringARun(int signalNumber, const QString& database)
{
    RunWindow w;
    w.component<TpFIBQuery>("Q9")->BeforeExecute = [signalNumber](TFIBQuery*) { ::kill(::getpid(), signalNumber); };
    w.press(database);
}

}  // namespace

TEST(TerminationSignalTest, EachSignalEndsTheProgramAtEachMoment)
{
    // The children fork from this process before it has attached anywhere; the checks that
    // attach come after the last child.
    GTEST_FLAG_SET(death_test_style, "fast");
    std::vector<std::unique_ptr<GeneratedSchool>> interrupted;
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signalNumber));
        EXPECT_EXIT(beforeAnyAttach(signalNumber), ::testing::KilledBySignal(signalNumber), "");
        interrupted.push_back(std::make_unique<GeneratedSchool>(QStringLiteral("signal")));
        const QString database = interrupted.back()->serverName();
        EXPECT_EXIT(betweenRuns(signalNumber, database), ::testing::KilledBySignal(signalNumber), "");
        EXPECT_EXIT(duringARun(signalNumber, database), ::testing::KilledBySignal(signalNumber), "");
    }
    const GeneratedSchool untouched(QStringLiteral("signal-reference"));
    const QStringList before = runfaults::scriptTraces(untouched.serverName());
    for (const auto& db : interrupted) {
        ASSERT_TRUE(runfaults::waitForNoOtherAttachments(db->serverName()));
        EXPECT_EQ(runfaults::scriptTraces(db->serverName()), before);
    }
}

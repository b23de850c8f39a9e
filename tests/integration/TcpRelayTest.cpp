// The fault tests' loopback relay: attachments through it reach the server, a cut ends them at
// once (the next call fails instead of hanging), and it lets new ones through again when allowed.

#include "ScratchDatabase.h"
#include "TcpRelay.h"
#include "TestSession.h"
#include "fib.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using testsupport::ScratchDatabase;
using testsupport::TcpRelay;
using testsupport::TestSession;

TEST(TcpRelayTest, CutEndsAttachmentsAndAllowLetsNewOnesThrough)
{
    const ScratchDatabase db("relay");
    TcpRelay relay;
    {
        TestSession session(relay.databaseName(db.path()));
        EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM RDB$DATABASE").toInt(), 1);
        EXPECT_GT(relay.bytesForwarded(), 0u);
        EXPECT_FALSE(relay.wasCut());
        relay.cut();
        EXPECT_TRUE(relay.wasCut());
        EXPECT_THROW(session.scalar("SELECT COUNT(*) FROM RDB$DATABASE"), EFIBInterBaseError);
    }
    EXPECT_THROW(TestSession(relay.databaseName(db.path())), EFIBInterBaseError);  // refused while cut

    relay.allow();
    TestSession session(relay.databaseName(db.path()));
    // A delayed cut lands while the caller is not inside any call.
    EXPECT_EQ(session.scalar("SELECT 1 FROM RDB$DATABASE").toInt(), 1);
    relay.cutAfter(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(relay.wasCut());
    EXPECT_THROW(session.scalar("SELECT 1 FROM RDB$DATABASE"), EFIBInterBaseError);
}

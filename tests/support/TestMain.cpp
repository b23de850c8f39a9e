#include "TestMain.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace testsupport {

int runCoreTests(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace testsupport

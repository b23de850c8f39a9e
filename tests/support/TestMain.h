#pragma once
// Test mains: each tree runs its tests inside the application object its code needs.
#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

namespace testsupport {
int runCoreTests(int argc, char** argv);  // QCoreApplication: the layer's timers need one

// Application (QApplication or a subclass) on the offscreen platform, unless the environment
// names another platform.
template <class Application = QApplication>
int runGuiTests(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
}  // namespace testsupport

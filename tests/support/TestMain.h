#pragma once
// Test mains: each tree runs its tests inside the application object its code needs.
#include <QtGlobal>

namespace testsupport {
int runCoreTests(int argc, char** argv);  // QCoreApplication: the layer's timers need one
int runGuiTests(int argc, char** argv);   // QApplication on the offscreen platform
}  // namespace testsupport

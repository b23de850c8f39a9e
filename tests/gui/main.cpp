#include "PatchwrenApplication.h"
#include "TestMain.h"

// The GUI tests run under the program's own application object, so exceptions leaving event
// handlers reach the error display as they do in the program.
int main(int argc, char** argv) { return testsupport::runGuiTests<PatchwrenApplication>(argc, argv); }

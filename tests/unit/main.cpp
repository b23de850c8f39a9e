#include "TestMain.h"

int main(int argc, char** argv) { return testsupport::runCoreTests(argc, argv); }

// Entry of the Windows port tests. The same program also serves as a
// stand-in for a system tool: started with QV_RECORD_COMMAND_LINE set, it
// only records how it was started (see the process-control test).
#include <gtest/gtest.h>

#include "windows_test_support.h"

int main(int argc, char** argv) {
    if (qv::test::recordCommandLineIfAsked()) return 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

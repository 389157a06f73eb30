// tests/ui/main.cpp: the window tests' entry: GoogleTest plus the paths of the programs
// under test (--stub=, --setup=).
#include <gtest/gtest.h>

#include "tests/ui/driver.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("--stub=", 0) == 0) {
            g_paths.stub = argument.substr(7);
        } else if (argument.rfind("--setup=", 0) == 0) {
            g_paths.setup = argument.substr(8);
        } else if (argument.rfind("--planted-dll=", 0) == 0) {
            g_paths.plantedDll = argument.substr(14);
        } else if (argument.rfind("--signed=", 0) == 0) {
            g_paths.signedInstallers = argument.substr(9);
        }
    }
    if (g_paths.stub.empty() || g_paths.setup.empty() || g_paths.plantedDll.empty()) {
        fprintf(stderr, "usage: ui_tests --stub=STUB.EXE --setup=SETUP.EXE --planted-dll=DLL [--signed=DIR] "
                        "[gtest options]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}

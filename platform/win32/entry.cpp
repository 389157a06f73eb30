// platform/win32/entry.cpp: the entry point of a program built on CWinApp, linked into
// that program (with -nostartfiles) in place of the C runtime's start-up code, which
// would add a quarter to the installer's size. msvcrt.dll initialises itself; what is
// left to do is to run the static constructors, which build the application object, to
// start it, and to end through the runtime's exit, which runs the static destructors.
#include <stdlib.h>

#include "platform/app.h"

extern "C" void __main(); // from the compiler's runtime: runs the static constructors once

// Static destructors are registered with atexit, which the C runtime's start-up code
// would supply; msvcrt.dll offers the same as _onexit, whose functions its exit runs.
extern "C" int atexit(void (*function)()) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

namespace {

// WinMain's command line: what follows the program's own name.
LPSTR SkipProgramName(LPSTR commandLine) {
    char* next = commandLine;
    char end = *next == '"' ? '"' : ' ';
    next += *next == '"' ? 1 : 0;
    while (*next != '\0' && *next != end) {
        ++next;
    }
    while (*next == '"' || *next == ' ') {
        ++next;
    }
    return next;
}

} // namespace

// 32-bit Windows may enter here, as in every callback, with the stack on a 4-byte
// boundary. The i686 build realigns in each function that needs it (-mstackrealign, see
// cmake/mingw-i686.cmake), which covers the dialog and thread procedures too; the
// attribute keeps the entry point safe in any build.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    __main();
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    int nCmdShow = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(AfxWinMain(GetModuleHandleA(nullptr), nullptr, SkipProgramName(GetCommandLineA()), nCmdShow));
}

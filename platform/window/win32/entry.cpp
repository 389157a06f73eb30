// platform/window/win32/entry.cpp: the entry point of a program built on CWinApp, linked into
// that program (with -nostartfiles) in place of the C runtime's start-up code, which
// would add a quarter to the installer's size. msvcrt.dll initialises itself; what is
// left to do is to run the static constructors, which build the application object, to
// start it, and to end through the runtime's exit, which runs the static destructors.
#include <stdlib.h>

#include "platform/window/app.h"

// The static constructors, which the linker gathers into a list: a count (or -1), the
// constructors in the order of the objects, then a null.
extern "C" void (*__CTOR_LIST__[])();

// Static destructors are registered with atexit, which the C runtime's start-up code
// would supply; msvcrt.dll offers the same as _onexit, whose functions its exit runs.
extern "C" int atexit(void (*function)()) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// The deleting destructors of classes with a virtual destructor name operator delete,
// although the program deletes nothing; these keep libstdc++'s, and the unwind tables
// that come with it, out of the program.
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

namespace {

// Runs the static constructors, last to first as the compiler's runtime does; this
// replaces its __main, which would bring unwind tables too.
void RunStaticConstructors() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr) {
        ++count;
    }
    for (size_t i = count; i >= 1; --i) {
        __CTOR_LIST__[i]();
    }
}

} // namespace

// 32-bit Windows may enter here, as in every callback, with the stack on a 4-byte
// boundary. The i686 build realigns in each function that needs it (-mstackrealign, see
// cmake/mingw-i686.cmake), which covers the dialog and thread procedures too; the
// attribute keeps the entry point safe in any build.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    RunStaticConstructors();
    exit(AfxWinMain(GetModuleHandleA(nullptr)));
}

// platform/system/win32/process.cpp: the program's own file and environment, and starting
// the setup program on Win32, directly or through the shell, which asks for consent when
// it wants administrator rights, and waiting for its status.
#include "platform/system/process.h"

#include <stdlib.h>

#include "platform/system/library.h"
#include "platform/system/text.h"

// shellapi.h only for SHELLEXECUTEINFOA: the function itself is looked up at run time.
#include <shellapi.h>

namespace {

// The longest path Windows knows, in UTF-16 units with the terminating zero.
constexpr DWORD LongestPath = 32768;
// Of the variables the program asks for.
constexpr int LongestVariableName = 15;

using ShellExecuteExAFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA* info);
using NtAreMappedFilesTheSameFunction = LONG(WINAPI*)(void* first, void* second);

} // namespace

// The image the loader mapped this program from, placed by the linker.
extern "C" IMAGE_DOS_HEADER __ImageBase;

bool IsRunningImage(CFileStream& stream) {
    // ntdll, which every process has loaded, exports the call since Windows NT.
    auto sameFile = reinterpret_cast<NtAreMappedFilesTheSameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtAreMappedFilesTheSame")));
    // A view of the open file's first page against the image: the system says whether
    // both are views of one file, whatever names it has. Mapping and view stay for the
    // little time the process has left, as the file stays open.
    HANDLE mapping = CreateFileMappingA(reinterpret_cast<HANDLE>(stream.GetOsHandle()), nullptr,
                                        PAGE_READONLY, 0, 0, nullptr);
    void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1) : nullptr;
    return view != nullptr && sameFile(&__ImageBase, view) == 0;
}

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    // With the path as application name and an empty text as command line, the program's
    // GetCommandLineA is really empty; a null command line would repeat the path there.
    char commandLine[1] = "";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info)) {
        return StartResult::Failed;
    }
    CloseHandle(info.hThread);
    process = reinterpret_cast<ProgramProcess>(info.hProcess);
    return StartResult::Started;
}

StartResult ShellExecuteProgram(const char* path, const char* directory, HWND owner,
                                ProgramProcess& process) {
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    if (shell32 == nullptr) {
        return StartResult::Failed;
    }
    auto shellExecuteEx = reinterpret_cast<ShellExecuteExAFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "ShellExecuteExA")));
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // NOASYNC: the shell finishes its work before returning, not on a thread of its own.
    // FLAG_NO_UI: a failure is the caller's to report; the consent prompt still shows.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpFile = path;
    // A program started with administrator rights would otherwise start in the system
    // directory. Not every Windows honours it for an elevated start, and none hands such
    // a program this process's environment: it gets its user's own TEMP and TMP.
    info.lpDirectory = directory;
    info.nShow = SW_SHOWNORMAL;
    bool started = shellExecuteEx != nullptr && shellExecuteEx(&info);
    if (!started) {
        // shell32 stays loaded, for the little time the process has left: freeing it could
        // overwrite the error the caller tells the user.
        return StartResult::Failed;
    }
    FreeLibrary(shell32);
    // The shell hands out no process when something else ran the file for it.
    if (info.hProcess == nullptr) {
        return StartResult::Unwatched;
    }
    process = reinterpret_cast<ProgramProcess>(info.hProcess);
    return StartResult::Started;
}

bool WaitForProgram(ProgramProcess process, DWORD& exitCode) {
    HANDLE handle = reinterpret_cast<HANDLE>(process);
    bool ended = WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
    bool known = ended && GetExitCodeProcess(handle, &exitCode);
    CloseHandle(handle);
    return known;
}

wchar_t* GetModulePathW() {
    wchar_t* path = static_cast<wchar_t*>(malloc(LongestPath * sizeof(wchar_t)));
    DWORD length = path != nullptr ? GetModuleFileNameW(nullptr, path, LongestPath) : 0;
    if (path != nullptr && (length == 0 || length == LongestPath)) {
        path[0] = L'\0';
    }
    return path;
}

CString GetModulePath() {
    wchar_t* path = GetModulePathW();
    CString text = path != nullptr ? Utf8FromWide(path) : CString();
    free(path);
    return text;
}

bool GetEnvironmentUtf8(const char* name, CString& value) {
    // The names asked for are ASCII, whose UTF-16 units are their bytes.
    wchar_t wideName[LongestVariableName + 1];
    int i = 0;
    for (; name[i] != '\0' && i < LongestVariableName; ++i) {
        wideName[i] = static_cast<unsigned char>(name[i]);
    }
    wideName[i] = L'\0';
    DWORD size = GetEnvironmentVariableW(wideName, nullptr, 0);
    wchar_t* buffer = size > 1 ? static_cast<wchar_t*>(malloc(size * sizeof(wchar_t))) : nullptr;
    bool found = buffer != nullptr && GetEnvironmentVariableW(wideName, buffer, size) == size - 1;
    if (found) {
        value = Utf8FromWide(buffer);
    }
    free(buffer);
    return found;
}

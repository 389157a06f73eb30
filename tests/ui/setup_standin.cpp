// tests/ui/setup_standin.cpp: stands in for the setup program of the installers under test,
// with plain system calls to stay small (they carry it). Each run appends how it started to
// the file SFX_STANDIN_RECORD names; the other SFX_STANDIN_ variables steer it.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

// The long form of a path the installer may have handed over by its short names.
std::string LongPath(const wchar_t* path) {
    wchar_t longPath[MAX_PATH];
    DWORD length = GetLongPathNameW(path, longPath, MAX_PATH);
    char utf8[4 * MAX_PATH];
    int size = WideCharToMultiByte(CP_UTF8, 0, length > 0 && length < MAX_PATH ? longPath : path, -1, utf8,
                                   sizeof utf8, nullptr, nullptr);
    return std::string(utf8, size > 0 ? size - 1 : 0);
}

std::string Variable(const wchar_t* name) {
    return LongPath(_wgetenv(name) != nullptr ? _wgetenv(name) : L"");
}

} // namespace

int main() {
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    // Its command line, directory, TEMP and TMP, in long names.
    const std::string record = "commandline=" + std::string(GetCommandLineA()) +
                               "\ndirectory=" + LongPath(directory) + "\ntemp=" + Variable(L"TEMP") +
                               "\ntmp=" + Variable(L"TMP") + "\n";
    // A DLL asked for by its bare name.
    if (getenv("SFX_STANDIN_LOAD") != nullptr) {
        LoadLibraryA(getenv("SFX_STANDIN_LOAD"));
    }
    FILE* out = getenv("SFX_STANDIN_RECORD") != nullptr ? fopen(getenv("SFX_STANDIN_RECORD"), "ab") : nullptr;
    if (out == nullptr || fwrite(record.data(), 1, record.size(), out) != record.size() || fclose(out) != 0) {
        return 1;
    }
    const char* wait = getenv("SFX_STANDIN_WAIT");
    for (int waited = 0;
         wait != nullptr && waited < 60000 && GetFileAttributesA(wait) == INVALID_FILE_ATTRIBUTES;
         waited += 20) {
        Sleep(20);
    }
    // Left behind as setup programs do: a file under an entry's name, one under its own.
    for (const char* name : {"knxl.dat", "install.log"}) {
        if (getenv("SFX_STANDIN_LEAVE") != nullptr) {
            CloseHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    return getenv("SFX_STANDIN_STATUS") != nullptr ? atoi(getenv("SFX_STANDIN_STATUS")) : 0;
}

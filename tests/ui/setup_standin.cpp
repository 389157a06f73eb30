// tests/ui/setup_standin.cpp: the setup program; each run adds how it started to SFX_STANDIN_RECORD.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

// The long form (empty for none) of a path the installer may have handed over by its short names.
std::string LongPath(const wchar_t* path) {
    wchar_t longPath[MAX_PATH];
    DWORD length = GetLongPathNameW(path, longPath, MAX_PATH);
    char utf8[4 * MAX_PATH];
    int size = WideCharToMultiByte(CP_UTF8, 0, length > 0 && length < MAX_PATH ? longPath : path, -1, utf8,
                                   sizeof utf8, nullptr, nullptr);
    return std::string(utf8, size > 0 ? size - 1 : 0);
}

} // namespace

int main() {
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    std::string record = "commandline=" + std::string(GetCommandLineA()) +
                         "\ndirectory=" + LongPath(directory) + "\ntemp=" + LongPath(_wgetenv(L"TEMP")) +
                         "\ntmp=" + LongPath(_wgetenv(L"TMP")) + "\n";
    // Written whole under another name, then renamed: a reader never sees half a record.
    const std::string path = getenv("SFX_STANDIN_RECORD") != nullptr ? getenv("SFX_STANDIN_RECORD") : "";
    const std::string partial = path + "." + std::to_string(GetCurrentProcessId());
    char earlier[4096];
    FILE* in = fopen(path.c_str(), "rb");
    record.insert(0, earlier, in != nullptr ? fread(earlier, 1, sizeof earlier, in) : 0);
    FILE* out = in == nullptr || fclose(in) == 0 ? fopen(partial.c_str(), "wb") : nullptr;
    if (out == nullptr || fwrite(record.data(), 1, record.size(), out) != record.size() || fclose(out) != 0 ||
        !MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
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

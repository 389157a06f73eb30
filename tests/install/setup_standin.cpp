// tests/install/setup_standin.cpp: stands in for the setup program an installer carries.
// It writes down how it was started into the file SFX_STANDIN_RECORD names, may leave a
// file behind in its directory the way setup programs do (SFX_STANDIN_LEAVE), and exits
// with the status SFX_STANDIN_STATUS gives.
#include <stdio.h>
#include <stdlib.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    const char* recordPath = getenv("SFX_STANDIN_RECORD");
    const char* status = getenv("SFX_STANDIN_STATUS");
    const char* leave = getenv("SFX_STANDIN_LEAVE");
    if (recordPath == nullptr) {
        return 1;
    }
    FILE* record = fopen(recordPath, "wb");
    if (record == nullptr) {
        return 1;
    }
#ifdef _WIN32
    char directory[MAX_PATH];
    GetCurrentDirectoryA(sizeof directory, directory);
    fprintf(record, "commandline=%s\n", GetCommandLineA());
#else
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof directory) == nullptr) {
        directory[0] = '\0';
    }
#endif
    fprintf(record, "directory=%s\n", directory);
    fprintf(record, "argc=%d\n", argc);
    for (int i = 0; i < argc; ++i) {
        fprintf(record, "argument=%s\n", argv[i]);
    }
    for (char** variable = environ; *variable != nullptr; ++variable) {
        fprintf(record, "environment=%s\n", *variable);
    }
    if (leave != nullptr) {
        FILE* left = fopen(leave, "wb");
        if (left != nullptr) {
            fclose(left);
            fprintf(record, "left=%s\n", leave);
        }
    }
    fclose(record);
    return status != nullptr ? static_cast<int>(strtoul(status, nullptr, 10)) : 0;
}

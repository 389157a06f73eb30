// tests/ui/setup_standin.cpp: stands in for a product's setup program in the window
// tests. It notes each run in $SFX_TEST_LOG, waits while $SFX_TEST_HOLD names a file
// that does not exist yet (so the test can look at the installer meanwhile), and exits
// with $SFX_TEST_STATUS.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main() {
    const char* log = getenv("SFX_TEST_LOG");
    if (log != nullptr) {
        FILE* file = fopen(log, "ab");
        if (file != nullptr) {
            char directory[MAX_PATH];
            GetCurrentDirectoryA(sizeof directory, directory);
            fprintf(file, "ran in %s\n", directory);
            fclose(file);
        }
    }
    const char* hold = getenv("SFX_TEST_HOLD");
    for (int waited = 0; hold != nullptr && waited < 60000; waited += 20) {
        if (GetFileAttributesA(hold) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        Sleep(20);
    }
    const char* status = getenv("SFX_TEST_STATUS");
    return status != nullptr ? atoi(status) : 0;
}

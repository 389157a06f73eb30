// tools/demo/demo_driver.cpp: plays a user of the demo installer for scripts/demo.sh:
// starts it, opens About, clicks Install, and stops at each sight worth a screenshot.
// At a stop it writes SYNC_DIR/<name> with the window's rectangle and waits until the
// script has written SYNC_DIR/<name>.done.
//
//   demo_driver.exe INSTALLER SYNC_DIR
#include <stdio.h>

#include <string>

#include "tools/windriver/driver.h"
#include "ui/resource.h"

namespace {

std::string g_sync;

void Stop(const char* name, HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::string path = g_sync + "\\" + name;
    FILE* file = fopen((path + ".tmp").c_str(), "w");
    fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    fclose(file);
    MoveFileA((path + ".tmp").c_str(), path.c_str());
    WaitUntil([&] { return GetFileAttributesA((path + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: demo_driver INSTALLER SYNC_DIR\n");
        return 2;
    }
    g_sync = argv[2];
    CInstallerProcess installer;
    if (!installer.Start(std::string("\"") + argv[1] + "\"", {})) {
        fprintf(stderr, "demo_driver: cannot start %s\n", argv[1]);
        return 1;
    }
    HWND dialog = installer.WaitForWindow(InstallerCaption);
    if (dialog == nullptr) {
        fprintf(stderr, "demo_driver: the installer shows no window\n");
        return 1;
    }
    Stop("ready", dialog);

    ClickControl(dialog, IDC_ABOUT);
    HWND about = installer.WaitForWindow(AboutCaption);
    if (about != nullptr) {
        Stop("about", about);
        ClickControl(about, IDOK);
    }

    ClickControl(dialog, IDOK);
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    WaitUntil([&] { return SendMessageA(progress, PBM_GETPOS, 0, 0) >= 40 || !IsWindowVisible(progress); });
    Stop("installing", dialog);

    // The setup program is a process of its own: look for its window anywhere.
    HWND setup = nullptr;
    WaitUntil([&] { return (setup = FindWindowA(nullptr, "Kelvane Studio Setup (demo)")) != nullptr; },
              30000);
    if (setup != nullptr) {
        Stop("setup", setup);
    }
    long status = installer.WaitForExit(60000);
    printf("installer exit status %ld\n", status);
    return status == 0 ? 0 : 1;
}

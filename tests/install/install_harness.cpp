// tests/install/install_harness.cpp: the stub of the installers the install tests run on
// Windows. Like the installer's dialog it owns a progress bar and a hidden status text and
// starts the install on a worker thread, then keeps answering messages until the worker
// ends the process. A message box the run shows is written down and closed with OK.
#include <stdio.h>
#include <stdlib.h>

#include "engine/install.h"
#include "platform/thread.h"
#include "platform/wintypes.h"
#include "ui/resource.h"

namespace {

const char HarnessClass[] = "SfxInstallHarness";
// The harness's own failure, distinct from every status the installer uses.
constexpr int HarnessFailed = 125;
constexpr UINT_PTR BoxWatchTimer = 1;
constexpr UINT BoxWatchMilliseconds = 50;

HWND g_dialog = nullptr;
InstallThreadParams g_params; // lives until the process ends, as in the dialog
bool g_boxRecorded = false;
constexpr int BoxTextSize = 4096;

// Finds the box's text: the one static control of the box that has text (the icon is
// another, without).
BOOL CALLBACK ReadStaticText(HWND child, LPARAM text) {
    char className[16];
    if (GetClassNameA(child, className, sizeof className) > 0 && lstrcmpiA(className, "Static") == 0 &&
        GetWindowTextA(child, reinterpret_cast<char*>(text), BoxTextSize) > 0) {
        return FALSE;
    }
    return TRUE;
}

// Writes the box to the file SFX_HARNESS_RECORD names, in the form the portable backend
// uses on standard error.
void RecordMessageBox(HWND box) {
    char caption[256] = "";
    char text[BoxTextSize] = "";
    GetWindowTextA(box, caption, sizeof caption);
    EnumChildWindows(box, ReadStaticText, reinterpret_cast<LPARAM>(text));
    const char* path = getenv("SFX_HARNESS_RECORD");
    FILE* record = path != nullptr ? fopen(path, "wb") : nullptr;
    if (record == nullptr) {
        return;
    }
    const char* owner = GetWindow(box, GW_OWNER) == g_dialog ? "dialog" : "another";
    fprintf(record, "message box owner=%s caption=%s\n%s\n", owner, caption, text);
    fclose(record);
}

// A message box is a dialog-class window; it is watched for until it is on screen, which
// is when its text is in place.
void OnBoxWatchTimer() {
    CString caption;
    caption.LoadString(IDS_CAPTION);
    HWND box = FindWindowA("#32770", caption);
    if (box != nullptr && IsWindowVisible(box) && !g_boxRecorded) {
        RecordMessageBox(box);
        g_boxRecorded = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

LRESULT CALLBACK HarnessProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        OnBoxWatchTimer();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CreateControls() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HarnessProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = HarnessClass;
    if (RegisterClassA(&windowClass) == 0) {
        return false;
    }
    g_dialog = CreateWindowExA(0, HarnessClass, "Install harness", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0,
                               0, 400, 150, nullptr, nullptr, instance, nullptr);
    g_params.hProgress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 80,
                                         370, 16, g_dialog, nullptr, instance, nullptr);
    g_params.hStatus = CreateWindowExA(0, "STATIC", "Initializing....", WS_CHILD, 10, 80, 200, 16, g_dialog,
                                       nullptr, instance, nullptr);
    return g_dialog != nullptr && g_params.hProgress != nullptr && g_params.hStatus != nullptr;
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!CreateControls() || SetTimer(g_dialog, BoxWatchTimer, BoxWatchMilliseconds, nullptr) == 0 ||
        !AfxBeginThread(InstallThreadProc, &g_params)) {
        return HarnessFailed;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // Only the worker ends the process; a harness that gets here was told to quit.
    return HarnessFailed;
}

// tools/demo/demo_setup.cpp: the setup program of the demo installer. It shows for a
// few seconds that it runs, and from where, then ends with status 0, so that the
// installer cleans up and ends too.
#include <windows.h>

namespace {

constexpr UINT_PTR CloseTimer = 1;
constexpr UINT ShowMilliseconds = 4000;

LRESULT CALLBACK DemoWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char directory[MAX_PATH];
    GetCurrentDirectoryA(sizeof directory, directory);
    char text[MAX_PATH + 200];
    wsprintfA(text,
              "Kelvane Studio demo setup is running.\n\nIt was unpacked into:\n%s\n\n"
              "It closes by itself; the installer then removes it.",
              directory);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "KelvaneDemoSetup";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Kelvane Studio Setup (demo)",
                                  WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 120, 140, 420, 170, nullptr,
                                  nullptr, instance, nullptr);
    HWND label = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE, 16, 14, 380, 110, window, nullptr,
                                 instance, nullptr);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetTimer(window, CloseTimer, ShowMilliseconds, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return 0;
}

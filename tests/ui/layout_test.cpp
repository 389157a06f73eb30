// tests/ui/layout_test.cpp: the installer's two dialogs at 96, 144 and 192 dots per inch:
// every control lies within its dialog and has room for its whole text.
#include "tests/ui/installer_fixture.h"

namespace {

// A control outside the dialog, too small for its text as it draws it (statics break lines
// at words, buttons keep one line), or a picture without its bitmap; or empty.
std::string LayoutProblem(HWND dialog, HWND control, HDC dc) {
    RECT client, rect;
    GetClientRect(dialog, &client);
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left < client.left || rect.top < client.top || rect.right > client.right ||
        rect.bottom > client.bottom) {
        return "lies outside its dialog";
    }
    char className[32], text[512];
    GetClassNameA(control, className, sizeof className);
    GetWindowTextA(control, text, sizeof text);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const bool isStatic = lstrcmpiA(className, "Static") == 0;
    if (isStatic && (style & SS_TYPEMASK) == SS_BITMAP) {
        return SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0 ? "" : "shows no bitmap";
    }
    if (text[0] == '\0') {
        return "";
    }
    RECT room;
    GetClientRect(control, &room);
    RECT needed = room;
    if (isStatic) {
        UINT prefix = (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0;
        DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | prefix);
    } else {
        SIZE extent;
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
        // A button draws its text inside a border and a focus rectangle.
        const int frame = 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
        needed = {0, 0, extent.cx + frame, extent.cy + frame};
    }
    if (needed.right - needed.left > room.right || needed.bottom - needed.top > room.bottom) {
        return "needs " + std::to_string(needed.right - needed.left) + "x" +
               std::to_string(needed.bottom - needed.top) + " pixels for \"" + text + "\" but has " +
               std::to_string(room.right) + "x" + std::to_string(room.bottom);
    }
    return "";
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Measured in the font the dialog manager gives the dialog, taken from a hidden copy of it
// made here: another process's font handle means nothing in this one.
void ExpectEveryControlFits(HWND dialog, int id) {
    ASSERT_NE(nullptr, dialog);
    HMODULE module = LoadLibraryExA(Built("SFX_STUB").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HWND copy = CreateDialogParamA(module, MAKEINTRESOURCEA(id), nullptr, IgnoreMessages, 0);
    ASSERT_NE(nullptr, copy);
    RECT client, copied;
    GetClientRect(dialog, &client);
    GetClientRect(copy, &copied);
    EXPECT_EQ(copied.right, client.right) << "not the same dialog units";
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(copy, WM_GETFONT, 0, 0)));
    int controls = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        ++controls;
        const std::string problem = LayoutProblem(dialog, control, dc);
        EXPECT_TRUE(problem.empty()) << "control " << GetDlgCtrlID(control) << " " << problem;
    }
    EXPECT_GE(controls, 10);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DestroyWindow(copy);
    FreeLibrary(module);
}

// The main window with a short title and with one of the full 40 characters, and About.
TEST_F(InstallerTest, LayoutOfBothDialogsFitsEveryControlsTextAtTheSessionsResolution) {
    SetProcessDPIAware();
    InitCommonControls();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(Built("SFX_DPI").empty() ? 96 : atoi(Built("SFX_DPI").c_str()), dpi) << "another resolution";
    for (const char* title : {"Kelvane Studio 2026", "Forty Characters Without Any Blanks 1234"}) {
        SCOPED_TRACE(title);
        Launch(BuildInstaller(stub, title, {"", "", "", "", "", ""}));
        ExpectEveryControlFits(dialog, IDD_SELFEXTRACT_DIALOG);
        PostMessageA(dialog, WM_COMMAND, IDC_ABOUT, 0);
        ExpectEveryControlFits(process.WaitForWindow(AboutCaption), IDD_ABOUTBOX);
        CloseAbout(IDOK);
        ClickControl(dialog, IDCANCEL);
        EXPECT_EQ(ExitCancelled, process.WaitForExit());
    }
}

} // namespace

// tests/ui/layout_test.cpp: the installer's two dialogs at the session's resolution (96
// dots per inch in the scenarios' run, 144 and 192 in runs of their own): every control
// lies within its dialog and has room for its whole text in the font the dialog gives it.
#include "tests/ui/installer_fixture.h"

namespace {

// A dialog's width in dialog units and its font, whose letters set the unit's size; read
// from the program file, since another process's font handle means nothing here.
struct DialogTemplate {
    int width = 0;
    int pointSize = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    std::wstring face;
};

// Past one name-or-number field of a template (none, a number, or a text).
const WORD* SkipNameOrNumber(const WORD* field) {
    if (*field == 0xFFFF) {
        return field + 2;
    }
    while (*field++ != 0) {
    }
    return field;
}

DialogTemplate ReadDialogTemplate(const std::string& program, int id) {
    DialogTemplate result;
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)); // RT_DIALOG
    const WORD* words = resource != nullptr
                            ? static_cast<const WORD*>(LockResource(LoadResource(module, resource)))
                            : nullptr;
    if (words != nullptr) {
        // DIALOGEX: a version, a signature and a help id, the extended style before the style.
        const bool extended = words[1] == 0xFFFF;
        const WORD* header = extended ? words + 4 : words;
        const DWORD style = extended ? header[2] | header[3] << 16 : header[0] | header[1] << 16;
        result.width = static_cast<short>(header[7]);
        const WORD* field = SkipNameOrNumber(SkipNameOrNumber(header + 9)); // menu, class
        field += lstrlenW(reinterpret_cast<const wchar_t*>(field)) + 1;     // caption
        if ((style & DS_SETFONT) != 0) {
            result.pointSize = *field++;
            if (extended) {
                result.weight = *field++;
                result.italic = (*field++ & 0xFF) != 0;
            }
            result.face = reinterpret_cast<const wchar_t*>(field);
        }
    }
    FreeLibrary(module);
    return result;
}

// The font the dialog manager makes for the template at the display's resolution.
HFONT CreateDialogFont(const DialogTemplate& dialog, int dpi) {
    return CreateFontW(-MulDiv(dialog.pointSize, dpi, 72), 0, 0, 0, dialog.weight, dialog.italic, FALSE,
                       FALSE, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, dialog.face.c_str());
}

// Four horizontal dialog units, in pixels: the Latin letters' average width.
int DialogBaseUnit(HDC dc) {
    SIZE extent;
    GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
    return (extent.cx / 26 + 1) / 2;
}

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

void ExpectEveryControlFits(HWND dialog, const DialogTemplate& layout, int dpi) {
    ASSERT_NE(nullptr, dialog);
    ASSERT_FALSE(layout.face.empty()) << "no font in the template";
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateDialogFont(layout, dpi);
    HGDIOBJ previous = SelectObject(dc, font);
    // The dialog's own font when its units give the dialog its width.
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_NEAR(MulDiv(layout.width, DialogBaseUnit(dc), 4), client.right, 1) << "not the dialog's font";
    int controls = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        ++controls;
        const std::string problem = LayoutProblem(dialog, control, dc);
        EXPECT_TRUE(problem.empty()) << "control " << GetDlgCtrlID(control) << " " << problem;
    }
    EXPECT_GE(controls, 10);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

// The main window with a short title and with one of the full 40 characters, and About.
TEST_F(InstallerTest, LayoutOfBothDialogsFitsEveryControlsTextAtTheSessionsResolution) {
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(Built("SFX_DPI").empty() ? 96 : atoi(Built("SFX_DPI").c_str()), dpi) << "another resolution";
    const DialogTemplate mainLayout = ReadDialogTemplate(Built("SFX_STUB"), IDD_SELFEXTRACT_DIALOG);
    const DialogTemplate aboutLayout = ReadDialogTemplate(Built("SFX_STUB"), IDD_ABOUTBOX);
    for (const char* title : {"Kelvane Studio 2026", "Forty Characters Without Any Blanks 1234"}) {
        SCOPED_TRACE(title);
        Launch(BuildInstaller(stub, title, {"", "", "", "", "", ""}));
        ExpectEveryControlFits(dialog, mainLayout, dpi);
        PostMessageA(dialog, WM_COMMAND, IDC_ABOUT, 0);
        ExpectEveryControlFits(process.WaitForWindow(AboutCaption), aboutLayout, dpi);
        CloseAbout(IDOK);
        ClickControl(dialog, IDCANCEL);
        EXPECT_EQ(ExitCancelled, process.WaitForExit());
    }
}

} // namespace

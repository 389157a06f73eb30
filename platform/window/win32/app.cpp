// platform/window/win32/app.cpp: the application object and the start of the program.
#include "platform/window/app.h"

#include "platform/system/library.h"
#include "platform/system/process.h"
#include "platform/system/text.h"

namespace {

CWinApp* g_app = nullptr; // the one application object; it lives for the whole program

// The program file's base name without its extension, as the 8-bit functions name it.
CString DefaultAppName() {
    CString ansiPath;
    GetAnsiPath(GetModulePath(), ansiPath);
    const char* path = ansiPath;
    const char* name = path;
    for (const char* ch = path; *ch != '\0'; ++ch) {
        if (*ch == '\\' || *ch == '/') {
            name = ch + 1;
        }
    }
    const char* dot = nullptr;
    for (const char* ch = name; *ch != '\0'; ++ch) {
        if (*ch == '.') {
            dot = ch;
        }
    }
    return CString(name, static_cast<int>((dot != nullptr ? dot : path + ansiPath.GetLength()) - name));
}

} // namespace

CWinApp::CWinApp(const char* appName) : m_strAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

BOOL CWinApp::InitInstance() { return TRUE; }

bool CWinApp::OnCmdMsg(UINT nID) {
    if (nID == ID_HELP) {
        OnHelp();
        return true;
    }
    return false;
}

void CWinApp::Enable3dControls() {
    // comctl32 is not among the DLLs Windows always takes from the system directory, so it
    // is loaded from there by path rather than imported. It stays loaded: the dialogs'
    // progress bar needs its window class until the end.
    using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX* controls);
    HMODULE comctl32 = LoadSystemLibrary("comctl32.dll");
    // comctl32 loads uxtheme late, by its bare name, when the first control is drawn;
    // Wine then looks beside the program first, whatever the DLL search was restricted
    // to. Loaded from the system directory now, it is the one found then.
    LoadSystemLibrary("uxtheme.dll");
    auto initCommonControlsEx =
        comctl32 == nullptr ? nullptr
                            : reinterpret_cast<InitCommonControlsExFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControlsEx")));
    if (initCommonControlsEx != nullptr) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
        initCommonControlsEx(&controls);
    }
}

HICON CWinApp::LoadIcon(UINT nIDResource, int size) const {
    return static_cast<HICON>(
        ::LoadImageA(m_hInstance, MAKEINTRESOURCEA(nIDResource), IMAGE_ICON, size, size, LR_DEFAULTSIZE));
}

void CWinApp::OnHelp() {
    HWND owner = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
    ::WinHelpA(owner, m_strAppName + ".hlp", HELP_FINDER, 0);
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return g_app != nullptr ? g_app->m_hInstance : GetModuleHandleA(nullptr); }

int AfxWinMain(HINSTANCE hInstance) {
    RestrictDllSearchToSystem();
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    app->m_hInstance = hInstance;
    if (app->m_strAppName.IsEmpty()) {
        app->m_strAppName = DefaultAppName();
    }
    app->InitInstance();
    return app->m_nExitCode;
}

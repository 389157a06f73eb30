// platform/window/app.h: CWinApp, the one application object of a window-system program, and
// the entry that runs it. Windows only.
#pragma once

#include "platform/system/cstring.h"
#include "platform/window/wnd.h"

// The standard Help command, routed to the application.
constexpr UINT ID_HELP = 0xE146;

class CWinApp {
  public:
    // Constructors
    // Registers this object as the program's application; appName nullptr means the
    // default name, the program file's base name.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Overridables
    // Runs the program: its windows run modally from here, and their modal loops are the
    // only message loops, so there is no loop of the application's own. When it returns,
    // whatever it returns, the program ends with m_nExitCode.
    virtual BOOL InitInstance();

    // Operations
    // A command that no window handled: the standard Help command goes to OnHelp; true =
    // handled.
    bool OnCmdMsg(UINT nID);
    // Gives dialog controls the system's current look: registers the common controls.
    void Enable3dControls();
    // The icon at size × size pixels, drawn from the group's nearest picture; 0 means the
    // system's large icon size (SM_CXICON). The caller owns it.
    HICON LoadIcon(UINT nIDResource, int size = 0) const;
    // The standard Help command: the program's help file, if it has one.
    void OnHelp();

    HINSTANCE m_hInstance = nullptr;
    CString m_strAppName;
    CWnd* m_pMainWnd = nullptr; // borrowed
    int m_nExitCode = 0;        // the exit status when InitInstance returns FALSE
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// The program's start (platform/window/win32/entry.cpp calls it): starts the application
// object and returns the process exit status. The program reads its command line where
// it needs it (platform/system/process.h), and its dialogs show as their templates say.
int AfxWinMain(HINSTANCE hInstance);

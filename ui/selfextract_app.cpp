// ui/selfextract_app.cpp: start-up of the installer: the one application object and
// the run of the main dialog.
#include "ui/selfextract_app.h"

#include "engine/install.h"
#include "ui/selfextract_dlg.h"

CSelfExtractApp theApp;

CSelfExtractApp::CSelfExtractApp() : CWinApp(nullptr) {}

BOOL CSelfExtractApp::InitInstance() {
    Enable3dControls();

    // The dialog reads the title from the payload before any window exists.
    CSelfExtractDlg dlg;
    m_pMainWnd = &dlg;
    INT_PTR result = dlg.DoModal();
    m_pMainWnd = nullptr;

    // Only a cancelled or failed dialog comes back here: an install ends the process
    // from its worker thread.
    if (result == -1) {
        CWnd desktop = CWnd::FromHandle(nullptr);
        ShowErrorBox(desktop, IDS_WINDOW_FAILED);
    }
    m_nExitCode = result == IDCANCEL ? ExitCancelled : ExitInstallerFailed;
    return FALSE;
}

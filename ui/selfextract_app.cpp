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
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // Only a cancelled dialog comes back here: an install ends the process from its
    // worker thread.
    m_nExitCode = ExitCancelled;
    return FALSE;
}

bool CSelfExtractApp::OnCmdMsg(UINT nID) {
    switch (nID) {
    case ID_HELP:
        OnHelp();
        return true;
    }
    return CWinApp::OnCmdMsg(nID);
}

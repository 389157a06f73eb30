// ui/selfextract_app.cpp: start-up of the installer: the one application object and
// the run of the main dialog.
#include "ui/selfextract_app.h"

#include "engine/install.h"
#include "engine/program_file.h"
#include "ui/selfextract_dlg.h"

CSelfExtractApp theApp;

CSelfExtractApp::CSelfExtractApp() : CWinApp(nullptr) {}

BOOL CSelfExtractApp::InitInstance() {
    Enable3dControls();

    // The program's own file, held from the title's read until the process ends (an
    // install ends it from its worker, while the dialog still runs in here): the one
    // handle that serves the title, the signature check, the extraction and About.
    ProgramFile program;
    CWnd desktop = CWnd::FromHandle(nullptr);
    const ProgramFileResult opened = OpenProgramFile(program);
    if (opened > ProgramFileResult::NotOpened) {
        const bool inUse = opened == ProgramFileResult::InUse;
        ShowErrorBox(desktop, inUse ? IDS_INSTALLER_IN_USE : IDS_INSTALLER_UNNAMED);
        m_nExitCode = inUse ? ExitInstallerInUse : ExitNameNotInCodePage;
        return FALSE;
    }
    // The dialog reads the title from the payload before any window exists.
    CSelfExtractDlg dlg(program);
    m_pMainWnd = &dlg;
    INT_PTR result = dlg.DoModal();
    m_pMainWnd = nullptr;
    // A quit message that another program posts ends the modal loop, under a running
    // install too: the worker still ends the process, with the setup program's status.
    if (result != IDABORT && dlg.IsInstallRunning()) {
        Sleep(INFINITE);
    }

    // Only a cancelled or failed dialog gets here: an install ends the process from its
    // worker thread.
    if (result == -1) {
        ShowErrorBox(desktop, IDS_WINDOW_FAILED);
    }
    m_nExitCode = result == IDCANCEL ? ExitCancelled : ExitInstallerFailed;
    return FALSE;
}

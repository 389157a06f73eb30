// ui/selfextract_app.cpp: start-up of the installer: the one application object and
// the run of the main dialog.
#include "ui/selfextract_app.h"

#include "engine/install.h"
#include "engine/program_file.h"
#include "ui/selfextract_dlg.h"

CSelfExtractApp theApp;

namespace {

// What the user is told, and the status, when the installer cannot go on with its own
// file: for each ProgramFileResult after NotOpened, in order.
struct Refusal {
    uint16_t message;
    uint16_t exitCode;
};
const Refusal RefusalTable[] = {
    {IDS_INSTALLER_UNNAMED, ExitNameNotInCodePage},
    {IDS_INSTALLER_IN_USE, ExitInstallerInUse},
    {IDS_INSTALLER_REPLACED, ExitInstallerReplaced},
};

} // namespace

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
        const Refusal& refusal =
            RefusalTable[static_cast<int>(opened) - static_cast<int>(ProgramFileResult::Unnamed)];
        ShowErrorBox(desktop, refusal.message);
        m_nExitCode = refusal.exitCode;
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

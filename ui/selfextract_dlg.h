// ui/selfextract_dlg.h: the installer's main window: the product title, Install,
// Cancel and About, and the bottom row where the web address gives way to the progress
// bar and then to the status text.
#pragma once

#include "engine/install.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "ui/resource.h"

class CSelfExtractDlg : public CDialog {
  public:
    // program: the program file, held open for as long as the dialog lives.
    explicit CSelfExtractDlg(ProgramFile& program, CWnd* pParent = nullptr);

    // From the first Install on, the worker holds the handles; the install runs until
    // the process ends.
    bool IsInstallRunning() const { return m_threadParams.hProgress != nullptr; }

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // WM_INITDIALOG; TRUE = focus on the first tab stop, the Install button.
    BOOL OnInitDialog() override;
    // IDOK, the Install command: starts the install run once; ends the dialog with
    // IDABORT when no worker thread can be made.
    void OnOK() override;
    // WM_PAINT, WM_QUERYDRAGICON, WM_SYSCOMMAND; true = handled.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // WM_COMMAND before OnOK and OnCancel; true = handled.
    bool OnCommand(UINT nID, UINT nCode) override;

    // WM_PAINT: the icon, centred, while the window is minimised.
    void OnPaint();
    // WM_QUERYDRAGICON: the icon shown while a minimised window is dragged.
    HCURSOR OnQueryDragIcon();
    // WM_SYSCOMMAND: the About item, everything else to the default handling.
    void OnSysCommand(UINT nID, LPARAM lParam);
    // BN_CLICKED from IDC_ABOUT.
    void OnAbout();

  private:
    CStatic m_status;
    CButton m_installButton;
    CButton m_cancelButton;
    CButton m_aboutButton;
    CProgressCtrl m_progress;
    CStatic m_homepage;
    CString m_strTitle;
    InstallThreadParams m_threadParams;
    // Owned; never destroyed, as the window lives until the program ends. Large
    // (SM_CXICON): the window's big icon and the minimised picture; small (SM_CXSMICON):
    // the caption's.
    HICON m_hIcon;
    HICON m_hSmallIcon;
};

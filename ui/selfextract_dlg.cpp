// ui/selfextract_dlg.cpp: the main window: Ready with three buttons, then, after
// Install, the progress of the extraction and the status text while setup runs.
#include "ui/selfextract_dlg.h"

#include "engine/program_file.h"
#include "platform/system/thread.h"
#include "platform/window/app.h"
#include "platform/window/gdi.h"
#include "platform/window/menu.h"
#include "ui/about_dlg.h"

CSelfExtractDlg::CSelfExtractDlg(ProgramFile& program, CWnd* pParent)
    : CDialog(IDD_SELFEXTRACT_DIALOG, pParent), m_threadParams{nullptr, nullptr, &program} {
    m_strTitle = GetInstallTitle(program);
    // Each icon at the size it is drawn at, which grows with the display's DPI: a
    // scaled-down large icon would blur the caption's.
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    m_hSmallIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
}

bool CSelfExtractDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return true;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return true;
    }
    return false;
}

bool CSelfExtractDlg::OnCommand(UINT nID, UINT nCode) {
    switch (nID) {
    case IDC_ABOUT:
        if (nCode == BN_CLICKED) {
            OnAbout();
            return true;
        }
        break;
    // Once an install runs, nothing may end the dialog: Escape and a posted IDCANCEL still
    // arrive although the Cancel button is disabled.
    case IDCANCEL:
        return IsInstallRunning();
    }
    return false;
}

void CSelfExtractDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATUS, m_status);
    DDX_Control(pDX, IDOK, m_installButton);
    DDX_Control(pDX, IDCANCEL, m_cancelButton);
    DDX_Control(pDX, IDC_ABOUT, m_aboutButton);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_HOMEPAGE, m_homepage);
    DDX_Text(pDX, IDC_PRODUCT, m_strTitle);
}

BOOL CSelfExtractDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The About item, where the system gives the window a system menu.
    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            CMenu sysMenu(hSysMenu);
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hSmallIcon, FALSE);
    return TRUE;
}

void CSelfExtractDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    // Centred; the divisions truncate toward zero.
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CSelfExtractDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CSelfExtractDlg::OnOK() {
    if (IsInstallRunning()) {
        return;
    }
    if (!m_progress.IsWindowVisible()) {
        m_installButton.EnableWindow(FALSE);
        m_aboutButton.EnableWindow(FALSE);
        m_cancelButton.EnableWindow(FALSE);
        m_homepage.ShowWindow(SW_HIDE);
        m_progress.ShowWindow(SW_SHOWNORMAL);
    }
    m_threadParams.hProgress = m_progress.GetSafeHwnd();
    m_threadParams.hStatus = m_status.GetSafeHwnd();
    if (!AfxBeginThread(InstallThreadProc, &m_threadParams)) {
        // Nothing would ever end a window whose buttons are all disabled.
        ShowErrorBox(*this, IDS_WORKER_FAILED);
        EndDialog(IDABORT);
    }
}

void CSelfExtractDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(*m_threadParams.program, this);
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

void CSelfExtractDlg::OnAbout() {
    CAboutDlg dlgAbout(*m_threadParams.program, this);
    dlgAbout.DoModal();
}

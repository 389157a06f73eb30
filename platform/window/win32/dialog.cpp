// platform/window/win32/dialog.cpp: the one dialog procedure of all dialogs, and the data exchange.
#include "platform/window/dialog.h"

#include <stdlib.h>

#include "platform/window/app.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr) {
        rControl.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(control, value);
        return;
    }
    int length = ::GetWindowTextLengthA(control);
    char* buffer = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (buffer != nullptr) {
        value = CString(buffer, ::GetWindowTextA(control, buffer, length + 1));
        free(buffer);
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

bool CDialog::OnCommand(UINT, UINT) { return false; }

LRESULT CDialog::Default() {
    return ::DefWindowProcA(m_hWnd, m_currentMessage, m_currentWParam, m_currentLParam);
}

// Until WM_INITDIALOG has stored the object in the window's user slot, messages go
// unhandled (FALSE) to the system's dialog handling; from then on to the object.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    INT_PTR handled = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        dialog->m_hWnd = nullptr;
    }
    return handled;
}

// Returns what the dialog procedure returns: TRUE when handled, with the result in
// DWLP_MSGRESULT, except for the messages whose result is the return value itself.
INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // Handlers may run nested messages (a modal About box); keep Default's message right.
    UINT savedMessage = m_currentMessage;
    WPARAM savedWParam = m_currentWParam;
    LPARAM savedLParam = m_currentLParam;
    m_currentMessage = message;
    m_currentWParam = wParam;
    m_currentLParam = lParam;

    INT_PTR returned = FALSE;
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, &result)) {
        bool direct =
            message == WM_QUERYDRAGICON || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
        if (direct) {
            returned = static_cast<INT_PTR>(result);
        } else {
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            returned = TRUE;
        }
    } else if (message == WM_INITDIALOG) {
        returned = OnInitDialog();
    } else if (message == WM_COMMAND) {
        DispatchCommand(LOWORD(wParam), HIWORD(wParam));
        returned = TRUE;
    }

    m_currentMessage = savedMessage;
    m_currentWParam = savedWParam;
    m_currentLParam = savedLParam;
    return returned;
}

void CDialog::DispatchCommand(UINT nID, UINT nCode) {
    if (OnCommand(nID, nCode)) {
        return;
    }
    if (nID == IDOK) {
        OnOK();
    } else if (nID == IDCANCEL) {
        OnCancel();
    } else if (AfxGetApp() != nullptr) {
        AfxGetApp()->OnCmdMsg(nID);
    }
}

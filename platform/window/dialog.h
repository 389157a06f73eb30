// platform/window/dialog.h: CDialog, a modal dialog run from a dialog template, and the data
// exchange that binds control members and texts to its controls. Windows only.
#pragma once

#include "platform/system/cstring.h"
#include "platform/window/wnd.h"

// Which way a data exchange runs: into the controls at start, or back out of them.
class CDataExchange {
  public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}

    CWnd* m_pDlgWnd;         // borrowed: the dialog
    BOOL m_bSaveAndValidate; // FALSE: members to controls; TRUE: controls to members
};

// Makes a control member wrap the dialog's control nIDC.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Puts a text into the control nIDC (or reads it back when saving).
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public CWnd {
  public:
    // Constructors
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Operations
    // Runs the dialog until EndDialog; returns the value given to it, -1 when the
    // dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  protected:
    // Overridables
    // WM_INITDIALOG; runs the data exchange into the controls. TRUE = the system sets
    // the focus to the first control with a tab stop.
    virtual BOOL OnInitDialog();
    // IDOK: reads the controls back and ends the dialog with IDOK.
    virtual void OnOK();
    // IDCANCEL: ends the dialog with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    // The dialog's message table, asked first for every message; true = handled, with
    // *result as the message's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // WM_COMMAND, asked before IDOK and IDCANCEL go to OnOK and OnCancel; true = handled.
    virtual bool OnCommand(UINT nID, UINT nCode);

    // The platform's standard handling of the message being handled now.
    LRESULT Default();

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void DispatchCommand(UINT nID, UINT nCode);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd; // borrowed
    // The message being dispatched, for Default.
    UINT m_currentMessage = 0;
    WPARAM m_currentWParam = 0;
    LPARAM m_currentLParam = 0;
};

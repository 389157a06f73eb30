// platform/controls.h: wrappers for the dialog controls the program binds with
// DDX_Control. Each method sends one message; nothing is cached. Windows only.
#pragma once

#include "platform/wnd.h"

class CButton : public CWnd {
  public:
    static const char* GetWindowClassName() { return "Button"; }
};

class CStatic : public CWnd {
  public:
    static const char* GetWindowClassName() { return "Static"; }
};

class CProgressCtrl : public CWnd {
  public:
    static const char* GetWindowClassName() { return PROGRESS_CLASSA; }

    // Attributes
    int GetPos() const { return static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }

    // Operations
    void SetRange(short nLower, short nUpper) {
        ::SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
    }
    int SetPos(int nPos) { return static_cast<int>(::SendMessageA(m_hWnd, PBM_SETPOS, nPos, 0)); }
};

// platform/window/controls.h: wrappers for the dialog controls the program binds with
// DDX_Control. Each method sends one message; nothing is cached.
#pragma once

#include "platform/window/wnd.h"

class CButton : public CWnd {};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
  public:
    // Operations
    void SetRange(short nLower, short nUpper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, nPos)); }
};

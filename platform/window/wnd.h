// platform/window/wnd.h: CWnd, a window object around a window handle. Each method is one
// window-system call on the handle; the object caches nothing.
#pragma once

#include "platform/wintypes.h"

class CWnd {
  public:
    // Constructors
    CWnd() = default;
    virtual ~CWnd() = default;

    // A window object for a handle made by another thread; it borrows the handle.
    static CWnd FromHandle(HWND hWnd) {
        CWnd wnd;
        wnd.m_hWnd = hWnd;
        return wnd;
    }

    // Attributes
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The parent of a child window; the owner of a pop-up.
    CWnd GetParent() const;

    // Operations
    BOOL ShowWindow(int nCmdShow);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // A modal message box owned by this window; returns the button that closed it. Any
    // thread may call it. The portable backend has no screen and writes the box to
    // standard error (platform/window/portable/window.h).
    int MessageBox(const char* text, const char* caption, UINT type);

#ifdef _WIN32
    // Window-system only: used by the dialogs, never by the engine.
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) {
        return reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                      reinterpret_cast<LPARAM>(hIcon)));
    }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
#endif

    HWND m_hWnd = nullptr; // borrowed
};

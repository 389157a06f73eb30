// platform/wnd.h: CWnd, a window object around a window handle. Each method is one
// window-system call on the handle; the object caches nothing.
#pragma once

#include "platform/wintypes.h"

class CWnd {
  public:
    // Constructors
    CWnd() = default;

    // A window object for a handle made by another thread; it borrows the handle.
    static CWnd FromHandle(HWND hWnd) {
        CWnd wnd;
        wnd.m_hWnd = hWnd;
        return wnd;
    }

    // Attributes
    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL IsWindowVisible() const;
    // The parent of a child window; the owner of a pop-up.
    CWnd GetParent() const;

    // Operations
    BOOL ShowWindow(int nCmdShow);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // A modal message box owned by this window; returns the button that closed it. Any
    // thread may call it. The portable backend has no screen and writes the box to
    // standard error (platform/portable/window.h).
    int MessageBox(const char* text, const char* caption, UINT type);

    HWND m_hWnd = nullptr; // borrowed
};

// platform/window/win32/wnd.cpp: CWnd on the Win32 window functions.
#include "platform/window/wnd.h"

CWnd CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption, type);
}

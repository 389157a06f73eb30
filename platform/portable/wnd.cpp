// platform/portable/wnd.cpp: CWnd on in-memory windows. Messages act the way a progress
// bar answers them and are recorded while the window records.
#include "platform/wnd.h"

#include <stdio.h>

#include <atomic>

#include "platform/portable/window.h"

namespace {

std::atomic<unsigned long> g_nextSequence{1};

void Record(PortableWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window->recording) {
        window->events.push_back({g_nextSequence++, message, wParam, lParam});
    }
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

} // namespace

BOOL CWnd::IsWindowVisible() const { return m_hWnd->visible ? TRUE : FALSE; }

BOOL CWnd::IsWindowEnabled() const { return m_hWnd->enabled ? TRUE : FALSE; }

BOOL CWnd::EnableWindow(BOOL bEnable) {
    BOOL wasDisabled = m_hWnd->enabled ? FALSE : TRUE;
    m_hWnd->enabled = bEnable != FALSE;
    return wasDisabled;
}

void CWnd::SetWindowText(const char* text) { m_hWnd->text = text; }

CWnd CWnd::GetParent() const { return FromHandle(m_hWnd->parent); }

BOOL CWnd::ShowWindow(int nCmdShow) {
    BOOL wasVisible = m_hWnd->visible ? TRUE : FALSE;
    m_hWnd->visible = nCmdShow != SW_HIDE;
    Record(m_hWnd, WM_SHOWWINDOW, m_hWnd->visible ? 1 : 0, 0);
    return wasVisible;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    PortableWindow* window = m_hWnd;
    Record(window, message, wParam, lParam);
    if (message == PBM_SETRANGE) {
        LRESULT previous = MAKELPARAM(window->rangeMin, window->rangeMax);
        window->rangeMin = static_cast<int>(LOWORD(lParam));
        window->rangeMax = static_cast<int>(HIWORD(lParam));
        window->position = Clamp(window->position, window->rangeMin, window->rangeMax);
        return previous;
    }
    if (message == PBM_SETPOS) {
        LRESULT previous = window->position;
        window->position = Clamp(static_cast<int>(wParam), window->rangeMin, window->rangeMax);
        return previous;
    }
    return 0;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT /*type*/) {
    fprintf(stderr, "message box owner=%p caption=%s\n%s\n", static_cast<void*>(m_hWnd), caption, text);
    return IDOK;
}

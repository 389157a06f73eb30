// platform/window/portable/wnd.cpp: CWnd on in-memory windows. Messages act the way a progress
// bar answers them.
#include "platform/window/wnd.h"

#include <stdio.h>

#include "platform/window/portable/window.h"

namespace {

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

} // namespace

CWnd CWnd::GetParent() const { return FromHandle(m_hWnd->parent); }

BOOL CWnd::ShowWindow(int nCmdShow) {
    BOOL wasVisible = m_hWnd->visible ? TRUE : FALSE;
    m_hWnd->visible = nCmdShow != SW_HIDE;
    return wasVisible;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    PortableWindow* window = m_hWnd;
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

// platform/window/gdi.h: the painting calls a dialog's WM_PAINT handler uses: the paint
// context of BeginPaint/EndPaint and a rectangle with its sizes. Windows only.
#pragma once

#include "platform/window/wnd.h"

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The paint context of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC {
  public:
    explicit CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    PAINTSTRUCT m_ps;

  private:
    HWND m_hWnd; // borrowed
    HDC m_hDC;   // owned by the paint cycle, released by EndPaint
};

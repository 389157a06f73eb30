// platform/window/menu.h: CMenu, a menu borrowed from a window, such as its system menu.
// Windows only.
#pragma once

#include "platform/window/wnd.h"

// A system menu or other menu borrowed from a window.
class CMenu {
  public:
    explicit CMenu(HMENU hMenu) : m_hMenu(hMenu) {}
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* lpszNewItem = nullptr) {
        return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
    }

    HMENU m_hMenu; // borrowed
};

// platform/portable/window.h: in-memory windows for builds without a window system.
// A window keeps the state a progress bar or a static control would show and, while
// recording, every message and visibility change in the order they came.
//
// A message box has no screen to go to: it is written to standard error as the line
// "message box owner=<owner's address> caption=<caption>", the text, and a newline, and
// counts as closed with OK.
#pragma once

#include <vector>

#include "platform/cstring.h"
#include "platform/wintypes.h"

struct WindowEvent {
    unsigned long sequence; // order across all windows of the process
    UINT message;           // WM_SHOWWINDOW stands for a ShowWindow call
    WPARAM wParam;
    LPARAM lParam;
};

struct PortableWindow {
    PortableWindow* parent = nullptr; // borrowed
    bool visible = false;
    bool enabled = true;
    CString text;
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
    bool recording = true; // off for long runs, so memory does not grow with them
    std::vector<WindowEvent> events;
};

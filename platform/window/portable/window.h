// platform/window/portable/window.h: in-memory windows for builds without a window system.
// A window keeps the state a progress bar would show, and whether it is shown.
//
// A message box has no screen to go to: it is written to standard error as the line
// "message box owner=<owner's address> caption=<caption>", the text, and a newline, and
// counts as closed with OK.
#pragma once

#include "platform/wintypes.h"

struct PortableWindow {
    PortableWindow* parent = nullptr; // borrowed
    bool visible = false;
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
};

// ui/icon_origin.h: where a minimised main window draws its icon. Plain arithmetic with
// no window-system types, so that it is tested on every platform.
#pragma once

struct IconOrigin {
    int x;
    int y;
};

// Centred in the client area; the divisions truncate toward zero, so a client area
// smaller than the icon (as minimised windows have today) gives -15, not -16, for a
// 32-pixel icon in an empty area.
inline IconOrigin CentreIcon(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
    return IconOrigin{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

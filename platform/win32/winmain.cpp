// platform/win32/winmain.cpp: the Windows entry point of a program built on CWinApp.
// Linked into the program itself, not into the platform library, so that other Windows
// programs (tests, tools) keep their own entry points.
#include "platform/app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

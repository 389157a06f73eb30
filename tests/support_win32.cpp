// tests/support_win32.cpp: recording windows as real windows whose procedure notes the
// progress messages and visibility changes they receive.
#include "tests/support.h"

namespace {

const char RecorderClass[] = "SfxTestRecorder";
unsigned long g_nextSequence = 1;

} // namespace

struct RecordingWindow::Impl {
    HWND hwnd = nullptr;
    std::vector<RecordedMessage> messages;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Impl* self = reinterpret_cast<Impl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr &&
            (message == PBM_SETRANGE || message == PBM_SETPOS || message == WM_SHOWWINDOW)) {
            self->messages.push_back(
                {message, wParam, message == WM_SHOWWINDOW ? 0 : lParam, g_nextSequence++});
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};

RecordingWindow::RecordingWindow(bool visible) : m_impl(new Impl) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Impl::Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = RecorderClass;
        registered = RegisterClassA(&windowClass) != 0;
    }
    m_impl->hwnd = CreateWindowExA(0, RecorderClass, "", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 10, 10,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(m_impl->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_impl.get()));
}

RecordingWindow::~RecordingWindow() { DestroyWindow(m_impl->hwnd); }

HWND RecordingWindow::handle() const { return m_impl->hwnd; }

bool RecordingWindow::visible() const { return IsWindowVisible(m_impl->hwnd) != FALSE; }

std::vector<RecordedMessage> RecordingWindow::messages() const { return m_impl->messages; }

// tests/support_portable.cpp: recording windows on the portable backend's in-memory windows.
#include "platform/portable/control.h"
#include "platform/portable/window.h"
#include "tests/support.h"

struct RecordingWindow::Impl {
    PortableWindow window;
};

RecordingWindow::RecordingWindow(bool visible) : m_impl(new Impl) { m_impl->window.visible = visible; }

RecordingWindow::~RecordingWindow() = default;

HWND RecordingWindow::handle() const { return &m_impl->window; }

bool RecordingWindow::visible() const { return m_impl->window.visible; }

std::vector<RecordedMessage> RecordingWindow::messages() const {
    std::vector<RecordedMessage> result;
    for (const WindowEvent& event : m_impl->window.events) {
        result.push_back({event.message, event.wParam, event.lParam, event.sequence});
    }
    return result;
}

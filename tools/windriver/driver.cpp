// tools/windriver/driver.cpp: starting installers and acting on their windows from outside.
#include "tools/windriver/driver.h"

#include <filesystem>

namespace {

// UTF-8 text in UTF-16, as the wide system calls take it.
std::wstring Wide(const std::string& utf8) { return std::filesystem::u8path(utf8).wstring(); }

// This process's linked token, made a primary one: the user's limited token when
// this process runs elevated. nullptr when there is none.
HANDLE LimitedToken() {
    HANDLE own = nullptr, limited = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD length = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) &&
        GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &length)) {
        DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityIdentification, TokenPrimary,
                         &limited);
        CloseHandle(linked.LinkedToken);
    }
    CloseHandle(own);
    return limited;
}

void SendInputs(HWND window, INPUT (&inputs)[2]) {
    SetForegroundWindow(window);
    SendInput(2, inputs, sizeof inputs[0]);
    Sleep(100);
}

} // namespace

void SetVariable(const char* name, const std::string& value) {
    SetEnvironmentVariableW(Wide(name).c_str(), value.empty() ? nullptr : Wide(value).c_str());
}

bool CInstallerProcess::Start(const std::string& commandLine, const std::string& directory, bool suspended,
                              const std::string& application, bool limited) {
    End();
    std::wstring line = Wide(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    const std::wstring wideApplication = Wide(application), wideDirectory = Wide(directory);
    const wchar_t* applicationName = application.empty() ? nullptr : wideApplication.c_str();
    const wchar_t* directoryName = directory.empty() ? nullptr : wideDirectory.c_str();
    const DWORD flags = suspended ? CREATE_SUSPENDED : 0;
    if (!limited) {
        return CreateProcessW(applicationName, &line[0], nullptr, nullptr, FALSE, flags, nullptr,
                              directoryName, &startup, &m_info) != FALSE;
    }
    HANDLE token = LimitedToken();
    const bool started =
        token != nullptr && CreateProcessAsUserW(token, applicationName, &line[0], nullptr, nullptr, FALSE,
                                                 flags, nullptr, directoryName, &startup, &m_info) != FALSE;
    CloseHandle(token);
    return started;
}

void CInstallerProcess::End() {
    if (m_info.hProcess != nullptr) {
        TerminateProcess(m_info.hProcess, 999);
        WaitForSingleObject(m_info.hProcess, 5000);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
        m_info = {};
    }
}

HWND CInstallerProcess::WaitForWindow(const char* caption, HWND besides) const {
    // Input sent before the program waits for it would be lost.
    WaitForInputIdle(m_info.hProcess, 10000);
    HWND found = nullptr;
    WaitUntil([&] {
        while ((found = FindWindowExA(nullptr, found, nullptr, caption)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == m_info.dwProcessId && IsWindowVisible(found) && found != besides) {
                return true;
            }
        }
        return false;
    });
    return found;
}

long CInstallerProcess::WaitForExit(DWORD timeoutMs) const {
    DWORD status = 0;
    bool ended = WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    return ended && GetExitCodeProcess(m_info.hProcess, &status) ? static_cast<long>(status) : -1;
}

std::string ControlText(HWND window, int id) {
    char text[512];
    return std::string(text, GetWindowTextA(GetDlgItem(window, id), text, sizeof text));
}

void ClickControl(HWND window, int id) {
    RECT rect;
    GetWindowRect(GetDlgItem(window, id), &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInputs(window, inputs);
}

void PressKey(HWND window, WORD virtualKey) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInputs(window, inputs);
}

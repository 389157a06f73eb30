// tests/ui/driver.cpp: starting installers and acting on their windows from outside.
#include "tests/ui/driver.h"

#include <filesystem>
#include <map>

DriverPaths g_paths;

namespace {

// UTF-8 text in UTF-16, as the wide system calls take it.
std::wstring Wide(const std::string& utf8) { return std::filesystem::u8path(utf8).wstring(); }

// The name under which an environment block sorts and matches a variable.
std::wstring VariableKey(const std::wstring& entry) {
    // Find from 1: the hidden per-drive variables are named "=C:" and the like.
    std::wstring name = entry.substr(0, entry.find(L'=', 1));
    for (wchar_t& ch : name) {
        ch = static_cast<wchar_t>(towupper(ch));
    }
    return name;
}

// The driver's environment with the changes applied, as a CreateProcessW block (sorted
// by name, as Windows keeps it).
std::wstring EnvironmentBlock(const std::vector<std::string>& changes) {
    std::map<std::wstring, std::wstring> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
        variables[VariableKey(entry)] = entry;
    }
    FreeEnvironmentStringsW(block);
    for (const std::string& change : changes) {
        std::wstring wide = Wide(change);
        if (wide.back() == L'=') {
            variables.erase(VariableKey(wide));
        } else {
            variables[VariableKey(wide)] = wide;
        }
    }
    std::wstring result;
    for (const auto& variable : variables) {
        result += variable.second;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

struct WindowSearch {
    DWORD processId;
    const char* caption;
    HWND besides;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char caption[256];
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (owner == search->processId && strcmp(caption, search->caption) == 0 && IsWindowVisible(hwnd) &&
        hwnd != search->besides) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

POINT ControlCentre(HWND dialog, int id) {
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void SendMouse(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace

CInstallerProcess::~CInstallerProcess() {
    if (m_info.hProcess != nullptr) {
        if (!HasExited()) {
            TerminateProcess(m_info.hProcess, 999);
            WaitForSingleObject(m_info.hProcess, 5000);
        }
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

bool CInstallerProcess::Start(const std::string& commandLine, const std::vector<std::string>& environment,
                              bool suspended) {
    std::wstring line = Wide(commandLine);
    std::wstring block = EnvironmentBlock(environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | (suspended ? CREATE_SUSPENDED : 0);
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, flags, &block[0], nullptr, &startup,
                          &m_info) != FALSE;
}

void CInstallerProcess::Resume() { ResumeThread(m_info.hThread); }

HWND CInstallerProcess::WaitForWindow(const char* caption, HWND besides, DWORD timeoutMs) const {
    // Input sent before the program waits for it would be lost.
    WaitForInputIdle(m_info.hProcess, timeoutMs);
    WindowSearch search = {m_info.dwProcessId, caption, besides, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

long CInstallerProcess::WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD status = 0;
    GetExitCodeProcess(m_info.hProcess, &status);
    return static_cast<long>(status);
}

bool CInstallerProcess::HasExited() const { return WaitForSingleObject(m_info.hProcess, 0) == WAIT_OBJECT_0; }

std::string ControlText(HWND dialog, int id) {
    char text[512];
    int length = GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
    return std::string(text, length);
}

bool ControlVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

bool ControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void ClickControl(HWND dialog, int id) {
    POINT centre = ControlCentre(dialog, id);
    SetForegroundWindow(dialog);
    SetCursorPos(centre.x, centre.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void ClickCloseBox(HWND window) {
    // The close box is the rightmost caption button, inside the frame.
    RECT rect;
    GetWindowRect(window, &rect);
    int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int button = GetSystemMetrics(SM_CXSIZE);
    SetForegroundWindow(window);
    SetCursorPos(rect.right - frame - button / 2, rect.top + frame + GetSystemMetrics(SM_CYSIZE) / 2);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void PressKey(HWND dialog, WORD virtualKey) {
    SetForegroundWindow(dialog);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
    Sleep(100);
}

RECT TemplateClientRect(const std::string& program, int id) {
    RECT client = {0, 0, 0, 0};
    HMODULE module =
        LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (found == nullptr) {
        return client;
    }
    // A hidden copy: an extended template keeps its style at offset 12.
    std::string copy(static_cast<const char*>(LockResource(LoadResource(module, found))),
                     SizeofResource(module, found));
    DWORD style;
    memcpy(&style, &copy[12], sizeof style);
    style &= ~WS_VISIBLE;
    memcpy(&copy[12], &style, sizeof style);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogIndirectParamA(module, reinterpret_cast<const DLGTEMPLATE*>(copy.data()),
                                             nullptr, IgnoreMessages, 0);
    GetClientRect(dialog, &client);
    DestroyWindow(dialog);
    FreeLibrary(module);
    return client;
}

// tools/windriver/driver.h: drives an installer from outside, the way a user meets it: starts it,
// finds its windows, reads controls, clicks and types with real input, and collects the
// exit status. The demo (tools/demo) and the window tests (tests/ui) use it.
#pragma once

#include <windows.h>

#include <commctrl.h> // builds on windows.h

#include <string>

// The installer's captions as a user sees them: the one copy that the demo and the tests
// check the product's (ui/resource.h) against.
constexpr char InstallerCaption[] = "Kelvane Pro Self-Extractor";
constexpr char AboutCaption[] = "About Kelvane Pro Self-Extractor";

// Sets a variable of this process, which the programs it starts inherit; an empty value
// removes it. Texts in UTF-8.
void SetVariable(const char* name, const std::string& value);

// An installer process; a new Start ends the one before.
class CInstallerProcess {
  public:
    CInstallerProcess() = default;
    ~CInstallerProcess() { End(); }
    CInstallerProcess(const CInstallerProcess&) = delete;
    CInstallerProcess& operator=(const CInstallerProcess&) = delete;

    // Starts the command line (UTF-8) in directory (empty: this one); suspended: until
    // Resume. With an application, that program runs, whatever the command line names.
    // limited: with the user's limited token, as a program runs that was not started
    // elevated; Wine starts every program with administrator rights in force.
    bool Start(const std::string& commandLine, const std::string& directory = "", bool suspended = false,
               const std::string& application = "", bool limited = false);
    void Resume() const { ResumeThread(m_info.hThread); }
    void End();
    // A visible top-level window of the process with this caption, other than `besides`
    // (a message box shares the main window's caption); waits for it.
    HWND WaitForWindow(const char* caption, HWND besides = nullptr) const;
    // Waits for the process to end; its exit status, or -1 on timeout.
    long WaitForExit(DWORD timeoutMs = 30000) const;
    DWORD id() const { return m_info.dwProcessId; }

  private:
    PROCESS_INFORMATION m_info = {};
};

std::string ControlText(HWND window, int id);
// Real input, sent while the window is in front: a left click in the middle of a control,
// or a key pressed and released.
void ClickControl(HWND window, int id);
void PressKey(HWND window, WORD virtualKey);

// Polls until the condition holds; false on timeout.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 30000) {
    for (DWORD waited = 0; !condition(); waited += 20) {
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

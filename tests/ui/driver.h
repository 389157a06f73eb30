// tests/ui/driver.h: drives an installer from outside, the way a user meets it: starts
// it with a chosen environment and command line, finds its window, reads controls,
// clicks and types with real input, and collects the exit status.
#pragma once

#include <windows.h>
// commctrl.h builds on windows.h.
#include <commctrl.h>

#include <string>
#include <vector>

// Where the built programs are, from the test's command line.
struct DriverPaths {
    std::string stub;             // the sealed stub
    std::string setup;            // the setup program stand-in
    std::string plantedDll;       // a DLL that notes when it is loaded
    std::string signedInstallers; // made by make_signed_installers.sh; empty: none
};
extern DriverPaths g_paths;

class CInstallerProcess {
  public:
    CInstallerProcess() = default;
    ~CInstallerProcess();
    CInstallerProcess(const CInstallerProcess&) = delete;
    CInstallerProcess& operator=(const CInstallerProcess&) = delete;

    // Starts the program with these variables added to (or, with an empty value,
    // removed from) the driver's own environment; texts in UTF-8. suspended: the caller
    // resumes it.
    bool Start(const std::string& commandLine, const std::vector<std::string>& environment,
               bool suspended = false);
    void Resume();

    // A visible top-level window of the process with this caption, other than `besides`
    // (a message box shares the main window's caption); waits for it.
    HWND WaitForWindow(const char* caption, HWND besides = nullptr, DWORD timeoutMs = 10000) const;
    // Waits for the process to end; its exit status, or -1 on timeout.
    long WaitForExit(DWORD timeoutMs = 30000);
    bool HasExited() const;

    DWORD id() const { return m_info.dwProcessId; }

  private:
    PROCESS_INFORMATION m_info = {};
};

// Reading controls of another process's dialog.
std::string ControlText(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);

// Real input: a left click in the middle of the control, and a key pressed and released
// while the dialog is in the foreground.
void ClickControl(HWND dialog, int id);
void PressKey(HWND dialog, WORD virtualKey);
// A left click on the close box of a window's caption.
void ClickCloseBox(HWND window);

// The client rectangle a dialog template of a program file gets here: the template's
// size in dialog units, in pixels for the template's font.
RECT TemplateClientRect(const std::string& program, int id);

// Polls until the condition holds; false on timeout.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 10000) {
    for (DWORD waited = 0;; waited += 20) {
        if (condition()) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

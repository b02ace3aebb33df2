#pragma once
// Drives the laid-out program from a test running inside Wine: starts it with a command line,
// finds its top-level windows, reads and closes message boxes, and reads its full exit code.
#include "tools/win/process_windows.hpp"

#include <string>
#include <vector>

// Path of a file in the product folder, and of the program there.
std::string ProductPath(const std::string& name);
inline std::string ProgramPath()
{
    return ProductPath("VxmCheck.exe");
}

class ProgramRun {
  public:
    // Starts a program (by default VxmCheck.exe of the product folder) with the given
    // arguments, already quoted.
    explicit ProgramRun(const std::string& arguments, const std::string& program = ProgramPath());
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    DWORD Pid() const { return mInfo.dwProcessId; }
    // Waits for the process to end; false when it is still running after the time.
    bool Wait(DWORD milliseconds);
    // The full 32-bit exit code; valid after Wait returned true.
    long ExitCode() const;
    // A visible top-level window of the process with this caption, or null after the time.
    HWND WaitForWindow(const std::string& caption, DWORD milliseconds) const;
    // Every visible top-level window of the process.
    std::vector<HWND> VisibleWindows() const;

  private:
    PROCESS_INFORMATION mInfo{};
};

// Quotes one command-line argument by the Windows rules.
std::string Quote(const std::string& argument);

#include "tests/e2e/program_driver.hpp"

#include <stdexcept>

std::string ProductPath(const std::string& name)
{
    return std::string(VXM_DIST_DIR) + "\\" + name;
}

std::string Quote(const std::string& argument)
{
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

ProgramRun::ProgramRun(const std::string& arguments, const std::string& program)
{
    std::string line = Quote(program) + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &mInfo))
        throw std::runtime_error("cannot start " + line);
}

ProgramRun::~ProgramRun()
{
    if (WaitForSingleObject(mInfo.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(mInfo.hProcess, 1);
    CloseHandle(mInfo.hThread);
    CloseHandle(mInfo.hProcess);
}

bool ProgramRun::Wait(DWORD milliseconds)
{
    return WaitForSingleObject(mInfo.hProcess, milliseconds) == WAIT_OBJECT_0;
}

long ProgramRun::ExitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(mInfo.hProcess, &code);
    return static_cast<long>(code);
}

std::vector<HWND> ProgramRun::VisibleWindows() const
{
    return VisibleWindowsOf(mInfo.dwProcessId);
}

HWND ProgramRun::WaitForWindow(const std::string& caption, DWORD milliseconds) const
{
    const DWORD start = GetTickCount();
    do {
        for (HWND window : VisibleWindows())
            if (WindowText(window) == caption)
                return window;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

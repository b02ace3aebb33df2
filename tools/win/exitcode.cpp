// Runs a program and prints its full 32-bit exit code, which the Unix side of Wine would cut
// to 8 bits. Usage: exitcode [--answer-boxes] PROGRAM [ARGS...]; the rest of the command line
// is passed on as it is. With --answer-boxes, every message box the program shows is printed
// and answered with OK: for a virtual display that nobody can see.
#include "tools/win/process_windows.hpp"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

// Skips the first word of a Windows command line, quotes included.
const wchar_t* SkipWord(const wchar_t* line)
{
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == L'"')
            quoted = !quoted;
        else if (!quoted && (*line == L' ' || *line == L'\t'))
            break;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

void AnswerBoxes(const PROCESS_INFORMATION& child)
{
    std::set<HWND> answered;
    while (WaitForSingleObject(child.hProcess, 100) == WAIT_TIMEOUT) {
        for (HWND window : VisibleWindowsOf(child.dwProcessId)) {
            if (!IsMessageBox(window) || answered.count(window))
                continue;
            std::printf("[%s]\n%s\n\n", WindowText(window).c_str(), MessageBoxText(window).c_str());
            std::fflush(stdout);
            answered.insert(window);
            CloseMessageBox(window);
        }
    }
}

} // namespace

int main()
{
    const wchar_t* rest = SkipWord(GetCommandLineW());
    const wchar_t kAnswer[] = L"--answer-boxes";
    const bool answer = std::wcsncmp(rest, kAnswer, std::wcslen(kAnswer)) == 0;
    if (answer)
        rest = SkipWord(rest);
    if (!*rest) {
        std::fprintf(stderr, "usage: exitcode [--answer-boxes] PROGRAM [ARGS...]\n");
        return 2;
    }
    std::wstring line(rest);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "exitcode: cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    if (answer)
        AnswerBoxes(pi);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("exit code: %ld\n", static_cast<long>(code));
    std::fflush(stdout);
    return static_cast<int>(code);
}

// Runs a program and prints its full 32-bit exit code, which the Unix side of Wine would cut
// to 8 bits. Usage: exitcode PROGRAM [ARGS...]; the rest of the command line is passed as is.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Skips the first word of a Windows command line (our own name), quotes included.
const wchar_t* SkipFirstWord(const wchar_t* line)
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

} // namespace

int main()
{
    const wchar_t* rest = SkipFirstWord(GetCommandLineW());
    if (!*rest) {
        std::fprintf(stderr, "usage: exitcode PROGRAM [ARGS...]\n");
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
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("exit code: %ld\n", static_cast<long>(code));
    std::fflush(stdout);
    return static_cast<int>(code);
}

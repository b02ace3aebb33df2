// Starts a command N times inside Wine and prints the mean and fastest wall time and the peak
// working set of the last run, sampled while it runs. Usage: timeit N PROGRAM [ARGS...]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The rest of our command line after skipping `count` words, quotes respected.
const char* SkipWords(const char* line, int count)
{
    for (int i = 0; i < count; ++i) {
        bool quoted = false;
        for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
            if (*line == '"')
                quoted = !quoted;
        while (*line == ' ' || *line == '\t')
            ++line;
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const int runs = std::atoi(argv[1]);
    const std::string command = SkipWords(GetCommandLineA(), 2);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double total = 0, fastest = 1e30;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        std::string line = command;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        LARGE_INTEGER begin, end;
        QueryPerformanceCounter(&begin);
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return 3;
        // Wine reports no memory figures once a process has ended: sample while it runs.
        peak = 0;
        do {
            PROCESS_MEMORY_COUNTERS counters{};
            if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters) &&
                counters.PeakWorkingSetSize > peak)
                peak = counters.PeakWorkingSetSize;
        } while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT);
        QueryPerformanceCounter(&end);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const double ms = 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart;
        total += ms;
        fastest = ms < fastest ? ms : fastest;
    }
    std::printf("%8.1f ms mean %8.1f ms fastest  peak working set %6lu KiB  %s\n", total / runs,
                fastest, static_cast<unsigned long>(peak / 1024), command.c_str());
    return 0;
}

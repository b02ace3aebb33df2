// Starts commands N times each inside Wine, interleaved (A B C A B C ...) so that a busy machine
// slows them alike, and prints per command the median and fastest wall time, and the peak working
// set of one more run, sampled while it runs. Usage: timeit N PROGRAM [ARGS...] [-- PROGRAM
// [ARGS...]]... Each start waits a moment after the one before. Started back to back, about half
// the starts took some 20 ms longer, also for a program that does nothing, and the medians swung by
// more than the programs differ: a process is reported ended while Wine is still tearing it down.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSettleMs = 200;

// The words of a command line, each with its raw text (quotes kept) so it can be passed on.
std::vector<std::string> RawWords(const char* line)
{
    std::vector<std::string> words;
    while (*line) {
        while (*line == ' ' || *line == '\t')
            ++line;
        const char* start = line;
        bool quoted = false;
        for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
            if (*line == '"')
                quoted = !quoted;
        if (line != start)
            words.emplace_back(start, line);
    }
    return words;
}

// The commands after the program name and the count, split at the word "--".
std::vector<std::string> Commands(const std::vector<std::string>& words)
{
    std::vector<std::string> commands(1);
    for (std::size_t i = 2; i < words.size(); ++i) {
        if (words[i] == "--") {
            commands.emplace_back();
            continue;
        }
        std::string& command = commands.back();
        command += (command.empty() ? "" : " ") + words[i];
    }
    return commands;
}

struct Run {
    double ms;
    SIZE_T peak;
};

// Runs a command to its end. With a sampling interval, samples the peak working set while it runs
// (Wine reports no memory figures once a process has ended); polling every millisecond slowed a
// short program by 3 to 4 ms, so timed runs do not sample.
bool RunOnce(std::string line, DWORD sampleMs, Run& run)
{
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    run.peak = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters{};
        if (sampleMs != INFINITE &&
            GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
            run.peak = std::max(run.peak, counters.PeakWorkingSetSize);
    } while (WaitForSingleObject(process.hProcess, sampleMs) == WAIT_TIMEOUT);
    QueryPerformanceCounter(&end);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.ms = 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const int rounds = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> commands = Commands(RawWords(GetCommandLineA()));
    std::vector<std::vector<Run>> runs(commands.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < commands.size(); ++i) {
            Sleep(kSettleMs);
            Run run{};
            if (!RunOnce(commands[i], INFINITE, run))
                return 3;
            runs[i].push_back(run);
        }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        // One more run of each, untimed, for its memory.
        Sleep(kSettleMs);
        Run sampled{};
        if (!RunOnce(commands[i], 1, sampled))
            return 3;
        const SIZE_T peak = sampled.peak;
        std::vector<Run>& times = runs[i];
        std::sort(times.begin(), times.end(),
                  [](const Run& a, const Run& b) { return a.ms < b.ms; });
        std::printf("%8.1f ms median %8.1f ms fastest  peak working set %6lu KiB  %s\n",
                    times[times.size() / 2].ms, times.front().ms,
                    static_cast<unsigned long>(peak / 1024), commands[i].c_str());
    }
    return 0;
}

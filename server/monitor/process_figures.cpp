#include "server/monitor/process_figures.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The fields of /proc/self/stat after the command name (which may hold blanks and brackets),
// so that the first is the file's field 3.
std::vector<std::string> StatFields()
{
    std::ifstream in("/proc/self/stat");
    std::string line;
    std::getline(in, line);
    std::vector<std::string> fields;
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

// Seconds since 1970 at which the system started, from /proc/stat's "btime" line; 0 unknown.
long long BootTime()
{
    std::ifstream in("/proc/stat");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("btime ", 0) == 0)
            return std::atoll(line.c_str() + 6);
    }
    return 0;
}

} // namespace

ProcessFigures ReadProcessFigures()
{
    ProcessFigures figures;
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        figures.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    // Fields 22 (start, clock ticks after boot), 23 (virtual size, bytes), 24 (resident pages).
    const std::vector<std::string> fields = StatFields();
    const long ticks = sysconf(_SC_CLK_TCK), page = sysconf(_SC_PAGESIZE);
    if (fields.size() > 21 && ticks > 0 && page > 0) {
        figures.virtualBytes = std::atof(fields[20].c_str());
        figures.residentBytes = std::atof(fields[21].c_str()) * page;
        if (const long long boot = BootTime())
            figures.startTime = boot + std::atof(fields[19].c_str()) / ticks;
    }
    // The directory being read holds one descriptor too, as in every reader of this figure.
    std::error_code failed;
    std::size_t open = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", failed), end; !failed && it != end;
         it.increment(failed))
        ++open;
    if (!failed)
        figures.openFds = open;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0)
        figures.maxFds = limit.rlim_cur;
    return figures;
}

// Batch evaluation of a probe log: the real EvaluateProbeLog over a log file in a private folder.
// One result line per line the log pattern takes whole (1023 characters at most, a memory field
// that is a number), in input order, each with a level and a gain that belong together.
#include "fuzz/fuzz_check.hpp"

#include "eval/probe_log.hpp"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace {

std::string WorkFolder()
{
    static const std::string folder = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string name = std::string(base) + "/probe_log_fuzz.XXXXXX";
        FuzzCheck(mkdtemp(name.data()) != nullptr, "a private work folder");
        return name;
    }();
    return folder;
}

// The ids of the lines a log should give results for, by the log format's own rules.
std::vector<std::string> ExpectedIds(const std::string& log)
{
    static const std::regex pattern(
        "(\\S+)\\t\\S+\\t\\S+\\t([^\\t]+)\\t([\\d\\.]+)[^\\t]*\\t([^\\t]+).*",
        std::regex::ECMAScript);
    std::vector<std::string> ids;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::smatch fields;
        if (line.size() > 1023 || !std::regex_match(line, fields, pattern))
            continue;
        const std::string memory = fields[3].str();
        char* end = nullptr;
        const double megabytes = std::strtod(memory.c_str(), &end);
        if (end != memory.c_str() + memory.size() || !(megabytes * 1048576.0 < 1.8e19))
            continue;
        ids.push_back(fields[1].str());
    }
    return ids;
}

bool IsGainOfLevel(const std::string& level, const std::string& gain)
{
    if (level == "0")
        return gain == "0";
    if (level.size() != 1 || level[0] < '1' || level[0] > '5' || gain.size() != 3)
        return false;
    const int value = std::atoi(gain.c_str());
    return level[0] <= '3' ? value >= 651 && value <= 850 : value >= 501 && value <= 550;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    LoadShippedScoreTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = WorkFolder() + "/probe.txt";
    const std::string output = input + " - result.txt";
    const std::string log = FuzzText(data, size);
    std::ofstream(input, std::ios::binary) << log;
    FuzzCheck(EvaluateProbeLog(input, output), "a readable log is evaluated");

    std::ifstream result(output, std::ios::binary);
    std::ostringstream text;
    text << result.rdbuf();
    std::vector<std::string> ids;
    std::istringstream lines(text.str());
    std::string line;
    while (std::getline(lines, line)) {
        FuzzCheck(!line.empty() && line.back() == '\r', "result lines end in CR LF", line);
        line.pop_back();
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        FuzzCheck(first != std::string::npos && second != std::string::npos &&
                      line.find('\t', second + 1) == std::string::npos,
                  "result lines hold three fields", line);
        FuzzCheck(
            IsGainOfLevel(line.substr(first + 1, second - first - 1), line.substr(second + 1)),
            "a level and its gain belong together", line);
        ids.push_back(line.substr(0, first));
    }
    const std::vector<std::string> expected = ExpectedIds(log);
    FuzzCheck(ids == expected, "one result per usable line, in order",
              std::to_string(ids.size()) + " results, " + std::to_string(expected.size()) +
                  " usable lines");
    return 0;
}

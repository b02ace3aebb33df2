#include "eval/probe_log.hpp"

#include "common/decimal.hpp"
#include "eval/level.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>

namespace {

// Lines are at most 1023 characters; a longer one is skipped whole. One more byte holds the
// CR of a CR LF line end, which the text-mode read keeps where the platform does not drop it.
constexpr std::streamsize kMaxLine = 1023;
constexpr std::streamsize kBufferSize = kMaxLine + 2 + 1;

// Memory text in MiB (digits and dots) -> bytes; nothing for text that is no number or does not
// fit. from_chars, not a stream conversion: with the program's Chinese C locale set, the C++
// runtime on Windows switches the C locale to "C" and back around every stream conversion,
// which made each line about fifty times dearer than the rest of its evaluation.
std::optional<std::uint64_t> MegabytesToBytes(const std::string& text)
{
    double megabytes = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, megabytes);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return TruncateToUInt64(megabytes * 1048576.0);
}

// Evaluates one line; true when it matched and a result line is due.
bool EvaluateLine(const std::string& line, std::string& result)
{
    std::smatch fields;
    if (!std::regex_match(line, fields, ProbeLogPattern()))
        return false;
    const std::optional<std::uint64_t> bytes = MegabytesToBytes(fields[3].str());
    if (!bytes)
        return false;
    InfoRecord& info = MachineInfo();
    info[InfoKey::CPU] = fields[2].str();
    info[InfoKey::RAM] = fields[3].str();
    info[InfoKey::RAMBytes] = std::to_string(*bytes);
    info[InfoKey::GPU] = fields[4].str();
    EvaluateLevel();
    result = fields[1].str() + "\t" + info[InfoKey::Level] + "\t" + info[InfoKey::Gain] + "\r\n";
    return true;
}

} // namespace

const std::regex& ProbeLogPattern()
{
    static const std::regex pattern(
        "(\\S+)\\t\\S+\\t\\S+\\t([^\\t]+)\\t([\\d\\.]+)[^\\t]*\\t([^\\t]+).*",
        std::regex::ECMAScript);
    return pattern;
}

bool EvaluateProbeLog(const std::string& inputPath, const std::string& outputPath)
{
    std::ifstream input(inputPath);
    if (!input)
        return false; // before the output is made: a missing log leaves no empty result
    // Binary, with explicit CR LF: the same bytes on every platform.
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    if (!output)
        return false;

    char buffer[kBufferSize];
    std::string result;
    for (;;) {
        input.getline(buffer, kBufferSize);
        if (input.bad())
            return false;
        std::streamsize length = input.gcount();
        if (input.fail()) {
            if (length == 0 || input.eof())
                break;     // end of input (a too-long last line is dropped)
            input.clear(); // a line longer than the buffer: skip its rest
            input.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            continue;
        }
        if (length > 0 && !input.eof())
            --length; // the line feed
        if (length > 0 && buffer[length - 1] == '\r')
            --length;
        if (length <= kMaxLine && EvaluateLine(std::string(buffer, length), result)) {
            output << result;
            output.flush();
            if (!output)
                return false;
        }
        if (input.eof())
            break;
    }
    return !input.bad();
}

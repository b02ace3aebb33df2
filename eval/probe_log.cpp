#include "eval/probe_log.hpp"

#include "common/decimal.hpp"
#include "eval/level.hpp"
#include "eval/probe_log_line.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string_view>

namespace {

// Lines are at most 1023 characters; a longer one is skipped whole. One more byte holds the
// CR of a CR LF line end, which the text-mode read keeps where the platform does not drop it.
constexpr std::streamsize kMaxLine = 1023;
constexpr std::streamsize kBufferSize = kMaxLine + 2 + 1;

// Memory text in MiB (digits and dots) -> bytes; nothing for text that is no number or does not
// fit. from_chars, not a stream conversion: with the program's Chinese C locale set, the C++
// runtime on Windows switches the C locale to "C" and back around every stream conversion,
// which made each line about fifty times dearer than the rest of its evaluation.
std::optional<std::uint64_t> MegabytesToBytes(std::string_view text)
{
    double megabytes = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, megabytes);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return TruncateToUInt64(megabytes * 1048576.0);
}

// Evaluates one line into the record; true when it matched and a result line is due. The
// record's strings are assigned in place, so a line costs no allocation once they have grown.
bool EvaluateLine(std::string_view line, std::string& result)
{
    const std::optional<ProbeLogFields> fields = MatchProbeLogLine(line);
    if (!fields)
        return false;
    const std::optional<std::uint64_t> bytes = MegabytesToBytes(fields->ram);
    if (!bytes)
        return false;
    InfoRecord& info = MachineInfo();
    info[InfoKey::CPU].assign(fields->cpu);
    info[InfoKey::RAM].assign(fields->ram);
    info[InfoKey::RAMBytes] = std::to_string(*bytes);
    info[InfoKey::GPU].assign(fields->gpu);
    EvaluateLevel();
    result.assign(fields->id);
    result += '\t';
    result += info[InfoKey::Level];
    result += '\t';
    result += info[InfoKey::Gain];
    result += "\r\n";
    return true;
}

} // namespace

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
        if (length <= kMaxLine && EvaluateLine(std::string_view(buffer, length), result)) {
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

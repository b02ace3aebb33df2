#include "eval/probe_log_line.hpp"

#include <algorithm>

namespace {

// Every group of the pattern stops at a tab, so the fields are the tab-separated pieces. \S is
// the classic locale's white space; \d the ASCII digits.
bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigitOrDot(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

// Takes the text up to the next tab (or the end) off the front of rest.
std::string_view NextField(std::string_view& rest)
{
    const std::size_t tab = rest.find('\t');
    const std::string_view field = rest.substr(0, tab);
    rest.remove_prefix(tab == std::string_view::npos ? rest.size() : tab + 1);
    return field;
}

bool NoSpace(std::string_view field)
{
    return !field.empty() && std::none_of(field.begin(), field.end(), IsSpace);
}

} // namespace

std::optional<ProbeLogFields> MatchProbeLogLine(std::string_view line)
{
    // Fields 1 to 5 must each be followed by a tab; count them before taking the line apart.
    if (std::count(line.begin(), line.end(), '\t') < 5)
        return std::nullopt;
    std::string_view rest = line;
    ProbeLogFields fields;
    fields.id = NextField(rest);
    const std::string_view date = NextField(rest);
    const std::string_view time = NextField(rest);
    fields.cpu = NextField(rest);
    const std::string_view memory = NextField(rest);
    const std::size_t tail = rest.find('\t');
    fields.gpu = rest.substr(0, tail);
    // "(\S+)\t\S+\t\S+\t([^\t]+)\t([\d\.]+)[^\t]*\t([^\t]+)"
    if (!NoSpace(fields.id) || !NoSpace(date) || !NoSpace(time) || fields.cpu.empty() ||
        memory.empty() || !IsDigitOrDot(memory.front()) || fields.gpu.empty())
        return std::nullopt;
    fields.ram = memory.substr(0, std::find_if_not(memory.begin(), memory.end(), IsDigitOrDot) -
                                      memory.begin());
    // ".*" takes the rest from the tab after field 6; "." stops at CR and LF.
    if (tail != std::string_view::npos &&
        rest.find_first_of("\r\n", tail) != std::string_view::npos)
        return std::nullopt;
    return fields;
}

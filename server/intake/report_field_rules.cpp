#include "server/intake/report_field_rules.hpp"

#include "common/account_number.hpp"
#include "common/decimal.hpp"
#include "eval/gain_bands.hpp"

#include <string_view>

namespace {

// Names come from fixed-size platform buffers: a processor brand (48 bytes), an adapter
// description (512), a network adapter's name and description (260 + 132), user and host names
// (256 each).
constexpr std::size_t kMaxNameBytes = 512;
// The installed Visual C++ runtimes, each name followed by ";". The program does not cap the
// list (80 runtimes are some 5 KB): only the body's own bound limits it, and this is well
// within that.
constexpr std::size_t kMaxRuntimeListBytes = 32 * 1024;

// Decimal digits, 1 to `maxDigits`, without a leading zero (a lone "0" allowed).
bool IsDecimal(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text[0] == '0'))
        return false;
    for (char c : text)
        if (!IsDecimalDigit(c))
            return false;
    return true;
}

// Reads a decimal written by "%d" (an optional "-", digits) from the front of `text`.
bool TakeInteger(std::string_view& text)
{
    std::size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t start = at;
    while (at < text.size() && IsDecimalDigit(text[at]) && at - start < 10)
        ++at;
    if (at == start)
        return false;
    text.remove_prefix(at);
    return true;
}

bool TakeText(std::string_view& text, std::string_view expected)
{
    if (text.substr(0, expected.size()) != expected)
        return false;
    text.remove_prefix(expected.size());
    return true;
}

// `text` in the shape of a printf pattern whose only conversion is "%d".
bool MatchesFormat(std::string_view text, std::string_view format)
{
    while (!format.empty()) {
        const auto mark = format.find("%d");
        if (!TakeText(text, format.substr(0, mark)))
            return false;
        if (mark == std::string_view::npos)
            return text.empty();
        if (!TakeInteger(text))
            return false;
        format.remove_prefix(mark + 2);
    }
    return text.empty();
}

// "%.2f MB" of a megabyte count.
bool IsMegabytes(std::string_view text)
{
    const auto point = text.find('.');
    if (point == std::string_view::npos || text.substr(point).size() != 6 ||
        text.substr(point + 3) != " MB" || !IsDecimalDigit(text[point + 1]) ||
        !IsDecimalDigit(text[point + 2]))
        return false;
    const std::string_view whole = text.substr(0, point);
    return !whole.empty() && whole.size() <= 12 &&
           whole.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsUpperHexPair(std::string_view text)
{
    const auto hex = [](char c) { return IsDecimalDigit(c) || (c >= 'A' && c <= 'F'); };
    return text.size() == 2 && hex(text[0]) && hex(text[1]);
}

// "%02X-%02X-%02X-%02X-%02X-%02X", or empty when no adapter had an address.
bool IsMac(std::string_view text)
{
    if (text.empty())
        return true;
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 17; i += 3)
        if (!IsUpperHexPair(text.substr(i, 2)) || (i + 2 < 17 && text[i + 2] != '-'))
            return false;
    return true;
}

bool IsGainOfLevel(const ReportValues& values)
{
    const auto band = GainBandOf(At(values, ReportField::LevelCode));
    const std::string& text = At(values, ReportField::Gain);
    const auto gain = IsDecimal(text, 3) ? ParseDecimal<std::int64_t>(text) : std::nullopt;
    return band && gain && *gain >= band->low && *gain <= band->high;
}

// A name as the platform gives it: no NUL or other control byte (the program copies C strings,
// and GBK's second bytes are never below 0x40), at most `maxBytes`.
bool IsName(std::string_view text, std::size_t maxBytes)
{
    if (text.size() > maxBytes)
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

bool EmptyOr(std::string_view text, bool (*rule)(std::string_view))
{
    return text.empty() || rule(text);
}

bool Holds(const ReportValues& values, ReportField field)
{
    const std::string_view text = At(values, field);
    switch (field) {
    case ReportField::Account:
        return AccountNumberValid(text);
    case ReportField::Mac:
        return IsMac(text);
    case ReportField::Cpu:
    case ReportField::Gpu:
    case ReportField::HostName:
    case ReportField::AdapterName:
        return IsName(text, kMaxNameBytes);
    case ReportField::Msvc:
        return IsName(text, kMaxRuntimeListBytes);
    case ReportField::Ram:
    case ReportField::LocalVideoMem:
    case ReportField::TotalVideoMem:
        return EmptyOr(text, IsMegabytes);
    case ReportField::CoreCount:
    case ReportField::LogicCoreCount:
        return text.empty() || IsDecimal(text, 4);
    case ReportField::Times:
        return text.empty() || (IsDecimal(text, 10) && ParseDecimal<std::uint32_t>(text));
    case ReportField::Os:
        return MatchesFormat(text, "Windows %d.%d, SP %d.%d");
    case ReportField::Resolution:
        return text.empty() || MatchesFormat(text, "%dx%d, %dbits");
    case ReportField::GpuDriver:
        return text.empty() || MatchesFormat(text, "%d.%d.%d.%d");
    case ReportField::DirectX:
        return text.empty() || text == "D3D9;";
    case ReportField::LevelCode:
    case ReportField::Gain:
        return IsGainOfLevel(values);
    case ReportField::Token:
        return text.size() == 32 &&
               text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
    }
    return false;
}

} // namespace

std::optional<GainBand> GainBandOf(const std::string& levelCode)
{
    if (levelCode.empty())
        return GainBand{0, 0}; // an unrated machine
    // Bands fall as the level index rises: the levels of one code join below the first one's top.
    std::optional<GainBand> band;
    for (int level = 0; level < kLevelCount; ++level)
        if (levelCode == kReportedLevelCodes[level])
            band = GainBand{kGainBase + GainRangeOf(level).low,
                            band ? band->high : kGainBase + GainRangeOf(level).high};
    return band;
}

std::optional<ReportField> BrokenFieldRule(const ReportValues& values)
{
    for (std::size_t i = 0; i < kReportFieldCount; ++i) {
        const auto field = static_cast<ReportField>(i);
        if (!Holds(values, field))
            return field;
    }
    return std::nullopt;
}

#pragma once
// The twenty fields of the report form in body order, and their percent-encoding. The program
// writes the form and the report server reads it with these same functions.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class ReportField : std::size_t {
    Account, // u
    Mac,     // mc
    Cpu,     // cpu
    Ram,     // mm
    Gpu,     // dm
    CoreCount,
    LogicCoreCount,
    LocalVideoMem,
    TotalVideoMem,
    Os,
    Resolution,
    DirectX,
    Msvc,
    GpuDriver,
    LevelCode, // hl
    Gain,      // s
    HostName,  // pn
    AdapterName,
    Times, // ei
    Token, // tk
};

constexpr std::size_t kReportFieldCount = 20;

// Field names as they stand in the body, in order.
constexpr std::array<const char*, kReportFieldCount> kReportFieldNames = {
    "u",  "mc", "cpu", "mm", "dm", "cc", "lcc", "lvm", "tvm", "os",
    "rs", "dx", "vc",  "dd", "hl", "s",  "pn",  "nc",  "ei",  "tk"};

// Raw (unencoded) values, indexed by ReportField.
using ReportValues = std::array<std::string, kReportFieldCount>;

inline const std::string& At(const ReportValues& values, ReportField field)
{
    return values[static_cast<std::size_t>(field)];
}

// Percent-encodes every byte except ASCII letters, digits and "-", "_", ".", "~" (upper-case
// hex digits; a blank becomes %20).
std::string UrlEncodeValue(const std::string& text);

// Reverses the percent-encoding: "%XY" (hex digits of either case) becomes that byte and "+" a
// blank; nullopt for a "%" not followed by two hex digits.
std::optional<std::string> UrlDecodeValue(std::string_view text);

// "u=...&mc=...&...&tk=..." with every value encoded.
std::string EncodeReportForm(const ReportValues& values);

// The values of a body holding exactly the twenty fields in order; nullopt for a missing,
// extra, renamed or misordered field or a bad escape.
std::optional<ReportValues> DecodeReportForm(std::string_view body);

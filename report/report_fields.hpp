#pragma once
// The twenty fields of the report form in body order, and their percent-encoding. The program
// writes the form and the report server reads it with these same functions.
#include "probe/machine_keys.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class ReportField : std::size_t {
    Account,
    Mac,
    Cpu,
    Ram,
    Gpu,
    CoreCount,
    LogicCoreCount,
    LocalVideoMem,
    TotalVideoMem,
    Os,
    Resolution,
    DirectX,
    Msvc,
    GpuDriver,
    LevelCode,
    Gain,
    HostName,
    AdapterName,
    Times,
    Token,
};

constexpr std::size_t kReportFieldCount = 20;

// The one table of the report's fields, in body order: the name in the body, which is also the
// store's column, and the machine record's key the form reads (none for the level code and the
// token, which the form computes).
struct ReportFieldSpec {
    ReportField field;
    const char* name;
    const char* recordKey;
};

inline constexpr ReportFieldSpec kReportFields[kReportFieldCount] = {
    {ReportField::Account, "u", InfoKey::Zeq},
    {ReportField::Mac, "mc", InfoKey::Mac},
    {ReportField::Cpu, "cpu", InfoKey::CPU},
    {ReportField::Ram, "mm", InfoKey::RAM},
    {ReportField::Gpu, "dm", InfoKey::GPU},
    {ReportField::CoreCount, "cc", InfoKey::CoreCount},
    {ReportField::LogicCoreCount, "lcc", InfoKey::LogicCoreCount},
    {ReportField::LocalVideoMem, "lvm", InfoKey::LocalVideoMem},
    {ReportField::TotalVideoMem, "tvm", InfoKey::TotalVideoMem},
    {ReportField::Os, "os", InfoKey::OS},
    {ReportField::Resolution, "rs", InfoKey::Resolution},
    {ReportField::DirectX, "dx", InfoKey::DirectX},
    {ReportField::Msvc, "vc", InfoKey::MSVC},
    {ReportField::GpuDriver, "dd", InfoKey::GPUDriver},
    {ReportField::LevelCode, "hl", nullptr},
    {ReportField::Gain, "s", InfoKey::Gain},
    {ReportField::HostName, "pn", InfoKey::HostName},
    {ReportField::AdapterName, "nc", InfoKey::AdapterName},
    {ReportField::Times, "ei", InfoKey::Times},
    {ReportField::Token, "tk", nullptr},
};

constexpr bool ReportFieldsInOrder()
{
    for (std::size_t i = 0; i < kReportFieldCount; ++i)
        if (static_cast<std::size_t>(kReportFields[i].field) != i)
            return false;
    return true;
}
static_assert(ReportFieldsInOrder(), "kReportFields lists every field once, in ReportField order");

// Where the program posts the report and the server takes it.
constexpr const char kReportPath[] = "/vorn/a20140220checkmachine/postInfo.php";

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

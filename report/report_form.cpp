#include "report/report_form.hpp"

#include "eval/level.hpp"
#include "common/md5.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

namespace {

constexpr const char kSaltA[] = "R!%&58T^wnq27d";
constexpr const char kSaltB[] = "#*!^%KTRB941";
constexpr const char kSaltC[] = "r5.2071815m#";

struct FormField {
    const char* name;
    const char* key; // nullptr: the level code
};

// In body order; the token "tk" follows them.
constexpr FormField kFormFields[] = {{"u", InfoKey::Zeq},
                                     {"mc", InfoKey::Mac},
                                     {"cpu", InfoKey::CPU},
                                     {"mm", InfoKey::RAM},
                                     {"dm", InfoKey::GPU},
                                     {"cc", InfoKey::CoreCount},
                                     {"lcc", InfoKey::LogicCoreCount},
                                     {"lvm", InfoKey::LocalVideoMem},
                                     {"tvm", InfoKey::TotalVideoMem},
                                     {"os", InfoKey::OS},
                                     {"rs", InfoKey::Resolution},
                                     {"dx", InfoKey::DirectX},
                                     {"vc", InfoKey::MSVC},
                                     {"dd", InfoKey::GPUDriver},
                                     {"hl", nullptr},
                                     {"s", InfoKey::Gain},
                                     {"pn", InfoKey::HostName},
                                     {"nc", InfoKey::AdapterName},
                                     {"ei", InfoKey::Times}};

// An absent key reads as empty text; unlike index access this leaves the record as it is.
std::string Value(const char* key)
{
    const InfoRecord& info = MachineInfo();
    const auto found = info.find(key);
    return found == info.end() ? std::string() : found->second;
}

std::string LevelCode()
{
    const auto& levels = ReportedLevelMap();
    const auto found = levels.find(Value(InfoKey::Level));
    return found == levels.end() ? std::string() : found->second;
}

bool IsUnreserved(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

} // namespace

std::string UrlEncodeValue(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string ComputeReportToken(const std::string& levelCode)
{
    return Md5Hex(Value(InfoKey::Zeq) + kSaltA + Value(InfoKey::Mac) + Value(InfoKey::CPU) +
                  Value(InfoKey::RAM) + Value(InfoKey::GPU) + kSaltB + levelCode +
                  Value(InfoKey::Gain) + kSaltC);
}

std::string BuildReportForm()
{
    // One lookup serves both the "hl" field and the token.
    const std::string level = LevelCode();
    std::string form;
    for (const FormField& field : kFormFields) {
        if (!form.empty())
            form += '&';
        form += field.name;
        form += '=';
        form += UrlEncodeValue(field.key ? Value(field.key) : level);
    }
    form += "&tk=";
    form += UrlEncodeValue(ComputeReportToken(level));
    return form;
}

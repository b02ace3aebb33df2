#include "report/report_form.hpp"

#include "eval/level.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

namespace {

// Record keys in body order; the level code and the token are not read from the record.
constexpr const char* kRecordKeys[kReportFieldCount] = {InfoKey::Zeq,
                                                        InfoKey::Mac,
                                                        InfoKey::CPU,
                                                        InfoKey::RAM,
                                                        InfoKey::GPU,
                                                        InfoKey::CoreCount,
                                                        InfoKey::LogicCoreCount,
                                                        InfoKey::LocalVideoMem,
                                                        InfoKey::TotalVideoMem,
                                                        InfoKey::OS,
                                                        InfoKey::Resolution,
                                                        InfoKey::DirectX,
                                                        InfoKey::MSVC,
                                                        InfoKey::GPUDriver,
                                                        nullptr,
                                                        InfoKey::Gain,
                                                        InfoKey::HostName,
                                                        InfoKey::AdapterName,
                                                        InfoKey::Times,
                                                        nullptr};

// An absent key reads as empty text; unlike index access this leaves the record as it is.
std::string Value(const char* key)
{
    const InfoRecord& info = MachineInfo();
    const auto found = info.find(key);
    return found == info.end() ? std::string() : found->second;
}

ReportValues RecordValues(const std::string& levelCode)
{
    ReportValues values;
    for (std::size_t i = 0; i < kReportFieldCount; ++i) {
        if (kRecordKeys[i])
            values[i] = Value(kRecordKeys[i]);
    }
    values[static_cast<std::size_t>(ReportField::LevelCode)] = levelCode;
    return values;
}

std::string LevelCode()
{
    const auto& levels = ReportedLevelMap();
    const auto found = levels.find(Value(InfoKey::Level));
    return found == levels.end() ? std::string() : found->second;
}

} // namespace

std::string ComputeReportToken(const std::string& levelCode)
{
    return ComputeReportToken(RecordValues(levelCode));
}

std::string BuildReportForm()
{
    // One lookup serves both the "hl" field and the token.
    ReportValues values = RecordValues(LevelCode());
    values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
    return EncodeReportForm(values);
}

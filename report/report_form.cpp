#include "report/report_form.hpp"

#include "eval/level.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

namespace {

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
        if (kReportFields[i].recordKey)
            values[i] = Value(kReportFields[i].recordKey);
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

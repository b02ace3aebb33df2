#include "report/report_token.hpp"

#include "common/md5.hpp"

namespace {

constexpr const char kSaltA[] = "R!%&58T^wnq27d";
constexpr const char kSaltB[] = "#*!^%KTRB941";
constexpr const char kSaltC[] = "r5.2071815m#";

} // namespace

std::string ComputeReportToken(const ReportValues& values)
{
    using F = ReportField;
    return Md5Hex(At(values, F::Account) + kSaltA + At(values, F::Mac) + At(values, F::Cpu) +
                  At(values, F::Ram) + At(values, F::Gpu) + kSaltB + At(values, F::LevelCode) +
                  At(values, F::Gain) + kSaltC);
}

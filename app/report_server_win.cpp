// The report server is a constant of the program: VXM_REPORT_HOST and VXM_REPORT_PORT are given
// to this file alone, per program target.
#include "report/post_report.hpp"

std::string PostReport()
{
    return PostReport(VXM_REPORT_HOST, VXM_REPORT_PORT, ReportLimits{});
}

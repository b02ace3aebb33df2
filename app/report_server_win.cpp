// The report server is a constant of the program: VXM_REPORT_HOST, VXM_REPORT_PORT and, for an
// https program, VXM_REPORT_HTTPS with the CA's PEM text and the key pins (report_trust.inc,
// generated per program) are given to this file alone, per program target.
#include "report/post_report.hpp"
#include "report/post_report_https.hpp"

#include "report_trust.inc"

std::string PostReport()
{
#ifdef VXM_REPORT_HTTPS
    return PostReportHttps(
        {VXM_REPORT_HOST, VXM_REPORT_PORT, {kReportCaPem, ParsePins(kReportPins)}}, ReportLimits{});
#else
    return PostReport(VXM_REPORT_HOST, VXM_REPORT_PORT, ReportLimits{});
#endif
}

ReportDestination BuiltInReportDestination()
{
#ifdef VXM_REPORT_HTTPS
    return {VXM_REPORT_HOST, true};
#else
    return {VXM_REPORT_HOST, false};
#endif
}

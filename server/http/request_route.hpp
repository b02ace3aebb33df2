#pragma once
// Which handler a request goes to, from its method and target. The program sends an absolute
// URL ("http://host/path"); browsers send the path alone.
#include "report/report_fields.hpp"
#include "server/views/csv_export.hpp"

#include <optional>
#include <string>
#include <string_view>

enum class Route {
    Report,     // POST of a report
    Page,       // GET of the survey page
    Export,     // GET of the CSV export
    Unknown,    // GET of the devices the score tables do not rate, as CSV
    WrongKeys,  // GET of the addresses that sent wrong operator keys this hour, as CSV
    Health,     // GET of the health check (for load balancers)
    Metrics,    // GET of the metrics (Prometheus text)
    NotAllowed, // a known path with another method: 405
    NotFound,   // 404
    BadTarget,  // neither a path nor an http or https URL: 400
};

Route RouteOf(std::string_view method, std::string_view target);

// The target's path without scheme, authority and query: "/" for "http://host" and for
// "HTTPS://host?q"; nullopt for a target that is neither a path nor an http or https URL.
std::optional<std::string_view> TargetPath(std::string_view target);

// The decoded value of `name` in the target's query ("name=" gives empty text); nullopt when the
// query has no such name.
std::optional<std::string> QueryValue(std::string_view target, std::string_view name);

// The export's options in a request target's query ("raw=1", "after=<id>"); nullopt when one is
// given with a value that is not understood.
std::optional<ExportOptions> ExportOptionsOf(std::string_view target);

// The "Allow" header value for a path that has a handler.
const char* AllowedMethods(std::string_view target);

constexpr const char kExportPath[] = "/export.csv";
constexpr const char kUnknownPath[] = "/unknown.csv";
constexpr const char kWrongKeysPath[] = "/wrong-keys.csv";
constexpr const char kHealthPath[] = "/healthz";
constexpr const char kMetricsPath[] = "/metrics";

// Whether the path is one of those read with GET.
bool IsReadPath(std::string_view path);

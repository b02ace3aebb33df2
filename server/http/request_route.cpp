#include "server/http/request_route.hpp"

#include "common/decimal.hpp"
#include "report/report_fields.hpp"

namespace {

std::string_view Query(std::string_view target)
{
    const auto mark = target.find('?');
    return mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
}

} // namespace

std::string_view TargetPath(std::string_view target)
{
    if (target.rfind("http://", 0) == 0) {
        const auto slash = target.find('/', 7);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    return target.substr(0, target.find('?'));
}

std::optional<std::string> QueryValue(std::string_view target, std::string_view name)
{
    std::string_view query = Query(target);
    while (!query.empty()) {
        const auto end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 &&
            pair[name.size()] == '=')
            return UrlDecodeValue(pair.substr(name.size() + 1)).value_or(std::string());
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return std::nullopt;
}

const char* AllowedMethods(std::string_view target)
{
    return TargetPath(target) == kReportPath ? "POST" : "GET, HEAD";
}

namespace {

struct ReadRoute {
    std::string_view path;
    Route route;
};
constexpr ReadRoute kReadRoutes[] = {{"/", Route::Page},
                                     {kExportPath, Route::Export},
                                     {kUnknownPath, Route::Unknown},
                                     {kWrongKeysPath, Route::WrongKeys},
                                     {kHealthPath, Route::Health},
                                     {kMetricsPath, Route::Metrics}};

} // namespace

bool IsReadPath(std::string_view path)
{
    for (const ReadRoute& known : kReadRoutes) {
        if (path == known.path)
            return true;
    }
    return false;
}

Route RouteOf(std::string_view method, std::string_view target)
{
    const std::string_view path = TargetPath(target);
    if (path == kReportPath)
        return method == "POST" ? Route::Report : Route::NotAllowed;
    for (const ReadRoute& known : kReadRoutes) {
        if (path == known.path)
            return method == "GET" || method == "HEAD" ? known.route : Route::NotAllowed;
    }
    return Route::NotFound;
}

std::optional<ExportOptions> ExportOptionsOf(std::string_view target)
{
    ExportOptions options;
    // A name given without a value ("after=") is as wrong as a value not understood.
    const auto raw = QueryValue(target, "raw");
    if (raw && raw != "0" && raw != "1")
        return std::nullopt;
    options.raw = raw == "1";
    if (const auto after = QueryValue(target, "after")) {
        const auto id = ParseDecimal<std::int64_t>(*after);
        if (!id || *id < 0)
            return std::nullopt;
        options.afterId = *id;
    }
    return options;
}

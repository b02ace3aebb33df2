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

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string_view> TargetPath(std::string_view target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(0, target.find('?'));
    // The absolute form: the authority ends at the path, the query or the target's end.
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!StartsWithNoCase(target, scheme))
            continue;
        target.remove_prefix(scheme.size());
        const auto end = target.find_first_of("/?");
        if (end == std::string_view::npos || target[end] == '?')
            return std::string_view("/");
        target.remove_prefix(end);
        return target.substr(0, target.find('?'));
    }
    return std::nullopt;
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
    return TargetPath(target) == std::string_view(kReportPath) ? "POST" : "GET, HEAD";
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
    const auto found = TargetPath(target);
    if (!found)
        return Route::BadTarget;
    const std::string_view path = *found;
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

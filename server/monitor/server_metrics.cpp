#include "server/monitor/server_metrics.hpp"

#include "server/intake/score_tables.hpp"
#include "server/monitor/build_version.hpp"
#include "server/monitor/process_figures.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr Decision kDecisions[] = {Decision::Recorded, Decision::Repeated, Decision::TokenMismatch,
                                   Decision::Malformed};

std::size_t IndexOf(Decision decision)
{
    return static_cast<std::size_t>(-static_cast<int>(decision));
}

std::string Seconds(std::uint64_t micros)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%06llu",
                  static_cast<unsigned long long>(micros / 1000000),
                  static_cast<unsigned long long>(micros % 1000000));
    return text;
}

constexpr const char* kRouteLabels[kMeteredRoutes] = {"report",     "page",   "export",  "unknown",
                                                      "wrong_keys", "health", "metrics", "other"};

template <std::size_t Bounds>
void AddDuration(DurationHistogram<Bounds>& histogram, const std::int64_t (&bounds)[Bounds],
                 std::chrono::microseconds took)
{
    const auto bucket =
        std::lower_bound(std::begin(bounds), std::end(bounds), took.count()) - std::begin(bounds);
    histogram.counts[bucket].fetch_add(1, std::memory_order_relaxed);
    histogram.micros.fetch_add(static_cast<std::uint64_t>(std::max<std::int64_t>(took.count(), 0)),
                               std::memory_order_relaxed);
}

// A histogram's buckets, sum and count; `labels` go before "le" in each bucket ("" or
// "route=\"page\",").
template <std::size_t Bounds>
void AppendHistogram(std::string& text, const std::string& name, const std::string& labels,
                     const DurationHistogram<Bounds>& histogram,
                     const std::int64_t (&bounds)[Bounds])
{
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i <= Bounds; ++i) {
        cumulative += histogram.counts[i].load();
        const std::string bound = i < Bounds ? Seconds(bounds[i]) : "+Inf";
        text += name + "_bucket{" + labels + "le=\"" + bound + "\"} " + std::to_string(cumulative) +
                "\n";
    }
    const std::string own = labels.empty() ? "" : "{" + labels.substr(0, labels.size() - 1) + "}";
    text += name + "_sum" + own + " " + Seconds(histogram.micros.load()) + "\n";
    text += name + "_count" + own + " " + std::to_string(cumulative) + "\n";
}

void Head(std::string& text, const char* name, const char* type, const char* help)
{
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void AppendWrongKeys(std::string& text, const ServerMetrics& metrics, std::size_t waiting)
{
    Head(text, "vxm_export_wrong_keys_total", "counter",
         "Wrong operator keys for the export: answered after their wait, or at once when too "
         "many waited.");
    text += "vxm_export_wrong_keys_total{answer=\"waited\"} " +
            std::to_string(metrics.wrongKeysWaited.load()) + "\n";
    text += "vxm_export_wrong_keys_total{answer=\"at_once\"} " +
            std::to_string(metrics.wrongKeysAtOnce.load()) + "\n";
    Head(text, "vxm_export_wrong_keys_waiting", "gauge", "Wrong keys waiting for their answer.");
    text += "vxm_export_wrong_keys_waiting " + std::to_string(waiting) + "\n";
    const AddressCounts::Reading reading = metrics.wrongKeysByAddress.Read(10);
    Head(text, "vxm_export_wrong_key_addresses", "gauge",
         "Addresses that sent a wrong key this hour (counted up to 10000).");
    text += "vxm_export_wrong_key_addresses " + std::to_string(reading.addresses) + "\n";
}

// A figure as the text format writes it: integers in full, fractions to 15 digits.
std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// The process's figures under the names Prometheus' client libraries give them, so dashboards
// and alerts made for those read them as they are.
void AppendProcessFigures(std::string& text, const ProcessFigures& figures)
{
    const struct {
        const char* name;
        const char* type;
        const char* help;
        const std::optional<double>& value;
    } rows[] = {
        {"process_cpu_seconds_total", "counter",
         "CPU time of the process, user and system, in seconds.", figures.cpuSeconds},
        {"process_resident_memory_bytes", "gauge", "Memory the process holds in RAM, in bytes.",
         figures.residentBytes},
        {"process_virtual_memory_bytes", "gauge", "Address space the process has mapped, in bytes.",
         figures.virtualBytes},
        {"process_open_fds", "gauge", "File descriptors the process has open.", figures.openFds},
        {"process_max_fds", "gauge", "File descriptors the process may open.", figures.maxFds},
        {"process_start_time_seconds", "gauge",
         "When the process started, in seconds since 1970 (UTC).", figures.startTime},
    };
    for (const auto& row : rows) {
        if (!row.value)
            continue;
        Head(text, row.name, row.type, row.help);
        text += std::string(row.name) + " " + Figure(*row.value) + "\n";
    }
}

// A label's value as the text format has it: backslash, quote and line feed escaped.
std::string LabelValue(const std::string& text)
{
    std::string value;
    for (const char c : text)
        value += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    return value;
}

// The tables that rate reports, and how many stored reports they leave unrated.
void AppendScoreTables(std::string& text, const ServerMetrics& metrics)
{
    const std::shared_ptr<const ServerTables> tables = CurrentServerTables();
    Head(text, "vxm_score_table_entries", "gauge", "Entries of each score table in use.");
    text += "vxm_score_table_entries{table=\"cpu\"} " + std::to_string(tables->cpu.entries.size()) +
            "\n";
    text += "vxm_score_table_entries{table=\"gpu\"} " + std::to_string(tables->gpu.entries.size()) +
            "\n";
    Head(text, "vxm_score_tables_info", "gauge",
         "The score tables in use: their digest and where they were read, always 1.");
    text += "vxm_score_tables_info{digest=\"" + tables->digest + "\",source=\"" +
            LabelValue(tables->source) + "\"} 1\n";
    Head(text, "vxm_score_tables_loaded_seconds", "gauge",
         "When the score tables in use were loaded, in seconds since 1970.");
    text += "vxm_score_tables_loaded_seconds " + std::to_string(tables->loadedAt) + "\n";
    Head(text, "vxm_score_table_reload_failures_total", "counter",
         "Reloads of the score tables that were refused (the tables in use were kept).");
    text += "vxm_score_table_reload_failures_total " +
            std::to_string(metrics.tableReloadFailures.load()) + "\n";
    const std::int64_t unrated[] = {metrics.unratedProcessors.load(),
                                    metrics.unratedAdapters.load()};
    if (unrated[0] < 0)
        return;
    Head(text, "vxm_reports_unrated", "gauge",
         "Stored reports whose processor or adapter the score tables in use do not hold.");
    text += "vxm_reports_unrated{device=\"cpu\"} " + std::to_string(unrated[0]) + "\n";
    text += "vxm_reports_unrated{device=\"gpu\"} " + std::to_string(unrated[1]) + "\n";
}

} // namespace

void CountDecision(ServerMetrics& metrics, Decision decision)
{
    metrics.decisions[IndexOf(decision)].fetch_add(1, std::memory_order_relaxed);
}

void CountReply(ServerMetrics& metrics, MeteredRoute route, unsigned status,
                std::chrono::microseconds took)
{
    if (status < std::size(metrics.responses))
        metrics.responses[status].fetch_add(1, std::memory_order_relaxed);
    AddDuration(metrics.requests[static_cast<std::size_t>(route)], kRequestBucketMicros, took);
}

void CountCommit(ServerMetrics& metrics, std::chrono::microseconds took)
{
    AddDuration(metrics.commits, kCommitBucketMicros, took);
}

void CountWrongKey(ServerMetrics& metrics, const std::string& address, bool waited)
{
    (waited ? metrics.wrongKeysWaited : metrics.wrongKeysAtOnce)
        .fetch_add(1, std::memory_order_relaxed);
    metrics.wrongKeysByAddress.Add(address, AddressCounts::Clock::now());
}

std::string MetricsText(const ServerMetrics& metrics, std::size_t openConnections,
                        std::size_t wrongKeysWaiting)
{
    std::string text;
    Head(text, "vxm_reports_total", "counter", "Posted reports by the server's decision.");
    for (const Decision decision : kDecisions)
        text += "vxm_reports_total{decision=\"" + std::string(DecisionName(decision)) + "\"} " +
                std::to_string(metrics.decisions[IndexOf(decision)].load()) + "\n";
    Head(text, "vxm_http_responses_total", "counter", "HTTP responses by status code.");
    for (std::size_t code = 0; code < std::size(metrics.responses); ++code) {
        const auto count = metrics.responses[code].load();
        if (count > 0 || std::count(std::begin(kAnsweredCodes), std::end(kAnsweredCodes), code))
            text += "vxm_http_responses_total{code=\"" + std::to_string(code) + "\"} " +
                    std::to_string(count) + "\n";
    }
    Head(text, "vxm_http_request_duration_seconds", "histogram",
         "Time from a request's headers to its reply sent, by route.");
    for (std::size_t route = 0; route < kMeteredRoutes; ++route)
        AppendHistogram(text, "vxm_http_request_duration_seconds",
                        std::string("route=\"") + kRouteLabels[route] + "\",",
                        metrics.requests[route], kRequestBucketMicros);
    Head(text, "vxm_store_commit_seconds", "histogram",
         "Time of each transaction that stored a batch of reports.");
    AppendHistogram(text, "vxm_store_commit_seconds", "", metrics.commits, kCommitBucketMicros);
    Head(text, "vxm_store_failures_total", "counter",
         "Store transactions or reads that failed (each is logged with its reason).");
    text += "vxm_store_failures_total " + std::to_string(metrics.storeFailures.load()) + "\n";
    Head(text, "vxm_open_connections", "gauge", "Client connections open now.");
    text += "vxm_open_connections " + std::to_string(openConnections) + "\n";
    AppendWrongKeys(text, metrics, wrongKeysWaiting);
    AppendScoreTables(text, metrics);
    AppendProcessFigures(text, ReadProcessFigures());
    Head(text, "vxm_build_info", "gauge", "The server's version and store engine, always 1.");
    text += std::string("vxm_build_info{version=\"") + kServerVersion + "\",store=\"" +
            metrics.store + "\"} 1\n";
    return text;
}

std::string WrongKeysCsv(const ServerMetrics& metrics)
{
    std::string text = "address,wrong_keys\r\n";
    // Addresses as the server parsed them: digits, dots, colons and hex letters, nothing to quote.
    for (const auto& [address, count] : metrics.wrongKeysByAddress.Read(SIZE_MAX).most)
        text += address + "," + std::to_string(count) + "\r\n";
    return text;
}

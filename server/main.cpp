// vxm-report-server: takes the program's reports, stores them and shows the survey's page.
#include "report/report_fields.hpp"
#include "server/http/forwarded_client.hpp"
#include "server/http/http_server.hpp"
#include "server/http/open_file_limit.hpp"
#include "server/http/operator_key.hpp"
#include "server/intake/score_tables.hpp"
#include "server/server_settings.hpp"
#include "server/store/database_url.hpp"
#include "server/store/report_recorder.hpp"
#include "server/monitor/event_log.hpp"
#include "server/monitor/service_notify.hpp"

#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/program_options.hpp>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <functional>
#include <iostream>
#include <thread>

namespace po = boost::program_options;

namespace {

const std::string kUsage =
    std::string("Usage: vxm-report-server [options]\n"
                "Takes the reports the program posts to ") +
    kReportPath +
    ", stores\n"
    "them, and shows the survey at / . Prints \"listening on ADDRESS:PORT\" once it accepts\n"
    "connections; SIGINT or SIGTERM stop it after the queued reports are committed; SIGHUP\n"
    "reads the --score-tables folder again. SIGPIPE is ignored: a closed log pipe is said once\n"
    "on standard error and the server goes on.\n";

// The export's key from the key file or the environment; false (said on standard error) when it
// cannot be used.
bool ReadOperatorKey(bool onCommandLine, const std::string& file, std::string& key)
{
    if (onCommandLine) {
        LogFailure("start refused", "--operator-key",
                   "every local user sees the command line: use VXM_OPERATOR_KEY or "
                   "--operator-key-file");
        return false;
    }
    if (!file.empty()) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            LogFailure("start refused", file, "cannot read the key file");
            return false;
        }
        key = KeyFromFileText(text.str());
    } else if (const char* fromEnvironment = std::getenv("VXM_OPERATOR_KEY")) {
        key = fromEnvironment;
    }
    // No key: the export is refused to everyone.
    const std::string fault = key.empty() ? std::string() : OperatorKeyFault(key);
    if (!fault.empty())
        LogFailure("start refused", "operator key", fault);
    return fault.empty();
}

// Returns false when the program should end at once (help shown, or bad options).
bool ParseSettings(int argc, char** argv, Settings& settings, TrustedProxies& trustedProxies,
                   std::string& scoreTables, int& status)
{
    // The defaults offered are those of Settings.
    std::size_t requestMs = settings.server.requestDeadline.count(),
                headerMs = settings.server.headerDeadline.count();
    std::string keyFile, proxyList;
    po::options_description options("Options");
    options.add_options()("help,h", "show this text")(
        "address", po::value(&settings.server.address)->default_value(settings.server.address),
        "address to listen on")(
        "port", po::value(&settings.server.port)->default_value(settings.server.port),
        "TCP port; 0 lets the system choose (the line printed tells it)")(
        "database", po::value(&settings.database)->default_value(settings.database),
        "a data folder for the SQLite file reports.sqlite3 (created when missing), or a "
        "PostgreSQL URL (postgresql://user@host/db or postgresql:///db?host=/socket/dir)")(
        "data", po::value<std::string>(), "the same as --database")(
        "read-database", po::value(&settings.readDatabase),
        "a PostgreSQL URL the page, the unknown list and the export read from: a streaming "
        "standby of --database, or another connection string to it; reports, ranks and the "
        "health check stay on --database")(
        "transaction-pool", po::bool_switch(&settings.transactionPool),
        "a pool in transaction mode (PgBouncer's pool_mode = transaction) sits in front of "
        "PostgreSQL: statements are sent with their text each time instead of prepared once a "
        "connection, which costs PostgreSQL CPU")(
        "operator-key-file", po::value(&keyFile),
        "a file whose first line is the key for the CSV export (\"Authorization: Bearer KEY\"); "
        "default: the environment variable VXM_OPERATOR_KEY; at least 128 bits (for example 32 "
        "hex digits or 22 letters and digits); without one the export is refused")(
        "operator-key", po::value<std::string>(),
        "refused: a key on the command line is visible to every local user")(
        "writers", po::value(&settings.writers)->default_value(settings.writers),
        "store connections that write; one commits everything queued at once, more contend for "
        "the same tally rows (PostgreSQL; SQLite takes one writer at a time anyway)")(
        "threads", po::value(&settings.server.threads)->default_value(settings.server.threads),
        "network threads")(
        "max-connections",
        po::value(&settings.server.maxConnections)->default_value(settings.server.maxConnections),
        "open connections beyond this are refused with 503")(
        "max-per-address",
        po::value(&settings.server.maxPerAddress)->default_value(settings.server.maxPerAddress),
        "open connections from one client address beyond this are refused with 503")(
        "request-timeout-ms", po::value(&requestMs)->default_value(requestMs),
        "a request must arrive whole, and a reply be taken, within this time")(
        "header-timeout-ms", po::value(&headerMs)->default_value(headerMs),
        "a request's first byte and headers must arrive within this time")(
        "trusted-proxy", po::value(&proxyList),
        "ADDRESS[/BITS][,...]: proxies (IPv4 or IPv6) whose X-Forwarded-For names the client: "
        "its right-most address that is not such a proxy is the one stored, logged, counted "
        "against --max-per-address and slowed after a wrong key; from any other peer the "
        "header is ignored")(
        "score-tables", po::value(&scoreTables),
        "DIR: rate reports with DIR/cpu.txt and DIR/gpu.txt (the tables' own format: NAME:SCORE "
        "lines) instead of the built-in tables; SIGHUP reads them again, and keeps the tables in "
        "use when they are refused");
    po::variables_map values;
    try {
        po::store(po::parse_command_line(argc, argv, options), values);
        po::notify(values);
    } catch (const po::error& e) {
        LogFailure("start refused", "options", e.what());
        std::cerr << "\n" << kUsage << options;
        status = 2;
        return false;
    }
    if (values.count("help")) {
        std::cout << kUsage << options;
        status = 0;
        return false;
    }
    if (auto proxies = ParseTrustedProxies(proxyList)) {
        trustedProxies = std::move(*proxies);
    } else {
        LogFailure("start refused", "--trusted-proxy " + proxyList, "not a list of ADDRESS[/BITS]");
        status = 2;
        return false;
    }
    if (values.count("data"))
        settings.database = values["data"].as<std::string>();
    if (!settings.readDatabase.empty() &&
        !(IsPostgresUrl(settings.readDatabase) && IsPostgresUrl(settings.database))) {
        LogFailure("start refused", "--read-database " + UrlWithoutPassword(settings.readDatabase),
                   "a PostgreSQL URL (postgresql://...), read beside a PostgreSQL --database");
        status = 2;
        return false;
    }
    if (settings.transactionPool && !IsPostgresUrl(settings.database)) {
        LogFailure("start refused", "--transaction-pool", "a pool serves a PostgreSQL --database");
        status = 2;
        return false;
    }
    if (!ReadOperatorKey(values.count("operator-key") > 0, keyFile, settings.server.operatorKey)) {
        status = 2;
        return false;
    }
    settings.server.requestDeadline = std::chrono::milliseconds(requestMs);
    settings.server.requestLogFd = STDOUT_FILENO;
    settings.writers = std::max(1, settings.writers);
    settings.server.headerDeadline = std::chrono::milliseconds(headerMs);
    settings.server.threads = std::max(1, settings.server.threads);
    return true;
}

// Installs the tables of the folder and says so; false, with the reason logged under `refusal`,
// when they are refused.
bool UseTablesOf(const std::string& folder, const char* when, const char* refusal)
{
    try {
        const std::shared_ptr<const ServerTables> tables = ReadServerTables(folder);
        UseServerTables(tables);
        LogNotice("score tables", std::string(when) + " from " + folder,
                  "cpu.txt " + std::to_string(tables->cpu.entries.size()) + " entries, gpu.txt " +
                      std::to_string(tables->gpu.entries.size()) + " entries, digest " +
                      tables->digest);
        return true;
    } catch (const std::exception& e) {
        LogFailure(refusal, "--score-tables " + folder, e.what());
        return false;
    }
}

// A handler's exception that escaped its connection is logged, and the thread goes on serving.
void Serve(boost::asio::io_context& io)
{
    for (;;) {
        try {
            io.run();
            return;
        } catch (const std::exception& e) {
            LogFailure("unhandled fault", "network thread", e.what());
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // A log pipe whose reader is gone fails its writes instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    Settings settings;
    TrustedProxies trustedProxies;
    std::string scoreTables;
    int status = 0;
    if (!ParseSettings(argc, argv, settings, trustedProxies, scoreTables, status))
        return status;
    if (!scoreTables.empty() && !UseTablesOf(scoreTables, "loaded", "start refused"))
        return 2;
    try {
        // The recorder holds a store connection per writer and one per reading lane; with a read
        // database the page has a lane of its own and the export also holds one to the primary.
        EnsureOpenFileLimit(settings.server.maxConnections,
                            settings.writers + (settings.readDatabase.empty() ? 2 : 4));
        // Declared first so that it outlives the recorder, whose last replies post to it.
        boost::asio::io_context io(settings.server.threads);
        // First of all: a SIGHUP would otherwise end the process.
        boost::asio::signal_set hangup(io, SIGHUP);
        ServerMetrics metrics;
        metrics.store = IsPostgresUrl(settings.database) ? "postgresql" : "sqlite";
        ReportRecorder::OpenReader openReader;
        if (!settings.readDatabase.empty()) {
            LogNotice("read database", UrlWithoutPassword(settings.readDatabase),
                      "the page, the unknown list and the export read here");
            openReader = [&](ReportRecorder::Lane lane) {
                return OpenPostgresReader(settings.database, settings.readDatabase,
                                          settings.transactionPool,
                                          lane == ReportRecorder::Lane::Export);
            };
        }
        ReportRecorder recorder(
            [&] { return OpenReportStore(settings.database, settings.transactionPool); },
            settings.writers, settings.maxBatch, metrics, openReader);
        HttpServer server(io, settings.server, std::move(trustedProxies), recorder, metrics);
        boost::asio::signal_set signals(io, SIGINT, SIGTERM);
        // On a signal, stop accepting and give open connections up to two seconds to receive
        // their replies; the recorder then commits whatever is still queued.
        boost::asio::steady_timer drain(io);
        const std::function<void(int)> stopWhenIdle = [&](int checksLeft) {
            if (server.OpenConnections() == 0 || checksLeft == 0)
                return io.stop();
            drain.expires_after(std::chrono::milliseconds(50));
            drain.async_wait([&, checksLeft](const boost::system::error_code&) {
                stopWhenIdle(checksLeft - 1);
            });
        };
        signals.async_wait([&](const boost::system::error_code&, int) {
            NotifyService("STOPPING=1");
            server.Close();
            stopWhenIdle(40);
        });
        // The stored reports follow the new tables on the first writer (rating_upkeep.hpp).
        const std::function<void()> reloadOnHangup = [&] {
            hangup.async_wait([&](const boost::system::error_code& error, int) {
                if (error)
                    return;
                if (scoreTables.empty())
                    LogNotice("score tables", "SIGHUP", "no --score-tables folder to read");
                else if (!UseTablesOf(scoreTables, "reloaded",
                                      "score tables refused, those in use kept"))
                    ++metrics.tableReloadFailures;
                reloadOnHangup();
            });
        };
        reloadOnHangup();
        std::cout << "listening on " << settings.server.address << ":" << server.Port()
                  << std::endl;
        NotifyService("READY=1");
        std::vector<std::thread> threads;
        for (int i = 1; i < settings.server.threads; ++i)
            threads.emplace_back([&io] { Serve(io); });
        Serve(io);
        for (std::thread& thread : threads)
            thread.join();
    } catch (const std::exception& e) {
        LogFailure("start refused", "vxm-report-server", e.what());
        return 1;
    }
    return 0;
}

// Which connection each kind of read takes: with a read database the page and the export read
// there, the short reads (the health check) on the database; without one the page shares the
// short reads' connection.
#include "server/store/report_recorder.hpp"
#include "tests/server/server_fixture.hpp"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <mutex>

namespace {

using Lane = ReportRecorder::Lane;

struct Opened {
    std::mutex mutex;
    std::map<const ReportStore*, std::string> by; // "database" or the reader's lane
};

// The store a read of `lane` ran on.
const ReportStore* ReadOn(ReportRecorder& recorder, Lane lane)
{
    std::promise<const ReportStore*> seen;
    recorder.Submit([&](ReportStore& store) { seen.set_value(&store); }, lane);
    return seen.get_future().get();
}

TEST(RecorderLanes, EachReadTakesItsLanesConnection)
{
    struct Case {
        bool readDatabase;
        Lane lane;
        const char* openedAs;
    };
    const Case cases[] = {
        {false, Lane::Short, "database"}, {false, Lane::Export, "database"},
        {false, Lane::Page, "database"},  {true, Lane::Short, "database"},
        {true, Lane::Export, "export"},   {true, Lane::Page, "page"},
    };
    for (const Case& c : cases) {
        const std::string folder = FreshSqliteFolder();
        Opened opened;
        const auto note = [&](std::unique_ptr<ReportStore> store, const std::string& as) {
            std::lock_guard<std::mutex> lock(opened.mutex);
            opened.by[store.get()] = as;
            return store;
        };
        ReportRecorder::OpenReader openReader;
        if (c.readDatabase)
            openReader = [&](Lane lane) {
                return note(OpenReportStore(folder), lane == Lane::Export ? "export" : "page");
            };
        ServerMetrics metrics;
        ReportRecorder recorder([&] { return note(OpenReportStore(folder), "database"); }, 2, 8,
                                metrics, openReader);
        // Two writers, the short reads, the export and, with a read database, the page.
        EXPECT_EQ(opened.by.size(), c.readDatabase ? 5u : 4u);
        EXPECT_EQ(opened.by[ReadOn(recorder, c.lane)], c.openedAs)
            << "read database " << c.readDatabase << ", lane " << static_cast<int>(c.lane);
    }
}

TEST(RecorderLanes, WithoutReadDatabaseThePageSharesTheShortReadsConnection)
{
    const std::string folder = FreshSqliteFolder();
    ServerMetrics metrics;
    ReportRecorder recorder([&] { return OpenReportStore(folder); }, 1, 8, metrics);
    const ReportStore* page = ReadOn(recorder, Lane::Page);
    EXPECT_EQ(page, ReadOn(recorder, Lane::Short));
    EXPECT_NE(page, ReadOn(recorder, Lane::Export));
}

} // namespace

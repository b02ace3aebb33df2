// What forged variety cannot make expensive: the page's size and its reads, a flood of page
// requests, and the page while an export runs.
#include "server/views/page_cache.hpp"
#include "server/store/store_schema.hpp"
#include "server/views/survey_page.hpp"
#include "server/intake/text_encoding.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <future>

namespace {

using namespace std::chrono_literals;

TEST(CutUtf8, KeepsWholeCharactersUpToTheCount)
{
    const struct {
        std::string text;
        std::size_t characters;
        std::string expected;
    } cases[] = {
        {"", 3, ""},         {"abc", 3, "abc"},   {"abcd", 3, "abc…"}, {"张三李四", 2, "张三…"},
        {"a张b", 2, "a张…"}, {"张三", 2, "张三"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutUtf8(c.text, c.characters), c.expected) << c.text;
}

TEST(SurveyPage, LongNamesAreCutSoThePageStaysSmall)
{
    SurveyFigures figures;
    figures.reports = 12;
    for (int i = 0; i < 12; ++i) {
        figures.processors.push_back({std::to_string(i) + std::string(60 * 1024, 'c'), 1, 800});
        figures.adapters.push_back({std::to_string(i) + std::string(60 * 1024, 'g'), 1, 800});
    }
    const std::string page = RenderSurveyPage(figures, 1765000000);
    EXPECT_LT(page.size(), 64u * 1024);
    EXPECT_NE(page.find("0" + std::string(79, 'c') + "…"), std::string::npos);
}

TEST(PageCache, RendersOncePerLifetime)
{
    PageCache cache(100ms);
    int renders = 0;
    const auto render = [&] { return "page " + std::to_string(++renders); };
    EXPECT_EQ(cache.Get(render), "page 1");
    EXPECT_EQ(cache.Get(render), "page 1");
    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(cache.Get(render), "page 2");
    EXPECT_EQ(renders, 2);
}

// The top lists read their first rows through the index, not by sorting every label.
TEST(StoreSchema, TopListsReadThroughTheCountIndex)
{
    const std::string folder = FreshSqliteFolder();
    OpenReportStore(folder); // creates the tables and the index
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
    std::string plans;
    for (const std::string& query : SurveyQueries()) {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + query).c_str(), -1, &stmt, nullptr),
            SQLITE_OK);
        std::string plan;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)) + std::string(";");
        sqlite3_finalize(stmt);
        EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << query << "\n" << plan;
        plans += plan;
    }
    EXPECT_NE(plans.find("tallies_top"), std::string::npos) << plans;
    sqlite3_close(db);
    std::filesystem::remove_all(folder);
}

// A database from before the rank tallies: its allowed gains rank new reports, once migrated;
// forged gains stored back then are left out, so the rank reads one row per allowed gain.
TEST(StoreSchema, OlderGainTalliesBecomeTheRankOnce)
{
    const std::string folder = FreshSqliteFolder();
    OpenReportStore(folder);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "DELETE FROM tallies; INSERT INTO tallies VALUES "
                           "('gain', CAST('800' AS BLOB), 2, 2, 1600), "
                           "('gain', CAST('0' AS BLOB), 1, 1, 0), "
                           "('gain', CAST('123456789' AS BLOB), 5, 5, 617283945)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    for (int opening = 0; opening < 2; ++opening) {
        auto store = OpenReportStore(folder);
        StoredReport report;
        report.values = SampleValues(std::to_string(100000 + opening), "00-1A-2B-3C-4D-5E", "801");
        const auto outcomes = store->Record({report});
        ASSERT_TRUE(outcomes.at(0).recorded);
        EXPECT_EQ(outcomes[0].rank.below, 3) << "the 800s and the 0";
        EXPECT_EQ(outcomes[0].rank.total, 4 + opening) << "migrated once, not again";
    }
    std::filesystem::remove_all(folder);
}

// A database from before the named tallies counted systems and memory sizes by their texts:
// those become the named tallies once, the texts of one name added together, stored as names
// (escaped only on the page). The page reads the top names alone, however many texts there were.
TEST(StoreSchema, OlderTextTalliesBecomeNamedTalliesOnce)
{
    const std::string folder = FreshSqliteFolder();
    OpenReportStore(folder);
    std::string rows = "('os', CAST('Windows 6.1, SP 1.0' AS BLOB), 2, 2, 1600), "
                       "('os', CAST('Windows 6.1, SP 0.0' AS BLOB), 1, 1, 700), "
                       "('os', CAST('<b>' AS BLOB), 9, 0, 0), "
                       "('ram', CAST('8079.45 MB' AS BLOB), 3, 3, 1800), "
                       "('ram', CAST('8192.00 MB' AS BLOB), 2, 2, 1700), "
                       "('vram', CAST('bad' AS BLOB), 1, 0, 0)";
    for (int i = 0; i < 20; ++i)
        rows += ", ('os', CAST('Windows 9." + std::to_string(i) + ", SP 0.0' AS BLOB), 1, 1, 500)";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, ("DELETE FROM tallies; INSERT INTO tallies VALUES " + rows).c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // Reports recorded after each opening: Windows 7, 8 GB, video memory 4 GB, gain 801.
    const struct {
        std::vector<Tally> SurveyFigures::*list;
        const char* label;
        std::int64_t count, gained, gainSum; // from before
        bool recorded;
    } cases[] = {
        {&SurveyFigures::systems, "Windows 7", 3, 3, 2300, true},
        {&SurveyFigures::systems, "<b>", 9, 0, 0, false},
        {&SurveyFigures::memory, "8 GB", 5, 5, 3500, true},
        {&SurveyFigures::videoMemory, "bad", 1, 0, 0, false},
        {&SurveyFigures::videoMemory, "4 GB", 0, 0, 0, true},
    };
    for (int opening = 0; opening < 2; ++opening) {
        auto store = OpenReportStore(folder);
        StoredReport report;
        report.values = SampleValues(std::to_string(100000 + opening), "00-1A-2B-3C-4D-5E", "801");
        ASSERT_TRUE(store->Record({report}).at(0).recorded);
        const SurveyFigures figures = store->Summarize();
        const std::int64_t since = opening + 1;
        for (const auto& c : cases) {
            const auto& list = figures.*c.list;
            const auto found = std::find_if(list.begin(), list.end(), [&](const Tally& tally) {
                return tally.label == c.label;
            });
            ASSERT_NE(found, list.end()) << c.label;
            EXPECT_EQ(found->count, c.count + c.recorded * since) << c.label << " once, not again";
            const std::int64_t gained = c.gained + c.recorded * since;
            EXPECT_DOUBLE_EQ(found->averageGain,
                             gained ? double(c.gainSum + c.recorded * since * 801) / gained : 0)
                << c.label;
        }
        EXPECT_EQ(figures.systems.size(), 12u) << "the top of 22 names";
        EXPECT_NE(RenderSurveyPage(figures, 1765000000).find(">&lt;b&gt;<"), std::string::npos);
    }
    std::filesystem::remove_all(folder);
}

// A database from before these tallies gains them from its processor and adapter tallies when it
// opens, once.
TEST(UnknownDevices, ADatabaseFromBeforeIsFilledOnce)
{
    const std::string folder = FreshSqliteFolder();
    std::vector<StoredReport> reports(2); // the sample's adapter is rated
    for (std::size_t i = 0; i < reports.size(); ++i) {
        reports[i].values =
            SampleValues(std::to_string(100 + i), "MAC-" + std::to_string(i), "801");
        reports[i].values[static_cast<std::size_t>(ReportField::Cpu)] =
            "ZHAOXIN KaiXian KX-6640MA@2.2GHz";
    }
    reports[0].values[static_cast<std::size_t>(ReportField::Gpu)] = "MTT S80";
    OpenReportStore(folder)->Record(reports);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tallies WHERE dimension LIKE '%_unknown'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    for (int opening = 0; opening < 2; ++opening) {
        const SurveyFigures figures = OpenReportStore(folder)->Summarize();
        ASSERT_EQ(figures.unknownProcessors.size(), 1u);
        EXPECT_EQ(figures.unknownProcessors[0].count, 2) << "once, not again";
        EXPECT_DOUBLE_EQ(figures.unknownProcessors[0].averageGain, 801);
        ASSERT_EQ(figures.unknownAdapters.size(), 1u);
        EXPECT_EQ(figures.unknownAdapters[0].label, "MTT S80");
    }
    std::filesystem::remove_all(folder);
}

TEST(ReportRecorder, ThePageIsAnsweredWhileAnExportRuns)
{
    const std::string folder = FreshSqliteFolder();
    {
        RunningServer server(folder);
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        server.Recorder().Submit([released](ReportStore&) { released.wait(); },
                                 ReportRecorder::Lane::Export);
        const Received page = Exchange(server.Port(), "GET / HTTP/1.0\r\n\r\n", 5s);
        release.set_value();
        EXPECT_EQ(page.bytes.rfind("HTTP/1.0 200", 0), 0u);
    }
    std::filesystem::remove_all(folder);
}

} // namespace

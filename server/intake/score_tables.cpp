#include "server/intake/score_tables.hpp"

#include "common/md5.hpp"
#include "eval/level_rule.hpp"
#include "eval/score_lookup.hpp"

#include <charconv>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string_view>

// Generated from resources/ at build time (cmake/make_table_source.cmake).
extern const std::string_view kShippedCpuTable;
extern const std::string_view kShippedGpuTable;

namespace {

constexpr std::size_t kMaxTableBytes = 8 * 1024 * 1024;

template <std::size_t N>
void FillCheapest(const ScoreTable& table, const int (&thresholds)[N], std::string (&cheapest)[N])
{
    int lowest[N];
    for (std::size_t band = 0; band < N; ++band)
        lowest[band] = -1;
    for (const ScoreEntry& entry : table.entries)
        for (std::size_t band = 0; band < N; ++band)
            if (entry.score >= thresholds[band] &&
                (lowest[band] < 0 || entry.score < lowest[band])) {
                lowest[band] = entry.score;
                cheapest[band] = std::string(EntryName(table, entry));
            }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, in.gcount());
        if (text.size() > kMaxTableBytes)
            throw std::runtime_error(path + " is larger than 8 MiB");
    }
    if (in.bad())
        throw std::runtime_error("cannot read " + path);
    return text;
}

std::mutex gTablesMutex;
std::shared_ptr<const ServerTables> gTables;

} // namespace

std::optional<std::string> ScoreTableFault(const std::string& fileName, const std::string& text)
{
    if (text.empty())
        return fileName + " is empty";
    if (text.back() != '\n')
        return fileName + ": the last line has no line end";
    std::size_t lineNumber = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t colon = line.rfind(':');
        const std::string where = fileName + " line " + std::to_string(lineNumber) + ": ";
        if (colon == std::string_view::npos || colon == 0 || colon + 1 == line.size())
            return where + "not NAME:SCORE";
        int score = 0;
        const char* first = line.data() + colon + 1;
        const char* last = line.data() + line.size();
        const auto [stop, error] = std::from_chars(first, last, score);
        if (*first == '-' || *first == '+' || error != std::errc() || stop != last)
            return where + "the score is not a number of at most 9 digits";
    }
    return std::nullopt;
}

std::shared_ptr<const ServerTables>
MakeServerTables(const std::string& cpuText, const std::string& gpuText, const std::string& source)
{
    for (const auto& [name, text] :
         {std::pair("cpu.txt", &cpuText), std::pair("gpu.txt", &gpuText)})
        if (const auto fault = ScoreTableFault(name, *text))
            throw std::runtime_error(*fault);
    auto tables = std::make_shared<ServerTables>();
    tables->cpu = ParseScoreText(cpuText);
    tables->gpu = ParseScoreText(gpuText);
    FillCheapest(tables->cpu, kCpuThresholds, tables->cheapestCpu);
    FillCheapest(tables->gpu, kGpuThresholds, tables->cheapestGpu);
    tables->digest = Md5Hex(Md5Hex(cpuText) + Md5Hex(gpuText));
    tables->source = source;
    tables->loadedAt = std::time(nullptr);
    // The canonical indexes now, not in the first report that misses.
    FindScore(tables->cpu, "");
    FindScore(tables->gpu, "");
    return tables;
}

std::shared_ptr<const ServerTables> ReadServerTables(const std::string& folder)
{
    const std::string cpu = ReadFile(folder + "/cpu.txt");
    return MakeServerTables(cpu, ReadFile(folder + "/gpu.txt"), folder);
}

std::shared_ptr<const ServerTables> ShippedServerTables()
{
    static const std::shared_ptr<const ServerTables> shipped =
        MakeServerTables(std::string(kShippedCpuTable), std::string(kShippedGpuTable), "built-in");
    return shipped;
}

std::shared_ptr<const ServerTables> CurrentServerTables()
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    if (!gTables)
        gTables = ShippedServerTables();
    return gTables;
}

void UseServerTables(std::shared_ptr<const ServerTables> tables)
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    gTables = std::move(tables);
}

#include "server/intake/result_message.hpp"

#include "server/intake/machine_labels.hpp"
#include "server/intake/text_encoding.hpp"

#include <vector>

namespace {

constexpr const char kScale[] = "（1 级最好，共 5 级）";
// Said of a part the tables do not know: its name is on the operators' list of unknown devices.
constexpr const char kNotListedYet[] = "暂未收录，已告知管理员";

std::string Quoted(const std::string& utf8)
{
    return "“" + CutUtf8(utf8, kMessageNameCharacters) + "”";
}

// "a", "a和b", "a、b和c".
std::string Joined(const std::vector<std::string>& parts, const char* last)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? last : "、") + parts[i];
    return text;
}

std::string RankSentence(ReportRank rank)
{
    const std::int64_t others = rank.total - 1;
    if (others <= 0)
        return "是第一台参与检测的电脑。";
    return "超过了 " + std::to_string(rank.below * 100 / others) + "% 的已参与电脑。";
}

// The parts that decide the level, each with the smallest step up.
std::string DecidingSentence(const ReportValues& values, const LevelRating& level,
                             const ServerTables& tables, const PopularParts* popular)
{
    const unsigned deciding = DecidingClasses(level);
    const int target = level.levelIndex - 1;
    std::vector<std::string> parts, steps;
    if (deciding & kAdapterClass) {
        parts.push_back("显卡" + Quoted(Utf8FromGbk(At(values, ReportField::Gpu))));
        steps.push_back("显卡换成" + Quoted(Utf8FromGbk(AdapterStepUp(tables, popular, target))));
    }
    if (deciding & kProcessorClass) {
        parts.push_back("CPU" + Quoted(Utf8FromGbk(At(values, ReportField::Cpu))));
        steps.push_back("CPU 换成" + Quoted(Utf8FromGbk(ProcessorStepUp(tables, popular, target))));
    }
    if (deciding & kMemoryClass) {
        parts.push_back("内存（" + MemoryBand(At(values, ReportField::Ram)) + "）");
        steps.push_back("内存加到 " + MemoryStepUp(target));
    }
    return "决定等级的是" + Joined(parts, "和") + "：" + Joined(steps, "、") + "，可升到 " +
           std::to_string(level.level - 1) + " 级。";
}

// The parts the tables do not know, named unless the message named them already.
std::string UnknownParts(const ReportValues& values, unsigned classes, unsigned named = 0)
{
    const auto part = [&](unsigned device, const char* word, ReportField field) {
        return std::string(word) +
               (named & device ? std::string() : Quoted(Utf8FromGbk(At(values, field))));
    };
    std::vector<std::string> parts;
    if (classes & kAdapterClass)
        parts.push_back(part(kAdapterClass, "显卡", ReportField::Gpu));
    if (classes & kProcessorClass)
        parts.push_back(part(kProcessorClass, "CPU", ReportField::Cpu));
    return Joined(parts, "和");
}

} // namespace

std::string RecordedMessage(const ReportValues& values, const ReportRating& rating, ReportRank rank,
                            const ServerTables& tables, const PopularParts* popular)
{
    const LevelRating& level = rating.level;
    if (level.level == 0)
        return "您的电脑的" + UnknownParts(values, level.outDevices | rating.unknown) +
               kNotListedYet + "，收录后即可评级；本次未能评级。";
    std::string message = "您的电脑为 " + std::to_string(level.level) + " 级" + kScale + "。";
    if (level.level == 1)
        message += "已是最高一级。";
    else
        message += DecidingSentence(values, level, tables, popular);
    // A processor the tables do not know was scored by its core count.
    if (rating.unknown)
        message += UnknownParts(values, rating.unknown, DecidingClasses(level)) + kNotListedYet +
                   "，暂按核心数估分。";
    return message + RankSentence(rank);
}

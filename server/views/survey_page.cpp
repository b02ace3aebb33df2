#include "server/views/survey_page.hpp"

#include "server/views/csv_export.hpp"
#include "server/intake/text_encoding.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Longer names are cut: a forged name cannot make the page large.
constexpr std::size_t kMaxLabelCharacters = 80;

// The sections stand in two columns from 1060 px (the wide ones across both, with longer bars),
// in one below. Below 600 px (a phone) each row puts its name on a line of its own above its bar
// and numbers; the day chart gives way to its table, which a screen reader reads at every width.
// Visually hidden text keeps a name for what is only drawn.
constexpr const char kStyle[] = R"(
body{margin:0;background:#f4f6f9;color:#1f2937;font:15px/1.5 "Noto Sans CJK SC","WenQuanYi Micro Hei","Microsoft YaHei",sans-serif}
header{background:#0f3d5e;color:#fff;padding:22px 40px}
header h1{margin:0;font-size:24px;font-weight:600}
header p{margin:4px 0 0;color:#b8cfe0;font-size:13px}
main{max-width:1180px;margin:0 auto;padding:24px 40px 40px}
.cards{display:flex;gap:16px;margin-bottom:20px}
.card{flex:1;background:#fff;border-radius:8px;padding:16px 20px;box-shadow:0 1px 3px rgba(0,0,0,.08)}
.card b{display:block;font-size:30px;color:#0f3d5e}
.card span{color:#6b7280;font-size:13px}
.grid{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(480px,100%),1fr));gap:20px}
section{position:relative;background:#fff;border-radius:8px;padding:16px 20px;box-shadow:0 1px 3px rgba(0,0,0,.08);min-width:0}
section.wide{grid-column:1/-1}
h2{margin:0 0 10px;font-size:16px;color:#0f3d5e}
table{width:100%;border-collapse:collapse;table-layout:fixed}
td{padding:3px 6px;font-size:13px;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
col.bar{width:28%}
col.num{width:64px}
.num{text-align:right;font-variant-numeric:tabular-nums;color:#374151}
th{font-size:12px;color:#6b7280;font-weight:normal;text-align:right;padding:0 6px 4px}
th:first-child{text-align:left}
svg{display:block}
.empty{margin:0;color:#6b7280;font-size:13px}
h3{margin:12px 0 4px;font-size:14px;font-weight:600;color:#374151}
h2+h3{margin-top:0}
.note{margin:10px 0 0;color:#6b7280;font-size:12px}
svg text{font:10px sans-serif;fill:#6b7280}
.hidden,table.days{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}
@media (min-width:1060px){section.wide col.bar{width:34%}}
@media (max-width:600px){
header{padding:16px}
header h1{font-size:20px}
main{padding:12px 12px 24px}
.cards{flex-direction:column;gap:8px;margin-bottom:12px}
.card{display:flex;align-items:baseline;gap:10px;padding:8px 14px}
.card b{font-size:22px}
.grid{gap:12px}
section{padding:12px 14px}
table,thead,tbody{display:block}
table.days{position:static;width:auto;height:auto;overflow:visible;clip:auto}
tr{display:grid;grid-template-columns:1fr repeat(3,4.5em);align-items:center;padding-top:4px}
td:first-child{grid-column:1/-1;padding-bottom:0;white-space:normal;overflow-wrap:anywhere}
thead tr,table.days tr{padding-top:0}
th.bar{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);padding:0}
table.days tr{grid-template-columns:5.8em 1fr repeat(3,4.5em)}
table.days td:first-child{grid-column:auto;padding-bottom:3px}
table.days th.bar{position:static;width:auto;height:auto;clip:auto;padding:0 6px 4px}
svg.chart{display:none}
table.deciding tr{grid-template-columns:repeat(4,1fr)}
table.deciding th:first-child{grid-column:1/-1}
}
)";

std::string Number(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Levels as the server rates them: "1" to "5", "0" unrated.
std::string LevelName(const std::string& level)
{
    return level == "0" ? "未评级" : HtmlEscape(level) + " 级";
}

std::string DayName(const std::string& day)
{
    return UtcTimeText(std::atoll(day.c_str()) * 86400).substr(0, 10);
}

const char* LevelColour(const std::string& level)
{
    static const char* const kColours[] = {"#16a34a", "#0d9488", "#2563eb", "#d97706", "#dc2626"};
    const int index = std::atoi(level.c_str()) - 1;
    return index >= 0 && index < 5 ? kColours[index] : "#9ca3af";
}

// For each level from 2 on, the share of its machines whose adapter, processor or memory decides
// it (a machine may count under several).
std::string DecidingTable(const std::vector<Tally>& levels, const std::vector<Tally>& deciding)
{
    const auto countOf = [](const std::vector<Tally>& tallies, const std::string& label) {
        for (const Tally& tally : tallies)
            if (tally.label == label)
                return tally.count;
        return std::int64_t{0};
    };
    std::string rows;
    for (int level = 2; level <= 5; ++level) {
        const std::int64_t machines = countOf(levels, std::to_string(level));
        if (machines <= 0)
            continue;
        rows += "<tr><td>" + std::to_string(level) + " 级</td><td class=\"num\">" +
                std::to_string(machines) + "</td>";
        for (const char* part : {"gpu", "cpu", "ram"}) {
            const std::int64_t held = countOf(deciding, std::to_string(level) + ":" + part);
            rows += "<td class=\"num\">" + Number(100.0 * held / machines, 1) + "%</td>";
        }
        rows += "</tr>";
    }
    if (rows.empty())
        return "<p class=\"empty\">暂无数据</p>";
    return "<table class=\"deciding\"><colgroup><col><col class=\"num\"><col class=\"num\"><col "
           "class=\"num\"><col class=\"num\"></colgroup><thead><tr><th>等级</th><th "
           "class=\"num\">电脑</th><th "
           "class=\"num\">显卡</th><th class=\"num\">CPU</th><th "
           "class=\"num\">内存</th></tr></thead><tbody>" +
           rows +
           "</tbody></table><p class=\"note\">各级电脑中由该部件决定等级的比例（几个部件同为最弱时"
           "各计一次）；1 级已是最高一级，不列。</p>";
}

// What a bar table lists: its class and the heading of its name column.
struct TableKind {
    const char* className;
    const char* heading;
};
constexpr TableKind kNames{"names", "名称"};
// The day chart's numbers: read aloud instead of the drawing, and shown instead of it on a
// narrow screen.
constexpr TableKind kDays{"days", "日期"};

// One row per tally: name, a bar scaled to the largest count, count, share and average gain.
std::string BarTable(const std::vector<Tally>& tallies, std::int64_t reports,
                     std::string (*name)(const std::string&),
                     const char* (*colour)(const std::string&), TableKind kind = kNames)
{
    if (tallies.empty())
        return "<p class=\"empty\">暂无数据</p>";
    std::int64_t largest = 1;
    for (const Tally& tally : tallies)
        largest = std::max(largest, tally.count);
    std::string html = std::string("<table class=\"") + kind.className +
                       "\"><colgroup><col><col class=\"bar\"><col class=\"num\"><col "
                       "class=\"num\"><col class=\"num\"></colgroup><thead><tr><th>" +
                       kind.heading +
                       "</th><th class=\"bar\"><span class=\"hidden\">比例</span></th><th "
                       "class=\"num\">报告</th><th class=\"num\">占比</th><th "
                       "class=\"num\">平均得分</th></tr></thead><tbody>";
    for (const Tally& tally : tallies) {
        const std::string label = name(tally.label);
        const std::string count = std::to_string(tally.count);
        const std::string share =
            Number(reports ? 100.0 * static_cast<double>(tally.count) / reports : 0, 1);
        const double width = 100.0 * static_cast<double>(tally.count) / largest;
        html += "<tr><td title=\"" + label + "\">" + label + "</td>";
        // The bar's name says what it draws, for a screen reader.
        html += "<td><svg width=\"100%\" height=\"14\" role=\"img\" aria-label=\"" + label + ": " +
                count + ", " + share + " %\"><rect width=\"" + Number(std::max(width, 0.5), 1) +
                "%\" height=\"14\" rx=\"3\" fill=\"" + colour(tally.label) + "\"/></svg></td>";
        html += "<td class=\"num\">" + count + "</td><td class=\"num\">" + share + "%</td>";
        html += "<td class=\"num\">" + Number(std::round(tally.averageGain), 0) + "</td></tr>";
    }
    return html + "</tbody></table>";
}

// A name the page gave a stored text (UTF-8), cut to what a table row shows.
std::string NamedText(const std::string& utf8)
{
    return utf8.empty() ? std::string("（空）") : HtmlEscape(CutUtf8(utf8, kMaxLabelCharacters));
}

std::string StoredText(const std::string& gbk)
{
    return NamedText(Utf8FromGbk(gbk));
}

const char* Blue(const std::string&)
{
    return "#3b82f6";
}

const char* Grey(const std::string&)
{
    return "#94a3b8";
}

// A count over a column: from ten thousand on in 万 with one decimal ("7.4万"), so that
// neighbouring counts stay apart; the exact one is in the column's title and the table.
std::string ColumnCount(std::int64_t count)
{
    return count < 10000 ? std::to_string(count) : Number(count / 10000.0, 1) + "万";
}

// Reports per day as columns, oldest on the left, hidden from assistive technology: the table
// after it holds the same numbers. Nothing without days (the table says there are none).
std::string DayChart(std::vector<Tally> days)
{
    if (days.empty())
        return {};
    std::reverse(days.begin(), days.end());
    std::int64_t largest = 1;
    for (const Tally& day : days)
        largest = std::max(largest, day.count);
    const int width = 1060, height = 170, top = 16, bottom = 22;
    // Thirty days fill the width; fewer keep the same column width, from the left.
    const double slot = static_cast<double>(width) / 30;
    std::string svg = "<svg viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
                      "\" width=\"100%\" class=\"chart\" aria-hidden=\"true\">";
    for (std::size_t i = 0; i < days.size(); ++i) {
        const double barHeight =
            (height - top - bottom) * static_cast<double>(days[i].count) / largest;
        const double x = i * slot + slot * 0.15;
        svg += "<rect x=\"" + Number(x, 1) + "\" y=\"" + Number(height - bottom - barHeight, 1) +
               "\" width=\"" + Number(slot * 0.7, 1) + "\" height=\"" + Number(barHeight, 1) +
               "\" rx=\"2\" fill=\"#3b82f6\"><title>" + DayName(days[i].label) + ": " +
               std::to_string(days[i].count) + "</title></rect>";
        svg += "<text x=\"" + Number(x + slot * 0.35, 1) + "\" y=\"" +
               Number(height - bottom - barHeight - 3, 1) + "\" text-anchor=\"middle\">" +
               ColumnCount(days[i].count) + "</text>";
        svg += "<text x=\"" + Number(x + slot * 0.35, 1) + "\" y=\"" + std::to_string(height - 6) +
               "\" text-anchor=\"middle\">" + DayName(days[i].label).substr(5) + "</text>";
    }
    return svg + "</svg>";
}

// The lists shown as one bar table each, in the page's order between the parts that decide the
// levels and the days; a list the store adds is shown by a line here.
struct ListSection {
    SurveyList list;
    const char* title;
    std::string (*name)(const std::string&); // of a row's label
    bool wide;                               // across both columns
};
constexpr ListSection kListSections[] = {{SurveyList::Systems, "操作系统", NamedText, false},
                                         {SurveyList::Processors, "常见处理器", StoredText, true},
                                         {SurveyList::Adapters, "常见显卡", StoredText, true},
                                         {SurveyList::Memory, "内存容量", NamedText, false},
                                         {SurveyList::VideoMemory, "显存容量", NamedText, false},
                                         {SurveyList::Resolutions, "屏幕分辨率", StoredText, true}};

std::string Section(const char* title, const std::string& body, bool wide = false)
{
    return std::string("<section") + (wide ? " class=\"wide\"" : "") + "><h2>" + title + "</h2>" +
           body + "</section>";
}

std::string Card(const std::string& value, const char* caption)
{
    return "<div class=\"card\"><b>" + value + "</b><span>" + caption + "</span></div>";
}

} // namespace

std::string RenderSurveyPage(const SurveyFigures& figures, std::int64_t now)
{
    std::int64_t rated = 0;
    for (const Tally& level : figures[SurveyList::Levels])
        rated += level.label == "0" ? 0 : level.count;
    std::string html;
    html.reserve(32 * 1024);
    html += "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width\">"
            "<title>VxmCheck 硬件调查</title><style>";
    html += kStyle;
    html += "</style></head><body><header><h1>VxmCheck 硬件调查</h1><p>截至 " + UtcTimeText(now) +
            " UTC · 原始数据导出需操作员密钥（/export.csv）</p></header><main>";
    html += "<div class=\"cards\">" + Card(std::to_string(figures.reports), "份报告") +
            Card(std::to_string(figures.machines), "台不同的电脑（按 MAC 计）") +
            Card(std::to_string(rated), "份已评级") + "</div><div class=\"grid\">";
    // Rated levels first, best first; the unrated after them.
    std::vector<Tally> levels = figures[SurveyList::Levels];
    std::stable_partition(levels.begin(), levels.end(),
                          [](const Tally& level) { return level.label != "0"; });
    const std::string disagreeing =
        figures.disagreeing > 0
            ? "<p class=\"note\">其中 " + std::to_string(figures.disagreeing) +
                  " 份报告的等级代码与服务器的评级不符（程序的评分表较旧），按服务器的评级计。</p>"
            : std::string();
    html += Section("等级分布",
                    BarTable(levels, figures.reports, LevelName, LevelColour) + disagreeing);
    html += Section("决定等级的部件",
                    DecidingTable(figures[SurveyList::Levels], figures[SurveyList::Deciding]));
    for (const ListSection& section : kListSections)
        html += Section(section.title,
                        BarTable(figures[section.list], figures.reports, section.name, Blue),
                        section.wide);
    html += Section("每日报告（UTC，最近 30 天）",
                    DayChart(figures[SurveyList::Days]) +
                        BarTable(figures[SurveyList::Days], figures.reports, DayName, Blue, kDays),
                    true);
    // Names the score tables do not rate: what the next tables should add.
    html += Section(
        "评分表中没有的设备",
        "<h3>处理器</h3>" +
            BarTable(figures[SurveyList::UnknownProcessors], figures.reports, StoredText, Grey) +
            "<h3>显卡</h3>" +
            BarTable(figures[SurveyList::UnknownAdapters], figures.reports, StoredText, Grey) +
            "<p class=\"note\">完整列表需操作员密钥（/unknown.csv）</p>",
        true);
    html += "</div></main></body></html>\n";
    return html;
}

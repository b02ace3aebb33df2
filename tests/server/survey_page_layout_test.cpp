// The survey page as a browser lays it out at a phone's width and a desk's. Headless Chromium
// opens a saved copy with a measuring script appended (the page's own policy runs no script),
// inside a frame of the width measured (the browser's window is never narrower than 500 px).
#include "server/intake/text_encoding.hpp"
#include "server/views/survey_page.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// Writes "LAYOUT names=N", one line per fault found, and "END LAYOUT" into the frame's parent.
// What is not shown, or visually hidden (clipped, for screen readers), is not measured. A name
// needs room for six Chinese characters at least.
constexpr const char kMeasure[] = R"(<script>
(function () {
  var problems = [], names = 0;
  function box(e) { return e.getBoundingClientRect(); }
  function what(e) { return e.tagName.toLowerCase() + " '" + e.textContent.trim().slice(0, 40) + "'"; }
  function hidden(e) {
    for (; e; e = e.parentElement)
      if (getComputedStyle(e).position === "absolute" && getComputedStyle(e).clip !== "auto") return true;
    return false;
  }
  function cut(e) { return e.scrollWidth > e.clientWidth + 1; }
  if (document.documentElement.scrollWidth > innerWidth)
    problems.push("the page is " + document.documentElement.scrollWidth + " px wide");
  document.querySelectorAll(".card, section").forEach(function (card) {
    var outer = box(card);
    card.querySelectorAll("*").forEach(function (e) {
      var r = box(e);
      if (r.width + r.height > 0 && !hidden(e) && (r.left < outer.left - 0.5 || r.right > outer.right + 0.5))
        problems.push(what(e) + " reaches out of its card");
    });
  });
  document.querySelectorAll("table").forEach(function (table) {
    if (hidden(table)) return;
    var rights = [];
    table.querySelectorAll("tr").forEach(function (row) {
      Array.prototype.forEach.call(row.cells, function (cell, i) {
        if (hidden(cell)) return;
        if (i === 0 && cell.tagName === "TD") {
          ++names;
          if (box(cell).width < 80) problems.push("a name " + box(cell).width + " px wide: " + what(cell));
          if (cut(cell) && cell.title !== cell.textContent) problems.push("a name cut without its title: " + what(cell));
        }
        if (!cell.classList.contains("num")) return;
        if (cut(cell)) problems.push("a number cut: " + what(cell));
        if (rights[i] === undefined) rights[i] = box(cell).right;
        else if (Math.abs(rights[i] - box(cell).right) > 0.5) problems.push("a number out of line: " + what(cell));
      });
    });
  });
  document.querySelectorAll("th").forEach(function (th) {
    if (!th.textContent.trim()) problems.push("a header without a name");
  });
  document.querySelectorAll("svg").forEach(function (svg) {
    if (svg.getAttribute("aria-hidden") !== "true" && !(svg.getAttribute("role") === "img" && svg.getAttribute("aria-label")))
      problems.push("a drawing without a name");
  });
  var out = parent.document.createElement("pre");
  out.textContent = "LAYOUT names=" + names + "\n" + problems.join("\n") + "\nEND LAYOUT";
  parent.document.body.appendChild(out);
})();
</script>)";

struct Layout {
    int names = -1; // name cells measured; -1: the script did not report
    std::string problems;
};

Layout Measure(const std::string& page, int width)
{
    std::string folder = (std::filesystem::temp_directory_path() / "vxm-page-XXXXXX").string();
    EXPECT_NE(mkdtemp(folder.data()), nullptr);
    std::ofstream(folder + "/frame.html")
        << "<!DOCTYPE html><body style=\"margin:0\"><iframe style=\"border:0\" width=\"" << width
        << "\" height=\"1000\" srcdoc=\"" << HtmlEscape(page + kMeasure) << "\"></iframe>";
    const std::string command =
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--user-data-dir=" +
        folder + "/profile --window-size=" + std::to_string(std::max(width, 500)) +
        ",1000 --dump-dom file://" + folder + "/frame.html 2>/dev/null";
    std::string dom;
    if (FILE* out = popen(command.c_str(), "r")) {
        char block[4096];
        for (std::size_t n; (n = std::fread(block, 1, sizeof block, out)) > 0;)
            dom.append(block, n);
        pclose(out);
    }
    std::filesystem::remove_all(folder);
    Layout layout;
    // The last: the script's own text, in the frame's source, holds the same words.
    const auto start = dom.rfind("LAYOUT names="), end = dom.rfind("\nEND LAYOUT");
    if (start == std::string::npos || end == std::string::npos)
        return layout;
    layout.names = std::atoi(dom.c_str() + start + 13);
    const auto problems = dom.find('\n', start) + 1;
    layout.problems = dom.substr(problems, end > problems ? end - problems : 0);
    return layout;
}

SurveyFigures FullStore()
{
    SurveyFigures figures;
    figures.reports = 1234567;
    figures.machines = 1200345;
    figures[SurveyList::Levels] = {{"0", 34567, 0},    {"1", 400000, 801}, {"2", 100000, 760},
                                   {"3", 400000, 700}, {"4", 200000, 526}, {"5", 100000, 526}};
    figures[SurveyList::Deciding] = {{"2:gpu", 60000, 0},  {"2:cpu", 50000, 0},
                                     {"3:ram", 100000, 0}, {"3:gpu", 350000, 0},
                                     {"4:cpu", 200000, 0}, {"5:gpu", 100000, 0}};
    figures.disagreeing = 123456;
    figures[SurveyList::Systems] = {{"Windows 7", 734000, 690}, {"Windows 10 / 11", 300000, 720}};
    // A name longer than the page shows, one without blanks, one in Chinese (GBK, as stored).
    figures[SurveyList::Processors] = {
        {"Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz", 400000, 780},
        {std::string(200, 'x'), 2000, 600},
        {"\xd3\xa2\xcc\xd8\xb6\xfb \xb4\xa6\xc0\xed\xc6\xf7", 12, 600}};
    figures[SurveyList::Adapters] = {{"NVIDIA GeForce GTX 770", 500000, 780}};
    figures[SurveyList::Memory] = {{"8 GB", 600000, 700}, {"≥ 32 GB", 1000, 800}};
    figures[SurveyList::VideoMemory] = {{"2 GB", 600000, 700}};
    figures[SurveyList::Resolutions] = {{"1920x1080, 32bits", 800000, 700}};
    for (int day = 0; day < 30; ++day)
        figures[SurveyList::Days].push_back({std::to_string(20400 - day), 30000 + day * 1500, 690});
    return figures;
}

TEST(SurveyPageLayout, NamesHaveRoomAndNothingLeavesItsCardAtAPhonesAndADesksWidth)
{
    for (const bool full : {false, true}) {
        const std::string page = RenderSurveyPage(full ? FullStore() : SurveyFigures{}, 0);
        for (const int width : {390, 1280}) {
            const Layout layout = Measure(page, width);
            const std::string where =
                (full ? "full store, " : "empty store, ") + std::to_string(width) + " px";
            ASSERT_GE(layout.names, 0) << where << ": Chromium did not run the measuring script";
            EXPECT_EQ(layout.names > 0, full) << where;
            EXPECT_EQ(layout.problems, "") << where;
        }
    }
}

} // namespace

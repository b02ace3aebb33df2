// Rich-text markup: ParseMarkup never fails and gives non-empty runs whose neighbours differ in
// style; text without markup characters is one plain run; any text, escaped and wrapped in one
// <font> run, comes back as exactly that text in exactly that style.
#include "fuzz/fuzz_check.hpp"

#include "korfact/rich_markup.hpp"

using namespace KorFact;

namespace {

bool SameStyle(const TextStyle& a, const TextStyle& b)
{
    return a.hasColour == b.hasColour && a.colour == b.colour && a.bold == b.bold &&
           a.size == b.size;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string markup = FuzzText(data, size);
    const std::vector<TextRun> runs = ParseMarkup(markup);
    std::size_t shown = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        FuzzCheck(!runs[i].text.empty(), "runs hold text");
        FuzzCheck(i == 0 || !SameStyle(runs[i - 1].style, runs[i].style),
                  "neighbouring runs differ in style");
        FuzzCheck(runs[i].style.size >= 0 && runs[i].style.size <= 200, "sizes stay in range");
        shown += runs[i].text.size();
    }
    FuzzCheck(shown <= markup.size(), "markup never adds text");
    if (markup.find_first_of("<&") == std::string::npos)
        FuzzCheck(markup.empty() ? runs.empty()
                                 : runs.size() == 1 && runs[0].text == markup &&
                                       SameStyle(runs[0].style, TextStyle{}),
                  "plain text is one plain run", markup);

    const auto wrapped = ParseMarkup("<font color=\"#0A0B0C\" bold=\"1\" size=\"14\">" +
                                     Escaped(markup) + "</font>");
    const TextStyle style{true, 0x0C0B0A, true, 14};
    FuzzCheck(markup.empty() ? wrapped.empty()
                             : wrapped.size() == 1 && wrapped[0].text == markup &&
                                   SameStyle(wrapped[0].style, style),
              "escaped text in one run comes back whole", markup);
    return 0;
}

#include "korfact/rich_markup.hpp"

#include "common/decimal.hpp"
#include "korfact/colour.hpp"

#include <cctype>

namespace KorFact {
namespace {

bool SameStyle(const TextStyle& a, const TextStyle& b)
{
    return a.hasColour == b.hasColour && a.colour == b.colour && a.bold == b.bold &&
           a.size == b.size;
}

void Append(std::vector<TextRun>& runs, const std::string& text, const TextStyle& style)
{
    if (text.empty())
        return;
    if (!runs.empty() && SameStyle(runs.back().style, style))
        runs.back().text += text;
    else
        runs.push_back({text, style});
}

std::string DecodeEntities(const std::string& text)
{
    static const struct {
        const char* entity;
        char character;
    } kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& e : kEntities) {
                const std::string entity = e.entity;
                if (text.compare(i, entity.size(), entity) == 0) {
                    out += e.character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

void ApplyAttribute(TextStyle& style, const std::string& name, const std::string& value)
{
    const std::optional<int> number = ParseDecimal<int>(value);
    if (name == "color") {
        std::uint32_t colour;
        if (ParseColour(value, colour)) {
            style.hasColour = true;
            style.colour = colour;
        }
    } else if (name == "bold" && number) {
        style.bold = *number != 0;
    } else if (name == "size" && number && *number > 0 && *number <= 200) {
        style.size = *number;
    }
}

// Reads the attributes of a <font ...> tag body (after "font"); false when it is not one.
bool ReadFontTag(const std::string& body, TextStyle& style)
{
    std::size_t i = 0;
    const auto skipSpace = [&] {
        while (i < body.size() && std::isspace(static_cast<unsigned char>(body[i])))
            ++i;
    };
    while (true) {
        skipSpace();
        if (i == body.size())
            return true;
        const std::size_t nameStart = i;
        while (i < body.size() && std::isalpha(static_cast<unsigned char>(body[i])))
            ++i;
        const std::string name = body.substr(nameStart, i - nameStart);
        skipSpace();
        if (name.empty() || i == body.size() || body[i] != '=')
            return false;
        ++i;
        skipSpace();
        if (i == body.size() || (body[i] != '"' && body[i] != '\''))
            return false;
        const char quote = body[i++];
        const std::size_t close = body.find(quote, i);
        if (close == std::string::npos)
            return false;
        ApplyAttribute(style, name, DecodeEntities(body.substr(i, close - i)));
        i = close + 1;
    }
}

} // namespace

std::vector<TextRun> ParseMarkup(const std::string& markup)
{
    std::vector<TextRun> runs;
    std::vector<TextStyle> open{TextStyle{}};
    std::string pending;
    const auto flush = [&] {
        Append(runs, DecodeEntities(pending), open.back());
        pending.clear();
    };
    std::size_t i = 0;
    while (i < markup.size()) {
        const std::size_t lt = markup.find('<', i);
        if (lt == std::string::npos) {
            pending += markup.substr(i);
            break;
        }
        pending += markup.substr(i, lt - i);
        const std::size_t gt = markup.find('>', lt);
        if (gt == std::string::npos) { // no end: the rest is text
            pending += markup.substr(lt);
            break;
        }
        const std::string tag = markup.substr(lt + 1, gt - lt - 1);
        TextStyle style = open.back();
        if (tag == "/font") {
            flush();
            if (open.size() > 1)
                open.pop_back();
        } else if (tag.rfind("font", 0) == 0 &&
                   (tag.size() == 4 || std::isspace(static_cast<unsigned char>(tag[4]))) &&
                   ReadFontTag(tag.substr(4), style)) {
            flush();
            open.push_back(style);
        } else {
            pending += markup.substr(lt, gt - lt + 1);
        }
        i = gt + 1;
    }
    flush();
    return runs;
}

} // namespace KorFact

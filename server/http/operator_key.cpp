#include "server/http/operator_key.hpp"

#include <algorithm>
#include <cctype>

namespace {

bool Digit(char c)
{
    return c >= '0' && c <= '9';
}

bool HexDigit(char c)
{
    return Digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool LowerOrDigit(char c)
{
    return Digit(c) || (c >= 'a' && c <= 'z');
}

bool LetterOrDigit(char c)
{
    return LowerOrDigit(c) || (c >= 'A' && c <= 'Z');
}

bool TokenCharacter(char c)
{
    return LetterOrDigit(c) || std::string_view("-._~+/").find(c) != std::string_view::npos;
}

// The alphabets a key is counted over, smallest first, each with the shortest key over it that
// carries kMinOperatorKeyBits: ceil(128 / log2(alphabet size)).
const struct {
    const char* name;
    bool (*holds)(char);
    std::size_t minLength;
} kAlphabets[] = {
    {"decimal digits", Digit, 39},
    {"hex digits", HexDigit, 32},
    {"lower-case letters and digits", LowerOrDigit, 25},
    {"letters and digits", LetterOrDigit, 22},
    {"letters, digits and - . _ ~ + /", TokenCharacter, 22},
};

constexpr const char kRecipe[] =
    " (make one with: head -c 24 /dev/urandom | base64 | tr '+/' '-_')";

} // namespace

std::string OperatorKeyFault(std::string_view key)
{
    // Padding at the end, as base64 writes it, carries nothing.
    key = key.substr(0, key.find_last_not_of('=') + 1);
    for (const auto& alphabet : kAlphabets) {
        if (!std::all_of(key.begin(), key.end(), alphabet.holds))
            continue;
        if (key.size() >= alphabet.minLength)
            return {};
        return "the operator key must carry at least " + std::to_string(kMinOperatorKeyBits) +
               " bits: a key of " + alphabet.name + " needs " + std::to_string(alphabet.minLength) +
               " characters, this one has " + std::to_string(key.size()) + kRecipe;
    }
    return std::string("the operator key may hold only letters, digits and - . _ ~ + / (and = at "
                       "its end), as a Bearer token does") +
           kRecipe;
}

std::string BearerToken(std::string_view authorization)
{
    constexpr std::string_view kScheme = "bearer";
    if (authorization.size() <= kScheme.size() ||
        !std::equal(kScheme.begin(), kScheme.end(), authorization.begin(), [](char a, char b) {
            return a == std::tolower(static_cast<unsigned char>(b));
        }))
        return {};
    std::string_view rest = authorization.substr(kScheme.size());
    if (rest.front() != ' ')
        return {};
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    return std::string(rest.substr(0, rest.find_last_not_of(' ') + 1));
}

bool SameKey(const std::string& given, const std::string& key)
{
    if (key.empty() || given.size() != key.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ key[i]);
    return difference == 0;
}

std::string KeyFromFileText(const std::string& text)
{
    std::string key = text.substr(0, text.find('\n'));
    if (!key.empty() && key.back() == '\r')
        key.pop_back();
    return key;
}

#pragma once
// Configuration files in memory, read the way GetPrivateProfileStringA reads them; the library
// path tests and the Kordo.ini fuzz target look up values through it.
#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <string>

namespace fake_profiles {

inline std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

inline std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Files in memory, read the way GetPrivateProfileStringA reads them: names, sections and keys
// ignore case; ";" starts a comment line; a value loses its outer blanks, then one pair of
// matching outer quotes; the answer is cut to capacity - 1 characters.
class FakeProfiles {
  public:
    void Add(const std::string& path, const std::string& text) { mFiles[Lower(path)] = text; }

    std::string Read(const std::string& file, const char* section, const char* key,
                     const char* fallback, unsigned capacity)
    {
        ++reads[file];
        std::string value = fallback;
        auto found = mFiles.find(Lower(file));
        if (found != mFiles.end())
            Lookup(found->second, Lower(section), Lower(key), value);
        return value.substr(0, capacity - 1);
    }

    std::map<std::string, int> reads;

  private:
    static void Lookup(const std::string& text, const std::string& section, const std::string& key,
                       std::string& value)
    {
        std::istringstream lines(text);
        std::string line;
        std::string current;
        while (std::getline(lines, line)) {
            line = Trim(line);
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[') {
                current = Lower(Trim(line.substr(1, line.find(']') - 1)));
                continue;
            }
            const std::size_t equals = line.find('=');
            if (current != section || equals == std::string::npos ||
                Lower(Trim(line.substr(0, equals))) != key)
                continue;
            value = Trim(line.substr(equals + 1));
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                value.back() == value[0])
                value = value.substr(1, value.size() - 2);
            return;
        }
    }

    std::map<std::string, std::string> mFiles;
};

} // namespace fake_profiles

using fake_profiles::FakeProfiles;

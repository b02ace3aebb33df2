#pragma once
// Random probe-log lines near the used shape: right and wrong field counts, empty fields, blanks,
// CR, LF and other white space, NUL and high bytes, memory fields of every start, long tails.
#include <random>
#include <string>
#include <vector>

class ProbeLogGenerator {
  public:
    explicit ProbeLogGenerator(unsigned seed, std::vector<std::string> names = {})
        : mRandom(seed), mNames(std::move(names))
    {
    }

    // One line without its line end; withLineFeeds lets LF occur inside fields.
    std::string Line(bool withLineFeeds = true)
    {
        const int fieldCount = Pick(10) < 8 ? 6 + Pick(3) : Pick(10);
        std::string line;
        for (int i = 0; i < fieldCount; ++i) {
            if (i > 0)
                line += '\t';
            line += Field(i, withLineFeeds);
        }
        return line;
    }

  private:
    std::mt19937 mRandom;
    std::vector<std::string> mNames;

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }

    char Odd(bool withLineFeeds)
    {
        static const char bytes[] = {' ',    '\r',   '\v', '\f', '\0', '\x80', '\xA0',
                                     '\xFF', '\x85', '.',  ':',  '-',  '|',    '\n'};
        return bytes[Pick(withLineFeeds ? sizeof bytes : sizeof bytes - 1)];
    }

    std::string Plain(int length)
    {
        static const char letters[] = "abcXYZ0123456789.@()- ";
        std::string text;
        for (int i = 0; i < length; ++i)
            text += letters[Pick(sizeof letters - 2)]; // no blank: odd bytes come separately
        return text;
    }

    std::string Field(int index, bool withLineFeeds)
    {
        std::string field;
        const int shape = Pick(20);
        if (shape == 0)
            return field; // empty
        if (index == 4 && shape < 12) {
            static const char* memories[] = {"8192.00 MB", "2048", ".5",     "1.2.3", "5.",
                                             ".",          "12e3", "0.5 MB", "x12"};
            field = memories[Pick(9)];
        } else if ((index == 3 || index == 5) && shape < 10 && !mNames.empty()) {
            field = mNames[Pick(static_cast<int>(mNames.size()))];
        } else {
            field = Plain(1 + Pick(12));
        }
        // Now and then an odd byte at the front, inside or at the end.
        for (int n = Pick(6) == 0 ? 1 + Pick(2) : 0; n > 0; --n)
            field.insert(field.begin() + Pick(static_cast<int>(field.size()) + 1),
                         Odd(withLineFeeds));
        return field;
    }
};

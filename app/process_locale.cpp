#include "app/process_locale.hpp"

#include <clocale>

namespace {

constexpr unsigned long kSimplifiedChineseChina = 0x0804;

} // namespace

bool SetProcessLocale(unsigned long userLocale)
{
    // A code page alone takes the user's language and country: where those are simplified
    // Chinese and China, ".936" is the same locale, and the C runtime takes it without searching
    // the system's locales for a name (under Wine that search costs 1 to 8 ms).
    if (userLocale == kSimplifiedChineseChina && std::setlocale(LC_ALL, ".936"))
        return true;
    // Both names give the same locale. Newer C runtimes (and Wine's) know only the short one,
    // and refusing the long one costs them another search, so the short name goes first.
    return std::setlocale(LC_ALL, "Chinese_China.936") ||
           std::setlocale(LC_ALL, "Chinese_People's Republic of China.936");
}

#include "app/process_locale.hpp"

#include <clocale>

bool SetProcessLocale()
{
    // Both names give the same locale. Newer C runtimes (and Wine's) know only the short one,
    // and refusing the long one costs them a search of every locale the system has (up to a
    // few milliseconds, a third of a single evaluation), so the short name goes first.
    return std::setlocale(LC_ALL, "Chinese_China.936") ||
           std::setlocale(LC_ALL, "Chinese_People's Republic of China.936");
}

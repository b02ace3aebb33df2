#include "server/store/database_url.hpp"

#include <algorithm>

std::string UrlWithoutPassword(const std::string& url)
{
    std::string shown = url;
    const std::size_t scheme = shown.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t authorityEnd = std::min(shown.find_first_of("/?", start), shown.size());
        // The last '@' of the authority ends the user's part (a password may hold an '@').
        const std::size_t at = shown.rfind('@', authorityEnd - 1);
        const std::size_t colon =
            at == std::string::npos || at < start ? std::string::npos : shown.find(':', start);
        if (colon != std::string::npos && colon < at)
            shown.replace(colon + 1, at - colon - 1, "***");
    }
    // Parameters of the query: "?password=..." or "&password=...", up to the next '&'.
    const std::size_t query = shown.find('?');
    for (std::size_t at = query; at != std::string::npos && at < shown.size();
         at = shown.find('&', at + 1)) {
        const std::size_t value = at + 1 + std::string("password=").size();
        if (shown.compare(at + 1, value - at - 1, "password=") != 0)
            continue;
        const std::size_t end = std::min(shown.find('&', value), shown.size());
        shown.replace(value, end - value, "***");
    }
    return shown;
}

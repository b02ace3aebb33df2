#include "server/http/http_date.hpp"

std::string_view HttpDateOf(std::time_t when, char (&text)[32])
{
    std::tm parts{};
    gmtime_r(&when, &parts);
    return {text, std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts)};
}

std::string_view HttpDate()
{
    thread_local std::time_t formatted = -1;
    thread_local char text[32];
    thread_local std::string_view date;
    const std::time_t now = std::time(nullptr);
    if (now != formatted) {
        date = HttpDateOf(now, text);
        formatted = now;
    }
    return date;
}

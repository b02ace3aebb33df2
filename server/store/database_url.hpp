#pragma once
// A database URL as the log may show it.
#include <string>

// The URL with every password taken out: the one between the user and the '@' of the URL's
// authority, and any password=... parameter of its query ("postgresql://vxm:***@db/x").
std::string UrlWithoutPassword(const std::string& url);

#include "common/trim_spaces.hpp"

#include <boost/regex.hpp>

std::string TrimSpaces(const std::string& text)
{
    static const boost::regex edges("^\\s+|\\s+$", boost::regex::perl);
    return boost::regex_replace(text, edges, "");
}

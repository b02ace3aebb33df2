#include "probe/probe_format.hpp"

#include <boost/format.hpp>

#include <locale>

std::string MegabyteText(float bytes)
{
    // 2^-20 in single precision: the product is rounded to float as well.
    const float megabytes = bytes * 9.5367431640625e-07f;
    return (boost::format("%.2f MB", std::locale::classic()) % megabytes).str();
}

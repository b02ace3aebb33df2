#include "common/account_number.hpp"

#include "common/decimal.hpp"

#include <algorithm>

bool AccountNumberValid(std::string_view text)
{
    return text.size() >= 5 && text.size() <= 11 && text[0] != '0' &&
           std::all_of(text.begin(), text.end(), IsDecimalDigit);
}

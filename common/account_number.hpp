#pragma once
// The account number rule, one for the dialog that takes it and the report server that checks it.
#include <string_view>

// True when the whole text is an account number: a digit 1-9 and then 4 to 10 digits.
bool AccountNumberValid(std::string_view text);

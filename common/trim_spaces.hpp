#pragma once
#include <string>

// The text without leading and trailing white space; inner white space stays.
std::string TrimSpaces(const std::string& text);

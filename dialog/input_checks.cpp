#include "dialog/input_checks.hpp"

#include <cstdio>
#include <cstdlib>

int DrawCaptchaValue()
{
    return std::rand() % 10000;
}

std::string ShownCaptcha(int value)
{
    char text[12] = {};
    std::snprintf(text, sizeof text, "%04d", (value % 100) * 100 + value / 100);
    return text;
}

bool CaptchaAccepted(const char* typed, int value)
{
    // Compared half by half, so a typed number of five or more digits never passes.
    const int c = std::atoi(typed ? typed : "");
    return c % 100 == value / 100 && c / 100 == value % 100;
}

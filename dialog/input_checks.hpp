#pragma once
// The dialog's captcha and its check before a Start (the account number's: common/).
#include <string>

// A new captcha value, 0 to 9999, from the C runtime's rand().
int DrawCaptchaValue();

// The four digits shown for a captcha value: its two halves swapped (1234 shows "3412").
std::string ShownCaptcha(int value);

// True when the typed text, read as atoi reads it, is the shown captcha of the value.
bool CaptchaAccepted(const char* typed, int value);

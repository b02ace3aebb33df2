#pragma once
// The C runtime locale of the whole process: simplified Chinese, code page 936 (GBK).

// Sets it for all categories, given the user's default locale (a Windows locale id); returns
// false when the C runtime knows the locale by no name.
bool SetProcessLocale(unsigned long userLocale);

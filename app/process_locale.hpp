#pragma once
// The C runtime locale of the whole process: simplified Chinese, code page 936 (GBK).

// Sets it for all categories; returns false when the C runtime knows the locale by neither name.
bool SetProcessLocale();

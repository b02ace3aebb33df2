#pragma once
// The library's texts are GBK bytes; its windows are Unicode, so text crosses over here
// whatever the system's ANSI code page.
#include <string>

namespace KorFact {

constexpr unsigned kTextCodePage = 936;

std::wstring Widen(const std::string& gbk);
std::string Narrow(const std::wstring& text);

} // namespace KorFact

#include "korfact/text_win.hpp"

#include <windows.h>

namespace KorFact {

std::wstring Widen(const std::string& gbk)
{
    if (gbk.empty())
        return {};
    const int size = static_cast<int>(gbk.size());
    const int length = MultiByteToWideChar(kTextCodePage, 0, gbk.data(), size, nullptr, 0);
    std::wstring text(length, L'\0');
    MultiByteToWideChar(kTextCodePage, 0, gbk.data(), size, &text[0], length);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(kTextCodePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string gbk(length, '\0');
    WideCharToMultiByte(kTextCodePage, 0, text.data(), size, &gbk[0], length, nullptr, nullptr);
    return gbk;
}

} // namespace KorFact

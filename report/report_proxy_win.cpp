#include "report/report_proxy.hpp"

#include "common/owners_win.hpp"
#include "common/result_before.hpp"

#include <windows.h>

#include <winhttp.h>

#include <optional>

namespace {

// The text of a string the system allocated for the caller; empty for none.
std::wstring TextOf(const GlobalMemory<wchar_t>& text)
{
    return text ? std::wstring(text.get()) : std::wstring();
}

std::optional<ProxyChoice> DetectProxy(const std::wstring& url, bool autoDetect,
                                       const std::wstring& scriptUrl)
{
    const InternetHandle session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return std::nullopt;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!scriptUrl.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    std::optional<ProxyChoice> found;
    if (WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info)) {
        const GlobalMemory<wchar_t> proxy(info.lpszProxy);
        const GlobalMemory<wchar_t> bypass(info.lpszProxyBypass);
        ProxyChoice choice{TextOf(proxy), TextOf(bypass)};
        if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
            choice = {};
        found = choice;
    }
    return found;
}

} // namespace

ProxyChoice UserProxyFor(const std::wstring& url, std::chrono::steady_clock::time_point deadline)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&settings))
        return {};
    const GlobalMemory<wchar_t> proxy(settings.lpszProxy);
    const GlobalMemory<wchar_t> bypass(settings.lpszProxyBypass);
    const GlobalMemory<wchar_t> script(settings.lpszAutoConfigUrl);
    const ProxyChoice manual{TextOf(proxy), TextOf(bypass)};
    const std::wstring scriptUrl = TextOf(script);
    if (!settings.fAutoDetect && scriptUrl.empty())
        return manual;
    // Detection cannot be interrupted: it is given up, not stopped, at the deadline.
    const auto detected =
        ResultBefore(deadline, [url, autoDetect = settings.fAutoDetect != FALSE, scriptUrl] {
            return DetectProxy(url, autoDetect, scriptUrl);
        });
    return detected ? detected->value_or(manual) : manual;
}

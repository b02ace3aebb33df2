#include "report/post_report_https.hpp"

#include "common/owners_win.hpp"
#include "common/result_before.hpp"
#include "report/certificate_check.hpp"
#include "report/report_fields.hpp"
#include "report/report_form.hpp"
#include "report/report_proxy.hpp"

#include <windows.h>

#include <winhttp.h>

#include <boost/asio/error.hpp>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

const char* WinHttpReason(DWORD error)
{
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
        return "timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "host name not resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "cannot connect";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "connection reset";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "invalid server response";
    default:
        return nullptr;
    }
}

[[noreturn]] void Fail(const char* step, DWORD error = GetLastError())
{
    // Wine answers an unknown or wrong certificate with 12157, Windows with 12175: the checks
    // WinHTTP still makes after ours are switched off fail with either.
    if (error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR || error == ERROR_WINHTTP_SECURE_FAILURE)
        throw NetworkError("handshake", {static_cast<int>(error), boost::system::system_category()},
                           CertificateFaultText(CertificateFault::Untrusted));
    const boost::system::error_code code =
        error == ERROR_WINHTTP_TIMEOUT
            ? boost::system::error_code(boost::asio::error::timed_out)
            : boost::system::error_code(static_cast<int>(error), boost::system::system_category());
    const char* reason = WinHttpReason(error);
    throw NetworkError(step, code, reason ? reason : "WinHTTP error " + std::to_string(error));
}

void SetOption(HINTERNET handle, DWORD option, DWORD value)
{
    if (!WinHttpSetOption(handle, option, &value, sizeof value))
        Fail("winhttp");
}

// Runs one blocking WinHTTP call until `deadline` at most. No time-out of WinHTTP's bounds a
// handshake under Wine (a server that never answers holds it for ever), so the call runs on a
// thread of its own; when the deadline comes first the caller stops waiting, and closing the
// request as it unwinds ends the call or leaves it to finish alone. The call must own what it
// touches, as it may outlive the caller.
void CallUntil(Clock::time_point deadline, const char* step, std::function<BOOL()> call)
{
    const auto error = ResultBefore(deadline, [call = std::move(call)] {
        return call() ? DWORD{ERROR_SUCCESS} : GetLastError();
    });
    if (!error)
        throw NetworkError(step, boost::asio::error::timed_out, "timed out");
    if (const DWORD failure = *error)
        Fail(step, failure);
}

InternetHandle OpenRequest(HINTERNET connection)
{
    const std::wstring path = Widened(kReportPath);
    InternetHandle request(WinHttpOpenRequest(connection, L"POST", path.c_str(), L"HTTP/1.0",
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              WINHTTP_FLAG_SECURE));
    if (!request)
        Fail("winhttp");
    // One exchange on one connection, as the plain upload: a redirect is a status to judge.
    SetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE,
              WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES);
    // WinHTTP's own checks say only that something failed; ours say what, and they come before
    // the form leaves.
    SetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS,
              SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                  SECURITY_FLAG_IGNORE_CERT_DATE_INVALID);
    return request;
}

// Windows 7 speaks TLS 1.2 only when asked to (and updated for it); a system that knows no TLS 1.3
// refuses that flag, and then 1.2 alone is asked for. Wine ignores the option.
void AskForModernTls(HINTERNET session)
{
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

void CheckCertificate(HINTERNET request, const std::wstring& host, const HttpsTrust& trust)
{
    PCCERT_CONTEXT queried = nullptr;
    DWORD size = sizeof queried;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &queried, &size))
        Fail("handshake");
    const CertificateContext certificate(queried);
    const CertificateFault fault = CheckServerCertificate(certificate.get(), host, trust);
    if (fault != CertificateFault::None)
        throw NetworkError(
            "handshake",
            {static_cast<int>(ERROR_WINHTTP_SECURE_FAILURE), boost::system::system_category()},
            CertificateFaultText(fault));
}

// The status line and headers as the server sent them, CR LF ends and blank line included.
std::string RawHeaders(HINTERNET request)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring wide(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             wide.data(), &size, WINHTTP_NO_HEADER_INDEX))
        Fail("read_until");
    wide.resize(size / sizeof(wchar_t));
    std::string bytes;
    bytes.reserve(wide.size());
    for (const wchar_t c : wide)
        bytes += static_cast<char>(c);
    return bytes;
}

// Appends the body to `reply` as it arrives, until the server ends it; a failed call and the
// deadline end it too, and what arrived is judged, as the plain upload judges it. WinHTTP is asked
// how much has arrived before each read: under Wine a read waits to fill the buffer it is given,
// so a server that keeps quiet after its reply would hold the bytes it sent. `received` counts
// the headers; more than the bound in all fails the upload.
void ReadBody(HINTERNET request, std::ostream& reply, std::size_t received, std::size_t limit,
              Clock::time_point deadline)
{
    constexpr std::size_t kLargestRead = 64 * 1024;
    for (;;) {
        auto available = std::make_shared<DWORD>(0);
        auto chunk = std::make_shared<std::vector<char>>();
        auto got = std::make_shared<DWORD>(0);
        try {
            CallUntil(deadline, "read", [request, available] {
                return WinHttpQueryDataAvailable(request, available.get());
            });
            if (*available == 0)
                return;
            // At most one byte beyond the bound: enough to know it was passed.
            chunk->resize(std::min<std::size_t>({*available, kLargestRead, limit + 1 - received}));
            CallUntil(deadline, "read", [request, chunk, got] {
                return WinHttpReadData(request, chunk->data(), static_cast<DWORD>(chunk->size()),
                                       got.get());
            });
        } catch (const NetworkError&) {
            return;
        }
        if (*got == 0)
            return;
        received += *got;
        if (received > limit)
            throw ReplyBeyondBound("read", limit);
        reply.write(chunk->data(), *got);
    }
}

} // namespace

std::string PostReportHttps(const HttpsServer& server, const ReportLimits& limits)
{
    // Proxy detection, name, connection and handshake share one deadline; detection has half.
    const Clock::time_point connectDeadline = Clock::now() + limits.connect;
    const std::wstring host = Widened(server.host);
    const auto port = static_cast<INTERNET_PORT>(std::stoi(server.port));
    const std::wstring url =
        L"https://" + host + L":" + Widened(server.port) + Widened(kReportPath);
    const ProxyChoice proxy = UserProxyFor(url, Clock::now() + limits.connect / 2);

    // The proxy is the session's: Wine takes it there only, and each upload has a session.
    const InternetHandle session(
        proxy.proxy.empty()
            ? WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0)
            : WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.proxy.c_str(),
                          proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(),
                          0));
    if (!session)
        Fail("winhttp");
    AskForModernTls(session.get());
    const InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), port, 0));
    if (!connection)
        Fail("winhttp");
    const InternetHandle request = OpenRequest(connection.get());

    // The headers carry the form's length, so it is built before they leave; it leaves itself
    // only once the certificate passed.
    const std::string form = BuildReportForm();
    const HINTERNET exchange = request.get();
    CallUntil(connectDeadline, "connect", [exchange, length = static_cast<DWORD>(form.size())] {
        return WinHttpSendRequest(exchange, L"Content-Type: application/x-www-form-urlencoded\r\n",
                                  static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, length, 0);
    });
    CheckCertificate(exchange, host, server.trust);

    const Clock::time_point replyDeadline = Clock::now() + limits.reply;
    CallUntil(replyDeadline, "write", [exchange, form] {
        DWORD written = 0;
        return WinHttpWriteData(exchange, form.data(), static_cast<DWORD>(form.size()), &written);
    });
    CallUntil(replyDeadline, "read_until",
              [exchange] { return WinHttpReceiveResponse(exchange, nullptr); });
    const std::string headers = RawHeaders(request.get());
    if (headers.size() > limits.replyBytes)
        throw ReplyBeyondBound("read_until", limits.replyBytes);
    std::stringstream reply;
    reply << headers;
    return JudgeReply(reply, [&] {
        ReadBody(request.get(), reply, headers.size(), limits.replyBytes, replyDeadline);
    });
}

#pragma once
// The report upload: one HTTP/1.0 POST of the report form, bounded in time and size.
#include "report/report_http.hpp"

#include <boost/system/system_error.hpp>

#include <chrono>
#include <cstddef>
#include <string>

// Bounds of one exchange; a bound that is hit ends it with a NetworkError.
struct ReportLimits {
    // From the start of name resolution until a connection stands.
    std::chrono::milliseconds connect{10000};
    // From sending the request until the reply is complete (its Content-Length has arrived)
    // or the server has closed the connection; hit after the status line, it ends the reading
    // and what arrived is judged.
    std::chrono::milliseconds reply{20000};
    // Everything the server sends, status line and headers included.
    std::size_t replyBytes = 1 << 20;
};

// A network step that failed or hit a bound. what() is "<step>: <reason>", the reason being the
// system's message for code(), or the bound that was hit.
class NetworkError : public boost::system::system_error {
  public:
    NetworkError(const char* step, boost::system::error_code code);
    NetworkError(const char* step, boost::system::error_code code, const std::string& reason);
    const char* what() const noexcept override { return mText.c_str(); }

  private:
    std::string mText;
};

// The error of a reply longer than its bound of `limit` bytes, found at `step`; both uploads
// raise it.
NetworkError ReplyBeyondBound(const char* step, std::size_t limit);

// Sends the report to the server the program was built for and returns the server's message.
// Defined with the program's entry (app/report_server_win.cpp), so one build can make programs
// for several servers.
std::string PostReport();

// Where PostReport() sends the report: the host it was built for, and whether over https.
struct ReportDestination {
    const char* host;
    bool encrypted;
};
ReportDestination BuiltInReportDestination();

// The same exchange with a server and bounds of the caller's choice. Throws NetworkError,
// std::runtime_error ("Invalid response", "Response returned with status code N"),
// ReplicatedCommit, ServerRefusal, or the property-tree library's errors for the body.
std::string PostReport(const std::string& host, const std::string& port,
                       const ReportLimits& limits);

#pragma once
// The HTTP texts of one report upload: the request, and the pieces of the reply the client
// judges. Kept apart from the socket work so they build and run on any platform.
#include <functional>
#include <istream>
#include <stdexcept>
#include <string>

// The server says this report was already submitted (ret_code -1); what() is its message.
class ReplicatedCommit : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The server refused the report (ret_code below -1); what() is its message. A logic_error as the
// refusal always was, but a type of its own, so a program fault of that family is not taken for
// the server's word.
class ServerRefusal : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

// The POST request for the form body: absolute URL and Host header name the given host, with
// ":port" unless the port is 80, and only Host, Content-Type and Content-Length are sent.
std::string ComposeReportRequest(const std::string& host, const std::string& port,
                                 const std::string& body);

// Reads the status line ("HTTP/<version> <code> <reason>") and returns the code; throws
// std::runtime_error "Invalid response" when it is malformed (a code with a sign included).
unsigned ReadStatusCode(std::istream& reply);

// Skips the header lines (CR LF or bare LF ends) and returns the single line after them, or
// empty text when there is none.
std::string ReadBodyLine(std::istream& reply);

// Replaces every "\uXXXX" (four hex digits of either case) by that UTF-16 code unit in the
// ANSI code page; the replacement does not look at what precedes the backslash.
std::string DecodeUnicodeEscapes(const std::string& line);

// Decodes and parses the body line as JSON and judges "ret_code": returns "msg" for 0 and
// above, throws ReplicatedCommit for -1 and ServerRefusal below that. Parse, path and
// conversion failures leave as the property-tree library's errors; a line that nests arrays or
// objects more than 32 deep is refused as a parse error before the reader descends into it.
std::string MessageFromBodyLine(const std::string& line);

// The judgement of a reply whose status line `reply` holds: a status other than 200 throws
// std::runtime_error "Response returned with status code N" before `readRest` is called;
// otherwise `readRest` appends the rest of the reply behind what `reply` has not consumed, and
// the message of the body line is returned (MessageFromBodyLine). The upload calls it with its
// socket; tests and fuzzing with a reply held in memory.
std::string JudgeReply(std::istream& reply, const std::function<void()>& readRest);

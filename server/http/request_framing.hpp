#pragma once
// How a connection reads one request: the parser's bounds, the read buffer's, and the headers
// refused before any body is read.
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstddef>

// The most bytes of request line and headers a connection reads.
constexpr std::size_t kMaxRequestHeaderBytes = 16 * 1024;
// The most bytes a connection's read buffer holds: the whole header, then a body streams through
// it into the request. With the body bound this keeps a connection's memory near 100 KiB.
constexpr std::size_t kReadBufferLimit = 32 * 1024;

// More fields than a client needs: each costs the parser an allocation, and 16 KiB of "a:" lines
// were some 4,000 of them, over 300 KB a connection.
constexpr std::size_t kMaxHeaderFields = 100;

// The request parser with the connection's bounds: the header and body sizes, at most
// kMaxHeaderFields fields (more: header_limit, a 431), and no folded header lines (obsolete, and
// read differently by proxies in front: bad_value, a 400).
class RequestParser : public boost::beast::http::request_parser<boost::beast::http::string_body> {
  public:
    explicit RequestParser(std::size_t maxBody);

  private:
    void on_field_impl(boost::beast::http::field name, boost::beast::string_view nameText,
                       boost::beast::string_view value, boost::beast::error_code& ec) override;
    std::size_t mFields = 0;
};

// Any Transfer-Encoding: the program sends HTTP/1.0 with Content-Length, and a coding read
// differently here and in a proxy in front would let the bytes after it pass as a second request.
bool RefusedFraming(const boost::beast::http::request_header<>& header);

// "Expect: 100-continue" in an HTTP/1.1 request: the client waits for leave to send its body.
bool ExpectsContinue(const boost::beast::http::request_header<>& header);

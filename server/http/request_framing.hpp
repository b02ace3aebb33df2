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

using RequestParser = boost::beast::http::request_parser<boost::beast::http::string_body>;

void BoundParser(RequestParser& parser, std::size_t maxBody);

// Any Transfer-Encoding: the program sends HTTP/1.0 with Content-Length, and a coding read
// differently here and in a proxy in front would let the bytes after it pass as a second request.
bool RefusedFraming(const boost::beast::http::request_header<>& header);

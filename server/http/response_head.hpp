#pragma once
// A reply's status line and headers as the bytes sent, written into a buffer the connection keeps
// for its next reply: every reply is a few short headers, and Beast's serializer walks them as a
// dozen separate buffers and allocates its state each time.
#include <boost/beast/http/message.hpp>

#include <string>

// Replaces `out` with the head of `header` (the same bytes Beast's serializer writes), reusing
// its capacity.
void WriteResponseHead(const boost::beast::http::response_header<>& header, std::string& out);

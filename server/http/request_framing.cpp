#include "server/http/request_framing.hpp"

namespace http = boost::beast::http;

void BoundParser(RequestParser& parser, std::size_t maxBody)
{
    parser.body_limit(maxBody);
    parser.header_limit(kMaxRequestHeaderBytes);
}

bool RefusedFraming(const http::request_header<>& header)
{
    return header.find(http::field::transfer_encoding) != header.end();
}

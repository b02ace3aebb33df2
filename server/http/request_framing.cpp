#include "server/http/request_framing.hpp"

#include <boost/beast/core/string.hpp>

namespace http = boost::beast::http;

RequestParser::RequestParser(std::size_t maxBody)
{
    body_limit(maxBody);
    header_limit(kMaxRequestHeaderBytes);
}

void RequestParser::on_field_impl(http::field name, boost::beast::string_view nameText,
                                  boost::beast::string_view value, boost::beast::error_code& ec)
{
    if (++mFields > kMaxHeaderFields) {
        ec = http::error::header_limit;
        return;
    }
    // The name is read in place from the whole header, which the parser holds at once, and it
    // has looked at the byte after the line's CRLF: a blank or tab there folds the line. A field
    // line holds no CR before its end (the parser refuses one).
    const char* end = nameText.data() + nameText.size();
    while (*end != '\r')
        ++end;
    if (end[2] == ' ' || end[2] == '\t') {
        ec = http::error::bad_value;
        return;
    }
    get().insert(name, nameText, value);
}

bool ExpectsContinue(const http::request_header<>& header)
{
    return header.version() >= 11 &&
           boost::beast::iequals(header[http::field::expect], "100-continue");
}

bool RefusedFraming(const http::request_header<>& header)
{
    return header.find(http::field::transfer_encoding) != header.end();
}

#include "server/http/response_head.hpp"

namespace http = boost::beast::http;

void WriteResponseHead(const http::response_header<>& header, std::string& out)
{
    const unsigned version = header.version();
    const unsigned status = header.result_int();
    out.assign("HTTP/");
    out += char('0' + version / 10 % 10);
    out += '.';
    out += char('0' + version % 10);
    out += ' ';
    out += char('0' + status / 100 % 10);
    out += char('0' + status / 10 % 10);
    out += char('0' + status % 10);
    out += ' ';
    out += header.reason();
    out += "\r\n";
    for (const auto& field : header) {
        out += field.name_string();
        out += ": ";
        out += field.value();
        out += "\r\n";
    }
    out += "\r\n";
}

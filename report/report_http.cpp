#include "report/report_http.hpp"

#include "common/hex_digit.hpp"

#include "report/ansi_text.hpp"
#include "report/report_fields.hpp"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <cctype>
#include <sstream>

namespace {

// The code unit of an escape at `at`, or -1 when no escape starts there.
long EscapeAt(const std::string& line, std::size_t at)
{
    if (line.size() - at < 6 || line[at] != '\\' || line[at + 1] != 'u')
        return -1;
    long unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexDigitValue(line[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

void AppendWidened(std::string& text, unsigned char byte)
{
    text += static_cast<char>(0xC0 | byte >> 6);
    text += static_cast<char>(0x80 | (byte & 0x3F));
}

// Boost's JSON reader accepts UTF-8 only, while the decoded line is ANSI code-page text. Each
// byte above 0x7F passes through the reader as the UTF-8 form of the code point of the same
// value, and NarrowHighBytes turns it back into that byte. The second byte of a GBK character
// may be a backslash (U+596C is 8A 5C): the reader would take it for the start of an escape, so
// it goes in escaped.
std::string WidenHighBytes(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            text += bytes[i];
            continue;
        }
        AppendWidened(text, byte);
        if (byte == 0x80 || byte == 0xFF || i + 1 == bytes.size())
            continue; // no lead byte of a pair
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            continue;
        ++i;
        if (trail >= 0x80)
            AppendWidened(text, trail);
        else if (trail == '\\')
            text += "\\\\";
        else
            text += static_cast<char>(trail);
    }
    return text;
}

std::string NarrowHighBytes(const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size())
            bytes += static_cast<char>((lead & 0x03) << 6 | (text[++i] & 0x3F));
        else
            bytes += text[i];
    }
    return bytes;
}

// The JSON reader descends once per open array or object, on the caller's stack: a reply line
// of some thousand brackets would exhaust it. The reply is one flat object.
constexpr std::size_t kMaxJsonDepth = 32;

bool NestsDeeperThan(const std::string& json, std::size_t limit)
{
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

} // namespace

std::string ComposeReportRequest(const std::string& host, const std::string& port,
                                 const std::string& body)
{
    const std::string authority = port == "80" ? host : host + ":" + port;
    return "POST http://" + authority + kReportPath + " HTTP/1.0\r\n" + "Host: " + authority +
           "\r\n" + "Content-Type: application/x-www-form-urlencoded\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" + "\r\n" + body;
}

unsigned ReadStatusCode(std::istream& reply)
{
    std::string version;
    unsigned code = 0;
    std::string reason;
    reply >> version >> std::ws;
    // The stream would also take a sign, and "-4294967096" would read as 200.
    const bool digitFirst = std::isdigit(reply.peek()) != 0;
    reply >> code;
    std::getline(reply, reason);
    if (!reply || !digitFirst || version.compare(0, 5, "HTTP/") != 0)
        throw std::runtime_error("Invalid response");
    return code;
}

std::string ReadBodyLine(std::istream& reply)
{
    std::string line;
    while (std::getline(reply, line) && line != "\r" && !line.empty()) {
    }
    std::string body;
    std::getline(reply, body);
    return body;
}

std::string DecodeUnicodeEscapes(const std::string& line)
{
    std::string decoded;
    decoded.reserve(line.size());
    std::size_t at = 0;
    while (at < line.size()) {
        const long unit = EscapeAt(line, at);
        if (unit < 0) {
            decoded += line[at++];
        } else {
            decoded += AnsiFromCodeUnit(static_cast<std::uint16_t>(unit));
            at += 6;
        }
    }
    return decoded;
}

std::string MessageFromBodyLine(const std::string& line)
{
    const std::string text = WidenHighBytes(DecodeUnicodeEscapes(line));
    if (NestsDeeperThan(text, kMaxJsonDepth))
        throw boost::property_tree::json_parser::json_parser_error(
            "arrays and objects nested deeper than " + std::to_string(kMaxJsonDepth), "", 1);
    std::istringstream json(text);
    boost::property_tree::ptree reply;
    boost::property_tree::read_json(json, reply);
    // Both are read before either is judged: a missing "msg" fails even for ret_code -1.
    const int code = reply.get<int>("ret_code");
    std::string message = NarrowHighBytes(reply.get<std::string>("msg"));
    if (code == -1)
        throw ReplicatedCommit(message);
    if (code < -1)
        throw ServerRefusal(message);
    return message;
}

std::string JudgeReply(std::istream& reply, const std::function<void()>& readRest)
{
    const unsigned status = ReadStatusCode(reply);
    if (status != 200)
        throw std::runtime_error("Response returned with status code " + std::to_string(status));
    readRest();
    return MessageFromBodyLine(ReadBodyLine(reply));
}

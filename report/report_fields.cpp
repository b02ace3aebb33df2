#include "report/report_fields.hpp"

#include "common/hex_digit.hpp"

namespace {

bool IsUnreserved(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

} // namespace

std::string UrlEncodeValue(const std::string& text)
{
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += UpperHexDigit(byte >> 4);
            encoded += UpperHexDigit(byte);
        }
    }
    return encoded;
}

std::optional<std::string> UrlDecodeValue(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else {
            const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
            const int low = high < 0 ? -1 : HexDigitValue(text[i + 2]);
            if (low < 0)
                return std::nullopt;
            decoded += static_cast<char>(high << 4 | low);
            i += 2;
        }
    }
    return decoded;
}

std::string EncodeReportForm(const ReportValues& values)
{
    std::string form;
    for (std::size_t i = 0; i < kReportFieldCount; ++i) {
        if (i > 0)
            form += '&';
        form += kReportFields[i].name;
        form += '=';
        form += UrlEncodeValue(values[i]);
    }
    return form;
}

std::optional<ReportValues> DecodeReportForm(std::string_view body)
{
    ReportValues values;
    std::size_t at = 0;
    for (std::size_t i = 0; i < kReportFieldCount; ++i) {
        const std::size_t end = std::min(body.find('&', at), body.size());
        const std::string_view pair = body.substr(at, end - at);
        const std::string_view name = kReportFields[i].name;
        if (pair.size() <= name.size() || pair.compare(0, name.size(), name) != 0 ||
            pair[name.size()] != '=')
            return std::nullopt;
        auto value = UrlDecodeValue(pair.substr(name.size() + 1));
        if (!value)
            return std::nullopt;
        values[i] = std::move(*value);
        // The last field ends the body; any other must be followed by "&".
        const bool last = i + 1 == kReportFieldCount;
        if (last != (end == body.size()))
            return std::nullopt;
        at = end + 1;
    }
    return values;
}

#include "report/https_trust.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

// A SHA-256 digest in base64: 43 characters of the alphabet and one "=".
bool IsBase64Digest(const std::string& text)
{
    return text.size() == 44 && text.back() == '=' &&
           std::all_of(text.begin(), text.end() - 1, [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
           });
}

} // namespace

std::vector<std::string> ParsePins(const std::string& text)
{
    static const std::string kPrefix = "sha256/";
    std::vector<std::string> pins;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = text.substr(start, end - start);
        if (entry.compare(0, kPrefix.size(), kPrefix) != 0 ||
            !IsBase64Digest(entry.substr(kPrefix.size())))
            throw std::invalid_argument("not a sha256/BASE64 key pin: " + entry);
        pins.push_back(entry.substr(kPrefix.size()));
        start = end + 1;
    }
    return pins;
}

const char* CertificateFaultText(CertificateFault fault)
{
    switch (fault) {
    case CertificateFault::None:
        return "";
    case CertificateFault::Untrusted:
        return "certificate not trusted";
    case CertificateFault::OtherName:
        return "certificate is for another name";
    case CertificateFault::Expired:
        return "certificate expired";
    case CertificateFault::NotPinned:
        return "server key not pinned";
    }
    return "";
}
